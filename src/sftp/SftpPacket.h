// SFTP's packets (version 3, which every server speaks): built for sending,
// and read from what the server sent with every length checked against the
// packet, since a server may send anything.
#pragma once

#include "IdException.h"

#include <cstdint>
#include <string>
#include <string_view>

// The server sent what SFTP cannot be.
class ESftpMalformed : public EIdException {
public:
    explicit ESftpMalformed(const std::string &message) : EIdException(message) {}
};

namespace sftp {

enum TType : uint8_t {
    Init = 1, Version = 2, Open = 3, Close = 4, Read = 5, Write = 6, Lstat = 7, Fstat = 8, Setstat = 9,
    Fsetstat = 10, Opendir = 11, Readdir = 12, Remove = 13, Mkdir = 14, Rmdir = 15, Realpath = 16, Stat = 17,
    Rename = 18, Readlink = 19, Status = 101, Handle = 102, Data = 103, Name = 104, Attrs = 105,
};

enum TStatus : uint32_t {
    Ok = 0, Eof = 1, NoSuchFile = 2, PermissionDenied = 3, Failure = 4, BadMessage = 5, NoConnection = 6,
    ConnectionLost = 7, Unsupported = 8,
};

enum TOpenFlags : uint32_t { OpenRead = 1, OpenWrite = 2, OpenAppend = 4, OpenCreate = 8, OpenTruncate = 16 };

// The most a packet may hold: a reply larger than any request asks for is
// a server gone wrong, and is not buffered.
constexpr uint32_t MaxPacket = 1u << 20;

}  // namespace sftp

struct TSftpAttributes {
    enum : uint32_t { HasSize = 1, HasOwner = 2, HasPermissions = 4, HasTimes = 8, HasExtended = 0x80000000 };
    uint32_t Flags = 0;
    uint64_t Size = 0;
    uint32_t Uid = 0, Gid = 0, Permissions = 0, AccessTime = 0, ModifyTime = 0;

    bool Has(uint32_t flag) const { return (Flags & flag) != 0; }
    bool IsFolder() const { return Has(HasPermissions) && (Permissions & 0170000) == 0040000; }
    bool IsLink() const { return Has(HasPermissions) && (Permissions & 0170000) == 0120000; }
};

// A packet to send: its type and request id first, then the fields.
class TSftpWriter {
public:
    TSftpWriter(sftp::TType type, uint32_t id);
    // Init alone carries no id.
    explicit TSftpWriter(sftp::TType type);
    TSftpWriter &Byte(uint8_t value);
    TSftpWriter &U32(uint32_t value);
    TSftpWriter &U64(uint64_t value);
    TSftpWriter &String(std::string_view value);
    TSftpWriter &Attributes(const TSftpAttributes &attributes);
    // The whole packet, its length in front.
    const std::string &Packet();

private:
    std::string FData;
};

// A packet received, without its length: each field in turn. It keeps the
// packet: the strings it gives point into it.
class TSftpReader {
public:
    explicit TSftpReader(std::string body) : FBody(std::move(body)) {}
    uint8_t Byte();
    uint32_t U32();
    uint64_t U64();
    std::string_view String();
    TSftpAttributes Attributes();
    bool AtEnd() const { return FAt == FBody.size(); }

private:
    std::string_view Take(size_t count);
    std::string FBody;
    size_t FAt = 0;
};

// "-rwxr-xr-x" for permission bits with their file type.
std::string PermissionText(uint32_t mode);
