#include "SystemTreeView.h"

#include "ItemProp.h"
#include "NameBytes.h"
#include "NodeSearch.h"
#include "ShellNamespace.h"

#include <QScopeGuard>
#include <QContextMenuEvent>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>

namespace {

// The attributes a node keeps of its item.
constexpr uint32_t AttributeMask = 0xF20B0177;

// Suspends repainting until the scope ends, also when it throws.
[[nodiscard]] auto UpdateSuspended(TdfsCustomSystemTreeView &tree)
{
    tree.BeginUpdate();
    return qScopeGuard([&tree] { tree.EndUpdate(); });
}

// The hourglass over the tree until the scope ends.
[[nodiscard]] auto BusyCursor(QWidget *widget)
{
    widget->setCursor(Qt::WaitCursor);
    return qScopeGuard([widget] { widget->unsetCursor(); });
}

}  // namespace

TdfsSystemTreeView::TdfsSystemTreeView(QWidget *parent) : TdfsCustomSystemTreeView(parent), FDesktop(SHGetDesktopFolder())
{
    setModel(&FModel);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setRootIsDecorated(true);
    setEditTriggers(SelectedClicked | EditKeyPressed);
    setSelectionMode(SingleSelection);
    setIconSize({16, 16});
    // Long names scroll sideways rather than being cut.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    FModel.OnDeletion = [this](TTreeNode *node) { FreeNodeData(node); };
    FModel.IconOf = [this](TTreeNode *node, bool selected) { return FIcons.IconOf(node, selected); };
    FModel.CanEdit = [this](TTreeNode *node) { return FEditing.CanRename(node); };
    FModel.OnEdited = [this](TTreeNode *node, const QString &text) { return FEditing.Rename(node, text); };
    FModel.DragData = [this](TTreeNode *node) { return DragData(node); };
    connect(this, &QTreeView::expanded, this, &TdfsSystemTreeView::NodeExpanded);
    FOpenWatch = new TOpenFolderWatch(*this);
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (IsExpanded(FModel.NodeOf(index)))
            FOpenWatch->Watch(FModel.NodeOf(index));
    });
    connect(this, &QTreeView::collapsed, this,
            [this](const QModelIndex &index) { FOpenWatch->Forget(FModel.NodeOf(index)); });
}

TdfsSystemTreeView::~TdfsSystemTreeView()
{
    FDestroying = true;
    FWatch.Stop();
    FModel.Clear();
    setModel(nullptr);
}

// ---- properties -----------------------------------------------------------------------

void TdfsSystemTreeView::SetCustomDirCaption(const QString &caption)
{
    FCustomDirCaption = caption;
    if (FRootFolder == rfCustom && !caption.isEmpty() && FModel.TopCount() > 0) {
        FModel.Top(0)->Text = caption;
        FModel.Changed(FModel.Top(0));
    }
}

void TdfsSystemTreeView::SetCheckboxes(bool on)
{
    if (on == FCheckboxes)
        return;
    FCheckboxes = on;
    FModel.SetCheckboxes(on);
    RecreateWnd();
}

void TdfsSystemTreeView::SetFileMask(const QString &mask)
{
    FFileMask = mask;
    FMask.SetMask(mask);
    Reset();
}

void TdfsSystemTreeView::SetDragMode(TDragMode mode)
{
    FDragMode = mode;
    setDragEnabled(mode == dmAutomatic);
    setAcceptDrops(true);
    setDragDropMode(mode == dmAutomatic ? DragDrop : DropOnly);
    // Drops arrive at the viewport, the widget under the pointer.
    viewport()->setAcceptDrops(true);
}

// ---- nodes and their data --------------------------------------------------------------

void TdfsSystemTreeView::FreeNodeData(TTreeNode *node)
{
    FWatch.Forget(node);
    FOpenWatch->Forget(node);
    if (node == FDropTarget)
        FDropTarget = nullptr;
}

void TdfsSystemTreeView::DeleteNode(TTreeNode *node)
{
    FModel.Delete(node);
}

std::string TdfsSystemTreeView::GetNodePathBytes(TTreeNode *node) const
{
    const TFolderItemData *data = DataOf(node);
    if (!data || !data->ShellFolder)
        return {};
    return data->ShellFolder->PathOf(data->RelativeId.get());
}

QString TdfsSystemTreeView::GetNodePath(TTreeNode *node) const
{
    return TextFromBytes(GetNodePathBytes(node));
}

