#include "KeepAlive.h"

#include "BrowsingSession.h"

#include <QRandomGenerator>

TKeepAlive::TKeepAlive(TBrowsingSession &session, std::function<bool()> online)
    : FSession(session), FOnline(std::move(online))
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, [this] { Due(); });
}

void TKeepAlive::SetEnabled(bool on)
{
    FEnabled = on;
    if (on)
        Schedule();
    else
        FTimer.stop();
}

void TKeepAlive::SetInterval(int shortest, int longest)
{
    FShortest = shortest;
    FLongest = std::max(shortest, longest);
    if (FEnabled)
        Schedule();
}

void TKeepAlive::Schedule()
{
    FUsesSeen = FSession.Uses();
    FTimer.start(int(QRandomGenerator::global()->bounded(FShortest, FLongest + 1)));
}

void TKeepAlive::Due()
{
    // Only a connection that was idle all the while; one in the middle
    // of a command is in use.
    if (FOnline() && FSession.Uses() == FUsesSeen && !FSession.Busy() && FSession.Connected()) {
        try {
            FSession.KeepAlive();
            ++FSent;
        } catch (...) {
            // A connection found lost here is told as any other: the
            // client's own disconnect event takes the window offline.
        }
    }
    if (FEnabled)
        Schedule();
}
