#include "IdLogBase.h"

void TIdLogBase::Attach(TIdSocketHandle *socket)
{
    TIdConnectionIntercept::Attach(socket);
    AddEntry("Connected.");
}

void TIdLogBase::AfterReceive(const char *bytes, int count)
{
    AddEntry("Recv: " + std::string(bytes, size_t(count > 0 ? count : 0)));
}

void TIdLogBase::AfterSend(const char *bytes, int count)
{
    AddEntry("Sent: " + std::string(bytes, size_t(count > 0 ? count : 0)));
}

void TIdLogBase::Detach()
{
    AddEntry("Disconnected.");
    TIdConnectionIntercept::Detach();
}

void TIdLogBase::AddEntry(const std::string &text)
{
    if (!FActive)
        return;
    const std::string stamped = LogTime ? LocalDateTimeText() + ": " + text : text;
    std::string entry;
    entry.reserve(stamped.size());
    for (size_t i = 0; i < stamped.size(); ++i) {
        if (stamped[i] == '\r' && i + 1 < stamped.size() && stamped[i + 1] == '\n') {
            entry += "<EOL>";
            ++i;
        } else {
            entry += stamped[i];
        }
    }
    WriteEntry(entry);
}
