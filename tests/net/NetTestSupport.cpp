#include "NetTestSupport.h"

void ConnectTo(TIdTCPConnection &connection, int port)
{
    connection.ResetState();
    connection.Socket()->Open();
    connection.Socket()->SetRemote("127.0.0.1", port);
    GStack->CheckResult(connection.Socket()->ConnectPeer());
}

EventRecorder::EventRecorder(TIdComponent &component)
{
    component.OnStatus = [this](TIdComponent *, TIdStatus status, const std::string &text) {
        Events.push_back("status " + std::to_string(status) + " " + text);
    };
    component.OnWorkBegin = [this](TIdComponent *, TWorkMode mode, int64_t max) {
        Events.push_back("begin " + std::to_string(mode) + " " + std::to_string(max));
    };
    component.OnWork = [this](TIdComponent *, TWorkMode mode, int64_t count) {
        Events.push_back("work " + std::to_string(mode) + " " + std::to_string(count));
    };
    component.OnWorkEnd = [this](TIdComponent *, TWorkMode mode) {
        Events.push_back("end " + std::to_string(mode));
    };
}

void RecordingIntercept::Attach(TIdSocketHandle *socket)
{
    TIdConnectionIntercept::Attach(socket);
    ++Attaches;
}

void RecordingIntercept::AfterReceive(const char *bytes, int count)
{
    Received.emplace_back(bytes, size_t(count));
}

void RecordingIntercept::AfterSend(const char *bytes, int count)
{
    Sent.emplace_back(bytes, size_t(count));
}

void RecordingIntercept::Detach()
{
    TIdConnectionIntercept::Detach();
    ++Detaches;
}

int RecordingStack::SelectSockets(std::vector<TIdSocketHandleValue> *readList,
                                  std::vector<TIdSocketHandleValue> *writeList,
                                  std::vector<TIdSocketHandleValue> *errorList, int timeout)
{
    SelectTimeouts.push_back(timeout);
    return TIdStackPosix::SelectSockets(readList, writeList, errorList, timeout);
}

std::string RecordingStack::HostToAddress(const std::string &name)
{
    LookedUp.push_back(name);
    return TIdStackPosix::HostToAddress(name);
}

ScopedStack::ScopedStack(TIdStack *stack) : FSaved(GStack)
{
    GStack = stack;
}

ScopedStack::~ScopedStack()
{
    GStack = FSaved;
}
