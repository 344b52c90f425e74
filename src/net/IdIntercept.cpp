#include "IdIntercept.h"

void TIdConnectionIntercept::Attach(TIdSocketHandle *socket)
{
    AttachedSocket = socket;
    if (OnConnect)
        OnConnect(this);
}

void TIdConnectionIntercept::AfterReceive(const char *, int) {}

void TIdConnectionIntercept::AfterSend(const char *, int) {}

void TIdConnectionIntercept::Detach()
{
    AttachedSocket = nullptr;
}

int TIdConnectionIntercept::InterceptRecv(void *, int)
{
    return 0;
}

int TIdConnectionIntercept::InterceptSend(const void *, int)
{
    return 0;
}
