// The window's log: status texts, the window's own messages and the
// control connection's lines, one entry each, time-stamped in IDE-hooks
// mode; with its menu (Clear Log, Show Protocol).
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

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

    // The entry is shown within a tenth of a second: lines that come in a
    // burst (a file's end each) are laid out together, not one by one,
    // which would lay the whole list out each time.
    void Add(const QString &message);
    // What was added is in the list now.
    void Flush();
    static constexpr int FlushInterval = 100;  // ms
    // The most entries kept: a night of a million transfers would fill
    // the memory with its lines. The oldest go, a tenth at a time.
    int MaxEntries = 100'000;
    void Clear();
    // Shows the log's page, whatever page is in front, with its last line
    // chosen: a failure the user must see.
    void BringToFront();
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
    QStringList FPending;
    QTimer FFlush;
    QElapsedTimer FSinceFlush;
    // The end is to stay in sight.
    bool FFollow = false;
    // The start of a received line whose end has not come yet.
    std::string FProtocolTail;
};
