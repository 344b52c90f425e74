// The remote folder view: walking a real server's folders from the window.
#include "FormFixture.h"

#include "RemoteName.h"

#include "ByteUnits.h"
#include "FileCountLine.h"
#include "FileDetails.h"
#include "FileTimes.h"
#include "IdGlobal.h"

#include "FtpServerFixture.h"
#include "IDEEnhance.h"
#include "IdStream.h"
#include "StatusBar.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
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
    EXPECT_EQ(edCurrentDir->text(), "/pub");
    QStringList folders = Folders();
    ASSERT_FALSE(folders.isEmpty());
    EXPECT_EQ(folders.takeFirst(), "..");
    folders.sort();
    EXPECT_EQ(folders, (QStringList{"empty", "sub"}));
    QStringList files = Files();
    files.sort();
    EXPECT_EQ(files, (QStringList{"notes.txt", "report.pdf"}));
    EXPECT_EQ(Form->RemoteView().ListedEntries(), 4u);
    // Folders show the folder icon; files the icons of their types.
    const int folderIcon = Form->ilSystem.GetImageIndex("x", false, false, faDirectory);
    EXPECT_FALSE(Folder("sub")->icon(0).isNull());
    for (int i = 0; i < lvFiles->Count(); ++i) {
        const int icon = lvFiles->Items()->Item(i).ImageIndex;
        EXPECT_GE(icon, 0);
        EXPECT_NE(icon, folderIcon);
    }
    EXPECT_TRUE(LogOfContains("Change Dir: pub"));
}

