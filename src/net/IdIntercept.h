// A connection's interceptor: called when the TCP connection is made, after
// each receive and send, and when the connection closes. Can also take the
// receives and sends over.
#pragma once

#include "IdComponent.h"

#include <functional>

class TIdSocketHandle;

class TIdConnectionIntercept : public TIdBaseComponent {
public:
    TIdSocketHandle *AttachedSocket = nullptr;
    std::function<void(TIdConnectionIntercept *)> OnConnect;
    bool HandlesRecv = false;
    bool HandlesSend = false;

    virtual void Attach(TIdSocketHandle *socket);
    virtual void AfterReceive(const char *bytes, int count);
    virtual void AfterSend(const char *bytes, int count);
    virtual void Detach();
    virtual int InterceptRecv(void *buffer, int length);
    virtual int InterceptSend(const void *buffer, int length);
};
