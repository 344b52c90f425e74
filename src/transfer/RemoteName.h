// Remote names are bytes; the window shows them as text. Valid UTF-8 reads
// as UTF-8, anything else as Latin-1, so every byte shows as something and
// the bytes themselves travel unchanged with the item. A site whose names
// are in another charset ("CP1251") has them read in it, typed names
// written in it, and local copies named in UTF-8, as local names are here.
#pragma once

#include <QString>

#include <string>
#include <string_view>

QString RemoteDisplayName(std::string_view bytes);

// The connected site's charset; "" or UTF-8 for the reading above. False,
// and nothing changed, for a charset this system does not know.
bool SetRemoteNameCharset(const QString &charset);
// A name the user typed, as the server's bytes.
std::string RemoteNameFromText(const QString &text);
// A remote name as a local file's, and a local file's as a remote name.
std::string LocalNameFor(const std::string &remoteName);
std::string RemoteNameFor(const std::string &localName);

// A remote name that can name a file in a local folder: no "/", no NUL or
// other control character, not "." or "..", no longer than a folder takes
// (255 bytes). A listing may hold any of them.
bool IsLocalFileName(const std::string &name);
// The log line for a name that is not.
QString UnsafeNameSkipped(const std::string &name);
// A name in a remote folder: "/a" and "b" make "/a/b", "/" and "b" "/b".
std::string RemoteJoin(const std::string &folder, const std::string &name);
// The folder that holds a remote folder: "/a/b" -> "/a", "/a" -> "/",
// "a" -> "".
std::string RemoteParent(const std::string &folder);
