// Remote names are bytes; the window shows them as text. Valid UTF-8 reads
// as UTF-8, anything else as Latin-1, so every byte shows as something and
// the bytes themselves travel unchanged with the item.
#pragma once

#include <QString>

#include <string>
#include <string_view>

QString RemoteDisplayName(std::string_view bytes);

// A remote name that can name a file in a local folder: no "/", no NUL,
// not "." or "..". A listing may hold any of them.
bool IsLocalFileName(const std::string &name);
// The log line for a name that is not.
QString UnsafeNameSkipped(const std::string &name);
// A name in a remote folder: "/a" and "b" make "/a/b", "/" and "b" "/b".
std::string RemoteJoin(const std::string &folder, const std::string &name);
// The folder that holds a remote folder: "/a/b" -> "/a", "/a" -> "/",
// "a" -> "".
std::string RemoteParent(const std::string &folder);
