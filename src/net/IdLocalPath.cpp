#include "IdLocalPath.h"

#include <sys/stat.h>

namespace LocalPath {

std::string NamePart(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderPart(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string WithSlash(const std::string &folder)
{
    return !folder.empty() && folder.back() == '/' ? folder : folder + '/';
}

std::string Join(const std::string &folder, const std::string &name)
{
    if (folder.empty())
        return name;
    return WithSlash(folder) + name;
}

TKind KindOf(const std::string &path)
{
    if (path.empty())
        return TKind::None;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return TKind::Gone;
    return S_ISDIR(info.st_mode) ? TKind::Folder : TKind::File;
}

int64_t SizeOf(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? int64_t(info.st_size) : -1;
}

}  // namespace LocalPath
