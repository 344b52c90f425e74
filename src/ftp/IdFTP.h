// The FTP client: a TCP client whose connect is followed by the greeting
// and, with login, by the user and password, the type command and the
// system query. Commands go out as they are given (lower-case words, one
// blank, the argument unquoted and untrimmed); names are bytes throughout.
#pragma once

#include "IdException.h"
#include "IdFTPDataControl.h"
#include "IdFTPFeatures.h"
#include "IdFTPPipeline.h"
#include "IdFTPReplyText.h"
#include "IdTCPClient.h"
#include "IdTLS.h"
#include "IdWakeSignal.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TStream;

enum TIdFTPTransferType { ftBinary = 0, ftASCII = 1 };

// FTP over TLS (RFC 4217): none, explicit (AUTH TLS after the greeting), or
// implicit (TLS from the first byte, port 990).
enum TIdUseTLS { utNoTLS, utUseExplicitTLS, utUseImplicitTLS };

// The server would not start a transfer at an offset (REST refused).
class EIdFTPRestartRefused : public EIdProtocolReplyError {
public:
    using EIdProtocolReplyError::EIdProtocolReplyError;
};

class TIdFTP : public TIdTCPClient, private TIdFTPDataControl {
public:
    TIdFTP();

    // One command at a time: while an operation runs (a window handler may
    // run in the middle of it), another one raises EIdFTPBusy. Disconnect
    // and AbortTransfer stay allowed, to end the running one.
    bool Busy() const { return FBusy; }

    std::string User;
    std::string Password;
    bool Passive = false;

    TIdUseTLS UseTLS = utNoTLS;
    // The server's certificate, once per connection: true to go on. With
    // no handler, only a certificate that verifies is taken.
    std::function<bool(const TIdCertificateInfo &certificate)> OnVerifyCertificate;

    // An active transfer that fails before any data flows (PORT refused,
    // the server cannot connect, or no connection within DataAcceptTimeout)
    // is tried again in passive mode, which then stays on: active mode
    // fails behind most home routers.
    bool PassiveFallback = false;
    int DataAcceptTimeout = 15000;
    // Explicit TLS where the server offers it: a refused AUTH TLS goes on
    // unencrypted (UseTLS becomes utNoTLS), and the status says so. A
    // server that accepts it is held to it.
    bool TLSWhenOffered = false;

    TIdFTPTransferType TransferType() const { return FTransferType; }
    // Stores the type and, when connected, tells the server; does nothing
    // while a transfer runs.
    void SetTransferType(TIdFTPTransferType type);
    // As SetTransferType, the TYPE going out with whatever is sent next.
    void SetTransferTypeLater(TIdFTPTransferType type);
    void SendTypeCommand();

    // Sends a command without waiting for its reply, which is read before
    // the next one. A code outside `allowed` (none: any) raises from the
    // command that read it, once that command's own reply is in. `then`
    // sees the reply (ReplyLines hold it) and must not raise.
    void SendLater(const std::string &command, const TReplyCodes &allowed, TIdFTPPipeline::TThen then = {});

    // What the system query answered; "Unknown" when the server had no idea.
    const std::string &SystemDescription() const { return FSystemDescription; }
    // After the login: FEAT once; then listings by MLSD where the server
    // offers MLST, and "OPTS UTF8 ON" where it offers UTF8.
    bool AskFeatures = false;
    // Whether the login asks for UTF-8 names ("OPTS UTF8 ON"): where FEAT
    // offered them, always (a connection that does not ask FEAT, made
    // like one that found them), or never (names in a charset of the
    // server's own, which the request would change on some servers).
    enum TNamesUtf8 { nuWhenOffered, nuAlways, nuNever };
    TNamesUtf8 NamesUtf8 = nuWhenOffered;
    const TIdFTPFeatures &Features() const { return FFeatures; }
    // What a connection that does not ask FEAT takes as offered (what an
    // earlier login's FEAT told).
    TIdFTPFeatures KnownFeatures;

    // Connects, reads the greeting and, with `login`, logs in. Any failure
    // leaves the client disconnected.
    void Connect(bool login);
    void Connect() override { Connect(true); }

