#include "RemoteView.h"

#include "IDEEnhance.h"
#include "IdException.h"
#include "ListingParser.h"
#include "MainForm.h"
#include "RemoteName.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopeGuard>
#include <QToolButton>
#include <QTreeWidget>

void TRemoteView::ChangeFolder(const std::string &folder)
{
    F.AddToLog("Change Dir: " + RemoteDisplayName(folder));
    F.SetBusyCursor(true);
    // Whatever happens, the list lays itself out anew and the cursor returns.
    const auto closing = qScopeGuard([this] {
        const TViewStyle style = F.lvFiles->ViewStyle();
        F.lvFiles->SetViewStyle(vsIcon);
        F.lvFiles->SetViewStyle(style);
        F.SetBusyCursor(false);
    });

    FEnterRefused = false;
    try {
        F.FTP.EnterFolder(folder);
    } catch (...) {
        // Refused: the box shows the folder the views show.
        F.edCurrentDir->setText(RemoteDisplayName(FCurrentDirRaw));
        FEnterRefused = true;
        throw;
    }
    FListingCurrent = false;
    F.FTP.SetTransferType(ftASCII);
    FCurrentDirRaw = F.FTP.QueryCurrentFolder();
    F.edCurrentDir->setText(RemoteDisplayName(FCurrentDirRaw));
    F.lbDirectory.clear();
    F.FTP.List(F.lbDirectory, "", true);
    FillViews();
}

void TRemoteView::EnterStartFolder(const std::string &folder)
{
    if (folder.empty()) {
        ChangeFolder(F.FTP.QueryCurrentFolder());
        return;
    }
    try {
        ChangeFolder(folder);
    } catch (const EIdProtocolReplyError &refusal) {
        if (!FEnterRefused || !F.FTP.Connected())
            throw;
        F.AddToLog(QString::fromUtf8(refusal.what()));
        ChangeFolder(F.FTP.QueryCurrentFolder());
    }
}

void TRemoteView::FillViews()
{
    F.tvFolders->clear();
    FListedFiles.clear();
    FListingCurrent = true;
    const bool hooks = UseIDEHooks();
    // With the directory attribute every name gets the same folder icon.
    const QIcon folderIcon = F.ilSystem.Icon(F.ilSystem.GetImageIndex("..", false, false, faDirectory));
    const auto addFolder = [this, &folderIcon](const std::string &name) {
        auto *node = new QTreeWidgetItem(F.tvFolders, QStringList{RemoteDisplayName(name)});
        node->setData(0, TRemoteItemModel::RawNameRole, QByteArray(name.data(), qsizetype(name.size())));
        node->setIcon(0, folderIcon);
    };
    addFolder("..");
    TRemoteItemModel *files = F.lvFiles->Items();
    files->BeginAppend();
    const auto endAppend = qScopeGuard([files] { files->EndAppend(); });
    for (size_t i = 0; i < F.lbDirectory.size(); ++i) {
        const std::string &line = F.lbDirectory[i];
        if (hooks)
            F.AddToLog(QString("File Entry (%1): ").arg(i) + RemoteDisplayName(line));
        TListingEntry entry = ParseListingLine(line);
        if (entry.Skip)
            continue;
        if (entry.IsFolder) {
            addFolder(entry.Name);
        } else {
            const QString caption = RemoteDisplayName(entry.Name);
            // By the name alone: a remote name says nothing of local files.
            const int image = F.ilSystem.GetImageIndex(caption, false, false, faNormal);
            FListedFiles.insert(entry.Name);
            files->Append({std::move(entry.Name), caption, image});
        }
    }
}

void TRemoteView::Clear()
{
    F.tvFolders->clear();
    F.lvFiles->Items()->Clear();
    FListedFiles.clear();
    FListingCurrent = false;
}

std::string TRemoteView::CurrentDirBytes() const
{
    const QString text = F.edCurrentDir->text();
    if (text == RemoteDisplayName(FCurrentDirRaw))
        return FCurrentDirRaw;
    return text.toStdString();
}

bool TRemoteView::FolderBoxKeyPress(QKeyEvent *key)
{
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        F.btnChangeFolder->click();
        return true;
    }
    // Ctrl+I, not Tab, though both carry character 9.
    if ((key->modifiers() & Qt::ControlModifier) && key->key() == Qt::Key_I) {
        const int site = F.cbAddress->currentIndex();
        if (site >= 0 && site < F.Sites.Count())
            F.Sites[site].DefaultFolder = F.edCurrentDir->text();
    }
    return false;
}

void TRemoteView::GoClicked()
{
    ChangeFolder(CurrentDirBytes());
}

void TRemoteView::FolderTreeDoubleClicked()
{
    const QTreeWidgetItem *node = F.tvFolders->currentItem();
    if (!node)
        return;
    ChangeFolder(node->data(0, TRemoteItemModel::RawNameRole).toByteArray().toStdString());
}

bool TRemoteView::ViewKeyPress(QKeyEvent *key)
{
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    // As in file managers: F5 reads the folder anew, Backspace goes up.
    if (key->key() == Qt::Key_F5) {
        if (F.FTP.Connected())
            ChangeFolder(FCurrentDirRaw);
        return true;
    }
    if (key->key() == Qt::Key_Backspace) {
        F.actUpAFolder->trigger();
        return true;
    }
    return false;
}

bool TRemoteView::FolderTreeKeyPress(QKeyEvent *key)
{
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return ViewKeyPress(key);
    FolderTreeDoubleClicked();
    return true;
}

void TRemoteView::FileListDoubleClicked()
{
    F.btnDownload->click();
}

bool TRemoteView::FileListKeyPress(QKeyEvent *key)
{
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return ViewKeyPress(key);
    FileListDoubleClicked();
    return true;
}

void TRemoteView::UpAFolder()
{
    F.FTP.EnterParentFolder();
    ChangeFolder(F.FTP.QueryCurrentFolder());
}

void TRemoteView::SetViewStyle(TViewStyle style)
{
    F.lvFiles->SetViewStyle(style);
    // The radio items follow the style, also when it comes from the settings.
    for (auto [item, itemStyle] : {std::pair{F.Icon1, vsIcon}, std::pair{F.List1, vsList},
                                   std::pair{F.Report1, vsReport}, std::pair{F.SmallIcon1, vsSmallIcon}})
        if (itemStyle == style)
            item->setChecked(true);
}
