// The local folder tree: the namespace from the desktop down, each item
// with its display name and icon. A node's children are read when it is
// first opened. The tree watches the selected folder and its parent and
// refreshes what changed on disk, rebuilds when a volume comes or goes,
// renames items in place and shows each item's menu. The owner reads the
// selection as a path and selects by path.
//
// Paths come as text for showing and as bytes (`...Bytes`) for use: a
// name that is not UTF-8 keeps its bytes only in the second form.
#pragma once

#include "MaskSearch.h"
#include "OpenFolderWatch.h"
#include "NodeIcons.h"
#include "NodeSearch.h"
#include "SystemControlPack.h"
#include "TreeEditing.h"
#include "TreeWatch.h"

class QMenu;

enum TDragMode { dmManual, dmAutomatic };
enum TSortType { stNone, stData, stText, stBoth };

class TdfsSystemTreeView : public TdfsCustomSystemTreeView {
    Q_OBJECT
public:
    explicit TdfsSystemTreeView(QWidget *parent = nullptr);
    ~TdfsSystemTreeView() override;

    using TNodeEvent = std::function<void(TdfsSystemTreeView *, TTreeNode *)>;
    using TAllowEvent = std::function<void(TdfsSystemTreeView *, TTreeNode *, bool &)>;

    // ---- properties
    QString Version() const { return QStringLiteral("TdfsSystemTreeView v0.98.5 Beta"); }
    void SetVersion(const QString &) {}
    TPopupMenuMethod PopupMenuMethod() const { return FPopupMenuMethod; }
    void SetPopupMenuMethod(TPopupMenuMethod method) { FPopupMenuMethod = method; }
    QString Selection() const;
    void SetSelection(const QString &path);
    std::string SelectionBytes() const;
    void SetSelectionBytes(const std::string &path);
    QString Directory() const { return Selection(); }
    void SetDirectory(const QString &path) { SetSelection(path); }
    TRootFolder RootFolder() const { return FRootFolder; }
    void SetRootFolder(TRootFolder root)
    {
        FRootFolder = root;
        Reset();
    }
    QString CustomDir() const { return FCustomDir; }
    void SetCustomDir(const QString &path)
    {
        FCustomDir = path;
        Reset();
    }
    QString CustomDirCaption() const { return FCustomDirCaption; }
    void SetCustomDirCaption(const QString &caption);
    bool ShowFiles() const { return FShowFiles; }
    void SetShowFiles(bool on)
    {
        FShowFiles = on;
        Reset();
    }
    bool ShowHiddenDirs() const { return FShowHiddenDirs; }
    void SetShowHiddenDirs(bool on) { FShowHiddenDirs = on; }
    bool ExpandRoot() const { return FExpandRoot; }
    void SetExpandRoot(bool on) { FExpandRoot = on; }
    bool Checkboxes() const { return FCheckboxes; }
    void SetCheckboxes(bool on);
    bool Autoscroll() const { return FAutoscroll; }
    void SetAutoscroll(bool on)
    {
        FAutoscroll = on;
        setMouseTracking(on);
    }
    QString FileMask() const { return FFileMask; }
    void SetFileMask(const QString &mask);
    // The ordinary tree-control properties the owner sets.
    TDragMode DragMode() const { return FDragMode; }
    void SetDragMode(TDragMode mode);
    int Indent() const { return indentation(); }
    void SetIndent(int pixels) { setIndentation(pixels); }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool on) { FReadOnly = on; }
    TSortType SortType() const { return FSortType; }
    void SetSortType(TSortType type) { FSortType = type; }
    // The control's own popup menu (not owned).
    QMenu *PopupMenu = nullptr;
    // The owner's actions on the chosen item (Upload), first in each
    // item's menu (not owned).
    QList<QAction *> ItemActions;
    // Whether an item below the top is left out (the user's filename
    // filters), by its path's bytes.
    std::function<bool(const std::string &path, bool folder)> Hides;

    // ---- events
    TNodeEvent OnChange, OnPopulated, OnExpanded;
    TAllowEvent OnExpanding, OnEditing;
    std::function<void(TdfsSystemTreeView *, TTreeNode *, QString &)> OnEdited;

    // ---- operations
    QString GetNodePath(TTreeNode *node) const;
    std::string GetNodePathBytes(TTreeNode *node) const;
    void Reset() override;
    // Reads a node's children anew; the folders open below it stay open
    // and the selection stays where it still exists.
    void RefreshNode(TTreeNode *node) { RefreshKeepingOpen(node); }
    void RefreshKeepingOpen(TTreeNode *node);
    // Opens a node when it may open; false when it may not.
    bool Expand(TTreeNode *node);
    // The folder data of a node; nullptr when it has none.
    TFolderItemData *DataOf(TTreeNode *node) const { return node ? node->Data.get() : nullptr; }
    const TTreeWatch &Watch() const { return FWatch; }
    const TOpenFolderWatch &OpenFolders() const { return *FOpenWatch; }

    // ---- overridable
    virtual PCItemIDList GetSelectedId() const;
    virtual std::shared_ptr<TShellFolder> GetDesktopFolder() const { return FDesktop; }
    virtual void AutoscrollAt(int x, int y);
    virtual void DoPopulated(TTreeNode *node);
    virtual void DeleteNode(TTreeNode *node);
    // Takes the identifiers when it returns a node; nullptr rejects the item.
    virtual TTreeNode *AddNode(const std::shared_ptr<TShellFolder> &folder, TPidl absoluteId, TTreeNode *parent,
                               TPidl relativeId);
    // Sorts the top level with `compare` (the folder order when empty),
    // then every node's children in the folder order.
    virtual bool CustomSort(const std::function<int(TTreeNode *, TTreeNode *)> &compare = {});
    virtual bool ShowContextMenu(TTreeNode *node, const QPoint &screenPoint);

