// A fuzz target's input read as the steps it drives: a byte, or a 64-bit
// number, each 0 once the input is spent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class TInput {
public:
    TInput(const uint8_t *data, size_t size) : FData(data), FSize(size) {}
    bool Empty() const { return FAt >= FSize; }
    uint8_t Byte() { return FAt < FSize ? FData[FAt++] : 0; }
    int64_t Number()
    {
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i)
            value = value << 8 | Byte();
        int64_t number;
        std::memcpy(&number, &value, sizeof number);
        return number;
    }

private:
    const uint8_t *FData;
    size_t FSize;
    size_t FAt = 0;
};
