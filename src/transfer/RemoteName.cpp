#include "RemoteName.h"

#include "FolderListing.h"
#include "NameBytes.h"

QString RemoteDisplayName(std::string_view bytes)
{
    return TextFromBytes(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

bool IsLocalFileName(const std::string &name)
{
    return !name.empty() && !IsDotName(name) && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

QString UnsafeNameSkipped(const std::string &name)
{
    return "Skipped \"" + RemoteDisplayName(name) + "\": it is not a name a local file can have.";
}

std::string RemoteJoin(const std::string &folder, const std::string &name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + '/' + name;
}

std::string RemoteParent(const std::string &folder)
{
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : folder.substr(0, slash);
}
