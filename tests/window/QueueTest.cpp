// The transfer queue at work in the window, against a real server whose
// "slow*" files move at 2 MB/s: the order and Move Up, Cancel (by the
// button and by Del in the table), browsing and a rename while a download
// runs, and the close that stops transfers, which are offered again at
// the next login.
#include "FormFixture.h"

#include "ByteUnits.h"
#include "StatusBar.h"
#include "TransferPanel.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTabBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <set>

namespace {

constexpr int Slow = 2'000'000;  // bytes a second, as the server sends slow* files

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 4096);
    return bytes;
}

class TransferQueueAtWork : public ConnectedForm {
protected:
    void SetUp() override
    {
        ConnectedForm::SetUp();
        if (HasFatalFailure())
            return;
        std::ofstream(Remote("pub/slow.bin"), std::ios::binary) << Pattern(3 * Slow);
        btnChangeFolder->click();
        // One at a time: these tests are about the queue's order.
        Form->Runner().SetSimultaneous(1);
    }

    // One download through the save dialog, as a double-click starts it.
    void Download(const QString &name, const std::string &target)
    {
        SelectFiles({name});
        Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(Local.File(target))});
        actDownloadAs->trigger();
    }
    const TTransferItem &Row(int row) const { return Form->Runner().Queue().Items().at(size_t(row)); }
    void WaitUntilRunning(int row)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return Row(row).State == TTransferState::Transferring && Row(row).Done > 0; },
                                    20000));
    }
    // The Transfers page, shown by a click on its tab, and a row chosen by
    // a click.
    QTreeView *ChooseRow(int row)
    {
        auto *tabs = Form->findChild<QTabWidget *>("pcLog");
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
        auto *rows = Form->findChild<QTreeView *>("tvTransfers");
        EXPECT_TRUE(rows->isVisible());
        const QModelIndex index = rows->model()->index(row, 1);
        rows->scrollTo(index);
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualRect(index).center());
        return rows;
    }
    void Click(const QString &button)
    {
        for (QToolButton *candidate : Form->findChild<TTransferPanel *>()->findChildren<QToolButton *>())
            if (candidate->text() == button) {
                ASSERT_TRUE(candidate->isEnabled()) << button.toStdString();
                candidate->click();
                return;
            }
        FAIL() << "no button " << button.toStdString();
    }
    // A right click on a row and a choice in its menu.
    void ChooseInMenu(int row, const QString &choice)
    {
        QTreeView *rows = ChooseRow(row);
        QString chosen;
        QTimer answer;  // gone with this call, had no menu come
        answer.setSingleShot(true);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions())
                if (action->text() == choice && action->isEnabled()) {
                    chosen = choice;
                    menu->setActiveAction(action);
                }
            QTest::keyClick(menu, chosen.isEmpty() ? Qt::Key_Escape : Qt::Key_Return);
        });
        answer.start(0);
        const QPoint at = rows->visualRect(rows->model()->index(row, 1)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, rows->viewport()->mapToGlobal(at));
        QApplication::sendEvent(rows->viewport(), &event);
        EXPECT_EQ(chosen, choice) << "not in the menu, or off";
    }
    QStringList Started() const
    {
        return LogEntries().filter(QRegularExpression("^Transfer Started: "));
    }

    TempDir Local;
};

