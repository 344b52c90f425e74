#include "TransferPanel.h"

#include "Application.h"
#include "ByteUnits.h"
#include "NameBytes.h"
#include "RemoteName.h"
#include "TransferRunner.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The queue as the page's rows; it follows the queue's own reports.
class TTransferRowsModel : public QAbstractTableModel {
public:
    enum TColumn { Direction, Local, Remote, Size, Progress, Speed, TimeLeft, State, ColumnCount };

    TTransferRowsModel(TTransferQueue &queue, QObject *parent) : QAbstractTableModel(parent), FQueue(queue)
    {
        FQueue.OnReset = [this] {
            FFlush.stop();
            FFirstDirty = FLastDirty = -1;
            beginResetModel();
            endResetModel();
        };
        // Rows change as fast as small files end: the view hears of them a
        // few times a second, not at each, which would repaint it each time.
        FFlush.setSingleShot(true);
        FFlush.setInterval(FlushInterval);
        QObject::connect(&FFlush, &QTimer::timeout, this, [this] { Flush(); });
        FQueue.OnRowChanged = [this](int row) {
            if (row < 0)
                return;
            FFirstDirty = FFirstDirty < 0 ? row : std::min(FFirstDirty, row);
            FLastDirty = std::max(FLastDirty, row);
            if (!FFlush.isActive())
                FFlush.start();
        };
    }
    ~TTransferRowsModel() override
    {
        FQueue.OnReset = nullptr;
        FQueue.OnRowChanged = nullptr;
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(FQueue.Items().size());
    }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char *const titles[] = {"Direction", "Local file", "Remote file", "Size",
                                             "Progress",  "Speed",      "Time left",   "State"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
            return QString::fromLatin1(titles[section]);
        return {};
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const TTransferItem &item = FQueue.Items()[size_t(index.row())];
        // The whole of what a narrow column cuts short.
        if (role == Qt::ToolTipRole && (index.column() == Local || index.column() == Remote || index.column() == State))
            return Text(item, index.column());
        if (role == Qt::ToolTipRole && !item.Reason.isEmpty())
            return TransferStateText(item);
        if (role == Qt::TextAlignmentRole && index.column() >= Size && index.column() <= TimeLeft)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return {};
        return Text(item, index.column());
    }

    static constexpr int FlushInterval = 100;

private:
    void Flush()
    {
        if (FFirstDirty < 0)
            return;
        const int last = std::min(FLastDirty, rowCount() - 1);
        if (last >= FFirstDirty)
            emit dataChanged(index(FFirstDirty, 0), index(last, ColumnCount - 1));
        FFirstDirty = FLastDirty = -1;
    }

    static QString Text(const TTransferItem &item, int column)
    {
        const bool running = item.State == TTransferState::Transferring;
        switch (column) {
        case Direction: {
            const QString way = item.Direction == TTransferDirection::Download ? QStringLiteral("Download")
                                : item.Direction == TTransferDirection::Upload ? QStringLiteral("Upload")
                                                                                : QStringLiteral("Delete");
            return item.Folder ? way + " folder" : way;
        }
        case Local:
            return TextFromBytes(item.LocalPath);
        case Remote:
            return RemoteDisplayName(RemoteJoin(item.RemoteFolder, item.RemoteName));
        case Size:
            return item.Size >= 0 ? ByteText(item.Size) : QString();
        case Progress:
            if (item.State == TTransferState::Done)
                return QStringLiteral("100 %");
            if (!running)
                return {};
            if (item.Size > 0)
                return QStringLiteral("%1 % (%2)")
                    .arg(int(std::min<__int128>(100, __int128(item.Done) * 100 / item.Size)))
                    .arg(ByteText(item.Done));
            return ByteText(item.Done);
        case Speed:
            return running && item.Speed > 0 ? RateText(item.Speed) : QString();
        case TimeLeft:
            return running && item.Size >= 0 ? TimeLeftText(item.Size - item.Done, item.Speed) : QString();
        case State:
            return TransferStateText(item);
        }
        return {};
    }

