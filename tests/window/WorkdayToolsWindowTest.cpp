// The working-day tools in the window against a real server (pyftpdlib):
// the folder comparison marks both sides and follows a local change, the
// permissions go into a folder, and an address goes to the clipboard.
#include "FormFixture.h"

#include "FileTimes.h"
#include "EditInPlace.h"
#include "FolderCompare.h"
#include "IdGlobal.h"
#include "PermissionsDialog.h"
#include "RemoteItemModel.h"
#include "RemoteSearchDialog.h"
#include "SyncBrowsing.h"
#include "WorkdayTools.h"

#include <QAccessible>
#include <QAction>
#include <QDateEdit>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class WorkdayTools : public ConnectedForm {
protected:
    QString RemoteMark(const QString &caption) const
    {
        const int row = int(Files().indexOf(caption));
        return row < 0 ? "not listed" : lvFiles->model()->index(row, 0).data(TRemoteItemModel::MarkRole).toString();
    }
    // What the local tree's item of that name says of itself beside its
    // name, as a screen reader hears it.
    QString LocalMark(const QString &name) const
    {
        TTreeNode *folder = SysTree->Selected();
        if (!folder)
            return "no folder";
        SysTree->Expand(folder);
        for (int i = 0; i < folder->Count(); ++i)
            if (folder->Item(i)->Text == name)
                return SysTree->Items().IndexOf(folder->Item(i)).data(Qt::AccessibleDescriptionRole).toString();
        return "not shown";
    }
    // Until `check` holds, or a while has passed.
    static bool WaitFor(const std::function<bool()> &check)
    {
        for (int i = 0; i < 300 && !check(); ++i)
            QTest::qWait(10);
        return check();
    }
    QAction *Action(const char *name) const { return Form->findChild<QAction *>(name); }
};

