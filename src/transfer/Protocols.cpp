#include "Protocols.h"

#include "FtpSession.h"
#include "SessionSettings.h"
#include "SftpSession.h"

#include <algorithm>
#include <cctype>

namespace {

std::unique_ptr<TRemoteSession> MakeFtp()
{
    return std::make_unique<TFtpSession>();
}

std::unique_ptr<TRemoteSession> MakeSftp()
{
    return std::make_unique<TSftpSession>();
}

constexpr TProtocol Table[] = {
    {"ftp", 21, utNoTLS, false, MakeFtp, {}},
    {"ftpes", 21, utUseExplicitTLS, false, MakeFtp, {}},
    {"ftps", 990, utUseImplicitTLS, false, MakeFtp, {}},
    {"sftp", 22, utNoTLS, true, MakeSftp, {}},
};

bool SameScheme(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y)); });
}

}  // namespace

const TProtocol *ProtocolOf(std::string_view scheme)
{
    const auto found = std::find_if(std::begin(Table), std::end(Table),
                                    [scheme](const TProtocol &protocol) { return SameScheme(protocol.Scheme, scheme); });
    return found == std::end(Table) ? nullptr : found;
}

std::unique_ptr<TRemoteSession> MakeSession(const TSessionSettings &settings)
{
    const TProtocol *protocol = ProtocolOf(settings.Protocol);
    if (!protocol)
        throw EIdException("\"" + settings.Protocol + "://\" is not supported.");
    if (!protocol->Make)
        throw EIdException(std::string(protocol->Unsupported));
    return protocol->Make();
}

namespace {

std::string Encoded(std::string_view bytes, std::string_view keep)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto byte = uint8_t(c);
        if (std::isalnum(byte) || std::string_view("-._~").find(c) != std::string_view::npos ||
            keep.find(c) != std::string_view::npos) {
            text += c;
        } else {
            text += '%';
            text += digits[byte >> 4];
            text += digits[byte & 15];
        }
    }
    return text;
}

}  // namespace

std::string RemoteUrl(const TSessionSettings &session, const std::string &path)
{
    std::string url = session.Protocol + "://";
    if (!session.User.empty() && session.User != "anonymous")
        url += Encoded(session.User, {}) + '@';
    url += session.Host.find(':') != std::string::npos ? '[' + session.Host + ']' : session.Host;
    const TProtocol *protocol = ProtocolOf(session.Protocol);
    if (!protocol || session.Port != protocol->DefaultPort)
        url += ':' + std::to_string(session.Port);
    const std::string encoded = Encoded(path, "/");
    return url + (encoded.starts_with('/') ? encoded : '/' + encoded);
}