PCItemIDList TdfsSystemTreeView::GetSelectedId() const
{
    const TFolderItemData *data = DataOf(Selected());
    return data ? data->AbsoluteId.get() : nullptr;
}

// ---- building -------------------------------------------------------------------------------

void TdfsSystemTreeView::Reset()
{
    if (!HandleAllocated() || Loading())
        return;
    TPidl kept;
    bool keptOpen = false;
    if (const TFolderItemData *data = DataOf(Selected())) {
        kept = CopyPidl(data->AbsoluteId.get());
        keptOpen = IsExpanded(Selected());
    }
    const bool immediate = FImmediate;
    FImmediate = true;
    const auto restore = qScopeGuard([this, immediate] { FImmediate = immediate; });
    const auto update = UpdateSuspended(*this);

    SetSelected(nullptr);
    FWatch.Stop();
    FModel.Clear();

    TPidl root = FRootFolder == rfCustom ? FDesktop->ParseDisplayName(QFile::encodeName(FCustomDir).toStdString())
                                         : SHGetSpecialFolderLocation(RootFolderCsidl(FRootFolder));
    TTreeNode *rootNode = nullptr;
    if (root) {
        TPidl absolute = CopyPidl(root.get());
        rootNode = AddNode(FDesktop, std::move(absolute), nullptr, std::move(root));
    }
    if (rootNode && FExpandRoot)
        Expand(rootNode);
    if (FSortType != stNone)
        CustomSort();

    if (!FPendingSelection.empty()) {
        const std::string pending = std::move(FPendingSelection);
        FPendingSelection.clear();
        SelectPath(pending);
    } else if (kept && rootNode) {
        // The kept identifier runs from the desktop; the search runs from
        // the root, so the root's own part goes.
        if (TTreeNode *node = FSearch.ById(FSearch.BelowRoot(kept.get()))) {
            SetSelected(node);
            MakeVisible(node);
            if (keptOpen)
                Expand(node);
        }
    }
    NotifyLinkedViews(0);
}

TTreeNode *TdfsSystemTreeView::AddNode(const std::shared_ptr<TShellFolder> &folder, TPidl absoluteId,
                                       TTreeNode *parent, TPidl relativeId)
{
    folder->GetAttributesOf(nullptr, SFGAO_VALIDATE);
    QString name = folder->GetDisplayNameOf(relativeId.get());
    if (!parent && FRootFolder == rfCustom && !FCustomDirCaption.isEmpty())
        name = FCustomDirCaption;
    // With files shown, any entry makes a node openable: the first one
    // tells, where a search for a sub-folder reads a folder of files whole.
    const uint32_t attributes =
        folder->GetAttributesOf(relativeId.get(), FShowFiles ? AttributeMask & ~SFGAO_HASSUBFOLDER : AttributeMask);
    if (FRootFolder == rfFileSystem && !(attributes & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR)))
        return nullptr;
    if (parent && Hides) {
        const std::string path = folder->PathOf(relativeId.get());
        if (!path.empty() && Hides(path, attributes & SFGAO_FOLDER))
            return nullptr;
    }
    if (!FFileMask.isEmpty() && !(attributes & SFGAO_FOLDER)) {
        const std::string path = folder->PathOf(relativeId.get());
        if (!path.empty() && !FMask.Matches(TextFromBytes(path)))
            return nullptr;
    }

    auto data = std::make_unique<TFolderItemData>();
    data->ShellFolder = folder;
    data->Attributes = attributes;
    data->RelativeId = std::move(relativeId);
    data->AbsoluteId = std::move(absoluteId);
    TTreeNode *node = FModel.Add(parent, name);
    node->Data = std::move(data);
    // Icons are looked up when the node is first painted: a folder of
    // 100,000 files shows the few dozen that are in view.
    node->IconsPending = true;
    if (attributes & SFGAO_SHARE)
        node->OverlayIndex = 0;
    if (attributes & SFGAO_LINK)
        node->OverlayIndex = 1;
    node->HasChildren = NodeHasChildren(folder, node->Data->RelativeId.get(), attributes);
    return node;
}

