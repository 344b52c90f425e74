// The buffered byte-stream connection everything in the network layer
// rests on: the FTP control connection and both kinds of data connection.
// It owns one socket and an input buffer that collects received bytes until
// a caller consumes them, and offers line reading, exact reads, reads into
// a stream, writes, and the detection of the peer's orderly close.
//
// All calls block the caller's thread; while a read waits, the anti-freeze
// may run the window's handlers, which may close this connection (the read
// then ends with EIdConnClosedGracefully).
#pragma once

#include "IdBuffer.h"
#include "IdComponent.h"
#include "IdSocketHandle.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TIdConnectionIntercept;
class TIdTLSSession;
class TStream;

class TIdTCPConnection : public TIdComponent {
public:
    TIdTCPConnection();
    ~TIdTCPConnection() override;

    // A line being read that grows past this without its terminator ends the
    // read with EIdLineTooLong: no reply line comes near it.
    static constexpr int MaxLineLength = 1024 * 1024;
    // A multi-line reply past either of these ends with EIdReplyTooLong:
    // no server's reply comes near them, an endless one would grow for ever.
    static constexpr int MaxReplyLines = 10000;
    static constexpr int MaxReplyBytes = 1024 * 1024;

    bool ASCIIFilter = false;
    // The longest a read or a send may wait for the peer, in milliseconds;
    // past it the call ends with socket error 10060. Waits without limit
    // by default; an explicit time-out given to a read still decides it.
    int ReadTimeout = IdTimeoutInfinite;
    TIdSocketHandle *Socket() { return &FSocket; }
    TIdBuffer &InBuffer() { return FInBuffer; }
    bool LineTimedOut = false;
    int SendBufferSize = 32768;
    std::function<void(TIdTCPConnection *)> OnDisconnected;

    int RecvBufferSize() const { return int(FRecvChunk.Size()); }
    void SetRecvBufferSize(int size) { FRecvChunk.SetSize(size); }
    // ReadToStream's least block, whatever the receive buffer size.
    static constexpr int64_t BulkReadSize = 256 * 1024;

    TIdConnectionIntercept *Intercept() const { return FIntercept; }
    void SetIntercept(TIdConnectionIntercept *intercept);
    bool InterceptEnabled() const { return FInterceptEnabled; }
    // Raises EIdInterceptPropIsNil without an interceptor.
    void SetInterceptEnabled(bool enabled);

    // ---- reading ----
    virtual bool Connected();
    virtual void CheckConnection(bool raiseIfClosed, bool ignoreBuffer);
    virtual void ProbeForClose(bool raiseIfClosed);
    // One wait and one receive; the count received (0 on time-out or close).
    virtual int ReceiveChunk(bool raiseIfClosed, int timeout, bool intoInBuffer, TIdBuffer *destination);
    // Without a terminator, a line ends at LF and a CR before it is dropped.
    // A time-out gives "" with LineTimedOut set.
    virtual std::string ReadLine(const std::string &terminator = {}, int timeout = WaitForever);
    virtual std::string TakeBytes(int count);
    virtual void ConsumeBytes(int count);
    int InBufferSize() const { return int(FInBuffer.Size()); }
    std::string ReadAvailable();
    virtual std::string ReadAll();
    void ReadExact(void *buffer, int count);
    int32_t ReadInt32(bool convert = true);
    // count -1 without untilClose reads a 32-bit count first; with
    // untilClose, reads until the peer closes.
    void ReadToStream(TStream *stream, int count = -1, bool untilClose = false);

    // ---- writing ----
    virtual void Write(const std::string &text);
    virtual void WriteLine(const std::string &text);
    void WriteBytes(const void *buffer, int count);
    void WriteInt32(int32_t value, bool convert = true);
    virtual void WriteFromStream(TStream *stream, bool fromStart = true, bool withCount = false);
    virtual int64_t WriteFileContents(const std::string &path, bool allowTransmit = false);

    // ---- TLS ----
    // Encrypts the connection from here on: the client handshake on its
    // socket, waiting as reads do. `host` names the server for the
    // certificate check; `resume` is a session to resume. Throws
    // EIdTLSError; the connection is then closed.
    void StartTLS(const std::string &host, const TIdTLSSession *resume = nullptr);
    // The TLS layer, or none while the connection is plain.
    TIdTLSSession *TLS() const { return FTls.get(); }
    // The peer's TLS ended without its close_notify: what came before the
    // end may have been cut short by anyone on the way. Kept after the
    // socket is gone, until TLS starts again.
    bool TLSCut() const { return FTLSCut; }
    // Says goodbye at the TLS level, as servers want before a data
    // connection closes; nothing for a plain connection.
    void ShutdownTLS();

    // Takes what has arrived into the input buffer, without waiting and
    // without running the window; false when the peer has closed.
    bool BufferArrived();

    // ---- closing and state ----
    virtual void Disconnect();
    virtual void DropSocket();
    virtual void NotifyDisconnected();
    virtual void ResetState();

    // ---- command and reply ----
    // An allowed-code list; empty accepts any code.
    using TReplyCodes = std::vector<int16_t>;
    // Writes the line (unless it is the single NUL character), then reads
    // the reply and checks its code.
    virtual int16_t SendCommand(const std::string &command, const TReplyCodes &allowed);
    // The single-code form: -1 accepts any code.
    int16_t SendCommand(const std::string &command, int16_t allowed);
    virtual int16_t ReadReply(const TReplyCodes &allowed);
    virtual int16_t CheckReplyCode(int16_t code, const TReplyCodes &allowed);
    [[noreturn]] virtual void RaiseReplyError();
    template <typename E>
    [[noreturn]] void RaiseReplyErrorAs()
    {
        throw E(LastReplyLine());
    }
    std::string ReadNonBlankLine();

    // The last reply: its lines (trimmed, no blank ones), and its code.
    std::vector<std::string> ReplyLines;
    int16_t ReplyCode = 0;
    std::string LastReplyLine() const { return ReplyLines.empty() ? std::string() : ReplyLines.back(); }

protected:
    void Notification(TIdBaseComponent *component, TOperation operation) override;

    bool PeerClosed = false;

private:
    TIdSocketHandle FSocket;
    TIdBuffer FInBuffer;
    TIdBuffer FRecvChunk;
    TIdConnectionIntercept *FIntercept = nullptr;
    bool FInterceptEnabled = false;
    std::unique_ptr<TIdTLSSession> FTls;
    bool FTLSCut = false;

    // One read from the socket or the TLS layer into `target`: the count,
    // 0 when the peer closed, -1 when nothing was there.
    int ReceiveInto(char *target, int capacity);
    // The wait of the TLS layer: for the socket to read or to write, in
    // the read time-out.
    bool WaitForTLS(bool write, int milliseconds);
};

// A read time-out for the length of a scope (a settling read, a goodbye):
// the connection's own comes back however the scope ends.
class TIdReadTimeoutScope {
public:
    TIdReadTimeoutScope(TIdTCPConnection &connection, int timeout)
        : FConnection(connection), FSaved(std::exchange(connection.ReadTimeout, timeout))
    {
    }
    ~TIdReadTimeoutScope() { FConnection.ReadTimeout = FSaved; }
    TIdReadTimeoutScope(const TIdReadTimeoutScope &) = delete;
    TIdReadTimeoutScope &operator=(const TIdReadTimeoutScope &) = delete;

private:
    TIdTCPConnection &FConnection;
    int FSaved;
};
