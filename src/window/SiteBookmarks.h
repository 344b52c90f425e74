// A site's bookmarks: named pairs of a local and a remote folder, on the
// Bookmarks menu while the site is connected. Choosing one opens both
// folders; the current pair is added under a name the user gives, and
// kept with the site at once.
#pragma once

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QWidget;
class TConnectionWorkflow;
class TRemoteView;
class TSiteList;
class TTransfers;
class TWindowServices;
struct TBookmark;

class TSiteBookmarks : public QObject {
public:
    struct TParts {
        TSiteList &Sites;
        TConnectionWorkflow &Connection;
        TRemoteView &RemoteView;
        TTransfers &Transfers;
        // Writes the settings.
        std::function<void()> Save;
    };
    TSiteBookmarks(TWindowServices &window, const TParts &parts, QWidget *menuParent);

    QMenu *const Menu;
    QAction *const Add;

    // The connected site's bookmarks are shown.
    void AddCurrent();
    void Go(const TBookmark &bookmark);
    void Remove(int index);

private:
    void Fill();

    TWindowServices &FWindow;
    TParts P;
    QMenu *FRemoveMenu = nullptr;
};
