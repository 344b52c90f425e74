#include "SiteBookmarks.h"

#include "Application.h"
#include "ConnectionWorkflow.h"
#include "NameBytes.h"
#include "RemoteName.h"
#include "RemoteView.h"
#include "SiteList.h"
#include "Transfers.h"
#include "UserDialogs.h"
#include "WindowServices.h"

#include <QAction>
#include <QMenu>

TSiteBookmarks::TSiteBookmarks(TWindowServices &window, const TParts &parts, QWidget *menuParent)
    : QObject(menuParent), Menu(new QMenu("&Bookmarks", menuParent)), Add(new QAction("&Add Bookmark...", this)),
      FWindow(window), P(parts)
{
    Menu->setObjectName("mnBookmarks");
    Add->setObjectName("actAddBookmark");
    Add->setShortcut(QKeySequence("Ctrl+B"));
    Add->setStatusTip("Keep the local and the remote folder shown as a bookmark of this site.");
    connect(Add, &QAction::triggered, this, Guarded([this] { AddCurrent(); }));
    connect(Menu, &QMenu::aboutToShow, this, [this] { Fill(); });
    // The shortcut works before the menu was ever opened.
    Menu->addAction(Add);
}

void TSiteBookmarks::Fill()
{
    Menu->clear();
    if (FRemoveMenu)
        FRemoveMenu->deleteLater();
    FRemoveMenu = nullptr;
    Menu->addAction(Add);
    const int site = P.Connection.ConnectedSite();
    if (site < 0 || site >= P.Sites.Count() || P.Sites[site].Bookmarks.isEmpty())
        return;
    Menu->addSeparator();
    const QList<TBookmark> bookmarks = P.Sites[site].Bookmarks;
    QMenu *remove = FRemoveMenu = new QMenu("&Delete Bookmark", Menu);
    for (int i = 0; i < bookmarks.size(); ++i) {
        const TBookmark bookmark = bookmarks[i];
        QAction *go = Menu->addAction(QString(bookmark.Name).replace('&', "&&"));
        go->setEnabled(FWindow.Online());
        go->setStatusTip(bookmark.LocalFolder + " and " + bookmark.RemoteFolder);
        connect(go, &QAction::triggered, this, Guarded([this, bookmark] { Go(bookmark); }));
        connect(remove->addAction(QString(bookmark.Name).replace('&', "&&")), &QAction::triggered, this,
                Guarded([this, i] { Remove(i); }));
    }
    Menu->addSeparator();
    Menu->addMenu(remove);
}

void TSiteBookmarks::AddCurrent()
{
    const int site = P.Connection.ConnectedSite();
    if (!FWindow.Online() || site < 0 || site >= P.Sites.Count()) {
        UserDialogs().ShowMessage(FWindow.DialogOwner(),
                                  "Bookmarks belong to a saved site: connect to one (or save this one with Ctrl+I).");
        return;
    }
    TBookmark bookmark;
    bookmark.LocalFolder = TextFromBytes(P.Transfers.LocalTargetFolder());
    bookmark.RemoteFolder = RemoteDisplayName(P.RemoteView.ListedFolder());
    QString name = bookmark.RemoteFolder.section('/', -1, -1, QString::SectionSkipEmpty);
    if (name.isEmpty())
        name = bookmark.RemoteFolder;
    if (!UserDialogs().InputQuery(FWindow.DialogOwner(), "Add Bookmark", "Name of the bookmark:", name) ||
        name.trimmed().isEmpty())
        return;
    bookmark.Name = name.trimmed();
    P.Sites[site].Bookmarks.append(bookmark);
    P.Save();
    FWindow.AddToLog("Bookmark \"" + bookmark.Name + "\" kept with the site.");
}

void TSiteBookmarks::Go(const TBookmark &bookmark)
{
    if (!bookmark.LocalFolder.isEmpty() && !P.Transfers.SelectLocalFolder(bookmark.LocalFolder))
        FWindow.AddToLog("The bookmark's local folder is not there: " + bookmark.LocalFolder);
    if (!bookmark.RemoteFolder.isEmpty() && FWindow.Online())
        P.RemoteView.ChangeFolder(RemoteNameFromText(bookmark.RemoteFolder));
}

void TSiteBookmarks::Remove(int index)
{
    const int site = P.Connection.ConnectedSite();
    if (site < 0 || site >= P.Sites.Count() || index >= P.Sites[site].Bookmarks.size())
        return;
    P.Sites[site].Bookmarks.removeAt(index);
    P.Save();
}
