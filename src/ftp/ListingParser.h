// The lines of a folder listing (LIST) as folders and files. Servers send
// what their system's "ls" or "dir" prints, and no two agree; the parser
// is fragile by nature, so each dialect is a row of a table, tried in
// order, and each is read by what its fields hold, not by counting them.
// A name keeps the line's bytes exactly, blanks included: it goes back to
// the server in the next command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TListingEntry {
    bool IsFolder = false;
    // A symbolic link (Unix lines only): to a file or a folder, the line
    // does not say which.
    bool IsLink = false;
    // A plain file's size where the line shows it plainly (Unix, DOS,
    // MLSD facts), else -1.
    int64_t Size = -1;
    // When it was changed, as the line shows it ("Dec  7 07:31",
    // "2019-12-07 07:31"), and as a number that sorts: YYYYMMDDhhmm (a
    // Unix date without a year is of the last twelve months), else -1.
    std::string Modified;
    int64_t Time = -1;
    // "-rw-r--r--", also from MLSD's unix.mode; else MLSD's perm fact.
    std::string Permissions;
    std::string Name;
    // The line names nothing ("total 8", a blank line).
    bool Skip = false;
};

// One line, without its line end. `today` (YYYYMMDD) places a Unix date
// that shows no year; 0: the system's date.
[[nodiscard]] TListingEntry ParseListingLine(const std::string &line, int today = 0);

// A listing's bytes as lines: LF or CR LF ends a line; a bare CR is part
// of its line (names may hold one), and a NUL ends its own line's text.
[[nodiscard]] std::vector<std::string> SplitListing(const std::string &bytes);
