// The listing parser, fragile by nature: one row per server dialect and
// quirk, each with the line a server really sends.
#include "ListingParser.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(ListingParser, APlainFilesSizeIsReadWhereTheLineShowsIt)
{
    const std::pair<const char *, int64_t> rows[] = {
        {"-rw-r--r-- 1 ftp ftp 1234 Jan 10 12:00 read me.txt", 1234},
        {"-rw-r--r-- 1 a b 10 2019-12-07 07:31 iso.txt", 10},
        {"-rw-r--r-- 1 Jan Feb 5 Mar 3 12:00 odd", 5},
        {"-rw-r--r-- 1 a b 99999999999999999999 Jan 1 2020 huge", -1},  // does not fit
        {"drwxr-xr-x 2 ftp ftp 4096 Jan 10 12:00 pub", -1},
        {"lrwxrwxrwx 1 ftp ftp 7 Jan 10 12:00 www -> pub", -1},  // the link's, not the file's
        {"crw-rw-rw- 1 root root 1, 5 Jun 29 1997 zero", -1},
        {"01-10-02 12:00PM 5120 a.zip", 5120},
        {"01-10-02 12:00PM <DIR> Docs", -1},
        {"Type=file;Size=1024;Modify=20191207073100; a b.txt", 1024},
        {"type=dir;size=4096; pub", -1},
    };
    for (const auto &[line, size] : rows)
        EXPECT_EQ(ParseListingLine(line).Size, size) << line;
}

TEST(ListingParser, TheOwnerIsReadWhereTheLineNamesIt)
{
    const std::pair<const char *, const char *> rows[] = {
        {"-rw-r--r-- 1 ann staff 1234 Jan 10 12:00 read me.txt", "ann"},
        {"dr-xr-xr-x 2 root 512 Apr 8 1994 dir", "root"},  // no group
        {"-rw-r--r-- ftp 1234 Jan 10 12:00 no-links", ""},  // no count of links: no telling
        {"01-10-02 12:00PM 5120 a.zip", ""},
        {"Type=file;Size=1024; a b.txt", ""},
    };
    for (const auto &[line, owner] : rows)
        EXPECT_EQ(ParseListingLine(line).Owner, owner) << line;
}

// What the details view shows: the date as the line has it, a number
// that sorts, how much of the time the line gave (the second, or the day
// alone), and the permissions, the same from LIST and MLSD.
TEST(ListingParser, DatesAndPermissionsAsEachDialectGivesThem)
{
    const struct {
        const char *Line;
        const char *Modified;
        int64_t Time;
        int Second;
        bool DateOnly;
        const char *Permissions;
    } rows[] = {
        {"-rw-r--r-- 1 ftp ftp 1234 Jan 10 12:00 read me.txt", "Jan 10 12:00", 202601101200, -1, false, "-rw-r--r--"},
        {"-rw-r--r--   1 103 nogroup 24 Dec  7 07:32 probe.txt", "Dec  7 07:32", 202612070732, -1, false, "-rw-r--r--"},
        {"-rw-r--r-- 1 a b 3 Dec 9 10:00 x", "Dec 9 10:00", 202512091000, -1, false, "-rw-r--r--"},  // not yet: last year's
        {"dr-xr-xr-x 2 root 512 Apr 8 1994 dir", "Apr 8 1994", 199404080000, -1, true, "dr-xr-xr-x"},
        {"-rw-r--r-- 1 a b 10 2019-12-07 07:31 iso.txt", "2019-12-07 07:31", 201912070731, -1, false, "-rw-r--r--"},
        {"01-10-02 12:00PM 5120 a.zip", "01-10-02 12:00PM", 200201101200, -1, false, ""},
        {"01-10-02 12:30AM <DIR> Docs", "01-10-02 12:30AM", 200201100030, -1, false, ""},
        {"12-31-2019 11:59PM 5120 a b.zip", "12-31-2019 11:59PM", 201912312359, -1, false, ""},
        {"type=file;size=10;modify=20191207073100;unix.mode=0644; a b.txt", "2019-12-07 07:31:00", 201912070731, 0,
         false, "-rw-r--r--"},
        {"type=file;modify=20261208131946.123; s.txt", "2026-12-08 13:19:46", 202612081319, 46, false, ""},
        {"type=dir;modify=20200101000000;perm=flcdmpe; pub", "2020-01-01 00:00:00", 202001010000, 0, false, "flcdmpe"},
        {"type=file;modify=202001010000; minutes", "2020-01-01 00:00", 202001010000, -1, false, ""},
        {"type=dir;UNIX.mode=0755; d", "", -1, -1, false, "drwxr-xr-x"},
        {"type=file;perm=radfwMT;unix.mode=0o640; py", "", -1, -1, false, "-rw-r-----"},  // pyftpdlib's octal
        {"type=file;perm=r;unix.mode=0o8; bad", "", -1, -1, false, "r"},
        {"type=file;modify=2019; short", "", -1, -1, false, ""},
    };
    for (const auto &row : rows) {
        const TListingEntry entry = ParseListingLine(row.Line, 20261207);
        EXPECT_EQ(entry.Modified, row.Modified) << row.Line;
        EXPECT_EQ(entry.Time, row.Time) << row.Line;
        EXPECT_EQ(entry.Second, row.Second) << row.Line;
        EXPECT_EQ(entry.DateOnly, row.DateOnly) << row.Line;
        EXPECT_EQ(entry.Permissions, row.Permissions) << row.Line;
    }
}

