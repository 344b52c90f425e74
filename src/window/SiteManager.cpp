#include "SiteManager.h"

#include "Application.h"
#include "SiteFields.h"
#include "SiteSettingsForm.h"
#include "UserDialogs.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QUuid>
#include <QVBoxLayout>

namespace {

constexpr int SiteRole = Qt::UserRole;  // the site's index; none for a folder

bool IsSite(const QTreeWidgetItem *item)
{
    return item && item->data(0, SiteRole).isValid();
}

QString NewId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// A name typed in the tree: empty keeps the old one, one a sibling has
// gets a number.
class TNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        const auto *edit = qobject_cast<QLineEdit *>(editor);
        const QString name = edit ? edit->text().trimmed() : QString();
        if (name.isEmpty())
            return;
        model->setData(index, SiteFields::FreeName(name, [&](const QString &candidate) {
                           for (int row = 0; row < model->rowCount(index.parent()); ++row)
                               if (row != index.row() &&
                                   model->index(row, 0, index.parent()).data().toString() == candidate)
                                   return true;
                           return false;
                       }));
    }
};

QPushButton *Button(const QString &text, const char *objectName, QBoxLayout *layout)
{
    auto *button = new QPushButton(text);
    button->setObjectName(objectName);
    // Enter is OK's wherever the focus is.
    button->setAutoDefault(false);
    layout->addWidget(button);
    return button;
}

}  // namespace

TSiteManagerDialog::TSiteManagerDialog(const TSiteManagerData &data, QWidget *parent)
    : QDialog(parent), FData(data)
{
    setWindowTitle("Site Manager");
    setObjectName("dlgSiteManager");
    FTree = new QTreeWidget;
    FTree->setObjectName("tvSites");
    FTree->setAccessibleName("Sites");
    // Hidden, the header is still what a screen reader names the column.
    FTree->setHeaderLabel("Sites");
    FTree->setHeaderHidden(true);
    FTree->setDragDropMode(QAbstractItemView::InternalMove);
    FTree->setDefaultDropAction(Qt::MoveAction);
    FTree->setEditTriggers(QAbstractItemView::EditKeyPressed);
    FTree->setItemDelegate(new TNameDelegate(FTree));
    FTree->installEventFilter(this);
    // F2 renames what the tree has chosen, wherever the focus is.
    auto *rename = new QAction(this);
    rename->setShortcut(Qt::Key_F2);
    connect(rename, &QAction::triggered, this, [this] { Rename(); });
    addAction(rename);
    FForm = new TSiteSettingsForm;
    FForm->setObjectName("frSiteSettings");

    auto *left = new QWidget;
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(FTree);
    auto *buttons = new QGridLayout;
    auto *row1 = new QHBoxLayout, *row2 = new QHBoxLayout;
    connect(Button("&New Site", "btnNewSite", row1), &QPushButton::clicked, this, [this] { NewSite(); });
    connect(Button("New &Folder", "btnNewFolder", row1), &QPushButton::clicked, this, [this] { NewFolder(); });
    FDuplicate = Button("D&uplicate", "btnDuplicateSite", row1);
    connect(FDuplicate, &QPushButton::clicked, this, [this] { Duplicate(); });
    FRename = Button("&Rename", "btnRenameSite", row2);
    connect(FRename, &QPushButton::clicked, this, [this] { Rename(); });
    FDelete = Button("&Delete", "btnDeleteSite", row2);
    connect(FDelete, &QPushButton::clicked, this, [this] { Delete(); });
    connect(Button("&Export...", "btnExportSites", row2), &QPushButton::clicked, this, [this] { ExportChosen(); });
    buttons->addLayout(row1, 0, 0);
    buttons->addLayout(row2, 1, 0);
    leftLayout->addLayout(buttons);

    auto *split = new QSplitter;
    split->addWidget(left);
    split->addWidget(FForm);
    split->setStretchFactor(1, 1);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton *connectButton = box->addButton("&Connect", QDialogButtonBox::AcceptRole);
    connectButton->setObjectName("btnConnectSite");
    connect(connectButton, &QPushButton::clicked, this, [this] { FData.Connect = true; });
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split);
    layout->addWidget(box);
    resize(760, 480);

    connect(FTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *now, QTreeWidgetItem *before) { ShowChosen(now, before); });
    Fill();
}

