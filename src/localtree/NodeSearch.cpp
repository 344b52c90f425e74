#include "NodeSearch.h"

#include "ShellNamespace.h"
#include "SystemControlPack.h"
#include "SystemTreeModel.h"

PCItemIDList TNodeSearch::BelowRoot(PCItemIDList absoluteId) const
{
    PCItemIDList rest = absoluteId;
    const TFolderItemData *root = FModel.TopCount() > 0 ? FModel.Top(0)->Data.get() : nullptr;
    if (!root || !PidlStartsWith(absoluteId, root->AbsoluteId.get(), &rest))
        rest = absoluteId;
    return rest;
}

TTreeNode *TNodeSearch::ById(PCItemIDList id)
{
    if (FModel.TopCount() == 0 || !id)
        return nullptr;
    TTreeNode *node = FModel.Top(0);
    if (IsEmptyPidl(id) || node->Count() == 0)
        return node;
    for (PCItemIDList rest = id; !IsEmptyPidl(rest);) {
        const TPidl step(CopyFirstPidl(rest));
        TTreeNode *match = nullptr;
        for (int i = 0; i < node->Count() && !match; ++i) {
            const TFolderItemData *data = node->Item(i)->Data.get();
            if (data && data->ShellFolder->CompareIDs(data->RelativeId.get(), step.get()) == 0)
                match = node->Item(i);
        }
        if (!match)
            break;
        node = match;
        rest = NextPidl(rest);
        if (IsEmptyPidl(rest))
            break;
        FOpen(node);
        if (node->Count() == 0)
            break;
    }
    return node;
}

TTreeNode *TNodeSearch::Exact(PCItemIDList absoluteId)
{
    if (FModel.TopCount() == 0 || !absoluteId)
        return nullptr;
    TTreeNode *node = ById(BelowRoot(absoluteId));
    return node && node->Data && PidlsEqual(node->Data->AbsoluteId.get(), absoluteId) ? node : nullptr;
}

std::vector<TTreeNode *> TNodeSearch::OpenBelow(TTreeNode *node) const
{
    std::vector<TTreeNode *> open;
    for (int i = 0; i < node->Count(); ++i) {
        TTreeNode *child = node->Item(i);
        if (child->Data && FIsOpen(child)) {
            open.push_back(child);
            const std::vector<TTreeNode *> below = OpenBelow(child);
            open.insert(open.end(), below.begin(), below.end());
        }
    }
    return open;
}

int TNodeSearch::Compare(TTreeNode *a, TTreeNode *b)
{
    if (a == b)
        return 0;
    if (!a)
        return -1;
    if (!b)
        return 1;
    if (!a->Data || !b->Data)
        return 0;
    return int(int8_t(a->Data->ShellFolder->CompareIDs(a->Data->RelativeId.get(), b->Data->RelativeId.get()) & 0xFF));
}

void TNodeSearch::SortAll(const TCompare &compare)
{
    FModel.SortBy(nullptr, compare ? compare : TCompare(Compare));
    std::vector<TTreeNode *> pending;
    for (int i = 0; i < FModel.TopCount(); ++i)
        pending.push_back(FModel.Top(i));
    while (!pending.empty()) {
        TTreeNode *node = pending.back();
        pending.pop_back();
        FModel.SortBy(node, Compare);
        for (int i = 0; i < node->Count(); ++i)
            pending.push_back(node->Item(i));
    }
}
