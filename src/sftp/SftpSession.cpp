#include "SftpSession.h"

#include "FolderListing.h"
#include "IdStream.h"
#include "IdTCPClient.h"
#include "SshConnection.h"

#include <QDir>

#include <unistd.h>

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
    tcp.Connect();
    const int socket = tcp.Socket()->Handle;
    tcp.Socket()->Clear(true);
    FSsh = std::make_unique<TSshConnection>();
    FSsh->Open(socket, settings.Host, settings.User);
    CheckHostKey();
    TSshLogin login;
    login.User = settings.User;
    login.Password = settings.Secret;
    login.KeyFile = settings.KeyFile;
    login.Passphrase = settings.Passphrase;
    login.DefaultKeys = FDefaultKeys;
    login.Prompt = OnPrompt;
    FSsh->LogIn(login);
    FSettings.Secret = login.Password;
    FSettings.KeyFile = login.KeyFile;
    FSettings.Passphrase = login.Passphrase;
    FSsh->StartSubsystem("sftp");
    FSsh->Write(TSftpWriter(sftp::Init).U32(3).Packet());
    TSftpReader version(ReadPacket(false));
    if (version.Byte() != sftp::Version)
        throw ESftpMalformed("The server did not start SFTP.");
    TSftpReader home(Reply(Send(std::move(TSftpWriter(sftp::Realpath, NewId()).String(".")))));
    if (home.Byte() != sftp::Name || (home.U32(), home.U32()) < 1)
        throw ESftpMalformed("The server named no folder to start in.");
    FFolder = std::string(home.String());
}

void TSftpSession::CheckHostKey()
{
    const THostKey key = FSsh->HostKey();
    const std::string fingerprint = HostKeyFingerprint(key);
    const THostKeyCheck check = FHostKeys.Check(FSettings.Host, FSettings.Port, key);
    FAcceptedKey = fingerprint;
    // Known, or the one the user took for this session a moment ago.
    if (check.Status == THostKeyCheck::Known || (check.Status == THostKeyCheck::Unknown && fingerprint ==
                                                                                             FSettings.Fingerprint))
        return;
    THostKeyQuestion question{FSettings.Host, FSettings.Port, key.Type, fingerprint, check.TrustedFingerprint};
    const TTrustAnswer answer = OnHostKey ? OnHostKey(question) : TTrustAnswer::Cancel;
    if (answer == TTrustAnswer::TrustAlways)
        FHostKeys.Trust(FSettings.Host, FSettings.Port, key);
    if (answer != TTrustAnswer::Cancel)
        return;
    Disconnect();
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
    Disconnect();
}

void TSftpSession::Disconnect()
{
    FSsh.reset();
    FIn.clear();
    FInStart = 0;
    FPending.clear();
    FEarly.clear();
}

bool TSftpSession::Connected()
{
    return FSsh && FSsh->IsOpen();
}

// ---- requests and replies ---------------------------------------------------------

uint32_t TSftpSession::Send(TSftpWriter &&packet)
{
    if (!FSsh)
        throw EIdConnClosedGracefully("Not connected.");
    FSsh->Write(packet.Packet());
    FPending.insert(FLastId);
    return FLastId;
}

std::string TSftpSession::ReadPacket(bool abortable)
{
    char buffer[256 * 1024];
    for (;;) {
        const size_t have = FIn.size() - FInStart;
        if (have >= 4) {
            TSftpReader head(FIn.substr(FInStart, 4));
            const uint32_t length = head.U32();
            if (length == 0 || length > sftp::MaxPacket) {
                Disconnect();
                throw ESftpMalformed("The server sent an SFTP packet of " + std::to_string(length) + " bytes.");
            }
            if (have >= 4 + size_t(length)) {
                std::string body = FIn.substr(FInStart + 4, length);
                FInStart += 4 + length;
                if (FInStart == FIn.size()) {
                    FIn.clear();
                    FInStart = 0;
                }
                return body;
            }
        }
        if (abortable && FAbort.exchange(false))
            throw EIdTransferAborted("Transfer aborted.");
        if (!FSsh)
            throw EIdConnClosedGracefully("Not connected.");
        try {
            const size_t count = FSsh->Read(buffer, sizeof buffer, 100);
            if (FInStart > FIn.size() / 2) {
                FIn.erase(0, FInStart);
                FInStart = 0;
            }
            FIn.append(buffer, count);
        } catch (...) {
            FSsh.reset();  // lost: the session says so from now on
            throw;
        }
    }
}

