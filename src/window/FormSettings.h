// What the window keeps between runs: the sites, the view style, the
// protocol switch, the last uploaded file's folder, the window's place and
// panes, the transfers left unfinished; and the one-time import of the
// legacy INI file. It asks each part
// for what it keeps.
#pragma once

#include "AppSettings.h"

#include <vector>

class QSplitter;
class QString;
class QWidget;
class TConnectionLog;
class TConnectionWorkflow;
class TKeepAlive;
class TEditInPlace;
class TRemoteView;
class TSiteList;
class TTransferRunner;
class TTransfers;

class TFormSettings {
public:
    struct TParts {
        TSiteList &Sites;
        TConnectionWorkflow &Connection;
        TRemoteView &RemoteView;
        TTransfers &Transfers;
        TTransferRunner &Runner;
        TConnectionLog &Log;
        TKeepAlive &KeepAlive;
        TEditInPlace &Editing;
    };
    TFormSettings(QWidget &window, std::vector<QSplitter *> panes, const TParts &parts)
        : FWindow(window), FPanes(std::move(panes)), P(parts)
    {
    }

    // Reads "FTP.Ini" beside the program, if there is one, and deletes it.
    void ImportIni();
    // Reads the settings store, if there is one.
    void Load();
    // Raises when the store cannot be written.
    void Save();

    // The Settings dialog's choices, as the parts hold them now, and put
    // in force.
    TAppSettings Current() const;
    void Apply(const TAppSettings &settings);

private:
    // Selects the folder part of `file` in the local tree; errors ignored.
    void SelectLocalFolderOf(const QString &file);

    QWidget &FWindow;
    std::vector<QSplitter *> FPanes;
    TParts P;
};
