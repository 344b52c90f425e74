// The local folder tree. For now a plain tree that keeps the selected path
// and shows it as its one item; the window talks to it only through
// Selection, so the full tree can take its place unchanged.
#pragma once

#include <QTreeWidget>

class TdfsSystemTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TdfsSystemTreeView(QWidget *parent = nullptr);

    QString Selection() const { return FSelection; }
    void SetSelection(const QString &path);

private:
    QString FSelection;
};
