#include "SystemTreeView.h"

TdfsSystemTreeView::TdfsSystemTreeView(QWidget *parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setIndentation(19);
}

void TdfsSystemTreeView::SetSelection(const QString &path)
{
    FSelection = path;
    clear();
    auto *item = new QTreeWidgetItem(this, QStringList{path});
    setCurrentItem(item);
}
