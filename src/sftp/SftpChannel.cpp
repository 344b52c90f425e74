#include "SftpChannel.h"

#include "IdComponent.h"
#include "IdGlobal.h"
#include "IdStack.h"
#include "SshConnection.h"

#include <chrono>

TSftpChannel::TSftpChannel(std::unique_ptr<TSshConnection> ssh, std::atomic<bool> &abort, int readTimeout)
    : FSsh(std::move(ssh)), FAbort(abort), FReadTimeout(readTimeout)
{
    FSsh->StartSubsystem("sftp");
    FSsh->Write(TSftpWriter(sftp::Init).U32(3).Packet());
    TSftpReader version(ReadPacket(false));
    if (version.Byte() != sftp::Version)
        throw ESftpMalformed("The server did not start SFTP.");
    // Asked for 3, a server answers 3 or its own, later one, whose
    // differences apply only when both ask for them.
    const uint32_t number = version.U32();
    if (number < 3 || number > 6) {
        FSsh.reset();
        throw ESftpMalformed("The server answered with SFTP version " + std::to_string(number) +
                             ", which this program does not speak.");
    }
}

void TSftpChannel::Abandon(uint32_t id)
{
    if (FPending.erase(id))
        FAbandoned.insert(id);
}

std::string TSftpChannel::Said(std::string_view text)
{
    // A status message of a megabyte, with line ends and escapes in it,
    // is no message for a person.
    constexpr size_t Most = 200;
    std::string out;
    for (const char c : text.substr(0, Most)) {
        const auto byte = static_cast<unsigned char>(c);
        out += byte < 0x20 || byte == 0x7f ? ' ' : c;
    }
    return text.size() > Most ? out + "..." : out;
}

TSftpChannel::~TSftpChannel() = default;

bool TSftpChannel::IsOpen() const
{
    return FSsh && FSsh->IsOpen();
}

int TSftpChannel::Socket() const
{
    return FSsh ? FSsh->Socket() : -1;
}

bool TSftpChannel::StillOpen()
{
    // What came is kept for the replies it holds (a late one, say): the
    // end of the connection shows only once it is read. A server that
    // sends more than a packet's worth unasked is no SFTP server.
    char buffer[64 * 1024];
    try {
        while (FSsh) {
            const size_t count = FSsh->Read(buffer, sizeof buffer, 0);
            if (count == 0)
                break;
            FIn.append(buffer, count);
            if (FIn.size() - FInStart > 2 * size_t(sftp::MaxPacket))
                FSsh.reset();
        }
    } catch (...) {
        FSsh.reset();
    }
    return FSsh && FSsh->StillOpen();
}

uint32_t TSftpChannel::Send(TSftpWriter &&packet)
{
    if (!FSsh)
        throw EIdConnClosedGracefully("The connection was lost.");
    // The id the packet carries: requests may be built before others are sent.
    TSftpReader head(packet.Packet().substr(4, 5));
    head.Byte();
    const uint32_t id = head.U32();
    FSsh->Write(packet.Packet());
    FPending.insert(id);
    return id;
}

std::string TSftpChannel::ReadPacket(bool abortable)
{
    char buffer[256 * 1024];
    using Clock = std::chrono::steady_clock;
    // The time-out counts silence: a reply that keeps coming is waited for.
    auto heard = Clock::now();
    for (;;) {
        const size_t have = FIn.size() - FInStart;
        if (have >= 4) {
            TSftpReader head(FIn.substr(FInStart, 4));
            const uint32_t length = head.U32();
            if (length == 0 || length > sftp::MaxPacket) {
                FSsh.reset();
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
        if (FAbort.exchange(false)) {
            // Anything but a transfer stopped halfway leaves the channel
            // at a point no next request could start from.
            if (!abortable)
                FSsh.reset();
            throw EIdTransferAborted("Transfer aborted.");
        }
        if (!FSsh)
            throw EIdConnClosedGracefully("The connection was lost.");
        if (FReadTimeout != IdTimeoutInfinite && Clock::now() - heard >= std::chrono::milliseconds(FReadTimeout)) {
            FSsh.reset();
            // The same words as FTP's time-out; the stack lives while a
            // component does.
            const TIdComponent stack;
            GStack->RaiseError(Id_WSAETIMEDOUT);
        }
        try {
            const size_t count = FSsh->Read(buffer, sizeof buffer, 100);
            if (count > 0)
                heard = Clock::now();
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

std::string TSftpChannel::Reply(uint32_t id, bool abortable)
{
    if (auto early = FEarly.find(id); early != FEarly.end()) {
        std::string body = std::move(early->second);
        FEarly.erase(early);
        return body;
    }
    for (;;) {
        std::string body;
        try {
            body = ReadPacket(abortable);
        } catch (const EIdTransferAborted &) {
            Abandon(id);
            throw;
        }
        TSftpReader reader(body);
        reader.Byte();
        const uint32_t replyId = reader.U32();
        if (FAbandoned.erase(replyId))
            continue;
        if (!FPending.erase(replyId)) {
            // Waited on, the right one would never come.
            FSsh.reset();
            throw ESftpMalformed("The server answered request " + std::to_string(replyId) + ", which was never sent.");
        }
        if (replyId == id)
            return body;
        FEarly.emplace(replyId, std::move(body));
    }
}

void TSftpChannel::Refuse(TSftpReader &status, const std::string &path)
{
    const uint32_t code = status.U32();
    const std::string said = status.AtEnd() ? std::string() : Said(status.String());
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

void TSftpChannel::Expect(TSftpWriter &&packet, const std::string &path)
{
    TSftpReader reply(Reply(Send(std::move(packet))));
    if (reply.Byte() != sftp::Status)
        throw ESftpMalformed("The server sent no status.");
    reply.U32();
    TSftpReader status = reply;
    if (status.U32() != sftp::Ok)
        Refuse(reply, path);
}

std::string TSftpChannel::OpenHandle(TSftpWriter &&packet, const std::string &path)
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

void TSftpChannel::CloseHandle(const std::string &handle, bool wait)
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

TSftpAttributes TSftpChannel::Stat(const std::string &path, sftp::TType how)
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
