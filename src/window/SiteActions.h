// The File menu's site commands: the site manager (Ctrl+S), the import of
// a FileZilla site list (offered at the first start when FileZilla's own
// is there) and the export of the sites. What the manager or an import
// changes is saved at once, passwords into the keyring.
#pragma once

#include <QObject>

#include <functional>

class QAction;
class QMenuBar;
class QString;
class TConnectionWorkflow;
class TRemoteView;
class TSiteBookmarks;
class TSiteList;
class TTransfers;
class TWindowServices;
struct TSiteManagerData;

class TSiteActions : public QObject {
    Q_OBJECT
public:
    struct TParts {
        TSiteList &Sites;
        TConnectionWorkflow &Connection;
        // Writes the settings; raises when they cannot be written.
        std::function<void()> Save;
        // Where a site's bookmarks lead.
        TRemoteView &RemoteView;
        TTransfers &Transfers;
    };
    TSiteActions(TWindowServices &window, const TParts &parts, QObject *parent);

    QAction *Manager, *Import, *Export;
    // The connected site's bookmarks, on a menu of their own.
    TSiteBookmarks *Bookmarks;
    // Their menu goes before the bar's last one (Help).
    void PlaceBookmarks(QMenuBar *bar);

    void OpenManager();
    // Adds a FileZilla list's sites; what did not come in is said in one
    // message.
    void ImportFile(const QString &fileName);
    // The sites of a folder ("" all) to a file the user chooses.
    void ExportSites(const TSiteList &sites, const QString &folder);
    // Once: FileZilla's own list is there and was never offered. Asked
    // by itself once the window shows.
    void OfferFileZillaSites();
    // The manager's list in force.
    void Commit(const TSiteManagerData &data);

private:
    TWindowServices &FWindow;
    TParts P;
};
