#include "HostAddress.h"

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
    bool known = false;
    const struct {
        const char *Prefix;
        THostAddress::TSecurity Security;
        int Port;
    } schemes[] = {{"ftpes://", THostAddress::ExplicitTLS, 21},
                   {"ftps://", THostAddress::ImplicitTLS, 990},
                   {"ftp://", THostAddress::Plain, 21}};
    for (const auto &scheme : schemes) {
        if (rest.startsWith(scheme.Prefix, Qt::CaseInsensitive)) {
            rest = rest.mid(int(qstrlen(scheme.Prefix)));
            address.Security = scheme.Security;
            address.Port = scheme.Port;
            known = true;
            // A path after an address with a scheme names no host.
            if (const auto slash = rest.indexOf('/'); slash >= 0)
                rest.truncate(slash);
            break;
        }
    }
    if (const auto scheme = rest.indexOf("://"); !known && scheme > 0) {
        const QString name = rest.left(scheme);
        address.Unsupported = name.compare("sftp", Qt::CaseInsensitive) == 0
                                  ? QStringLiteral("SFTP is not supported yet.")
                                  : QStringLiteral("Veldra speaks FTP only: \"%1://\" is not supported.").arg(name);
        return address;
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
