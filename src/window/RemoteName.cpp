#include "RemoteName.h"

#include "CommonFunctions.h"

QString RemoteDisplayName(const std::string &bytes)
{
    return TextFromBytes(bytes);
}
