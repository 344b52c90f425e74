// Finds the tree's nodes by their items' identifiers and puts them in the
// folders' order, over the tree's model. Opening a node on the way reads
// the disk, so that stays the tree's to do.
#pragma once

#include "PidlHelp.h"

#include <functional>
#include <vector>

class TSystemTreeModel;
class TTreeNode;

class TNodeSearch {
public:
    using TCompare = std::function<int(TTreeNode *, TTreeNode *)>;

    TNodeSearch(TSystemTreeModel &model, std::function<bool(TTreeNode *)> open,
                std::function<bool(TTreeNode *)> isOpen)
        : FModel(model), FOpen(std::move(open)), FIsOpen(std::move(isOpen))
    {
    }

    // The part of an identifier from the desktop below the root; the
    // whole of it when it does not run through the root.
    PCItemIDList BelowRoot(PCItemIDList absoluteId) const;
    // The deepest node on the way to `id` (from the root), opening the
    // nodes it passes.
    TTreeNode *ById(PCItemIDList id);
    // The node of an absolute identifier, or nullptr when none has it.
    TTreeNode *Exact(PCItemIDList absoluteId);
    // The open nodes below `node`, parents before their children, so that
    // opening them in order works.
    std::vector<TTreeNode *> OpenBelow(TTreeNode *node) const;

    // The folder's order of two nodes: below, equal or above zero.
    static int Compare(TTreeNode *a, TTreeNode *b);
    // The top level by `compare` (the folders' order when empty), every
    // node's children in the folders' order.
    void SortAll(const TCompare &compare);

private:
    TSystemTreeModel &FModel;
    std::function<bool(TTreeNode *)> FOpen, FIsOpen;
};
