#include "RemoteView.h"

#include "Application.h"
#include "FailureText.h"
#include "FileDetails.h"
#include "IDEEnhance.h"
#include "IdException.h"
#include "ListingParser.h"
#include "RemoteName.h"
#include "RemoteSession.h"
#include "SystemImageList.h"
#include "UserDialogs.h"
#include "WindowServices.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopeGuard>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <vector>

namespace {

std::string RawNameOf(const QTreeWidgetItem *node)
{
    return node->data(0, TRemoteItemModel::RawNameRole).toByteArray().toStdString();
}

bool IsEnter(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

TRemoteView::TRemoteView(TWindowServices &window, TRemoteSession &session, TdfsSystemImageList &icons,
                         const TWidgets &widgets)
    : FWindow(window), FSession(session), FIcons(icons), W(widgets)
{
    // The items belong with the list they set the style of.
    auto *group = new QActionGroup(W.Files);
    const auto radio = [&](const char *name, const QString &text, TViewStyle style) {
        auto *item = new QAction(text, W.Files);
        item->setObjectName(name);
        item->setCheckable(true);
        item->setData(int(style));
        group->addAction(item);
        connect(item, &QAction::triggered, this, Guarded([this, style] { SetViewStyle(style); }));
        FStyleItems.append(item);
        return item;
    };
    radio("Icon1", "Icon", vsIcon);
    radio("List1", "List", vsList);
    radio("Report1", "Report", vsReport)->setChecked(true);
    radio("SmallIcon1", "Small Icon", vsSmallIcon);

    connect(W.Go, &QToolButton::clicked, this, Guarded([this] { GoClicked(); }));
    // Enter in the folder box clicks the go button.
    connect(W.FolderBox, &QLineEdit::returnPressed, W.Go, &QToolButton::click);
    // The views' keys, and a double-click anywhere in a view (empty space
    // too: it acts on the selection).
    for (QObject *watched : {static_cast<QObject *>(W.Folders),
                             static_cast<QObject *>(W.Folders->viewport()), static_cast<QObject *>(W.Files),
                             static_cast<QObject *>(W.Files->viewport())})
        watched->installEventFilter(this);
}

// ---- moving ---------------------------------------------------------------------------

void TRemoteView::ChangeFolder(const std::string &folder)
{
    FWindow.AddToLog("Change Dir: " + RemoteDisplayName(folder));
    FWindow.SetBusyCursor(true);
    // Whatever happens, the list lays itself out anew and the cursor returns.
    const auto closing = qScopeGuard([this] {
        const TViewStyle style = W.Files->ViewStyle();
        W.Files->SetViewStyle(vsIcon);
        W.Files->SetViewStyle(style);
        FWindow.SetBusyCursor(false);
    });

    FEnterRefused = false;
    try {
        FSession.EnterFolder(folder);
    } catch (...) {
        // Refused: the box shows the folder the views show.
        W.FolderBox->setText(RemoteDisplayName(FCurrentDirRaw));
        FEnterRefused = true;
        throw;
    }
    FListingCurrent = false;
    FCurrentDirRaw = FSession.CurrentFolder();
    W.FolderBox->setText(RemoteDisplayName(FCurrentDirRaw));
    FillViews();
}

bool TRemoteView::RefreshIfFree()
{
    if (!FSession.Connected() || FSession.Busy())
        return false;
    try {
        ChangeFolder(FCurrentDirRaw);
    } catch (...) {
        TApplication::HandleException();
    }
    return true;
}

void TRemoteView::EnterStartFolder(const std::string &folder)
{
    if (folder.empty()) {
        ChangeFolder(FSession.CurrentFolder());
        return;
    }
    try {
        ChangeFolder(folder);
    } catch (const EIdProtocolReplyError &refusal) {
        if (!FEnterRefused || !FSession.Connected())
            throw;
        FWindow.AddToLog(QString::fromUtf8(refusal.what()));
        ChangeFolder(FSession.CurrentFolder());
    }
}

void TRemoteView::ChooseFolder(const std::string &name)
{
    for (int i = 0; i < W.Folders->topLevelItemCount(); ++i) {
        QTreeWidgetItem *node = W.Folders->topLevelItem(i);
        if (RawNameOf(node) == name) {
            W.Folders->setCurrentItem(node);
            W.Folders->scrollToItem(node);
            W.Folders->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void TRemoteView::UpAFolder()
{
    FSession.EnterParentFolder();
    ChangeFolder(FSession.CurrentFolder());
}

TFolderListing TRemoteView::ReadListing(TRemoteItemModel::TRows &rows, std::vector<TFolderRow> &folders)
{
    size_t line = 0, hidden = 0;
    const auto count = qScopeGuard([this, &hidden] { FHidden = hidden; });
    return FSession.List(
        ListingLimits,
        [&](TListingEntry &&entry) {
            // What the filters hide is neither shown nor compared.
            if (Hides && Hides(entry)) {
                ++hidden;
                return;
            }
            if (OnEntry)
                OnEntry(entry);
            if (entry.IsFolder) {
                folders.push_back({std::move(entry.Name), std::move(entry.Permissions)});
                return;
            }
            // By the name alone: a remote name says nothing of local files.
            rows.Add(entry, FIcons.GetImageIndex(RemoteDisplayName(entry.Name), false, false, faNormal));
        },
        UseIDEHooks() ? std::function<void(std::string_view)>([&](std::string_view text) {
            FWindow.AddToLog(QString("File Entry (%1): ").arg(line++) + RemoteDisplayName(text));
        })
                      : nullptr);
}

void TRemoteView::FillViews()
{
    // The entries are taken as the lines arrive, and only they are kept:
    // a listing may be far larger than the folder it claims to be. The
    // views change at the end, at once.
    // A big folder's rows go first: two of them at once would take twice
    // the memory. A small one stays in view until the next is read.
    if (W.Files->Count() > BigFolder) {
        W.Folders->clear();
        W.Files->Items()->Clear();
    }
    std::vector<TFolderRow> folders;
    TRemoteItemModel::TRows rows;
    TFolderListing listing;
    emit ListingStarted();
    try {
        listing = ReadListing(rows, folders);
    } catch (...) {
        // Cut short by the session's end: after the login, and the user's
        // own disconnect is no failure.
        if (FSession.Connected())
            throw;
        const QString folder = RemoteDisplayName(FCurrentDirRaw);
        if (FDisconnectRequested) {
            FWindow.AddToLog(QStringLiteral("The listing of %1 was stopped by the disconnect.").arg(folder));
            throw EAbort();
        }
        throw ETransferFailed(ListingFailureText(folder, std::current_exception()));
    }
    const QStringList notes = ListingNotes(listing, ListingLimits, QStringLiteral("only the first are shown"));
    for (const QString &note : notes)
        FWindow.AddToLog(note);
    // Machine listings come in no set order; "ls" lines by name. The views
    // show the same either way.
    if (FSession.ListsUnordered()) {
        std::sort(folders.begin(), folders.end(),
                  [](const TFolderRow &a, const TFolderRow &b) { return a.Name < b.Name; });
        rows.SortByName();
    }

    W.Folders->clear();
    FListedFiles.clear();
    FListedGathered = false;
    FListingCurrent = true;
    FListedEntries = listing.Entries;
    // With the directory attribute every name gets the same folder icon.
    const QIcon folderIcon = FIcons.Icon(FIcons.GetImageIndex("..", false, false, faDirectory));
    folders.insert(folders.begin(), {"..", {}});
    for (const auto &[name, permissions] : folders) {
        auto *node = new QTreeWidgetItem(W.Folders, QStringList{RemoteDisplayName(name)});
        node->setData(0, TRemoteItemModel::RawNameRole, QByteArray(name.data(), qsizetype(name.size())));
        if (!permissions.empty())
            node->setData(0, TRemoteItemModel::PermissionsRole, QString::fromStdString(permissions));
        node->setIcon(0, folderIcon);
    }
    W.Files->Items()->Hidden = FHidden;
    W.Files->Items()->Assign(std::move(rows));
    emit Listed();
    // A folder shown in part is worth more than a line in the log: said
    // over the part that is shown.
    if (listing.Cut != TFolderListing::ctNone)
        UserDialogs().ShowMessage(FWindow.DialogOwner(), notes.last());
}

const std::unordered_set<std::string> &TRemoteView::ListedFiles() const
{
    if (!FListedGathered) {
        const TRemoteItemModel &files = *W.Files->Items();
        FListedFiles.reserve(size_t(files.rowCount()));
        for (int row = 0; row < files.rowCount(); ++row)
            FListedFiles.emplace(files.Entry(row).RawName);
        FListedGathered = true;
    }
    return FListedFiles;
}

void TRemoteView::Clear()
{
    W.Folders->clear();
    W.Files->Items()->Hidden = 0;
    W.Files->Items()->Clear();
    FListedFiles.clear();
    FListedGathered = true;
    FListingCurrent = false;
    emit ListingStarted();
    emit Listed();
}

void TRemoteView::SetOnline(bool online)
{
    if (online)
        FDisconnectRequested = false;
    W.FolderBox->setEnabled(online);
    W.Go->setEnabled(online);
}

// ---- what the views show ----------------------------------------------------------------

QString TRemoteView::FolderText() const
{
    return W.FolderBox->text();
}

void TRemoteView::SetFolderText(const QString &text)
{
    W.FolderBox->setText(text);
}

std::string TRemoteView::CurrentDirBytes() const
{
    const QString text = W.FolderBox->text();
    if (text == RemoteDisplayName(FCurrentDirRaw))
        return FCurrentDirRaw;
    return RemoteNameFromText(text);
}

std::vector<TRemoteItem> TRemoteView::SelectedFiles() const
{
    std::vector<TRemoteItem> items;
    for (int row : W.Files->SelectedRows()) {
        items.push_back({W.Files->Items()->RawName(row), W.Files->Items()->Caption(row)});
    }
    return items;
}

TRemoteView::TFocus TRemoteView::Focus() const
{
    const QWidget *focus = QApplication::focusWidget();
    if (focus == W.Folders)
        return TFocus::Folders;
    return focus == W.Files ? TFocus::Files : TFocus::Elsewhere;
}

std::optional<TRemoteItem> TRemoteView::SelectedFolder() const
{
    const QList<QTreeWidgetItem *> selected = W.Folders->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return TRemoteItem{RawNameOf(selected.front()), selected.front()->text(0),
                       selected.front()->data(0, TRemoteItemModel::PermissionsRole).toString().toStdString()};
}

bool TRemoteView::IsFileList(const QObject *source) const
{
    return source == W.Files;
}

bool TRemoteView::IsFolderTree(const QObject *source) const
{
    return source == W.Folders;
}

QString TRemoteView::DetailsState() const
{
    return W.Files->Details().State();
}

void TRemoteView::SetDetailsState(const QString &state)
{
    W.Files->Details().SetState(state);
}

TViewStyle TRemoteView::ViewStyle() const
{
    return W.Files->ViewStyle();
}

void TRemoteView::SetViewStyle(TViewStyle style)
{
    W.Files->SetViewStyle(style);
    // The radio items follow the style, also when it comes from the settings.
    for (QAction *item : FStyleItems)
        if (item->data().toInt() == style)
            item->setChecked(true);
}

// ---- inputs ---------------------------------------------------------------------------

void TRemoteView::GoClicked()
{
    ChangeFolder(CurrentDirBytes());
}

void TRemoteView::FolderTreeActivated()
{
    if (const QTreeWidgetItem *node = W.Folders->currentItem())
        ChangeFolder(RawNameOf(node));
}

bool TRemoteView::ViewKeyPress(QKeyEvent *key, bool tree)
{
    if (IsEnter(key)) {
        if (tree)
            FolderTreeActivated();
        else
            emit FileActivated();
        return true;
    }
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    // As in file managers: F5 reads the folder anew, Backspace goes up.
    if (key->key() == Qt::Key_F5) {
        // Also where the server ended the session: this connects again.
        if (FWindow.Online())
            ChangeFolder(FCurrentDirRaw);
        return true;
    }
    if (key->key() == Qt::Key_Backspace) {
        emit UpRequested();
        return true;
    }
    if (key->key() == Qt::Key_F2) {
        emit RenameRequested();
        return true;
    }
    return false;
}

bool TRemoteView::eventFilter(QObject *watched, QEvent *event)
{
    try {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (watched == W.Folders || watched == W.Files)
                return ViewKeyPress(key, watched == W.Folders);
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            if (watched == W.Folders->viewport())
                FolderTreeActivated();
            else if (watched == W.Files->viewport())
                emit FileActivated();
        }
    } catch (...) {
        TApplication::HandleException();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
