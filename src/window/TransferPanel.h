// The "Transfers" page: the queue's rows (direction, local and remote
// file, size, progress, speed, time left, state) and what the user does
// with them, by a button or a right click on the rows: Cancel (also the
// Del key), Retry Failed, Clear Finished, and Move Up / Move Down for
// queued rows.
#pragma once

#include <QWidget>

#include <vector>

class QAbstractTableModel;
class QAction;
class QSpinBox;
class QTreeView;
class TTransferRunner;

class TTransferPanel : public QWidget {
    Q_OBJECT
public:
    explicit TTransferPanel(TTransferRunner &runner, QWidget *parent = nullptr);

    QTreeView *Rows() const { return FRows; }
    // The ids of the selected rows, in row order.
    std::vector<int> SelectedIds() const;

    // Cancel, Retry Failed, Clear Finished, Move Up, Move Down: for the
    // window's menu too.
    QList<QAction *> Actions() const { return {FCancel, FRetry, FClear, FUp, FDown}; }

    void CancelSelected();
    void MoveSelected(int step);
    // How many run at once, as the runner now has it.
    void ShowSimultaneous(int count);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void UpdateButtons();
    // The columns of set texts as wide as those texts, the two paths sharing
    // the rest, until the user sizes one.
    void FitColumns();

    TTransferRunner &FRunner;
    QAbstractTableModel *FModel;
    QTreeView *FRows;
    QAction *FCancel, *FRetry, *FClear, *FUp, *FDown;
    QSpinBox *FSimultaneous = nullptr;
    bool FFitting = false, FColumnsByUser = false;
};