    TTransferQueue &FQueue;
    QTimer FFlush;
    // The rows changed since the view last heard, or -1.
    int FFirstDirty = -1, FLastDirty = -1;
};

// A reason reads from its start: the state first, then why.
class TStateDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideRight;
    }
};

QAction *Action(const QString &text, const QString &hint, QWidget *owner)
{
    auto *action = new QAction(text, owner);
    // A button shows the icon text: with its mnemonic, Alt and the letter.
    action->setIconText(text);
    action->setToolTip(hint);
    return action;
}

QToolButton *Button(QAction *action, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setAccessibleName(action->text().section('&', 0, 0) + action->text().section('&', 1));
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

}  // namespace

TTransferPanel::TTransferPanel(TTransferRunner &runner, QWidget *parent)
    : QWidget(parent), FRunner(runner), FModel(new TTransferRowsModel(runner.Queue(), this)), FRows(new QTreeView(this))
{
    FRows->setObjectName("tvTransfers");
    FRows->setAccessibleName("Transfers");
    FRows->setModel(FModel);
    FRows->setRootIsDecorated(false);
    FRows->setUniformRowHeights(true);
    FRows->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FRows->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Paths keep both ends, the folder's start and the file's name.
    FRows->setTextElideMode(Qt::ElideMiddle);
    FRows->setItemDelegateForColumn(TTransferRowsModel::State, new TStateDelegate(FRows));
    FRows->header()->setStretchLastSection(true);
    FRows->installEventFilter(this);
    FRows->viewport()->installEventFilter(this);
    // A column the user sizes keeps its width from then on.
    connect(FRows->header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (!FFitting && column != TTransferRowsModel::ColumnCount - 1)
            FColumnsByUser = true;
    });
    // The log's pane may be made low; the rows scroll.
    FRows->setMinimumHeight(FRows->fontMetrics().height() * 2);

    FCancel = Action("&Cancel", "Cancel the selected transfers (Del).", this);
    FRetry = Action("&Retry Failed", "Queue the failed transfers again.", this);
    FClear = Action("C&lear Finished", "Remove the transfers that are done or cancelled.", this);
    FUp = Action("Move &Up", "Move the selected queued transfer up.", this);
    FDown = Action("Move Do&wn", "Move the selected queued transfer down.", this);
    connect(FCancel, &QAction::triggered, this, [this] { CancelSelected(); });
    connect(FRetry, &QAction::triggered, this, [this] { FRunner.RetryFailed(); });
    connect(FClear, &QAction::triggered, this, [this] { FRunner.Queue().ClearFinished(); });
    connect(FUp, &QAction::triggered, this, [this] { MoveSelected(-1); });
    connect(FDown, &QAction::triggered, this, [this] { MoveSelected(+1); });
    // The same actions on a right click in the rows, as in a file manager.
    auto *separator = new QAction(this);
    separator->setSeparator(true);
    FRows->addActions({FCancel, FRetry, FClear, separator, FUp, FDown});
    FRows->setContextMenuPolicy(Qt::ActionsContextMenu);

    // How many run at once, each on a connection of its own.
    auto *simultaneous = new QSpinBox(this);
    simultaneous->setObjectName("seSimultaneous");
    simultaneous->setAccessibleName("Simultaneous transfers");
    // Its text field takes the focus: a screen reader names it too.
    if (auto *field = simultaneous->findChild<QLineEdit *>())
        field->setAccessibleName("Simultaneous transfers");
    simultaneous->setRange(1, TTransferRunner::MaxSimultaneous);
    simultaneous->setValue(runner.Simultaneous());
    simultaneous->setToolTip("How many transfers run at once, each on a connection of its own.");
    auto *simultaneousLabel = new QLabel("&Simultaneous transfers:", this);
    simultaneousLabel->setBuddy(simultaneous);
    connect(simultaneous, &QSpinBox::valueChanged, &runner, &TTransferRunner::SetSimultaneous);
    FSimultaneous = simultaneous;

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    for (QAction *action : {FCancel, FRetry, FClear, FUp, FDown})
        buttons->addWidget(Button(action, this));
    buttons->addStretch(1);
    buttons->addWidget(simultaneousLabel);
    buttons->addWidget(simultaneous);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(buttons);
    layout->addWidget(FRows, 1);

    connect(FModel, &QAbstractItemModel::modelReset, this, [this] { UpdateButtons(); });
    connect(FModel, &QAbstractItemModel::dataChanged, this, [this] { UpdateButtons(); });
    connect(FRows->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateButtons(); });
    UpdateButtons();
}

