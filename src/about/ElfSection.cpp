#include "ElfSection.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <vector>

namespace {

bool ReadAt(std::ifstream &file, uint64_t fileSize, uint64_t offset, void *out, uint64_t count)
{
    if (offset > fileSize || count > fileSize - offset)
        return false;
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(static_cast<char *>(out), static_cast<std::streamsize>(count));
    return static_cast<uint64_t>(file.gcount()) == count;
}

template <typename Ehdr, typename Shdr>
std::optional<ElfSectionLocation> Find(std::ifstream &file, uint64_t fileSize, const std::string &name)
{
    Ehdr header;
    if (!ReadAt(file, fileSize, 0, &header, sizeof header))
        return std::nullopt;
    if (header.e_shentsize != sizeof(Shdr) || header.e_shnum == 0 || header.e_shstrndx >= header.e_shnum)
        return std::nullopt;

    std::vector<Shdr> sections(header.e_shnum);
    if (!ReadAt(file, fileSize, header.e_shoff, sections.data(), uint64_t(header.e_shnum) * sizeof(Shdr)))
        return std::nullopt;

    const Shdr &namesHeader = sections[header.e_shstrndx];
    std::vector<char> names(namesHeader.sh_size + 1, '\0');
    if (!ReadAt(file, fileSize, namesHeader.sh_offset, names.data(), namesHeader.sh_size))
        return std::nullopt;

    for (const Shdr &section : sections) {
        if (section.sh_name >= namesHeader.sh_size || section.sh_type == SHT_NOBITS)
            continue;
        if (name != &names[section.sh_name])
            continue;
        if (section.sh_offset > fileSize || section.sh_size > fileSize - section.sh_offset)
            return std::nullopt;
        return ElfSectionLocation{section.sh_offset, section.sh_size};
    }
    return std::nullopt;
}

}  // namespace

std::optional<ElfSectionLocation> FindElfSection(const std::string &path, const std::string &name)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    file.seekg(0, std::ios::end);
    const auto end = file.tellg();
    if (end < 0)
        return std::nullopt;
    const uint64_t fileSize = static_cast<uint64_t>(end);

    unsigned char ident[EI_NIDENT];
    if (!ReadAt(file, fileSize, 0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return std::nullopt;
    if (ident[EI_DATA] != ELFDATA2LSB)
        return std::nullopt;
    if (ident[EI_CLASS] == ELFCLASS64)
        return Find<Elf64_Ehdr, Elf64_Shdr>(file, fileSize, name);
    if (ident[EI_CLASS] == ELFCLASS32)
        return Find<Elf32_Ehdr, Elf32_Shdr>(file, fileSize, name);
    return std::nullopt;
}
