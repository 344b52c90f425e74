// The connection bar's steps: connect and log in, land in the start
// folder, disconnect, switch the controls with the connection state, fill
// the bar from a saved site, and the keys that add and remove sites.
// While online and idle it watches the control connection, so a server
// that ends the session is noticed at once.
#pragma once

#include <QString>

class QKeyEvent;
class QSocketNotifier;
class TfrmMain;

class TConnectionWorkflow {
public:
    explicit TConnectionWorkflow(TfrmMain &form) : F(form) {}

    // Connects, or disconnects when connected.
    void Execute();
    // The TCP connection is up; the login follows.
    void Connected();
    void Disconnected();
    // The address text changed: fill the bar from a saved site.
    void AddressChanged();
    // A key in the bar; true when it is consumed.
    bool KeyPress(QKeyEvent *key);

    // Logged in, and not disconnected since.
    bool Online() const { return FOnline; }
    // The user asked for the disconnect now under way (or closed the
    // window): a transfer it cuts short is no failure to report.
    bool DisconnectRequested() const { return FDisconnectRequested; }
    void RequestDisconnect() { FDisconnectRequested = true; }

private:
    void Connect();
    void LoggedIn();
    void AddOrUpdateSite();
    void RemoveSite();
    void WatchIdleConnection();
    void StopWatching();
    void IdleConnectionReadable();

    TfrmMain &F;
    bool FOnline = false;
    bool FDisconnectRequested = false;
    QSocketNotifier *FIdleWatch = nullptr;
};
