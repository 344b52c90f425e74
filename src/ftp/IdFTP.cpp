#include "IdFTP.h"

#include "IdException.h"
#include "IdFTPDataChannel.h"
#include "IdFTPLogin.h"
#include "IdFTPPassive.h"
#include "IdResourceStrings.h"
#include "IdLocalPath.h"
#include "IdScopeGuard.h"
#include "IdStack.h"
#include "IdStream.h"
#include "ListingParser.h"
#include "PartFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <utility>

TIdFTP::TIdFTP()
{
    Port = 21;
    ReadTimeout = DefaultReadTimeout;
}

void TIdFTP::CheckArgument(const std::string &text)
{
    // A hostile listing can deliver such a name; sent, it would become two
    // commands.
    if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        throw EIdFTPInvalidArgument("A name or argument cannot hold a line break or a NUL character.");
}

int16_t TIdFTP::SendCommand(const std::string &command, const TReplyCodes &allowed)
{
    if (command != std::string(1, '\0'))
        CheckArgument(command);
    try {
        const int16_t code = TIdTCPClient::SendCommand(command, allowed);
        FPipeline.Raise();
        return code;
    } catch (const EIdProtocolReplyError &) {
        FPipeline.Raise();  // a refusal sent before is the cause
        throw;
    }
}

void TIdFTP::SendLater(const std::string &command, const TReplyCodes &allowed, TIdFTPPipeline::TThen then)
{
    const TCommandScope scope(*this);
    WriteLater(command, allowed, std::move(then));
}

void TIdFTP::WriteLater(const std::string &command, const TReplyCodes &allowed, TIdFTPPipeline::TThen then)
{
    CheckArgument(command);
    WriteLine(command);
    FPipeline.Add(allowed, std::move(then));
}

void TIdFTP::ReadLaterReplies()
{
    FPipeline.ReadAll([this] { return ReadOwnReply({}); }, [this](int16_t code) {
        return std::make_exception_ptr(EIdProtocolReplyError(code, LastReplyLine()));
    });
}

int16_t TIdFTP::ReadReply(const TReplyCodes &allowed)
{
    ReadLaterReplies();
    return ReadOwnReply(allowed);
}

int16_t TIdFTP::ReadOwnReply(const TReplyCodes &allowed)
{
    try {
        return TIdTCPClient::ReadReply(allowed);
    } catch (const EIdProtocolReplyError &) {
        throw;  // a whole reply, only not the one hoped for: still in step
    } catch (...) {
        // Whatever the server sends next could be taken for the reply to a
        // later command.
        if (Socket()->IsOpen) {
            try {
                Disconnect();
            } catch (...) {
                // A status or disconnect handler that raises: the first
                // error is the one to report.
            }
        }
        throw;
    }
}

TIdFTP::TCommandScope::TCommandScope(TIdFTP &ftp) : FFtp(ftp)
{
    // Its lines would interleave with the running command's on the control
    // connection, and each would read the other's reply.
    if (FFtp.FBusy)
        throw EIdFTPBusy("Busy: another command is in progress.");
    FFtp.FBusy = true;
}

void TIdFTP::SetTransferType(TIdFTPTransferType type)
{
    ChangeTransferType(type, false);
}

void TIdFTP::SetTransferTypeLater(TIdFTPTransferType type)
{
    ChangeTransferType(type, true);
}

void TIdFTP::ChangeTransferType(TIdFTPTransferType type, bool later)
{
    if (type == FTransferType || DataConnection)
        return;
    if (!Connected()) {
        FTransferType = type;
        return;
    }
    const TCommandScope scope(*this);
    FTransferType = type;
    if (!later)
        return SendTypeCommand();
    FTypeOwed = true;
    WriteLater(TypeCommand(), {200}, [this](int16_t) { FTypeOwed = false; });
}

std::string TIdFTP::TypeCommand() const
{
    return std::string("type ") + (FTransferType == ftBinary ? "I" : "A");
}