TEST_F(TransferQueueAtWork, ItemsRunInOrderAndAMovedOneGoesFirst)
{
    Download("slow.bin", "slow.bin");
    WaitUntilRunning(0);
    Download("notes.txt", "notes.txt");
    Download("report.pdf", "report.pdf");
    QTreeView *rows = ChooseRow(2);
    Click("Move &Up");

    // The columns fit their texts, the paths and the state's reason share
    // the rest, until the user sizes one; then a larger window keeps that
    // width.
    QHeaderView *header = rows->header();
    EXPECT_GT(header->sectionSize(0), rows->fontMetrics().horizontalAdvance("Download folder"));
    EXPECT_EQ(header->sectionSize(1), header->sectionSize(2));
    EXPECT_GT(header->sectionSize(1), rows->fontMetrics().horizontalAdvance("/tmp/report.pdf"));
    EXPECT_GT(header->sectionSize(7), header->sectionSize(1));
    // About eight rows show without scrolling.
    EXPECT_GE(rows->viewport()->height(), 8 * rows->sizeHintForRow(0));
    header->resizeSection(1, 70);
    Form->resize(Form->width() + 200, Form->height());
    QTest::qWait(50);
    EXPECT_EQ(header->sectionSize(1), 70);
    WaitForTransfers();
    EXPECT_EQ(Started(), (QStringList{"Transfer Started: slow.bin", "Transfer Started: report.pdf",
                                      "Transfer Started: notes.txt"}));
    EXPECT_TRUE(Contents(Local.File("slow.bin")) == Pattern(3 * Slow));
    EXPECT_EQ(Contents(Local.File("notes.txt")), "n");
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// Del in the table cancels the running transfer at once: the old local
// file stays (what arrived waits for a resume), nothing is deleted on the
// server, and the next item runs, on a fresh connection where the server
// refused its data connection after the cancel (as vsftpd does when TLS
// session reuse failed).
TEST_F(TransferQueueAtWork, ACancelledDownloadKeepsTheOldFileAndTheNextRuns)
{
    std::ofstream(Remote(".522-after-abort")) << "";
    std::ofstream(Local.File("slow.bin")) << "old";
    Download("slow.bin", "slow.bin");
    WaitUntilRunning(0);
    Download("notes.txt", "copy.txt");
    ChooseRow(0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    WaitForTransfers();
    EXPECT_EQ(Row(0).State, TTransferState::Cancelled);
    EXPECT_EQ(Contents(Local.File("slow.bin")), "old");
    EXPECT_EQ(Row(1).State, TTransferState::Done) << Row(1).Reason.toStdString();
    EXPECT_EQ(Contents(Local.File("copy.txt")), "n");
    EXPECT_TRUE(LogOfContains("Trying again on a new connection."));
    EXPECT_TRUE(Dialogs.Questions.isEmpty()) << "Del here is not a delete on the server";
    EXPECT_TRUE(std::filesystem::exists(Remote("pub/slow.bin")));
    // Beside the files, only what a resume needs.
    const auto parts = ResumableParts(Local.Path(), "slow.bin");
    ASSERT_EQ(parts.size(), 1u);
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(Local.Path()))
        names.insert(entry.path().filename().string());
    const std::string part = parts.front().filename().string();
    EXPECT_EQ(names, (std::set<std::string>{"slow.bin", "copy.txt", part, part + ".info"}));
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << "a cancel is no failure";

    // Queued items go at once, by the button too; Clear Finished takes the
    // ended rows away.
    Download("slow.bin", "again.bin");
    WaitUntilRunning(2);
    Download("report.pdf", "report.pdf");
    ChooseRow(3);
    Click("&Cancel");
    EXPECT_EQ(Row(3).State, TTransferState::Cancelled);
    ChooseRow(2);
    Click("&Cancel");
    WaitForTransfers();
    EXPECT_FALSE(std::filesystem::exists(Local.File("again.bin")));
    EXPECT_FALSE(std::filesystem::exists(Local.File("report.pdf")));
    Click("C&lear Finished");
    EXPECT_TRUE(Form->Runner().Queue().Items().empty());
}

// Where the server hashes files, a download is proven whole and says so
// on the Transfers page; one whose digest differs fails after its retries
// and never takes the file's place.
TEST_F(TransferQueueAtWork, AFileProvenWholeSaysSoAndOneThatDiffersFails)
{
    std::ofstream(Remote(".hash")) << "";
    actConnect->trigger();
    actConnect->trigger();  // logged in again: FEAT offers HASH now
    ASSERT_TRUE(Form->FTP.Connected());
    Form->Runner().RetryDelay = 0;
    Download("report.pdf", "report.pdf");
    WaitForTransfers();
    const auto state = [this](int row) {
        QTreeView *rows = ChooseRow(row);
        const int column = rows->model()->columnCount() - 1;
        EXPECT_EQ(rows->model()->headerData(column, Qt::Horizontal).toString(), "State");
        return rows->model()->index(row, column).data().toString().toStdString();
    };
    EXPECT_EQ(state(0), "Verified (SHA-256)");
    EXPECT_EQ(Contents(Local.File("report.pdf")), "p");

    std::filesystem::rename(Remote(".hash"), Remote(".hash-wrong"));
    Download("notes.txt", "notes.txt");
    WaitForTransfers();
    EXPECT_EQ(state(1), "Failed: Download of notes.txt failed: The server's SHA-256 differs from the downloaded file's.");
    EXPECT_FALSE(std::filesystem::exists(Local.File("notes.txt")));
    EXPECT_TRUE(LogOfContains("Retrying notes.txt in 0 s (2 of 2)."));
}

TEST_F(TransferQueueAtWork, TheUserBrowsesAndRenamesWhileADownloadRuns)
{
    Download("slow.bin", "slow.bin");
    WaitUntilRunning(0);
    const QPoint sub = tvFolders->visualItemRect(Folder("sub")).center();
    QTest::mouseClick(tvFolders->viewport(), Qt::LeftButton, {}, sub);
    QTest::mouseDClick(tvFolders->viewport(), Qt::LeftButton, {}, sub);
    EXPECT_TRUE(QTest::qWaitFor([&] { return edCurrentDir->text().endsWith("/sub"); }, 5000));
    std::ofstream(Remote("pub/sub/inner.txt")) << "i";
    btnUpAFolder->click();
    SelectFiles({"notes.txt"});
    Dialogs.InputAnswers = {QString("renamed.txt")};
    actRename->trigger();
    EXPECT_TRUE(std::filesystem::exists(Remote("pub/renamed.txt")));
    EXPECT_TRUE(Files().contains("renamed.txt"));
    EXPECT_EQ(Row(0).State, TTransferState::Transferring) << "browsing took less than the download";
    WaitForTransfers();
    EXPECT_TRUE(Contents(Local.File("slow.bin")) == Pattern(3 * Slow));
    EXPECT_TRUE(Dialogs.Messages.isEmpty()) << Dialogs.Messages.join('\n').toStdString();
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// Two connections: two slow files move at once; the setting, a spin box
// on the Transfers page, is kept.
TEST_F(TransferQueueAtWork, TwoTransfersRunAtOnce)
{
    auto *count = Form->findChild<QSpinBox *>("seSimultaneous");
    ASSERT_TRUE(count);
    count->setValue(2);
    std::ofstream(Remote("pub/slow2.bin"), std::ios::binary) << Pattern(2 * Slow);
    btnChangeFolder->click();
    SelectFiles({"slow.bin", "slow2.bin"});
    Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(Local.Path().string())});
    actDownloadAs->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row(0).Done > 0 && Row(1).Done > 0; }, 20000))
        << "both at once";
    WaitForTransfers();
    EXPECT_TRUE(Contents(Local.File("slow.bin")) == Pattern(3 * Slow));
    EXPECT_TRUE(Contents(Local.File("slow2.bin")) == Pattern(2 * Slow));

    count->setValue(3);
    Stop();
    Start();
    EXPECT_EQ(Form->Runner().Simultaneous(), 3);
    EXPECT_EQ(Form->findChild<QSpinBox *>("seSimultaneous")->value(), 3);
}