TEST_F(WorkdayTools, TheComparisonMarksBothSidesAndFollowsALocalChange)
{
    // A local copy of pub: notes.txt the same to the second, report.pdf of
    // another size, a file and a folder the server lacks.
    TempDir local;
    const int64_t when = SecondsOfTimeText("20261201120000");
    std::ofstream(local.File("notes.txt")) << "n";
    std::ofstream(local.File("report.pdf")) << "a longer report";
    std::ofstream(local.File("mine.txt")) << "m";
    fs::create_directories(local.Path() / "sub");
    // Deeper down, for the newer files of the whole tree: a file only here
    // in a folder both have, and folders only one side has.
    std::ofstream(local.File("sub/deep.txt")) << "d";
    fs::create_directories(local.Path() / "drafts");
    std::ofstream(local.File("drafts/d.txt")) << "dd";
    std::ofstream(Remote("pub/sub/theirs.txt")) << "t";
    fs::create_directories(Remote("pub/far"));
    std::ofstream(Remote("pub/far/x.txt")) << "x";
    ASSERT_TRUE(SetLocalFileSeconds(local.File("notes.txt"), when));
    ASSERT_TRUE(SetLocalFileSeconds(Remote("pub/notes.txt").string(), when));
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(local.Path().string())));

    ClickInto(lvFiles);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(Form->Tools().Compare().On());
    ASSERT_TRUE(WaitFor([&] { return RemoteMark("report.pdf") == "Size differs"; })) << RemoteMark("report.pdf").toStdString();
    EXPECT_EQ(RemoteMark("notes.txt"), "");
    EXPECT_EQ(LocalMark("mine.txt"), "Only here");
    EXPECT_EQ(LocalMark("report.pdf"), "Size differs");
    EXPECT_EQ(LocalMark("notes.txt"), "");
    EXPECT_EQ(LocalMark("sub"), "");
    EXPECT_EQ(Folder("empty")->data(0, Qt::AccessibleDescriptionRole).toString(), "Only here");
    EXPECT_TRUE(Folder("sub")->data(0, Qt::AccessibleDescriptionRole).toString().isEmpty());

    // The user saves notes.txt here: newer here, older there.
    std::ofstream(local.File("notes.txt")) << "N";
    ASSERT_TRUE(WaitFor([&] { return LocalMark("notes.txt") == "Newer here"; })) << LocalMark("notes.txt").toStdString();
    EXPECT_EQ(RemoteMark("notes.txt"), "Older here");

    // Upload newer: the list first, the whole tree's, then only what it
    // named moves; the older local report.pdf stays where it is.
    ASSERT_TRUE(SetLocalFileSeconds(local.File("report.pdf"), when - 3600));
    ASSERT_TRUE(SetLocalFileSeconds(Remote("pub/report.pdf").string(), when));
    Form->RemoteView().RefreshIfFree();
    Dialogs.ConfirmAnswers = {true};
    Action("actUploadNewer")->trigger();
    ASSERT_FALSE(Dialogs.Questions.isEmpty());
    EXPECT_EQ(Dialogs.Questions.last().toStdString(),
              "Upload 4 files to the server?\n\ndrafts/d.txt (only here)\nmine.txt (only here)\n"
              "notes.txt (newer here)\nsub/deep.txt (only here)");
    WaitForTransfers();
    EXPECT_EQ(Contents(Remote("pub/sub/deep.txt")), "d");
    EXPECT_EQ(Contents(Remote("pub/drafts/d.txt")), "dd");
    EXPECT_EQ(Contents(Remote("pub/notes.txt")), "N");
    EXPECT_EQ(Contents(Remote("pub/mine.txt")), "m");
    EXPECT_EQ(Contents(Remote("pub/report.pdf")), "p");
    // The uploads took the local times: the same on both sides now, and
    // the server's report.pdf is the one newer.
    ASSERT_TRUE(WaitFor([&] { return RemoteMark("notes.txt").isEmpty(); })) << RemoteMark("notes.txt").toStdString();
    Dialogs.ConfirmAnswers = {true};
    Action("actDownloadNewer")->trigger();
    EXPECT_EQ(Dialogs.Questions.last().toStdString(),
              "Download 3 files from the server?\n\nfar/x.txt (only here)\nreport.pdf (size differs)\n"
              "sub/theirs.txt (only here)");
    WaitForTransfers();
    EXPECT_EQ(Contents(local.File("report.pdf")), "p");
    EXPECT_EQ(Contents(local.File("far/x.txt")), "x");
    EXPECT_EQ(Contents(local.File("sub/theirs.txt")), "t");
    ASSERT_TRUE(WaitFor([&] { return LocalMark("report.pdf").isEmpty(); })) << LocalMark("report.pdf").toStdString();

    // By size alone the two are the same again; off, no marks at all.
    Action("actCompareTimes")->trigger();
    ASSERT_TRUE(WaitFor([&] { return LocalMark("notes.txt").isEmpty(); }));
    Action("actCompareFolders")->trigger();
    ASSERT_TRUE(WaitFor([&] { return RemoteMark("report.pdf").isEmpty(); }));
    EXPECT_EQ(LocalMark("mine.txt"), "");
}

