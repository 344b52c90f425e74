// Writes a minimal 64-bit ELF file holding one named section, for tests of
// readers that look sections up by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

void WriteElfWithSection(const std::string &path, const std::string &sectionName,
                         const std::vector<uint8_t> &contents);
