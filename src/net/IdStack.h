// The socket stack: one process-wide instance through which every socket
// call is made, with name resolution, address text conversion, the error
// check and the texts of the socket errors. TIdStackPosix is the
// implementation for this platform.
#pragma once

#include "IdGlobal.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TIdStack {
public:
    TIdStack() = default;
    virtual ~TIdStack() = default;
    TIdStack(const TIdStack &) = delete;
    TIdStack &operator=(const TIdStack &) = delete;

    // ---- provided by the implementation --------------------------------------
    virtual void RefreshLocalAddresses() = 0;
    virtual TIdSocketHandleValue AcceptSocket(TIdSocketHandleValue listener, std::string &address, int &port) = 0;
    virtual int BindSocket(TIdSocketHandleValue socket, int family, const std::string &address, int port) = 0;
    virtual int CloseSocketHandle(TIdSocketHandleValue socket) = 0;
    virtual int ConnectSocket(TIdSocketHandleValue socket, int family, const std::string &address, int port) = 0;
    // The name's first IPv4 address.
    virtual std::string HostToAddress(const std::string &name) = 0;
    // All the name's addresses, IPv6 and IPv4, in the order the resolver
    // prefers them.
    virtual std::vector<std::string> HostToAddresses(const std::string &name) = 0;
    virtual std::string LocalHostName() = 0;
    virtual std::string AddressToHostName(const std::string &address) = 0;
    virtual int ServicePort(const std::string &name) = 0;
    virtual std::vector<std::string> ServiceNames(int port) = 0;
    virtual uint16_t HostToNet16(uint16_t value) = 0;
    virtual int ListenSocket(TIdSocketHandleValue socket, int backlog) = 0;
    virtual uint16_t NetToHost16(uint16_t value) = 0;
    virtual uint32_t HostToNet32(uint32_t value) = 0;
    virtual uint32_t NetToHost32(uint32_t value) = 0;
    virtual int ReceiveOn(TIdSocketHandleValue socket, void *buffer, int length, int flags) = 0;
    virtual int ReceiveFromOn(TIdSocketHandleValue socket, void *buffer, int length, int flags, std::string &address,
                              int &port) = 0;
    // Each list present is cut down to its ready sockets; returns their count.
    virtual int SelectSockets(std::vector<TIdSocketHandleValue> *readList, std::vector<TIdSocketHandleValue> *writeList,
                              std::vector<TIdSocketHandleValue> *errorList, int timeout) = 0;
    // `flags` as the POSIX send takes them (Id_MSG_DONTWAIT).
    virtual int SendOn(TIdSocketHandleValue socket, const void *buffer, int length, int flags) = 0;
    virtual int SendToOn(TIdSocketHandleValue socket, const void *buffer, int length, int flags,
                         const std::string &address, int port) = 0;
    virtual int SetSocketOption(TIdSocketHandleValue socket, int level, int option, const void *value, int length) = 0;
    virtual TIdSocketHandleValue CreateSocket(int family, int type, int protocol) = 0;
    virtual int ShutdownSocket(TIdSocketHandleValue socket, int how) = 0;
    virtual std::string ErrorText(int code);
    virtual int LastError() = 0;
    virtual void RemoteAddressOf(TIdSocketHandleValue socket, int &family, int &port, std::string &address) = 0;
    virtual void LocalAddressOf(TIdSocketHandleValue socket, int &family, int &port, std::string &address) = 0;
    // Switches a socket between blocking and non-blocking calls.
    virtual int SetBlocking(TIdSocketHandleValue socket, bool blocking) = 0;
    // The pending error of a socket (the end of a non-blocking connect), 0
    // for none.
    virtual int PendingError(TIdSocketHandleValue socket) = 0;
    virtual void SetLastError(int code) = 0;
    // Sends a whole file on the socket; its size, or 0 on failure.
    virtual int64_t WholeFileSend(TIdSocketHandleValue socket, const std::string &path) = 0;

    // ---- the stack's own --------------------------------------------------------
    std::string PrimaryLocalAddress();
    const std::vector<std::string> &LocalAddressList();

    TIdSocketHandleValue NewSocket(int type, int protocol, int family = Id_PF_INET);
    // False unless `result` is -1; then true when the last error is one of
    // `tolerated`, else EIdSocketError.
    bool CheckResult(int result, const std::vector<int> &tolerated = {});
    [[noreturn]] void RaiseError(int code);
    std::string LookupHost(const std::string &name);
    // The addresses to try for a host, in order: a literal address alone.
    std::vector<std::string> LookupHosts(const std::string &name);

    static bool IsDottedQuad(const std::string &text);
    static bool IsIPv6Address(const std::string &text);
    // The family of a literal address ("::1" IPv6), IPv4 for anything else.
    static int FamilyOf(const std::string &address);
    static std::string AddressToText(const std::array<uint8_t, 4> &address);
    [[nodiscard]] static std::array<uint8_t, 4> TextToAddress(const std::string &text);

protected:
    std::vector<std::string> FLocalAddresses;
};

// The process-wide stack; exists while at least one network component does.
extern TIdStack *GStack;
TIdStack *CreateDefaultStack();
