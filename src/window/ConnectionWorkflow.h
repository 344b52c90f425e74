// The connection bar's steps: connect and log in, land in the start
// folder, disconnect, switch the controls with the connection state, fill
// the bar from a saved site, and the keys that add and remove sites.
#pragma once

class QKeyEvent;
class TfrmMain;

class TConnectionWorkflow {
public:
    explicit TConnectionWorkflow(TfrmMain &form) : F(form) {}

    // Connects, or disconnects when connected.
    void Execute();
    void Connected();
    void Disconnected();
    // The address text changed: fill the bar from a saved site.
    void AddressChanged();
    // A key in the bar; true when it is consumed.
    bool KeyPress(QKeyEvent *key);

private:
    void Connect();
    void AddOrUpdateSite();
    void RemoveSite();

    TfrmMain &F;
};
