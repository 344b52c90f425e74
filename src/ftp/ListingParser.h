// The lines of a folder listing (LIST) as folders and files. Servers send
// what their system's "ls" or "dir" prints, and no two agree; the parser
// is fragile by nature, so each dialect is a row of a table, tried in
// order, and each is read by what its fields hold, not by counting them.
// A name keeps the line's bytes exactly, blanks included: it goes back to
// the server in the next command.
#pragma once

#include "IdStream.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
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
    // The time to the second, since 1970 in UTC, where the listing gives
    // it so (MLSD facts, SFTP), else -1.
    int64_t Seconds = -1;
    // The second of Time's minute where the listing gives it (MLSD, SFTP),
    // else -1; and whether it gave the day alone (an old file's "ls -l"
    // line), where Time's hour and minute say nothing.
    int Second = -1;
    bool DateOnly = false;
    // "-rw-r--r--", also from MLSD's unix.mode; else MLSD's perm fact.
    std::string Permissions;
    // Who owns it, where the line says (Unix lines).
    std::string Owner;
    std::string Name;
    // Where a link leads, as the line shows it ("name -> target"), else "".
    std::string LinkTarget;
    // The line names nothing ("total 8", a blank line), or is refused.
    bool Skip = false;
    // Refused: the line states what cannot be (a size past the largest
    // 64-bit number).
    bool Invalid = false;
};

// One line, without its line end. `today` (YYYYMMDD) places a Unix date
// that shows no year; 0: the system's date.
[[nodiscard]] TListingEntry ParseListingLine(std::string_view line, int today = 0);
// The same for a listing's lines in turn: the dialect that read the last
// one (`dialect`, -1 at the start, kept up to date here) is tried first,
// as a listing keeps to one.
[[nodiscard]] TListingEntry ParseListingLine(std::string_view line, int today, int &dialect);

// A listing's bytes as lines: LF or CR LF ends a line; a bare CR is part
// of its line (names may hold one), and a NUL ends its own line's text.
[[nodiscard]] std::vector<std::string> SplitListing(const std::string &bytes);

// The same, for bytes as they arrive: each line goes to the handler as
// soon as its end has come. A line longer than `maxLine` bytes is not
// kept: it is skipped, whatever its length, and counted. The handler
// returns false to stop; nothing after is cut.
class TListingLines {
public:
    using THandler = std::function<bool(std::string_view line)>;
    TListingLines(size_t maxLine, THandler handler);

    // False once the handler said stop.
    bool Add(std::string_view bytes);
    // The last line, when the bytes did not end with a line end.
    bool Finish();
    size_t LongLines() const { return FLongLines; }

private:
    bool Emit(std::string_view line);

    THandler FHandler;
    size_t FMaxLine;
    std::string FPending;
    bool FSkipping = false;
    bool FStopped = false;
    size_t FLongLines = 0;
};

// A listing's data connection as a stream: the bytes go to the line
// cutter as they come, and nothing is kept.
class TListingLineStream : public TStream {
public:
    explicit TListingLineStream(TListingLines &lines) : FLines(lines) {}
    int64_t Read(void *, int64_t) override { return 0; }
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Size() const override { return FPosition; }
    void SetSize(int64_t) override {}

private:
    TListingLines &FLines;
};
