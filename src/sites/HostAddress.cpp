#include "HostAddress.h"

#include "Protocols.h"

#include <QUrl>

namespace {

// The port that `digits` names, from 1 to 65535; 0 when they name none.
int PortOf(const QString &digits)
{
    bool allDigits = !digits.isEmpty() && digits.size() <= 5;
    for (QChar c : digits)
        allDigits = allDigits && c >= '0' && c <= '9';
    const int port = allDigits ? digits.toInt() : 0;
    return port <= 65535 ? port : 0;
}

}  // namespace

THostAddress SplitHostAddress(const QString &text)
{
    THostAddress address;
    QString rest = text;
    if (const auto mark = rest.indexOf("://"); mark > 0) {
        const QString name = rest.left(mark);
        const TProtocol *protocol = ProtocolOf(name.toStdString());
        if (!protocol || !protocol->Make) {
            address.Unsupported =
                protocol ? QString::fromUtf8(protocol->Unsupported.data(), qsizetype(protocol->Unsupported.size()))
                         : QStringLiteral("Veldra speaks FTP and SFTP only: \"%1://\" is not supported.").arg(name);
            return address;
        }
        address.Scheme = QString::fromUtf8(protocol->Scheme.data(), qsizetype(protocol->Scheme.size()));
        address.Port = protocol->DefaultPort;
        address.Security = protocol->Ssh                          ? THostAddress::SSH
                           : protocol->UseTLS == utUseExplicitTLS ? THostAddress::ExplicitTLS
                           : protocol->UseTLS == utUseImplicitTLS ? THostAddress::ImplicitTLS
                                                                  : THostAddress::Plain;
        rest = rest.mid(mark + 3);
        // A path after an address with a scheme names no host.
        if (const auto slash = rest.indexOf('/'); slash >= 0) {
            if (slash + 1 < rest.size())
                address.Path = QUrl::fromPercentEncoding(rest.mid(slash).toUtf8());
            rest.truncate(slash);
        }
    }
    // "user:password@host": the last "@", as a user name may hold one; the
    // first ":" before it, as a password may. No host holds either.
    if (const auto at = rest.lastIndexOf('@'); at >= 0) {
        address.Login = rest.left(at + 1);
        const QString login = rest.left(at);
        const auto colon = login.indexOf(':');
        address.User = QUrl::fromPercentEncoding(login.left(colon).toUtf8());
        if (colon >= 0) {
            address.Password = QUrl::fromPercentEncoding(login.mid(colon + 1).toUtf8());
            address.HasPassword = true;
        }
        rest = rest.mid(at + 1);
    }
    address.Host = rest;
    if (rest.startsWith('[')) {
        // "[::1]" or "[::1]:2121": the host within, a port after it.
        if (const auto close = rest.indexOf(']'); close > 0) {
            address.Host = rest.mid(1, close - 1);
            const QString tail = rest.mid(close + 1);
            if (const int port = tail.startsWith(':') ? PortOf(tail.mid(1)) : 0; port > 0)
                address.Port = port;
            return address;
        }
    } else if (rest.count(':') > 1) {
        return address;  // an IPv6 address without brackets: no port in it
    }
    const auto colon = rest.lastIndexOf(':');
    if (const int port = colon >= 0 ? PortOf(rest.mid(colon + 1)) : 0; port > 0) {
        address.Host = rest.left(colon);
        address.Port = port;
    }
    return address;
}

QString AddressWithoutLogin(const QString &text)
{
    const THostAddress address = SplitHostAddress(text);
    if (address.Login.isEmpty())
        return text;
    const auto mark = text.indexOf("://");
    const qsizetype start = mark > 0 ? mark + 3 : 0;
    QString clean = text;
    return clean.remove(start, address.Login.size());
}
