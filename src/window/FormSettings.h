// What the window keeps between runs: the sites, the view style, the
// protocol switch, the last uploaded file's folder, the window's place and
// panes, the transfers left unfinished; and the one-time import of the
// legacy INI file. It asks each part
// for what it keeps.
#pragma once

#include "AppSettings.h"
#include "SettingsStore.h"
#include "SiteList.h"

#include <cstdint>
#include <functional>
#include <optional>
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

    // Reads the settings store, if there is one.
    void Load();
    // Then "FTP.Ini" beside the program, if there is one: its sites join
    // the settings', and it is deleted once they are saved.
    void ImportIni();
    // Writes what changed since the last write or the reading, merged into
    // the file as other windows may have left it, and takes what they
    // changed meanwhile. Cheap when nothing changed. Raises when the store
    // cannot be written. `final`: the window closes, and the passwords
    // the file held move to the keyring.
    void Save(bool final = false);
    // From now on what changes is on disk within a second: written every
    // `ms`, a failure told once through `tell`. A final Save stops it.
    void SaveAsItChanges(int ms, std::function<void(const QString &)> tell);

    // The Settings dialog's choices, as the parts hold them now, and put
    // in force.
    TAppSettings Current() const;
    void Apply(const TAppSettings &settings);

private:
    // The queue's journal beside the settings, and the queue earlier
    // versions kept in the settings moved into it.
    void OpenJournal();
    void MoveKeptQueue(const TSettingsStore &store);
    // Selects the folder part of `file` in the local tree; errors ignored.
    void SelectLocalFolderOf(const QString &file);
    // Everything the window keeps, as the store would hold it.
    // Everything the window keeps but the lists (sites, queue, parts).
    void WriteValues(TSettingsStore &store) const;
    TSettingsValues Gather(bool final = false);
    // What was last written or read, and how many values of no list it
    // holds; whether the window's values are those.
    void SetWritten(TSettingsValues written);
    size_t FWrittenValues = 0;
    bool ValuesAsWritten() const;
    // The lists as last gathered, and what they were gathered from.
    std::optional<TSettingsValues> FSitesPart, FSharedPart;
    uint64_t FSharedSeen = 0;
    bool ListsChanged() const;
    // The sites as the keyring last took them, and where each password
    // went; read from the file, where the file says.
    TSiteList FStowed;
    std::vector<TSiteSecrets::TPlace> FPlaces;
    void PlacesAsRead();
    void TakeOthers(const TSettingsValues &result, const TSettingsValues &mine);

    // What this window last wrote or read, and the file as it was then:
    // when it changes, another window wrote.
    TSettingsValues FWritten;
    class QTimer *FSaver = nullptr;
    QString FSaveFailure;
    struct TStamp {
        int64_t Modified = 0, Size = 0;
        uint64_t Inode = 0;
        bool operator==(const TStamp &) const = default;
    };
    static TStamp FileStamp();
    TStamp FSeen;
    bool FLoadFailed = false;
    bool FLastFileRead = false;

    QWidget &FWindow;
    std::vector<QSplitter *> FPanes;
    TParts P;
};
