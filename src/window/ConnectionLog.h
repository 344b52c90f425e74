// The window's log: status texts, the window's own messages and the
// control connection's lines, one entry each, time-stamped in IDE-hooks
// mode; with its menu (Clear Log, Show Protocol).
#pragma once

#include <QObject>

#include <string>

class QAction;
class QListWidget;
class QMenu;
class TIdLogDebug;

class TConnectionLog : public QObject {
    Q_OBJECT
public:
    // `protocol` is the control connection's debug log, switched by Show
    // Protocol.
    TConnectionLog(QListWidget *list, TIdLogDebug &protocol);

    void Add(const QString &message);
    void Clear();
    // A debug-log item of the control connection: "Sent: ..." or
    // "Recv: ..." with "<EOL>" for each line end; others end a connection.
    void ProtocolItem(const std::string &AText);
    bool ShowsProtocol() const;
    void SetShowsProtocol(bool on);

private:
    QListWidget *FList;
    TIdLogDebug &FProtocol;
    QMenu *FMenu;
    QAction *FShowProtocol;
    bool FScrollPending = false;
    // The start of a received line whose end has not come yet.
    std::string FProtocolTail;
};
