// The exception tree of the network layer. Every class carries its message;
// EIdSocketError also carries the socket error number.
#pragma once

#include <stdexcept>
#include <string>

class EIdException : public std::runtime_error {
public:
    explicit EIdException(const std::string &message) : std::runtime_error(message) {}
};

#define ID_EXCEPTION(Name, Base)                                              \
    class Name : public Base {                                                \
    public:                                                                   \
        explicit Name(const std::string &message) : Base(message) {}         \
    }

ID_EXCEPTION(EIdAlreadyConnected, EIdException);
ID_EXCEPTION(EIdInvalidServiceName, EIdException);
ID_EXCEPTION(EIdInvalidSocket, EIdException);
ID_EXCEPTION(EIdFTPFileAlreadyExists, EIdException);
// A command asked for while another is still running on the connection.
ID_EXCEPTION(EIdFTPBusy, EIdException);
// A name or argument that would break the command line it goes into.
ID_EXCEPTION(EIdFTPInvalidArgument, EIdException);
// A passive reply naming an address no server can have.
ID_EXCEPTION(EIdFTPInvalidPassiveReply, EIdException);
ID_EXCEPTION(EIdMoreThanOneTIdAntiFreeze, EIdException);
ID_EXCEPTION(EIdStackCanNotLoadWinsock, EIdException);
ID_EXCEPTION(EIdCanNotChangeTarget, EIdException);

ID_EXCEPTION(EIdSilentException, EIdException);
ID_EXCEPTION(EIdConnClosedGracefully, EIdSilentException);
// A transfer ended on request (RequestAbort): what it wrote is not kept.
ID_EXCEPTION(EIdTransferAborted, EIdSilentException);

ID_EXCEPTION(EIdStackError, EIdException);
ID_EXCEPTION(EIdStackInitializationFailed, EIdStackError);
ID_EXCEPTION(EIdStackSetSizeExceeded, EIdStackError);

ID_EXCEPTION(EIdSocketHandleError, EIdException);
ID_EXCEPTION(EIdCouldNotBindSocket, EIdSocketHandleError);

ID_EXCEPTION(EIdTCPConnectionError, EIdException);
ID_EXCEPTION(EIdNotEnoughDataInBuffer, EIdTCPConnectionError);
ID_EXCEPTION(EIdInterceptPropIsNil, EIdTCPConnectionError);
ID_EXCEPTION(EIdNoDataToRead, EIdTCPConnectionError);
// A peer that sends no line end: the line being read passed the cap.
ID_EXCEPTION(EIdLineTooLong, EIdTCPConnectionError);
// A multi-line reply that does not end: it passed the cap.
ID_EXCEPTION(EIdReplyTooLong, EIdTCPConnectionError);

// TLS could not be set up, or failed on the way; the text says why.
ID_EXCEPTION(EIdTLSError, EIdException);
// A TLS data connection that ended without the server's close_notify, when
// nothing else vouches that all of it came: a transfer cut on the way.
ID_EXCEPTION(EIdDataConnectionCut, EIdTLSError);

ID_EXCEPTION(EIdSocksError, EIdException);
// An HTTP proxy that would not open the tunnel: its status line says why.
ID_EXCEPTION(EIdHttpProxyError, EIdSocksError);
ID_EXCEPTION(EIdSocksRequestFailed, EIdSocksError);
ID_EXCEPTION(EIdSocksRequestServerFailed, EIdSocksError);
ID_EXCEPTION(EIdSocksRequestIdentFailed, EIdSocksError);
ID_EXCEPTION(EIdSocksUnknownError, EIdSocksError);
ID_EXCEPTION(EIdSocksServerRespondError, EIdSocksError);
ID_EXCEPTION(EIdSocksAuthMethodError, EIdSocksError);
ID_EXCEPTION(EIdSocksAuthError, EIdSocksError);
ID_EXCEPTION(EIdSocksServerGeneralError, EIdSocksError);
ID_EXCEPTION(EIdSocksServerPermissionError, EIdSocksError);
ID_EXCEPTION(EIdSocksServerNetUnreachableError, EIdSocksError);
ID_EXCEPTION(EIdSocksServerHostUnreachableError, EIdSocksError);
ID_EXCEPTION(EIdSocksServerConnectionRefusedError, EIdSocksError);
ID_EXCEPTION(EIdSocksServerTTLExpiredError, EIdSocksError);
ID_EXCEPTION(EIdSocksServerCommandError, EIdSocksError);
ID_EXCEPTION(EIdSocksServerAddressError, EIdSocksError);

#undef ID_EXCEPTION

// A text that should have been a number: the general runtime's conversion
// error, outside the network layer's own tree.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string &text)
        : std::runtime_error("'" + text + "' is not a valid integer value")
    {
    }
};

class EIdSocketError : public EIdException {
public:
    EIdSocketError(int lastError, const std::string &message) : EIdException(message), LastError(lastError) {}
    int LastError;
};

class EIdProtocolReplyError : public EIdException {
public:
    EIdProtocolReplyError(int replyCode, const std::string &message) : EIdException(message), ReplyCode(replyCode)
    {
    }
    int ReplyCode;
};
