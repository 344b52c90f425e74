#include "RemoteFileOperations.h"

#include "RemoteName.h"
#include "RemoteSession.h"
#include "RemoteView.h"
#include "TransferRunner.h"
#include "UserDialogs.h"
#include "WindowServices.h"

namespace {

const char *const SelectMessage = "You must first select a valid folder or file.";

// What the user typed, as bytes for the server. An answer that is the
// proposal unchanged keeps the proposal's own bytes, which need not be
// UTF-8.
std::string AnswerBytes(const QString &answer, const QString &proposal, const std::string &proposalBytes)
{
    return answer == proposal ? proposalBytes : RemoteNameFromText(answer);
}

QString DeleteQuestion(const QString &name, size_t count)
{
    const QString what = count == 1 ? '"' + name + '"' : QStringLiteral("%1 items").arg(count);
    return QStringLiteral("Delete %1 from the server? This cannot be undone.").arg(what);
}

}  // namespace

void TRemoteFileOperations::ShowSelectMessage()
{
    UserDialogs().ShowMessage(FWindow.DialogOwner(), SelectMessage);
}

void TRemoteFileOperations::Refresh()
{
    FRemoteView.ChangeFolder(FSession.CurrentFolder());
}

void TRemoteFileOperations::NewFolder()
{
    QString answer;
    if (!UserDialogs().InputQuery(FWindow.DialogOwner(), "Make new directory", "Name", answer))
        return;
    if (answer.isEmpty()) {
        UserDialogs().ShowMessage(FWindow.DialogOwner(), "Must enter a valid directory name to create it.");
        return;
    }
    const std::string folder = RemoteNameFromText(answer);
    FSession.MakeFolder(folder);
    // As a file manager does: the new folder shows, chosen, where it was
    // made; the user decides whether to go in.
    FRemoteView.ChangeFolder(FRemoteView.ListedFolder());
    FRemoteView.ChooseFolder(folder);
}

void TRemoteFileOperations::Delete()
{
    if (!FWindow.Online())
        return;
    switch (FRemoteView.Focus()) {
    case TRemoteView::TFocus::Folders: {
        const std::optional<TRemoteItem> folder = FRemoteView.SelectedFolder();
        if (!folder) {
            ShowSelectMessage();
            return;
        }
        // Its contents are counted first, and the question names them.
        if (folder->Name != "..")
            FRunner.DeleteFolder(FRemoteView.ListedFolder(), folder->Name);
        return;
    }
    case TRemoteView::TFocus::Files: {
        const std::vector<TRemoteItem> files = FRemoteView.SelectedFiles();
        if (files.empty()) {
            ShowSelectMessage();
            return;
        }
        // Nothing goes without a Yes: one key press could empty a server.
        if (!UserDialogs().Confirm(FWindow.DialogOwner(), DeleteQuestion(files.front().Caption, files.size())))
            return;
        for (const TRemoteItem &file : files)
            FSession.Delete(file.Name);
        break;
    }
    case TRemoteView::TFocus::Elsewhere:
        ShowSelectMessage();
        break;
    }
    Refresh();
}

void TRemoteFileOperations::Rename()
{
    if (!FWindow.Online())
        return;
    const TRemoteView::TFocus focus = FRemoteView.Focus();
    std::optional<TRemoteItem> old;
    if (focus == TRemoteView::TFocus::Folders) {
        old = FRemoteView.SelectedFolder();
        if (!old) {
            ShowSelectMessage();
            return;
        }
    } else if (focus == TRemoteView::TFocus::Files) {
        const std::vector<TRemoteItem> files = FRemoteView.SelectedFiles();
        if (files.empty()) {
            ShowSelectMessage();
            return;
        }
        old = files.front();
    }
    const QString oldName = old ? old->Caption : QString();
    // Cancel gives the proposal back: the rename to the same name goes out.
    QString answer = oldName;
    UserDialogs().InputQuery(FWindow.DialogOwner(), "Rename: " + oldName, "New Name:", answer);
    if (answer.trimmed().isEmpty())
        return;
    const std::string newBytes = AnswerBytes(answer, oldName, old ? old->Name : std::string());
    if (focus == TRemoteView::TFocus::Folders) {
        FSession.Rename(old->Name, newBytes);
    } else if (focus == TRemoteView::TFocus::Files) {
        // The selection may have changed while the box was open.
        const std::vector<TRemoteItem> files = FRemoteView.SelectedFiles();
        if (files.empty()) {
            ShowSelectMessage();
            return;
        }
        FSession.Rename(files.front().Name, newBytes);
    } else {
        ShowSelectMessage();
    }
    Refresh();
}