protected:
    void ReadDelayElapsed() override;
    void SelectLinkedItem(PCItemIDList absoluteId) override;
    PCItemIDList SelectedIdForLinks() const override { return GetSelectedId(); }
    void CreateWnd() override;
    void DestroyWnd() override;
    void Loaded() override;

    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void DragMovedAt(const QPoint &at) override;

private:
    // Opening a node.
    bool CanExpand(TTreeNode *node);
    bool PopulateNode(const std::shared_ptr<TShellFolder> &folder, TTreeNode *node);
    void NodeExpanded(const QModelIndex &index);
    bool NodeHasChildren(const std::shared_ptr<TShellFolder> &folder, PCItemIDList relativeId, uint32_t attributes);
    // What the selected folder's watch saw.
    void WatchReported(TTreeWatch::TEvent event, TTreeNode *node);
    void SelectPath(const std::string &path);
    void SelectionChanged(TTreeNode *node);
    void FreeNodeData(TTreeNode *node);
    QMimeData *DragData(TTreeNode *node);

    std::shared_ptr<TShellFolder> FDesktop;
    std::string FPendingSelection;
    bool FDestroying = false;
    bool FImmediate = true;
    bool FOpening = false;

    TPopupMenuMethod FPopupMenuMethod = pmmContext;
    TRootFolder FRootFolder = rfDesktop;
    QString FCustomDir, FCustomDirCaption, FFileMask;
    bool FShowFiles = false, FShowHiddenDirs = true, FExpandRoot = true, FCheckboxes = false, FAutoscroll = false;
    bool FReadOnly = false;
    TDragMode FDragMode = dmManual;
    TSortType FSortType = stNone;
    TMaskSearch FMask;
    TNodeIcons FIcons{FImages};
    TTreeEditing FEditing{*this};
    TNodeSearch FSearch{FModel, [this](TTreeNode *node) { return Expand(node); },
                        [this](TTreeNode *node) { return IsExpanded(node); }};
    TTreeWatch FWatch{*this, [this](TTreeWatch::TEvent event, TTreeNode *node) { WatchReported(event, node); }};
    TOpenFolderWatch *FOpenWatch;
};
