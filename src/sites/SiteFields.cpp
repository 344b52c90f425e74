#include "SiteFields.h"

#include "HostAddress.h"
#include "Protocols.h"

#include <array>
#include <utility>

namespace SiteFields {

namespace {

constexpr std::array ProtocolKeys{"ftp", "ftpes", "ftps", "ftp-plain", "sftp"};
constexpr std::array LogonKeys{"anonymous", "normal", "ask", "keyfile", "interactive"};
constexpr std::array ModeKeys{"default", "active", "passive"};
constexpr std::array ProxyKeys{"default", "none", "socks4", "socks4a", "socks5", "http", "system"};

template <typename E, size_t N>
std::optional<E> FromKey(const std::array<const char *, N> &keys, const QString &key)
{
    for (size_t i = 0; i < N; ++i)
        if (key == QLatin1String(keys[i]))
            return E(i);
    return std::nullopt;
}

}  // namespace

QString ProtocolKey(TSiteProtocol protocol) { return ProtocolKeys[size_t(protocol)]; }
std::optional<TSiteProtocol> ProtocolFromKey(const QString &key) { return FromKey<TSiteProtocol>(ProtocolKeys, key); }
QString LogonKey(TLogonType logon) { return LogonKeys[size_t(logon)]; }
std::optional<TLogonType> LogonFromKey(const QString &key) { return FromKey<TLogonType>(LogonKeys, key); }
QString ModeKey(TTransferMode mode) { return ModeKeys[size_t(mode)]; }
std::optional<TTransferMode> ModeFromKey(const QString &key) { return FromKey<TTransferMode>(ModeKeys, key); }
QString ProxyKey(TSiteProxy proxy) { return ProxyKeys[size_t(proxy)]; }
std::optional<TSiteProxy> ProxyFromKey(const QString &key) { return FromKey<TSiteProxy>(ProxyKeys, key); }

QStringList ProtocolTexts()
{
    return {"FTP (TLS where the server offers it)", "FTP over explicit TLS", "FTP over implicit TLS",
            "Plain FTP only (unencrypted)", "SFTP (SSH)"};
}

QStringList LogonTexts()
{
    return {"Anonymous", "Normal", "Ask for the password", "Key file (SFTP)", "Interactive"};
}

QStringList ModeTexts()
{
    return {"Default (the Server menu's switch)", "Active", "Passive"};
}

QStringList ProxyTexts()
{
    return {"As in Settings", "No proxy", "SOCKS 4", "SOCKS 4A", "SOCKS 5", "HTTP CONNECT", "The system's proxy"};
}

QString Scheme(TSiteProtocol protocol)
{
    switch (protocol) {
    case TSiteProtocol::FtpesTLS:
        return "ftpes";
    case TSiteProtocol::FtpsTLS:
        return "ftps";
    case TSiteProtocol::Sftp:
        return "sftp";
    case TSiteProtocol::Ftp:
    case TSiteProtocol::FtpPlain:
        break;
    }
    return "ftp";
}

int DefaultPort(TSiteProtocol protocol)
{
    return ProtocolOf(Scheme(protocol).toStdString())->DefaultPort;
}

int PortOf(const TSiteEntry &site)
{
    return site.Port > 0 ? site.Port : DefaultPort(site.Protocol);
}

QString ComposedAddress(const TSiteEntry &site)
{
    const QString host = site.Host.contains(':') ? '[' + site.Host + ']' : site.Host;
    const QString port = site.Port > 0 && site.Port != DefaultPort(site.Protocol) ? ':' + QString::number(site.Port)
                                                                                   : QString();
    return Scheme(site.Protocol) + "://" + host + port;
}

QString EscapedName(const QString &name)
{
    QString escaped = name;
    return escaped.replace('\\', "\\\\").replace('/', "\\/");
}

QStringList PathSteps(const QString &path)
{
    QStringList steps;
    QString step;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && i + 1 < path.size())
            step += path[++i];
        else if (path[i] == '/')
            steps << std::exchange(step, QString());
        else
            step += path[i];
    }
    if (!path.isEmpty())
        steps << step;
    return steps;
}

QString JoinedPath(const QStringList &steps)
{
    QStringList escaped;
    for (const QString &step : steps)
        escaped << EscapedName(step);
    return escaped.join('/');
}

QString FreeName(const QString &name, const std::function<bool(const QString &)> &taken)
{
    QString candidate = name;
    for (int n = 2; taken(candidate); ++n)
        candidate = QStringLiteral("%1 (%2)").arg(name).arg(n);
    return candidate;
}

void FillFromAddress(TSiteEntry &site)
{
    const THostAddress address = SplitHostAddress(site.Address);
    site.Name = site.Address;
    site.Host = address.Host;
    site.Protocol = address.Security == THostAddress::SSH           ? TSiteProtocol::Sftp
                    : address.Security == THostAddress::ExplicitTLS ? TSiteProtocol::FtpesTLS
                    : address.Security == THostAddress::ImplicitTLS ? TSiteProtocol::FtpsTLS
                                                                    : TSiteProtocol::FtpPlain;
    site.Port = address.Port == DefaultPort(site.Protocol) ? 0 : address.Port;
}

}  // namespace SiteFields

QString TSiteEntry::Path() const
{
    // The name as it is: an address as a name ("sftp://host") reads as
    // typed. Only the folders' steps are escaped.
    return Folder.isEmpty() ? Name : Folder + '/' + Name;
}
