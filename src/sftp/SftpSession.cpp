#include "SftpSession.h"

#include "FolderListing.h"
#include "IdGlobal.h"
#include "IdStream.h"
#include "IdTCPClient.h"
#include "PrefixedSocket.h"
#include "SftpChannel.h"
#include "SshConnection.h"

#include <QDir>

#include <QScopeGuard>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <deque>

namespace {

// "/a/b" and "../c" make "/a/c": the server is asked for the path as the
// user sees it, links kept in it.
std::string Normalized(const std::string &path)
{
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= path.size()) {
        const size_t end = std::min(path.find('/', at), path.size());
        const std::string part = path.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string out;
    for (const std::string &part : parts)
        out += "/" + part;
    return out.empty() ? "/" : out;
}

std::string TimeText(uint32_t seconds, const char *format, bool utc)
{
    const time_t time = seconds;
    tm parts{};
    if (utc)
        gmtime_r(&time, &parts);
    else
        localtime_r(&time, &parts);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, format, &parts));
}

// RAII: the session is busy while a call runs.
struct TBusy {
    explicit TBusy(std::atomic<bool> &flag) : Flag(flag) { Flag = true; }
    ~TBusy() { Flag = false; }
    std::atomic<bool> &Flag;
};

std::vector<std::string> UsualKeys()
{
    const std::string ssh = (QDir::homePath() + "/.ssh/").toStdString();
    return {ssh + "id_ed25519", ssh + "id_ecdsa", ssh + "id_rsa"};
}

}  // namespace

TSftpSession::TSftpSession() : TSftpSession(THostKeys::ForUser(), UsualKeys())
{
}

TSftpSession::TSftpSession(THostKeys hostKeys, std::vector<std::string> defaultKeys)
    : FHostKeys(std::move(hostKeys)), FDefaultKeys(std::move(defaultKeys))
{
}

TSftpSession::~TSftpSession() = default;

// ---- connecting -------------------------------------------------------------------

void TSftpSession::Connect(const TSessionSettings &settings)
{
    const TBusy busy(FBusy);
    Disconnect();
    FSettings = settings;
    // The TCP connection (and any proxy) as FTP makes it, so failures read
    // the same; the SSH library takes the socket over.
    TIdTCPClient tcp;
    tcp.Host = settings.Host;
    tcp.Port = settings.Port;
    tcp.SocksInfo = settings.Proxy;
    // Requests are small and each waits for its reply: none may sit in the
    // kernel waiting for the last one's acknowledgement.
    tcp.UseNagle = false;
    tcp.ReadTimeout = settings.ReadTimeout;
    tcp.OnStatus = [this](TIdComponent *, TIdStatus, const std::string &text) { Tell(text); };
    // An abort ends the waits for the server and the proxy; one the last
    // call left raised is forgotten.
    if (!FAbort)
        FAbortSignal.Clear();
    tcp.Socket()->Interrupt = FAbortSignal.Handle();
    tcp.Socket()->OnInterrupt = [this] {
        FAbortSignal.Clear();
        if (FAbort.exchange(false))
            throw EIdTransferAborted("Transfer aborted.");
    };
    tcp.Connect();
    tcp.Socket()->Interrupt = Id_INVALID_SOCKET;
    tcp.Socket()->OnInterrupt = nullptr;
    // The server's first bytes, come with the proxy's answer.
    std::string early = tcp.InBufferSize() > 0 ? tcp.TakeBytes(tcp.InBufferSize()) : std::string();
    int socket = tcp.Socket()->Handle;
    tcp.Socket()->Clear(true);
    if (!early.empty()) {
        FRelay = std::make_unique<TPrefixedSocket>(socket, std::move(early));
        socket = FRelay->Socket();
    }
    auto ssh = std::make_unique<TSshConnection>();
    {
        const std::lock_guard lock(FConnecting);
        FConnectingSocket = socket;
    }
    // Forgotten before `ssh`, which closes the socket, goes.
    const auto forget = [this] {
        const std::lock_guard lock(FConnecting);
        FConnectingSocket = -1;
    };
    const auto connected = qScopeGuard(forget);
    const std::vector<TKnownKey> known = FHostKeys.Known(settings.Host, settings.Port);
    TSshLogin login;
    try {
        if (FAbort)
            throw EIdTransferAborted("Transfer aborted.");
        ssh->Open(socket, settings.Host, settings.User, KnownTypes(known), settings.ReadTimeout);
        CheckHostKey(*ssh, known);
        login.User = settings.User;
        login.Password = settings.Secret;
        login.KeyFile = settings.KeyFile;
        login.Passphrase = settings.Passphrase;
        login.DefaultKeys = FDefaultKeys;
        login.Prompt = OnPrompt;
        ssh->LogIn(login);
        Tell("Logged in as " + settings.User + ".");
        FSettings.Secret = login.Password;
        FSettings.KeyFile = login.KeyFile;
        FSettings.Passphrase = login.Passphrase;
        FChannel = std::make_unique<TSftpChannel>(std::move(ssh), FAbort, settings.ReadTimeout);
        TSftpReader home(Channel().Reply(Channel().Send(std::move(Request(sftp::Realpath).String(".")))));
        if (home.Byte() != sftp::Name || (home.U32(), home.U32()) < 1)
            throw ESftpMalformed("The server named no folder to start in.");
        FFolder = std::string(home.String());
    } catch (const EIdException &) {
        forget();
        // The SSH side first: its goodbye goes to the relay.
        FChannel.reset();
        ssh.reset();
        FRelay.reset();
        // The socket shut by an abort fails as anything else would.
        if (FAbort.exchange(false))
            throw EIdTransferAborted("Transfer aborted.");
        throw;
    }
    Tell("SFTP session started.");
}

