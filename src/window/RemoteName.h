// Remote names are bytes; the window shows them as text. Valid UTF-8 reads
// as UTF-8, anything else as Latin-1, so every byte shows as something and
// the bytes themselves travel unchanged with the item.
#pragma once

#include <QString>

#include <string>

QString RemoteDisplayName(const std::string &bytes);
