#include "RemoteSearchDialog.h"

#include "Application.h"
#include "ByteUnits.h"
#include "FileFacts.h"
#include "IdLocalPath.h"
#include "RemoteName.h"
#include "RemoteView.h"
#include "TransferRunner.h"
#include "Transfers.h"
#include "UserDialogs.h"
#include "WindowServices.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <set>

TRemoteSearchDialog::TRemoteSearchDialog(TWindowServices &window, const TParts &parts, const TSessionMaker &make,
                                         QWidget *parent)
    : QDialog(parent), FWindow(window), P(parts), FSearch(make)
{
    setWindowTitle("Find Remote Files");
    setObjectName("dlgRemoteSearch");
    FNames = new QLineEdit;
    FNames->setObjectName("edSearchNames");
    FNames->setPlaceholderText("*.php;config*");
    const auto sizeField = [](const char *name) {
        auto *field = new QLineEdit;
        field->setObjectName(name);
        field->setPlaceholderText("Any");
        field->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,18}"), field));
        return field;
    };
    FMinSize = sizeField("edSearchMinSize");
    FMaxSize = sizeField("edSearchMaxSize");
    FSinceOn = new QCheckBox("Changed &since:");
    FSinceOn->setObjectName("cbSearchSince");
    FSince = new QDateEdit(QDate::currentDate().addDays(-7));
    FSince->setObjectName("deSearchSince");
    // Named by what it is, not by the date it holds.
    FSince->setAccessibleName("Changed since");
    FSince->setCalendarPopup(true);
    FSince->setEnabled(false);
    connect(FSinceOn, &QCheckBox::toggled, FSince, &QWidget::setEnabled);
    FDepth = new QSpinBox;
    FDepth->setObjectName("seSearchDepth");
    FDepth->setRange(1, 100);
    FDepth->setValue(10);
    auto *form = new QFormLayout;
    form->addRow("&Names:", FNames);
    form->addRow("At &least (bytes):", FMinSize);
    form->addRow("At &most (bytes):", FMaxSize);
    form->addRow(FSinceOn, FSince);
    form->addRow("Levels &deep:", FDepth);

    FFind = new QPushButton("&Find");
    FFind->setObjectName("btnSearchFind");
    FFind->setDefault(true);
    connect(FFind, &QPushButton::clicked, this, Guarded([this] { StartOrStop(); }));
    FList = new QTreeWidget;
    FList->setObjectName("tvSearchResults");
    FList->setAccessibleName("Found files");
    FList->setHeaderLabels({"Name", "Folder", "Size", "Modified"});
    FList->setRootIsDecorated(false);
    FList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FList->header()->resizeSection(0, 200);
    FList->header()->resizeSection(1, 220);
    FStatus = new QLabel;
    FStatus->setObjectName("lbSearchStatus");
    FDownload = new QPushButton("Do&wnload");
    FDelete = new QPushButton("D&elete");
    FOpen = new QPushButton("&Open Folder");
    for (QPushButton *button : {FDownload, FDelete, FOpen})
        button->setAutoDefault(false);
    connect(FDownload, &QPushButton::clicked, this, Guarded([this] { DownloadChosen(); }));
    connect(FDelete, &QPushButton::clicked, this, Guarded([this] { DeleteChosen(); }));
    connect(FOpen, &QPushButton::clicked, this, Guarded([this] { OpenFolderOfChosen(); }));
    connect(FList, &QTreeWidget::itemActivated, this, Guarded([this] { OpenFolderOfChosen(); }));

    auto *top = new QHBoxLayout;
    top->addLayout(form, 1);
    top->addWidget(FFind, 0, Qt::AlignTop);
    auto *actions = new QHBoxLayout;
    actions->addWidget(FStatus, 1);
    for (QPushButton *button : {FDownload, FDelete, FOpen})
        actions->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(FList, 1);
    layout->addLayout(actions);
    resize(700, 450);

    FSearch.OnFound = [this](const TSearchResult &result) { Found(result); };
    FSearch.OnEnded = [this](const QString &summary) { Ended(summary); };
}

void TRemoteSearchDialog::Begin()
{
    FTop = P.RemoteView.ListedFolder();
    setWindowTitle("Find Remote Files in " + RemoteDisplayName(FTop));
    show();
    raise();
    activateWindow();
    FNames->setFocus();
}

