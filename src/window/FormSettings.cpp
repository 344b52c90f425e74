#include "FormSettings.h"

#include "CommonFunctions.h"
#include "ConnectionLog.h"
#include "ConnectionWorkflow.h"
#include "EditInPlace.h"
#include "IniFile.h"
#include "KeepAlive.h"
#include "RemoteView.h"
#include "SettingsStore.h"
#include "SiteList.h"
#include "TransferRunner.h"
#include "Transfers.h"
#include "WindowPlacement.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>

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
    try {
        const TIniFile ini(iniName);
        SelectLocalFolderOf(ini.ReadString("FILES", "LastFile", DefaultLastFile()));
        P.Sites.ReadFromIni(ini);
        P.Connection.Secrets().Loaded(P.Sites);
        P.Connection.SitesLoaded();
    } catch (...) {
        QFile::remove(iniName);
        throw;
    }
    QFile::remove(iniName);
}

void TFormSettings::Load()
{
    const auto store = TSettingsStore::OpenForReading();
    if (!store)
        return;
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
    SelectLocalFolderOf(store->ReadString("LastFile", DefaultLastFile()));

    // Fill the box as far as the reading got, and choose its first site,
    // even when the reading stops on a value of the wrong kind.
    const auto fill = qScopeGuard([this] {
        P.Connection.Secrets().Loaded(P.Sites);
        P.Connection.SitesLoaded();
    });
    P.Sites.ReadFromStore(*store);
}

void TFormSettings::Save()
{
    const auto store = TSettingsStore::OpenForWriting();
    store->WriteInteger("ViewStyle", P.RemoteView.ViewStyle());
    store->WriteString("Details", P.RemoteView.DetailsState());
    store->WriteInteger("ShowProtocol", P.Log.ShowsProtocol() ? 1 : 0);
    store->WriteInteger("PassiveMode", P.Connection.PassiveMode() ? 1 : 0);
    store->WriteString("Transfers/WhenFileExists",
                       P.Runner.DefaultOverwrite ? OverwriteNames[int(*P.Runner.DefaultOverwrite)] : "Ask");
    const TSocksInfo proxy = P.Connection.Proxy();
    store->WriteInteger("Proxy/Version", proxy.Version);
    store->WriteString("Proxy/Host", QString::fromStdString(proxy.Host));
    store->WriteInteger("Proxy/Port", proxy.Port);
    store->WriteString("Proxy/User", QString::fromStdString(proxy.UserID));
    store->WriteString("Proxy/Password", QString::fromStdString(proxy.Password));
    store->WriteString("Passwords/Keep", KeepingName(P.Connection.Secrets().Keeping));
    P.Connection.Trust().Save(*store);
    P.Connection.PlainLogin().Save(*store);
    P.Runner.Save(*store);
    store->WriteInteger("Connection/KeepAlive", P.KeepAlive.Enabled() ? 1 : 0);
    store->WriteString("Edit/Editor", P.Editing.EditorCommand);
    if (!P.Transfers.UploadDialog.FileName.isEmpty())
        store->WriteString("LastFile", P.Transfers.UploadDialog.FileName);
    P.Sites.WriteToStore(*store, P.Connection.Secrets().Stow(P.Sites));
    WindowPlacement::Save(*store, FWindow, FPanes);
    store->Close();
}
