#include "ElfWriter.h"

#include <elf.h>

#include <cstring>
#include <fstream>

void WriteElfWithSection(const std::string &path, const std::string &sectionName,
                         const std::vector<uint8_t> &contents)
{
    // Layout: header, section contents, section names, section table.
    const std::string names = std::string("\0", 1) + sectionName + '\0' + ".shstrtab" + '\0';
    const uint64_t dataOffset = sizeof(Elf64_Ehdr);
    const uint64_t namesOffset = dataOffset + contents.size();
    const uint64_t tableOffset = (namesOffset + names.size() + 7) & ~uint64_t(7);

    Elf64_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_EXEC;
    header.e_machine = EM_X86_64;
    header.e_version = EV_CURRENT;
    header.e_ehsize = sizeof(Elf64_Ehdr);
    header.e_shoff = tableOffset;
    header.e_shentsize = sizeof(Elf64_Shdr);
    header.e_shnum = 3;
    header.e_shstrndx = 2;

    Elf64_Shdr table[3]{};
    table[1].sh_name = 1;
    table[1].sh_type = SHT_PROGBITS;
    table[1].sh_flags = SHF_ALLOC;
    table[1].sh_offset = dataOffset;
    table[1].sh_size = contents.size();
    table[2].sh_name = uint32_t(1 + sectionName.size() + 1);
    table[2].sh_type = SHT_STRTAB;
    table[2].sh_offset = namesOffset;
    table[2].sh_size = names.size();

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(&header), sizeof header);
    out.write(reinterpret_cast<const char *>(contents.data()), std::streamsize(contents.size()));
    out.write(names.data(), std::streamsize(names.size()));
    out.write("\0\0\0\0\0\0\0\0", std::streamsize(tableOffset - namesOffset - names.size()));
    out.write(reinterpret_cast<const char *>(table), sizeof table);
}
