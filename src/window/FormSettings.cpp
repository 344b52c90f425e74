#include "FormSettings.h"

#include "CommonFunctions.h"
#include "ConnectionLog.h"
#include "ConnectionWorkflow.h"
#include "EditInPlace.h"
#include "IniFile.h"
#include "KeepAlive.h"
#include "QueueJournal.h"
#include "RemoteView.h"
#include "RunIdentity.h"
#include "SettingsMerge.h"
#include "SettingsStore.h"
#include "SiteList.h"
#include "TransferRunner.h"
#include "Transfers.h"
#include "WindowPlacement.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>

namespace {

// Without a stored file the tree opens at the user's home folder: the
// program's own folder is a binary folder on Linux (/usr/bin), not where
// anyone's files are.
QString DefaultLastFile()
{
    return QDir::homePath() + '/';
}

const char *const OverwriteNames[] = {"Overwrite", "Skip", "Rename", "Resume"};

// The lists kept as numbered values, which windows merge record by record:
// the sites by their Uid, the rest by what they hold; the filters change
// as a whole. The first two are the site manager's.
const std::vector<TSettingsList> &Lists()
{
    static const std::vector<TSettingsList> lists = {
        {"Sites", "Site", ".", "Uid", false, TSiteList::UidOfOlder},
        {"SiteFolders", "SiteFolder", "", "", false, {}},
        {"Parts/Count", "Parts/", ".", "Target", false, {}},
        {"Filters/Count", "Filters/", ".", "", true, {}},
    };
    return lists;
}

bool SameLists(const TSettingsValues &a, const TSettingsValues &b, size_t first, size_t last)
{
    for (size_t l = first; l <= last; ++l)
        if (!SameList(a, b, Lists()[l]))
            return false;
    return true;
}

// What `values` hold of the names `mine` has, and of the lists: what this
// window read, to tell later what it changed.
TSettingsValues Within(const TSettingsValues &values, const TSettingsValues &mine)
{
    TSettingsValues within;
    for (const QString &name : values.Order) {
        if (Listed(name, Lists()) || mine.Values.contains(name)) {
            within.Values[name] = values.Values.at(name);
            within.Order.push_back(name);
        }
    }
    return within;
}

QString KeepingName(TPasswordKeeping keeping)
{
    return keeping == TPasswordKeeping::File ? "File" : keeping == TPasswordKeeping::Nowhere ? "Nowhere" : "Keyring";
}

}  // namespace

TAppSettings TFormSettings::Current() const
{
    TAppSettings settings;
    settings.Passive = P.Connection.PassiveMode();
    settings.Simultaneous = P.Runner.Simultaneous();
    settings.DefaultOverwrite = P.Runner.DefaultOverwrite;
    settings.ViewStyle = P.RemoteView.ViewStyle();
    settings.Proxy = P.Connection.Proxy();
    settings.Passwords = P.Connection.Secrets().Keeping;
    settings.Transfer = P.Runner.Options();
    settings.KeepAlive = P.KeepAlive.Enabled();
    settings.Editor = P.Editing.EditorCommand;
    return settings;
}

void TFormSettings::Apply(const TAppSettings &settings)
{
    P.Connection.SetPassiveMode(settings.Passive);
    P.Runner.SetSimultaneous(settings.Simultaneous);
    P.Runner.DefaultOverwrite = settings.DefaultOverwrite;
    P.RemoteView.SetViewStyle(settings.ViewStyle);
    P.Connection.SetProxy(settings.Proxy);
    P.Connection.Secrets().Keeping = settings.Passwords;
    P.Runner.SetOptions(settings.Transfer);
    P.KeepAlive.SetEnabled(settings.KeepAlive);
    P.Editing.EditorCommand = settings.Editor.trimmed();
}

void TFormSettings::SelectLocalFolderOf(const QString &file)
{
    // A folder the tree cannot show is no reason to stop the start.
    P.Transfers.SelectLocalFolder(ExtractFilePath(file));
}

