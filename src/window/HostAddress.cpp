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
    address.Host = rest;
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
        }
    }
    return address;
}