void TSftpSession::Abort()
{
    FAbort = true;
    FAbortSignal.Raise();
    // The SSH library's waits end when the socket does.
    const std::lock_guard lock(FConnecting);
    if (FConnectingSocket >= 0)
        ::shutdown(FConnectingSocket, SHUT_RDWR);
}

void TSftpSession::ClearAbort()
{
    FAbort = false;
    FAbortSignal.Clear();
}

void TSftpSession::Tell(const std::string &line)
{
    if (OnStatus)
        OnStatus(line);
}

void TSftpSession::CheckHostKey(TSshConnection &ssh, const std::vector<TKnownKey> &known)
{
    const THostKey key = ssh.HostKey();
    const std::string fingerprint = HostKeyFingerprint(key);
    const THostKeyCheck check = CheckKnown(known, key);
    FAcceptedKey = fingerprint;
    Tell("Host key: " + key.Type + " " + fingerprint +
         (check.Status == THostKeyCheck::Known ? " (known)." : check.Status == THostKeyCheck::Changed ? " (changed!)."
                                                                                                      : " (unknown)."));
    // Known, or the one the user took for this session a moment ago.
    if (check.Status == THostKeyCheck::Known ||
        (check.Status == THostKeyCheck::Unknown && fingerprint == FSettings.Fingerprint))
        return;
    THostKeyQuestion question{FSettings.Host, FSettings.Port, key.Type, fingerprint, check.TrustedFingerprint};
    const TTrustAnswer answer = OnHostKey ? OnHostKey(question) : TTrustAnswer::Cancel;
    if (answer == TTrustAnswer::TrustAlways)
        FHostKeys.Trust(FSettings.Host, FSettings.Port, key);
    if (answer != TTrustAnswer::Cancel)
        return;
    throw EIdException(check.Status == THostKeyCheck::Changed
                           ? "The server's host key has changed (" + fingerprint + ", trusted before " +
                                 check.TrustedFingerprint + "): the connection was closed."
                           : "The server's host key (" + fingerprint + ") was not trusted: the connection was closed.");
}

