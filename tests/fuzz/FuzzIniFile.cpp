// The legacy settings file, read as the import reads it.
#include "IniFile.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const TIniFile ini = TIniFile::FromBytes(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const int sites = ini.ReadInteger("GENERAL", "Sites", 0);
    for (int i = 0; i < 3 && i < sites; ++i)
        for (const char *field : {"Address", "UserName", "Password", "DefaultFolder"})
            (void)ini.ReadString("SITES", QStringLiteral("Site%1.%2").arg(i).arg(QLatin1String(field)), QString());
    (void)ini.ReadString("FILES", "LastFile", QString());
    return 0;
}
