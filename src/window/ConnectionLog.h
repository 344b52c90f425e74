// The window's log: status texts and the control connection's lines, one
// entry each, time-stamped in IDE-hooks mode.
#pragma once

#include <string>

class QString;
class TfrmMain;

class TConnectionLog {
public:
    explicit TConnectionLog(TfrmMain &form) : F(form) {}

    void Add(const QString &message);
    void Clear();
    // A debug-log item of the control connection: "Sent: ..." or
    // "Recv: ..." with "<EOL>" for each line end; others end a connection.
    void ProtocolItem(const std::string &AText);

private:
    TfrmMain &F;
    bool FScrollPending = false;
    // The start of a received line whose end has not come yet.
    std::string FProtocolTail;
};
