#include "HostAddress.h"

THostAddress SplitHostAddress(const QString &text)
{
    THostAddress address;
    QString rest = text;
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
            // A path after an address with a scheme names no host.
            if (const auto slash = rest.indexOf('/'); slash >= 0)
                rest.truncate(slash);
            break;
        }
    }
    if (const auto scheme = rest.indexOf("://"); scheme > 0 && address.Security == THostAddress::Plain &&
                                                 !text.startsWith("ftp://", Qt::CaseInsensitive)) {
        const QString name = rest.left(scheme);
        address.Unsupported = name.compare("sftp", Qt::CaseInsensitive) == 0
                                  ? QStringLiteral("SFTP is not supported yet.")
                                  : QStringLiteral("Veldra speaks FTP only: \"%1://\" is not supported.").arg(name);
        return address;
    }
    address.Host = rest;
    if (rest.startsWith('[')) {
        const auto close = rest.indexOf(']');
        if (close > 0) {
            address.Host = rest.mid(1, close - 1);
            rest = rest.mid(close + 1);
            if (!rest.startsWith(':'))
                return address;
            rest = address.Host + rest;  // the port is read below, the host kept
        }
    } else if (rest.count(':') > 1) {
        return address;  // an IPv6 address without brackets: no port in it
    }
    const auto colon = rest.lastIndexOf(':');
    if (colon >= 0) {
        const QString digits = rest.mid(colon + 1);
        bool allDigits = !digits.isEmpty() && digits.size() <= 5;
        for (QChar c : digits)
            allDigits = allDigits && c >= '0' && c <= '9';
        const int port = allDigits ? digits.toInt() : 0;
        if (port >= 1 && port <= 65535) {
            address.Host = rest.left(colon);
            address.Port = port;
        } else if (text.contains('[')) {
            address.Host = rest.left(colon);  // "[::1]:x": the brackets' host
        }
    }
    return address;
}
