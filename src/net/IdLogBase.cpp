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

namespace {

// A password never reaches a log: each "PASS" line keeps its verb only.
std::string MaskPasswords(const std::string &sent)
{
    std::string masked;
    size_t start = 0;
    while (start < sent.size()) {
        size_t end = sent.find('\n', start);
        end = end == std::string::npos ? sent.size() : end + 1;
        std::string line = sent.substr(start, end - start);
        if (line.size() >= 5 && StartsWithNoCase(line, "pass ")) {
            const bool crlf = line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0;
            line = line.substr(0, 5) + "****" + (crlf ? "\r\n" : line.back() == '\n' ? "\n" : "");
        }
        masked += line;
        start = end;
    }
    return masked;
}

}  // namespace

void TIdLogBase::AfterSend(const char *bytes, int count)
{
    AddEntry("Sent: " + MaskPasswords(std::string(bytes, size_t(count > 0 ? count : 0))));
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
