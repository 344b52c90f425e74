// One line of a folder listing as a folder or a file and its name. Long
// (Unix) listings drop their eight fields before the name and keep blanks
// inside it; short (DOS) listings are told by their " <DIR>" marker. The
// name keeps the line's bytes exactly.
#pragma once

#include <string>

struct TListingEntry {
    bool IsFolder = false;
    std::string Name;
};

TListingEntry ParseListingLine(const std::string &line);
