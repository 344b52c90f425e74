#include "FormSettings.h"

#include "CommonFunctions.h"
#include "ConnectionLog.h"
#include "ConnectionWorkflow.h"
#include "IniFile.h"
#include "RemoteView.h"
#include "SettingsStore.h"
#include "SiteList.h"
#include "TransferRunner.h"
#include "Transfers.h"
#include "WindowPlacement.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>

namespace {

// Without a stored file the tree opens at the user's home folder: the
// program's own folder is a binary folder on Linux (/usr/bin), not where
// anyone's files are.
QString DefaultLastFile()
{
    return QDir::homePath() + '/';
}

}  // namespace

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
    P.Connection.SetPassiveMode(store->ReadInteger("PassiveMode", 0) != 0);
    P.Connection.Trust().Load(*store);
    P.Runner.Load(*store);
    // Not written back: a default that grows with later versions stays the
    // default for whoever never set it.
    TFolderListingLimits limits;
    limits.MaxEntries = size_t(std::max(1, store->ReadInteger("Listing/MaxEntries", int(limits.MaxEntries))));
    P.RemoteView.ListingLimits = limits;
    P.Runner.SetListingLimits(limits);
    const int style = store->ReadInteger("ViewStyle", P.RemoteView.ViewStyle());
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
    P.Connection.Trust().Save(*store);
    P.Runner.Save(*store);
    if (!P.Transfers.OpenDialog1.FileName.isEmpty())
        store->WriteString("LastFile", P.Transfers.OpenDialog1.FileName);
    P.Sites.WriteToStore(*store, P.Connection.Secrets().Stow(P.Sites));
    WindowPlacement::Save(*store, FWindow, FPanes);
    store->Close();
}
