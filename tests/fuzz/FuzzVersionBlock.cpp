// The version-block walker over any bytes: every query stays inside.
#include "VersionBlock.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A copy of exactly the size, so a read past the end is seen.
    const std::unique_ptr<uint8_t[]> block(new uint8_t[size ? size : 1]);
    std::memcpy(block.get(), data, size);
    const std::span<const uint8_t> bytes(block.get(), size);
    for (const char *path : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904E4\\FileVersion",
                             "\\StringFileInfo\\040904E4\\ProductName", "\\StringFileInfo"}) {
        VersionBlock::Value value;
        if (VersionBlock::VerQueryValue(bytes, path, value)) {
            if (value.Bytes.data() < bytes.data() || value.Bytes.data() + value.Bytes.size() > bytes.data() + bytes.size())
                __builtin_trap();
            (void)VersionBlock::TextOf(value);
        }
    }
    return 0;
}
