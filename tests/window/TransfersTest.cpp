// Transfers through the window against a real server: downloads through
// the save dialog and onto the local tree, uploads through the open dialog
// and by drops, folder uploads, the questions before a file is replaced,
// and failures. Each request goes through the transfer queue.
#include "FormFixture.h"

#include "IDEEnhance.h"
#include "StatusBar.h"
#include "SystemTreeView.h"
#include "IdMainThreadQueue.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMimeData>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <sys/time.h>

#include <filesystem>
#include <atomic>
#include <fstream>
#include <thread>

namespace {

int PartFiles(const std::filesystem::path &folder)
{
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        count += entry.path().filename().string().find(".part-") != std::string::npos;
    return count;
}

class Transfers : public ConnectedForm {
protected:
    QString LocalText(const std::string &name) const { return QString::fromStdString(Local.File(name)); }
    TempDir Local;
};

TEST_F(Transfers, OneFileSavesUnderTheChosenNameSeveralUnderTheirOwn)
{
    SysTree->SetSelection(QString::fromStdString(Local.Path().string()));
    SelectFiles({"notes.txt"});
    Dialogs.FileAnswers.push_back(QStringList{LocalText("other.txt")});
    actDownloadAs->trigger();
    WaitForTransfers();
    ASSERT_EQ(Dialogs.FileDialogsShown.size(), 1u);
    EXPECT_EQ(Dialogs.FileDialogsShown[0].FileName, "notes.txt");
    EXPECT_EQ(Dialogs.FileDialogsShown[0].InitialDir, QString::fromStdString(Local.Path().string()));
    EXPECT_EQ(Contents(Local.File("other.txt")), "n");
    EXPECT_TRUE(LogEntries().contains("Transfer Started: notes.txt"));
    EXPECT_EQ(LogEntries().last(), "Transfer Complete.");

    SelectFiles({"notes.txt", "report.pdf"});
    Dialogs.FileAnswers.push_back(QStringList{LocalText("")});  // the folder they go into
    actDownloadAs->trigger();
    WaitForTransfers();
    EXPECT_EQ(Contents(Local.File("notes.txt")), "n");
    EXPECT_EQ(Contents(Local.File("report.pdf")), "p");
    ASSERT_EQ(Dialogs.FileDialogsShown.size(), 2u);
    EXPECT_EQ(Dialogs.FileDialogsShown[1].Kind, TFileDialog::TKind::Folder);
    EXPECT_EQ(Dialogs.FileDialogsShown[1].Title, "Download 2 Files Into");
    EXPECT_EQ(LogEntries().last(), "Transfer of selected files complete.");
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_EQ(Form->Runner().Simultaneous(), 2) << "two connections unless the user chose otherwise";
}

// The queue's connections end when the window closes, and news that
// reaches the local tree meanwhile (its watch's, say) reaches no part gone.
TEST_F(Transfers, NewsWhileTheWindowClosesReachesNoPartGone)
{
    SysTree->SetSelection(QString::fromStdString(Local.Path().string()));
    SelectFiles({"notes.txt"});
    actDownload->trigger();
    WaitForTransfers();
    EXPECT_EQ(Contents(Local.File("notes.txt")), "n");

    // The tree's selection moves, again and again, until the window is gone.
    TdfsSystemTreeView *tree = SysTree;
    const QStringList folders{QDir::homePath(), QString::fromStdString(Local.Path().string())};
    // One at a time: news that came faster than a slow build takes it
    // would keep the close draining for ever.
    auto open = std::make_shared<std::atomic<bool>>(true);
    auto waiting = std::make_shared<std::atomic<bool>>(false);
    std::thread news([&, open, waiting] {
        for (int i = 0; *open; ++i) {
            if (!waiting->exchange(true))
                IdMainThreadQueue::Post([=] {
                    if (*open)
                        tree->SetSelection(folders[i % 2]);
                    *waiting = false;
                });
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    Form.reset();
    *open = false;
    news.join();
    IdMainThreadQueue::Drain();
}

TEST_F(Transfers, ARefusedDownloadLeavesAnExistingFileIntact)
{
    std::ofstream(Local.File("notes.txt")) << "precious";
    std::filesystem::remove(Remote("pub/notes.txt"));  // gone since the listing
    SelectFiles({"notes.txt"});
    Dialogs.FileAnswers.push_back(QStringList{LocalText("notes.txt")});
    actDownloadAs->trigger();
    WaitForTransfers();
    // One box and one log line, saying the same.
    const QString told = "Download of notes.txt failed: 550 No such file or directory. The existing local file was kept.";
    EXPECT_EQ(Dialogs.Errors, QStringList{told});
    EXPECT_EQ(LogEntries().filter(QRegularExpression("^(Download|Transfer)")),
              (QStringList{"Transfer Started: notes.txt", told}));
    EXPECT_EQ(Contents(Local.File("notes.txt")), "precious");
    EXPECT_EQ(PartFiles(Local.Path()), 0);
}

// Several files into a folder that holds some of them: each is asked for,
// or all at once; the one file of the save dialog is not asked twice.
TEST_F(Transfers, DownloadsAskBeforeReplacingALocalFile)
{
    Form->Runner().SetSimultaneous(1);  // the questions in the listing's order
    std::ofstream(Local.File("notes.txt")) << "precious";
    std::ofstream(Local.File("report.pdf")) << "old";
    SelectFiles({"notes.txt", "report.pdf"});
    Dialogs.FileAnswers.push_back(QStringList{LocalText("")});  // the folder they go into
    Dialogs.OverwriteAnswers = {{TOverwriteAnswer::Skip, false}, {TOverwriteAnswer::Rename, false}};
    actDownloadAs->trigger();
    WaitForTransfers();
    ASSERT_EQ(Dialogs.OverwritesAsked.size(), 2u);
    EXPECT_EQ(Dialogs.OverwritesAsked[0].Text, "\"notes.txt\" already exists in " + LocalText("").chopped(1) + ".");
    // "Apply to all" while more files follow.
    EXPECT_TRUE(Dialogs.OverwritesAsked[0].Several);
    EXPECT_EQ(Dialogs.OverwritesAsked[1].FreeName, "report (2).pdf");
    EXPECT_FALSE(Dialogs.OverwritesAsked[1].Several);
    EXPECT_EQ(Contents(Local.File("notes.txt")), "precious");
    EXPECT_EQ(Contents(Local.File("report.pdf")), "old");
    EXPECT_EQ(Contents(Local.File("report (2).pdf")), "p");
    EXPECT_TRUE(LogEntries().contains("Skipped \"notes.txt\": the local file of that name was kept."));

    // Overwrite, for all: one question.
    Dialogs.FileAnswers.push_back(QStringList{LocalText("")});  // the folder they go into
    Dialogs.OverwriteAnswers = {{TOverwriteAnswer::Overwrite, true}};
    actDownloadAs->trigger();
    WaitForTransfers();
    EXPECT_EQ(Dialogs.OverwritesAsked.size(), 3u);
    EXPECT_EQ(Contents(Local.File("notes.txt")), "n");
    EXPECT_EQ(Contents(Local.File("report.pdf")), "p");

    // One file: the save dialog has asked already.
    SelectFiles({"notes.txt"});
    Dialogs.FileAnswers.push_back(QStringList{LocalText("report.pdf")});
    actDownloadAs->trigger();
    WaitForTransfers();
    EXPECT_EQ(Dialogs.OverwritesAsked.size(), 3u);
    EXPECT_EQ(Contents(Local.File("report.pdf")), "n");
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// Ctrl+D without a dialog: into the local tree's folder, with Veldra's own
// question for a file that is there, which shows both files' sizes and
// dates; with two connections asking at once, one question at a time.
TEST_F(Transfers, DownloadsIntoTheTreesFolderAskOneQuestionAtATime)
{
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(LocalText("")));
    std::ofstream(Local.File("notes.txt")) << "precious";
    std::ofstream(Local.File("report.pdf")) << "old";
    SelectFiles({"notes.txt"});
    Dialogs.OverwriteAnswers = {{TOverwriteAnswer::Skip, false}};
    actDownload->trigger();
    WaitForTransfers();
    EXPECT_TRUE(Dialogs.FileDialogsShown.empty());
    ASSERT_EQ(Dialogs.OverwritesAsked.size(), 1u);
    EXPECT_EQ(Dialogs.OverwritesAsked[0].Existing.section(',', 0, 0), "Local file: 8 B");
    EXPECT_EQ(Dialogs.OverwritesAsked[0].Incoming.section(',', 0, 0), "On the server: 1 B");
    EXPECT_EQ(Dialogs.OverwritesAsked[0].Incoming.count(','), 1) << "a date follows the size";
    EXPECT_EQ(Contents(Local.File("notes.txt")), "precious");

    Form->Runner().SetSimultaneous(2);
    Dialogs.OverwriteWaitMs = 300;  // each question stays open a while, as a user's would
    Dialogs.OverwriteAnswers = {{TOverwriteAnswer::Overwrite, false}, {TOverwriteAnswer::Overwrite, false}};
    SelectFiles({"notes.txt", "report.pdf"});
    actDownload->trigger();
    WaitForTransfers();
    EXPECT_EQ(Dialogs.OverwritesAsked.size(), 3u);
    EXPECT_EQ(Dialogs.MostOverwritesOpen, 1);
    EXPECT_EQ(Contents(Local.File("notes.txt")), "n");
    EXPECT_EQ(Contents(Local.File("report.pdf")), "p");
}

// The listing tells which remote files exist (some servers answer no
// SIZE); SIZE tells of one that came since.
TEST_F(Transfers, UploadsAskBeforeReplacingARemoteFile)
{
    std::ofstream(Local.File("notes.txt")) << "mine";
    std::ofstream(Local.File("new.txt")) << "new";
    Dialogs.FileAnswers.push_back(QStringList{LocalText("notes.txt"), LocalText("new.txt")});
    actUpload->trigger();
    WaitForTransfers();
    ASSERT_EQ(Dialogs.OverwritesAsked.size(), 1u);
    EXPECT_EQ(Dialogs.OverwritesAsked[0].Text, "\"notes.txt\" already exists on the server in /pub.");
    EXPECT_EQ(Contents(Remote("pub/notes.txt")), "n");
    EXPECT_EQ(Contents(Remote("pub/new.txt")), "new");

    std::ofstream(Remote("pub/late.txt")) << "late";
    std::ofstream(Local.File("late.txt")) << "mine";
    Dialogs.FileAnswers.push_back(QStringList{LocalText("late.txt")});
    actUpload->trigger();
    WaitForTransfers();
    ASSERT_EQ(Dialogs.OverwritesAsked.size(), 2u);
    EXPECT_EQ(Contents(Remote("pub/late.txt")), "late");

    Dialogs.FileAnswers.push_back(QStringList{LocalText("notes.txt")});
    Dialogs.OverwriteAnswers = {{TOverwriteAnswer::Rename, false}};
    actUpload->trigger();
    WaitForTransfers();
    EXPECT_EQ(Dialogs.OverwritesAsked.size(), 3u);
    EXPECT_EQ(Contents(Remote("pub/notes.txt")), "n");
    EXPECT_EQ(Contents(Remote("pub/notes (2).txt")), "mine");
    EXPECT_TRUE(Files().contains("notes (2).txt"));
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// An upload onto a shorter file of that name on the server offers Resume,
// which sends only the rest; a longer one is not offered it.
TEST_F(Transfers, AnUploadGoesOnFromWhatTheServerHas)
{
    const std::string whole(700000, 'w');
    std::ofstream(Local.File("big.bin"), std::ios::binary) << whole;
    std::ofstream(Remote("pub/big.bin"), std::ios::binary) << whole.substr(0, 300000);
    btnChangeFolder->click();
    Dialogs.OverwriteAnswers = {{TOverwriteAnswer::Resume, false}};
    Form->Transfers().UploadPath(Local.File("big.bin"));
    WaitForTransfers();
    ASSERT_EQ(Dialogs.OverwritesAsked.size(), 1u);
    EXPECT_TRUE(Dialogs.OverwritesAsked[0].CanResume);
    EXPECT_TRUE(LogEntries().contains("Resuming big.bin at byte 300000."));
    EXPECT_TRUE(Contents(Remote("pub/big.bin")) == whole);

    std::ofstream(Local.File("big.bin"), std::ios::binary) << "short";
    Dialogs.OverwriteAnswers = {{TOverwriteAnswer::Overwrite, false}};
    Form->Transfers().UploadPath(Local.File("big.bin"));
    WaitForTransfers();
    EXPECT_FALSE(Dialogs.OverwritesAsked[1].CanResume);
    EXPECT_EQ(Contents(Remote("pub/big.bin")), "short");
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// A transfer whose session the server ends is tried twice more, each time
// said in the log; then no "Transfer Complete.", one sentence in the log
// and in one box, the local file as it was. The next item goes on with a
// new login, and the browsing connection stays.
TEST_F(Transfers, ATransferTheServerCutsIsRetriedThenToldAndTheNextGoesOn)
{
    // Active: the session ends before a passive data connection could be
    // made, which would fail in other words.
    Form->Connection().SetPassiveMode(false);
    Form->Runner().RetryDelay = 50;
    std::ofstream(Remote("pub/cut.bin"), std::ios::binary) << std::string(100000, 'c');
    btnChangeFolder->click();
    std::ofstream(Local.File("cut.bin")) << "keep";
    SelectFiles({"cut.bin", "notes.txt"});
    Dialogs.FileAnswers.push_back(QStringList{LocalText("")});  // the folder they go into
    Dialogs.OverwriteAnswers = {{TOverwriteAnswer::Overwrite, false}};
    actDownloadAs->trigger();
    WaitForTransfers();
    const QString told =
        "Download of cut.bin failed: the connection was closed by the server. The existing local file was kept.";
    EXPECT_EQ(Dialogs.Errors, QStringList{told});
    const QStringList entries = LogEntries();
    EXPECT_EQ(entries.count(told), 3) << entries.join('\n').toStdString();
    EXPECT_EQ(entries.filter(QRegularExpression("^Retrying cut.bin in 0.05 s \\([12] of 2\\)\\.$")).size(), 2)
        << entries.join('\n').toStdString();
    EXPECT_EQ(Dialogs.OverwritesAsked.size(), 1u) << "a retry does not ask again";
    EXPECT_EQ(entries.last(), "1 of 2 files transferred; 1 failed.");
    EXPECT_EQ(Contents(Local.File("cut.bin")), "keep");
    EXPECT_EQ(Contents(Local.File("notes.txt")), "n");
    EXPECT_EQ(sbMain->PanelText(0), "Status: Online");
    EXPECT_EQ(pbTransfers->value(), 0);
    const auto &rows = Form->Runner().Queue().Items();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].State, TTransferState::Failed);
    EXPECT_EQ(rows[0].Reason, told);
    EXPECT_EQ(rows[1].State, TTransferState::Done);
}

// A data connection lost half way: the retry goes on from what arrived.
TEST_F(Transfers, ARetryGoesOnWhereTheDroppedTransferStopped)
{
    Form->Runner().RetryDelay = 50;
    std::string payload(2'000'000, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 31 + i / 977);
    std::ofstream(Remote("pub/drop.bin"), std::ios::binary) << payload;
    btnChangeFolder->click();
    SelectFiles({"drop.bin"});
    Dialogs.FileAnswers.push_back(QStringList{LocalText("drop.bin")});
    actDownloadAs->trigger();
    WaitForTransfers();
    const QStringList entries = LogEntries();
    EXPECT_TRUE(entries.contains("Retrying drop.bin in 0.05 s (1 of 2).")) << entries.join('\n').toStdString();
    EXPECT_EQ(entries.filter(QRegularExpression("^Resuming drop.bin at byte [1-9][0-9]*\\.$")).size(), 1);
    EXPECT_TRUE(Contents(Local.File("drop.bin")) == payload);
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// What the transfer connections say of themselves reaches the log once,
// however many of them say it: here each falls back to passive mode.
TEST_F(Transfers, WhatTheTransferConnectionsSayIsLoggedOnce)
{
    Form->Connection().SetPassiveMode(false);
    std::ofstream(Remote(".no-port")) << "";
    SelectFiles({"notes.txt", "report.pdf"});
    Dialogs.FileAnswers.push_back(QStringList{LocalText("")});  // the folder they go into
    actDownloadAs->trigger();
    WaitForTransfers();
    EXPECT_EQ(Contents(Local.File("notes.txt")), "n");
    EXPECT_EQ(Contents(Local.File("report.pdf")), "p");
    const QStringList entries = LogEntries();
    EXPECT_EQ(entries.filter("Active mode failed (501 Active mode is not allowed here.)").size(), 1)
        << entries.join('\n').toStdString();
}

// A remote folder may hold files named like the parts a download leaves,
// matching its other files' size and time: they come down as files under
// their own names, and the download of the file they mimic starts afresh
// beside them and leaves them be.
TEST_F(Transfers, FilesNamedLikePartsAreFilesLikeAnyOther)
{
    const std::string big(TTransferWorker::ResumableSize * 2, 'b');
    const std::string planted = "the server's chosen bytes";
    const std::string origin = std::to_string(big.size()) + " 20260102030405\n";
    std::ofstream(Remote("pub/big.bin"), std::ios::binary) << big;
    const timeval times[2] = {{1767323045, 0}, {1767323045, 0}};  // 2026-01-02 03:04:05 UTC
    ::utimes(Remote("pub/big.bin").c_str(), times);
    std::ofstream(Remote("pub/.big.bin.veldra-part")) << planted;
    std::ofstream(Remote("pub/.big.bin.veldra-part.info")) << origin;
    btnChangeFolder->click();
    SelectFiles({".big.bin.veldra-part", ".big.bin.veldra-part.info"});
    Dialogs.FileAnswers.push_back(QStringList{LocalText("")});  // the folder they go into
    actDownloadAs->trigger();
    WaitForTransfers();
    SelectFiles({"big.bin"});
    Dialogs.FileAnswers.push_back(QStringList{LocalText("big.bin")});
    actDownloadAs->trigger();
    WaitForTransfers();
    EXPECT_TRUE(Contents(Local.File("big.bin")) == big);
    EXPECT_EQ(Contents(Local.File(".big.bin.veldra-part")), planted);
    EXPECT_EQ(Contents(Local.File(".big.bin.veldra-part.info")), origin);
    EXPECT_TRUE(LogEntries().filter("Resuming").isEmpty()) << LogEntries().join('\n').toStdString();
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// A listing may name anything: a name that would lead out of the target
// folder is logged and skipped, the others go on.
TEST_F(Transfers, RemoteNamesStayInTheirFolder)
{
    TRemoteItemModel *items = lvFiles->Items();
    std::vector<TRemoteItemModel::TItem> all;
    for (int i = 0; i < items->rowCount(); ++i)
        all.push_back(items->Item(i));
    for (const char *hostile : {"../escaped.txt", "..", "sub/inner.txt"})
        all.push_back({hostile, QString::fromLatin1(hostile), -1});
    items->Assign(std::move(all));
    lvFiles->selectAll();
    Dialogs.FileAnswers.push_back(QStringList{LocalText("")});  // the folder they go into
    actDownloadAs->trigger();
    WaitForTransfers();
    EXPECT_EQ(Contents(Local.File("notes.txt")), "n");
    EXPECT_EQ(Contents(Local.File("report.pdf")), "p");
    EXPECT_FALSE(std::filesystem::exists(Local.Path().parent_path() / "escaped.txt"));
    for (const char *hostile : {"../escaped.txt", "..", "sub/inner.txt"})
        EXPECT_TRUE(LogEntries().contains(QString("Skipped \"%1\": it is not a name a local file can have.").arg(hostile)))
            << hostile;
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(Transfers, UploadsFromTheDialogTheTreeAndTheFileManager)
{
    std::ofstream(Local.File("a.txt")) << "aaa";
    std::ofstream(Local.File("b.txt")) << "bb";
    std::ofstream(Local.File("c.txt")) << "c";
    Dialogs.FileAnswers.push_back(QStringList{LocalText("a.txt"), LocalText("b.txt")});
    actUpload->trigger();
    WaitForTransfers();
    EXPECT_EQ(Contents(Remote("pub/a.txt")), "aaa");
    EXPECT_EQ(Contents(Remote("pub/b.txt")), "bb");
    EXPECT_TRUE(Files().contains("a.txt"));  // the view shows what arrived
    EXPECT_EQ(Form->Transfers().UploadDialog.InitialDir, QString::fromStdString(Local.Path().string()));

    // The local tree's selection, dragged onto the list.
    SysTree->SetSelection(LocalText("c.txt"));
    ASSERT_TRUE(Form->Transfers().FileListDragOver(SysTree, nullptr));
    Form->Transfers().FileListDragDrop(SysTree, nullptr);
    WaitForTransfers();
    EXPECT_EQ(Contents(Remote("pub/c.txt")), "c");

    // Files from the desktop's file manager, dropped as a list of URLs.
    std::ofstream(Local.File("caf\xe9.txt")) << "latin";
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(LocalText("b.txt")),
                  QUrl::fromEncoded("file://" + QByteArray::fromStdString(Local.File("caf\xe9.txt")).toPercentEncoding("/"))});
    const QPoint at = lvFiles->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(lvFiles->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(lvFiles->viewport(), &drop);
    WaitForTransfers();
    EXPECT_EQ(Contents(Remote("pub/caf\xe9.txt")), "latin");
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// A folder goes up with what it holds, empty folders included, and a link
// to a folder inside is not followed. In IDE-hooks mode (the suite also
// runs with "/USEIDEHOOKS") the log says more, with times.
TEST_F(Transfers, FolderUploads)
{
    const std::filesystem::path folder = Local.Path() / "tree";
    std::filesystem::create_directories(folder / "inner");
    std::filesystem::create_directories(folder / "empty");
    std::ofstream(folder / "top.bin") << "top";
    std::ofstream(folder / "inner" / "deep.bin") << "deep";
    std::filesystem::create_directory_symlink("..", folder / "loop");
    Form->Transfers().FileListDragDrop(nullptr, nullptr);  // nothing dropped: nothing happens
    Form->Transfers().UploadPath(folder.string());
    WaitForTransfers();
    EXPECT_EQ(Contents(Remote("pub/tree/top.bin")), "top");
    EXPECT_EQ(Contents(Remote("pub/tree/inner/deep.bin")), "deep");
    EXPECT_TRUE(std::filesystem::is_directory(Remote("pub/tree/empty")));
    EXPECT_FALSE(std::filesystem::exists(Remote("pub/tree/loop")));
    const QString skipped = "Skipped a link to a folder: " + QString::fromStdString((folder / "loop").string());
    EXPECT_EQ(LogEntries().filter(skipped).size(), 1) << LogEntries().join('\n').toStdString();
    EXPECT_EQ(LogEntries().filter("Transfering directory: ").size(), UseIDEHooks() ? 3 : 0);
    EXPECT_EQ(Form->FTP.QueryCurrentFolder(), "/pub");
    EXPECT_TRUE(Folders().contains("tree")) << "the view shows what arrived";
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// The suite also runs with "/USEIDEHOOKS": then the start of a download
// is a block of lines with source, destination and size.
TEST_F(Transfers, DownloadLogEntries)
{
    Form->Transfers().DownloadFile("report.pdf", Local.File("r.pdf"));
    WaitForTransfers();
    const QStringList entries = LogEntries();
    if (UseIDEHooks()) {
        const QString block = "| Binary Transfer Started: \r\n    Source:      report.pdf\r\n    Destination: " +
                              LocalText("r.pdf") + "\r\n    File Size:   1";
        EXPECT_EQ(entries.filter(block).size(), 1) << entries.join('\n').toStdString();
    } else {
        EXPECT_TRUE(entries.contains("Transfer Started: report.pdf"));
    }
    EXPECT_EQ(Contents(Local.File("r.pdf")), "p");
}

TEST_F(Transfers, TheTreeTakesRemoteFilesOnFoldersOnly)
{
    std::filesystem::create_directories(Local.Path() / "folder");
    std::ofstream(Local.File("file.txt")) << "f";
    TdfsSystemTreeView *tree = SysTree;
    tree->SetSelection(QString::fromStdString(Local.Path().string()));
    TTreeNode *local = tree->Selected();
    ASSERT_TRUE(local && tree->Expand(local));
    // The node under the pointer while dragging.
    const auto dropOn = [&](const QString &caption) {
        for (int i = 0; i < local->Count(); ++i)
            if (local->Item(i)->Text == caption) {
                tree->MakeVisible(local->Item(i));
                QMimeData data;
                const QPoint at = tree->visualRect(tree->Items().IndexOf(local->Item(i))).center();
                QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
                QApplication::sendEvent(tree->viewport(), &enter);
                QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
                QApplication::sendEvent(tree->viewport(), &move);
                return tree->DropTarget() == local->Item(i);
            }
        return false;
    };
    ASSERT_TRUE(dropOn("folder"));
    EXPECT_TRUE(Form->Transfers().TreeDragOver(lvFiles));
    EXPECT_TRUE(Form->Transfers().TreeDragOver(tvFolders));  // a remote folder
    EXPECT_FALSE(Form->Transfers().TreeDragOver(btnConnect));
    SelectFiles({"notes.txt"});
    Form->Transfers().TreeDragDrop(lvFiles);
    WaitForTransfers();
    EXPECT_EQ(Contents(Local.Path() / "folder" / "notes.txt"), "n");
    ASSERT_TRUE(dropOn("file.txt"));
    EXPECT_FALSE(Form->Transfers().TreeDragOver(lvFiles));  // a caption with a dot is a file
}

}  // namespace
