// One saved site of the connection bar.
#pragma once

#include <QString>

struct TSiteEntry {
    QString Address;        // host to connect to, as typed
    QString UserName;
    QString Password;       // as typed; stored in the secret store where one works
    QString DefaultFolder;  // remote folder to open after the login; may be empty
    // The settings say the secret store holds its password, which is asked
    // for when the site connects.
    bool PasswordInStore = false;
};
