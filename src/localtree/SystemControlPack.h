// What the local tree control stands on: the folder data each node owns,
// the root and menu choices, the way the control reaches the user (error
// messages, the status-bar hint), and the base control with the parts
// that do not depend on the tree's logic: the change-delay timer, the
// storage-device hook, its window's life, repaint suspension and the
// links to a folder list view and a folder combo box.
#pragma once

#include "PidlHelp.h"
#include "SystemImageList.h"
#include "SystemTreeModel.h"

#include <QComboBox>
#include <QListView>
#include <QPointer>
#include <QTimer>
#include <QTreeView>

#include <cstdint>
#include <functional>
#include <memory>

class TShellFolder;
class TDeviceWatch;

// The data of one node: through which folder its item was enumerated, the
// item's attributes and its identifiers. The node owns it; the program
// counts the live ones.
struct TFolderItemData {
    TFolderItemData();
    ~TFolderItemData();
    TFolderItemData(const TFolderItemData &) = delete;
    TFolderItemData &operator=(const TFolderItemData &) = delete;

    bool Populated = false;
    std::shared_ptr<TShellFolder> ShellFolder;
    uint32_t Attributes = 0;
    TPidl RelativeId;
    TPidl AbsoluteId;

    // The item has a new name: `relative` names it in its folder now, and
    // the absolute identifier follows (under `parentAbsolute`, or alone at
    // the top).
    void Renamed(TPidl relative, PCItemIDList parentAbsolute);

    static long LiveCount();
};

// At program exit: when folder data are still alive, says so on standard
// error and returns a non-zero status; otherwise returns `status`.
int CheckFolderDataFreed(int status);

enum TRootFolder {
    rfDesktop, rfRecycleBin, rfControlPanel, rfDesktopDir, rfDrives, rfFavoriteURLs, rfFonts, rfNetHood,
    rfNetHoodDir, rfDocumentDir, rfPrinters, rfPrograms, rfRecentDir, rfSendTo, rfStartMenu, rfStartup,
    rfTemplates, rfFileSystem, rfCustom,
};
// The special folder a root opens at.
int RootFolderCsidl(TRootFolder root);

enum TPopupMenuMethod { pmmNone, pmmContext, pmmUser, pmmContextUser };

// How the namespace controls reach the user. The application routes them
// (tests answer them); by default errors show in a message box and hints
// go nowhere.
namespace ShellUi {
void ShowError(QWidget *owner, const QString &text);
// The application hint: "verb|help text", or "" to clear it.
void SetHint(const QString &hint);
void SetErrorHandler(std::function<void(QWidget *, const QString &)> handler);
void SetHintHandler(std::function<void(const QString &)> handler);
}  // namespace ShellUi

class TdfsCustomSystemTreeView;

// Linked views: extension points. A view learns of the tree's changes
// (kind 0: selection, 1: a node was refreshed) and reports its own folder.
class TdfsCustomSystemListView : public QListView {
    Q_OBJECT
public:
    using QListView::QListView;
    QPointer<TdfsCustomSystemTreeView> Tree;
    virtual void TreeChanged(int kind, PCItemIDList selectedId);
    void ReportFolder(PCItemIDList absoluteId);
};

class TdfsCustomSystemComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    QPointer<TdfsCustomSystemTreeView> Tree;
    virtual void TreeChanged(int kind, PCItemIDList selectedId);
    void ReportFolder(PCItemIDList absoluteId);
};

class TdfsCustomSystemTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit TdfsCustomSystemTreeView(QWidget *parent = nullptr);
    ~TdfsCustomSystemTreeView() override;

    TdfsCustomSystemListView *ListView() const { return FListView; }
    void SetListView(TdfsCustomSystemListView *view);
    TdfsCustomSystemComboBox *ComboBox() const { return FComboBox; }
    void SetComboBox(TdfsCustomSystemComboBox *box);
    uint16_t ReadDelay() const { return FReadDelay; }
    void SetReadDelay(uint16_t milliseconds) { FReadDelay = milliseconds; }

    // Property values set between these two are applied, then the tree
    // is built once.
    void BeginLoading();
    void EndLoading();
    bool Loading() const { return FLoading; }
    // The control's window exists. A shown control makes it after its
    // first paint, so a slow start folder never holds back the window's
    // first frame; asking for the nodes before then makes it at once.
    bool HandleAllocated() const { return FHandleAllocated; }
    void HandleNeeded() const;
    // Suspends repainting; nests.
    void BeginUpdate();
    void EndUpdate();

    // ---- the nodes, as the ordinary tree control offers them
    TSystemTreeModel &Items()
    {
        HandleNeeded();
        return FModel;
    }
    TTreeNode *Selected() const;
    void SetSelected(TTreeNode *node);
    TTreeNode *GetNodeAt(const QPoint &viewportPoint) const;
    bool IsExpanded(TTreeNode *node) const;
    void Collapse(TTreeNode *node);
    void MakeVisible(TTreeNode *node);
    // Starts editing a node's label, once pending events are handled.
    void EditLabel(TTreeNode *node);
    // The node under the pointer while something is dragged over the tree.
    TTreeNode *DropTarget() const { return FDropTarget; }
    // `source` is the widget a drag came from in this program, nullptr for
    // a drag from another program.
    std::function<void(TdfsCustomSystemTreeView *, QObject *source, int x, int y, bool &accept)> OnDragOver;
    std::function<void(TdfsCustomSystemTreeView *, QObject *source, int x, int y, const QMimeData *)> OnDragDrop;

    // Rebuilds the whole tree, keeping the selection.
    virtual void Reset() = 0;
    // A linked view moved to another folder.
    virtual void LinkedViewChanged(QObject *view, PCItemIDList absoluteId);

    // Runs an action that Qt's event handling reached: an error it raises is
    // shown to the user and goes no further.
    void Guarded(const std::function<void()> &action);

    // Drops the window and makes it anew, as a style change needs.
    void RecreateWnd();
    // The owner of the dialogs the namespace may raise.
    virtual QWidget *GetValidHandle();

protected:
    virtual void DeviceChanged();
    virtual void ReadDelayElapsed() = 0;
    virtual void LoadSystemImages();
    virtual void SelectLinkedItem(PCItemIDList absoluteId) = 0;
    virtual void NotifyLinkedViews(int kind);
    virtual PCItemIDList SelectedIdForLinks() const = 0;
    // The window is made or dropped.
    virtual void CreateWnd() = 0;
    virtual void DestroyWnd() = 0;
    virtual void Loaded() = 0;

    void StartReadDelay();
    void CancelReadDelay();
    bool ReadDelayPending() const { return FDelayTimer.isActive(); }

    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // A drag moves over the control: the derived tree may scroll.
    virtual void DragMovedAt(const QPoint &) {}
    // Scrolls one line or column when `at` (control coordinates) lies in
    // the band of one font height along an edge.
    void ScrollNearEdges(const QPoint &at);

    TSystemTreeModel FModel;
    TdfsSystemImageList FImages{isSmall};
    TTreeNode *FDropTarget = nullptr;

private:
    QPointer<TdfsCustomSystemListView> FListView;
    QPointer<TdfsCustomSystemComboBox> FComboBox;
    uint16_t FReadDelay = 500;
    QTimer FDelayTimer;
    bool FLoading = false;
    bool FHandleAllocated = false;
    bool FHandleDue = false;
    int FUpdateCount = 0;
    std::unique_ptr<TDeviceWatch> FDeviceWatch;
};
