#include "RemoteFileOperations.h"

#include "MainForm.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QTreeWidget>

namespace {

const char *const SelectMessage = "You must first select a valid folder or file.";

// What the user typed, as bytes for the server. An answer that is the
// proposal unchanged keeps the proposal's own bytes, which need not be
// UTF-8.
std::string AnswerBytes(const QString &answer, const QString &proposal, const std::string &proposalBytes)
{
    return answer == proposal ? proposalBytes : answer.toUtf8().toStdString();
}

std::string RawName(const QTreeWidgetItem *node)
{
    return node->data(0, TRemoteItemModel::RawNameRole).toByteArray().toStdString();
}

QString DeleteQuestion(const QString &name, size_t count)
{
    const QString what = count == 1 ? '"' + name + '"' : QStringLiteral("%1 items").arg(count);
    return QStringLiteral("Delete %1 from the server? This cannot be undone.").arg(what);
}

}  // namespace

void TRemoteFileOperations::ShowSelectMessage()
{
    UserDialogs().ShowMessage(&F, SelectMessage);
}

void TRemoteFileOperations::Refresh()
{
    F.ChangeFolder(F.FTP.QueryCurrentFolder());
}

void TRemoteFileOperations::NewFolder()
{
    QString answer;
    UserDialogs().InputQuery(&F, "Make new directory", "Name", answer);
    if (answer.isEmpty()) {
        UserDialogs().ShowMessage(&F, "Must enter a valid directory name to create it.");
        return;
    }
    const std::string folder = answer.toUtf8().toStdString();
    F.FTP.CreateFolder(folder);
    F.ChangeFolder(folder);
}

void TRemoteFileOperations::Delete()
{
    if (!F.FTP.Connected())
        return;
    QWidget *focus = QApplication::focusWidget();
    if (focus == F.tvFolders) {
        const QList<QTreeWidgetItem *> selected = F.tvFolders->selectedItems();
        if (selected.isEmpty()) {
            ShowSelectMessage();
            return;
        }
        if (!UserDialogs().Confirm(&F, DeleteQuestion(selected.front()->text(0), 1)))
            return;
        F.FTP.RemoveFolder(RawName(selected.front()));
    } else if (focus == F.lvFiles) {
        const std::vector<int> rows = F.lvFiles->SelectedRows();
        if (rows.empty()) {
            ShowSelectMessage();
            return;
        }
        // Nothing goes without a Yes: one key press could empty a server.
        if (!UserDialogs().Confirm(&F, DeleteQuestion(F.lvFiles->Caption(rows.front()), rows.size())))
            return;
        for (int row : rows)
            F.FTP.Delete(F.lvFiles->Items()->Item(row).RawName);
    } else {
        ShowSelectMessage();
    }
    Refresh();
}

void TRemoteFileOperations::Rename()
{
    if (!F.FTP.Connected())
        return;
    QWidget *focus = QApplication::focusWidget();
    QString oldName;
    std::string oldBytes;
    if (focus == F.tvFolders) {
        const QList<QTreeWidgetItem *> selected = F.tvFolders->selectedItems();
        if (selected.isEmpty()) {
            ShowSelectMessage();
            return;
        }
        oldName = selected.front()->text(0);
        oldBytes = RawName(selected.front());
    } else if (focus == F.lvFiles) {
        const std::vector<int> rows = F.lvFiles->SelectedRows();
        if (rows.empty()) {
            ShowSelectMessage();
            return;
        }
        oldName = F.lvFiles->Caption(rows.front());
        oldBytes = F.lvFiles->Items()->Item(rows.front()).RawName;
    }
    // Cancel gives the proposal back: the rename to the same name goes out.
    QString answer = oldName;
    UserDialogs().InputQuery(&F, "Rename: " + oldName, "New Name:", answer);
    if (answer.trimmed().isEmpty())
        return;
    const std::string newBytes = AnswerBytes(answer, oldName, oldBytes);
    if (focus == F.tvFolders) {
        F.FTP.Rename(oldBytes, newBytes);
    } else if (focus == F.lvFiles) {
        const std::vector<int> rows = F.lvFiles->SelectedRows();
        if (rows.empty()) {
            ShowSelectMessage();
            return;
        }
        F.FTP.Rename(F.lvFiles->Items()->Item(rows.front()).RawName, newBytes);
    } else {
        ShowSelectMessage();
    }
    Refresh();
}