TEST_F(WorkdayTools, PermissionsGoIntoAFolderAsTheDialogSays)
{
    std::ofstream(Remote("pub/sub/run.sh")) << "#!/bin/sh";
    fs::create_directories(Remote("pub/sub/deep"));
    std::ofstream(Remote("pub/sub/deep/tool")) << "t";
    for (const char *path : {"pub/sub/run.sh", "pub/sub/deep/tool"})
        fs::permissions(Remote(path), fs::perms(0600));
    fs::permissions(Remote("pub/sub"), fs::perms(0750));
    Form->RemoteView().RefreshIfFree();
    const auto mode = [&](const char *path) { return int(fs::status(Remote(path)).permissions()) & 07777; };
    // A folder, chosen in the folder tree by a click; the dialog opens on
    // the bits the listing gave it.
    const auto ask = [&](int bits, TPermissionChange::TApplyTo applyTo) {
        const QRect place = tvFolders->visualItemRect(Folder("sub"));
        QTest::mouseClick(tvFolders->viewport(), Qt::LeftButton, {}, place.center());
        TPermissionChange change;
        change.Mode = bits;
        change.Recursive = true;
        change.ApplyTo = applyTo;
        Dialogs.PermissionAnswers.push_back(change);
        Action("actPermissions")->trigger();
    };
    // Files only: the folders keep their bits, the chosen one too.
    ask(0640, TPermissionChange::FilesOnly);
    ASSERT_EQ(Dialogs.PermissionsShown.size(), 1u);
    EXPECT_TRUE(Dialogs.PermissionsShown[0].HasFolders);
    EXPECT_EQ(Dialogs.PermissionsShown[0].Names, "\"sub\"");
    EXPECT_EQ(Dialogs.PermissionsShown[0].Mode, 0750);
    EXPECT_EQ(mode("pub/sub"), 0750);
    EXPECT_EQ(mode("pub/sub/deep"), 0755);
    EXPECT_EQ(mode("pub/sub/run.sh"), 0640);
    EXPECT_EQ(mode("pub/sub/deep/tool"), 0640);
    EXPECT_TRUE(LogOfContains("Permissions set to 640 on 2 items."));
    // Folders only: no file is touched.
    ask(0700, TPermissionChange::FoldersOnly);
    EXPECT_EQ(mode("pub/sub"), 0700);
    EXPECT_EQ(mode("pub/sub/deep"), 0700);
    EXPECT_EQ(mode("pub/sub/run.sh"), 0640);
    EXPECT_TRUE(LogOfContains("Permissions set to 700 on 2 items."));
    // Both, from the bits the listing now gives.
    ask(0755, TPermissionChange::FilesAndFolders);
    EXPECT_EQ(Dialogs.PermissionsShown[2].Mode, 0700);
    EXPECT_EQ(mode("pub/sub"), 0755);
    EXPECT_EQ(mode("pub/sub/run.sh"), 0755);
    EXPECT_EQ(mode("pub/sub/deep/tool"), 0755);
    EXPECT_TRUE(LogOfContains("Permissions set to 755 on 4 items."));
    // The listing still shows the folder it showed.
    EXPECT_EQ(edCurrentDir->text(), "/pub");
    EXPECT_TRUE(Files().contains("notes.txt"));

    // Files chosen in the list: no question of going into folders, and
    // their bits as the listing gives them (the server sends its
    // unix.mode once asked for it).
    fs::permissions(Remote("pub/notes.txt"), fs::perms(0640));
    fs::permissions(Remote("pub/report.pdf"), fs::perms(0640));
    Form->RemoteView().RefreshIfFree();
    SelectFiles({"notes.txt", "report.pdf"});
    Action("actPermissions")->trigger();  // cancelled: no answer left
    ASSERT_EQ(Dialogs.PermissionsShown.size(), 4u);
    EXPECT_EQ(Dialogs.PermissionsShown[3].Names, "2 items");
    EXPECT_EQ(Dialogs.PermissionsShown[3].Mode, 0640);
    EXPECT_FALSE(Dialogs.PermissionsShown[3].HasFolders);
}

TEST_F(WorkdayTools, TheChosenItemsAddressesGoToTheClipboard)
{
    SelectFiles({"notes.txt", "report.pdf"});
    Action("actCopyUrl")->trigger();
    const QString base = QStringLiteral("ftp://%1@localhost:%2/pub/").arg(FtpServer::User).arg(Server.Port());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), base + "notes.txt\n" + base + "report.pdf");
    EXPECT_FALSE(QGuiApplication::clipboard()->text().contains(FtpServer::Password));
}

