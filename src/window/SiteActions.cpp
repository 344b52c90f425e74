#include "SiteActions.h"

#include "Application.h"
#include "ConnectionWorkflow.h"
#include "FileZillaSites.h"
#include "SettingsStore.h"
#include "SiteBookmarks.h"
#include "SiteManager.h"
#include "SiteSession.h"
#include "UserDialogs.h"
#include "WindowServices.h"

#include <QAction>
#include <QMenuBar>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>
#include <QUuid>

#include <set>

namespace {

const QString Offered = QStringLiteral("Sites/FileZillaOffered");

QAction *NewAction(QObject *parent, const char *name, const QString &text, const QKeySequence &keys = {})
{
    auto *action = new QAction(text, parent);
    action->setObjectName(name);
    action->setShortcut(keys);
    return action;
}

}  // namespace

TSiteActions::TSiteActions(TWindowServices &window, const TParts &parts, QObject *parent)
    : QObject(parent), FWindow(window), P(parts)
{
    Manager = NewAction(this, "actSiteManager", "Site &Manager...", QKeySequence("Ctrl+S"));
    Manager->setToolTip("Sites in folders, with their settings.");
    Import = NewAction(this, "actImportSites", "&Import Sites...");
    Export = NewAction(this, "actExportSites", "&Export Sites...");
    Bookmarks = new TSiteBookmarks(window, {P.Sites, P.Connection, P.RemoteView, P.Transfers, P.Save},
                                   window.DialogOwner());
    connect(Manager, &QAction::triggered, this, Guarded([this] { OpenManager(); }));
    connect(Import, &QAction::triggered, this, Guarded([this] {
        TFileDialog dialog;
        dialog.Title = "Import Sites";
        dialog.FileName = FileZillaSites::UserFile();
        if (UserDialogs().ExecuteFileDialog(FWindow.DialogOwner(), dialog))
            ImportFile(dialog.FileName);
    }));
    connect(Export, &QAction::triggered, this, Guarded([this] { ExportSites(P.Sites, {}); }));
    // Over the window, once it shows and has read its settings.
    QTimer::singleShot(0, this, Guarded([this] { OfferFileZillaSites(); }));
}

void TSiteActions::OpenManager()
{
    TSiteManagerData data;
    data.Sites = P.Sites;
    data.Before = P.Sites;
    data.Chosen = P.Connection.ChosenSite();
    data.PasswordOf = [this](const TSiteEntry &site) { return P.Connection.Secrets().Password(site); };
    data.Export = [this](const TSiteList &sites, const QString &folder) { ExportSites(sites, folder); };
    if (UserDialogs().EditSites(FWindow.DialogOwner(), data))
        Commit(data);
}

void TSiteActions::Commit(const TSiteManagerData &data)
{
    TSiteSecrets &secrets = P.Connection.Secrets();
    const TSiteList &before = data.Before;
    TSiteList sites = data.Sites;
    std::set<int> kept;
    for (int i = 0; i < sites.Count(); ++i) {
        const int origin = i < int(data.Origins.size()) ? data.Origins[size_t(i)] : -1;
        if (origin < 0 || origin >= before.Count())
            continue;
        kept.insert(origin);
        // A password the keyring holds under the old name follows the
        // site to its new one (its address or user changed).
        TSiteEntry &site = sites[i];
        const TSiteEntry &old = before[origin];
        // A log-on that keeps no password leaves none in the keyring.
        if (site.Logon != TLogonType::Normal && old.Logon == TLogonType::Normal) {
            secrets.Forget(old);
            continue;
        }
        if (site.Password.isEmpty() && old.PasswordInStore && site.Logon == TLogonType::Normal &&
            TSiteSecrets::Key(old) != TSiteSecrets::Key(site))
            site.Password = secrets.Password(old);
    }
    for (int i = 0; i < before.Count(); ++i)
        if (!kept.contains(i))
            secrets.Forget(before[i]);
    // The manager edited a copy: its changes go into the list as it is
    // now, which another window may have changed meanwhile.
    const QString chosen = data.Chosen >= 0 && data.Chosen < sites.Count() ? sites[data.Chosen].Uid : QString();
    P.Sites.Merge(before, sites);
    P.Save();
    P.Connection.SitesChanged();
    if (const int site = P.Sites.IndexOfUid(chosen); data.Connect && site >= 0)
        P.Connection.OpenSite(site, true);
}

