#include "SystemControlPack.h"

#include "DeviceWatch.h"
#include "ShellNamespace.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QEvent>
#include <QMessageBox>
#include <QScrollBar>
#include <QTimer>

#include <atomic>
#include <cstdio>

// ---- folder data ------------------------------------------------------------------

namespace {
std::atomic<long> LiveFolderData{0};
}

TFolderItemData::TFolderItemData()
{
    ++LiveFolderData;
}

TFolderItemData::~TFolderItemData()
{
    --LiveFolderData;
}

void TFolderItemData::Renamed(TPidl relative, PCItemIDList parentAbsolute)
{
    RelativeId = std::move(relative);
    AbsoluteId = parentAbsolute ? ConcatPidls(parentAbsolute, RelativeId.get()) : CopyPidl(RelativeId.get());
}

long TFolderItemData::LiveCount()
{
    return LiveFolderData;
}

int CheckFolderDataFreed(int status)
{
    if (TFolderItemData::LiveCount() == 0)
        return status;
    std::fputs("Memory Leak Detected.  Not all folder data was freed.\n", stderr);
    return status != 0 ? status : 1;
}

int RootFolderCsidl(TRootFolder root)
{
    static const int csidl[] = {
        CSIDL_DESKTOP,  CSIDL_BITBUCKET, CSIDL_CONTROLS, CSIDL_DESKTOPDIRECTORY, CSIDL_DRIVES,  CSIDL_FAVORITES,
        CSIDL_FONTS,    CSIDL_NETWORK,   CSIDL_NETHOOD,  CSIDL_PERSONAL,         CSIDL_PRINTERS, CSIDL_PROGRAMS,
        CSIDL_RECENT,   CSIDL_SENDTO,    CSIDL_STARTMENU, CSIDL_STARTUP,         CSIDL_TEMPLATES, CSIDL_DRIVES,
        -1,
    };
    return csidl[root];
}

// ---- reaching the user ----------------------------------------------------------------

namespace {
std::function<void(QWidget *, const QString &)> ErrorHandler;
std::function<void(const QString &)> HintHandler;
}  // namespace

void ShellUi::ShowError(QWidget *owner, const QString &text)
{
    if (ErrorHandler)
        ErrorHandler(owner, text);
    else
        QMessageBox::critical(owner, QApplication::applicationName(), text);
}

void ShellUi::SetHint(const QString &hint)
{
    if (HintHandler)
        HintHandler(hint);
}

void ShellUi::SetErrorHandler(std::function<void(QWidget *, const QString &)> handler)
{
    ErrorHandler = std::move(handler);
}

void ShellUi::SetHintHandler(std::function<void(const QString &)> handler)
{
    HintHandler = std::move(handler);
}

// ---- linked views ------------------------------------------------------------------------

void TdfsCustomSystemListView::TreeChanged(int, PCItemIDList) {}

void TdfsCustomSystemListView::ReportFolder(PCItemIDList absoluteId)
{
    if (Tree)
        Tree->LinkedViewChanged(this, absoluteId);
}

void TdfsCustomSystemComboBox::TreeChanged(int, PCItemIDList) {}

void TdfsCustomSystemComboBox::ReportFolder(PCItemIDList absoluteId)
{
    if (Tree)
        Tree->LinkedViewChanged(this, absoluteId);
}

// ---- the base control -----------------------------------------------------------------

namespace {
// The first tree made hooks the device notices; only it hears them.
TdfsCustomSystemTreeView *DeviceHookOwner = nullptr;
}

TdfsCustomSystemTreeView::TdfsCustomSystemTreeView(QWidget *parent) : QTreeView(parent)
{
    FDelayTimer.setSingleShot(true);
    connect(&FDelayTimer, &QTimer::timeout, this, [this] { Guarded([this] { ReadDelayElapsed(); }); });
    if (!DeviceHookOwner) {
        DeviceHookOwner = this;
        FDeviceWatch = std::make_unique<TDeviceWatch>([this] { Guarded([this] { DeviceChanged(); }); });
    }
}

TdfsCustomSystemTreeView::~TdfsCustomSystemTreeView()
{
    FDelayTimer.stop();
    if (DeviceHookOwner == this)
        DeviceHookOwner = nullptr;
}

TTreeNode *TdfsCustomSystemTreeView::Selected() const
{
    HandleNeeded();
    return FModel.NodeOf(currentIndex());
}

void TdfsCustomSystemTreeView::SetSelected(TTreeNode *node)
{
    setCurrentIndex(FModel.IndexOf(node));
}

TTreeNode *TdfsCustomSystemTreeView::GetNodeAt(const QPoint &viewportPoint) const
{
    return FModel.NodeOf(indexAt(viewportPoint));
}

bool TdfsCustomSystemTreeView::IsExpanded(TTreeNode *node) const
{
    return node && isExpanded(FModel.IndexOf(node));
}

void TdfsCustomSystemTreeView::Collapse(TTreeNode *node)
{
    collapse(FModel.IndexOf(node));
}

void TdfsCustomSystemTreeView::MakeVisible(TTreeNode *node)
{
    if (node)
        scrollTo(FModel.IndexOf(node));
}