void TFormSettings::ImportIni()
{
    const QString iniName = ProgramFolder() + "/FTP.Ini";
    if (!QFile::exists(iniName))
        return;
    // Its sites join those of the settings (an address and user both have
    // is there already), and it goes only once they are saved.
    const TIniFile ini(iniName);
    if (!FLastFileRead)
        SelectLocalFolderOf(ini.ReadString("FILES", "LastFile", DefaultLastFile()));
    TSiteList imported;
    imported.ReadFromIni(ini);
    const bool before = P.Sites.Count() > 0;
    for (int i = 0; i < imported.Count(); ++i) {
        bool known = false;
        for (int j = 0; j < P.Sites.Count() && !known; ++j)
            known = P.Sites[j].Address == imported[i].Address && P.Sites[j].UserName == imported[i].UserName;
        if (!known) {
            TSiteEntry site = imported[i];
            site.Uid.clear();  // a site of this list's own
            P.Sites.Append(site);
        }
    }
    P.Connection.Secrets().Loaded(P.Sites);
    if (!before)
        P.Connection.SitesLoaded();
    else
        P.Connection.SitesChanged();
    PlacesAsRead();
    Save();
    QFile::remove(iniName);
}

void TFormSettings::OpenJournal()
{
    // Each window of a run has rows of its own.
    static int windows = 0;
    const QString path = QFileInfo(TSettingsStore::FileName()).absolutePath() + "/queue.db";
    try {
        P.Runner.SetJournal(
            std::make_unique<TQueueJournal>(path, RunIdentity::ThisRun() + '#' + QString::number(++windows)));
    } catch (const std::exception &error) {
        P.Log.Add(QString::fromUtf8(error.what()) + " The queue is kept in memory only.");
    }
}

void TFormSettings::MoveKeptQueue(const TSettingsStore &store)
{
    try {
        if (!P.Runner.ImportKept(store))
            return;
    } catch (const std::exception &error) {
        P.Log.Add(QString::fromUtf8(error.what()));
        return;
    }
    // In the journal now: the file no longer keeps it.
    TSettingsStore::Update([](const TSettingsValues &now) {
        TSettingsValues kept;
        for (const QString &name : now.Order)
            if (!name.startsWith(QLatin1String("Queue/"))) {
                kept.Values[name] = now.Values.at(name);
                kept.Order.push_back(name);
            }
        return kept;
    });
}

void TFormSettings::Load()
{
    OpenJournal();
    const auto store = TSettingsStore::OpenForReading();
    // Whatever the reading gets to, this is what the window read: what it
    // changes from here is what it writes. A reading stopped half way
    // writes nothing it did not change.
    const auto read = qScopeGuard([this, &store] {
        FSeen = FileStamp();
        PlacesAsRead();
        TSettingsValues read = Gather();
        SetWritten(store && !FLoadFailed ? Within(TSettingsStore::ReadFile(), read) : std::move(read));
    });
    FLoadFailed = true;
    if (!store) {
        FLoadFailed = false;
        SelectLocalFolderOf(DefaultLastFile());
        return;
    }
    WindowPlacement::Restore(*store, FWindow, FPanes);
    P.Log.SetShowsProtocol(store->ReadInteger("ShowProtocol", 1) != 0);
    // Passive unless the user chose active: what every client does today.
    P.Connection.SetPassiveMode(store->ReadInteger("PassiveMode", 1) != 0);
    const QString overwrite = store->ReadString("Transfers/WhenFileExists", "Ask");
    P.Runner.DefaultOverwrite.reset();
    for (int i = 0; i < 4; ++i)
        if (overwrite == OverwriteNames[i])
            P.Runner.DefaultOverwrite = TOverwriteAnswer(i);
    TSocksInfo proxy;
    proxy.Version = TSocksVersion(std::clamp(store->ReadInteger("Proxy/Version", svNoSocks), 0, int(svSystemProxy)));
    proxy.Host = store->ReadString("Proxy/Host", {}).toStdString();
    proxy.Port = store->ReadInteger("Proxy/Port", 1080);
    proxy.UserID = store->ReadString("Proxy/User", {}).toStdString();
    proxy.Password = store->ReadString("Proxy/Password", {}).toStdString();
    proxy.Authentication = (proxy.Version == svSocks5 || proxy.Version == svHttpConnect) && !proxy.UserID.empty()
                               ? saUsernamePassword
                               : saNoAuthentication;
    P.Connection.SetProxy(proxy);
    const QString keeping = store->ReadString("Passwords/Keep", "Keyring");
    for (const TPasswordKeeping choice : {TPasswordKeeping::Keyring, TPasswordKeeping::File, TPasswordKeeping::Nowhere})
        if (keeping == KeepingName(choice))
            P.Connection.Secrets().Keeping = choice;
    P.Connection.Trust().Load(*store);
    P.Connection.PlainLogin().Load(*store);
    P.Runner.Load(*store);
    MoveKeptQueue(*store);
    P.KeepAlive.SetEnabled(store->ReadInteger("Connection/KeepAlive", 1) != 0);
    P.Editing.EditorCommand = store->ReadString("Edit/Editor", {});
    // Not written back: a default that grows with later versions stays the
    // default for whoever never set it.
    TFolderListingLimits limits;
    limits.MaxEntries = size_t(std::max(1, store->ReadInteger("Listing/MaxEntries", int(limits.MaxEntries))));
    P.RemoteView.ListingLimits = limits;
    P.Runner.SetListingLimits(limits);
    const int style = store->ReadInteger("ViewStyle", vsReport);
    // A style number the list does not know leaves the current one.
    if (style >= vsIcon && style <= vsReport)
        P.RemoteView.SetViewStyle(TViewStyle(style));
    P.RemoteView.SetDetailsState(store->ReadString("Details", P.RemoteView.DetailsState()));
    FLastFileRead = store->ValueExists("LastFile");
    SelectLocalFolderOf(store->ReadString("LastFile", DefaultLastFile()));

    // Fill the box as far as the reading got, and choose its first site,
    // even when the reading stops on a value of the wrong kind.
    const auto fill = qScopeGuard([this] {
        P.Connection.Secrets().Loaded(P.Sites);
        P.Connection.SitesLoaded();
    });
    P.Sites.ReadFromStore(*store);
    FLoadFailed = false;
}

