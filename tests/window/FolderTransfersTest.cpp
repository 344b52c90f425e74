// Whole folders through the queue against a real server: a tree of three
// levels down (Ctrl+D on the folder tree) and up again, byte for byte,
// with names holding blanks and bytes that are not ASCII; links; a drag of
// a remote folder onto the local tree; and the names a listing may hold
// that no local file can have.
#include "FormFixture.h"

#include "SystemTreeView.h"
#include "TransferRunner.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

class FolderTransfers : public ConnectedForm {
protected:
    void SetUp() override
    {
        ConnectedForm::SetUp();
        if (HasFatalFailure())
            return;
        const fs::path site = Remote("pub/site");
        fs::create_directories(site / "level one" / "two \xc3\xa9t\xc3\xa9");
        fs::create_directories(site / "empty");
        std::ofstream(site / "a file.txt") << "top level";
        std::ofstream(site / "caf\xe9.bin", std::ios::binary) << std::string("\0\1\2latin", 8);
        std::ofstream(site / "level one" / "middle.txt") << "middle";
        std::ofstream(site / "level one" / "two \xc3\xa9t\xc3\xa9" / "deep file.bin", std::ios::binary)
            << std::string(300000, 'd');
        fs::create_directory_symlink("..", site / "loop");
        fs::create_symlink("a file.txt", site / "alias.txt");
        btnChangeFolder->click();
    }

    TempDir Local;
};

TEST_F(FolderTransfers, ATreeGoesDownAndUpByteForByte)
{
    ClickInto(tvFolders);
    tvFolders->setCurrentItem(Folder("site"));
    Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(Local.Path().string())});
    actDownloadAs->trigger();
    WaitForTransfers();
    ASSERT_EQ(Dialogs.FileDialogsShown.size(), 1u);
    EXPECT_EQ(Dialogs.FileDialogsShown[0].Kind, TFileDialog::TKind::Folder);

    // The link to a file comes down as the file; the one to a folder is
    // not entered.
    std::map<std::string, std::string> expected = Tree(Remote("pub/site"));
    expected.erase("loop");
    expected["alias.txt"] = "top level";
    EXPECT_EQ(Tree(Local.Path() / "site"), expected);
    EXPECT_TRUE(LogEntries().contains("Skipped \"loop\": a link to a folder is not followed."))
        << LogEntries().join('\n').toStdString();
    EXPECT_EQ(LogEntries().last(), "5 of 6 files transferred; 1 skipped.");
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();

    // Up again into another folder, where it did not exist.
    const QPoint sub = tvFolders->visualItemRect(Folder("sub")).center();
    QTest::mouseClick(tvFolders->viewport(), Qt::LeftButton, {}, sub);
    QTest::mouseDClick(tvFolders->viewport(), Qt::LeftButton, {}, sub);
    ASSERT_TRUE(QTest::qWaitFor([&] { return edCurrentDir->text() == "/pub/sub"; }, 5000));
    Form->Transfers().UploadPath((Local.Path() / "site").string());
    WaitForTransfers();
    EXPECT_EQ(Tree(Remote("pub/sub/site")), Tree(Local.Path() / "site"));
    EXPECT_TRUE(Folders().contains("site"));
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// A remote folder dragged onto a folder of the local tree lands in it.
TEST_F(FolderTransfers, ADraggedFolderLandsInTheTreesFolder)
{
    fs::create_directories(Local.Path() / "into");
    SysTree->SetSelection(QString::fromStdString(Local.Path().string()));
    TTreeNode *local = SysTree->Selected();
    ASSERT_TRUE(local && SysTree->Expand(local));
    ASSERT_EQ(local->Count(), 1);
    SysTree->MakeVisible(local->Item(0));
    QMimeData data;
    const QPoint at = SysTree->visualRect(SysTree->Items().IndexOf(local->Item(0))).center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(SysTree->viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(SysTree->viewport(), &move);
    ASSERT_EQ(SysTree->DropTarget(), local->Item(0));

    ClickInto(tvFolders);
    tvFolders->setCurrentItem(Folder("site"));
    ASSERT_TRUE(Form->Transfers().TreeDragOver(tvFolders));
    Form->Transfers().TreeDragDrop(tvFolders);
    WaitForTransfers();
    EXPECT_EQ(Tree(Local.Path() / "into" / "site" / "level one"), Tree(Remote("pub/site/level one")));
}

// Del on a folder with contents: counted, asked with the counts, and only
// a Yes deletes it all (links as links: what they lead to stays).
TEST_F(FolderTransfers, AFolderIsDeletedWithItsContentsAfterAYes)
{
    ClickInto(tvFolders);
    tvFolders->setCurrentItem(Folder("site"));
    const QString question =
        "Delete the folder \"site\" with 6 files and 3 folders from the server? This cannot be undone.";
    actDelete->trigger();
    WaitForTransfers();
    EXPECT_EQ(Dialogs.Questions, QStringList{question});
    EXPECT_TRUE(fs::exists(Remote("pub/site/level one/two \xc3\xa9t\xc3\xa9/deep file.bin")));
    EXPECT_EQ(Form->Runner().Queue().Items().back().State, TTransferState::Cancelled);

    Dialogs.ConfirmAnswers = {true};
    actDelete->trigger();
    WaitForTransfers();
    EXPECT_FALSE(fs::exists(Remote("pub/site")));
    EXPECT_TRUE(fs::exists(Remote("pub/notes.txt"))) << "a link's target stays";
    EXPECT_FALSE(Folders().contains("site")) << "the view shows it gone";
    EXPECT_TRUE(LogEntries().contains("Deleted \"site\" from the server: 6 files and 4 folders."))
        << LogEntries().join('\n').toStdString();
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// A folder whose listing is cut short at its limit has not come whole: the
// first entries are queued and the folder's item fails, saying so; a
// deletion deletes nothing it could not list.
TEST_F(FolderTransfers, AFolderListedInPartFailsAndIsNotDeleted)
{
    Form->Runner().SetListingLimits({2, size_t(1) << 20});
    ClickInto(tvFolders);
    tvFolders->setCurrentItem(Folder("site"));
    Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(Local.Path().string())});
    actDownloadAs->trigger();
    WaitForTransfers();
    const auto &rows = Form->Runner().Queue().Items();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].State, TTransferState::Failed);
    EXPECT_EQ(rows[0].Reason,
              "Download of site failed: The folder listing is larger than 2 entries; only the first are queued.");
    EXPECT_EQ(Dialogs.Errors, QStringList{rows[0].Reason});
    // The page tells the state and the whole reason, the tooltip too.
    const QAbstractItemModel *page = Form->findChild<QTreeView *>("tvTransfers")->model();
    const QModelIndex state = page->index(0, page->columnCount() - 1);
    EXPECT_EQ(state.data().toString(), "Failed: " + rows[0].Reason);
    EXPECT_EQ(state.data(Qt::ToolTipRole), state.data());

    Dialogs.ConfirmAnswers = {true};
    actDelete->trigger();
    WaitForTransfers();
    EXPECT_TRUE(Dialogs.Questions.isEmpty()) << "nothing to ask about";
    EXPECT_EQ(Form->Runner().Queue().Items().back().State, TTransferState::Failed);
    EXPECT_TRUE(fs::exists(Remote("pub/site/a file.txt")));
}

