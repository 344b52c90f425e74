#include "ListingParser.h"

#include <charconv>

#include "IdGlobal.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <ctime>
#include <string_view>

namespace {

bool IsDigit(char ch)
{
    return std::isdigit(static_cast<unsigned char>(ch)) != 0;
}

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// A field of a line and where it stands, so that the name after it can be
// taken with its blanks.
struct TField {
    std::string_view Text;
    size_t End = 0;
};

// The few fields a dialect looks at, kept off the heap: a listing has
// thousands of lines.
struct TFields {
    static constexpr size_t Most = 12;
    std::array<TField, Most> Items{};
    size_t Count = 0;
    size_t size() const { return Count; }
    const TField &operator[](size_t i) const { return Items[i]; }
    void push_back(const TField &field) { Items[Count++] = field; }
};

TFields FieldsOf(std::string_view line, size_t from, size_t most)
{
    TFields fields;
    most = std::min(most, TFields::Most);
    size_t at = from;
    while (fields.size() < most) {
        while (at < line.size() && line[at] == ' ')
            ++at;
        if (at >= line.size())
            break;
        const size_t start = at;
        while (at < line.size() && line[at] != ' ')
            ++at;
        fields.push_back({line.substr(start, at - start), at});
    }
    return fields;
}

// 1 for "jan" to 12 for "dec", in any case; 0 for anything else.
int MonthOf(std::string_view field)
{
    static constexpr std::string_view months = "janfebmaraprmayjunjulaugsepoctnovdec";
    if (field.size() != 3)
        return 0;
    char lower[3];
    for (int i = 0; i < 3; ++i)
        lower[i] = char(std::tolower(static_cast<unsigned char>(field[size_t(i)])));
    const size_t at = months.find(std::string_view(lower, 3));
    return at == std::string_view::npos || at % 3 != 0 ? 0 : int(at / 3) + 1;
}

bool IsMonth(std::string_view field)
{
    return MonthOf(field) != 0;
}

// "07:31", "7:31", or with seconds.
bool IsTime(std::string_view field)
{
    const size_t colon = field.find(':');
    return colon != std::string_view::npos && colon >= 1 && colon <= 2 && field.size() >= colon + 3 &&
           AllDigits(field.substr(0, colon)) && AllDigits(field.substr(colon + 1, 2)) &&
           (field.size() == colon + 3 || (field[colon + 3] == ':' && AllDigits(field.substr(colon + 4))));
}

bool IsYear(std::string_view field)
{
    return field.size() == 4 && AllDigits(field);
}

bool IsDay(std::string_view field)
{
    return field.size() <= 2 && AllDigits(field);
}

// "2019-12-07", as "ls --time-style=long-iso" prints it.
bool IsIsoDate(std::string_view field)
{
    return field.size() == 10 && field[4] == '-' && field[7] == '-' && AllDigits(field.substr(0, 4)) &&
           AllDigits(field.substr(5, 2)) && AllDigits(field.substr(8, 2));
}

// The kind letter, then permission letters: "drwxr-xr-x", "-rw-r--r--+"
// (an ACL), "dr-x" from minimal servers.
bool IsPermissions(std::string_view field)
{
    if (field.empty() || !std::strchr("-bcdDlps", field[0]))
        return false;
    std::string_view rest = field.substr(1);
    if (!rest.empty() && std::strchr("+.@", rest.back()))
        rest.remove_suffix(1);
    return std::all_of(rest.begin(), rest.end(), [](char ch) { return std::strchr("-rwxsStTlL", ch) != nullptr; });
}

// Digits past the largest 64-bit number: no file is that large, and the
// line that says so is refused.
constexpr int64_t TooLarge = -2;

// A size field: plain digits that fit, TooLarge for digits that do not,
// else -1.
int64_t SizeOf(std::string_view text)
{
    int64_t size = -1;
    if (text.empty() || !AllDigits(text))
        return -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    if (error == std::errc::result_out_of_range)
        return TooLarge;
    return error == std::errc() && end == text.data() + text.size() ? size : -1;
}

int Number(std::string_view digits)
{
    int value = 0;
    for (const char ch : digits)
        value = value * 10 + (ch - '0');
    return value;
}

// YYYYMMDDhhmm from its parts.
int64_t TimeOf(int year, int month, int day, int hour, int minute)
{
    return (((int64_t(year) * 100 + month) * 100 + day) * 100 + hour) * 100 + minute;
}

// "Dec 7 07:31" (the last twelve months), "Apr 8 1994", or ISO "2019-12-07"
// and "07:31".
int64_t UnixTime(std::string_view first, std::string_view second, std::string_view third, int today)
{
    if (IsIsoDate(first))
        return TimeOf(Number(first.substr(0, 4)), Number(first.substr(5, 2)), Number(first.substr(8, 2)),
                      Number(second.substr(0, second.find(':'))), Number(second.substr(second.find(':') + 1, 2)));
    const int month = MonthOf(first), day = Number(second);
    if (IsYear(third))
        return TimeOf(Number(third), month, day, 0, 0);
    int year = today / 10000;
    if (month * 100 + day > today % 10000 + 1)  // a day ahead allows for time zones
        --year;
    return TimeOf(year, month, day, Number(third.substr(0, third.find(':'))), Number(third.substr(third.find(':') + 1, 2)));
}

// "0644" and the kind as "-rw-r--r--".
std::string ModeText(std::string_view mode, bool folder)
{
    std::string text = folder ? "d" : "-";
    int bits = 0;
    for (const char ch : mode.substr(mode.size() > 3 ? mode.size() - 3 : 0))
        bits = bits * 8 + (ch - '0');
    for (int shift = 6; shift >= 0; shift -= 3)
        for (int i = 0; i < 3; ++i)
            text += (bits >> (shift + 2 - i) & 1) ? "rwx"[i] : '-';
    return text;
}

// ---- the dialects -----------------------------------------------------------------

// "total 8" heads a Unix listing.
bool ParseTotal(std::string_view line, TListingEntry &entry)
{
    const std::string trimmed = Trim(std::string(line));
    if (trimmed.size() <= 6 || !trimmed.starts_with("total ") || !AllDigits(std::string_view(trimmed).substr(6)))
        return false;
    entry.Skip = true;
    return true;
}

// EPLF: "+i8388621.48594,m825718503,r,s280,\tdjb.html"; "/" marks a folder.
bool ParseEplf(std::string_view line, TListingEntry &entry)
{
    const size_t tab = line.find('\t');
    if (line.empty() || line[0] != '+' || tab == std::string_view::npos)
        return false;
    const std::string_view facts = line.substr(1, tab - 1);
    entry.IsFolder = facts == "/" || facts.find(",/,") != std::string_view::npos || facts.starts_with("/,");
    entry.Name = std::string(line.substr(tab + 1));
    entry.Skip = entry.Name.empty();
    return true;
}

// MLSD facts: "type=dir;modify=20191207073100; name". The folder itself
// and its parent come as "cdir" and "pdir": no entries.
bool ParseFacts(std::string_view line, TListingEntry &entry)
{
    const size_t end = line.find("; ");
    if (end == std::string_view::npos || line.substr(0, end).find('=') == std::string_view::npos ||
        line.substr(0, end).find(' ') != std::string_view::npos)
        return false;
    std::string type, mode;
    for (std::string_view facts = line.substr(0, end + 1); !facts.empty();) {
        const size_t semicolon = facts.find(';');
        const std::string_view fact = facts.substr(0, semicolon);
        facts.remove_prefix(semicolon + 1);
        const size_t equals = fact.find('=');
        if (equals == std::string_view::npos)
            return false;
        std::string name(fact.substr(0, equals));
        std::transform(name.begin(), name.end(), name.begin(), [](char ch) { return char(std::tolower(ch)); });
        const std::string_view value = fact.substr(equals + 1);
        if (name == "type") {
            type = std::string(value);
            std::transform(type.begin(), type.end(), type.begin(), [](char ch) { return char(std::tolower(ch)); });
        } else if (name == "size") {
            entry.Size = SizeOf(value);
        } else if (name == "modify" && value.size() >= 12 && AllDigits(value.substr(0, 12))) {
            // Coordinated universal time, shown as the long ISO style.
            entry.Time = SizeOf(value.substr(0, 12));
            entry.Seconds = value.size() >= 14 ? SecondsOfTimeText(std::string(value.substr(0, 14))) : -1;
            const bool seconds = value.size() >= 14 && AllDigits(value.substr(12, 2)) && Number(value.substr(12, 2)) < 60;
            entry.Second = seconds ? Number(value.substr(12, 2)) : -1;
            entry.Modified = std::string(value.substr(0, 4)) + '-' + std::string(value.substr(4, 2)) + '-' +
                             std::string(value.substr(6, 2)) + ' ' + std::string(value.substr(8, 2)) + ':' +
                             std::string(value.substr(10, 2)) + (seconds ? ':' + std::string(value.substr(12, 2)) : "");
        } else if (name == "unix.mode") {
            // Octal, "0644"; pyftpdlib writes Python's "0o644".
            std::string_view digits = value.starts_with("0o") ? value.substr(2) : value;
            if (!digits.empty() && digits.size() <= 5 &&
                std::all_of(digits.begin(), digits.end(), [](char ch) { return ch >= '0' && ch <= '7'; }))
                mode = std::string(digits);
        } else if (name == "perm" && entry.Permissions.empty()) {
            entry.Permissions = std::string(value);
        }
    }
    entry.Name = std::string(line.substr(end + 2));
    entry.IsFolder = type == "dir";
    if (type != "file")
        entry.Size = -1;  // a plain file's only
    if (!mode.empty())
        entry.Permissions = ModeText(mode, entry.IsFolder);
    entry.Skip = entry.Name.empty() || type == "cdir" || type == "pdir";
    return true;
}

// DOS and IIS: "01-10-02  12:00PM  <DIR>  Docs", "12-31-2019 11:59PM 5120 a b.zip".
bool ParseDos(std::string_view line, TListingEntry &entry)
{
    const TFields fields = FieldsOf(line, 0, 3);
    if (fields.size() < 3)
        return false;
    const std::string_view date = fields[0].Text, time = fields[1].Text;
    const bool dateOk = (date.size() == 8 || date.size() == 10) && AllDigits(date.substr(0, 2)) && date[2] == '-' &&
                        AllDigits(date.substr(3, 2)) && date[5] == '-' && AllDigits(date.substr(6));
    const bool timeOk = (time.size() == 5 || time.size() == 7) && AllDigits(time.substr(0, 2)) && time[2] == ':' &&
                        AllDigits(time.substr(3, 2));
    if (!dateOk || !timeOk)
        return false;
    size_t start = fields[2].End;
    while (start < line.size() && line[start] == ' ')
        ++start;
    entry.IsFolder = fields[2].Text == "<DIR>";
    if (!entry.IsFolder)
        entry.Size = SizeOf(fields[2].Text);
    entry.Modified = std::string(date) + ' ' + std::string(time);
    // "01-10-02 12:00PM": month, day, a year of two digits or four.
    int year = Number(date.substr(6));
    if (date.size() == 8)
        year += year < 70 ? 2000 : 1900;
    int hour = Number(time.substr(0, 2)) % 12;
    if (time.size() == 7 && (time[5] == 'P' || time[5] == 'p'))
        hour += 12;
    else if (time.size() == 5)
        hour = Number(time.substr(0, 2));
    entry.Time = TimeOf(year, Number(date.substr(0, 2)), Number(date.substr(3, 2)), hour, Number(time.substr(3, 2)));
    entry.Name = Trim(std::string(line.substr(start)));
    entry.Skip = entry.Name.empty();
    return true;
}

// Unix "ls -l": permissions, then links, owner, group and size, any of
// which some server leaves out or changes ("1, 5" for a device), then the
// date. The date is what is looked for: a month, a day and a time or a
// year (or an ISO date and a time); the name is everything after the one
// blank that follows it. Seen:
//   "dr-xr-xr-x 2 root 512 Apr 8 1994 dir" (no group)
//   "crw-rw-rw- 1 root root 1, 5 Jun 29 1997 zero" (a device)
bool ParseUnix(std::string_view line, TListingEntry &entry, int today)
{
    size_t start = 0;
    while (start < line.size() && line[start] == ' ')
        ++start;
    const TFields fields = FieldsOf(line, start, 12);
    if (fields.size() < 4 || !IsPermissions(fields[0].Text))
        return false;
    size_t nameStart = std::string_view::npos, dateAt = 0, dateEnd = 0;
    for (size_t i = 2; i + 1 < fields.size() && nameStart == std::string_view::npos; ++i) {
        if (i + 2 < fields.size() && IsMonth(fields[i].Text) && IsDay(fields[i + 1].Text) &&
            (IsTime(fields[i + 2].Text) || IsYear(fields[i + 2].Text)))
            dateEnd = i + 2;
        else if (IsIsoDate(fields[i].Text) && IsTime(fields[i + 1].Text))
            dateEnd = i + 1;
        if (dateEnd != 0)
            nameStart = fields[dateEnd].End + 1;
        dateAt = i;
    }
    if (nameStart == std::string_view::npos)
        return false;
    const size_t dateStart = size_t(fields[dateAt].Text.data() - line.data());
    entry.Modified = std::string(line.substr(dateStart, fields[dateEnd].End - dateStart));
    entry.Time = UnixTime(fields[dateAt].Text, fields[dateAt + 1].Text,
                          dateEnd == dateAt + 2 ? fields[dateEnd].Text : std::string_view(), today);
    // "Dec  7  2019": a year where the time of day would be.
    entry.DateOnly = dateEnd == dateAt + 2 && IsYear(fields[dateEnd].Text);
    entry.Permissions = std::string(fields[0].Text);
    // The owner follows the count of links, where both are there.
    if (dateAt >= 4 && fields[1].Text.find_first_not_of("0123456789") == std::string_view::npos)
        entry.Owner = std::string(fields[2].Text);
    entry.Name = nameStart < line.size() ? std::string(line.substr(nameStart)) : std::string();
    const char kind = fields[0].Text[0];
    // A link is named by itself, not by its target.
    if (kind == 'l') {
        const size_t arrow = entry.Name.find(" -> ");
        if (arrow != std::string::npos) {
            entry.LinkTarget = entry.Name.substr(arrow + 4);
            entry.Name.resize(arrow);
        }
        entry.IsLink = true;
    }
    entry.IsFolder = kind == 'd' || kind == 'D';
    // The size stands just before the date, on a plain file's line.
    if (kind == '-')
        entry.Size = SizeOf(fields[dateAt - 1].Text);
    entry.Skip = entry.Name.empty();
    return true;
}

// Anything else: eight blank-separated fields dropped before the name, and
// " <DIR>" or a first field beginning with "d" for a folder.
bool ParseByWords(std::string_view line, TListingEntry &entry)
{
    const std::string text(line);
    const auto firstBlank = text.find(' ');
    const std::string first = firstBlank == std::string::npos ? std::string() : Trim(text.substr(0, firstBlank));
    std::string rest = text;
    for (int i = 0; i < 8; ++i) {
        const auto blank = rest.find(' ');
        rest = Trim(blank == std::string::npos ? rest : rest.substr(blank + 1));
    }
    entry.Name = rest;
    entry.IsFolder = (!first.empty() && std::toupper(static_cast<unsigned char>(first[0])) == 'D') ||
                     text.find(" <DIR>") != std::string::npos;
    entry.Skip = rest.empty();
    return true;
}

struct TDialect {
    const char *Name;
    bool (*Parse)(std::string_view line, TListingEntry &entry, int today);
};

template <bool (*Parse)(std::string_view, TListingEntry &)>
bool Dated(std::string_view line, TListingEntry &entry, int)
{
    return Parse(line, entry);
}

// In order: the first that knows the line reads it.
constexpr TDialect Dialects[] = {
    {"total line", Dated<ParseTotal>}, {"EPLF", Dated<ParseEplf>}, {"MLSD facts", Dated<ParseFacts>},
    {"DOS and IIS", Dated<ParseDos>},  {"Unix ls -l", ParseUnix},   {"words", Dated<ParseByWords>},
};

// Asked once a minute per thread: a listing has thousands of lines.
int Today()
{
    thread_local std::time_t minute = -1;
    thread_local int today = 0;
    const std::time_t now = std::time(nullptr);
    if (now / 60 != minute) {
        minute = now / 60;
        std::tm parts{};
        localtime_r(&now, &parts);
        today = (parts.tm_year + 1900) * 10000 + (parts.tm_mon + 1) * 100 + parts.tm_mday;
    }
    return today;
}

}  // namespace

