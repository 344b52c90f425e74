#include "ListingParser.h"

#include <cctype>

namespace {

// Characters with codes 0 to 32 off both ends.
std::string Trimmed(const std::string &text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return text.substr(begin, end - begin);
}

}  // namespace

TListingEntry ParseListingLine(const std::string &line)
{
    const auto firstBlank = line.find(' ');
    const std::string first = firstBlank == std::string::npos ? std::string() : Trimmed(line.substr(0, firstBlank));

    std::string rest = line;
    for (int i = 0; i < 8; ++i) {
        const auto blank = rest.find(' ');
        rest = Trimmed(blank == std::string::npos ? rest : rest.substr(blank + 1));
    }

    TListingEntry entry;
    entry.Name = rest;
    entry.IsFolder = (!first.empty() && std::toupper(static_cast<unsigned char>(first[0])) == 'D') ||
                     line.find(" <DIR>") != std::string::npos;
    return entry;
}