void TIdFTP::SendTypeCommand()
{
    SendCommand(TypeCommand(), 200);
}

void TIdFTP::Connect(bool login)
{
    const TCommandScope scope(*this);
    CheckArgument(User);
    CheckArgument(Password);
    FToldSizeVouched = false;
    FFeatures = AskFeatures ? TIdFTPFeatures{} : KnownFeatures;
    FExtendedPassiveRefused = FExtendedPortRefused = FPassiveWorked = FTypeOwed = false;
    FPipeline.Clear();
    // Until logged in, an abort from another thread ends the waits for the
    // server and any proxy: nothing is under way that ABOR could end.
    Socket()->Interrupt = FAbortRequest.Handle();
    Socket()->OnInterrupt = [this] {
        ClearAbortRequest();
        throw EIdTransferAborted("Transfer aborted.");
    };
    const auto loggedIn = IdScopeExit([this] {
        Socket()->Interrupt = Id_INVALID_SOCKET;
        Socket()->OnInterrupt = nullptr;
    });
    try {
        TIdTCPClient::Connect();
        if (UseTLS == utUseImplicitTLS)
            SecureControlConnection();
        // "120 Service ready in nnn minutes" may come before the 220 (RFC 959).
        while (ReadReply({120, 220}) == 120) {
        }
        if (UseTLS == utUseExplicitTLS && TLSWhenOffered) {
            // 234 accepted; a 4xx or 5xx, that the server has no TLS.
            if (SendCommand("AUTH TLS", {234, 431, 500, 502, 504, 530, 534}) == 234) {
                SecureControlConnection();
            } else {
                UseTLS = utNoTLS;
                ReportStatus(ssText, "The server offers no TLS: the connection is not encrypted.");
            }
        } else if (UseTLS == utUseExplicitTLS) {
            try {
                SendCommand("AUTH TLS", 234);
            } catch (const EIdProtocolReplyError &e) {
                // "500 Unknown command" alone would not tell the user why.
                throw EIdProtocolReplyError(e.ReplyCode,
                                            std::string("The server does not offer TLS (") + e.what() + ").");
            }
            SecureControlConnection();
        }
        if (!login)
            return;
        TIdFTPLogin::Run(*this);
    } catch (...) {
        try {
            Disconnect();
        } catch (...) {
            // A handler that raises: the connect's own error is reported.
        }
        throw;
    }
}

// ---- transfers ----------------------------------------------------------------------

void TIdFTP::SecureControlConnection()
{
    StartTLS(Host);
    const TIdCertificateInfo certificate = TLS()->PeerCertificate();
    const bool accepted = OnVerifyCertificate ? OnVerifyCertificate(certificate) : certificate.Problem.empty();
    if (!accepted)
        throw EIdTLSError(certificate.Problem.empty() ? "The server's certificate was not accepted."
                                                      : "The server's certificate was not accepted: " +
                                                            certificate.Problem + ".");
    ReportStatus(ssText, "Encrypted with " + TLS()->Description() + ".");
}

void TIdFTP::SecureDataConnection(TIdTCPConnection &data)
{
    data.StartTLS(Host, TLS());
    // The data come from the server that logged us in, or from no one.
    if (data.TLS()->PeerCertificate().Fingerprint != TLS()->PeerCertificate().Fingerprint) {
        data.Disconnect();
        throw EIdTLSError("The data connection's certificate is not the server's.");
    }
}

