// A folder listing, from any server: split into lines, each line parsed.
#include "ListingParser.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string listing(reinterpret_cast<const char *>(data), size);
    for (const std::string &line : SplitListing(listing)) {
        // A line is the listing's own bytes, and never holds its line end.
        if (line.find('\n') != std::string::npos || listing.find(line) == std::string::npos)
            __builtin_trap();
        const TListingEntry entry = ParseListingLine(line);
        // A name is always the line's own bytes, never made up.
        if (!entry.Skip && (entry.Name.empty() || line.find(entry.Name) == std::string::npos))
            __builtin_trap();
    }
    return 0;
}
