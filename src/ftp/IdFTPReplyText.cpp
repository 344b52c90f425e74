#include "IdFTPReplyText.h"

#include "IdException.h"
#include "IdGlobal.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

namespace {

int DecimalField(const std::string &field)
{
    int value = 0;
    const char *begin = field.data();
    const char *end = field.data() + field.size();
    if (begin != end && *begin == '+')
        ++begin;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (field.empty() || begin == end || error != std::errc() || stop != end)
        throw EConvertError(field);
    return value;
}

}  // namespace

TIdPassiveAddress ParsePassiveAddress(const std::string &line)
{
    // Seen: "227 Entering Passive Mode (127,0,0,1,4,51)" and, without the
    // parentheses, "227 Entering Passive Mode 127,0,0,1,4,51".
    const std::string text = Trim(line);
    std::string fields;
    const auto open = text.find('(');
    const auto close = text.find(')');
    if (open != std::string::npos && close != std::string::npos) {
        fields = close > open ? text.substr(open + 1, close - open - 1) : std::string();
    } else {
        const auto blank = text.rfind(' ');
        fields = blank == std::string::npos ? text : text.substr(blank + 1);
    }

    std::vector<std::string> parts;
    size_t start = 0;
    for (int i = 0; i < 5; ++i) {
        const auto comma = fields.find(',', start);
        parts.push_back(fields.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        start = comma == std::string::npos ? fields.size() : comma + 1;
    }
    parts.push_back(start <= fields.size() ? fields.substr(start) : std::string());

    TIdPassiveAddress address;
    address.Host = parts[0] + "." + parts[1] + "." + parts[2] + "." + parts[3];
    const int high = DecimalField(parts[4]), low = DecimalField(parts[5]);
    // Each field is one byte; the host fields are not used, but numbers
    // there must be bytes too.
    bool valid = high >= 0 && high <= 255 && low >= 0 && low <= 255 && high * 256 + low != 0;
    for (int i = 0; i < 4 && valid; ++i) {
        int field = 0;
        const auto [end, error] = std::from_chars(parts[size_t(i)].data(), parts[size_t(i)].data() + parts[size_t(i)].size(), field);
        if (error == std::errc() && end == parts[size_t(i)].data() + parts[size_t(i)].size())
            valid = field >= 0 && field <= 255;
    }
    if (!valid)
        throw EIdFTPInvalidPassiveReply("The server's passive address is not valid: " + text);
    address.Port = high * 256 + low;
    return address;
}

int ParseExtendedPassivePort(const std::string &line)
{
    const auto open = line.find('(');
    const auto close = line.find(')', open);
    const std::string fields =
        open == std::string::npos || close == std::string::npos ? std::string() : line.substr(open + 1, close - open - 1);
    int port = 0;
    const bool framed = fields.size() >= 5 && fields[0] == fields[1] && fields[1] == fields[2] &&
                        fields.back() == fields[0] && !std::isdigit(uint8_t(fields[0]));
    if (framed) {
        const auto [end, error] = std::from_chars(fields.data() + 3, fields.data() + fields.size() - 1, port);
        if (error != std::errc() || end != fields.data() + fields.size() - 1)
            port = 0;
    }
    if (port <= 0 || port > 65535)
        throw EIdFTPInvalidPassiveReply("The server's passive address is not valid: " + Trim(line));
    return port;
}

std::string ExtractQuotedPath(const std::string &line)
{
    const auto open = line.find('"');
    const std::string rest = open == std::string::npos ? line : line.substr(open + 1);
    const auto close = rest.find('"');
    return close == std::string::npos ? std::string() : rest.substr(0, close);
}

int64_t SizeFromReplyText(const std::string &text)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
        return -1;
    int64_t size = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    return error == std::errc() && stop == text.data() + text.size() ? size : -1;
}

std::string TimeFromReply(int code, const std::vector<std::string> &lines)
{
    if (code != 213 || lines.empty())
        return {};
    const std::string reply = Trim(lines.back());
    const auto blank = reply.find(' ');
    const std::string time = blank == std::string::npos ? std::string() : reply.substr(blank + 1, 14);
    const bool digits =
        time.size() == 14 && std::all_of(time.begin(), time.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digits ? time : std::string();
}

int64_t SizeFromReply(int code, const std::vector<std::string> &lines)
{
    if (code != 213)
        return -1;
    std::string reply;
    for (size_t i = 0; i < lines.size(); ++i)
        reply += (i ? "\r\n" : "") + lines[i];
    reply = Trim(reply);
    const auto blank = reply.find(' ');
    return SizeFromReplyText(blank == std::string::npos ? std::string() : reply.substr(blank + 1));
}
