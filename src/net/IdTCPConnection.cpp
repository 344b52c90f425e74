#include "IdTCPConnection.h"

#include "IdAntiFreezeBase.h"
#include "IdException.h"
#include "IdIntercept.h"
#include "IdResourceStrings.h"
#include "IdStack.h"
#include "IdStream.h"
#include "IdTLS.h"
#include "IdScopeGuard.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>

TIdTCPConnection::TIdTCPConnection()
{
    FRecvChunk.SetSize(32768);
}

TIdTCPConnection::~TIdTCPConnection()
{
    FTls.reset();
    if (FIntercept)
        RemoveFreeNotification(FIntercept);
}

// ---- interceptor ----------------------------------------------------------------

void TIdTCPConnection::SetIntercept(TIdConnectionIntercept *intercept)
{
    if (FIntercept && FIntercept != intercept)
        RemoveFreeNotification(FIntercept);
    FIntercept = intercept;
    if (intercept)
        intercept->FreeNotification(this);
    else
        FInterceptEnabled = false;
}

void TIdTCPConnection::SetInterceptEnabled(bool enabled)
{
    if (enabled && !FIntercept)
        throw EIdInterceptPropIsNil(RSId::InterceptPropIsNil);
    FInterceptEnabled = enabled;
}

void TIdTCPConnection::Notification(TIdBaseComponent *component, TOperation operation)
{
    TIdComponent::Notification(component, operation);
    if (operation == opRemove && component == FIntercept) {
        FIntercept = nullptr;
        FInterceptEnabled = false;
    }
}

// ---- state ------------------------------------------------------------------------

bool TIdTCPConnection::Connected()
{
    CheckConnection(false, false);
    return FSocket.IsOpen;
}

void TIdTCPConnection::CheckConnection(bool raiseIfClosed, bool ignoreBuffer)
{
    if (!PeerClosed && FSocket.IsOpen)
        return;
    if (FSocket.IsOpen)
        DropSocket();
    if (raiseIfClosed && (FInBuffer.Size() == 0 || ignoreBuffer))
        throw EIdConnClosedGracefully(RSId::ConnectionClosedGracefully);
}

void TIdTCPConnection::ResetState()
{
    FTls.reset();
    FSocket.Clear(true);
    FInBuffer.Clear();
    PeerClosed = false;
}

void TIdTCPConnection::Disconnect()
{
    DropSocket();
}

void TIdTCPConnection::DropSocket()
{
    // The TLS layer goes with the socket; a goodbye (ShutdownTLS) is for
    // those who close in order.
    FTls.reset();
    if (FSocket.IsOpen) {
        ReportStatus(ssDisconnecting, FSocket.RemoteIP);
        FSocket.Close();
        PeerClosed = true;
        ReportStatus(ssDisconnected, FSocket.RemoteIP);
        NotifyDisconnected();
    }
    if (FInterceptEnabled && FIntercept)
        FIntercept->Detach();
}

void TIdTCPConnection::NotifyDisconnected()
{
    if (OnDisconnected)
        OnDisconnected(this);
}

// ---- reading ----------------------------------------------------------------------

int TIdTCPConnection::ReceiveInto(char *target, int capacity)
{
    if (FTls) {
        const int count = FTls->Read(target, capacity);
        if (count == 0 && FTls->End() == TIdTLSSession::enCut)
            FTLSCut = true;
        return count;
    }
    if (FInterceptEnabled && FIntercept && FIntercept->HandlesRecv)
        return FIntercept->InterceptRecv(target, capacity);
    return FSocket.Receive(target, capacity);
}

bool TIdTCPConnection::BufferArrived()
{
    while (FSocket.IsOpen) {
        if (!FTls || FTls->Pending() == 0) {
            std::vector<TIdSocketHandleValue> readable{FSocket.Handle};
            if (GStack->SelectSockets(&readable, nullptr, nullptr, 0) != 1)
                return true;
        }
        char chunk[16384];
        const int count = ReceiveInto(chunk, int(sizeof chunk));
        if (count == -1 && FTls)
            return true;  // part of a TLS record: the rest is on its way
        if (count <= 0) {
            PeerClosed = true;
            return false;
        }
        FInBuffer.SetPosition(FInBuffer.Size());
        FInBuffer.Write(chunk, count);
        if (FInterceptEnabled && FIntercept)
            FIntercept->AfterReceive(chunk, count);
    }
    return false;
}