TEST_F(RemoteView, DoubleClickEnterAndUpWalkTheFolders)
{
    const QRect sub = tvFolders->visualItemRect(Folder("sub"));
    // A double-click: a click, then the second press.
    QTest::mouseClick(tvFolders->viewport(), Qt::LeftButton, {}, sub.center());
    QTest::mouseDClick(tvFolders->viewport(), Qt::LeftButton, {}, sub.center());
    EXPECT_EQ(edCurrentDir->text(), "/pub/sub");
    EXPECT_EQ(Folders(), QStringList{".."});
    EXPECT_EQ(lvFiles->Count(), 0);

    tvFolders->setCurrentItem(Folder(".."));
    tvFolders->setFocus();
    QTest::keyClick(tvFolders, Qt::Key_Return);
    EXPECT_EQ(edCurrentDir->text(), "/pub");

    // A double-click in the empty space below goes to the selected node.
    tvFolders->setCurrentItem(Folder("sub"));
    QTest::mouseDClick(tvFolders->viewport(), Qt::LeftButton, {},
                       QPoint(20, tvFolders->viewport()->height() - 5));
    EXPECT_EQ(edCurrentDir->text(), "/pub/sub");
    btnChangeFolder->setFocus();
    edCurrentDir->setText("/pub");
    btnChangeFolder->click();

    actUpAFolder->trigger();
    EXPECT_EQ(edCurrentDir->text(), "/");
    EXPECT_EQ(Files(), QStringList{"top.txt"});

    edCurrentDir->setText("pub/empty");
    QTest::keyClick(edCurrentDir, Qt::Key_Return);
    EXPECT_EQ(edCurrentDir->text(), "/pub/empty");
    EXPECT_EQ(Folders(), QStringList{".."});

    edCurrentDir->setText("/pub");
    btnChangeFolder->click();
    EXPECT_EQ(edCurrentDir->text(), "/pub");
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(RemoteView, ARefusedFolderIsReportedAndLeavesTheViews)
{
    const QStringList before = Files();
    QSignalSpy styles(lvFiles, &TFileListView::ViewStyleSet);
    edCurrentDir->setText("no-such-folder");
    btnChangeFolder->click();
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_TRUE(Dialogs.Errors.front().startsWith("550 ")) << Dialogs.Errors.front().toStdString();
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(edCurrentDir->text(), "/pub");  // the folder the views show
    // The list re-lays itself out even after a failure, and the cursor returns.
    ASSERT_EQ(styles.size(), 2);
    EXPECT_EQ(styles[0][0].value<TViewStyle>(), vsIcon);
    EXPECT_EQ(styles[1][0].value<TViewStyle>(), vsReport);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(RemoteView, EverySuccessfulChangeFlipsTheViewStyleBack)
{
    Form->RemoteView().SetViewStyle(vsList);
    QSignalSpy styles(lvFiles, &TFileListView::ViewStyleSet);
    btnChangeFolder->click();
    ASSERT_EQ(styles.size(), 2);
    EXPECT_EQ(styles[1][0].value<TViewStyle>(), vsList);
    EXPECT_EQ(lvFiles->ViewStyle(), vsList);
}

TEST_F(RemoteView, CtrlIInTheFolderBoxSetsTheChosenSitesDefaultFolder)
{
    edCurrentDir->setText("/pub/sub");
    ClickInto(edCurrentDir);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(Form->Sites[0].DefaultFolder, "pub");
    ClickInto(edCurrentDir);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(Form->Sites[0].DefaultFolder, "/pub/sub");
    EXPECT_EQ(edCurrentDir->text(), "/pub/sub");
}

TEST_F(RemoteView, CtrlIWithATypedAddressChangesNoSite)
{
    actConnect->trigger();  // disconnect, to type an address
    cbAddress->lineEdit()->setFocus();
    QTest::keyClicks(cbAddress->lineEdit(), "x");
    ASSERT_EQ(cbAddress->currentIndex(), -1);
    edCurrentDir->setEnabled(true);
    edCurrentDir->setText("/elsewhere");
    QTest::keyClick(edCurrentDir, Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(Form->Sites[0].DefaultFolder, "pub");
}

TEST_F(RemoteView, DoubleClickAndEnterInTheFileListRunTheDownloadButton)
{
    int downloads = 0;
    QObject::connect(actDownload, &QAction::triggered, [&] { ++downloads; });
    QTest::mouseDClick(lvFiles->viewport(), Qt::LeftButton, {}, {5, 5});
    lvFiles->setFocus();
    QTest::keyClick(lvFiles, Qt::Key_Return);
    EXPECT_EQ(downloads, 2);
}

// The window's shortcuts act wherever the focus is; a text field keeps
// Del and Backspace for its text. (The offscreen platform binds no Ctrl
// keys in a line edit; the end-to-end test types them on X11, which does.)
TEST_F(RemoteView, ShortcutsWinOverTheFolderBox)
{
    const TempDir local;
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(local.Path().string())));
    SelectFiles({"notes.txt"});
    ClickInto(edCurrentDir);
    ASSERT_EQ(QApplication::focusWidget(), edCurrentDir);
    const auto press = [](int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    };
    // Upload offers files or a folder; F takes files: the open dialog.
    press(Qt::Key_U);
    QWidget *offer = QApplication::activePopupWidget();
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->objectName(), "puUpload");
    QTest::keyClick(offer, Qt::Key_F);
    ASSERT_EQ(Dialogs.FileDialogsShown.size(), 1u);
    EXPECT_EQ(Dialogs.FileDialogsShown[0].Kind, TFileDialog::TKind::Open);
    EXPECT_EQ(QApplication::focusWidget(), edCurrentDir);
    press(Qt::Key_N);  // new folder
    press(Qt::Key_R);  // rename, the focus in neither view
    ASSERT_EQ(Dialogs.InputsShown.size(), 2u);
    EXPECT_EQ(Dialogs.InputsShown[0].Caption, "Make new directory");
    EXPECT_EQ(Dialogs.InputsShown[1].Caption, "Rename: ");
    EXPECT_EQ(edCurrentDir->text(), "/pub");  // not cleared by Ctrl+U
    press(Qt::Key_End, {});
    press(Qt::Key_Backspace, {});
    EXPECT_EQ(edCurrentDir->text(), "/pu");
    // Download goes into the local tree's folder; Download As asks.
    press(Qt::Key_D);
    press(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(Dialogs.FileDialogsShown.size(), 2u);
    EXPECT_EQ(Dialogs.FileDialogsShown[1].Kind, TFileDialog::TKind::Save);
    WaitForTransfers();
    EXPECT_EQ(Contents(local.Path() / "notes.txt"), "n");
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// As in file managers: Tab into the list rests on its first item, F5
// reads the folder anew and Backspace goes up, in either view.
TEST_F(RemoteView, KeysOfTheViews)
{
    ClickInto(tvFolders);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), lvFiles);
    EXPECT_EQ(lvFiles->currentIndex().row(), 0);
    EXPECT_TRUE(lvFiles->SelectedRows().empty());

    std::ofstream(Remote("pub/fresh.txt")) << "f";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
    EXPECT_TRUE(Files().contains("fresh.txt"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(edCurrentDir->text(), "/");

    ClickInto(tvFolders);
    tvFolders->setCurrentItem(Folder("pub"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    std::filesystem::create_directory(Remote("pub/later"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
    EXPECT_TRUE(Folders().contains("later"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(edCurrentDir->text(), "/");
}

TEST_F(RemoteView, TheViewStyleMenuSetsAndChecksTheStyle)
{
    EXPECT_TRUE(Report1->isChecked());
    List1->trigger();
    EXPECT_EQ(lvFiles->ViewStyle(), vsList);
    EXPECT_TRUE(List1->isChecked());
    EXPECT_FALSE(Report1->isChecked());
    Icon1->trigger();
    EXPECT_EQ(lvFiles->ViewStyle(), vsIcon);
    EXPECT_EQ(lvFiles->viewMode(), QListView::IconMode);
    Stop();
    EXPECT_EQ(ReadSettings()->value("ViewStyle").toInt(), 0);
    Start();
    EXPECT_EQ(lvFiles->ViewStyle(), vsIcon);
    EXPECT_TRUE(Icon1->isChecked());
}

// The details style: a click on a column's header sorts by it, a second
// the other way; names sort naturally and without their case. The sort and
// the widths are kept; the other styles show the listing's order.
TEST_F(RemoteView, TheDetailsSortByTheirColumnsAndKeepTheirState)
{
    const std::filesystem::path folder = Server.Root().Path() / "pub" / "sorted";
    std::filesystem::create_directories(folder);
    const std::pair<const char *, size_t> files[] = {{"file10.txt", 5}, {"File2.txt", 300}, {"file1.txt", 40}};
    for (const auto &[name, size] : files)
        std::ofstream(folder / name) << std::string(size, 'x');
    Report1->trigger();
    edCurrentDir->setText("/pub/sorted");
    btnChangeFolder->click();
    const QStringList listed = Files();
    auto *header = lvFiles->findChild<QHeaderView *>("hdFiles");
    ASSERT_NE(header, nullptr);
    ASSERT_TRUE(header->isVisible());
    const auto click = [&](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
    };
    const struct {
        int Column;
        QStringList Order;
    } rows[] = {
        {TFileDetails::Name, {"file1.txt", "File2.txt", "file10.txt"}},
        {TFileDetails::Name, {"file10.txt", "File2.txt", "file1.txt"}},  // the second click: the other way
        {TFileDetails::Size, {"file10.txt", "file1.txt", "File2.txt"}},
    };
    for (const auto &row : rows) {
        click(row.Column);
        EXPECT_EQ(Files(), row.Order) << row.Column;
    }
    // A size in human units, its exact bytes in the settings' column state.
    EXPECT_EQ(lvFiles->Items()->Item(2).Size, 300);
    header->resizeSection(TFileDetails::Name, 321);
    btnChangeFolder->click();  // a new listing comes sorted too
    EXPECT_EQ(Files(), rows[2].Order);
    List1->trigger();
    EXPECT_EQ(Files(), listed);
    EXPECT_FALSE(header->isVisible());

    Report1->trigger();
    Stop();
    EXPECT_EQ(ReadSettings()->value("Details").toString(), "321,80,130,100,90;1;0");
    Start();
    header = lvFiles->findChild<QHeaderView *>("hdFiles");
    EXPECT_EQ(header->sectionSize(TFileDetails::Name), 321);
    EXPECT_EQ(header->sortIndicatorSection(), TFileDetails::Size);
}

// The same order whether the names are compared as text or as the bytes
// the listing gave (ASCII directly, anything else as it shows).
TEST(NaturalOrder, NumbersByValueLettersWithoutCase)
{
    const struct {
        const char *Left, *Right;
        int Sign;
    } rows[] = {
        {"file2", "file10", -1},
        {"File2", "file10", -1},
        {"a", "B", -1},
        {"b", "A", 1},
        {"x007", "x7", -1},  // equal values: by the text
        {"x7", "x007", 1},
        {"abc", "ab", 1},
        {"9", "10", -1},
        {"same", "same", 0},
        {"a1b2", "a1b10", -1},
        {"", "a", -1},
        {"\xc3\x89t\xc3\xa9" "2", "\xc3\xa9t\xc3\xa9" "10", -1},  // "Été2", "été10"
        {"caf\xe9", "CAFE", 1},  // Latin-1 "café"
    };
    for (const auto &row : rows) {
        const int text = NaturalCompare(RemoteDisplayName(row.Left), RemoteDisplayName(row.Right));
        const int bytes = NaturalCompare(std::string_view(row.Left), std::string_view(row.Right));
        EXPECT_EQ((text > 0) - (text < 0), row.Sign) << row.Left << " : " << row.Right;
        EXPECT_EQ((bytes > 0) - (bytes < 0), row.Sign) << row.Left << " : " << row.Right;
    }
}

TEST_F(RemoteView, NamesThatAreNotUtf8KeepTheirBytes)
{
    const std::string folder = "d\xe9j\xe0";
    const std::string file = "caf\xe9.txt";
    std::filesystem::create_directories(Server.Root().Path() / "pub" / folder);
    std::ofstream(Server.Root().Path() / "pub" / file) << "latin";
    btnChangeFolder->click();

    QTreeWidgetItem *node = Folder(QString::fromLatin1(folder.c_str()));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->data(0, TRemoteItemModel::RawNameRole).toByteArray().toStdString(), folder);
    int row = -1;
    for (int i = 0; i < lvFiles->Count(); ++i)
        if (lvFiles->Items()->Item(i).RawName == file)
            row = i;
    ASSERT_GE(row, 0);
    EXPECT_EQ(lvFiles->Caption(row), QString::fromLatin1(file.c_str()));
    // The bytes, not the caption, name the file to the server.
    TMemoryStream contents;
    Form->FTP.Get(lvFiles->Items()->Item(row).RawName, &contents);
    EXPECT_EQ(contents.Data(), "latin");
}

// A remote name is looked up by its type alone, never as a local path: a
// local folder that happens to have the name changes nothing.
TEST_F(RemoteView, RemoteNamesNeverTouchTheLocalDisk)
{
    const std::string name = "shadowed-by-a-local-folder.txt";
    std::filesystem::create_directories(std::filesystem::current_path() / name);
    std::ofstream(Remote("pub/" + name)) << "x";
    btnChangeFolder->click();
    std::filesystem::remove(std::filesystem::current_path() / name);
    const int row = int(Files().indexOf(QString::fromStdString(name)));
    ASSERT_GE(row, 0);
    EXPECT_EQ(lvFiles->Items()->Item(row).ImageIndex,
              Form->ilSystem.GetImageIndex("any.txt", false, false, faNormal));
    EXPECT_NE(lvFiles->Items()->Item(row).ImageIndex,
              Form->ilSystem.GetImageIndex("any", false, false, faDirectory));
}

// In IDE-hooks mode (the suite runs once with "/USEIDEHOOKS") every listing
// line is logged, numbered from 0.
TEST_F(RemoteView, ListingLinesAreLoggedInIdeHooksMode)
{
    ClearLog1->trigger();
    btnChangeFolder->click();
    const QStringList entries = LogEntries().filter("File Entry (");
    if (!UseIDEHooks()) {
        EXPECT_TRUE(entries.isEmpty());
        return;
    }
    ASSERT_EQ(entries.size(), 4);
    EXPECT_TRUE(entries[0].contains("| File Entry (0): "));
    EXPECT_TRUE(entries[3].contains("| File Entry (3): "));
}

// A listing with more entries than the most the view takes is cut short
// there (ABOR to a real server): the first are shown, the user is told,
// and the session goes on in step.
TEST_F(RemoteView, AListingPastItsLimitShowsTheFirstAndSaysSo)
{
    Form->RemoteView().ListingLimits.MaxEntries = 2;
    btnChangeFolder->click();
    const QString told = "The folder listing is larger than 2 entries; only the first are shown.";
    EXPECT_EQ(Dialogs.Messages, QStringList{told});
    EXPECT_TRUE(LogEntries().contains(told));
    EXPECT_EQ(Form->RemoteView().ListedEntries(), 2u);
    EXPECT_EQ(Folders().size() - 1 + Files().size(), 2);  // ".." aside
    Form->RemoteView().ListingLimits.MaxEntries = 4;
    btnChangeFolder->click();
    EXPECT_EQ(Form->RemoteView().ListedEntries(), 4u);
    EXPECT_EQ(Dialogs.Messages.size(), 1);
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

TEST_F(RemoteView, DisconnectingClearsTheViewsButNotTheFolderBox)
{
    actConnect->trigger();
    EXPECT_EQ(tvFolders->topLevelItemCount(), 0);
    EXPECT_EQ(lvFiles->Count(), 0);
    EXPECT_EQ(edCurrentDir->text(), "/pub");
    EXPECT_EQ(Form->RemoteView().ListedEntries(), 4u);
}

}  // namespace

namespace {

// A screen reader hears a file row's size and date with its name.
// A row reads with its size and its time to the second the server gave
// (MLSD's, in UTC), never one it did not.
TEST_F(RemoteView, ARowReadsWithItsSizeAndDate)
{
    const int64_t when = SecondsOfTimeText("20261208131946");
    ASSERT_TRUE(SetLocalFileSeconds(Remote("pub/notes.txt").string(), when));
    Form->RemoteView().RefreshIfFree();
    const int row = int(Files().indexOf("notes.txt"));
    ASSERT_GE(row, 0);
    const QString read = lvFiles->model()->index(row, 0).data(Qt::AccessibleDescriptionRole).toString();
    EXPECT_TRUE(read.startsWith("1 B, ")) << read.toStdString();
    EXPECT_TRUE(read.contains("13:19:46")) << read.toStdString();
}

TEST(FileCountText, CountsTheShownOrTheSelected)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const struct {
        int64_t Files, Bytes, Selected, SelectedBytes;
        const char *Text;
    } cases[] = {
        {2000, 196'600'000, 0, 0, "2,000 files, 197 MB"},
        {1, 8, 0, 0, "1 file, 8 B"},
        {2000, 196'600'000, 2, 1'200'000, "2 of 2,000 files selected, 1.20 MB"},
        {0, 0, 0, 0, "No files"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FileCountText(english, c.Files, c.Bytes, c.Selected, c.SelectedBytes), c.Text);
    EXPECT_EQ(FileCountText(QLocale(QLocale::German, QLocale::Germany), 2000, 0, 0, 0), "2.000 files, 0 B");
}

// The line under the files counts them and their size, or the selected.
TEST_F(RemoteView, TheCountLineTellsTheFilesAndTheSelected)
{
    const auto *line = Form->findChild<QLabel *>("lbFileCount");
    ASSERT_TRUE(line);
    const int64_t all = int64_t(std::filesystem::file_size(Remote("pub/notes.txt")) +
                                std::filesystem::file_size(Remote("pub/report.pdf")));
    EXPECT_EQ(line->text(), "2 files, " + ByteText(all));
    SelectFiles({"notes.txt"});
    QTest::qWait(1);
    EXPECT_EQ(line->text(), "1 of 2 files selected, 1 B");
}

}  // namespace