std::string TSftpSession::Reply(uint32_t id, bool abortable)
{
    if (auto early = FEarly.find(id); early != FEarly.end()) {
        std::string body = std::move(early->second);
        FEarly.erase(early);
        return body;
    }
    for (;;) {
        std::string body = ReadPacket(abortable);
        TSftpReader reader(body);
        reader.Byte();
        const uint32_t replyId = reader.U32();
        if (!FPending.erase(replyId))
            continue;  // abandoned, or none of ours
        if (replyId == id)
            return body;
        FEarly.emplace(replyId, std::move(body));
    }
}

void TSftpSession::Refuse(TSftpReader &status, const std::string &path)
{
    const uint32_t code = status.U32();
    const std::string said = status.AtEnd() ? std::string() : std::string(status.String());
    switch (code) {
    case sftp::NoSuchFile:
        throw EIdProtocolReplyError(550, "No such file or folder: " + path);
    case sftp::PermissionDenied:
        throw EIdProtocolReplyError(550, "Permission denied: " + path);
    case sftp::Unsupported:
        throw EIdProtocolReplyError(502, "The server does not support this request.");
    case sftp::NoConnection:
    case sftp::ConnectionLost:
        throw EIdConnClosedGracefully("The connection was lost.");
    default:
        // Version 3 has no word for most failures (a full disk, a name
        // taken): the server's message is all there is.
        throw EIdProtocolReplyError(550, "The server refused it for " + path +
                                             (said.empty() || said == "Failure" ? std::string(" (failure).")
                                                                                  : ": " + said));
    }
}

void TSftpSession::Expect(TSftpWriter &&packet, const std::string &path)
{
    TSftpReader reply(Reply(Send(std::move(packet))));
    if (reply.Byte() != sftp::Status)
        throw ESftpMalformed("The server sent no status.");
    reply.U32();
    TSftpReader status = reply;
    if (status.U32() != sftp::Ok)
        Refuse(reply, path);
}

std::string TSftpSession::OpenHandle(TSftpWriter &&packet, const std::string &path)
{
    TSftpReader reply(Reply(Send(std::move(packet))));
    const uint8_t type = reply.Byte();
    reply.U32();
    if (type == sftp::Status)
        Refuse(reply, path);
    if (type != sftp::Handle)
        throw ESftpMalformed("The server sent no handle.");
    return std::string(reply.String());
}

void TSftpSession::CloseHandle(const std::string &handle, bool wait)
{
    const uint32_t id = Send(std::move(TSftpWriter(sftp::Close, NewId()).String(handle)));
    if (!wait) {
        Abandon(id);
        return;
    }
    TSftpReader reply(Reply(id));
    reply.Byte();
    reply.U32();
    TSftpReader status = reply;
    if (status.U32() != sftp::Ok)
        Refuse(reply, "the file");
}

TSftpAttributes TSftpSession::Stat(const std::string &path, sftp::TType how)
{
    TSftpReader reply(Reply(Send(std::move(TSftpWriter(how, NewId()).String(path)))));
    const uint8_t type = reply.Byte();
    reply.U32();
    if (type == sftp::Status)
        Refuse(reply, path);
    if (type != sftp::Attrs)
        throw ESftpMalformed("The server sent no attributes.");
    return reply.Attributes();
}

std::string TSftpSession::Path(const std::string &name) const
{
    if (name.starts_with('/'))
        return name;
    return FFolder == "/" ? "/" + name : FFolder + "/" + name;
}

// ---- folders ----------------------------------------------------------------------

void TSftpSession::EnterFolder(const std::string &folder)
{
    const TBusy busy(FBusy);
    const std::string path = Normalized(Path(folder));
    if (!Stat(path).IsFolder())
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
    Expect(std::move(TSftpWriter(sftp::Mkdir, NewId()).String(Path(name)).Attributes({})), Path(name));
}

