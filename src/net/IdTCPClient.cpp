#include "IdTCPClient.h"

#include "IdException.h"
#include "IdIntercept.h"
#include "IdResourceStrings.h"
#include "IdStack.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>

namespace {

constexpr int TcpNoDelayLevel = 6;   // IPPROTO_TCP
constexpr int TcpNoDelayOption = 1;  // TCP_NODELAY

std::string Port16(int port)
{
    return {char((port >> 8) & 0xFF), char(port & 0xFF)};
}

std::string Base64(const std::string &bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = std::min<size_t>(3, bytes.size() - i);
        uint32_t group = 0;
        for (size_t j = 0; j < 3; ++j)
            group = group << 8 | (j < left ? uint8_t(bytes[i + j]) : 0);
        for (size_t j = 0; j < 4; ++j)
            text += j <= left ? digits[(group >> (18 - 6 * j)) & 63] : '=';
    }
    return text;
}

// SOCKS length bytes hold 255 at most: refuse what cannot be sent rather
// than send a length that lies about the bytes after it.
void CheckLength(const std::string &what, size_t length, size_t limit)
{
    if (length > limit)
        throw EIdSocksError(FormatText(RSId::SocksValueTooLong, what));
}

}  // namespace

void TIdTCPClient::NotifyConnected()
{
    if (OnConnected)
        OnConnected(this);
}

void TIdTCPClient::Connect()
{
    if (Socket()->IsOpen)
        throw EIdAlreadyConnected(RSId::AlreadyConnected);
    ResetState();
    try {
        const bool viaSocks = SocksInfo.Proxied();
        const std::string &hopHost = viaSocks ? SocksInfo.Host : Host;
        const int hopPort = viaSocks ? SocksInfo.Port : Port;
        if (!TIdStack::IsDottedQuad(hopHost) && !TIdStack::IsIPv6Address(hopHost))
            ReportStatus(ssResolving, hopHost);
        // Every address of the name, in the resolver's order: a server
        // whose IPv6 address does not answer is reached by its IPv4 one.
        const std::vector<std::string> addresses = GStack->LookupHosts(hopHost);
        Socket()->SetRemote(addresses.front(), hopPort);
        ReportStatus(ssConnecting, addresses.front());
        GStack->CheckResult(Socket()->ConnectAny(addresses, hopPort, ConnectTimeout, [this] {
            Socket()->IP = BoundIP;
            Socket()->Port = 0;
            if (!BoundIP.empty())
                Socket()->Bind();
            if (!UseNagle) {
                const int one = 1;
                Socket()->SetOption(TcpNoDelayLevel, TcpNoDelayOption, &one, sizeof one);
            }
        }));
    } catch (...) {
        try {
            Disconnect();
        } catch (...) {
            // A handler that raises: the connect's own error is reported.
        }
        throw;
    }

    if (InterceptEnabled() && Intercept())
        Intercept()->Attach(Socket());

    switch (SocksInfo.Version) {
    case svSocks4: NegotiateSocks4(false); break;
    case svSocks4A: NegotiateSocks4(true); break;
    case svSocks5: NegotiateSocks5(); break;
    case svHttpConnect: NegotiateHttpConnect(); break;
    case svNoSocks:
    case svSystemProxy: break;
    }

    ReportStatus(ssConnected, Socket()->RemoteIP);
    NotifyConnected();
}

void TIdTCPClient::ConnectAndReadAll()
{
    Connect();
    try {
        ReadAll();
    } catch (...) {
        Disconnect();
        throw;
    }
    Disconnect();
}

void TIdTCPClient::WriteRequest(const std::string &request)
{
    WriteBytes(request.data(), int(request.size()));
}

void TIdTCPClient::NegotiateHttpConnect()
{
    // Nothing of the host may end the request line early.
    if (Host.find_first_of("\r\n ") != std::string::npos)
        throw EIdHttpProxyError("The host name cannot go to an HTTP proxy: \"" + Host + "\".");
    const std::string target = (TIdStack::IsIPv6Address(Host) ? '[' + Host + ']' : Host) + ':' + std::to_string(Port);
    std::string request = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n";
    if (!SocksInfo.UserID.empty())
        request += "Proxy-Authorization: Basic " + Base64(SocksInfo.UserID + ':' + SocksInfo.Password) + "\r\n";
    WriteRequest(request + "\r\n");
    // "HTTP/1.1 200 Connection established", headers, a blank line; what
    // follows is the server's. A proxy's answer is a few hundred bytes:
    // one that goes on, in lines or in time, is no answer.
    constexpr size_t MostLines = 100, MostBytes = 64 * 1024;
    const auto began = std::chrono::steady_clock::now();
    std::string status;
    try {
        status = ReadLine();
        size_t lines = 1, bytes = status.size();
        for (std::string header = ReadLine(); !header.empty(); header = ReadLine()) {
            bytes += header.size() + 2;
            if (++lines > MostLines || bytes > MostBytes)
                throw EIdHttpProxyError("The HTTP proxy's answer does not end (more than " +
                                        std::to_string(MostLines) + " lines or " + std::to_string(MostBytes / 1024) +
                                        " KiB).");
            if (ReadTimeout != IdTimeoutInfinite &&
                std::chrono::steady_clock::now() - began > std::chrono::milliseconds(ReadTimeout))
                throw EIdHttpProxyError("The HTTP proxy's answer did not end in time.");
        }
    } catch (const EIdConnClosedGracefully &) {
        throw EIdHttpProxyError("The HTTP proxy closed the connection" +
                                (status.empty() ? std::string(".") : ": " + status.substr(0, 80)));
    }
    const size_t code = status.find(' ');
    if (!status.starts_with("HTTP/") || code == std::string::npos)
        throw EIdHttpProxyError("The HTTP proxy's answer is not HTTP: " + status.substr(0, 80));
    // Exactly three digits: "2000" is no 200.
    const std::string number = status.substr(code + 1, 4);
    const bool threeDigits = number.size() >= 3 && std::isdigit((unsigned char)number[0]) &&
                             std::isdigit((unsigned char)number[1]) && std::isdigit((unsigned char)number[2]) &&
                             (number.size() == 3 || number[3] == ' ');
    if (!threeDigits)
        throw EIdHttpProxyError("The HTTP proxy's answer is not HTTP: " + status.substr(0, 80));
    if (number.starts_with("200"))
        return;
    const std::string words = status.substr(code + 1, 80);
    // 407 asks for a password; some proxies answer a wrong one with 401.
    if (words.starts_with("407") || words.starts_with("401"))
        throw EIdHttpProxyError("The HTTP proxy wants a user name and password it takes (" + words + ").");
    throw EIdHttpProxyError("The HTTP proxy refused the connection (" + words + ").");
}

