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