TEST_F(WorkdayTools, AnEditedFileGoesBackWhenSavedAndAChangedServerCopyIsAskedAbout)
{
    // The "editor" saves once a flag file is there, as a user would after
    // typing.
    TempDir editor;
    const std::string flag = editor.File("save");
    std::ofstream(editor.File("edit.sh")) << "while [ ! -f '" << flag << "' ]; do sleep 0.05; done\n"
                                          << "printf 'edited\\n' >> \"$1\"\n";
    Form->Tools().Editing().EditorCommand = QString::fromStdString("/bin/sh " + editor.File("edit.sh"));
    const auto open = [&] {
        fs::remove(flag);
        SelectFiles({"notes.txt"});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4);
        ASSERT_EQ(Form->Tools().Editing().Copies(), 1u);
    };
    open();
    Dialogs.ConfirmAnswers = {true};
    std::ofstream(flag) << "go";
    ASSERT_TRUE(WaitFor([&] { return Contents(Remote("pub/notes.txt")) == "nedited\n"; }))
        << Contents(Remote("pub/notes.txt"));
    EXPECT_TRUE(Dialogs.Questions.last().contains("/pub/notes.txt was saved. Upload it to the server?"));

    // Changed on the server meanwhile: asked, and kept when the user says so.
    open();
    std::ofstream(Remote("pub/notes.txt")) << "theirs, longer";
    Dialogs.ConfirmAnswers = {true, false};
    std::ofstream(flag) << "go";
    ASSERT_TRUE(WaitFor([&] { return Dialogs.Questions.last().contains("changed since it was opened"); }));
    EXPECT_EQ(Contents(Remote("pub/notes.txt")), "theirs, longer");

    // That save was not uploaded: closing asks, and No keeps the window.
    Dialogs.ConfirmAnswers = {false};
    Form->close();
    EXPECT_TRUE(Form->isVisible());
    EXPECT_TRUE(Dialogs.Questions.last().startsWith("Edited files were not uploaded: /pub/notes.txt."));
}

// View/Edit moves a file as the queue does: a text type as text, the
// times kept; its private folder is made at the first file, and goes with
// the window.
TEST_F(WorkdayTools, AnEditedTextFileMovesAsTextAndKeepsItsTimes)
{
    EXPECT_TRUE(Form->Tools().Editing().Folder().isEmpty()) << "made at the start";
    TTransferRunner::TOptions options = Form->Runner().Options();
    options.TextAsAscii = true;
    options.TextTypes = "txt";
    Form->Runner().SetOptions(options);
    std::ofstream(Remote("pub/notes.txt"), std::ios::binary) << "one\ntwo\n";
    const int64_t when = SecondsOfTimeText("20261201120000");
    ASSERT_TRUE(SetLocalFileSeconds(Remote("pub/notes.txt").string(), when));
    Form->RemoteView().RefreshIfFree();
    TempDir editor;
    const std::string copied = editor.File("copied");
    std::ofstream(editor.File("edit.sh")) << "cp \"$1\" '" << copied << "'\n";
    Form->Tools().Editing().EditorCommand = QString::fromStdString("/bin/sh " + editor.File("edit.sh"));
    SelectFiles({"notes.txt"});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4);
    ASSERT_EQ(Form->Tools().Editing().Copies(), 1u);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(copied); }));
    // The server sent CR LF in ASCII: here the file has LF again, and the
    // server's time.
    const QString folder = Form->Tools().Editing().Folder();
    std::string local;
    for (const auto &entry : fs::recursive_directory_iterator(folder.toStdString()))
        if (entry.path().filename() == "notes.txt")
            local = entry.path().string();
    ASSERT_FALSE(local.empty());
    EXPECT_EQ(Contents(local), "one\ntwo\n");
    EXPECT_EQ(LocalFileSeconds(local), when);

    // Saved: up as text, and the server's file takes the saved time.
    Dialogs.ConfirmAnswers = {true};
    std::ofstream(local, std::ios::binary | std::ios::app) << "three\n";
    ASSERT_TRUE(SetLocalFileSeconds(local, when + 60));
    ASSERT_TRUE(WaitFor([&] { return Contents(Remote("pub/notes.txt")) == "one\ntwo\nthree\n"; }))
        << Contents(Remote("pub/notes.txt"));
    EXPECT_TRUE(WaitFor([&] { return LocalFileSeconds(Remote("pub/notes.txt").string()) == when + 60; }));
    Stop();
    EXPECT_FALSE(fs::exists(folder.toStdString())) << "left behind";
}