void TdfsCustomSystemTreeView::EditLabel(TTreeNode *node)
{
    if (!node)
        return;
    // Wait for a menu that is closing to hand the focus back first: an
    // editor that loses the focus ends at once.
    const QPersistentModelIndex index(FModel.IndexOf(node));
    QMetaObject::invokeMethod(
        this,
        [this, index] {
            if (index.isValid())
                edit(index);
        },
        Qt::QueuedConnection);
}

void TdfsCustomSystemTreeView::SetListView(TdfsCustomSystemListView *view)
{
    FListView = view;
}

void TdfsCustomSystemTreeView::SetComboBox(TdfsCustomSystemComboBox *box)
{
    FComboBox = box;
}

void TdfsCustomSystemTreeView::BeginLoading()
{
    FLoading = true;
}

void TdfsCustomSystemTreeView::EndLoading()
{
    FLoading = false;
    Loaded();
}

void TdfsCustomSystemTreeView::BeginUpdate()
{
    if (FUpdateCount++ == 0)
        setUpdatesEnabled(false);
}

void TdfsCustomSystemTreeView::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        setUpdatesEnabled(true);
}

void TdfsCustomSystemTreeView::LinkedViewChanged(QObject *, PCItemIDList absoluteId)
{
    SelectLinkedItem(absoluteId);
}

void TdfsCustomSystemTreeView::RecreateWnd()
{
    if (!FHandleAllocated)
        return;
    DestroyWnd();
    CreateWnd();
}

void TdfsCustomSystemTreeView::Guarded(const std::function<void()> &action)
{
    try {
        action();
    } catch (const std::exception &error) {
        ShellUi::ShowError(GetValidHandle(), QString::fromUtf8(error.what()));
    }
}

void TdfsCustomSystemTreeView::DeviceChanged()
{
    Reset();
}

void TdfsCustomSystemTreeView::LoadSystemImages()
{
    FImages.LoadImages(true);
}

QWidget *TdfsCustomSystemTreeView::GetValidHandle()
{
    if (FHandleAllocated)
        return this;
    if (parentWidget())
        return parentWidget();
    if (QWidget *form = window(); form && form != this)
        return form;
    return QApplication::activeWindow();
}

void TdfsCustomSystemTreeView::NotifyLinkedViews(int kind)
{
    if (FListView)
        FListView->TreeChanged(kind, SelectedIdForLinks());
    if (FComboBox)
        FComboBox->TreeChanged(kind, SelectedIdForLinks());
}

void TdfsCustomSystemTreeView::StartReadDelay()
{
    FDelayTimer.start(FReadDelay);
}

void TdfsCustomSystemTreeView::CancelReadDelay()
{
    FDelayTimer.stop();
}

void TdfsCustomSystemTreeView::HandleNeeded() const
{
    if (!FHandleDue)
        return;
    auto *self = const_cast<TdfsCustomSystemTreeView *>(this);
    self->FHandleDue = false;
    self->FHandleAllocated = true;
    self->Guarded([self] { self->CreateWnd(); });
}

bool TdfsCustomSystemTreeView::event(QEvent *event)
{
    if (event->type() == QEvent::Show && !FHandleAllocated)
        FHandleDue = true;
    return QTreeView::event(event);
}

bool TdfsCustomSystemTreeView::viewportEvent(QEvent *event)
{
    const bool handled = QTreeView::viewportEvent(event);
    // The zero timer runs once this frame is on the screen.
    if (event->type() == QEvent::Paint && FHandleDue)
        QTimer::singleShot(0, this, [this] { HandleNeeded(); });
    return handled;
}

void TdfsCustomSystemTreeView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        LoadSystemImages();
        viewport()->update();
    }
    QTreeView::changeEvent(event);
}

// The tree adds nothing to dragging: the owner decides what to accept.
void TdfsCustomSystemTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    event->acceptProposedAction();
}

void TdfsCustomSystemTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    const QPoint at = event->position().toPoint();
    FDropTarget = GetNodeAt(at);
    DragMovedAt(viewport()->mapTo(this, at));
    bool accept = false;
    if (OnDragOver)
        OnDragOver(this, event->source(), at.x(), at.y(), accept);
    if (accept)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TdfsCustomSystemTreeView::dragLeaveEvent(QDragLeaveEvent *event)
{
    FDropTarget = nullptr;
    event->accept();
}

void TdfsCustomSystemTreeView::dropEvent(QDropEvent *event)
{
    const QPoint at = event->position().toPoint();
    FDropTarget = GetNodeAt(at);
    if (OnDragDrop)
        OnDragDrop(this, event->source(), at.x(), at.y(), event->mimeData());
    FDropTarget = nullptr;
    event->acceptProposedAction();
}

void TdfsCustomSystemTreeView::ScrollNearEdges(const QPoint &at)
{
    const int band = qAbs(fontMetrics().height());
    const int bottom = height() - (verticalScrollBar()->maximum() > 0 ? 16 : 0) - band;
    const int right = width() - (horizontalScrollBar()->maximum() > 0 ? 16 : 0) - band;
    if (at.y() < band)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (at.y() > bottom)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (at.x() < band)
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (at.x() > right)
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}
