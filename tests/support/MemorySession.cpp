#include "MemorySession.h"

#include "IdException.h"
#include "IdGlobal.h"
#include "IdStream.h"
#include "RemoteName.h"
#include "SessionSettings.h"

#include <QCryptographicHash>

#include <algorithm>
#include <atomic>

namespace {

// The worker names files by absolute path as well as by name.
std::string Join(const std::string &folder, const std::string &name)
{
    return name.starts_with('/') ? name : RemoteJoin(folder, name);
}

}  // namespace

class TMemorySession : public TRemoteSession {
public:
    explicit TMemorySession(TMemoryServer &server) : FServer(server) {}

    void Connect(const TSessionSettings &settings) override
    {
        if (settings.User != "tester")
            throw EIdProtocolReplyError(530, "Login incorrect.");
        FConnected = true;
        FFolder = "/";
    }
    void Close() override { FConnected = false; }
    void Disconnect() override { FConnected = false; }
    bool Connected() override { return FConnected; }
    void Settle(TSessionSettings &) override {}
    bool Busy() const override { return false; }
    std::string CurrentFolder() override { return FFolder; }
    void EnterFolder(const std::string &folder) override
    {
        const std::string path = Join(FFolder, folder);
        std::lock_guard lock(FServer.FMutex);
        if (FServer.FFolders.count(path) == 0)
            throw EIdProtocolReplyError(550, "No such folder.");
        FFolder = path;
    }
    void EnterParentFolder() override { FFolder = RemoteParent(FFolder); }
    TFolderListing List(const TFolderListingLimits &limits, const std::function<void(TListingEntry &&)> &entry,
                        const std::function<void(std::string_view)> &) override
    {
        if (FServer.BeforeList)
            FServer.BeforeList();
        std::vector<TListingEntry> entries;
        {
            std::lock_guard lock(FServer.FMutex);
            for (const std::string &folder : FServer.FFolders)
                if (folder != "/" && RemoteParent(folder) == FFolder)
                    entries.push_back(Entry(folder, true, 0));
            for (const auto &[path, file] : FServer.FFiles)
                if (RemoteParent(path) == FFolder)
                    entries.push_back(Entry(path, false, int64_t(file.Bytes.size()), file.Time));
        }
        TFolderListing listing;
        for (TListingEntry &each : entries) {
            if (listing.Entries == limits.MaxEntries) {
                listing.Cut = TFolderListing::ctEntries;
                break;
            }
            entry(std::move(each));
            ++listing.Entries;
        }
        FServer.MostListed = std::max(FServer.MostListed.load(), listing.Entries);
        return listing;
    }
    bool ListsUnordered() const override { return false; }
    void MakeFolder(const std::string &name) override
    {
        std::lock_guard lock(FServer.FMutex);
        FServer.FFolders.insert(Join(FFolder, name));
    }
    void RemoveFolder(const std::string &name) override
    {
        std::lock_guard lock(FServer.FMutex);
        FServer.FFolders.erase(Join(FFolder, name));
    }
    void Delete(const std::string &name) override
    {
        std::lock_guard lock(FServer.FMutex);
        if (FServer.FFiles.erase(Join(FFolder, name)) == 0)
            throw EIdProtocolReplyError(550, "No such file.");
    }
    void Rename(const std::string &from, const std::string &to) override
    {
        std::lock_guard lock(FServer.FMutex);
        auto node = FServer.FFiles.extract(Join(FFolder, from));
        node.key() = Join(FFolder, to);
        FServer.FFiles.insert(std::move(node));
    }
    void ChangePermissions(const std::string &name, int mode) override
    {
        std::lock_guard lock(FServer.FMutex);
        const std::string path = Join(FFolder, name);
        if (FServer.FFiles.count(path) == 0 && FServer.FFolders.count(path) == 0)
            throw EIdProtocolReplyError(550, "550 " + path + ": No such file or directory.");
        FServer.FModes[path] = mode;
    }
    int64_t Size(const std::string &name) override
    {
        std::lock_guard lock(FServer.FMutex);
        const auto found = FServer.FFiles.find(Join(FFolder, name));
        return found == FServer.FFiles.end() ? -1 : int64_t(found->second.Bytes.size());
    }
    std::string ModificationTime(const std::string &name) override
    {
        std::lock_guard lock(FServer.FMutex);
        const auto found = FServer.FFiles.find(Join(FFolder, name));
        return found == FServer.FFiles.end() ? std::string() : found->second.Time;
    }
    bool SetModificationTime(const std::string &name, const std::string &time) override
    {
        std::lock_guard lock(FServer.FMutex);
        const auto found = FServer.FFiles.find(Join(FFolder, name));
        if (found == FServer.FFiles.end() || !FServer.KeepsTimes)
            return false;
        found->second.Time = time;
        return true;
    }
    THashKind HashKind() override { return FServer.Hashes ? THashKind::Sha256 : THashKind::None; }
    TRemoteDigest FileHash(const std::string &name) override
    {
        std::lock_guard lock(FServer.FMutex);
        const auto found = FServer.FFiles.find(Join(FFolder, name));
        if (!FServer.Hashes || found == FServer.FFiles.end())
            return {};
        QByteArray digest = QCryptographicHash::hash(QByteArray::fromStdString(found->second.Bytes),
                                                     QCryptographicHash::Sha256);
        if (FServer.WrongDigests > 0) {
            --FServer.WrongDigests;
            digest[0] = char(digest[0] ^ 1);
        }
        return {THashKind::Sha256, digest.toHex().toStdString()};
    }
    void KeepAlive() override
    {
        std::lock_guard lock(FServer.FMutex);
        ++FServer.FKeepAlives;
    }
    void Get(const std::string &name, TStream &target, int64_t offset, int64_t) override
    {
        const std::string path = Join(FFolder, name);
        std::string bytes;
        int64_t cut = -1;
        {
            std::lock_guard lock(FServer.FMutex);
            if (offset > 0 && FServer.RefuseOffsets)
                throw ERemoteResumeRefused("502 REST not implemented.", false);
            const auto found = FServer.FFiles.find(path);
            if (found == FServer.FFiles.end())
                throw EIdProtocolReplyError(550, "No such file.");
            bytes = found->second.Bytes.substr(size_t(std::min<int64_t>(offset, int64_t(found->second.Bytes.size()))));
            FServer.FMoves.push_back("get " + path + " " + std::to_string(offset));
            if (auto c = FServer.FCuts.find(path); c != FServer.FCuts.end() && c->second.second > 0) {
                cut = c->second.first - offset;
                --c->second.second;
            }
        }
        Move(bytes, cut, [&target](const char *data, int64_t count) { target.Write(data, count); });
    }
    void Put(TStream &source, const std::string &name, int64_t offset) override
    {
        const std::string path = Join(FFolder, name);
        {
            std::lock_guard lock(FServer.FMutex);
            if (offset > 0 && FServer.RefuseOffsets)
                throw ERemoteResumeRefused("502 REST not implemented.", true);
            FServer.FMoves.push_back("put " + path + " " + std::to_string(offset));
        }
        Store(source, path, size_t(offset));
    }
    void Append(TStream &source, const std::string &name) override
    {
        const std::string path = Join(FFolder, name);
        size_t end = 0;
        {
            std::lock_guard lock(FServer.FMutex);
            FServer.FMoves.push_back("append " + path);
            end = FServer.FFiles[path].Bytes.size();
        }
        Store(source, path, end);
    }
    void Abort() override { FAborted = true; }
    void ClearAbort() override { FAborted = false; }

private:
    TListingEntry Entry(const std::string &path, bool folder, int64_t size, const std::string &time = {})
    {
        TListingEntry entry;
        entry.Name = path.substr(path.rfind('/') + 1);
        entry.IsFolder = folder;
        entry.Size = size;
        // To the second, as MLSD and SFTP list.
        entry.Seconds = time.empty() ? -1 : SecondsOfTimeText(time);
        return entry;
    }
    // In pieces, as a connection moves them; a cut ends it as a lost
    // connection does.
    void Move(const std::string &bytes, int64_t cut, const std::function<void(const char *, int64_t)> &write)
    {
        if (OnProgress)
            OnProgress(0);
        constexpr int64_t Piece = 64 * 1024;
        int64_t done = 0;
        while (done < int64_t(bytes.size())) {
            if (FAborted.exchange(false))
                throw EIdTransferAborted("Transfer aborted.");
            if (cut >= 0 && done >= cut)
                throw EIdConnClosedGracefully("Connection Closed Gracefully.");
            const int64_t count = std::min(Piece, int64_t(bytes.size()) - done);
            write(bytes.data() + done, count);
            done += count;
            if (OnProgress)
                OnProgress(done);
        }
    }
    void Store(TStream &source, const std::string &path, size_t at)
    {
        std::string bytes(size_t(source.Size() - source.Position()), '\0');
        bytes.resize(size_t(source.Read(bytes.data(), int64_t(bytes.size()))));
        Move(bytes, -1, [](const char *, int64_t) {});
        std::lock_guard lock(FServer.FMutex);
        std::string &file = FServer.FFiles[path].Bytes;
        file.resize(std::min(file.size(), at));
        file += bytes;
    }

