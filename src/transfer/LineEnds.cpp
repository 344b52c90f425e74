#include "LineEnds.h"

#include "PartFile.h"
#include "RemoteSession.h"
#include "SpeedLimit.h"

#include <QScopeGuard>

#include <algorithm>
#include <cctype>
#include <cstring>

int64_t TLocalLineEnds::Write(const void *buffer, int64_t count)
{
    const char *bytes = static_cast<const char *>(buffer);
    FOut.clear();
    for (int64_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (FPendingCR && c != '\n')
            FOut += '\r';
        FPendingCR = c == '\r';
        if (!FPendingCR)
            FOut += c;
    }
    FInner.Write(FOut.data(), int64_t(FOut.size()));
    FPosition += count;
    return count;
}

void TLocalLineEnds::Finish()
{
    if (FPendingCR)
        FInner.Write("\r", 1);
    FPendingCR = false;
}

TWireLineEnds::TWireLineEnds(TStream &inner) : FInner(inner)
{
    const int64_t start = inner.Position();
    char chunk[32768];
    bool afterCR = false;
    while (const int64_t read = inner.Read(chunk, sizeof chunk))
        for (int64_t i = 0; i < read; ++i) {
            FSize += chunk[i] == '\n' && !afterCR ? 2 : 1;
            afterCR = chunk[i] == '\r';
        }
    inner.SetPosition(start);
}

int64_t TWireLineEnds::Read(void *buffer, int64_t count)
{
    if (FAt == FReady.size()) {
        char chunk[32768];
        const int64_t read = FInner.Read(chunk, std::min<int64_t>(count, sizeof chunk));
        FReady.clear();
        FAt = 0;
        for (int64_t i = 0; i < read; ++i) {
            if (chunk[i] == '\n' && !FAfterCR)
                FReady += '\r';
            FReady += chunk[i];
            FAfterCR = chunk[i] == '\r';
        }
    }
    const size_t taken = std::min(size_t(count), FReady.size() - FAt);
    std::memcpy(buffer, FReady.data() + FAt, taken);
    FAt += taken;
    FPosition += int64_t(taken);
    return int64_t(taken);
}

bool IsTextType(const std::string &name, const std::string &types)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 == name.size())
        return false;
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
    size_t start = 0;
    while (start <= types.size()) {
        const size_t end = std::min(types.find(';', start), types.size());
        std::string type = types.substr(start, end - start);
        type.erase(0, type.find_first_not_of(" ."));
        type.erase(type.find_last_not_of(' ') + 1);
        std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return std::tolower(c); });
        if (!type.empty() && type == extension)
            return true;
        start = end + 1;
    }
    return false;
}

void GetText(TRemoteSession &remote, const std::string &name, const std::string &local, TSpeedLimit &limit,
             const std::atomic<bool> &stop)
{
    TPartFile part(local);
    {
        TFileStream handle(part.TakeHandle(), part.Path());
        TLocalLineEnds ends(handle);
        TLimitedStream wire(ends, limit, stop);
        remote.SetTextMode(true);
        const auto binary = qScopeGuard([&remote] { remote.SetTextMode(false); });
        remote.Get(name, wire, 0, -1);
        ends.Finish();
    }
    part.Commit(true);
}

void PutText(TRemoteSession &remote, const std::string &local, const std::string &name, TSpeedLimit &limit,
             const std::atomic<bool> &stop)
{
    TFileStream handle(local, TFileStream::fmOpenRead);
    TWireLineEnds ends(handle);
    TLimitedStream wire(ends, limit, stop);
    remote.SetTextMode(true);
    const auto binary = qScopeGuard([&remote] { remote.SetTextMode(false); });
    remote.Put(wire, name, 0);
}