TListingEntry ParseListingLine(std::string_view line, int today)
{
    int dialect = -1;
    return ParseListingLine(line, today, dialect);
}

TListingEntry ParseListingLine(std::string_view line, int today, int &dialect)
{
    if (today == 0)
        today = Today();
    const auto read = [&](int at, TListingEntry &entry) {
        if (!Dialects[at].Parse(line, entry, today))
            return false;
        // A line that names something tells the listing's dialect; the
        // last, which reads any line, tells nothing.
        if (!entry.Skip && at + 1 < int(std::size(Dialects)))
            dialect = at;
        if (entry.Size == TooLarge) {
            entry = {};
            entry.Invalid = entry.Skip = true;
        }
        return true;
    };
    constexpr int count = int(std::size(Dialects));
    if (TListingEntry entry; dialect >= 0 && dialect < count && read(dialect, entry))
        return entry;
    for (int at = 0; at < count; ++at)
        if (TListingEntry entry; at != dialect && read(at, entry))
            return entry;
    return {};
}

TListingLines::TListingLines(size_t maxLine, THandler handler) : FHandler(std::move(handler)), FMaxLine(maxLine) {}

bool TListingLines::Emit(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    // A NUL cuts its own line; the lines after it still count.
    if (const size_t nul = line.find('\0'); nul != std::string_view::npos)
        line = line.substr(0, nul);
    FStopped = !FHandler(line);
    return !FStopped;
}

