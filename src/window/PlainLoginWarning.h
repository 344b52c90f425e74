// The warning before a password goes to another machine in clear text:
// plain FTP shows it to anyone on the way. The user may take TLS instead,
// go on unencrypted, or stop, and may have the answer kept for the server.
#pragma once

#include "HostAddress.h"

#include <QString>

#include <map>

class QWidget;
class TSettingsStore;

// Whether a host names this machine: its own name, "localhost" or a
// loopback address. A password to it crosses no network.
bool IsThisMachine(const QString &host);

class TPlainLoginWarning {
public:
    enum TAnswer { UseTLS, Unencrypted, Cancel };
    // Asked when a password goes by plain FTP to another machine, unless
    // the answer for host:port was kept; anything else goes as it is.
    TAnswer Ask(QWidget *owner, const THostAddress &address, const QString &user, const QString &password);

    void Load(const TSettingsStore &store);
    void Save(TSettingsStore &store) const;

private:
    // "host:port" -> the kept answer, UseTLS or Unencrypted.
    std::map<QString, TAnswer> FKept;
};
