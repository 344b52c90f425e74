// Helpers for the network layer's tests: connecting a bare connection to a
// loopback port, recording events, and putting a stack of the test's own in
// place of the process-wide one.
#pragma once

#include "IdComponent.h"
#include "IdIntercept.h"
#include "IdStack.h"
#include "IdStackPosix.h"
#include "IdTCPConnection.h"

#include <string>
#include <vector>

// Opens the connection's socket and connects it to 127.0.0.1:port.
void ConnectTo(TIdTCPConnection &connection, int port);

// Writes every status and work event of a component as one line each:
// "status 3 Disconnecting from 127.0.0.1.", "begin 0 100", "work 0 40",
// "end 0".
struct EventRecorder {
    explicit EventRecorder(TIdComponent &component);
    std::vector<std::string> Events;
};

// Records what a connection hands its interceptor.
class RecordingIntercept : public TIdConnectionIntercept {
public:
    void Attach(TIdSocketHandle *socket) override;
    void AfterReceive(const char *bytes, int count) override;
    void AfterSend(const char *bytes, int count) override;
    void Detach() override;

    int Attaches = 0;
    int Detaches = 0;
    std::vector<std::string> Received;
    std::vector<std::string> Sent;
};

// The POSIX stack, with every select time-out recorded.
class RecordingStack : public TIdStackPosix {
public:
    int SelectSockets(std::vector<TIdSocketHandleValue> *readList, std::vector<TIdSocketHandleValue> *writeList,
                      std::vector<TIdSocketHandleValue> *errorList, int timeout) override;
    std::string HostToAddress(const std::string &name) override;

    std::vector<int> SelectTimeouts;
    std::vector<std::string> LookedUp;
};

// Puts `stack` in place of the process-wide stack for its lifetime. A
// component is kept alive meanwhile so the stack count never drops to 0.
class ScopedStack {
public:
    explicit ScopedStack(TIdStack *stack);
    ~ScopedStack();

private:
    TIdComponent FKeepAlive;
    TIdStack *FSaved;
};