    TMemoryServer &FServer;
    bool FConnected = false;
    std::string FFolder = "/";
    std::atomic<bool> FAborted{false};
};

TMemoryServer::TMemoryServer()
{
    FFolders.insert("/");
}

void TMemoryServer::AddFolder(const std::string &path)
{
    std::lock_guard lock(FMutex);
    FFolders.insert(path);
}

void TMemoryServer::AddFile(const std::string &path, const std::string &bytes, const std::string &time)
{
    std::lock_guard lock(FMutex);
    FFiles[path] = {bytes, time};
}

std::string TMemoryServer::File(const std::string &path)
{
    std::lock_guard lock(FMutex);
    const auto found = FFiles.find(path);
    return found == FFiles.end() ? std::string() : found->second.Bytes;
}

std::string TMemoryServer::Time(const std::string &path)
{
    std::lock_guard lock(FMutex);
    const auto found = FFiles.find(path);
    return found == FFiles.end() ? std::string() : found->second.Time;
}

int TMemoryServer::Mode(const std::string &path)
{
    std::lock_guard lock(FMutex);
    const auto found = FModes.find(path);
    return found == FModes.end() ? -1 : found->second;
}

int TMemoryServer::KeepAlives()
{
    std::lock_guard lock(FMutex);
    return FKeepAlives;
}

void TMemoryServer::CutAfter(const std::string &path, int64_t bytes, int times)
{
    std::lock_guard lock(FMutex);
    FCuts[path] = {bytes, times};
}

std::vector<std::string> TMemoryServer::Moves()
{
    std::lock_guard lock(FMutex);
    return FMoves;
}

TSessionMaker TMemoryServer::Maker()
{
    return [this](const TSessionSettings &) -> std::unique_ptr<TRemoteSession> {
        return std::make_unique<TMemorySession>(*this);
    };
}
