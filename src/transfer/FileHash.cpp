#include "FileHash.h"

#include "FailureText.h"
#include "RemoteSession.h"

#include <array>
#include <cstdio>
#include <vector>

namespace {

const std::array<uint32_t, 256> &CrcTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> made{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
            made[i] = crc;
        }
        return made;
    }();
    return table;
}

std::optional<QCryptographicHash::Algorithm> AlgorithmOf(THashKind kind)
{
    switch (kind) {
    case THashKind::Md5:
        return QCryptographicHash::Md5;
    case THashKind::Sha1:
        return QCryptographicHash::Sha1;
    case THashKind::Sha256:
        return QCryptographicHash::Sha256;
    case THashKind::Sha512:
        return QCryptographicHash::Sha512;
    default:
        return std::nullopt;
    }
}

}  // namespace

const char *HashName(THashKind kind)
{
    switch (kind) {
    case THashKind::Crc32:
        return "CRC32";
    case THashKind::Md5:
        return "MD5";
    case THashKind::Sha1:
        return "SHA-1";
    case THashKind::Sha256:
        return "SHA-256";
    case THashKind::Sha512:
        return "SHA-512";
    case THashKind::None:
        break;
    }
    return "";
}

TRunningHash::TRunningHash(THashKind kind) : FKind(kind)
{
    if (const auto algorithm = AlgorithmOf(kind))
        FHash = std::make_unique<QCryptographicHash>(*algorithm);
}

void TRunningHash::Add(const void *data, int64_t count)
{
    if (FHash) {
        FHash->addData(QByteArrayView(static_cast<const char *>(data), qsizetype(count)));
        return;
    }
    if (FKind != THashKind::Crc32)
        return;
    const auto &table = CrcTable();
    const auto *bytes = static_cast<const uint8_t *>(data);
    uint32_t crc = FCrc;
    for (int64_t i = 0; i < count; ++i)
        crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    FCrc = crc;
}

void TRunningHash::Reset()
{
    if (FHash)
        FHash->reset();
    FCrc = 0xFFFFFFFFu;
}

std::string TRunningHash::Hex() const
{
    if (FHash)
        return FHash->result().toHex().toStdString();
    if (FKind != THashKind::Crc32)
        return {};
    char text[9];
    std::snprintf(text, sizeof text, "%08x", FCrc ^ 0xFFFFFFFFu);
    return text;
}

THashingStream::THashingStream(TStream &inner, THashKind kind, std::function<std::unique_ptr<TStream>()> reopen)
    : FInner(inner), FKind(kind), FReopen(std::move(reopen)), FHash(kind)
{
    FPosition = FInner.Position();
    FValid = kind != THashKind::None;
    HashUpTo(FPosition);
}

void THashingStream::Passed(const void *data, int64_t count, int64_t at)
{
    if (!FValid || count <= 0)
        return;
    if (at != FHashed)
        HashUpTo(at);
    if (FValid && at == FHashed) {
        FHash.Add(data, count);
        FHashed += count;
    }
}

int64_t THashingStream::Read(void *buffer, int64_t count)
{
    const int64_t at = FInner.Position();
    const int64_t read = FInner.Read(buffer, count);
    Passed(buffer, read, at);
    FPosition = FInner.Position();
    return read;
}

int64_t THashingStream::Write(const void *buffer, int64_t count)
{
    const int64_t at = FInner.Position();
    const int64_t written = FInner.Write(buffer, count);
    Passed(buffer, written, at);
    FPosition = FInner.Position();
    return written;
}

void THashingStream::SetSize(int64_t size)
{
    FInner.SetSize(size);
    FPosition = FInner.Position();
    // What was cut off no longer counts.
    if (size < FHashed)
        HashUpTo(size);
}

void THashingStream::SetPosition(int64_t position)
{
    FInner.SetPosition(position);
    FPosition = FInner.Position();
}

void THashingStream::HashUpTo(int64_t position)
{
    if (!FValid || position == FHashed)
        return;
    if (position < FHashed) {
        FHash.Reset();
        FHashed = 0;
    }
    if (position == FHashed)
        return;
    // The bytes before, read once more from the file itself.
    std::unique_ptr<TStream> again = FReopen ? FReopen() : nullptr;
    if (!again) {
        FValid = false;
        return;
    }
    again->SetPosition(FHashed);
    std::vector<char> buffer(256 * 1024);
    while (FHashed < position) {
        const int64_t read = again->Read(buffer.data(), std::min<int64_t>(int64_t(buffer.size()), position - FHashed));
        if (read <= 0) {
            FValid = false;
            return;
        }
        FHash.Add(buffer.data(), read);
        FHashed += read;
    }
}

std::optional<std::string> THashingStream::Digest(int64_t length)
{
    HashUpTo(length);
    if (!FValid || FHashed != length)
        return std::nullopt;
    return FHash.Hex();
}

std::string VerifyFile(TRemoteSession &remote, const std::string &name, THashingStream &passed, int64_t size,
                       bool download)
{
    if (passed.Kind() == THashKind::None)
        return {};
    const std::optional<std::string> mine = passed.Digest(size);
    const TRemoteDigest theirs = mine ? remote.FileHash(name) : TRemoteDigest{};
    if (theirs.Kind != passed.Kind())
        return {};
    const char *algorithm = HashName(theirs.Kind);
    if (theirs.Hex != *mine)
        throw EHashMismatch(QStringLiteral("The server's %1 differs from the %2 file's.")
                                .arg(algorithm, download ? "downloaded" : "uploaded"));
    return algorithm;
}