TEST(ListingParser, OneRowPerDialectAndQuirk)
{
    const struct {
        const char *Line;
        bool Folder;
        const char *Name;
    } rows[] = {
        // Unix "ls -l", as vsftpd, proftpd, pure-ftpd and pyftpdlib send it.
        {"drwxr-xr-x 2 ftp ftp 4096 Jan 10 12:00 pub", true, "pub"},
        {"-rw-r--r-- 1 ftp ftp 1234 Jan 10 12:00 read me.txt", false, "read me.txt"},
        {"-rw-r--r--    1 1000     1000           24 Dec 07 07:31 probe.txt", false, "probe.txt"},  // vsftpd
        {"-rw-r--r--   1 103      nogroup        24 Dec  7 07:32 probe.txt", false, "probe.txt"},  // proftpd
        {"-rw-r--r-- 1 a b 3 Jan 1 2020 caf\xe9", false, "caf\xe9"},  // bytes, not UTF-8
        // A link is a file, named without its target; a file may hold an arrow.
        {"lrwxrwxrwx 1 ftp ftp 7 Jan 10 12:00 www -> pub", false, "www"},
        {"-rw 1 a b 3 Jan 1 2020 a -> b", false, "a -> b"},
        // No group column: the name is not "1994 dir".
        {"dr-xr-xr-x 2 root 512 Apr 8 1994 dir", true, "dir"},
        // A device: "major, minor" stands where the size does.
        {"crw-rw-rw- 1 root root 1, 5 Jun 29 1997 zero", false, "zero"},
        // Blanks in a name are the name's, at its end too.
        {"-rw-r--r-- 1 u g 5 Jan 1 12:00 two  blanks  ", false, "two  blanks  "},
        {"-rw 1 a b 0 Jan  1  2020   spaced   name  ", false, "  spaced   name  "},
        // An owner named like a month is no date.
        {"-rw-r--r-- 1 Jan Feb 5 Mar 3 12:00 odd", false, "odd"},
        // An ACL mark after the permissions; the long ISO time style.
        {"drwxr-xr-x+ 2 a b 4096 Jan 1 12:00 acl", true, "acl"},
        {"-rw-r--r-- 1 a b 10 2019-12-07 07:31 iso.txt", false, "iso.txt"},
        // Minimal servers: short permissions, any letter case for the kind.
        {"dr-x 1 a b 0 Jan 1 2020 lower", true, "lower"},
        {"Drwx 1 a b 0 Jan 1 2020 upper", true, "upper"},
        // A leading blank: still a Unix line.
        {" drwx 1 a b 0 Jan 1 2020 leading-blank", true, "leading-blank"},
        // DOS and IIS: by columns, so blanks in a name stay.
        {"01-10-02 12:00PM <DIR> Docs", true, "Docs"},
        {"01-10-02 12:00PM <DIR> My Docs", true, "My Docs"},
        {"01-10-02 12:00PM 5120 a.zip", false, "a.zip"},
        {"12-31-2019  11:59PM       <DIR>          Year Four Digits", true, "Year Four Digits"},
        // EPLF: "/" marks a folder, the name follows a tab.
        {"+i8388621.48594,m825718503,r,s280,\tdjb.html", false, "djb.html"},
        {"+i8388621.50690,m824255907,/,\t514", true, "514"},
        // MLSD facts.
        {"type=dir;modify=20191207073100;perm=flcdmpe; sub dir", true, "sub dir"},
        {"Type=file;Size=1024;Modify=20191207073100; a b.txt", false, "a b.txt"},
        // Anything else: the words after the eighth.
        {"nospace", false, "nospace"},
        {"total", false, "total"},  // a file of that name
    };
    // Alone, and in turn as one listing: the dialect of the line before,
    // tried first, reads no line of another.
    int dialect = -1;
    for (const auto &row : rows)
        for (const TListingEntry &entry : {ParseListingLine(row.Line), ParseListingLine(row.Line, 0, dialect)}) {
            EXPECT_FALSE(entry.Skip) << row.Line;
            EXPECT_EQ(entry.IsFolder, row.Folder) << row.Line;
            EXPECT_EQ(entry.Name, row.Name) << row.Line;
        }
    // A link keeps where it leads, up to the end of the line; a file that
    // holds an arrow leads nowhere.
    EXPECT_EQ(ParseListingLine("lrwxrwxrwx 1 ftp ftp 7 Jan 10 12:00 www -> pub").LinkTarget, "pub");
    EXPECT_EQ(ParseListingLine("lrwxrwxrwx 1 u g 9 Jan 1 2020 a -> ../b -> c").LinkTarget, "../b -> c");
    EXPECT_EQ(ParseListingLine("-rw 1 a b 3 Jan 1 2020 a -> b").LinkTarget, "");
    // Lines that name nothing.
    for (const char *line : {"total 8", "total 0", "", "   ", "type=cdir;modify=20191207073100; /pub",
                             "type=pdir; ..", "-rw-r--r-- 1 u g 5 Jan 1 12:00"})
        EXPECT_TRUE(ParseListingLine(line).Skip) << line;
}