TEST(FolderContents, NamesNoLocalFileCanHaveAreSkippedAndFoldersComeLast)
{
    TTransferItem folder;
    folder.LocalPath = "/home/u/site";
    folder.RemoteFolder = "/pub";
    folder.RemoteName = "site";
    const auto entry = [](std::string name, bool isFolder = false, bool isLink = false) {
        TListedEntry made;
        made.Name = std::move(name);
        made.IsFolder = isFolder;
        made.IsLink = isLink;
        return made;
    };
    const std::vector<TListedEntry> entries = {entry("inner", true), entry("a"),   entry(".."),
                                                entry("x/../../y"),   entry("link", false, true),
                                                entry(std::string("n\0ul", 4)), entry(".", true),
                                                entry("line\r\nend"), entry("esc\x1b[2J"),
                                                entry(std::string(256, 'a')), entry(std::string(255, 'b'))};
    QStringList log;
    const std::vector<TTransferItem> items =
        TTransferRunner::FolderContents(folder, entries, [&](const QString &line) { log << line; });
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].LocalPath, "/home/u/site/a");
    EXPECT_EQ(items[0].RemoteFolder, "/pub/site");
    EXPECT_TRUE(items[1].Link);
    EXPECT_EQ(items[2].RemoteName, std::string(255, 'b'));
    EXPECT_TRUE(items[3].Folder);
    EXPECT_EQ(items[3].LocalPath, "/home/u/site/inner");
    EXPECT_EQ(log.size(), 7);
    EXPECT_TRUE(log.contains("Skipped \"x/../../y\": it is not a name a local file can have."));
    EXPECT_TRUE(log.contains("Skipped \"line??end\": it is not a name a local file can have.")) << log.join('\n').toStdString();
    EXPECT_TRUE(log.contains("Skipped \"" + QString(80, 'a') + "...\": it is not a name a local file can have."));
}

}  // namespace
