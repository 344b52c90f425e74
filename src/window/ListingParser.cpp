#include "ListingParser.h"

#include "IdGlobal.h"

#include <cctype>

TListingEntry ParseListingLine(const std::string &line)
{
    const auto firstBlank = line.find(' ');
    const std::string first = firstBlank == std::string::npos ? std::string() : Trim(line.substr(0, firstBlank));

    std::string rest = line;
    for (int i = 0; i < 8; ++i) {
        const auto blank = rest.find(' ');
        rest = Trim(blank == std::string::npos ? rest : rest.substr(blank + 1));
    }

    TListingEntry entry;
    entry.Name = rest;
    entry.IsFolder = (!first.empty() && std::toupper(static_cast<unsigned char>(first[0])) == 'D') ||
                     line.find(" <DIR>") != std::string::npos;
    return entry;
}