void TIdFTP::WatchControlConnection(TIdTCPConnection &data)
{
    data.Socket()->Companion = Socket()->Handle;
    data.Socket()->OnCompanionReadable = [this, &data] {
        // A reply that comes early (a 226 before the data's end) waits in
        // the buffer.
        if (BufferArrived())
            return;
        // Closed: seen once is enough. With no reply to read, the transfer
        // cannot end well, and ends now; with one, the data still may.
        data.Socket()->Companion = Id_INVALID_SOCKET;
        if (InBufferSize() == 0)
            throw EIdConnClosedGracefully(RSId::ConnectionClosedGracefully);
    };
    // Another thread asks the transfer to end: on this thread, in order.
    data.Socket()->Interrupt = FAbortRequest.Handle();
    data.Socket()->OnInterrupt = [this] {
        ClearAbortRequest();
        AbortTransfer();
        throw EIdTransferAborted("Transfer aborted.");
    };
}

void TIdFTP::Disconnect()
{
    // A transfer that waits for its data connection would otherwise wait on.
    CloseDataConnection();
    FPipeline.Clear();
    TIdTCPClient::Disconnect();
}

void TIdFTP::Quit(int timeout)
{
    if (FBusy || !Socket()->IsOpen) {
        Disconnect();
        return;
    }
    {
        const TCommandScope scope(*this);
        const TIdReadTimeoutScope goodbye(*this, timeout);
        try {
            WriteLine("QUIT");
            TIdTCPClient::ReadReply({});
        } catch (...) {
            // Gone already, or too slow: the close below ends it either way.
        }
    }
    Disconnect();
}

std::string TIdFTP::ReadIdleNotice()
{
    if (FBusy || !Socket()->IsOpen)
        return {};
    const TCommandScope scope(*this);
    bool open = false;
    try {
        // Replies owed to commands sent without waiting are no notice.
        ReadLaterReplies();
        open = BufferArrived();
    } catch (const EIdException &) {
        // A reset, or TLS gone wrong: no more use than a closed connection.
    }
    std::string notice = TakeBytes(InBufferSize());
    if (!open)
        Disconnect();
    while (!notice.empty() && (notice.back() == '\n' || notice.back() == '\r'))
        notice.pop_back();
    return notice;
}

void TIdFTP::CopyWorkHandlers(TIdTCPConnection *connection)
{
    connection->ReadTimeout = ReadTimeout;
    connection->OnWork = OnWork;
    connection->OnWorkBegin = OnWorkBegin;
    connection->OnWorkEnd = OnWorkEnd;
}

TIdFTP::TPassiveAddress TIdFTP::EnterPassive(const std::string &command, bool &sent)
{
    return TIdFTPPassive::Enter(*this, command, sent);
}

void TIdFTP::AnnounceDataPort(TIdSocketHandle *socket)
{
    const bool six = socket->Family == Id_PF_INET6;
    if (six || (FFeatures.ExtendedPort && !FExtendedPortRefused)) {
        const std::string command = "EPRT |" + std::string(six ? "2" : "1") + '|' + socket->IP + '|' +
                                    std::to_string(socket->Port) + '|';
        if (SendCommand(command, six ? TReplyCodes{200} : TReplyCodes{200, 500, 501, 502}) == 200)
            return;
        FExtendedPortRefused = true;
    }
    std::string address = socket->IP;
    std::replace(address.begin(), address.end(), '.', ',');
    SendCommand("PORT " + address + "," + std::to_string(socket->Port / 256) + "," + std::to_string(socket->Port % 256),
                200);
}

bool TIdFTP::ReceiveData(const std::string &command, TStream *destination)
{
    return TIdFTPDataChannel(*this, *this).Run(
        command, false, [destination](TIdTCPConnection &data) { data.ReadToStream(destination, -1, true); });
}

void TIdFTP::RefuseUnaskedData()
{
    if (InBufferSize() == 0)
        return;
    Disconnect();
    throw EIdTLSError("The server sent data before encryption began.");
}

void TIdFTP::SendRestart()
{
    if (FRestartAt <= 0)
        return;
    try {
        SendCommand("REST " + std::to_string(FRestartAt), TReplyCodes{350});
    } catch (const EIdProtocolReplyError &refusal) {
        // A refusal (500, 501, 502, 504) is the server's word on restarts;
        // anything else is no answer to REST at all.
        if (refusal.ReplyCode < 500)
            throw;
        throw EIdFTPRestartRefused(refusal.ReplyCode, refusal.what());
    }
}

