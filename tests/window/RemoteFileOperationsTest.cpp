// New folder, delete and rename on a real server, with the focus rules
// that decide what they act on.
#include "FormFixture.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

namespace {

using RemoteFileOperations = ConnectedForm;

const QString SelectFirst = "You must first select a valid folder or file.";

// A new folder shows where it was made, chosen with the focus, and is not
// entered; a cancel says nothing, an empty name asks for one.
TEST_F(RemoteFileOperations, NewFolderIsMadeAndChosenOrAsksForAName)
{
    Dialogs.InputAnswers = {std::nullopt, QString(), QString("made")};
    actNewFolder->trigger();  // Cancel
    EXPECT_TRUE(Dialogs.Messages.isEmpty());
    actNewFolder->trigger();  // OK with nothing typed
    EXPECT_EQ(Dialogs.Messages, QStringList{"Must enter a valid directory name to create it."});
    ClickInto(lvFiles);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(Dialogs.InputsShown.size(), 3u);
    EXPECT_EQ(Dialogs.InputsShown[2].Caption, "Make new directory");
    EXPECT_EQ(Dialogs.InputsShown[2].Prompt, "Name");
    EXPECT_TRUE(std::filesystem::is_directory(Remote("pub/made")));
    EXPECT_EQ(edCurrentDir->text(), "/pub");
    EXPECT_EQ(QApplication::focusWidget(), tvFolders);
    ASSERT_TRUE(tvFolders->currentItem());
    EXPECT_EQ(tvFolders->currentItem()->text(0), "made");
}

// Nothing is deleted without a Yes; No, the default, keeps it all.
TEST_F(RemoteFileOperations, DeleteAsksThenActsOnTheFocusedView)
{
    // The file list: every selected file; Del reaches the action from it.
    SelectFiles({"notes.txt", "report.pdf"});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    EXPECT_EQ(Dialogs.Questions, QStringList{"Delete 2 items from the server? This cannot be undone."});
    EXPECT_TRUE(std::filesystem::exists(Remote("pub/notes.txt")));
    EXPECT_EQ(Files(), (QStringList{"notes.txt", "report.pdf"}));
    Dialogs.ConfirmAnswers = {true};
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    EXPECT_FALSE(std::filesystem::exists(Remote("pub/notes.txt")));
    EXPECT_FALSE(std::filesystem::exists(Remote("pub/report.pdf")));
    EXPECT_TRUE(Files().isEmpty());

    // The folder tree: the selected folder, named in the question.
    ClickInto(tvFolders);
    tvFolders->setCurrentItem(Folder("empty"));
    Dialogs.ConfirmAnswers = {true};
    actDelete->trigger();
    WaitForTransfers();
    EXPECT_EQ(Dialogs.Questions.last(), "Delete \"empty\" from the server? This cannot be undone.");
    EXPECT_FALSE(std::filesystem::exists(Remote("pub/empty")));
    EXPECT_EQ(Folders(), (QStringList{"..", "sub"}));

    // Anywhere else: the message, no question, and the view is shown anew.
    ClickInto(edCurrentDir);
    actDelete->trigger();
    EXPECT_EQ(Dialogs.Messages, QStringList{SelectFirst});
    EXPECT_EQ(Dialogs.Questions.size(), 3);
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

TEST_F(RemoteFileOperations, RenameActsOnTheFocusedViewAndCancelKeepsTheName)
{
    SelectFiles({"notes.txt"});
    Dialogs.InputAnswers = {QString("renamed.txt"), std::nullopt, QString("any")};
    actRename->trigger();
    EXPECT_EQ(Dialogs.InputsShown[0].Caption, "Rename: notes.txt");
    EXPECT_EQ(Dialogs.InputsShown[0].Prompt, "New Name:");
    EXPECT_EQ(Dialogs.InputsShown[0].Proposal, "notes.txt");
    EXPECT_TRUE(std::filesystem::exists(Remote("pub/renamed.txt")));
    EXPECT_TRUE(Files().contains("renamed.txt"));

    // Cancel gives the old name back: the rename to itself goes out.
    ClickInto(tvFolders);
    tvFolders->setCurrentItem(Folder("sub"));
    actRename->trigger();
    EXPECT_EQ(Dialogs.InputsShown[1].Caption, "Rename: sub");
    EXPECT_TRUE(std::filesystem::is_directory(Remote("pub/sub")));

    // Focus elsewhere: an empty proposal, then the message.
    ClickInto(edCurrentDir);
    actRename->trigger();
    EXPECT_EQ(Dialogs.InputsShown[2].Caption, "Rename: ");
    EXPECT_EQ(Dialogs.InputsShown[2].Proposal, "");
    EXPECT_EQ(Dialogs.Messages, QStringList{SelectFirst});
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

TEST_F(RemoteFileOperations, ARefusedRequestIsReported)
{
    SelectFiles({"notes.txt"});
    Dialogs.InputAnswers = {QString("no such folder/notes.txt")};
    actRename->trigger();
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_TRUE(Dialogs.Errors[0].startsWith("550 ")) << Dialogs.Errors[0].toStdString();
    EXPECT_TRUE(std::filesystem::exists(Remote("pub/notes.txt")));
}

}  // namespace