void TSiteManagerDialog::Fill()
{
    for (const QString &folder : FData.Sites.Folders)
        FolderItem(SiteFields::PathSteps(folder));
    for (int i = 0; i < FData.Sites.Count(); ++i) {
        FSites.push_back(FData.Sites[i]);
        FOrigins.push_back(i);
        QTreeWidgetItem *item = AddSite(FolderItem(SiteFields::PathSteps(FData.Sites[i].Folder)), i);
        if (i == FData.Chosen)
            FTree->setCurrentItem(item);
    }
    FTree->expandAll();
    if (!FTree->currentItem() && FTree->topLevelItemCount() > 0)
        FTree->setCurrentItem(FTree->topLevelItem(0));
    ShowChosen(FTree->currentItem(), nullptr);
}

QTreeWidgetItem *TSiteManagerDialog::FolderItem(const QStringList &steps)
{
    QTreeWidgetItem *folder = nullptr;
    for (const QString &step : steps) {
        QTreeWidgetItem *found = nullptr;
        const int count = folder ? folder->childCount() : FTree->topLevelItemCount();
        for (int i = 0; i < count && !found; ++i) {
            QTreeWidgetItem *child = folder ? folder->child(i) : FTree->topLevelItem(i);
            if (!IsSite(child) && child->text(0) == step)
                found = child;
        }
        if (!found) {
            const QSignalBlocker blocker(FTree);
            found = folder ? new QTreeWidgetItem(folder, {step}) : new QTreeWidgetItem(FTree, {step});
            found->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
            found->setFlags(found->flags() | Qt::ItemIsEditable);
        }
        folder = found;
    }
    return folder;
}

QTreeWidgetItem *TSiteManagerDialog::AddSite(QTreeWidgetItem *folder, int index)
{
    // Made, not renamed: no word to the rename's handler.
    const QSignalBlocker blocker(FTree);
    const QStringList text{FSites[size_t(index)].Name};
    auto *item = folder ? new QTreeWidgetItem(folder, text) : new QTreeWidgetItem(FTree, text);
    item->setData(0, SiteRole, index);
    item->setIcon(0, style()->standardIcon(QStyle::SP_DriveNetIcon));
    // A site holds no other item: nothing is dropped onto it.
    item->setFlags((item->flags() | Qt::ItemIsEditable) & ~Qt::ItemIsDropEnabled);
    return item;
}

void TSiteManagerDialog::ShowChosen(QTreeWidgetItem *now, QTreeWidgetItem *before)
{
    if (IsSite(before) && before == FShown)
        FForm->Take(FSites[size_t(before->data(0, SiteRole).toInt())]);
    FShown = IsSite(now) ? now : nullptr;
    if (FShown)
        FForm->Show(FSites[size_t(now->data(0, SiteRole).toInt())]);
    else
        FForm->ShowNothing();
    FDuplicate->setEnabled(FShown != nullptr);
    FRename->setEnabled(now != nullptr);
    FDelete->setEnabled(now != nullptr);
}

QTreeWidgetItem *TSiteManagerDialog::TargetFolder() const
{
    QTreeWidgetItem *item = FTree->currentItem();
    return IsSite(item) ? item->parent() : item;
}

QStringList TSiteManagerDialog::StepsOf(const QTreeWidgetItem *folder) const
{
    QStringList steps;
    for (; folder; folder = folder->parent())
        steps.prepend(folder->text(0));
    return steps;
}

QString TSiteManagerDialog::FreeName(const QTreeWidgetItem *folder, const QString &name) const
{
    return SiteFields::FreeName(name, [&](const QString &candidate) {
        const int count = folder ? folder->childCount() : FTree->topLevelItemCount();
        for (int i = 0; i < count; ++i)
            if ((folder ? folder->child(i) : FTree->topLevelItem(i))->text(0) == candidate)
                return true;
        return false;
    });
}

void TSiteManagerDialog::NewSite()
{
    QTreeWidgetItem *folder = TargetFolder();
    TSiteEntry site;
    site.Name = FreeName(folder, "New site");
    site.Protocol = TSiteProtocol::Ftp;
    site.Id = NewId();
    FSites.push_back(site);
    FOrigins.push_back(-1);
    FTree->setCurrentItem(AddSite(folder, int(FSites.size() - 1)));
    Rename();
}

