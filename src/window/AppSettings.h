// What the Settings dialog gathers: the choices a user makes once and
// looks for in one place.
#pragma once

#include "FileListView.h"
#include "IdSocks.h"
#include "SiteSecrets.h"
#include "TransferRunner.h"
#include "UserDialogs.h"

#include <optional>

struct TAppSettings {
    bool Passive = true;
    int Simultaneous = 2;
    // The answer to every "file exists" question, or ask (none).
    std::optional<TOverwriteAnswer> DefaultOverwrite;
    TViewStyle ViewStyle = vsReport;
    TSocksInfo Proxy;
    TPasswordKeeping Passwords = TPasswordKeeping::Keyring;
    // Times kept, and the speed limits.
    TTransferRunner::TOptions Transfer;
    // An idle connection kept open with a harmless command.
    bool KeepAlive = true;
    // What remote files open in to be edited; "" for the desktop's choice.
    QString Editor;
};
