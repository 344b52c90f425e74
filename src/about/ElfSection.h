// Finds a named section in an ELF file without loading the file: reads the
// header, the section table and the section-name table, each checked against
// the file's real size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ElfSectionLocation {
    uint64_t Offset = 0;
    uint64_t Size = 0;
};

// Where the section called `name` lies in the file; nothing when the file is
// missing, is not a 64- or 32-bit little-endian ELF file, or has no such
// section.
std::optional<ElfSectionLocation> FindElfSection(const std::string &path, const std::string &name);