TEST(ListingParser, LinesEndAtLineFeeds)
{
    using Lines = std::vector<std::string>;
    const std::pair<std::string, Lines> rows[] = {
        {"a\r\nb\nc", {"a", "b", "c"}},
        {"a\n\nb\n", {"a", "", "b"}},
        // A bare CR belongs to its line: a name may hold one.
        {"name\rwith CR\r\nnext\r\n", {"name\rwith CR", "next"}},
        // A NUL ends its own line's text, not the listing.
        {std::string("cut\0junk\r\nkept\n", 15), {"cut", "kept"}},
        {"", {}},
    };
    // As the bytes arrive: in two pieces cut anywhere, and one at a time.
    const auto arriving = [](const std::string &bytes, const std::vector<size_t> &cuts, size_t maxLine, size_t *longLines) {
        Lines lines;
        TListingLines splitter(maxLine, [&lines](std::string_view line) {
            lines.emplace_back(line);
            return true;
        });
        size_t from = 0;
        for (const size_t cut : cuts) {
            splitter.Add(std::string_view(bytes).substr(from, cut - from));
            from = cut;
        }
        splitter.Add(std::string_view(bytes).substr(from));
        splitter.Finish();
        if (longLines)
            *longLines = splitter.LongLines();
        return lines;
    };
    for (const auto &[bytes, lines] : rows) {
        EXPECT_EQ(SplitListing(bytes), lines);
        std::vector<size_t> each;
        for (size_t cut = 0; cut <= bytes.size(); ++cut) {
            EXPECT_EQ(arriving(bytes, {cut}, std::string::npos, nullptr), lines) << "cut at " << cut;
            each.push_back(cut);
        }
        EXPECT_EQ(arriving(bytes, each, std::string::npos, nullptr), lines) << "byte by byte";
    }
    // A line longer than the most (8 bytes here, its CR included) is
    // skipped whole, however it arrives; the lines around it are kept.
    const std::tuple<std::string, Lines, size_t> bounded[] = {
        {"short\n123456789\nnext\n", {"short", "next"}, 1},
        {"1234567\r\n12345678\r\nok", {"1234567", "ok"}, 1},
        {"ok\nendless line without an end", {"ok"}, 1},
        {"a\n0123456789012345678901234567890\nb\n0123456789\n", {"a", "b"}, 2},
    };
    for (const auto &[bytes, lines, skipped] : bounded)
        for (size_t cut = 0; cut <= bytes.size(); ++cut) {
            size_t longLines = 0;
            EXPECT_EQ(arriving(bytes, {cut}, 8, &longLines), lines) << bytes << " cut at " << cut;
            EXPECT_EQ(longLines, skipped) << bytes << " cut at " << cut;
        }
}

// Any size up to the largest 64-bit number is a size; past it, the line is
// refused, in every dialect that states sizes.
TEST(ListingParser, SizesPastSixtyFourBitsRefuseTheirLine)
{
    const struct {
        const char *Line;
        int64_t Size;  // -2: refused
    } rows[] = {
        {"-rw-r--r-- 1 u g 9223372036854775807 Jan  1 12:00 largest", INT64_MAX},
        {"-rw-r--r-- 1 u g 9223372036854775808 Jan  1 12:00 past", -2},
        {"type=file;size=9223372036854775807; largest", INT64_MAX},
        {"type=file;size=99999999999999999999; past", -2},
        {"01-10-02  12:00PM  99999999999999999999 past.zip", -2},
    };
    for (const auto &row : rows) {
        const TListingEntry entry = ParseListingLine(row.Line);
        EXPECT_EQ(entry.Invalid, row.Size == -2) << row.Line;
        EXPECT_EQ(entry.Skip, row.Size == -2) << row.Line;
        if (row.Size != -2) {
            EXPECT_EQ(entry.Size, row.Size) << row.Line;
        }
    }
}

}  // namespace
