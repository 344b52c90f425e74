// The network layer's texts. They are only ever formatted with their
// placeholders, never built from pieces.
#pragma once

namespace RSId {

inline constexpr const char *StatusResolving = "Resolving hostname %s.";
inline constexpr const char *StatusConnecting = "Connecting to %s.";
inline constexpr const char *StatusConnected = "Connected.";
inline constexpr const char *StatusDisconnecting = "Disconnecting from %s.";
inline constexpr const char *StatusDisconnected = "Not connected.";
inline constexpr const char *StatusText = "%s";

inline constexpr const char *ConnectionClosedGracefully = "Connection Closed Gracefully.";
inline constexpr const char *NotEnoughDataInBuffer = "Not enough data in buffer.";
inline constexpr const char *NoDataToRead = "No data to read.";
inline constexpr const char *InterceptPropIsNil = "InterceptEnabled cannot be set to true when Intercept is nil.";
inline constexpr const char *LineTooLong = "Line too long: no line end within %d bytes.";
inline constexpr const char *ReplyTooLong = "Reply too long: no end within 10000 lines or 1048576 bytes.";

inline constexpr const char *CannotAllocateSocket = "Cannot allocate socket.";
inline constexpr const char *CouldNotBindSocket = "Could not bind socket. Address and port are already in use.";
inline constexpr const char *SetSizeExceeded = "Set Size Exceeded.";
inline constexpr const char *InvalidServiceName = "%s is not a valid service.";
inline constexpr const char *SocketError = "Socket Error # %d";
inline constexpr const char *StackCanNotLoad = "%s could not be loaded.";
inline constexpr const char *StackInitializationFailed = "Winsock Initialization Error.";

inline constexpr const char *OnlyOneAntiFreeze = "Only one TIdAntiFreeze can exist per application.";
inline constexpr const char *CannotChangeTarget = "Cannot change target while active.";

inline constexpr const char *AlreadyConnected = "Already connected.";

inline constexpr const char *SocksRequestFailed = "Request rejected or failed.";
inline constexpr const char *SocksRequestServerFailed = "Request rejected because SOCKS server cannot connect.";
inline constexpr const char *SocksRequestIdentFailed =
    "Request rejected because the client program and identd report different user-ids.";
inline constexpr const char *SocksUnknownError = "Unknown socks error.";
inline constexpr const char *SocksServerRespondError = "Socks server did not respond.";
inline constexpr const char *SocksAuthMethodError = "Invalid socks authentication method.";
inline constexpr const char *SocksAuthError = "Authentication error to socks server.";
inline constexpr const char *SocksServerGeneralError = "General SOCKS server failure.";
inline constexpr const char *SocksServerPermissionError = "Connection not allowed by ruleset.";
inline constexpr const char *SocksServerNetUnreachableError = "Network unreachable.";
inline constexpr const char *SocksServerHostUnreachableError = "Host unreachable.";
inline constexpr const char *SocksServerConnectionRefusedError = "Connection refused.";
inline constexpr const char *SocksServerTTLExpiredError = "TTL expired.";
inline constexpr const char *SocksServerCommandError = "Command not supported.";
inline constexpr const char *SocksServerAddressError = "Address type not supported.";
inline constexpr const char *SocksValueTooLong = "%s is too long for a SOCKS request.";

}  // namespace RSId