void TIdFTP::SendData(const std::string &command, TStream *source)
{
    const bool passive = Passive;
    const bool fromStart = FRestartAt == 0;
    TIdFTPDataChannel(*this, *this).Run(command, true, [source, passive, fromStart](TIdTCPConnection &data) {
        if (!passive) {
            data.WriteFromStream(source, fromStart, false);
            return;
        }
        try {
            data.WriteFromStream(source, false, false);
        } catch (const EIdSocketError &error) {
            if (error.LastError != 10038)
                throw;
        }
    });
}

void TIdFTP::GetStream(const std::string &remoteName, TStream *destination, int64_t size)
{
    if (!ReceiveData("retr " + remoteName, destination) || FAborted)
        return;
    // No close_notify: the file's size alone can tell that all of it came
    // (a server that ends every data connection so), never the 226, which
    // the server sends whoever cut the connection.
    if (size < 0 && FTransferType == ftBinary)
        size = QuerySize(remoteName);
    if (size < 0 || destination->Position() != size)
        throw EIdDataConnectionCut("The data connection was cut before its end.");
    if (!std::exchange(FToldSizeVouched, true))
        ReportStatus(ssText, "The server ends its data connections without closing TLS: each file's size shows "
                             "whether all of it came.");
}

void TIdFTP::Get(const std::string &remoteName, TStream *destination)
{
    const TCommandScope scope(*this);
    GetStream(remoteName, destination);
}

void TIdFTP::Get(const std::string &remoteName, const std::string &localName, bool overwrite)
{
    const TCommandScope scope(*this);
    const LocalPath::TKind existing = LocalPath::KindOf(localName);
    if (!overwrite && existing == LocalPath::TKind::File)
        throw EIdFTPFileAlreadyExists("Destination file already exists.");
    // A folder of that name: nothing is sent, nothing replaced.
    if (existing == LocalPath::TKind::Folder)
        throw EFileStreamError("Cannot create file " + localName);
    TPartFile part(localName);
    {
        TFileStream file(part.TakeHandle(), part.Path());
        GetStream(remoteName, &file);
    }
    // Aborted, the data stopped short of the end, whatever the server
    // replied after: the target stays as it was.
    if (FAborted)
        throw EIdTransferAborted("Transfer aborted.");
    part.Commit(overwrite);
}

void TIdFTP::Get(const std::string &remoteName, TStream *destination, int64_t offset, int64_t size)
{
    const TCommandScope scope(*this);
    FRestartAt = offset;
    const auto clear = IdScopeExit([this] { FRestartAt = 0; });
    GetStream(remoteName, destination, size);
    if (FAborted)
        throw EIdTransferAborted("Transfer aborted.");
}

void TIdFTP::Put(TStream *source, const std::string &remoteName, int64_t offset)
{
    const TCommandScope scope(*this);
    FRestartAt = offset;
    const auto clear = IdScopeExit([this] { FRestartAt = 0; });
    PutStream(source, remoteName, false);
}

void TIdFTP::Put(TStream *source, const std::string &remoteName, bool append)
{
    const TCommandScope scope(*this);
    PutStream(source, remoteName, append);
}

void TIdFTP::PutStream(TStream *source, const std::string &remoteName, bool append)
{
    if (remoteName.empty())
        SendData("STOU " + remoteName, source);
    else if (append)
        SendData("APPE " + remoteName, source);
    else
        SendData("STOR " + remoteName, source);
}

void TIdFTP::Put(const std::string &localName, const std::string &remoteName, bool append)
{
    const TCommandScope scope(*this);
    TFileStream file(localName, TFileStream::fmOpenRead);
    PutStream(&file, remoteName, append);
}