    // Closes the control connection and the data connection of a transfer
    // in progress, so a transfer waiting on either ends at once.
    void Disconnect() override;
    // Ends the session as servers like it: "QUIT", its reply awaited for at
    // most `timeout` milliseconds, then Disconnect. While a command runs,
    // only Disconnect: the server would take QUIT for that command's.
    void Quit(int timeout = 2000);
    // What the server sent while no command ran, read without waiting.
    // Servers end an idle session, some with a last reply first ("421
    // Timeout."); when the server closed, so is this connection (with
    // OnDisconnected). The bytes are no reply to any command of ours, so
    // they are taken out of the way.
    std::string ReadIdleNotice();

    // ---- transfers ----
    void Get(const std::string &remoteName, TStream *destination);
    // Raises EIdFTPFileAlreadyExists for an existing file unless `overwrite`.
    // The data go to a temporary file beside the target, which takes the
    // target's place only when the server's final reply says the transfer
    // succeeded; on any failure the target is as it was.
    void Get(const std::string &remoteName, const std::string &localName, bool overwrite);
    // A download that goes on from `offset` (REST, then RETR), written at
    // the stream's position; EIdFTPRestartRefused when the server will not
    // start there. `size`, the file's whole size where the caller knows it
    // (the listing, SIZE), vouches for a TLS data connection the server
    // ended without its close_notify.
    void Get(const std::string &remoteName, TStream *destination, int64_t offset, int64_t size = -1);
    // An empty remote name uploads with "STOU ".
    void Put(TStream *source, const std::string &remoteName, bool append);
    // An upload that goes on from `offset` of the remote file (REST, then
    // STOR), read from the stream's position; EIdFTPRestartRefused as Get.
    void Put(TStream *source, const std::string &remoteName, int64_t offset);
    void Put(const std::string &localName, const std::string &remoteName, bool append);
    // The listing's lines, bytes as the server sent them.
    void List(std::vector<std::string> &lines, const std::string &specifier, bool details);
    // The listing as it arrives, a line at a time (without its line end):
    // nothing of it is kept here. A line longer than MaxListingLine is
    // skipped and counted; the handler returns false to stop the listing
    // there, with ABOR. Over TLS, a listing cut short raises
    // EIdDataConnectionCut after the lines that came.
    struct TListingRead {
        size_t LongLines = 0;
        bool Stopped = false;
    };
    static constexpr size_t MaxListingLine = 64 * 1024;
    TListingRead List(const std::string &specifier, bool details, const std::function<bool(std::string_view)> &line);
    virtual void AbortTransfer();
    virtual void CloseDataConnection();
    // From any thread: ends the transfer in progress, or the next one as
    // soon as its data connection is set up, as AbortTransfer does (ABOR,
    // the control connection kept in step); the transfer raises
    // EIdTransferAborted, and a download to a file leaves the file as it
    // was. ClearAbortRequest forgets a request that came too late.
    void RequestAbort();
    void ClearAbortRequest();

    // ---- file and folder commands ----
    void EnterFolder(const std::string &folder);
    void EnterParentFolder();
    std::string QueryCurrentFolder();
    void CreateFolder(const std::string &folder);
    void RemoveFolder(const std::string &folder);
    void Delete(const std::string &name);
    void Rename(const std::string &oldName, const std::string &newName);
    // SITE CHMOD with the bits in octal (0755 as "755").
    void ChangePermissions(const std::string &name, int mode);
    // The size the server reports, or -1 (any refusal, or no number).
    int64_t Size(const std::string &name);
    // The modification time the server reports (MDTM) as "YYYYMMDDHHMMSS",
    // or "" (any refusal, or no such time).
    std::string ModificationTime(const std::string &name);

    // The data connection of the transfer in progress, or none.
    TIdTCPConnection *DataConnection = nullptr;

    // A control or data connection silent this long (milliseconds) ends
    // the call with socket error 10060; so does a server that does not
    // open its data connection in active mode. The user's Disconnect ends
    // any wait sooner.
    static constexpr int DefaultReadTimeout = 60000;
    // After a transfer failed, how long to wait for the replies the server
    // still owes before the control connection is closed instead.
    static constexpr int SettleTimeout = 10000;
    // A passive data connection refused: how long the server's reply to the
    // command may take to say why.
    static constexpr int RefusalWait = 1000;

    // Refuses text that would break a command line: CR, LF or NUL.
    static void CheckArgument(const std::string &text);

