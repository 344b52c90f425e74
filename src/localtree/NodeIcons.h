// The icons of the tree's nodes, looked up when a node is first shown (a
// folder of 100,000 files then costs the lookups of the few in view), with
// the link and share overlays drawn into the icon.
#pragma once

#include "SystemImageList.h"

#include <QHash>
#include <QIcon>

class TTreeNode;

class TNodeIcons {
public:
    explicit TNodeIcons(TdfsSystemImageList &images) : FImages(images) {}

    QIcon IconOf(TTreeNode *node, bool selected);

private:
    static void LoadIcons(TTreeNode *node);

    TdfsSystemImageList &FImages;
    QHash<qint64, QIcon> FOverlaid;
};