bool TdfsSystemTreeView::NodeHasChildren(const std::shared_ptr<TShellFolder> &folder, PCItemIDList relativeId,
                                         uint32_t attributes)
{
    if (attributes & SFGAO_HASSUBFOLDER)
        return true;
    if (!FShowFiles || !(attributes & SFGAO_FOLDER))
        return false;
    const std::shared_ptr<TShellFolder> child = folder->BindToObject(relativeId);
    if (!child)
        return false;
    // One item is enough to tell, a folder or a file.
    const auto items = child->EnumObjects(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS |
                                          (FShowHiddenDirs ? unsigned(SHCONTF_INCLUDEHIDDEN) : 0u));
    if (!items)
        return false;
    return items->Next() != nullptr;
}

// ---- opening ---------------------------------------------------------------------------

bool TdfsSystemTreeView::PopulateNode(const std::shared_ptr<TShellFolder> &folder, TTreeNode *node)
{
    const auto update = UpdateSuspended(*this);
    const auto busy = BusyCursor(viewport());
    unsigned flags = SHCONTF_FOLDERS;
    if (FShowHiddenDirs)
        flags |= SHCONTF_INCLUDEHIDDEN;
    if (FShowFiles)
        flags |= SHCONTF_NONFOLDERS;
    const auto items = folder->EnumObjects(flags);
    if (!items)
        return false;
    bool result = false;
    FModel.BeginBatch(node);
    // An enumeration that raises still ends the batch (a second end does nothing).
    const auto endBatch = qScopeGuard([this] { FModel.EndBatch(); });
    while (TPidl relative = items->Next()) {
        result = true;
        TPidl absolute = ConcatPidls(node->Data->AbsoluteId.get(), relative.get());
        AddNode(folder, std::move(absolute), node, std::move(relative));
    }
    // Announced once, in the folder's order.
    std::vector<PCItemIDList> ids;
    ids.reserve(FModel.Pending().size());
    for (const auto &child : FModel.Pending())
        ids.push_back(child->Data->RelativeId.get());
    FModel.EndBatch(folder->SortOrder(ids));
    return result;
}

bool TdfsSystemTreeView::CanExpand(TTreeNode *node)
{
    bool allow = true;
    if (OnExpanding)
        OnExpanding(this, node, allow);
    if (!allow)
        return false;
    TFolderItemData *data = DataOf(node);
    if (data && !data->Populated) {
        if (node->Parent() || FRootFolder != rfDesktop) {
            std::string error;
            const std::shared_ptr<TShellFolder> folder = data->ShellFolder->BindToObject(data->RelativeId.get(), &error);
            if (!folder)
                throw EShellError(error);
            data->Populated = true;
            allow = PopulateNode(folder, node);
        } else {
            PopulateNode(FDesktop, node);
            data->Populated = true;
        }
    }
    if (allow) {
        DoPopulated(node);
    } else {
        node->HasChildren = false;
        FModel.Changed(node);
        // The view keeps what it knew of the button until it lays out anew.
        scheduleDelayedItemsLayout();
    }
    return allow;
}

void TdfsSystemTreeView::DoPopulated(TTreeNode *node)
{
    if (OnPopulated)
        OnPopulated(this, node);
}

bool TdfsSystemTreeView::Expand(TTreeNode *node)
{
    if (!node || !CanExpand(node))
        return false;
    FOpening = true;
    expand(FModel.IndexOf(node));
    FOpening = false;
    if (OnExpanded)
        OnExpanded(this, node);
    return true;
}

void TdfsSystemTreeView::NodeExpanded(const QModelIndex &index)
{
    // The view opened the node itself (a click, a key): ask now.
    if (FOpening)
        return;
    TTreeNode *node = FModel.NodeOf(index);
    bool allow = false;
    Guarded([&] { allow = CanExpand(node); });
    if (!allow) {
        collapse(index);
        return;
    }
    if (OnExpanded)
        OnExpanded(this, node);
}