void TIdFTP::List(std::vector<std::string> &lines, const std::string &specifier, bool details)
{
    // Only a listing read whole replaces what the caller had.
    std::vector<std::string> read;
    List(specifier, details, [&read](std::string_view line) {
        read.emplace_back(line);
        return true;
    });
    lines = std::move(read);
}

TIdFTP::TListingRead TIdFTP::List(const std::string &specifier, bool details,
                                  const std::function<bool(std::string_view)> &line)
{
    const TCommandScope scope(*this);
    TListingRead read;
    bool flowing = true;
    TListingLines lines(MaxListingLine, [&](std::string_view text) {
        if (line(text))
            return true;
        // Enough: the server is told, the data connection closed, and the
        // replies still owed are read as after any abort.
        read.Stopped = true;
        if (flowing)
            AbortTransfer();
        return false;
    });
    TListingLineStream stream(lines);
    // Facts where the server offers them: exact sizes and times.
    const bool facts = details && specifier.empty() && FFeatures.MachineListing;
    const bool cut = ReceiveData(facts ? std::string("MLSD") : Trim((details ? "list " : "nlst ") + specifier), &stream);
    read.LongLines = lines.LongLines();
    if (read.Stopped)
        return read;
    if (cut)
        throw EIdDataConnectionCut("The data connection was cut before its end.");
    flowing = false;
    lines.Finish();
    return read;
}

void TIdFTP::AbortTransfer()
{
    FAborted = true;
    if (Connected())
        WriteLine("ABOR");
    CloseDataConnection();
}

void TIdFTP::RequestAbort()
{
    FAbortRequest.Raise();
}

void TIdFTP::ClearAbortRequest()
{
    FAbortRequest.Clear();
}

void TIdFTP::CloseDataConnection()
{
    if (DataConnection)
        DataConnection->DropSocket();
}

// ---- file and folder commands -----------------------------------------------------

void TIdFTP::EnterFolder(const std::string &folder)
{
    const TCommandScope scope(*this);
    SendCommand("CWD " + folder, 250);
}

void TIdFTP::EnterParentFolder()
{
    const TCommandScope scope(*this);
    SendCommand("CDUP", 250);
}

std::string TIdFTP::QueryCurrentFolder()
{
    const TCommandScope scope(*this);
    SendCommand("PWD", 257);
    return ExtractQuotedPath(LastReplyLine());
}

void TIdFTP::CreateFolder(const std::string &folder)
{
    const TCommandScope scope(*this);
    SendCommand("MKD " + folder, 257);
}

void TIdFTP::RemoveFolder(const std::string &folder)
{
    const TCommandScope scope(*this);
    SendCommand("RMD " + folder, 250);
}

void TIdFTP::Delete(const std::string &name)
{
    const TCommandScope scope(*this);
    SendCommand("DELE " + name, 250);
}

void TIdFTP::ChangePermissions(const std::string &name, int mode)
{
    char octal[8];
    std::snprintf(octal, sizeof octal, "%o", unsigned(mode) & 07777u);
    const TCommandScope scope(*this);
    SendCommand("SITE CHMOD " + std::string(octal) + " " + name, 200);
}

void TIdFTP::Rename(const std::string &oldName, const std::string &newName)
{
    const TCommandScope scope(*this);
    CheckArgument(newName);  // before the first of the two goes out
    SendCommand("RNFR " + oldName, 350);
    SendCommand("RNTO " + newName, 250);
}

std::string TIdFTP::ModificationTime(const std::string &name)
{
    const TCommandScope scope(*this);
    const int16_t code = SendCommand("MDTM " + name, TReplyCodes{});
    return TimeFromReply(code, ReplyLines);
}

int64_t TIdFTP::Size(const std::string &name)
{
    const TCommandScope scope(*this);
    return QuerySize(name);
}

int64_t TIdFTP::QuerySize(const std::string &name)
{
    const int16_t code = SendCommand("SIZE " + name, TReplyCodes{});
    return SizeFromReply(code, ReplyLines);
}