void TSftpSession::RemoveFolder(const std::string &name)
{
    const TBusy busy(FBusy);
    Expect(std::move(TSftpWriter(sftp::Rmdir, NewId()).String(Path(name))), Path(name));
}

void TSftpSession::Delete(const std::string &name)
{
    const TBusy busy(FBusy);
    Expect(std::move(TSftpWriter(sftp::Remove, NewId()).String(Path(name))), Path(name));
}

void TSftpSession::Rename(const std::string &from, const std::string &to)
{
    const TBusy busy(FBusy);
    Expect(std::move(TSftpWriter(sftp::Rename, NewId()).String(Path(from)).String(Path(to))), Path(from));
}

void TSftpSession::ChangePermissions(const std::string &name, int mode)
{
    const TBusy busy(FBusy);
    TSftpAttributes attributes;
    attributes.Flags = TSftpAttributes::HasPermissions;
    attributes.Permissions = uint32_t(mode) & 07777;
    Expect(std::move(TSftpWriter(sftp::Setstat, NewId()).String(Path(name)).Attributes(attributes)), Path(name));
}

int64_t TSftpSession::Size(const std::string &name)
{
    const TBusy busy(FBusy);
    try {
        const TSftpAttributes attributes = Stat(Path(name));
        return attributes.Has(TSftpAttributes::HasSize) && !attributes.IsFolder() ? int64_t(attributes.Size) : -1;
    } catch (const EIdProtocolReplyError &) {
        return -1;
    }
}

