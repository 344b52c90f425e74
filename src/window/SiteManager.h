// The site manager: the sites as a tree of folders on the left, the chosen
// site's settings on the right. It edits a copy; the window takes the copy
// when the user says OK or Connect.
#pragma once

#include "SiteList.h"

#include <QDialog>

#include <functional>
#include <vector>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TSiteSettingsForm;

struct TSiteManagerData {
    TSiteList Sites;
    // The list as the manager opened on it, which Sites was at first.
    TSiteList Before;
    // In: the site to show first, or -1. Out: the site chosen at the end,
    // and whether the user asked to connect to it.
    int Chosen = -1;
    bool Connect = false;
    // Out: each site's index in the list it was given, -1 for a new one.
    std::vector<int> Origins;
    // A site's password, from the keyring if need be (a duplicate's).
    std::function<QString(const TSiteEntry &)> PasswordOf;
    // Export the sites of a folder path ("" all) of the list as edited.
    std::function<void(const TSiteList &sites, const QString &folder)> Export;
};

class TSiteManagerDialog : public QDialog {
    Q_OBJECT
public:
    TSiteManagerDialog(const TSiteManagerData &data, QWidget *parent = nullptr);

    // The list as edited, in the tree's order.
    TSiteManagerData Result();

    QTreeWidget *Tree() const { return FTree; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Fill();
    QTreeWidgetItem *FolderItem(const QStringList &steps);
    QTreeWidgetItem *AddSite(QTreeWidgetItem *folder, int index);
    void ShowChosen(QTreeWidgetItem *now, QTreeWidgetItem *before);
    // The folder a new item goes into: the chosen folder, or the chosen
    // site's; the top when there is none.
    QTreeWidgetItem *TargetFolder() const;
    QStringList StepsOf(const QTreeWidgetItem *folder) const;
    void NewSite();
    void NewFolder();
    void Duplicate();
    void Rename();
    void Delete();
    void ExportChosen();
    // A name in the folder that no sibling has.
    QString FreeName(const QTreeWidgetItem *folder, const QString &name) const;
    void Collect(QTreeWidgetItem *parent, const QStringList &steps, TSiteManagerData &out);

    TSiteManagerData FData;
    std::vector<TSiteEntry> FSites;
    std::vector<int> FOrigins;
    QTreeWidget *FTree;
    TSiteSettingsForm *FForm;
    QPushButton *FDuplicate, *FRename, *FDelete;
    QTreeWidgetItem *FShown = nullptr;
};