void TFormSettings::WriteValues(TSettingsStore &store) const
{
    store.WriteInteger("ViewStyle", P.RemoteView.ViewStyle());
    store.WriteString("Details", P.RemoteView.DetailsState());
    store.WriteInteger("ShowProtocol", P.Log.ShowsProtocol() ? 1 : 0);
    store.WriteInteger("PassiveMode", P.Connection.PassiveMode() ? 1 : 0);
    store.WriteString("Transfers/WhenFileExists",
                      P.Runner.DefaultOverwrite ? OverwriteNames[int(*P.Runner.DefaultOverwrite)] : "Ask");
    const TSocksInfo proxy = P.Connection.Proxy();
    store.WriteInteger("Proxy/Version", proxy.Version);
    store.WriteString("Proxy/Host", QString::fromStdString(proxy.Host));
    store.WriteInteger("Proxy/Port", proxy.Port);
    store.WriteString("Proxy/User", QString::fromStdString(proxy.UserID));
    store.WriteString("Proxy/Password", QString::fromStdString(proxy.Password));
    store.WriteString("Passwords/Keep", KeepingName(P.Connection.Secrets().Keeping));
    P.Connection.Trust().Save(store);
    P.Connection.PlainLogin().Save(store);
    P.Runner.SaveOptions(store);
    store.WriteInteger("Connection/KeepAlive", P.KeepAlive.Enabled() ? 1 : 0);
    store.WriteString("Edit/Editor", P.Editing.EditorCommand);
    if (!P.Transfers.UploadDialog.FileName.isEmpty())
        store.WriteString("LastFile", P.Transfers.UploadDialog.FileName);
    WindowPlacement::Save(store, FWindow, FPanes);
}

namespace {

TSettingsValues Written(const std::function<void(TSettingsStore &)> &write)
{
    const auto store = TSettingsStore::InMemory();
    write(*store);
    return store->Values();
}

void Append(TSettingsValues &into, const TSettingsValues &from)
{
    for (const QString &name : from.Order)
        if (into.Values.insert_or_assign(name, from.Values.at(name)).second)
            into.Order.push_back(name);
}

}  // namespace

bool TFormSettings::ListsChanged() const
{
    return !FSitesPart || !FSharedPart || !(P.Sites == FStowed) || P.Runner.SharedRevision() != FSharedSeen;
}

TSettingsValues TFormSettings::Gather(bool final)
{
    TSettingsValues mine = Written([this](TSettingsStore &store) { WriteValues(store); });
    // The keyring is written when the sites change, and at the end (where
    // a password the file held moves there): never to compare, which would
    // bring up its prompt before the window is used.
    if (final || !(P.Sites == FStowed)) {
        FPlaces = P.Connection.Secrets().Stow(P.Sites);
        FStowed = P.Sites;
        FSitesPart.reset();
    }
    // The lists, which may grow large, again only when they changed.
    if (!FSitesPart)
        FSitesPart = Written([this](TSettingsStore &store) { P.Sites.WriteToStore(store, FPlaces); });
    if (!FSharedPart || P.Runner.SharedRevision() != FSharedSeen) {
        FSharedSeen = P.Runner.SharedRevision();
        FSharedPart = Written([this](TSettingsStore &store) { P.Runner.SaveShared(store); });
    }
    Append(mine, *FSitesPart);
    Append(mine, *FSharedPart);
    return mine;
}

