// Reads the string values of an executable's version block. Assigning
// ExecutableFile reads that file at once; a file without a block (or one
// that is missing or damaged) leaves every value empty, and nothing is
// reported.
#pragma once

#include <string>

class TBrelFileVersionInfo {
public:
    // Reads the running program's own file.
    TBrelFileVersionInfo();

    const std::string &ExecutableFile() const { return FExecutableFile; }
    void SetExecutableFile(const std::string &path);

    // Plain values: assigning them reads nothing.
    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string InternalName;
    std::string LegalCopyright;
    std::string LegalTradeMarks;
    std::string OriginalFilename;
    std::string ProductName;
    std::string ProductVersion;
    std::string Comments;
    // Language and code page used, e.g. "040904E4".
    std::string CountryCode;

private:
    void ReadVersionInfo();

    std::string FExecutableFile;
};