std::vector<int> TTransferPanel::SelectedIds() const
{
    std::vector<int> rows;
    for (const QModelIndex &index : FRows->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<int> ids;
    for (const int row : rows)
        ids.push_back(FRunner.Queue().Items()[size_t(row)].Id);
    return ids;
}

void TTransferPanel::CancelSelected()
{
    FRunner.Cancel(SelectedIds());
}

void TTransferPanel::MoveSelected(int step)
{
    const std::vector<int> ids = SelectedIds();
    if (ids.size() != 1)
        return;
    if (FRunner.Move(ids.front(), step))
        FRows->setCurrentIndex(FModel->index(FRunner.Queue().RowOf(ids.front()), 0));
}

void TTransferPanel::UpdateButtons()
{
    const std::vector<int> ids = SelectedIds();
    const TTransferQueue &queue = FRunner.Queue();
    const auto selectedIn = [&](std::initializer_list<TTransferState> states) {
        return std::any_of(ids.begin(), ids.end(), [&](int id) {
            const TTransferItem *item = queue.Find(id);
            return item && std::find(states.begin(), states.end(), item->State) != states.end();
        });
    };
    const auto anyIn = [&](std::initializer_list<TTransferState> states) {
        return std::any_of(states.begin(), states.end(), [&](TTransferState state) { return queue.Count(state) > 0; });
    };
    FCancel->setEnabled(selectedIn({TTransferState::Queued, TTransferState::Transferring, TTransferState::Failed}));
    FRetry->setEnabled(anyIn({TTransferState::Failed}));
    FClear->setEnabled(anyIn({TTransferState::Done, TTransferState::Cancelled}));
    const bool oneQueued = ids.size() == 1 && selectedIn({TTransferState::Queued});
    FUp->setEnabled(oneQueued);
    FDown->setEnabled(oneQueued);
}

void TTransferPanel::FitColumns()
{
    if (FColumnsByUser)
        return;
    using M = TTransferRowsModel;
    const QFontMetrics metrics = FRows->fontMetrics();
    const int margin = 2 * FRows->style()->pixelMetric(QStyle::PM_HeaderMargin) + 2 * metrics.averageCharWidth();
    const auto fit = [&](std::initializer_list<QString> texts) {
        int width = 0;
        for (const QString &text : texts)
            width = std::max(width, metrics.horizontalAdvance(text));
        return width + margin;
    };
    // Each as wide as the longest text it can show; the paths share what is
    // left with the state, which takes the spare width for its reason.
    const QString size = ByteText(999'900'000'000);
    const int widths[M::ColumnCount] = {
        fit({"Download folder", "Upload folder", "Delete folder"}), 0, 0, fit({size}),
        fit({"100 % (" + size + ")"}), fit({RateText(999.9e9)}), fit({TimeLeftText(359'999, 1), "Time left"}),
        fit({"Transferring"})};
    int rest = FRows->viewport()->width();
    for (const int width : widths)
        rest -= width;
    const int path = std::max(rest / 3, 16 * metrics.averageCharWidth());
    FFitting = true;
    for (int column = 0; column < M::ColumnCount; ++column)
        FRows->header()->resizeSection(column, column == M::Local || column == M::Remote ? path : widths[column]);
    FFitting = false;
}

bool TTransferPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FRows->viewport() && event->type() == QEvent::Resize)
        FitColumns();
    const bool del = watched == FRows &&
                     (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
                     static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete &&
                     static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier;
    // Del here cancels transfers; the window's Del (delete on the server)
    // must not see it.
    if (del && event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (del) {
        try {
            CancelSelected();
        } catch (...) {
            TApplication::HandleException();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TTransferPanel::ShowSimultaneous(int count)
{
    FSimultaneous->setValue(count);
}