void TdfsSystemTreeView::RefreshKeepingOpen(TTreeNode *node)
{
    if (!node)
        return;
    if (!node->Data) {
        ShellUi::ShowError(GetValidHandle(), QStringLiteral("Could not get folder data."));
        return;
    }
    const bool wasOpen = IsExpanded(node);
    // The user's place below the node: the open folders and the selected
    // item, found again by identifier where they still exist.
    std::vector<TPidl> openBelow;
    for (TTreeNode *open : FSearch.OpenBelow(node))
        openBelow.emplace_back(CopyPidl(open->Data->AbsoluteId.get()));
    TPidl selected;
    if (TTreeNode *current = Selected(); current && current->Data)
        for (TTreeNode *above = current->Parent(); above && !selected; above = above->Parent())
            if (above == node)
                selected = TPidl(CopyPidl(current->Data->AbsoluteId.get()));

    const auto update = UpdateSuspended(*this);
    FModel.DeleteChildren(node);
    if (node->Data)
        node->Data->Populated = false;
    const bool mayOpen = CanExpand(node);
    if (wasOpen && mayOpen && !IsExpanded(node)) {
        FOpening = true;
        expand(FModel.IndexOf(node));
        FOpening = false;
    }
    for (const TPidl &id : openBelow)
        if (TTreeNode *open = FSearch.Exact(id.get()))
            Expand(open);
    if (selected)
        if (TTreeNode *again = FSearch.Exact(selected.get()))
            SetSelected(again);
    NotifyLinkedViews(1);
}

void TdfsSystemTreeView::WatchReported(TTreeWatch::TEvent event, TTreeNode *node)
{
    if (!node)
        return;
    const auto update = UpdateSuspended(*this);
    switch (event) {
    case TTreeWatch::TEvent::Changed:
        RefreshKeepingOpen(node);
        break;
    case TTreeWatch::TEvent::Gone:
        // Its parent, read anew, takes the selection.
        if (TTreeNode *parent = node->Parent()) {
            RefreshKeepingOpen(parent);
            SetSelected(parent);
            MakeVisible(parent);
        }
        break;
    case TTreeWatch::TEvent::ParentLost:
        // Renamed or moved away: the whole tree is built anew around the parent.
        SetSelected(node);
        Reset();
        return;
    }
    FWatch.Start(Selected());
}

// ---- order ----------------------------------------------------------------------------------

bool TdfsSystemTreeView::CustomSort(const std::function<int(TTreeNode *, TTreeNode *)> &compare)
{
    const auto update = UpdateSuspended(*this);
    FSearch.SortAll(compare);
    return true;
}

// ---- the selection ----------------------------------------------------------------------

std::string TdfsSystemTreeView::SelectionBytes() const
{
    HandleNeeded();
    if (!HandleAllocated())
        return {};
    return GetNodePathBytes(Selected());
}

QString TdfsSystemTreeView::Selection() const
{
    return TextFromBytes(SelectionBytes());
}

void TdfsSystemTreeView::SetSelection(const QString &path)
{
    SetSelectionBytes(QFile::encodeName(path).toStdString());
}

void TdfsSystemTreeView::SetSelectionBytes(const std::string &path)
{
    if (path.empty())
        return;
    if (Loading() || !HandleAllocated()) {
        FPendingSelection = path;
        return;
    }
    SelectPath(path);
}

void TdfsSystemTreeView::SelectPath(const std::string &path)
{
    if (FModel.TopCount() == 0)
        return;
    TTreeNode *root = FModel.Top(0);
    if (!IsExpanded(root))
        Expand(root);
    TFolderItemData *first = DataOf(root->GetFirstChild());
    if (!first)
        return;
    std::string parsed = path;
    if (FRootFolder != rfDesktop && FRootFolder != rfDrives && FRootFolder != rfFileSystem) {
        const std::string label = root->Text.toUtf8().toStdString() + '/';
        if (QString::fromStdString(parsed).startsWith(QString::fromStdString(label), Qt::CaseInsensitive))
            parsed = parsed.substr(label.size());
    }
    const TPidl id(first->ShellFolder->ParseDisplayName(parsed));
    if (!id)
        return;
    const auto update = UpdateSuspended(*this);
    if (TTreeNode *node = FSearch.ById(id.get())) {
        SetSelected(node);
        MakeVisible(node);
    }
}

void TdfsSystemTreeView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    TdfsCustomSystemTreeView::currentChanged(current, previous);
    TTreeNode *node = FModel.NodeOf(current);
    FModel.SetSelectedNode(node);
    if (FDestroying)
        return;
    SelectionChanged(node);
}

void TdfsSystemTreeView::SelectionChanged(TTreeNode *node)
{
    const auto busy = BusyCursor(viewport());
    if (OnChange)
        OnChange(this, node);
    if (ReadDelay() > 0 && !FImmediate) {
        CancelReadDelay();
        StartReadDelay();
    } else {
        if (!Loading())
            FImmediate = false;
        NotifyLinkedViews(0);
        // A selection reported at once is watched at once too.
        if (DataOf(node))
            FWatch.Start(node);
    }
}