void TSftpSession::Settle(TSessionSettings &settings)
{
    settings.Fingerprint = FAcceptedKey;
    settings.Secret = FSettings.Secret;
    settings.KeyFile = FSettings.KeyFile;
    settings.Passphrase = FSettings.Passphrase;
}

void TSftpSession::Close()
{
    if (FChannel)
        Tell("Disconnected.");
    Disconnect();
}

void TSftpSession::Disconnect()
{
    FChannel.reset();
    FRelay.reset();
}

bool TSftpSession::Connected()
{
    return FChannel && FChannel->IsOpen();
}

std::string TSftpSession::Path(const std::string &name) const
{
    if (name.starts_with('/'))
        return name;
    return FFolder == "/" ? "/" + name : FFolder + "/" + name;
}

TSftpChannel &TSftpSession::Channel()
{
    if (!FChannel)
        throw EIdConnClosedGracefully("Not connected.");
    return *FChannel;
}

TSftpWriter TSftpSession::Request(sftp::TType type)
{
    return TSftpWriter(type, Channel().NewId());
}

// ---- folders ----------------------------------------------------------------------

void TSftpSession::EnterFolder(const std::string &folder)
{
    const TBusy busy(FBusy);
    const std::string path = Normalized(Path(folder));
    if (!Channel().Stat(path).IsFolder())
        throw EIdProtocolReplyError(550, "Not a folder: " + path);
    FFolder = path;
}

void TSftpSession::EnterParentFolder()
{
    EnterFolder(Normalized(FFolder + "/.."));
}

void TSftpSession::MakeFolder(const std::string &name)
{
    const TBusy busy(FBusy);
    Channel().Expect(std::move(Request(sftp::Mkdir).String(Path(name)).Attributes({})), Path(name));
}

void TSftpSession::RemoveFolder(const std::string &name)
{
    const TBusy busy(FBusy);
    Channel().Expect(std::move(Request(sftp::Rmdir).String(Path(name))), Path(name));
}

void TSftpSession::Delete(const std::string &name)
{
    const TBusy busy(FBusy);
    Channel().Expect(std::move(Request(sftp::Remove).String(Path(name))), Path(name));
}

void TSftpSession::Rename(const std::string &from, const std::string &to)
{
    const TBusy busy(FBusy);
    Channel().Expect(std::move(Request(sftp::Rename).String(Path(from)).String(Path(to))), Path(from));
}

void TSftpSession::ChangePermissions(const std::string &name, int mode)
{
    const TBusy busy(FBusy);
    TSftpAttributes attributes;
    attributes.Flags = TSftpAttributes::HasPermissions;
    attributes.Permissions = uint32_t(mode) & 07777;
    Channel().Expect(std::move(Request(sftp::Setstat).String(Path(name)).Attributes(attributes)), Path(name));
}

bool TSftpSession::SetModificationTime(const std::string &name, const std::string &time)
{
    const int64_t seconds = SecondsOfTimeText(time);
    if (seconds < 0 || seconds > int64_t(UINT32_MAX))
        return false;
    const TBusy busy(FBusy);
    TSftpAttributes attributes;
    attributes.Flags = TSftpAttributes::HasTimes;
    attributes.AccessTime = attributes.ModifyTime = uint32_t(seconds);
    try {
        Channel().Expect(std::move(Request(sftp::Setstat).String(Path(name)).Attributes(attributes)), Path(name));
    } catch (const EIdProtocolReplyError &) {
        return false;
    }
    return true;
}

int TSftpSession::IdleHandle()
{
    return FChannel ? FChannel->Socket() : -1;
}

void TSftpSession::CheckIdle()
{
    if (FChannel && !FChannel->StillOpen())
        Disconnect();
}

void TSftpSession::KeepAlive()
{
    const TBusy busy(FBusy);
    Channel().Stat(FFolder);
}

