// An interceptor that turns a connection's life into log entries:
// "Connected.", "Recv: " and "Sent: " with the bytes, "Disconnected.";
// optionally time-stamped, with every CR LF shown as "<EOL>".
#pragma once

#include "IdIntercept.h"

#include <string>

class TIdLogBase : public TIdConnectionIntercept {
public:
    bool Active() const { return FActive; }
    virtual void SetActive(bool value) { FActive = value; }
    bool LogTime = true;

    void Attach(TIdSocketHandle *socket) override;
    void AfterReceive(const char *bytes, int count) override;
    void AfterSend(const char *bytes, int count) override;
    void Detach() override;

protected:
    virtual void WriteEntry(std::string &text) = 0;
    virtual void AddEntry(const std::string &text);

private:
    bool FActive = false;
};