void TSiteActions::ImportFile(const QString &fileName)
{
    TSiteImport import = FileZillaSites::ReadFile(fileName);
    if (!import.Failure.isEmpty()) {
        UserDialogs().ShowError(FWindow.DialogOwner(), import.Failure);
        return;
    }
    for (const QString &folder : import.Sites.Folders)
        if (!P.Sites.Folders.contains(folder))
            P.Sites.Folders << folder;
    for (int i = 0; i < import.Sites.Count(); ++i) {
        TSiteEntry site = import.Sites[i];
        site.Name = P.Sites.FreeName(site.Folder, site.Name);
        site.Id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        P.Sites.Append(site);
    }
    P.Save();
    P.Connection.SitesChanged();
    const int count = import.Sites.Count();
    QString text = QStringLiteral("Imported %1 site%2 from \"%3\".")
                       .arg(count)
                       .arg(count == 1 ? "" : "s")
                       .arg(QFileInfo(fileName).fileName());
    FWindow.AddToLog(text);
    if (!import.Unmapped.isEmpty())
        UserDialogs().ShowMessage(FWindow.DialogOwner(),
                                  text + "\n\nNot everything could come along:\n" + import.Unmapped.join('\n'));
}

void TSiteActions::ExportSites(const TSiteList &sites, const QString &folder)
{
    TFileDialog dialog;
    dialog.Kind = TFileDialog::TKind::Save;
    dialog.Title = folder.isEmpty() ? QStringLiteral("Export Sites") : "Export the Sites of \"" + folder + "\"";
    dialog.FileName = "sites.xml";
    if (!UserDialogs().ExecuteFileDialog(FWindow.DialogOwner(), dialog))
        return;
    TChoiceQuestion question;
    question.Text = "Export the passwords too?";
    question.Details = "Anyone who can read the file can read them: the format keeps them only base64-encoded.";
    question.Answers = {"&Leave Them Out", "&Include Them"};
    const bool withPasswords = UserDialogs().Choose(FWindow.DialogOwner(), question).Answer == 1;
    TSiteSecrets &secrets = P.Connection.Secrets();
    const auto password = [&](const TSiteEntry &site) {
        return site.Logon != TLogonType::Normal ? QString() : secrets.Password(site);
    };
    const QByteArray xml = withPasswords ? FileZillaSites::Write(sites, folder, password)
                                         : FileZillaSites::Write(sites, folder);
    QSaveFile file(dialog.FileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size() || !file.commit()) {
        UserDialogs().ShowError(FWindow.DialogOwner(),
                                QStringLiteral("Cannot write \"%1\": %2").arg(dialog.FileName, file.errorString()));
        return;
    }
    if (withPasswords)
        QFile::setPermissions(dialog.FileName, QFile::ReadOwner | QFile::WriteOwner);
    FWindow.AddToLog(QStringLiteral("Sites exported to \"%1\".").arg(dialog.FileName));
}

void TSiteActions::OfferFileZillaSites()
{
    const QString fileName = FileZillaSites::UserFile();
    if (!QFileInfo::exists(fileName))
        return;
    if (const auto store = TSettingsStore::OpenForReading(); store && store->ReadInteger(Offered, 0) == 1)
        return;
    const TSiteImport import = FileZillaSites::ReadFile(fileName);
    const int count = import.Sites.Count();
    {
        // Asked once, whatever the answer.
        const auto store = TSettingsStore::OpenForWriting();
        store->WriteInteger(Offered, 1);
        store->Close();
    }
    if (count == 0)
        return;
    if (UserDialogs().Confirm(FWindow.DialogOwner(),
                              QStringLiteral("Import %1 site%2 from FileZilla?").arg(count).arg(count == 1 ? "" : "s")))
        ImportFile(fileName);
}

void TSiteActions::PlaceBookmarks(QMenuBar *bar)
{
    bar->insertMenu(bar->actions().isEmpty() ? nullptr : bar->actions().constLast(), Bookmarks->Menu);
}
