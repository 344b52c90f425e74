// The address box's text as a server: an optional scheme, a host and a
// port. "ftpes://" asks for explicit TLS, "ftps://" for implicit TLS (port
// 990 unless given), "ftp://" or none for plain FTP. After the host,
// ":port" counts when it is a port from 1 to 65535; a path is ignored.
#pragma once

#include <QString>

struct THostAddress {
    enum TSecurity { Plain, ExplicitTLS, ImplicitTLS };
    QString Host;
    int Port = 21;
    TSecurity Security = Plain;
};

[[nodiscard]] THostAddress SplitHostAddress(const QString &text);
