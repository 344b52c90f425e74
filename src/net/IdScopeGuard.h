// Runs a function when the scope ends, however it ends: the one guard of
// the engine (code that links Qt uses qScopeGuard). The function must not
// throw; it may run while an exception unwinds.
#pragma once

#include <utility>

template <typename Function>
class TIdScopeGuard {
public:
    explicit TIdScopeGuard(Function function) : FFunction(std::move(function)) {}
    ~TIdScopeGuard() { FFunction(); }
    TIdScopeGuard(const TIdScopeGuard &) = delete;
    TIdScopeGuard &operator=(const TIdScopeGuard &) = delete;

private:
    Function FFunction;
};

template <typename Function>
[[nodiscard]] TIdScopeGuard<Function> IdScopeExit(Function function)
{
    return TIdScopeGuard<Function>(std::move(function));
}