TEST_F(WorkdayTools, SynchronizedBrowsingOpensTheSameFolderOnBothSides)
{
    TempDir local;
    fs::create_directories(local.Path() / "sub");
    fs::create_directories(local.Path() / "mine");
    const std::string base = local.Path().string() + '/';
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(base)));
    Action("actSyncBrowsing")->trigger();
    ASSERT_TRUE(Form->Tools().Sync().On());
    const auto openRemote = [&](const char *name) {
        QTest::mouseClick(tvFolders->viewport(), Qt::LeftButton, {}, tvFolders->visualItemRect(Folder(name)).center());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    };
    const auto localShown = [&] { return Form->Transfers().LocalTargetFolder(); };

    openRemote("sub");
    ASSERT_TRUE(WaitFor([&] { return localShown() == base + "sub/"; })) << localShown();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    ASSERT_TRUE(WaitFor([&] { return localShown() == base; })) << localShown();
    // The local side lacks "empty": made at the user's word.
    Dialogs.ChoiceAnswers = {{0, false}};
    openRemote("empty");
    ASSERT_TRUE(WaitFor([&] { return localShown() == base + "empty/"; })) << localShown();
    EXPECT_TRUE(Dialogs.ChoicesAsked.back().Text.startsWith("The folder " + QString::fromStdString(base) + "empty/ is not there here."));

    // From the local side: up, then into a folder the server lacks; Stop
    // ends the binding and the remote side stays.
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(base)));
    ASSERT_TRUE(WaitFor([&] { return edCurrentDir->text() == "/pub"; })) << edCurrentDir->text().toStdString();
    Dialogs.ChoiceAnswers = {{1, false}};
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(base + "mine")));
    ASSERT_TRUE(WaitFor([&] { return !Form->Tools().Sync().On(); }));
    EXPECT_EQ(edCurrentDir->text(), "/pub");
    EXPECT_FALSE(fs::exists(Remote("pub/mine")));
}

TEST_F(WorkdayTools, FiltersHideOnBothSidesAndInFolderTransfersAndAreKept)
{
    fs::create_directories(Remote("pub/.git"));
    std::ofstream(Remote("pub/debug.log")) << "d";
    std::ofstream(Remote("pub/sub/keep.txt")) << "k";
    std::ofstream(Remote("pub/sub/trace.log")) << "t";
    TempDir local;
    fs::create_directories(local.Path() / ".git");
    std::ofstream(local.File("local.log")) << "l";
    std::ofstream(local.File("local.txt")) << "l";
    const std::string base = local.Path().string() + '/';
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(base)));
    Form->RemoteView().RefreshIfFree();
    ASSERT_TRUE(Folders().contains(".git"));
    auto *page = Form->findChild<QTabWidget *>("pcLocalSystem");
    EXPECT_EQ(page->tabText(0), "Local System");

    Dialogs.FilterAnswers.push_back([](std::vector<TNameFilter> &rules) {
        rules[0].Enabled = true;  // version control folders
        rules.push_back({"Logs", true, "*.log", false, TNameFilter::FilesOnly});
    });
    Action("actFilters")->trigger();
    EXPECT_FALSE(Folders().contains(".git"));
    EXPECT_FALSE(Files().contains("debug.log"));
    EXPECT_TRUE(Files().contains("notes.txt"));
    EXPECT_TRUE(Form->findChild<QLabel *>("lbFileCount")->text().endsWith("(2 hidden by filters)"));
    EXPECT_EQ(page->tabText(0), "Local System (filtered)");
    EXPECT_EQ(LocalMark("local.log"), "not shown");
    EXPECT_EQ(LocalMark(".git"), "not shown");
    EXPECT_EQ(LocalMark("local.txt"), "");

    // A folder's download leaves out what the filters hide.
    ClickInto(tvFolders);
    QTest::mouseClick(tvFolders->viewport(), Qt::LeftButton, {}, tvFolders->visualItemRect(Folder("sub")).center());
    actDownload->trigger();
    WaitForTransfers();
    EXPECT_TRUE(fs::exists(local.Path() / "sub" / "keep.txt"));
    EXPECT_FALSE(fs::exists(local.Path() / "sub" / "trace.log"));

    // Kept for the next start.
    Stop();
    Start();
    QTest::qWait(10);
    EXPECT_EQ(Form->findChild<QTabWidget *>("pcLocalSystem")->tabText(0), "Local System (filtered)");
    EXPECT_TRUE(Form->Runner().Filters.Hides("x.log", false, 1));
}

