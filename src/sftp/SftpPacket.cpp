#include "SftpPacket.h"

namespace {

void PutU32(std::string &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(char((value >> shift) & 0xff));
}

}  // namespace

TSftpWriter::TSftpWriter(sftp::TType type)
{
    FData.assign(4, '\0');
    Byte(type);
}

TSftpWriter::TSftpWriter(sftp::TType type, uint32_t id) : TSftpWriter(type)
{
    U32(id);
}

TSftpWriter &TSftpWriter::Byte(uint8_t value)
{
    FData.push_back(char(value));
    return *this;
}

TSftpWriter &TSftpWriter::U32(uint32_t value)
{
    PutU32(FData, value);
    return *this;
}

TSftpWriter &TSftpWriter::U64(uint64_t value)
{
    U32(uint32_t(value >> 32));
    return U32(uint32_t(value));
}

TSftpWriter &TSftpWriter::String(std::string_view value)
{
    U32(uint32_t(value.size()));
    FData.append(value);
    return *this;
}

TSftpWriter &TSftpWriter::Attributes(const TSftpAttributes &a)
{
    U32(a.Flags & ~TSftpAttributes::HasExtended);
    if (a.Has(TSftpAttributes::HasSize))
        U64(a.Size);
    if (a.Has(TSftpAttributes::HasOwner))
        U32(a.Uid).U32(a.Gid);
    if (a.Has(TSftpAttributes::HasPermissions))
        U32(a.Permissions);
    if (a.Has(TSftpAttributes::HasTimes))
        U32(a.AccessTime).U32(a.ModifyTime);
    return *this;
}

const std::string &TSftpWriter::Packet()
{
    std::string length;
    PutU32(length, uint32_t(FData.size() - 4));
    FData.replace(0, 4, length);
    return FData;
}

std::string_view TSftpReader::Take(size_t count)
{
    if (count > FBody.size() - FAt)
        throw ESftpMalformed("The server sent a malformed SFTP packet.");
    const std::string_view taken = std::string_view(FBody).substr(FAt, count);
    FAt += count;
    return taken;
}

uint8_t TSftpReader::Byte()
{
    return uint8_t(Take(1)[0]);
}

uint32_t TSftpReader::U32()
{
    const std::string_view bytes = Take(4);
    uint32_t value = 0;
    for (char c : bytes)
        value = (value << 8) | uint8_t(c);
    return value;
}

uint64_t TSftpReader::U64()
{
    const uint64_t high = U32();
    return (high << 32) | U32();
}

std::string_view TSftpReader::String()
{
    return Take(U32());
}

TSftpAttributes TSftpReader::Attributes()
{
    TSftpAttributes a;
    a.Flags = U32();
    if (a.Has(TSftpAttributes::HasSize))
        a.Size = U64();
    if (a.Has(TSftpAttributes::HasOwner)) {
        a.Uid = U32();
        a.Gid = U32();
    }
    if (a.Has(TSftpAttributes::HasPermissions))
        a.Permissions = U32();
    if (a.Has(TSftpAttributes::HasTimes)) {
        a.AccessTime = U32();
        a.ModifyTime = U32();
    }
    if (a.Has(TSftpAttributes::HasExtended)) {
        for (uint32_t count = U32(); count > 0; --count) {
            String();
            String();
        }
    }
    return a;
}

std::string PermissionText(uint32_t mode)
{
    char type = '-';
    switch (mode & 0170000) {
    case 0040000: type = 'd'; break;
    case 0120000: type = 'l'; break;
    case 0020000: type = 'c'; break;
    case 0060000: type = 'b'; break;
    case 0010000: type = 'p'; break;
    case 0140000: type = 's'; break;
    default: break;
    }
    std::string text(1, type);
    const char *letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text.push_back(mode & (0400 >> bit) ? letters[bit] : '-');
    // setuid, setgid and sticky show in the execute places, as ls shows them.
    auto special = [&](int place, uint32_t flag, char withExecute, char without) {
        if (mode & flag)
            text[place] = text[place] == 'x' ? withExecute : without;
    };
    special(3, 04000, 's', 'S');
    special(6, 02000, 's', 'S');
    special(9, 01000, 't', 'T');
    return text;
}
