#include "IdStack.h"

#include "IdException.h"
#include "IdResourceStrings.h"
#include "IdStackPosix.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <charconv>

TIdStack *GStack = nullptr;

TIdStack *CreateDefaultStack()
{
    return new TIdStackPosix;
}

const std::vector<std::string> &TIdStack::LocalAddressList()
{
    RefreshLocalAddresses();
    return FLocalAddresses;
}

std::string TIdStack::PrimaryLocalAddress()
{
    const auto &list = LocalAddressList();
    return list.empty() ? std::string() : list.front();
}

TIdSocketHandleValue TIdStack::NewSocket(int type, int protocol, int family)
{
    const TIdSocketHandleValue handle = CreateSocket(family, type, protocol);
    if (handle == Id_INVALID_SOCKET)
        throw EIdInvalidSocket(RSId::CannotAllocateSocket);
    return handle;
}

bool TIdStack::CheckResult(int result, const std::vector<int> &tolerated)
{
    if (result != Id_SOCKET_ERROR)
        return false;
    const int code = LastError();
    if (std::find(tolerated.begin(), tolerated.end(), code) != tolerated.end())
        return true;
    RaiseError(code);
}

void TIdStack::RaiseError(int code)
{
    throw EIdSocketError(code, ErrorText(code));
}

std::string TIdStack::LookupHost(const std::string &name)
{
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (upper == "LOCALHOST")
        return "127.0.0.1";
    if (IsDottedQuad(name))
        return name;
    return HostToAddress(name);
}

std::vector<std::string> TIdStack::LookupHosts(const std::string &name)
{
    if (IsIPv6Address(name))
        return {name};
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (upper == "LOCALHOST" || IsDottedQuad(name))
        return {LookupHost(name)};
    return HostToAddresses(name);
}

bool TIdStack::IsIPv6Address(const std::string &text)
{
    in6_addr address{};
    return text.find(':') != std::string::npos && ::inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

int TIdStack::FamilyOf(const std::string &address)
{
    return IsIPv6Address(address) ? Id_PF_INET6 : Id_PF_INET;
}

namespace {

// A whole decimal integer, sign allowed, as the general runtime converts it.
bool ToInteger(const std::string &text, long long &value)
{
    if (text.empty())
        return false;
    const char *begin = text.data();
    if (*begin == '+')
        ++begin;
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && begin != end;
}

// The text up to the next ".", and the rest after it (nothing when none).
std::string NextPart(std::string &rest)
{
    const auto dot = rest.find('.');
    std::string part = rest.substr(0, dot);
    rest = dot == std::string::npos ? std::string() : rest.substr(dot + 1);
    return part;
}

}  // namespace

bool TIdStack::IsDottedQuad(const std::string &text)
{
    std::string rest = text;
    std::string parts[4];
    for (int i = 0; i < 3; ++i)
        parts[i] = NextPart(rest);
    parts[3] = rest;
    for (const std::string &part : parts) {
        long long value;
        if (!ToInteger(part, value) || value < 0 || value > 255)
            return false;
    }
    return true;
}

std::string TIdStack::AddressToText(const std::array<uint8_t, 4> &address)
{
    return std::to_string(address[0]) + '.' + std::to_string(address[1]) + '.' + std::to_string(address[2]) + '.' +
           std::to_string(address[3]);
}

std::array<uint8_t, 4> TIdStack::TextToAddress(const std::string &text)
{
    std::string rest = text;
    std::array<uint8_t, 4> address{};
    for (int i = 0; i < 4; ++i) {
        const std::string part = i < 3 ? NextPart(rest) : rest;
        long long value;
        if (!ToInteger(part, value))
            throw EConvertError(part);
        address[size_t(i)] = uint8_t(value & 0xFF);
    }
    return address;
}

std::string TIdStack::ErrorText(int code)
{
    struct Entry {
        int Code;
        const char *Text;
    };
    static const Entry table[] = {
        {10004, "Interrupted system call."},
        {10009, "Bad file number."},
        {10013, "Access denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Operation would block. "},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on non-socket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported on socket."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Cannot assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Net dropped connection or reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send or receive after socket is closed."},
        {10059, "Too many references, cannot splice."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10062, "Too many levels of symbolic links."},
        {10063, "File name too long."},
        {10064, "Host is down."},
        {10065, "No route to host."},
        {10066, "Directory not empty"},
    };
    std::string text;
    for (const Entry &entry : table)
        if (entry.Code == code)
            text = entry.Text;
    return FormatNumber(RSId::SocketError, code) + "\r\n" + text;
}