TEST_F(WorkdayTools, ASitesBookmarksOpenBothFoldersAndAreKept)
{
    TempDir local;
    fs::create_directories(local.Path() / "site");
    const std::string folder = local.Path().string() + "/site/";
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(folder)));
    Form->RemoteView().ChangeFolder("/pub/sub");
    Dialogs.InputAnswers = {QString("Scripts")};
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : Form.get(), Qt::Key_B, Qt::ControlModifier);
    ASSERT_EQ(Dialogs.InputsShown.size(), 1u);
    EXPECT_EQ(Dialogs.InputsShown[0].Proposal, "sub");  // proposed: the remote folder's name
    ASSERT_EQ(Form->Sites[0].Bookmarks.size(), 1);
    EXPECT_EQ(Form->Sites[0].Bookmarks[0], (TBookmark{"Scripts", QString::fromStdString(folder), "/pub/sub"}));

    // Kept: after a restart the menu shows it, and it opens both folders.
    Stop();
    Start();
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    actConnect->trigger();
    ASSERT_TRUE(Form->Connection().Online());
    auto *menu = Form->findChild<QMenu *>("mnBookmarks");
    emit menu->aboutToShow();
    QAction *bookmark = nullptr;
    for (QAction *action : menu->actions())
        if (action->text() == "Scripts")
            bookmark = action;
    ASSERT_TRUE(bookmark);
    bookmark->trigger();
    EXPECT_EQ(edCurrentDir->text(), "/pub/sub");
    EXPECT_EQ(Form->Transfers().LocalTargetFolder(), folder);
}

TEST_F(WorkdayTools, ASearchFindsBelowTheFolderToItsDepthAndActsOnAResult)
{
    fs::create_directories(Remote("pub/sub/deep"));
    std::ofstream(Remote("pub/sub/deep/a.php")) << "a";
    std::ofstream(Remote("pub/sub/B.PHP")) << "bb";
    std::ofstream(Remote("pub/index.php")) << "i";
    TempDir local;
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(local.Path().string())));
    Action("actFindRemote")->trigger();
    TRemoteSearchDialog *search = Form->Tools().Search();
    ASSERT_TRUE(search);
    auto *results = search->findChild<QTreeWidget *>("tvSearchResults");
    // The date field is named by what it is, not by the date it holds.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(search->findChild<QDateEdit *>("deSearchSince"))
                  ->text(QAccessible::Name),
              "Changed since");
    auto *status = search->findChild<QLabel *>("lbSearchStatus");
    const auto find = [&](const char *names, int depth) {
        search->findChild<QLineEdit *>("edSearchNames")->setText(names);
        search->findChild<QSpinBox *>("seSearchDepth")->setValue(depth);
        QTest::mouseClick(search->findChild<QPushButton *>("btnSearchFind"), Qt::LeftButton);
        return WaitFor([&] { return !search->Search().Running() && !status->text().endsWith("..."); });
    };
    ASSERT_TRUE(find("*.php", 10));
    EXPECT_EQ(status->text(), "3 found in 4 folders.");
    QStringList found;
    for (int i = 0; i < results->topLevelItemCount(); ++i)
        found << results->topLevelItem(i)->text(1) + '/' + results->topLevelItem(i)->text(0);
    found.sort();
    EXPECT_EQ(found, QStringList({"/pub/index.php", "/pub/sub/B.PHP", "/pub/sub/deep/a.php"}));
    ASSERT_TRUE(find("*.php", 1));
    EXPECT_TRUE(status->text().startsWith("2 found")) << status->text().toStdString();
    EXPECT_TRUE(status->text().endsWith("Folders deeper than 1 levels were not searched.")) << status->text().toStdString();

    // A result downloaded, its folder opened, and deleted.
    const auto choose = [&](const QString &name) {
        results->clearSelection();
        for (int i = 0; i < results->topLevelItemCount(); ++i)
            if (results->topLevelItem(i)->text(0) == name)
                results->topLevelItem(i)->setSelected(true);
    };
    choose("B.PHP");
    search->DownloadChosen();
    WaitForTransfers();
    EXPECT_EQ(Contents(local.Path() / "B.PHP"), "bb");
    search->OpenFolderOfChosen();
    EXPECT_EQ(edCurrentDir->text(), "/pub/sub");
    Dialogs.ConfirmAnswers = {true};
    search->DeleteChosen();
    EXPECT_FALSE(fs::exists(Remote("pub/sub/B.PHP")));
    EXPECT_EQ(results->topLevelItemCount(), 1);
}