void TFormSettings::SetWritten(TSettingsValues written)
{
    FWritten = std::move(written);
    FWrittenValues = 0;
    for (const auto &[name, value] : FWritten.Values)
        FWrittenValues += !Listed(name, Lists());
}

bool TFormSettings::ValuesAsWritten() const
{
    const TSettingsValues values = Written([this](TSettingsStore &store) { WriteValues(store); });
    if (values.Values.size() != FWrittenValues)
        return false;
    for (const auto &[name, value] : values.Values)
        if (const QString *written = FWritten.Find(name); !written || *written != value)
            return false;
    return true;
}

void TFormSettings::PlacesAsRead()
{
    // Where each password is now: in the file when the site holds it, in
    // the keyring when the file said so.
    FStowed = P.Sites;
    FSitesPart.reset();
    FPlaces.clear();
    for (int i = 0; i < P.Sites.Count(); ++i)
        FPlaces.push_back(P.Sites[i].Password.isEmpty() && P.Sites[i].PasswordInStore ? TSiteSecrets::InStore
                                                                                      : TSiteSecrets::InFile);
}

TFormSettings::TStamp TFormSettings::FileStamp()
{
    struct stat info {};
    if (::stat(QFile::encodeName(TSettingsStore::FileName()).constData(), &info) != 0)
        return {};
    return {int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec, int64_t(info.st_size),
            uint64_t(info.st_ino)};
}

void TFormSettings::SaveAsItChanges(int ms, std::function<void(const QString &)> tell)
{
    FSaver = new QTimer(&FWindow);
    FSaver->setInterval(ms);
    QObject::connect(FSaver, &QTimer::timeout, FSaver, [this, ms, tell = std::move(tell)] {
        try {
            // A write that takes long (thousands of sites or queued files)
            // comes less often, so that the window is never kept busy by
            // it: at most a fifth of the time.
            QElapsedTimer took;
            took.start();
            Save();
            FSaver->setInterval(std::max<int>(ms, int(took.elapsed()) * 4));
            FSaveFailure.clear();
        } catch (const std::exception &error) {
            const QString text = QString::fromUtf8(error.what());
            if (text != FSaveFailure)
                tell("The settings could not be saved: " + text);
            FSaveFailure = text;
        }
    });
    FSaver->start();
}

void TFormSettings::Save(bool final)
{
    if (final && FSaver)
        FSaver->stop();
    const TStamp stamp = FileStamp();
    // Twice a second: what is cheap to ask first, the values; the lists by
    // their counts of changes.
    const bool same = !final && !ListsChanged() && ValuesAsWritten();
    const TSettingsValues mine = same ? FWritten : Gather(final);
    if (same || mine == FWritten) {
        // Nothing changed here; another window may have written.
        if (stamp != FSeen) {
            FSeen = stamp;
            TakeOthers(TSettingsStore::ReadFile(), mine);
        }
        return;
    }
    const TSettingsValues before = FWritten;
    const TSettingsValues result = TSettingsStore::Update(
        [&](const TSettingsValues &now) { return MergeSettings(before, mine, now, Lists()); });
    SetWritten(mine);
    FSeen = FileStamp();
    TakeOthers(result, mine);
}

void TFormSettings::TakeOthers(const TSettingsValues &result, const TSettingsValues &mine)
{
    // Another window wrote meanwhile: its sites show here too, and what it
    // left unfinished or half downloaded is known here.
    const bool sites = !SameLists(result, mine, 0, 1), shared = !SameLists(result, mine, 2, 2);
    if (!sites && !shared)
        return;
    const auto store = TSettingsStore::InMemory();
    for (const QString &name : result.Order)
        store->WriteString(name, result.Values.at(name));
    if (sites) {
        // Passwords this run holds and the file does not (kept in memory,
        // or read from the keyring) stay with their sites.
        const TSiteList held = P.Sites;
        P.Sites.ReadFromStore(*store);
        for (int i = 0; i < P.Sites.Count(); ++i)
            if (const int was = held.IndexOfUid(P.Sites[i].Uid); was >= 0 && P.Sites[i].Password.isEmpty())
                P.Sites[i].Password = held[was].Password;
        P.Connection.SitesReloaded();
        PlacesAsRead();
    }
    if (shared)
        P.Runner.LoadShared(*store);
    SetWritten(Gather());
}