void TIdTCPClient::NegotiateSocks4(bool version4A)
{
    const std::string user = SocksInfo.UserID.substr(0, 255);
    if (version4A)
        CheckLength("The host name", user.size() + Host.size(), 254);

    std::string request = {4, 1};
    request += Port16(Port);
    if (version4A) {
        request += std::string("\0\0\0\1", 4);
    } else {
        if (TIdStack::IsIPv6Address(Host))
            throw EIdSocksError("SOCKS 4 reaches IPv4 addresses only: choose SOCKS 5 for \"" + Host + "\".");
        const auto address = TIdStack::TextToAddress(GStack->LookupHost(Host));
        request.append(reinterpret_cast<const char *>(address.data()), 4);
    }
    request += user;
    request += '\0';
    if (version4A) {
        request += Host;
        request += '\0';
    }
    WriteRequest(request);

    char reply[8];
    ReadExact(reply, 8);
    switch (static_cast<unsigned char>(reply[1])) {
    case 90: return;
    case 91: throw EIdSocksRequestFailed(RSId::SocksRequestFailed);
    case 92: throw EIdSocksRequestServerFailed(RSId::SocksRequestServerFailed);
    case 93: throw EIdSocksRequestIdentFailed(RSId::SocksRequestIdentFailed);
    default: throw EIdSocksUnknownError(RSId::SocksUnknownError);
    }
}

std::string TIdTCPClient::ReadSocks5Reply(int count)
{
    std::string reply(size_t(count), '\0');
    try {
        ReadExact(reply.data(), count);
    } catch (const std::exception &) {
        throw EIdSocksServerRespondError(RSId::SocksServerRespondError);
    }
    return reply;
}

void TIdTCPClient::NegotiateSocks5()
{
    CheckLength("The host name", Host.size(), 255);
    const bool withPassword = SocksInfo.Authentication == saUsernamePassword;
    if (withPassword) {
        CheckLength("The user name", SocksInfo.UserID.size(), 255);
        CheckLength("The password", SocksInfo.Password.size(), 255);
    }

    const char method = withPassword ? 2 : 0;
    WriteRequest({5, 1, method});
    const std::string selected = ReadSocks5Reply(2);
    if (selected[1] != method || static_cast<unsigned char>(selected[1]) == 255)
        throw EIdSocksAuthMethodError(RSId::SocksAuthMethodError);

    if (withPassword) {
        std::string login = {1, char(SocksInfo.UserID.size())};
        login += SocksInfo.UserID;
        login += char(SocksInfo.Password.size());
        login += SocksInfo.Password;
        WriteRequest(login);
        if (ReadSocks5Reply(2)[1] != 0)
            throw EIdSocksAuthError(RSId::SocksAuthError);
    }

    // An IPv6 address as its 16 bytes; a name (or an IPv4 address) as the
    // proxy resolves it.
    std::string request = {5, 1, 0};
    in6_addr six{};
    if (TIdStack::IsIPv6Address(Host) && ::inet_pton(AF_INET6, Host.c_str(), &six) == 1) {
        request += char(4);
        request.append(reinterpret_cast<const char *>(&six), sizeof six);
    } else {
        request += {char(3), char(Host.size())};
        request += Host;
    }
    request += Port16(Port);
    WriteRequest(request);

    const std::string reply = ReadSocks5Reply(5);
    switch (static_cast<unsigned char>(reply[1])) {
    case 0: break;
    case 1: throw EIdSocksServerGeneralError(RSId::SocksServerGeneralError);
    case 2: throw EIdSocksServerPermissionError(RSId::SocksServerPermissionError);
    case 3: throw EIdSocksServerNetUnreachableError(RSId::SocksServerNetUnreachableError);
    case 4: throw EIdSocksServerHostUnreachableError(RSId::SocksServerHostUnreachableError);
    case 5: throw EIdSocksServerConnectionRefusedError(RSId::SocksServerConnectionRefusedError);
    case 6: throw EIdSocksServerTTLExpiredError(RSId::SocksServerTTLExpiredError);
    case 7: throw EIdSocksServerCommandError(RSId::SocksServerCommandError);
    case 8: throw EIdSocksServerAddressError(RSId::SocksServerAddressError);
    default: throw EIdSocksUnknownError(RSId::SocksUnknownError);
    }

    // The bound address and port follow; they are of no use to a client.
    int rest;
    switch (reply[3]) {
    case 1: rest = 5; break;
    case 3: rest = static_cast<unsigned char>(reply[4]) + 2; break;
    case 4: rest = 17; break;
    default: rest = 2; break;
    }
    ReadSocks5Reply(rest);
}