    // Reads a reply; a reply that cannot be read whole (a time-out, a
    // close, no end) leaves the connection out of step, so it is closed.
    int16_t ReadReply(const TReplyCodes &allowed) override;
    using TIdTCPClient::SendCommand;
    // Refuses a command holding CR, LF or NUL before anything is sent.
    int16_t SendCommand(const std::string &command, const TReplyCodes &allowed) override;

    // The host and port of a 227 reply (see ParsePassiveAddress).
    using TPassiveAddress = TIdPassiveAddress;
    [[nodiscard]] static TPassiveAddress ParsePassiveReply(const std::string &line)
    {
        return ParsePassiveAddress(line);
    }

protected:
    // Encrypts the control connection and asks whether to go on with the
    // server's certificate; the log hears what TLS came to.
    void SecureControlConnection();
    // Encrypts a data connection, resuming the control connection's session;
    // it must carry the server's certificate.
    void SecureDataConnection(TIdTCPConnection &data) override;
    // Looks at the control connection while a transfer waits: raises when
    // the server has closed it.
    void WatchControlConnection(TIdTCPConnection &data) override;
    // True when the data connection's TLS ended without the server's
    // close_notify (see TIdFTPDataChannel::Run).
    bool ReceiveData(const std::string &command, TStream *destination);
    void SendData(const std::string &command, TStream *source);
    // REST for a transfer that starts at an offset, once its data channel
    // is set up: some servers forget a restart marker at PORT or PASV.
    void SendRestart() override;
    TPassiveAddress EnterPassive(const std::string &command, bool &sent) override;

    void AnnounceDataPort(TIdSocketHandle *socket) override;
    void CopyWorkHandlers(TIdTCPConnection *connection) override;

private:
    friend class TIdFTPLogin;
    friend class TIdFTPPassive;
    // Marks an operation running for its lifetime; raises when one is.
    class TCommandScope {
    public:
        explicit TCommandScope(TIdFTP &ftp);
        ~TCommandScope() { FFtp.FBusy = false; }

    private:
        TIdFTP &FFtp;
    };

    // A download into the stream; over TLS, a data connection cut short
    // raises EIdDataConnectionCut unless the file's size (`size`, or SIZE
    // asked afterwards) shows that all of it came.
    void GetStream(const std::string &remoteName, TStream *destination, int64_t size = -1);
    int64_t QuerySize(const std::string &name);
    std::string TypeCommand() const;
    void ChangeTransferType(TIdFTPTransferType type, bool later);
    // SendLater within a command already running.
    void WriteLater(const std::string &command, const TReplyCodes &allowed, TIdFTPPipeline::TThen then = {});
    // The replies owed to SendLater's commands, then a reply of this one's.
    void ReadLaterReplies();
    int16_t ReadOwnReply(const TReplyCodes &allowed);
    // Nothing may wait behind the reply just read: the server speaks only
    // when spoken to, and bytes here would answer the next command.
    void RefuseUnaskedData();
    void PutStream(TStream *source, const std::string &remoteName, bool append);
    // For the data channels.
    void Tell(const std::string &text) override { ReportStatus(ssText, text); }
    bool Aborted() const override { return FAborted; }
    void SetAborted(bool aborted) override { FAborted = aborted; }

    TIdFTPTransferType FTransferType = ftBinary;
    std::string FSystemDescription;
    TIdFTPFeatures FFeatures;
    // EPSV or EPRT refused on this connection (IPv4): PASV and PORT.
    bool FExtendedPassiveRefused = false, FExtendedPortRefused = false;
    // A passive data connection was set up on this connection: the next
    // transfer's command may follow EPSV or PASV unanswered.
    bool FPassiveWorked = false;
    // A TYPE sent without waiting is still unanswered.
    bool FTypeOwed = false;
    TIdFTPPipeline FPipeline;
    bool FBusy = false;
    // AbortTransfer was called during the transfer in progress.
    bool FAborted = false;
    // Where the next transfer starts (REST), and whether an upload keeps
    // the stream's position.
    int64_t FRestartAt = 0;
    // The log heard once in this session that a size vouched for a data
    // connection ended without TLS's close_notify.
    bool FToldSizeVouched = false;
    TIdWakeSignal FAbortRequest;
};
