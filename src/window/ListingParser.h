// One line of a folder listing as a folder or a file and its name; the
// name keeps the line's bytes exactly.
//   Long (Unix) lines: the eight fields before the name are dropped and
//   blanks inside the name kept; a first field beginning with "d" marks a
//   folder; a link ("l") is named without its " -> target".
//   Short (DOS, IIS) lines, "MM-DD-YY  HH:MMAM  <DIR>|size  name", are
//   read by their columns, so a name with blanks stays whole.
//   "total N" lines and lines with no name are no entry.
#pragma once

#include <string>

struct TListingEntry {
    bool IsFolder = false;
    std::string Name;
    // The line names nothing ("total 8", a blank line).
    bool Skip = false;
};

TListingEntry ParseListingLine(const std::string &line);