// A cancelled download keeps what arrived in a part file beside the
// target; the next download of the same file goes on from there.
TEST_F(TransferQueueAtWork, ACancelledDownloadGoesOnWhereItStopped)
{
    Download("slow.bin", "slow.bin");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row(0).Done > Slow; }, 20000));
    ChooseInMenu(0, "&Cancel");
    WaitForTransfers();
    const auto parts = ResumableParts(Local.Path(), "slow.bin");
    ASSERT_EQ(parts.size(), 1u);
    const std::filesystem::path part = parts.front();
    const auto kept = std::filesystem::file_size(part);
    EXPECT_GT(kept, uintmax_t(Slow));
    EXPECT_FALSE(std::filesystem::exists(Local.File("slow.bin")));

    Download("slow.bin", "slow.bin");
    WaitForTransfers();
    EXPECT_EQ(sbMain->PanelText(2), "") << "the speed goes with the transfers";
    EXPECT_TRUE(LogEntries().contains(QString("Resuming slow.bin at byte %1.").arg(kept)))
        << LogEntries().join('\n').toStdString();
    EXPECT_TRUE(Contents(Local.File("slow.bin")) == Pattern(3 * Slow));
    EXPECT_FALSE(std::filesystem::exists(part));
    EXPECT_FALSE(std::filesystem::exists(part.string() + ".info"));
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// A second download over a file that exists asks, and offers Resume only
// while the server's file is still the one the part came from; a server
// that refuses REST gets the whole file again.
TEST_F(TransferQueueAtWork, ResumeIsOfferedForTheSameFileAndFallsBackWhenRefused)
{
    struct Case {
        const char *Name;
        bool ChangeRemote, RefuseRest, Offered;
        const char *Told;  // the log line's start
    };
    const Case cases[] = {
        {"slow-same.bin", false, false, true, "Resuming slow-same.bin at byte "},
        {"slow-changed.bin", true, false, false, nullptr},
        {"slow-refused.bin", false, true, true, "The server would not resume (502 Command not implemented.): "},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.Name);
        std::string remote = Pattern(3 * Slow);
        std::ofstream(Remote(std::string("pub/") + row.Name), std::ios::binary) << remote;
        std::ofstream(Local.File(row.Name)) << "old";
        btnChangeFolder->click();
        const auto download = [&](TOverwriteAnswer answer) {
            // With another file, so the target is not the save dialog's own;
            // that one is new each time, and asks nothing.
            std::filesystem::remove(Local.File("notes.txt"));
            SelectFiles({row.Name, "notes.txt"});
            Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(Local.Path().string())});
            Dialogs.OverwriteAnswers = {{answer, false}};
            actDownloadAs->trigger();
        };
        download(TOverwriteAnswer::Overwrite);
        const int slow = int(Form->Runner().Queue().Items().size()) - 1;  // after notes.txt
        ASSERT_TRUE(QTest::qWaitFor([&] { return Row(slow).Done > Slow; }, 20000));
        Form->Runner().Cancel({Row(slow).Id});
        WaitForTransfers();
        if (row.ChangeRemote) {
            remote = Pattern(3 * Slow + 1);
            std::ofstream(Remote(std::string("pub/") + row.Name), std::ios::binary) << remote;
        }
        if (row.RefuseRest)
            std::ofstream(Remote(".no-rest")) << "";
        Dialogs.OverwritesAsked.clear();
        // While the question is open, what arrived before counts as done.
        const int64_t kept = int64_t(std::filesystem::file_size(ResumableParts(Local.Path(), row.Name).at(0)));
        int64_t doneWhileAsked = -1;
        Dialogs.OverwriteWaitMs = 400;
        QTimer look;  // the question's own loop runs it
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (Dialogs.OverwritesOpen > 0)
                doneWhileAsked = Form->Runner().Queue().Items().back().Done;
        });
        look.start(20);
        download(row.Offered ? TOverwriteAnswer::Resume : TOverwriteAnswer::Overwrite);
        WaitForTransfers();
        Dialogs.OverwriteWaitMs = 0;
        EXPECT_EQ(doneWhileAsked, kept);
        std::filesystem::remove(Remote(".no-rest"));
        ASSERT_FALSE(Dialogs.OverwritesAsked.empty());
        EXPECT_EQ(Dialogs.OverwritesAsked.front().CanResume, row.Offered);
        if (row.Told) {
            EXPECT_EQ(LogEntries().filter(row.Told).size(), 1) << LogEntries().join('\n').toStdString();
        }
        EXPECT_TRUE(Contents(Local.File(row.Name)) == remote);
        EXPECT_TRUE(ResumableParts(Local.Path(), row.Name).empty());
    }
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// The close asks first; No keeps the transfer going, Yes stops it with the
// old file kept. At the next login the unfinished item is offered, and
// runs to the end.
TEST_F(TransferQueueAtWork, AClosedWindowOffersWhatItStoppedAtTheNextLogin)
{
    std::ofstream(Local.File("slow.bin")) << "old";
    Dialogs.OverwriteAnswers = {{TOverwriteAnswer::Overwrite, false}};
    SelectFiles({"slow.bin", "notes.txt"});
    Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(Local.Path().string())});
    actDownloadAs->trigger();
    WaitUntilRunning(1);  // in the listing's order, after notes.txt
    Dialogs.ConfirmAnswers = {false, true};
    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(Form->isVisible());
    EXPECT_TRUE(Form->Runner().Active());
    Form->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Form->isVisible(); }, 5000));
    EXPECT_EQ(Dialogs.Questions, (QStringList{"Transfers are still running. Stop them and quit?",
                                              "Transfers are still running. Stop them and quit?"}));
    EXPECT_EQ(Contents(Local.File("slow.bin")), "old");
    std::filesystem::remove(Local.File("notes.txt"));
    Stop();

    Start();
    Form->show();
    Dialogs.ConfirmAnswers = {true};
    Dialogs.OverwriteAnswers = {{TOverwriteAnswer::Overwrite, false}};
    actConnect->trigger();
    ASSERT_TRUE(Form->FTP.Connected());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Dialogs.Questions.size() == 3; }, 5000));
    // Named as the user knows the site.
    EXPECT_EQ(Dialogs.Questions.last(),
              QString("1 transfer to localhost:%1 was not finished. Queue it again?").arg(Server.Port()));
    WaitForTransfers();
    EXPECT_TRUE(Contents(Local.File("slow.bin")) == Pattern(3 * Slow));
    EXPECT_FALSE(std::filesystem::exists(Local.File("notes.txt"))) << "what was done is not done again";
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

}  // namespace