bool TListingLines::Add(std::string_view bytes)
{
    while (!bytes.empty() && !FStopped) {
        const size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (!FSkipping) {
            if (piece.size() > FMaxLine - FPending.size()) {
                // Too long to be a listing's line: what came of it goes,
                // and the rest up to its end is not kept.
                FSkipping = true;
                ++FLongLines;
                std::string().swap(FPending);
            } else if (end == std::string_view::npos) {
                FPending.append(piece);
            } else if (FPending.empty()) {
                Emit(piece);
            } else {
                FPending.append(piece);
                Emit(FPending);
                FPending.clear();
            }
        }
        if (end == std::string_view::npos)
            break;
        FSkipping = false;
        bytes.remove_prefix(end + 1);
    }
    return !FStopped;
}

bool TListingLines::Finish()
{
    if (!FStopped && !FSkipping && !FPending.empty())
        Emit(FPending);
    FPending.clear();
    return !FStopped;
}

std::vector<std::string> SplitListing(const std::string &bytes)
{
    std::vector<std::string> lines;
    TListingLines splitter(std::string::npos, [&lines](std::string_view line) {
        lines.emplace_back(line);
        return true;
    });
    splitter.Add(bytes);
    splitter.Finish();
    return lines;
}

int64_t TListingLineStream::Write(const void *buffer, int64_t count)
{
    FLines.Add(std::string_view(static_cast<const char *>(buffer), size_t(std::max<int64_t>(count, 0))));
    FPosition += count;
    return count;
}
