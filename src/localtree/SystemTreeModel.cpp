#include "SystemTreeModel.h"

#include "SystemControlPack.h"

#include <QMimeData>

#include <algorithm>
#include <numeric>

TTreeNode::TTreeNode() = default;
TTreeNode::~TTreeNode() = default;

int TTreeNode::Level() const
{
    int level = 0;
    for (const TTreeNode *node = Parent(); node; node = node->Parent())
        ++level;
    return level;
}

TSystemTreeModel::TSystemTreeModel(QObject *parent) : QAbstractItemModel(parent) {}

TSystemTreeModel::~TSystemTreeModel()
{
    // Nodes still here go without the tree's notice: it has gone first.
    OnDeletion = nullptr;
}

TTreeNode *TSystemTreeModel::Add(TTreeNode *parent, const QString &text)
{
    TTreeNode *holder = Holder(parent);
    auto node = std::make_unique<TTreeNode>();
    node->Text = text;
    node->FParent = holder;
    TTreeNode *added = node.get();
    if (FBatchParent == holder) {
        FPending.push_back(std::move(node));
        return added;
    }
    const int row = holder->Count();
    added->FRow = row;
    beginInsertRows(IndexOf(parent), row, row);
    holder->FChildren.push_back(std::move(node));
    if (holder != &FRoot)
        holder->HasChildren = true;
    endInsertRows();
    return added;
}

void TSystemTreeModel::BeginBatch(TTreeNode *parent)
{
    FBatchParent = Holder(parent);
}

void TSystemTreeModel::EndBatch(const std::vector<size_t> &order)
{
    TTreeNode *holder = FBatchParent;
    FBatchParent = nullptr;
    if (!holder || FPending.empty())
        return;
    std::vector<std::unique_ptr<TTreeNode>> pending = std::move(FPending);
    FPending.clear();
    const int first = holder->Count();
    beginInsertRows(IndexOf(holder == &FRoot ? nullptr : holder), first, first + int(pending.size()) - 1);
    holder->FChildren.reserve(holder->FChildren.size() + pending.size());
    for (size_t i = 0; i < pending.size(); ++i) {
        auto &node = pending[order.empty() ? i : order[i]];
        node->FRow = int(holder->FChildren.size());
        holder->FChildren.push_back(std::move(node));
    }
    if (holder != &FRoot)
        holder->HasChildren = true;
    endInsertRows();
}

void TSystemTreeModel::Forget(TTreeNode &node)
{
    for (auto &child : node.FChildren)
        Forget(*child);
    if (FSelected == &node)
        FSelected = nullptr;
    if (OnDeletion)
        OnDeletion(&node);
}

void TSystemTreeModel::Delete(TTreeNode *node)
{
    TTreeNode *holder = node->FParent;
    const int row = node->FRow;
    beginRemoveRows(IndexOf(node->Parent()), row, row);
    Forget(*node);
    holder->FChildren.erase(holder->FChildren.begin() + row);
    for (size_t i = size_t(row); i < holder->FChildren.size(); ++i)
        holder->FChildren[i]->FRow = int(i);
    endRemoveRows();
}

void TSystemTreeModel::DeleteChildren(TTreeNode *node)
{
    TTreeNode *holder = Holder(node);
    if (holder->FChildren.empty())
        return;
    beginRemoveRows(IndexOf(node), 0, holder->Count() - 1);
    for (auto &child : holder->FChildren)
        Forget(*child);
    holder->FChildren.clear();
    endRemoveRows();
}

void TSystemTreeModel::Clear()
{
    beginResetModel();
    for (auto &child : FRoot.FChildren)
        Forget(*child);
    FRoot.FChildren.clear();
    FPending.clear();
    FBatchParent = nullptr;
    endResetModel();
}

void TSystemTreeModel::Sort(TTreeNode *parent, const std::vector<size_t> &order)
{
    TTreeNode *holder = Holder(parent);
    if (order.size() != holder->FChildren.size())
        return;
    const QModelIndex parentIndex = IndexOf(parent);
    emit layoutAboutToBeChanged({QPersistentModelIndex(parentIndex)});
    std::vector<std::unique_ptr<TTreeNode>> sorted;
    sorted.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(holder->FChildren[order[i]]));
        sorted.back()->FRow = int(i);
    }
    holder->FChildren = std::move(sorted);
    // Views hold persistent indexes (the current node, the open ones).
    const QModelIndexList old = persistentIndexList();
    QModelIndexList from, to;
    for (const QModelIndex &index : old)
        if (index.parent() == parentIndex) {
            from.append(index);
            auto *node = static_cast<TTreeNode *>(index.internalPointer());
            to.append(createIndex(node->FRow, 0, node));
        }
    changePersistentIndexList(from, to);
    emit layoutChanged({QPersistentModelIndex(parentIndex)});
}

