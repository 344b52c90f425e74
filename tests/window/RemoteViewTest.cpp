// The remote folder view: walking a real server's folders from the window.
#include "FormFixture.h"

#include "FtpServerFixture.h"
#include "IDEEnhance.h"
#include "IdStream.h"
#include "StatusBar.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

namespace {

using RemoteView = ConnectedForm;

TEST_F(RemoteView, ConnectingLandsInTheSitesDefaultFolder)
{
    EXPECT_EQ(Form->edCurrentDir->text(), "/pub");
    QStringList folders = Folders();
    ASSERT_FALSE(folders.isEmpty());
    EXPECT_EQ(folders.takeFirst(), "..");
    folders.sort();
    EXPECT_EQ(folders, (QStringList{"empty", "sub"}));
    QStringList files = Files();
    files.sort();
    EXPECT_EQ(files, (QStringList{"notes.txt", "report.pdf"}));
    EXPECT_EQ(Form->lbDirectory.size(), 4u);
    // Folders show the folder icon; files the icons of their types.
    const int folderIcon = Form->ilSystem.GetImageIndex("x", false, false, faDirectory);
    EXPECT_FALSE(Folder("sub")->icon(0).isNull());
    for (int i = 0; i < Form->lvFiles->Count(); ++i) {
        const int icon = Form->lvFiles->Items()->Item(i).ImageIndex;
        EXPECT_GE(icon, 0);
        EXPECT_NE(icon, folderIcon);
    }
    EXPECT_TRUE(LogOfContains("Change Dir: pub"));
}

TEST_F(RemoteView, DoubleClickEnterAndUpWalkTheFolders)
{
    const QRect sub = Form->tvFolders->visualItemRect(Folder("sub"));
    // A double-click: a click, then the second press.
    QTest::mouseClick(Form->tvFolders->viewport(), Qt::LeftButton, {}, sub.center());
    QTest::mouseDClick(Form->tvFolders->viewport(), Qt::LeftButton, {}, sub.center());
    EXPECT_EQ(Form->edCurrentDir->text(), "/pub/sub");
    EXPECT_EQ(Folders(), QStringList{".."});
    EXPECT_EQ(Form->lvFiles->Count(), 0);

    Form->tvFolders->setCurrentItem(Folder(".."));
    Form->tvFolders->setFocus();
    QTest::keyClick(Form->tvFolders, Qt::Key_Return);
    EXPECT_EQ(Form->edCurrentDir->text(), "/pub");

    // A double-click in the empty space below goes to the selected node.
    Form->tvFolders->setCurrentItem(Folder("sub"));
    QTest::mouseDClick(Form->tvFolders->viewport(), Qt::LeftButton, {},
                       QPoint(20, Form->tvFolders->viewport()->height() - 5));
    EXPECT_EQ(Form->edCurrentDir->text(), "/pub/sub");
    Form->btnChangeFolder->setFocus();
    Form->edCurrentDir->setText("/pub");
    Form->btnChangeFolder->click();

    Form->actUpAFolder->trigger();
    EXPECT_EQ(Form->edCurrentDir->text(), "/");
    EXPECT_EQ(Files(), QStringList{"top.txt"});

    Form->edCurrentDir->setText("pub/empty");
    QTest::keyClick(Form->edCurrentDir, Qt::Key_Return);
    EXPECT_EQ(Form->edCurrentDir->text(), "/pub/empty");
    EXPECT_EQ(Folders(), QStringList{".."});

    Form->edCurrentDir->setText("/pub");
    Form->btnChangeFolder->click();
    EXPECT_EQ(Form->edCurrentDir->text(), "/pub");
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(RemoteView, ARefusedFolderIsReportedAndLeavesTheViews)
{
    const QStringList before = Files();
    QSignalSpy styles(Form->lvFiles, &TFileListView::ViewStyleSet);
    Form->edCurrentDir->setText("no-such-folder");
    Form->btnChangeFolder->click();
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_TRUE(Dialogs.Errors.front().startsWith("550 ")) << Dialogs.Errors.front().toStdString();
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(Form->edCurrentDir->text(), "/pub");  // the folder the views show
    // The list re-lays itself out even after a failure, and the cursor returns.
    ASSERT_EQ(styles.size(), 2);
    EXPECT_EQ(styles[0][0].value<TViewStyle>(), vsIcon);
    EXPECT_EQ(styles[1][0].value<TViewStyle>(), vsSmallIcon);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(RemoteView, EverySuccessfulChangeFlipsTheViewStyleBack)
{
    Form->SetFileViewStyle(vsList);
    QSignalSpy styles(Form->lvFiles, &TFileListView::ViewStyleSet);
    Form->btnChangeFolder->click();
    ASSERT_EQ(styles.size(), 2);
    EXPECT_EQ(styles[1][0].value<TViewStyle>(), vsList);
    EXPECT_EQ(Form->lvFiles->ViewStyle(), vsList);
}

TEST_F(RemoteView, CtrlIInTheFolderBoxSetsTheChosenSitesDefaultFolder)
{
    Form->edCurrentDir->setText("/pub/sub");
    Form->edCurrentDir->setFocus();
    QTest::keyClick(Form->edCurrentDir, Qt::Key_Tab);
    EXPECT_EQ(Form->Sites[0].DefaultFolder, "pub");
    QTest::keyClick(Form->edCurrentDir, Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(Form->Sites[0].DefaultFolder, "/pub/sub");
    EXPECT_EQ(Form->edCurrentDir->text(), "/pub/sub");
}

TEST_F(RemoteView, CtrlIWithATypedAddressChangesNoSite)
{
    Form->actConnect->trigger();  // disconnect, to type an address
    Form->cbAddress->lineEdit()->setFocus();
    QTest::keyClicks(Form->cbAddress->lineEdit(), "x");
    ASSERT_EQ(Form->cbAddress->currentIndex(), -1);
    Form->edCurrentDir->setEnabled(true);
    Form->edCurrentDir->setText("/elsewhere");
    QTest::keyClick(Form->edCurrentDir, Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(Form->Sites[0].DefaultFolder, "pub");
}

TEST_F(RemoteView, DoubleClickAndEnterInTheFileListRunTheDownloadButton)
{
    int downloads = 0;
    QObject::connect(Form->actDownload, &QAction::triggered, [&] { ++downloads; });
    QTest::mouseDClick(Form->lvFiles->viewport(), Qt::LeftButton, {}, {5, 5});
    Form->lvFiles->setFocus();
    QTest::keyClick(Form->lvFiles, Qt::Key_Return);
    EXPECT_EQ(downloads, 2);
}

// The window's shortcuts act wherever the focus is; a text field keeps
// Del and Backspace for its text. (The offscreen platform binds no Ctrl
// keys in a line edit; the end-to-end test types them on X11, which does.)
TEST_F(RemoteView, ShortcutsWinOverTheFolderBox)
{
    SelectFiles({"notes.txt"});
    ClickInto(Form->edCurrentDir);
    ASSERT_EQ(QApplication::focusWidget(), Form->edCurrentDir);
    const auto press = [](int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    };
    press(Qt::Key_U);  // upload: the open dialog
    press(Qt::Key_D);  // download: the save dialog
    ASSERT_EQ(Dialogs.FileDialogsShown.size(), 2u);
    EXPECT_EQ(Dialogs.FileDialogsShown[0].Kind, TFileDialog::TKind::Open);
    EXPECT_EQ(Dialogs.FileDialogsShown[1].Kind, TFileDialog::TKind::Save);
    press(Qt::Key_N);  // new folder
    press(Qt::Key_R);  // rename, the focus in neither view
    ASSERT_EQ(Dialogs.InputsShown.size(), 2u);
    EXPECT_EQ(Dialogs.InputsShown[0].Caption, "Make new directory");
    EXPECT_EQ(Dialogs.InputsShown[1].Caption, "Rename: ");
    EXPECT_EQ(Form->edCurrentDir->text(), "/pub");  // not cleared by Ctrl+U
    press(Qt::Key_End, {});
    press(Qt::Key_Backspace, {});
    EXPECT_EQ(Form->edCurrentDir->text(), "/pu");
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// As in file managers: Tab into the list rests on its first item, F5
// reads the folder anew and Backspace goes up, in either view.
TEST_F(RemoteView, KeysOfTheViews)
{
    ClickInto(Form->tvFolders);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Form->lvFiles);
    EXPECT_EQ(Form->lvFiles->currentIndex().row(), 0);
    EXPECT_TRUE(Form->lvFiles->SelectedRows().empty());

    std::ofstream(Remote("pub/fresh.txt")) << "f";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
    EXPECT_TRUE(Files().contains("fresh.txt"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(Form->edCurrentDir->text(), "/");

    ClickInto(Form->tvFolders);
    Form->tvFolders->setCurrentItem(Folder("pub"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    std::filesystem::create_directory(Remote("pub/later"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
    EXPECT_TRUE(Folders().contains("later"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(Form->edCurrentDir->text(), "/");
}

TEST_F(RemoteView, TheViewStyleMenuSetsAndChecksTheStyle)
{
    EXPECT_TRUE(Form->SmallIcon1->isChecked());
    EXPECT_FALSE(Form->Report1->isEnabled());
    Form->List1->trigger();
    EXPECT_EQ(Form->lvFiles->ViewStyle(), vsList);
    EXPECT_TRUE(Form->List1->isChecked());
    EXPECT_FALSE(Form->SmallIcon1->isChecked());
    Form->Icon1->trigger();
    EXPECT_EQ(Form->lvFiles->ViewStyle(), vsIcon);
    EXPECT_EQ(Form->lvFiles->viewMode(), QListView::IconMode);
    Stop();
    EXPECT_EQ(ReadSettings()->value("ViewStyle").toInt(), 0);
    Start();
    EXPECT_EQ(Form->lvFiles->ViewStyle(), vsIcon);
    EXPECT_TRUE(Form->Icon1->isChecked());
}

TEST_F(RemoteView, NamesThatAreNotUtf8KeepTheirBytes)
{
    const std::string folder = "d\xe9j\xe0";
    const std::string file = "caf\xe9.txt";
    std::filesystem::create_directories(Server.Root().Path() / "pub" / folder);
    std::ofstream(Server.Root().Path() / "pub" / file) << "latin";
    Form->btnChangeFolder->click();

    QTreeWidgetItem *node = Folder(QString::fromLatin1(folder.c_str()));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->data(0, TRemoteItemModel::RawNameRole).toByteArray().toStdString(), folder);
    int row = -1;
    for (int i = 0; i < Form->lvFiles->Count(); ++i)
        if (Form->lvFiles->Items()->Item(i).RawName == file)
            row = i;
    ASSERT_GE(row, 0);
    EXPECT_EQ(Form->lvFiles->Caption(row), QString::fromLatin1(file.c_str()));
    // The bytes, not the caption, name the file to the server.
    TMemoryStream contents;
    Form->FTP.Get(Form->lvFiles->Items()->Item(row).RawName, &contents);
    EXPECT_EQ(contents.Data(), "latin");
}

// A remote name is looked up by its type alone, never as a local path: a
// local folder that happens to have the name changes nothing.
TEST_F(RemoteView, RemoteNamesNeverTouchTheLocalDisk)
{
    const std::string name = "shadowed-by-a-local-folder.txt";
    std::filesystem::create_directories(std::filesystem::current_path() / name);
    std::ofstream(Remote("pub/" + name)) << "x";
    Form->btnChangeFolder->click();
    std::filesystem::remove(std::filesystem::current_path() / name);
    const int row = int(Files().indexOf(QString::fromStdString(name)));
    ASSERT_GE(row, 0);
    EXPECT_EQ(Form->lvFiles->Items()->Item(row).ImageIndex,
              Form->ilSystem.GetImageIndex("any.txt", false, false, faNormal));
    EXPECT_NE(Form->lvFiles->Items()->Item(row).ImageIndex,
              Form->ilSystem.GetImageIndex("any", false, false, faDirectory));
}

// In IDE-hooks mode (the suite runs once with "/USEIDEHOOKS") every listing
// line is logged, numbered from 0.
TEST_F(RemoteView, ListingLinesAreLoggedInIdeHooksMode)
{
    Form->ClearLog1->trigger();
    Form->btnChangeFolder->click();
    const QStringList entries = LogEntries().filter("File Entry (");
    if (!UseIDEHooks()) {
        EXPECT_TRUE(entries.isEmpty());
        return;
    }
    ASSERT_EQ(entries.size(), 4);
    EXPECT_TRUE(entries[0].contains("| File Entry (0): "));
    EXPECT_TRUE(entries[3].contains("| File Entry (3): "));
}

TEST_F(RemoteView, DisconnectingClearsTheViewsButNotTheFolderBox)
{
    Form->actConnect->trigger();
    EXPECT_EQ(Form->tvFolders->topLevelItemCount(), 0);
    EXPECT_EQ(Form->lvFiles->Count(), 0);
    EXPECT_EQ(Form->edCurrentDir->text(), "/pub");
    EXPECT_EQ(Form->lbDirectory.size(), 4u);
}

}  // namespace
