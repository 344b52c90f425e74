#include "FileVersionInfo.h"

#include "VersionBlock.h"

#include <cstdio>
#include <filesystem>
#include <vector>

TBrelFileVersionInfo::TBrelFileVersionInfo()
{
    std::error_code error;
    SetExecutableFile(std::filesystem::read_symlink("/proc/self/exe", error).string());
}

void TBrelFileVersionInfo::SetExecutableFile(const std::string &path)
{
    FExecutableFile = path;
    ReadVersionInfo();
}

void TBrelFileVersionInfo::ReadVersionInfo()
{
    for (std::string *value : {&CompanyName, &FileDescription, &FileVersion, &InternalName, &LegalCopyright,
                               &LegalTradeMarks, &OriginalFilename, &ProductName, &ProductVersion, &Comments,
                               &CountryCode})
        value->clear();

    const uint32_t size = VersionBlock::GetFileVersionInfoSize(FExecutableFile);
    if (size == 0)
        return;
    std::vector<uint8_t> block(size, 0);
    if (!VersionBlock::GetFileVersionInfo(FExecutableFile, size, block.data()))
        return;

    // Only the first translation entry is tried, as the block's owner named it.
    VersionBlock::Value translation;
    if (!VersionBlock::VerQueryValue(block, "\\VarFileInfo\\Translation", translation) ||
        translation.Bytes.size() < 4)
        return;
    const auto &t = translation.Bytes;
    char code[9];
    std::snprintf(code, sizeof code, "%02X%02X%02X%02X", t[1], t[0], t[3], t[2]);
    CountryCode = code;

    const std::pair<const char *, std::string *> names[] = {
        {"CompanyName", &CompanyName},       {"FileDescription", &FileDescription},
        {"FileVersion", &FileVersion},       {"InternalName", &InternalName},
        {"LegalCopyright", &LegalCopyright}, {"LegalTradeMarks", &LegalTradeMarks},
        {"OriginalFilename", &OriginalFilename}, {"ProductName", &ProductName},
        {"ProductVersion", &ProductVersion}, {"Comments", &Comments},
    };
    for (const auto &[name, property] : names) {
        VersionBlock::Value value;
        if (VersionBlock::VerQueryValue(block, "\\StringFileInfo\\" + CountryCode + "\\" + name, value))
            *property = VersionBlock::TextOf(value);
    }
}