void TIdTCPConnection::ProbeForClose(bool raiseIfClosed)
{
    ReceiveChunk(raiseIfClosed, 1, true, nullptr);
}

int TIdTCPConnection::ReceiveChunk(bool raiseIfClosed, int timeout, bool intoInBuffer, TIdBuffer *destination)
{
    CheckConnection(raiseIfClosed, false);
    if (!FSocket.IsOpen)
        return 0;
    TIdBuffer *target = destination ? destination : &FRecvChunk;
    // A peer silent for longer than the read time-out ends the call.
    const bool bounded = timeout == IdTimeoutInfinite && ReadTimeout != IdTimeoutInfinite;
    const int capacity = int(std::min<int64_t>(target->Size(), std::numeric_limits<int>::max()));
    int result = Id_SOCKET_ERROR;
    // What the kernel holds already is taken without a wait: the wait
    // comes when there is nothing, or when one is due.
    bool taken = false;
    if (!FTls && !(FInterceptEnabled && FIntercept && FIntercept->HandlesRecv) && !FSocket.WaitDue()) {
        result = FSocket.Receive(target->Memory(), capacity, Id_MSG_DONTWAIT);
        taken = result != Id_SOCKET_ERROR || GStack->LastError() != Id_WSAEWOULDBLOCK;
    }
    while (!taken) {
        // TLS may hold decrypted bytes already, or want more before it has
        // any: the socket is waited for only when there is nothing.
        const bool ready = FTls && FTls->Pending() > 0;
        const bool write = FTls && FTls->Want() == TIdTLSSession::wtWrite;
        if (!ready && !(write ? FSocket.WaitWritable(bounded ? ReadTimeout : timeout)
                              : FSocket.WaitReadable(bounded ? ReadTimeout : timeout))) {
            if (bounded)
                GStack->RaiseError(Id_WSAETIMEDOUT);
            return 0;
        }
        result = ReceiveInto(target->Memory(), capacity);
        taken = result != -1 || !FTls;
    }
    PeerClosed = result == 0;

    if (result != 0) {
        if (GStack->CheckResult(result, {Id_WSAESHUTDOWN})) {
            result = 0;
            if (FSocket.IsOpen)
                DropSocket();
            if (FInBuffer.Size() == 0)
                GStack->RaiseError(Id_WSAESHUTDOWN);
        }
        if (ASCIIFilter)
            for (int i = 0; i < result; ++i)
                target->Memory()[i] = char(target->Memory()[i] & 0x7F);
    }

    if (intoInBuffer) {
        FInBuffer.SetPosition(FInBuffer.Size());
        FInBuffer.Write(target->Memory(), result);
    } else {
        AddWork(wdReceive, result);
    }
    if (FInterceptEnabled && FIntercept)
        FIntercept->AfterReceive(target->Memory(), result);
    CheckConnection(raiseIfClosed, false);
    return result;
}