void TSiteManagerDialog::NewFolder()
{
    QTreeWidgetItem *parent = TargetFolder();
    FTree->setCurrentItem(FolderItem(StepsOf(parent) << FreeName(parent, "New folder")));
    Rename();
}

void TSiteManagerDialog::Duplicate()
{
    QTreeWidgetItem *original = FTree->currentItem();
    if (!IsSite(original))
        return;
    ShowChosen(original, original);  // what the form holds, into the copy
    TSiteEntry copy = FSites[size_t(original->data(0, SiteRole).toInt())];
    if (copy.Password.isEmpty() && copy.PasswordInStore && FData.PasswordOf)
        copy.Password = FData.PasswordOf(copy);
    copy.PasswordInStore = false;
    copy.Id = NewId();
    copy.Uid.clear();  // a site of its own
    copy.Name = FreeName(original->parent(), copy.Name);
    FSites.push_back(copy);
    FOrigins.push_back(-1);
    FTree->setCurrentItem(AddSite(original->parent(), int(FSites.size() - 1)));
    FTree->setFocus();
}

void TSiteManagerDialog::Rename()
{
    if (QTreeWidgetItem *item = FTree->currentItem()) {
        FTree->setFocus();
        FTree->editItem(item);
    }
}

void TSiteManagerDialog::Delete()
{
    QTreeWidgetItem *item = FTree->currentItem();
    if (!item)
        return;
    const std::function<int(const QTreeWidgetItem *)> sitesIn = [&](const QTreeWidgetItem *folder) {
        int count = 0;
        for (int i = 0; i < folder->childCount(); ++i)
            count += IsSite(folder->child(i)) ? 1 : sitesIn(folder->child(i));
        return count;
    };
    const int sites = sitesIn(item);
    const QString question =
        IsSite(item) ? QStringLiteral("Delete the site \"%1\" and its password?").arg(item->text(0))
        : sites > 0  ? QStringLiteral("Delete the folder \"%1\" and the %2 sites in it?").arg(item->text(0)).arg(sites)
                     : QStringLiteral("Delete the folder \"%1\"?").arg(item->text(0));
    if (!UserDialogs().Confirm(this, question))
        return;
    FShown = nullptr;
    delete item;
    ShowChosen(FTree->currentItem(), nullptr);
}

void TSiteManagerDialog::ExportChosen()
{
    if (!FData.Export)
        return;
    const TSiteManagerData edited = Result();
    const QTreeWidgetItem *item = FTree->currentItem();
    FData.Export(edited.Sites, IsSite(item) || !item ? QString() : SiteFields::JoinedPath(StepsOf(item)));
}

void TSiteManagerDialog::Collect(QTreeWidgetItem *parent, const QStringList &steps, TSiteManagerData &out)
{
    const int count = parent ? parent->childCount() : FTree->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem *item = parent ? parent->child(i) : FTree->topLevelItem(i);
        if (!IsSite(item)) {
            const QStringList inner = QStringList(steps) << item->text(0);
            out.Sites.Folders << SiteFields::JoinedPath(inner);
            Collect(item, inner, out);
            continue;
        }
        const int index = item->data(0, SiteRole).toInt();
        TSiteEntry site = FSites[size_t(index)];
        site.Name = item->text(0);
        site.Folder = SiteFields::JoinedPath(steps);
        if (item == FTree->currentItem())
            out.Chosen = out.Sites.Count();
        out.Sites.Append(site);
        out.Origins.push_back(FOrigins[size_t(index)]);
    }
}

TSiteManagerData TSiteManagerDialog::Result()
{
    if (FShown)
        FForm->Take(FSites[size_t(FShown->data(0, SiteRole).toInt())]);
    TSiteManagerData out = FData;
    out.Sites.Clear();
    out.Origins.clear();
    out.Chosen = -1;
    Collect(nullptr, {}, out);
    return out;
}

bool TSiteManagerDialog::eventFilter(QObject *watched, QEvent *event)
{
    // The tree's own keys: F2 renames (Qt's edit key), Delete deletes.
    if (watched == FTree && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        try {
            Delete();
        } catch (...) {
            TApplication::HandleException();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
