#include "ListingParser.h"

#include "IdGlobal.h"

#include <cctype>

namespace {

bool Digits(const std::string &text, size_t from, size_t count)
{
    if (from + count > text.size())
        return false;
    for (size_t i = from; i < from + count; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

// The next blank-separated field from `position`, which moves past it.
std::string NextField(const std::string &line, size_t &position)
{
    while (position < line.size() && line[position] == ' ')
        ++position;
    const size_t start = position;
    while (position < line.size() && line[position] != ' ')
        ++position;
    return line.substr(start, position - start);
}

// "01-10-02" or "01-10-2002", then "12:00PM" or "12:00".
bool IsDosLine(const std::string &line, std::string &kind, std::string &name)
{
    size_t position = 0;
    const std::string date = NextField(line, position);
    const std::string time = NextField(line, position);
    const bool dateOk = (date.size() == 8 || date.size() == 10) && Digits(date, 0, 2) && date[2] == '-' &&
                        Digits(date, 3, 2) && date[5] == '-' && Digits(date, 6, date.size() - 6);
    const bool timeOk = (time.size() == 5 || time.size() == 7) && Digits(time, 0, 2) && time[2] == ':' &&
                        Digits(time, 3, 2);
    if (!dateOk || !timeOk)
        return false;
    kind = NextField(line, position);
    while (position < line.size() && line[position] == ' ')
        ++position;
    name = Trim(line.substr(position));
    return !kind.empty();
}

}  // namespace

TListingEntry ParseListingLine(const std::string &line)
{
    TListingEntry entry;
    const std::string trimmed = Trim(line);
    if (trimmed.compare(0, 6, "total ") == 0 && Digits(trimmed, 6, trimmed.size() - 6) && trimmed.size() > 6) {
        entry.Skip = true;
        return entry;
    }

    std::string kind, name;
    if (IsDosLine(line, kind, name)) {
        entry.IsFolder = kind == "<DIR>";
        entry.Name = name;
        entry.Skip = name.empty();
        return entry;
    }

    const auto firstBlank = line.find(' ');
    const std::string first = firstBlank == std::string::npos ? std::string() : Trim(line.substr(0, firstBlank));
    std::string rest = line;
    for (int i = 0; i < 8; ++i) {
        const auto blank = rest.find(' ');
        rest = Trim(blank == std::string::npos ? rest : rest.substr(blank + 1));
    }
    // A link is named by itself, not by its target.
    if (!first.empty() && first[0] == 'l') {
        const auto arrow = rest.find(" -> ");
        if (arrow != std::string::npos)
            rest = rest.substr(0, arrow);
    }
    entry.Name = rest;
    entry.IsFolder = (!first.empty() && std::toupper(static_cast<unsigned char>(first[0])) == 'D') ||
                     line.find(" <DIR>") != std::string::npos;
    entry.Skip = rest.empty();
    return entry;
}
