// One line of a folder listing, from any server.
#include "ListingParser.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string line(reinterpret_cast<const char *>(data), size);
    const TListingEntry entry = ParseListingLine(line);
    // A name is always the line's own bytes, never made up.
    if (!entry.Skip && (entry.Name.empty() || line.find(entry.Name) == std::string::npos))
        __builtin_trap();
    return 0;
}
