// Types and constants shared by the whole network layer.
#pragma once

#include <cstdint>
#include <string>

// Time-outs are in milliseconds; this one waits without limit.
inline constexpr int IdTimeoutInfinite = -2;
inline constexpr int WaitForever = IdTimeoutInfinite;
// A receive that leaves what it reads for the next.
inline constexpr int Id_MSG_PEEK = 0x02;
// A send that takes what fits now and never blocks.
inline constexpr int Id_MSG_DONTWAIT = 0x40;

enum TIdStatus { ssResolving, ssConnecting, ssConnected, ssDisconnecting, ssDisconnected, ssText };

enum TWorkMode { wdReceive = 0, wdSend = 1 };

using TIdSocketHandleValue = int;
inline constexpr TIdSocketHandleValue Id_INVALID_SOCKET = -1;
inline constexpr int Id_SOCKET_ERROR = -1;

// Address families, socket types and protocols as the stack takes them.
inline constexpr int Id_PF_INET = 2;
inline constexpr int Id_PF_INET6 = 23;
inline constexpr int Id_SOCK_STREAM = 1;
inline constexpr int Id_IPPROTO_IP = 0;

// Error numbers of the socket layer, in the classic Windows Sockets
// numbering that every message of this layer uses.
inline constexpr int Id_WSAEWOULDBLOCK = 10035;
inline constexpr int Id_WSAEINPROGRESS = 10036;
inline constexpr int Id_WSAEADDRINUSE = 10048;
inline constexpr int Id_WSAECONNRESET = 10054;
inline constexpr int Id_WSAESHUTDOWN = 10058;
inline constexpr int Id_WSAETIMEDOUT = 10060;
inline constexpr int Id_WSAECONNREFUSED = 10061;
inline constexpr int Id_WSAHOST_NOT_FOUND = 11001;
inline constexpr int Id_WSATRY_AGAIN = 11002;
inline constexpr int Id_WSANO_RECOVERY = 11003;
inline constexpr int Id_WSANO_DATA = 11004;

// "%s"-style formatting with string arguments, as the layer's texts need.
std::string FormatText(const std::string &format, const std::string &argument);
// "%d"
std::string FormatNumber(const std::string &format, long long number);

// The text without characters of codes 0 to 32 at either end.
[[nodiscard]] std::string Trim(const std::string &text);
// Whether `text` begins with `prefix`, letter case aside.
bool StartsWithNoCase(const std::string &text, const std::string &prefix);

// A time as FTP's MDTM writes it, "YYYYMMDDhhmmss" in UTC, as seconds
// since 1970, and back; -1 for a text that is no such time.
int64_t SecondsOfTimeText(const std::string &text);
std::string TimeTextOfSeconds(int64_t seconds);

// Local date and time as the user's short date and long time ("%x %X").
std::string LocalDateTimeText();