int64_t TSftpSession::Size(const std::string &name)
{
    const TBusy busy(FBusy);
    try {
        const TSftpAttributes attributes = Channel().Stat(Path(name));
        return attributes.Has(TSftpAttributes::HasSize) && !attributes.IsFolder() ? int64_t(attributes.Size) : -1;
    } catch (const EIdProtocolReplyError &) {
        return -1;
    }
}

std::string TSftpSession::ModificationTime(const std::string &name)
{
    const TBusy busy(FBusy);
    try {
        const TSftpAttributes attributes = Channel().Stat(Path(name));
        return attributes.Has(TSftpAttributes::HasTimes) ? TimeText(attributes.ModifyTime, "%Y%m%d%H%M%S", true)
                                                          : std::string();
    } catch (const EIdProtocolReplyError &) {
        return {};
    }
}

// ---- listing ----------------------------------------------------------------------

TFolderListing TSftpSession::List(const TFolderListingLimits &limits,
                                  const std::function<void(TListingEntry &&)> &entry,
                                  const std::function<void(std::string_view)> &line)
{
    const TBusy busy(FBusy);
    const std::string folder = FFolder;
    const std::string handle = Channel().OpenHandle(std::move(Request(sftp::Opendir).String(folder)), folder);
    TFolderListing listing;
    // Everything the server sends counts, whatever is taken of it: a
    // stream of dots, of bad names or of empty replies ends too.
    size_t bytes = 0, seen = 0;
    // Replies in a row that gave nothing to take.
    constexpr int MostEmptyRounds = 100;
    int emptyRounds = 0;
    try {
        while (listing.Cut == TFolderListing::ctNone) {
            TSftpReader reply(Channel().Reply(Channel().Send(std::move(Request(sftp::Readdir).String(handle))), true));
            const uint8_t type = reply.Byte();
            reply.U32();
            if (type == sftp::Status) {
                TSftpReader status = reply;
                if (status.U32() == sftp::Eof)
                    break;
                TSftpChannel::Refuse(reply, folder);
            }
            if (type != sftp::Name)
                throw ESftpMalformed("The server sent no names.");
            std::vector<TListingEntry> batch;
            for (uint32_t count = reply.U32(); count > 0; --count) {
                TListingEntry item;
                item.Name = reply.String();
                const std::string_view longName = reply.String();
                const TSftpAttributes attributes = reply.Attributes();
                bytes += item.Name.size() + longName.size();
                if (++seen > limits.MaxEntries || bytes > limits.MaxBytes) {
                    listing.Cut = bytes > limits.MaxBytes ? TFolderListing::ctBytes : TFolderListing::ctEntries;
                    break;
                }
                if (IsDotName(item.Name))
                    continue;
                // A name is one path step: one holding "/" or a NUL could
                // name something else wherever it is used.
                if (item.Name.empty() || item.Name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
                    ++listing.InvalidNames;
                    continue;
                }
                if (line)
                    line(longName);
                item.IsFolder = attributes.IsFolder();
                item.IsLink = attributes.IsLink();
                if (attributes.Has(TSftpAttributes::HasSize) && !item.IsFolder)
                    item.Size = int64_t(attributes.Size);
                if (attributes.Has(TSftpAttributes::HasTimes)) {
                    item.Modified = TimeText(attributes.ModifyTime, "%Y-%m-%d %H:%M:%S", false);
                    item.Time = std::stoll(TimeText(attributes.ModifyTime, "%Y%m%d%H%M", false));
                    item.Second = std::stoi(TimeText(attributes.ModifyTime, "%S", false));
                    item.Seconds = attributes.ModifyTime;
                }
                if (attributes.Has(TSftpAttributes::HasPermissions))
                    item.Permissions = PermissionText(attributes.Permissions);
                // The owner's name is in the "ls -l" line alone.
                item.Owner = ParseListingLine(longName).Owner;
                batch.push_back(std::move(item));
            }
            emptyRounds = batch.empty() ? emptyRounds + 1 : 0;
            if (emptyRounds >= MostEmptyRounds && listing.Cut == TFolderListing::ctNone)
                listing.Cut = TFolderListing::ctNothing;
            ResolveLinks(batch, folder);
            for (TListingEntry &item : batch) {
                ++listing.Entries;
                entry(std::move(item));
            }
        }
    } catch (...) {
        if (Connected())
            Channel().CloseHandle(handle, false);
        throw;
    }
    Channel().CloseHandle(handle, false);
    return listing;
}