std::string TIdTCPConnection::ReadLine(const std::string &terminator, int timeout)
{
    const std::string ending = terminator.empty() ? std::string("\n") : terminator;
    LineTimedOut = false;

    // Only the bytes that arrived since the last pass are new; the search
    // resumes just before them so a terminator split across receives counts.
    size_t searchFrom = 0;
    size_t found;
    for (;;) {
        const std::string_view buffered(FInBuffer.Memory(), size_t(FInBuffer.Size()));
        found = buffered.find(ending, searchFrom);
        if (found != std::string_view::npos)
            break;
        if (buffered.size() > size_t(MaxLineLength))
            throw EIdLineTooLong(FormatNumber(RSId::LineTooLong, MaxLineLength));
        searchFrom = buffered.size() >= ending.size() ? buffered.size() - ending.size() + 1 : 0;
        CheckConnection(true, true);
        if (ReceiveChunk(true, timeout, true, nullptr) == 0) {
            LineTimedOut = true;
            return {};
        }
    }

    std::string line = TakeBytes(int(found + ending.size()));
    line.resize(found);
    if (terminator.empty() && !line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string TIdTCPConnection::TakeBytes(int count)
{
    if (count > FInBuffer.Size())
        throw EIdNotEnoughDataInBuffer(RSId::NotEnoughDataInBuffer);
    std::string bytes(FInBuffer.Memory(), size_t(std::max(count, 0)));
    ConsumeBytes(count);
    return bytes;
}

void TIdTCPConnection::ConsumeBytes(int count)
{
    FInBuffer.RemoveFront(count);
    AddWork(wdReceive, count);
}

std::string TIdTCPConnection::ReadAvailable()
{
    if (!Connected())
        return {};
    ReceiveChunk(false, WaitForever, true, nullptr);
    return TakeBytes(InBufferSize());
}

std::string TIdTCPConnection::ReadAll()
{
    std::string all;
    StartWork(wdReceive, 0);
    const auto finish = IdScopeExit([this] { FinishWork(wdReceive); });
    while (Connected())
        all += ReadAvailable();
    return all;
}

void TIdTCPConnection::ReadExact(void *buffer, int count)
{
    if (count <= 0 || !buffer)
        return;
    while (FInBuffer.Size() < count) {
        // A peer that closes part way through leaves a buffer that never
        // fills: the close is the end, not a reason to ask again.
        if (ReceiveChunk(true, WaitForever, true, nullptr) == 0 && (PeerClosed || !FSocket.IsOpen))
            throw EIdConnClosedGracefully(RSId::ConnectionClosedGracefully);
    }
    std::memcpy(buffer, FInBuffer.Memory(), size_t(count));
    ConsumeBytes(count);
}

int32_t TIdTCPConnection::ReadInt32(bool convert)
{
    uint32_t value = 0;
    ReadExact(&value, 4);
    return int32_t(convert ? GStack->NetToHost32(value) : value);
}

void TIdTCPConnection::ReadToStream(TStream *stream, int count, bool untilClose)
{
    if (count == -1 && !untilClose)
        count = ReadInt32(true);
    if (count > -1) {
        const int64_t position = stream->Position();
        stream->SetSize(position + count);
        stream->SetPosition(position);
    }
    StartWork(wdReceive, untilClose ? 0 : count);
    const auto finish = IdScopeExit([this, stream] {
        FinishWork(wdReceive);
        if (stream->Position() < stream->Size())
            stream->SetSize(stream->Position());
    });

    // Until the close, the count is unlimited: a 32-bit remainder would end
    // a download silently at 2 GiB.
    int64_t remaining = untilClose ? std::numeric_limits<int64_t>::max() : count;

    const int64_t buffered = std::min<int64_t>(remaining, FInBuffer.Size());
    if (buffered > 0) {
        stream->Write(FInBuffer.Memory(), buffered);
        FInBuffer.RemoveFront(buffered);
        remaining -= buffered;
    }

    // A bulk read takes what the kernel holds in large blocks: a few system
    // calls per megabyte rather than dozens.
    const int64_t blockSize = std::max<int64_t>(RecvBufferSize(), BulkReadSize);
    TIdBuffer chunk;
    while (remaining > 0 && Connected()) {
        chunk.SetSize(std::min<int64_t>(remaining, blockSize));
        const int received = ReceiveChunk(!untilClose, WaitForever, false, &chunk);
        stream->Write(chunk.Memory(), received);
        remaining -= received;
    }
}

// ---- TLS ------------------------------------------------------------------------------

bool TIdTCPConnection::WaitForTLS(bool write, int milliseconds)
{
    const int timeout = milliseconds < 0 ? ReadTimeout : milliseconds;
    return write ? FSocket.WaitWritable(timeout) : FSocket.WaitReadable(timeout);
}

void TIdTCPConnection::StartTLS(const std::string &host, const TIdTLSSession *resume)
{
    // TLS opens with the client's hello, and a server says nothing before
    // it: bytes here already came in clear, and would pass for encrypted
    // ones once TLS runs (a "331" slipped in behind the "234").
    char early;
    if (FInBuffer.Size() > 0 || (FSocket.IsOpen && FSocket.Receive(&early, 1, Id_MSG_PEEK | Id_MSG_DONTWAIT) > 0)) {
        DropSocket();
        throw EIdTLSError("The server sent data before encryption began.");
    }
    FTLSCut = false;
    auto tls = std::make_unique<TIdTLSSession>(FSocket.Handle);
    try {
        tls->Handshake(
            host, resume,
            [](void *connection, TIdTLSSession::TWant want, int milliseconds) {
                return static_cast<TIdTCPConnection *>(connection)->WaitForTLS(want == TIdTLSSession::wtWrite,
                                                                               milliseconds);
            },
            this);
    } catch (...) {
        DropSocket();
        throw;
    }
    FTls = std::move(tls);
}

void TIdTCPConnection::ShutdownTLS()
{
    if (!FTls || !FSocket.IsOpen)
        return;
    // The server's own goodbye comes at once, or not at all (some hold it
    // until the socket closes): a short drain.
    FTls->Shutdown(
        [](void *connection, TIdTLSSession::TWant want, int milliseconds) {
            return static_cast<TIdTCPConnection *>(connection)->WaitForTLS(want == TIdTLSSession::wtWrite,
                                                                           milliseconds);
        },
        this, 2000);
}

// ---- writing ----------------------------------------------------------------------

void TIdTCPConnection::WriteBytes(const void *buffer, int count)
{
    if (count <= 0 || !buffer)
        return;
    CheckConnection(true, true);
    const char *bytes = static_cast<const char *>(buffer);
    int position = 0;
    while (position < count) {
        const int length = count - position;
        int sent;
        if (FTls) {
            // A record given up half way (a time-out, an abort, an error)
            // cannot be finished by other bytes, and TLS would refuse
            // every later write: the connection ends with it.
            try {
                sent = FTls->Write(bytes + position, length);
                if (sent == -1) {
                    if (!WaitForTLS(FTls->Want() == TIdTLSSession::wtWrite, -1))
                        GStack->RaiseError(Id_WSAETIMEDOUT);
                    continue;
                }
            } catch (...) {
                DropSocket();
                throw;
            }
        } else if (FInterceptEnabled && FIntercept && FIntercept->HandlesSend) {
            sent = FIntercept->InterceptSend(bytes + position, length);
        } else if (ReadTimeout != IdTimeoutInfinite) {
            // A peer that stops reading must not hold the call for ever:
            // what fits goes at once; the wait for room comes when nothing
            // fits, or when one is due.
            if (FSocket.WaitDue() && !FSocket.WaitWritable(ReadTimeout))
                GStack->RaiseError(Id_WSAETIMEDOUT);
            sent = FSocket.Send(bytes + position, length, Id_MSG_DONTWAIT);
            if (sent == Id_SOCKET_ERROR && GStack->LastError() == Id_WSAEWOULDBLOCK) {
                if (!FSocket.WaitWritable(ReadTimeout))
                    GStack->RaiseError(Id_WSAETIMEDOUT);
                continue;
            }
        } else {
            sent = FSocket.Send(bytes + position, length);
            TIdAntiFreezeBase::PumpIfDue(false);
        }
        PeerClosed = sent == 0;
        CheckConnection(true, false);
        if (GStack->CheckResult(sent, {Id_WSAESHUTDOWN})) {
            DropSocket();
            GStack->RaiseError(Id_WSAESHUTDOWN);
        }
        AddWork(wdSend, sent);
        if (FInterceptEnabled && FIntercept)
            FIntercept->AfterSend(bytes + position, sent);
        position += sent;
    }
}

void TIdTCPConnection::Write(const std::string &text)
{
    if (!text.empty())
        WriteBytes(text.data(), int(text.size()));
}

void TIdTCPConnection::WriteLine(const std::string &text)
{
    Write(text + "\r\n");
}

void TIdTCPConnection::WriteInt32(int32_t value, bool convert)
{
    const uint32_t wire = convert ? GStack->HostToNet32(uint32_t(value)) : uint32_t(value);
    WriteBytes(&wire, 4);
}

void TIdTCPConnection::WriteFromStream(TStream *stream, bool fromStart, bool withCount)
{
    if (fromStart)
        stream->SetPosition(0);
    const int64_t size = stream->Size() - stream->Position();
    if (withCount)
        WriteInt32(int32_t(size), true);
    StartWork(wdSend, size);
    const auto finish = IdScopeExit([this] { FinishWork(wdSend); });

    const int blockSize = int(std::max<int64_t>(SendBufferSize, BulkReadSize));
    std::unique_ptr<char[]> block(new char[size_t(blockSize)]);
    // The size is asked once: a file's size costs a system call.
    for (int64_t remaining = size; remaining > 0;) {
        const int64_t read = stream->Read(block.get(), std::min<int64_t>(remaining, blockSize));
        if (read == 0)
            throw EIdNoDataToRead(RSId::NoDataToRead);
        WriteBytes(block.get(), int(read));
        remaining -= read;
    }
}

int64_t TIdTCPConnection::WriteFileContents(const std::string &path, bool allowTransmit)
{
    if (allowTransmit && !FInterceptEnabled && !FTls)
        return GStack->WholeFileSend(FSocket.Handle, path);
    TFileStream file(path, TFileStream::fmOpenRead);
    WriteFromStream(&file, true, false);
    return file.Size();
}

// ---- command and reply ----------------------------------------------------------

namespace {

int16_t CodeOf(const std::string &line)
{
    if (StartsWithNoCase(line, "+OK"))
        return 1;
    if (StartsWithNoCase(line, "-ERR"))
        return 0;
    // Three digits, then a blank, a "-" or the end: "2200 ready" and
    // "220ready" are no 220.
    const auto digit = [&line](size_t i) { return line[i] >= '0' && line[i] <= '9'; };
    if (line.size() < 3 || !digit(0) || !digit(1) || !digit(2) ||
        (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
        return 0;
    return int16_t((line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0'));
}

}  // namespace

int16_t TIdTCPConnection::SendCommand(const std::string &command, const TReplyCodes &allowed)
{
    if (command != std::string(1, '\0'))
        WriteLine(command);
    return ReadReply(allowed);
}

int16_t TIdTCPConnection::SendCommand(const std::string &command, int16_t allowed)
{
    return SendCommand(command, allowed == -1 ? TReplyCodes{} : TReplyCodes{allowed});
}

std::string TIdTCPConnection::ReadNonBlankLine()
{
    for (;;) {
        const std::string line = Trim(ReadLine());
        if (!line.empty())
            return line;
    }
}

int16_t TIdTCPConnection::ReadReply(const TReplyCodes &allowed)
{
    ReplyLines.clear();
    ReplyLines.push_back(ReadNonBlankLine());
    const std::string &first = ReplyLines.front();
    if (first.size() > 3 && first[3] == '-') {
        // Only the code and a blank end it; servers send short free-text
        // lines in between ("220-", "    ok").
        const std::string terminator = first.substr(0, 3) + ' ';
        const std::string bare = first.substr(0, 3);
        size_t bytes = first.size();
        for (;;) {
            ReplyLines.push_back(ReadNonBlankLine());
            const std::string &line = ReplyLines.back();
            if (line == bare || StartsWithNoCase(line, terminator))
                break;
            bytes += line.size();
            if (ReplyLines.size() > size_t(MaxReplyLines) || bytes > size_t(MaxReplyBytes))
                throw EIdReplyTooLong(RSId::ReplyTooLong);
        }
    }
    ReplyCode = CodeOf(LastReplyLine());
    return CheckReplyCode(ReplyCode, allowed);
}

int16_t TIdTCPConnection::CheckReplyCode(int16_t code, const TReplyCodes &allowed)
{
    if (allowed.empty() || std::find(allowed.begin(), allowed.end(), code) != allowed.end())
        return code;
    RaiseReplyError();
    return code;  // not reached: RaiseReplyError raises
}

void TIdTCPConnection::RaiseReplyError()
{
    throw EIdProtocolReplyError(ReplyCode, LastReplyLine());
}
