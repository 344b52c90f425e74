#include "RemoteName.h"

#include "CommonFunctions.h"

QString RemoteDisplayName(const std::string &bytes)
{
    return TextFromBytes(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}