void TSftpSession::ResolveLinks(std::vector<TListingEntry> &entries, const std::string &folder)
{
    // Where each link leads and whether it is a folder: asked for all of
    // them at once, not one round trip after another. A link that leads
    // nowhere (or round in a loop) stays a link to a file.
    std::vector<std::pair<uint32_t, uint32_t>> asked;
    for (const TListingEntry &item : entries) {
        if (!item.IsLink) {
            asked.emplace_back(0, 0);
            continue;
        }
        const std::string path = folder == "/" ? "/" + item.Name : folder + "/" + item.Name;
        asked.emplace_back(Channel().Send(std::move(Request(sftp::Stat).String(path))),
                           Channel().Send(std::move(Request(sftp::Readlink).String(path))));
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!asked[i].first)
            continue;
        // The link's own size is its target's length: what it leads to
        // counts, or nothing where it leads nowhere.
        TSftpReader stat(Channel().Reply(asked[i].first));
        entries[i].Size = -1;
        if (stat.Byte() == sftp::Attrs) {
            stat.U32();
            const TSftpAttributes attributes = stat.Attributes();
            entries[i].IsFolder = attributes.IsFolder();
            if (!attributes.IsFolder() && attributes.Has(TSftpAttributes::HasSize))
                entries[i].Size = int64_t(attributes.Size);
        }
        TSftpReader target(Channel().Reply(asked[i].second));
        if (target.Byte() == sftp::Name && (target.U32(), target.U32()) >= 1)
            entries[i].LinkTarget = target.String();
    }
}

// ---- transfers ----------------------------------------------------------------------

void TSftpSession::Get(const std::string &name, TStream &target, int64_t offset, int64_t size)
{
    const TBusy busy(FBusy);
    const std::string path = Path(name);
    const std::string handle =
        Channel().OpenHandle(std::move(Request(sftp::Open).String(path).U32(sftp::OpenRead).Attributes({})), path);
    struct TRead {
        uint32_t Id;
        uint64_t Offset;
        uint32_t Length;
    };
    std::deque<TRead> inFlight;
    auto ask = [&](uint64_t at, uint32_t length, bool first) {
        const uint32_t id = Channel().Send(std::move(Request(sftp::Read).String(handle).U64(at).U32(length)));
        first ? inFlight.push_front({id, at, length}) : inFlight.push_back({id, at, length});
    };
    uint64_t next = uint64_t(offset);
    bool ended = false;
    int64_t moved = 0;
    try {
        for (;;) {
            // No further than a size known: a small file is one read, not
            // a window of them answered "end of file".
            while (!ended && inFlight.size() < ReadWindow && (size < 0 || next < uint64_t(size))) {
                const uint32_t length =
                    size < 0 ? ReadChunk : uint32_t(std::min<uint64_t>(ReadChunk, uint64_t(size) - next));
                ask(next, length, false);
                next += length;
            }
            if (inFlight.empty())
                break;
            const TRead read = inFlight.front();
            inFlight.pop_front();
            TSftpReader reply(Channel().Reply(read.Id, true));
            const uint8_t type = reply.Byte();
            reply.U32();
            if (type == sftp::Status) {
                TSftpReader status = reply;
                if (status.U32() != sftp::Eof)
                    TSftpChannel::Refuse(reply, path);
                // The end: what is still in flight asked past it.
                ended = true;
                for (const TRead &later : inFlight)
                    Channel().Abandon(later.Id);
                inFlight.clear();
                continue;
            }
            const std::string_view data = type == sftp::Data ? reply.String() : std::string_view();
            if (type != sftp::Data || data.size() > read.Length || data.empty())
                throw ESftpMalformed("The server sent a malformed reply to a read.");
            target.Write(data.data(), int64_t(data.size()));
            moved += int64_t(data.size());
            if (OnProgress)
                OnProgress(moved);
            // A short read: the rest of that stretch is asked for next.
            if (data.size() < read.Length)
                ask(read.Offset + data.size(), read.Length - uint32_t(data.size()), true);
        }
    } catch (...) {
        for (const TRead &read : inFlight)
            Channel().Abandon(read.Id);
        if (Connected())
            Channel().CloseHandle(handle, false);
        throw;
    }
    Channel().CloseHandle(handle, false);
    if (size >= 0 && offset + moved < size)
        throw EIdDataConnectionCut("The file on the server ended at " + std::to_string(offset + moved) +
                                   " bytes, short of its " + std::to_string(size) + ".");
}

