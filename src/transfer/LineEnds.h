// Text moved in FTP's ASCII type carries CR LF line ends on the wire:
// here they are Unix's LF. These streams convert on the way, a byte at a
// time as it passes, whatever the chunks.
#pragma once

#include "IdStream.h"

#include <atomic>
#include <string>

// Downloads: CR LF written becomes LF (a lone CR stays).
class TLocalLineEnds : public TStream {
public:
    explicit TLocalLineEnds(TStream &inner) : FInner(inner) {}
    int64_t Read(void *, int64_t) override { return 0; }
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Size() const override { return FInner.Size(); }
    void SetSize(int64_t size) override { FInner.SetSize(size); }
    // A CR at the very end is written.
    void Finish();

private:
    TStream &FInner;
    bool FPendingCR = false;
    std::string FOut;
};

// Uploads: LF read becomes CR LF (one already after a CR stays as it is).
class TWireLineEnds : public TStream {
public:
    // Reads the rest of `inner` once, to know its size on the wire, which
    // the sender counts on.
    explicit TWireLineEnds(TStream &inner);
    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *, int64_t) override { return 0; }
    int64_t Size() const override { return FSize; }
    void SetSize(int64_t) override {}

private:
    TStream &FInner;
    int64_t FSize = 0;
    bool FAfterCR = false;
    // Converted and not yet handed out.
    std::string FReady;
    size_t FAt = 0;
};

class TRemoteSession;
class TSpeedLimit;

// A text file moved whole in ASCII: no resume, and no size to check by,
// as the line ends change it. A download replaces its target only once
// all of it came.
void GetText(TRemoteSession &remote, const std::string &name, const std::string &local, TSpeedLimit &limit,
             const std::atomic<bool> &stop);
void PutText(TRemoteSession &remote, const std::string &local, const std::string &name, TSpeedLimit &limit,
             const std::atomic<bool> &stop);

// Whether a file's name has one of the types (";"-separated extensions
// without the dot, any case: "txt;html;php").
bool IsTextType(const std::string &name, const std::string &types);
