// What the window's parts share, and all they know of the window: the
// log, the busy cursor, the connection-bound actions and the connection
// state. Each part gets this face and the widgets it owns; none sees the
// form, and none touches another part's widgets: it calls that part.
#pragma once

class QString;
class QWidget;

class TWindowServices {
public:
    // Appends a message to the log.
    virtual void AddToLog(const QString &message) = 0;
    // The screen cursor: the hourglass, or back to the default.
    virtual void SetBusyCursor(bool busy) = 0;
    // Download, upload, new folder, delete, rename and up a folder; they
    // stay off while offline, whoever asks.
    virtual void SetActionsEnabled(bool on) = 0;
    // Logged in, and not disconnected since.
    virtual bool Online() const = 0;
    // The user asked for the disconnect under way (or closed the window):
    // what it cuts short is no failure to report.
    virtual bool DisconnectRequested() const = 0;
    // The window the parts' dialogs belong to.
    virtual QWidget *DialogOwner() = 0;

protected:
    ~TWindowServices() = default;
};
