// Keeps an idle browsing connection open, as servers end one that says
// nothing for a few minutes: after a while without a command it asks
// the server something harmless (FTP's NOOP). The while is random, 30 to
// 60 seconds, so that it matches no server's fixed time-out. A server that
// closed the connection anyway is found so, and the window goes offline
// as it does for any lost connection.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

class TBrowsingSession;

class TKeepAlive : public QObject {
public:
    // `online`: whether the window is connected now.
    TKeepAlive(TBrowsingSession &session, std::function<bool()> online);

    void SetEnabled(bool on);
    bool Enabled() const { return FEnabled; }
    // The range of the while, in milliseconds.
    void SetInterval(int shortest, int longest);
    int Sent() const { return FSent; }

private:
    void Schedule();
    void Due();

    TBrowsingSession &FSession;
    std::function<bool()> FOnline;
    QTimer FTimer;
    bool FEnabled = false;
    int FShortest = 30'000, FLongest = 60'000;
    uint64_t FUsesSeen = 0;
    int FSent = 0;
};
