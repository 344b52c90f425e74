// The socket stack over POSIX sockets. Error numbers are translated into
// the Windows Sockets numbering that the layer's messages use (10000 plus
// the classic BSD number; resolver failures 11001 to 11004). Sends never
// raise SIGPIPE, waits use poll(), and the whole-file send uses sendfile.
#pragma once

#include "IdStack.h"

class TIdStackPosix : public TIdStack {
public:
    void RefreshLocalAddresses() override;
    TIdSocketHandleValue AcceptSocket(TIdSocketHandleValue listener, std::string &address, int &port) override;
    int BindSocket(TIdSocketHandleValue socket, int family, const std::string &address, int port) override;
    int CloseSocketHandle(TIdSocketHandleValue socket) override;
    int ConnectSocket(TIdSocketHandleValue socket, int family, const std::string &address, int port) override;
    std::string HostToAddress(const std::string &name) override;
    std::vector<std::string> HostToAddresses(const std::string &name) override;
    std::string LocalHostName() override;
    std::string AddressToHostName(const std::string &address) override;
    int ServicePort(const std::string &name) override;
    std::vector<std::string> ServiceNames(int port) override;
    uint16_t HostToNet16(uint16_t value) override;
    int ListenSocket(TIdSocketHandleValue socket, int backlog) override;
    uint16_t NetToHost16(uint16_t value) override;
    uint32_t HostToNet32(uint32_t value) override;
    uint32_t NetToHost32(uint32_t value) override;
    int ReceiveOn(TIdSocketHandleValue socket, void *buffer, int length, int flags) override;
    int ReceiveFromOn(TIdSocketHandleValue socket, void *buffer, int length, int flags, std::string &address,
                      int &port) override;
    int SelectSockets(std::vector<TIdSocketHandleValue> *readList, std::vector<TIdSocketHandleValue> *writeList,
                      std::vector<TIdSocketHandleValue> *errorList, int timeout) override;
    int SendOn(TIdSocketHandleValue socket, const void *buffer, int length, int flags) override;
    int SendToOn(TIdSocketHandleValue socket, const void *buffer, int length, int flags, const std::string &address,
                 int port) override;
    int SetSocketOption(TIdSocketHandleValue socket, int level, int option, const void *value, int length) override;
    TIdSocketHandleValue CreateSocket(int family, int type, int protocol) override;
    int ShutdownSocket(TIdSocketHandleValue socket, int how) override;
    int LastError() override;
    void RemoteAddressOf(TIdSocketHandleValue socket, int &family, int &port, std::string &address) override;
    void LocalAddressOf(TIdSocketHandleValue socket, int &family, int &port, std::string &address) override;
    int SetBlocking(TIdSocketHandleValue socket, bool blocking) override;
    int PendingError(TIdSocketHandleValue socket) override;
    void SetLastError(int code) override;
    int64_t WholeFileSend(TIdSocketHandleValue socket, const std::string &path) override;

    // The numbering of this layer for a Linux errno, and for a getaddrinfo
    // or getnameinfo result.
    static int TranslateErrno(int error);
    static int TranslateResolverError(int error);
};
