// What the transfer room tells whoever shows it, and what it asks them:
// the log's lines, the progress, a remote folder that changed, and the
// questions only the user answers. The window implements it; the room
// knows no widget.
#pragma once

#include "OverwriteQuestion.h"

#include <QString>

#include <string>

class TTransferNews {
public:
    virtual ~TTransferNews() = default;

    virtual void Log(const QString &line) = 0;
    // All transfers' progress (0 to 100), the speed of those that run
    // ("Download speed 12.4 MB/s") and the queue's own line; an empty text
    // clears its place.
    virtual void ShowProgress(int percent) = 0;
    virtual void ShowSpeed(const QString &text) = 0;
    virtual void ShowQueue(const QString &text) = 0;
    // How many run at once changed.
    virtual void SimultaneousChanged(int count) = 0;
    // The speed limits changed (KiB/s, 0: none).
    virtual void LimitsChanged(int download, int upload) { (void)download, (void)upload; }
    // An upload or a deletion in that remote folder ended: shown anew
    // where it is shown.
    virtual void FolderChanged(const std::string &folder) = 0;
    // What failed in the run that ended, one message for all.
    virtual void ReportFailures(const QString &text) = 0;

    // Questions: true for Yes.
    virtual bool Confirm(const QString &question) = 0;
    virtual TOverwriteChoice AskOverwrite(const TOverwriteQuestion &question) = 0;
};