void TRemoteSearchDialog::StartOrStop()
{
    if (FSearch.Running()) {
        FSearch.Stop();
        return;
    }
    if (!FWindow.Online() || FTop.empty())
        return;
    TSearchCriteria criteria;
    criteria.Names = FNames->text();
    criteria.MinSize = FMinSize->text().isEmpty() ? -1 : FMinSize->text().toLongLong();
    criteria.MaxSize = FMaxSize->text().isEmpty() ? -1 : FMaxSize->text().toLongLong();
    criteria.ChangedSince = FSinceOn->isChecked() ? FSince->date().startOfDay(Qt::UTC).toSecsSinceEpoch() : -1;
    criteria.MaxDepth = FDepth->value();
    FList->clear();
    FResults.clear();
    FStatus->setText("Searching...");
    FFind->setText("&Stop");
    FSearch.Start(P.Runner.Session(), FTop, criteria);
}

void TRemoteSearchDialog::Found(const TSearchResult &result)
{
    FResults.push_back(result);
    const TListingEntry &entry = result.Entry;
    const bool folder = entry.IsFolder && !entry.IsLink;
    auto *item = new QTreeWidgetItem(FList, {RemoteDisplayName(entry.Name) + (folder ? "/" : ""),
                                             RemoteDisplayName(result.Folder),
                                             entry.Size >= 0 ? ByteText(entry.Size) : QString(),
                                             ListingTimeText(entry.Time, QDate::currentDate().year())});
    item->setData(0, Qt::UserRole, int(FResults.size() - 1));
    FStatus->setText(QStringLiteral("%1 found...").arg(FResults.size()));
}

void TRemoteSearchDialog::Ended(const QString &summary)
{
    FStatus->setText(summary);
    FFind->setText("&Find");
}

std::vector<TSearchResult> TRemoteSearchDialog::Chosen() const
{
    std::vector<TSearchResult> chosen;
    for (const QTreeWidgetItem *item : FList->selectedItems())
        chosen.push_back(FResults[size_t(item->data(0, Qt::UserRole).toInt())]);
    return chosen;
}

void TRemoteSearchDialog::DownloadChosen()
{
    const std::string local = P.Transfers.LocalTargetFolder();
    if (local.empty()) {
        UserDialogs().ShowMessage(this, "Choose the local folder to download into in the local tree first.");
        return;
    }
    std::vector<TTransferItem> items;
    for (const TSearchResult &result : Chosen()) {
        TTransferItem item;
        item.Direction = TTransferDirection::Download;
        item.RemoteFolder = result.Folder;
        item.RemoteName = result.Entry.Name;
        item.LocalPath = local + LocalNameFor(result.Entry.Name);
        item.Folder = result.Entry.IsFolder && !result.Entry.IsLink;
        item.Link = result.Entry.IsLink;
        item.Size = result.Entry.Size;
        items.push_back(std::move(item));
    }
    if (!items.empty())
        P.Runner.Enqueue(std::move(items));
}

void TRemoteSearchDialog::DeleteChosen()
{
    std::vector<TSearchResult> files;
    for (const TSearchResult &result : Chosen())
        if (!result.Entry.IsFolder || result.Entry.IsLink)
            files.push_back(result);
    if (files.empty() || !FWindow.Online())
        return;
    if (!UserDialogs().Confirm(this, QStringLiteral("Delete %1 from the server? This cannot be undone.")
                                         .arg(files.size() == 1 ? '"' + RemoteDisplayName(files[0].Entry.Name) + '"'
                                                                : QStringLiteral("%1 files").arg(files.size()))))
        return;
    std::set<std::string> gone;
    for (const TSearchResult &result : files) {
        const std::string path = RemoteJoin(result.Folder, result.Entry.Name);
        P.Browsing.Delete(path);
        gone.insert(path);
        FWindow.AddToLog("Deleted " + RemoteDisplayName(path));
    }
    for (int i = FList->topLevelItemCount() - 1; i >= 0; --i) {
        const TSearchResult &result = FResults[size_t(FList->topLevelItem(i)->data(0, Qt::UserRole).toInt())];
        if (gone.count(RemoteJoin(result.Folder, result.Entry.Name)))
            delete FList->takeTopLevelItem(i);
    }
    P.RemoteView.RefreshIfFree();
}

void TRemoteSearchDialog::OpenFolderOfChosen()
{
    const std::vector<TSearchResult> chosen = Chosen();
    if (chosen.empty() || !FWindow.Online())
        return;
    P.RemoteView.ChangeFolder(chosen.front().Folder);
}
