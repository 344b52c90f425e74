#include "HostAddress.h"

THostAddress SplitHostAddress(const QString &text)
{
    const auto colon = text.lastIndexOf(':');
    if (colon >= 0) {
        const QString digits = text.mid(colon + 1);
        bool allDigits = !digits.isEmpty() && digits.size() <= 5;
        for (QChar c : digits)
            allDigits = allDigits && c >= '0' && c <= '9';
        const int port = allDigits ? digits.toInt() : 0;
        if (port >= 1 && port <= 65535)
            return {text.left(colon), port};
    }
    return {text, 21};
}
