// The nodes of the local tree and the Qt model over them. A node carries
// what the tree control keeps per item: label, icons, overlay, the expand
// button and the folder data. The model only stores and announces; every
// decision is the tree's, reached through the hooks below.
//
// Children added during a batch are announced at once when it ends, so a
// folder of 100,000 items costs one insertion, not 100,000.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include <functional>
#include <memory>
#include <vector>

struct TFolderItemData;

class TTreeNode {
public:
    TTreeNode();
    ~TTreeNode();
    TTreeNode(const TTreeNode &) = delete;
    TTreeNode &operator=(const TTreeNode &) = delete;

    QString Text;
    std::unique_ptr<TFolderItemData> Data;
    int ImageIndex = -1;
    int SelectedIndex = -1;
    int OverlayIndex = -1;
    // The icon indexes are looked up when the node is first shown.
    bool IconsPending = false;
    // The expand button.
    bool HasChildren = false;
    bool Checked = false;

    // nullptr for a top-level node.
    TTreeNode *Parent() const { return FParent && FParent->FParent ? FParent : nullptr; }
    int Count() const { return int(FChildren.size()); }
    TTreeNode *Item(int index) const { return FChildren[size_t(index)].get(); }
    TTreeNode *GetFirstChild() const { return FChildren.empty() ? nullptr : FChildren.front().get(); }
    int Index() const { return FRow; }
    int Level() const;

private:
    friend class TSystemTreeModel;
    TTreeNode *FParent = nullptr;
    std::vector<std::unique_ptr<TTreeNode>> FChildren;
    int FRow = 0;
};

class TSystemTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TSystemTreeModel(QObject *parent = nullptr);
    ~TSystemTreeModel() override;

    // Appends a node as the last child of `parent` (nullptr: top level).
    TTreeNode *Add(TTreeNode *parent, const QString &text);
    // Children of `parent` added from now on wait until EndBatch, which
    // announces them in the order `order` gives (a permutation of the
    // waiting nodes), or as added when it is empty.
    void BeginBatch(TTreeNode *parent);
    const std::vector<std::unique_ptr<TTreeNode>> &Pending() const { return FPending; }
    void EndBatch(const std::vector<size_t> &order = {});

    void Delete(TTreeNode *node);
    void DeleteChildren(TTreeNode *node);
    void Clear();
    // Reorders the children of `parent` (nullptr: top level): by a
    // permutation, or stably by a comparison (negative: a before b).
    void Sort(TTreeNode *parent, const std::vector<size_t> &order);
    void SortBy(TTreeNode *parent, const std::function<int(TTreeNode *, TTreeNode *)> &compare);

    int TopCount() const { return FRoot.Count(); }
    TTreeNode *Top(int index) const { return FRoot.Item(index); }
    TTreeNode *NodeOf(const QModelIndex &index) const;
    QModelIndex IndexOf(const TTreeNode *node) const;
    // The node's label, icon or button changed.
    void Changed(TTreeNode *node);
    // The node whose selected icon shows.
    void SetSelectedNode(TTreeNode *node);
    void SetCheckboxes(bool on);

    // Hooks set by the tree.
    std::function<void(TTreeNode *)> OnDeletion;
    std::function<QIcon(TTreeNode *, bool selected)> IconOf;
    std::function<bool(TTreeNode *)> CanEdit;
    // The user's new label; false keeps the old one.
    std::function<bool(TTreeNode *, const QString &)> OnEdited;
    std::function<QMimeData *(TTreeNode *)> DragData;
    // What others show on a node beside the tree's own (a comparison's
    // colour and words), by role; an invalid value: nothing.
    std::function<QVariant(TTreeNode *, int role)> ExtraData;
    // The extra data of a node's children changed.
    void ChildrenChanged(TTreeNode *parent);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // The one column's title, for screen readers; the tree shows no header.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDragActions() const override;

private:
    TTreeNode *Holder(TTreeNode *parent) { return parent ? parent : &FRoot; }
    void Forget(TTreeNode &node);

    TTreeNode FRoot;
    TTreeNode *FBatchParent = nullptr;
    std::vector<std::unique_ptr<TTreeNode>> FPending;
    TTreeNode *FSelected = nullptr;
    bool FCheckboxes = false;
};
