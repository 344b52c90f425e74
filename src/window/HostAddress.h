// The address box's text as a host and a port: "host:port" when the text
// after the last colon is a port from 1 to 65535, otherwise the whole text
// with port 21.
#pragma once

#include <QString>

struct THostAddress {
    QString Host;
    int Port = 21;
};

[[nodiscard]] THostAddress SplitHostAddress(const QString &text);
