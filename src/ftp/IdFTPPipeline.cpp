#include "IdFTPPipeline.h"

#include <algorithm>
#include <utility>

void TIdFTPPipeline::Add(std::vector<int16_t> allowed, TThen then)
{
    FOwed.push_back({std::move(allowed), std::move(then)});
}

void TIdFTPPipeline::Clear()
{
    FOwed.clear();
    FFailure = nullptr;
}

void TIdFTPPipeline::ReadAll(const std::function<int16_t()> &read,
                             const std::function<std::exception_ptr(int16_t code)> &failure)
{
    while (!FOwed.empty()) {
        // Taken first: a read that fails has closed the connection.
        const TOwed owed = std::move(FOwed.front());
        FOwed.pop_front();
        const int16_t code = read();
        if (owed.Then)
            owed.Then(code);
        const bool allowed = owed.Allowed.empty() ||
                             std::find(owed.Allowed.begin(), owed.Allowed.end(), code) != owed.Allowed.end();
        if (!allowed && !FFailure)
            FFailure = failure(code);
    }
}

void TIdFTPPipeline::Raise()
{
    if (FFailure)
        std::rethrow_exception(std::exchange(FFailure, nullptr));
}
