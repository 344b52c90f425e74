// Files proven whole: where the server can hash a file, its digest is
// compared with the digest of the bytes that passed, computed as they
// passed. The stream below hashes what a transfer reads or writes in
// order; a transfer that resumes reads the bytes before its start once
// more, so the digest always covers the whole file.
#pragma once

#include "IdStream.h"

#include <QCryptographicHash>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// Best last: the strongest a server offers is used.
enum class THashKind { None, Crc32, Md5, Sha1, Sha512, Sha256 };

// "SHA-256", as servers and users name it; "" for None.
const char *HashName(THashKind kind);

class TRunningHash {
public:
    explicit TRunningHash(THashKind kind);
    void Add(const void *data, int64_t count);
    void Reset();
    // Lower-case hex.
    std::string Hex() const;

private:
    THashKind FKind;
    std::unique_ptr<QCryptographicHash> FHash;
    uint32_t FCrc = 0xFFFFFFFFu;
};

// A stream whose bytes are hashed as they pass, from the file's start. A
// move elsewhere hashes the bytes before it from `reopen`'s stream (the
// same file opened for reading), or, without one, gives up the digest.
class THashingStream : public TStream {
public:
    THashingStream(TStream &inner, THashKind kind, std::function<std::unique_ptr<TStream>()> reopen = {});
    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Size() const override { return FInner.Size(); }
    void SetSize(int64_t size) override;
    void SetPosition(int64_t position) override;

    THashKind Kind() const { return FKind; }
    // The digest of the file's first `length` bytes: those that passed,
    // and any others read from the file; nothing when no hash is kept, or
    // the file could not be read again where it had to be.
    std::optional<std::string> Digest(int64_t length);

private:
    void Passed(const void *data, int64_t count, int64_t at);
    void HashUpTo(int64_t position);

    TStream &FInner;
    THashKind FKind;
    std::function<std::unique_ptr<TStream>()> FReopen;
    TRunningHash FHash;
    int64_t FHashed = 0;
    bool FValid = true;
};

// The server's digest of a file and what it is.
struct TRemoteDigest {
    THashKind Kind = THashKind::None;
    std::string Hex;  // lower case
};

class TRemoteSession;

// The server's digest of `name` against the stream's of the `size` bytes
// that passed: the algorithm's name when they match, "" when the server
// gave none (or the stream kept none). Raises EHashMismatch when they
// differ.
std::string VerifyFile(TRemoteSession &remote, const std::string &name, THashingStream &passed, int64_t size,
                       bool download);