std::string TSftpSession::ModificationTime(const std::string &name)
{
    const TBusy busy(FBusy);
    try {
        const TSftpAttributes attributes = Stat(Path(name));
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
    const std::string handle = OpenHandle(std::move(TSftpWriter(sftp::Opendir, NewId()).String(folder)), folder);
    TFolderListing listing;
    size_t bytes = 0;
    try {
        while (listing.Cut == TFolderListing::ctNone) {
            TSftpReader reply(Reply(Send(std::move(TSftpWriter(sftp::Readdir, NewId()).String(handle))), true));
            const uint8_t type = reply.Byte();
            reply.U32();
            if (type == sftp::Status) {
                TSftpReader status = reply;
                if (status.U32() == sftp::Eof)
                    break;
                Refuse(reply, folder);
            }
            if (type != sftp::Name)
                throw ESftpMalformed("The server sent no names.");
            std::vector<TListingEntry> batch;
            for (uint32_t count = reply.U32(); count > 0; --count) {
                TListingEntry item;
                item.Name = reply.String();
                const std::string_view longName = reply.String();
                const TSftpAttributes attributes = reply.Attributes();
                if (IsDotName(item.Name))
                    continue;
                // A name is one path step: one holding "/" or a NUL could
                // name something else wherever it is used.
                if (item.Name.empty() || item.Name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
                    ++listing.InvalidLines;
                    continue;
                }
                if (line)
                    line(longName);
                bytes += item.Name.size();
                if (listing.Entries + batch.size() >= limits.MaxEntries || bytes > limits.MaxBytes) {
                    listing.Cut = bytes > limits.MaxBytes ? TFolderListing::ctBytes : TFolderListing::ctEntries;
                    break;
                }
                item.IsFolder = attributes.IsFolder();
                item.IsLink = attributes.IsLink();
                if (attributes.Has(TSftpAttributes::HasSize) && !item.IsFolder)
                    item.Size = int64_t(attributes.Size);
                if (attributes.Has(TSftpAttributes::HasTimes)) {
                    item.Modified = TimeText(attributes.ModifyTime, "%Y-%m-%d %H:%M", false);
                    item.Time = std::stoll(TimeText(attributes.ModifyTime, "%Y%m%d%H%M", false));
                }
                if (attributes.Has(TSftpAttributes::HasPermissions))
                    item.Permissions = PermissionText(attributes.Permissions);
                batch.push_back(std::move(item));
            }
            ResolveLinks(batch, folder);
            for (TListingEntry &item : batch) {
                ++listing.Entries;
                entry(std::move(item));
            }
        }
    } catch (...) {
        if (FSsh)
            CloseHandle(handle, false);
        throw;
    }
    CloseHandle(handle, false);
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
        asked.emplace_back(Send(std::move(TSftpWriter(sftp::Stat, NewId()).String(path))),
                           Send(std::move(TSftpWriter(sftp::Readlink, NewId()).String(path))));
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!asked[i].first)
            continue;
        // The link's own size is its target's length: what it leads to
        // counts, or nothing where it leads nowhere.
        TSftpReader stat(Reply(asked[i].first));
        entries[i].Size = -1;
        if (stat.Byte() == sftp::Attrs) {
            stat.U32();
            const TSftpAttributes attributes = stat.Attributes();
            entries[i].IsFolder = attributes.IsFolder();
            if (!attributes.IsFolder() && attributes.Has(TSftpAttributes::HasSize))
                entries[i].Size = int64_t(attributes.Size);
        }
        TSftpReader target(Reply(asked[i].second));
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
        OpenHandle(std::move(TSftpWriter(sftp::Open, NewId()).String(path).U32(sftp::OpenRead).Attributes({})), path);
    struct TRead {
        uint32_t Id;
        uint64_t Offset;
        uint32_t Length;
    };
    std::deque<TRead> inFlight;
    auto ask = [&](uint64_t at, uint32_t length, bool first) {
        const uint32_t id = Send(std::move(TSftpWriter(sftp::Read, NewId()).String(handle).U64(at).U32(length)));
        first ? inFlight.push_front({id, at, length}) : inFlight.push_back({id, at, length});
    };
    uint64_t next = uint64_t(offset);
    bool ended = false;
    int64_t moved = 0;
    try {
        for (;;) {
            while (!ended && inFlight.size() < Window) {
                ask(next, Chunk, false);
                next += Chunk;
            }
            if (inFlight.empty())
                break;
            const TRead read = inFlight.front();
            inFlight.pop_front();
            TSftpReader reply(Reply(read.Id, true));
            const uint8_t type = reply.Byte();
            reply.U32();
            if (type == sftp::Status) {
                TSftpReader status = reply;
                if (status.U32() != sftp::Eof)
                    Refuse(reply, path);
                // The end: what is still in flight asked past it.
                ended = true;
                for (const TRead &later : inFlight)
                    Abandon(later.Id);
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
            Abandon(read.Id);
        if (FSsh)
            CloseHandle(handle, false);
        throw;
    }
    CloseHandle(handle, false);
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
    const TSftpAttributes attributes = Stat(path);
    Transfer(source, path, sftp::OpenWrite, int64_t(attributes.Size));
}

void TSftpSession::Transfer(TStream &source, const std::string &path, uint32_t flags, int64_t offset)
{
    const std::string handle =
        OpenHandle(std::move(TSftpWriter(sftp::Open, NewId()).String(path).U32(flags).Attributes({})), path);
    std::deque<std::pair<uint32_t, int64_t>> inFlight;
    std::string buffer(Chunk, '\0');
    uint64_t at = uint64_t(offset);
    bool ended = false;
    int64_t moved = 0;
    try {
        for (;;) {
            while (!ended && inFlight.size() < Window) {
                const int64_t count = source.Read(buffer.data(), Chunk);
                if (count <= 0) {
                    ended = true;
                    break;
                }
                const std::string_view data(buffer.data(), size_t(count));
                inFlight.emplace_back(Send(std::move(TSftpWriter(sftp::Write, NewId()).String(handle).U64(at).String(data))),
                                      count);
                at += uint64_t(count);
            }
            if (inFlight.empty())
                break;
            const auto [id, count] = inFlight.front();
            inFlight.pop_front();
            TSftpReader reply(Reply(id, true));
            if (reply.Byte() != sftp::Status)
                throw ESftpMalformed("The server sent no status for a write.");
            reply.U32();
            TSftpReader status = reply;
            if (status.U32() != sftp::Ok)
                Refuse(reply, path);
            moved += count;
            if (OnProgress)
                OnProgress(moved);
        }
    } catch (...) {
        for (const auto &write : inFlight)
            Abandon(write.first);
        if (FSsh)
            CloseHandle(handle, false);
        throw;
    }
    // A server may refuse the file only as it closes it (a quota).
    CloseHandle(handle, true);
}