TEST_F(WorkdayTools, TextTypesMoveInAsciiWithTheLineEndsOfEachSide)
{
    TTransferRunner::TOptions options = Form->Runner().Options();
    options.TextAsAscii = true;
    options.TextTypes = "txt";
    Form->Runner().SetOptions(options);
    std::ofstream(Remote("pub/notes.txt"), std::ios::binary) << "one\ntwo\n";
    TempDir local;
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(local.Path().string())));
    // The server sends CR LF in ASCII; the file here has LF again.
    SelectFiles({"notes.txt"});
    actDownload->trigger();
    WaitForTransfers();
    EXPECT_EQ(Contents(local.Path() / "notes.txt"), "one\ntwo\n");
    EXPECT_TRUE(LogOfContains("Text Transfer Started: notes.txt"));
    // And back: sent as CR LF, which the server stores as its own LF.
    std::ofstream(local.File("up.txt"), std::ios::binary) << "x\ny\n";
    Form->Transfers().UploadPath(local.File("up.txt"));
    WaitForTransfers();
    EXPECT_EQ(Contents(Remote("pub/up.txt")), "x\ny\n");
}

TEST(PermissionsDialog, TheBoxesAndTheNumberFollowEachOther)
{
    TPermissionsDialog dialog({"\"cgi\"", 0644, true});
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const auto box = [&](const char *name) { return dialog.findChild<QCheckBox *>(name); };
    auto *number = dialog.findChild<QLineEdit *>("edOctal");
    EXPECT_EQ(number->text(), "644");
    QTest::mouseClick(box("cbOwnerExecute"), Qt::LeftButton);
    EXPECT_EQ(number->text(), "744");
    // Typed, the number sets the boxes.
    QTest::mouseClick(number, Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), "751");
    EXPECT_TRUE(box("cbGroupExecute")->isChecked());
    EXPECT_FALSE(box("cbGroupWrite")->isChecked());
    EXPECT_TRUE(box("cbOthersExecute")->isChecked());
    EXPECT_FALSE(box("cbOthersRead")->isChecked());
    QTest::mouseClick(box("cbRecursive"), Qt::LeftButton);
    for (QRadioButton *radio : dialog.findChildren<QRadioButton *>())
        if (radio->text() == "F&olders only")
            QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
    // As the window reads it: once OK closed the dialog.
    dialog.accept();
    const TPermissionChange change = dialog.Result();
    EXPECT_EQ(change.Mode, 0751);
    EXPECT_TRUE(change.Recursive);
    EXPECT_EQ(change.ApplyTo, TPermissionChange::FoldersOnly);
}

}  // namespace
