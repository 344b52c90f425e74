// Local paths as the kernel takes them: bytes, "/" between names, no
// encoding assumed. The one place that takes a path apart.
#pragma once

#include <cstdint>
#include <string>

namespace LocalPath {

// "/a/b" -> "b"; a path without "/" is all name.
[[nodiscard]] std::string NamePart(const std::string &path);
// "/a/b" -> "/a", "/b" -> "/", "b" -> "".
[[nodiscard]] std::string FolderPart(const std::string &path);
// The folder with one "/" at its end.
[[nodiscard]] std::string WithSlash(const std::string &folder);
[[nodiscard]] std::string Join(const std::string &folder, const std::string &name);

enum class TKind { None, Folder, File, Gone };
// What the path names now, links followed; None for "".
[[nodiscard]] TKind KindOf(const std::string &path);
[[nodiscard]] inline bool IsFolder(const std::string &path) { return KindOf(path) == TKind::Folder; }
// Anything there but a folder.
[[nodiscard]] inline bool IsFile(const std::string &path) { return KindOf(path) == TKind::File; }
// The size of the file the path names, links followed; -1 when there is
// none.
[[nodiscard]] int64_t SizeOf(const std::string &path);

}  // namespace LocalPath
