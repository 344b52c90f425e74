// The replies owed for commands sent without waiting, as RFC 959 allows:
// a server answers in order, so they are read, in turn, before the reply
// of whatever is sent next, and cost no round trip of their own.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class TIdFTPPipeline {
public:
    // Handed the reply's code once it is read; it must not raise.
    using TThen = std::function<void(int16_t code)>;

    void Add(std::vector<int16_t> allowed, TThen then);
    bool Empty() const { return FOwed.empty(); }
    // The connection closed: nothing is owed any more.
    void Clear();
    // Reads each owed reply with `read` (which takes any code) and hands it
    // on. A code outside a command's allowed ones is kept, as `failure`
    // makes it, for Raise; the replies are read all the same, so the
    // connection stays in step.
    void ReadAll(const std::function<int16_t()> &read,
                 const std::function<std::exception_ptr(int16_t code)> &failure);
    // Raises the first refusal read since the last call, if any.
    void Raise();
    bool Failed() const { return bool(FFailure); }

private:
    struct TOwed {
        std::vector<int16_t> Allowed;
        TThen Then;
    };
    std::deque<TOwed> FOwed;
    std::exception_ptr FFailure;
};
