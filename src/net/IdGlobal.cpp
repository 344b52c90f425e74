#include "IdGlobal.h"

#include <algorithm>
#include <cctype>
#include <ctime>

std::string FormatText(const std::string &format, const std::string &argument)
{
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            out += argument;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::string FormatNumber(const std::string &format, long long number)
{
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 'd') {
            out += std::to_string(number);
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::string Trim(const std::string &text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return text.substr(begin, end - begin);
}

int64_t SecondsOfTimeText(const std::string &text)
{
    if (text.size() < 14 || !std::all_of(text.begin(), text.begin() + 14, [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    const auto field = [&text](size_t at, size_t length) { return std::stoi(text.substr(at, length)); };
    std::tm parts{};
    parts.tm_year = field(0, 4) - 1900;
    parts.tm_mon = field(4, 2) - 1;
    parts.tm_mday = field(6, 2);
    parts.tm_hour = field(8, 2);
    parts.tm_min = field(10, 2);
    parts.tm_sec = field(12, 2);
    if (parts.tm_mon > 11 || parts.tm_mday < 1 || parts.tm_mday > 31 || parts.tm_hour > 23 || parts.tm_min > 59 ||
        parts.tm_sec > 60)
        return -1;
    return int64_t(timegm(&parts));
}

std::string TimeTextOfSeconds(int64_t seconds)
{
    const std::time_t time = std::time_t(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts));
}

std::string LocalDateTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[128];
    const size_t n = std::strftime(text, sizeof text, "%x %X", &local);
    return std::string(text, n);
}

bool StartsWithNoCase(const std::string &text, const std::string &prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}