void TSystemTreeModel::SortBy(TTreeNode *parent, const std::function<int(TTreeNode *, TTreeNode *)> &compare)
{
    const TTreeNode *holder = Holder(parent);
    if (holder->FChildren.size() < 2)
        return;
    std::vector<size_t> order(holder->FChildren.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return compare(holder->FChildren[a].get(), holder->FChildren[b].get()) < 0;
    });
    Sort(parent, order);
}

TTreeNode *TSystemTreeModel::NodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<TTreeNode *>(index.internalPointer()) : nullptr;
}

QModelIndex TSystemTreeModel::IndexOf(const TTreeNode *node) const
{
    if (!node || node == &FRoot)
        return {};
    return createIndex(node->FRow, 0, const_cast<TTreeNode *>(node));
}

void TSystemTreeModel::Changed(TTreeNode *node)
{
    const QModelIndex index = IndexOf(node);
    if (index.isValid())
        emit dataChanged(index, index);
}

void TSystemTreeModel::SetSelectedNode(TTreeNode *node)
{
    TTreeNode *old = FSelected;
    FSelected = node;
    if (old && old != node)
        Changed(old);
    if (node)
        Changed(node);
}

void TSystemTreeModel::SetCheckboxes(bool on)
{
    if (on == FCheckboxes)
        return;
    beginResetModel();
    FCheckboxes = on;
    endResetModel();
}

QModelIndex TSystemTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    const TTreeNode *holder = parent.isValid() ? NodeOf(parent) : &FRoot;
    if (column != 0 || row < 0 || row >= holder->Count())
        return {};
    return createIndex(row, 0, holder->Item(row));
}

QModelIndex TSystemTreeModel::parent(const QModelIndex &child) const
{
    const TTreeNode *node = NodeOf(child);
    return node ? IndexOf(node->Parent()) : QModelIndex();
}

int TSystemTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return parent.isValid() ? NodeOf(parent)->Count() : FRoot.Count();
}

int TSystemTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool TSystemTreeModel::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return FRoot.Count() > 0;
    const TTreeNode *node = NodeOf(parent);
    return node->HasChildren || node->Count() > 0;
}

QVariant TSystemTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QStringLiteral("Name");
    return QAbstractItemModel::headerData(section, orientation, role);
}

QVariant TSystemTreeModel::data(const QModelIndex &index, int role) const
{
    TTreeNode *node = NodeOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return node->Text;
    case Qt::DecorationRole:
        return IconOf ? QVariant(IconOf(node, node == FSelected)) : QVariant();
    case Qt::CheckStateRole:
        return FCheckboxes ? QVariant(node->Checked ? Qt::Checked : Qt::Unchecked) : QVariant();
    default:
        return ExtraData ? ExtraData(node, role) : QVariant();
    }
}

bool TSystemTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    TTreeNode *node = NodeOf(index);
    if (!node)
        return false;
    if (role == Qt::CheckStateRole && FCheckboxes) {
        node->Checked = value.toInt() == Qt::Checked;
        Changed(node);
        return true;
    }
    if (role != Qt::EditRole || !OnEdited || !OnEdited(node, value.toString()))
        return false;
    Changed(node);
    return true;
}

Qt::ItemFlags TSystemTreeModel::flags(const QModelIndex &index) const
{
    TTreeNode *node = NodeOf(index);
    if (!node)
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (CanEdit && CanEdit(node))
        flags |= Qt::ItemIsEditable;
    if (FCheckboxes)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QMimeData *TSystemTreeModel::mimeData(const QModelIndexList &indexes) const
{
    if (indexes.isEmpty() || !DragData)
        return nullptr;
    return DragData(NodeOf(indexes.first()));
}

QStringList TSystemTreeModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

Qt::DropActions TSystemTreeModel::supportedDragActions() const
{
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

void TSystemTreeModel::ChildrenChanged(TTreeNode *parent)
{
    const TTreeNode *holder = parent ? parent : &FRoot;
    if (holder->Count() == 0)
        return;
    const QModelIndex top = parent ? IndexOf(parent) : QModelIndex();
    emit dataChanged(index(0, 0, top), index(holder->Count() - 1, 0, top));
}