void TSftpSession::Put(TStream &source, const std::string &name, int64_t offset)
{
    const TBusy busy(FBusy);
    Transfer(source, Path(name),
             sftp::OpenWrite | sftp::OpenCreate | (offset == 0 ? uint32_t(sftp::OpenTruncate) : 0u), offset);
}

void TSftpSession::Append(TStream &source, const std::string &name)
{
    const TBusy busy(FBusy);
    const std::string path = Path(name);
    const TSftpAttributes attributes = Channel().Stat(path);
    Transfer(source, path, sftp::OpenWrite, int64_t(attributes.Size));
}

void TSftpSession::RefuseWrite(TSftpReader &status, const std::string &path)
{
    // A write fails for want of room far more often than for anything
    // else, and version 3 has no word for it: the likely cause is named.
    const std::string said = status.AtEnd() ? std::string() : TSftpChannel::Said(status.String());
    throw EIdProtocolReplyError(552, "The server could not write " + path +
                                         (said.empty() || said == "Failure" ? std::string(": its disk may be full.")
                                                                             : ": " + said));
}

void TSftpSession::Transfer(TStream &source, const std::string &path, uint32_t flags, int64_t offset)
{
    const std::string handle =
        Channel().OpenHandle(std::move(Request(sftp::Open).String(path).U32(flags).Attributes({})), path);
    std::deque<std::pair<uint32_t, int64_t>> inFlight;
    std::string buffer(WriteChunk, '\0');
    uint64_t at = uint64_t(offset);
    bool ended = false;
    int64_t moved = 0;
    try {
        for (;;) {
            while (!ended && inFlight.size() < WriteWindow) {
                const int64_t count = source.Read(buffer.data(), WriteChunk);
                if (count <= 0) {
                    ended = true;
                    break;
                }
                const std::string_view data(buffer.data(), size_t(count));
                inFlight.emplace_back(
                    Channel().Send(std::move(Request(sftp::Write).String(handle).U64(at).String(data))), count);
                at += uint64_t(count);
            }
            if (inFlight.empty())
                break;
            const auto [id, count] = inFlight.front();
            inFlight.pop_front();
            TSftpReader reply(Channel().Reply(id, true));
            if (reply.Byte() != sftp::Status)
                throw ESftpMalformed("The server sent no status for a write.");
            reply.U32();
            TSftpReader status = reply;
            if (const uint32_t code = status.U32(); code == sftp::Failure)
                RefuseWrite(status, path);
            else if (code != sftp::Ok)
                TSftpChannel::Refuse(reply, path);
            moved += count;
            if (OnProgress)
                OnProgress(moved);
        }
    } catch (...) {
        for (const auto &write : inFlight)
            Channel().Abandon(write.first);
        if (Connected())
            Channel().CloseHandle(handle, false);
        throw;
    }
    // A server may refuse the file only as it closes it (a quota).
    Channel().CloseHandle(handle, true);
}