void TdfsSystemTreeView::ReadDelayElapsed()
{
    NotifyLinkedViews(0);
    FWatch.Start(Selected());
}

void TdfsSystemTreeView::SelectLinkedItem(PCItemIDList absoluteId)
{
    if (FModel.TopCount() == 0 || !absoluteId)
        return;
    if (TTreeNode *node = FSearch.ById(FSearch.BelowRoot(absoluteId))) {
        SetSelected(node);
        MakeVisible(node);
    }
}

// ---- the window ----------------------------------------------------------------------------

void TdfsSystemTreeView::CreateWnd()
{
    if (!Loading())
        Reset();
}

void TdfsSystemTreeView::DestroyWnd()
{
    if (FPendingSelection.empty())
        FPendingSelection = GetNodePathBytes(Selected());
}

void TdfsSystemTreeView::Loaded()
{
    Reset();
}

// ---- renaming and the item menu ------------------------------------------------------------

bool TdfsSystemTreeView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    TTreeNode *node = FModel.NodeOf(index);
    if (node && trigger != NoEditTriggers && state() != EditingState) {
        if (!FEditing.CanRename(node))
            return false;
        bool allow = true;
        if (OnEditing)
            OnEditing(this, node, allow);
        if (!allow)
            return false;
    }
    return TdfsCustomSystemTreeView::edit(index, trigger, event);
}

void TdfsSystemTreeView::contextMenuEvent(QContextMenuEvent *event)
{
    if (FPopupMenuMethod == pmmContext || FPopupMenuMethod == pmmContextUser) {
        const bool mouse = event->reason() == QContextMenuEvent::Mouse;
        if (TTreeNode *node = mouse ? GetNodeAt(event->pos()) : Selected()) {
            SetSelected(node);
            const QPoint at =
                mouse ? event->globalPos() : viewport()->mapToGlobal(visualRect(FModel.IndexOf(node)).center());
            bool handled = false;
            Guarded([&] { handled = ShowContextMenu(node, at); });
            if (handled) {
                event->accept();
                return;
            }
        }
    }
    if ((FPopupMenuMethod == pmmUser || FPopupMenuMethod == pmmContextUser) && PopupMenu)
        PopupMenu->exec(event->globalPos());
    event->accept();
}

bool TdfsSystemTreeView::ShowContextMenu(TTreeNode *node, const QPoint &screenPoint)
{
    return FEditing.ShowContextMenu(node, screenPoint);
}

// ---- dragging and scrolling -------------------------------------------------------------------

QMimeData *TdfsSystemTreeView::DragData(TTreeNode *node)
{
    auto *data = new QMimeData;
    const std::string path = GetNodePathBytes(node);
    if (!path.empty())
        data->setUrls({FileUrlFromBytes(path)});
    return data;
}

void TdfsSystemTreeView::AutoscrollAt(int x, int y)
{
    ScrollNearEdges(QPoint(x, y));
}

void TdfsSystemTreeView::DragMovedAt(const QPoint &at)
{
    if (FAutoscroll)
        AutoscrollAt(at.x(), at.y());
}

void TdfsSystemTreeView::keyPressEvent(QKeyEvent *event)
{
    // "*" would open every folder below, reading the disk to its end: it
    // opens the one node.
    if (event->key() == Qt::Key_Asterisk) {
        if (TTreeNode *node = Selected())
            Guarded([this, node] { Expand(node); });
        event->accept();
        return;
    }
    // F5 reads the selected folder anew, as in file managers.
    if (event->key() == Qt::Key_F5 && !(event->modifiers() & ~Qt::KeypadModifier)) {
        if (TTreeNode *node = Selected())
            Guarded([this, node] {
                // A file is read anew with its folder.
                const bool file = node->Data && !(node->Data->Attributes & SFGAO_FOLDER);
                RefreshNode(file && node->Parent() ? node->Parent() : node);
            });
        event->accept();
        return;
    }
    TdfsCustomSystemTreeView::keyPressEvent(event);
}

void TdfsSystemTreeView::mouseMoveEvent(QMouseEvent *event)
{
    if (FAutoscroll) {
        const QPoint at = viewport()->mapTo(this, event->position().toPoint());
        AutoscrollAt(at.x(), at.y());
    }
    TdfsCustomSystemTreeView::mouseMoveEvent(event);
}
