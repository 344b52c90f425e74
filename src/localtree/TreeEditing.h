// Renaming the local tree's items in place, and the item menu with the
// tree's share of its commands: Rename starts editing, Refresh reads the
// node anew, and a folder made by New Folder is selected and its name
// edited. Only the tree's public operations are used.
#pragma once

#include <QPoint>
#include <QString>

#include <string>

class TdfsSystemTreeView;
class TTreeNode;

class TTreeEditing {
public:
    explicit TTreeEditing(TdfsSystemTreeView &tree) : FTree(tree) {}

    // Items whose folder grants renaming, unless the tree is read-only.
    bool CanRename(TTreeNode *node) const;
    // The user ended an edit with `text`; false keeps the old label. An
    // empty or unchanged text changes nothing; a refused rename says why.
    bool Rename(TTreeNode *node, const QString &text);
    bool ShowContextMenu(TTreeNode *node, const QPoint &screenPoint);

private:
    void AfterNewFolder(TTreeNode *folder, const std::string &name);

    TdfsSystemTreeView &FTree;
};
