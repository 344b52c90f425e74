// The settings file as several windows share it, and as a run killed
// leaves it: each window writes what it changed within a second, merged
// into the file as the others left it, and takes what they changed; the
// queue of a run that ended unclean is offered at the next login, and
// never the queue of a run still going.
#include "FormFixture.h"

#include "QueueJournal.h"
#include "RunIdentity.h"
#include "SettingsStore.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <regex>

#include <unistd.h>

namespace {

class SharedSettings : public FormFixture {
protected:
    void SaveSite(TfrmMain &form, const QString &address)
    {
        auto *box = form.findChild<QComboBox *>("cbAddress");
        box->setEditText(address);
        form.findChild<QAction *>("actSaveSite")->trigger();
    }
    static QStringList Addresses(const TfrmMain &form)
    {
        QStringList addresses;
        for (int i = 0; i < form.Sites.Count(); ++i)
            addresses << form.Sites[i].Address;
        return addresses;
    }
    // A few of the window's turns of writing.
    static void AWhile() { QTest::qWait(TfrmMain::SettingsSaveInterval * 2 + 100); }
    // Until `done` holds, or long past a turn of writing (under a
    // sanitizer too).
    static bool Soon(const std::function<bool()> &done) { return QTest::qWaitFor(done, 10000); }
    QString SettingsText() const
    {
        QFile file(SettingsFileName());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

TEST_F(SharedSettings, TwoWindowsKeepEachOthersSitesAndChanges)
{
    WriteSettingsFile("[General]\nSites=1\nSite0.Address=old.example\nSite0.UserName=ann\n");
    Start();
    auto second = std::make_unique<TfrmMain>();
    ASSERT_EQ(Addresses(*second), QStringList{"old.example"});

    SaveSite(*Form, "first.example");
    SaveSite(*second, "second.example");
    // Each shows the other's site, and the file holds all three.
    const QStringList all{"old.example", "first.example", "second.example"};
    EXPECT_TRUE(Soon([&] { return Addresses(*Form) == all && Addresses(*second) == all; }))
        << Addresses(*Form).join(' ').toStdString() << " / " << Addresses(*second).join(' ').toStdString();
    EXPECT_EQ(second->findChild<QComboBox *>("cbAddress")->count(), 3);

    // A site removed in one window while the other changes a value: both.
    Form->Sites.Remove(0);
    second->RemoteView().SetViewStyle(vsList);
    EXPECT_TRUE(Soon([&] { return Addresses(*second) == QStringList{"first.example", "second.example"}; }))
        << Addresses(*second).join(' ').toStdString();
    AWhile();

    // Closing one, then the other, writes nothing stale.
    Stop();
    second.reset();
    const auto settings = ReadSettings();
    EXPECT_EQ(settings->value("Sites").toInt(), 2);
    EXPECT_EQ(settings->value("Site0.Address").toString(), "first.example");
    EXPECT_EQ(settings->value("Site1.Address").toString(), "second.example");
    EXPECT_EQ(settings->value("ViewStyle").toInt(), vsList);
}

// A change is on disk while the window runs, as another program reads it.
TEST_F(SharedSettings, AChangeIsOnDiskWhileTheWindowRuns)
{
    Start();
    AWhile();
    TTransferRunner::TOptions options = Form->Runner().Options();
    options.DownloadLimit = 321;
    Form->Runner().SetOptions(options);
    SaveSite(*Form, "kept.example");
    EXPECT_TRUE(Soon([&] {
        return ReadSettings()->value("Transfers/DownloadLimit").toInt() == 321 &&
               ReadSettings()->value("Site0.Address").toString() == "kept.example";
    }));
    // Nothing changed: nothing written.
    const auto written = std::filesystem::last_write_time(SettingsFileName().toStdString());
    AWhile();
    EXPECT_EQ(std::filesystem::last_write_time(SettingsFileName().toStdString()), written);
}

// The queue an earlier version kept in the settings moves into the
// journal once, and leaves the file.
TEST_F(SharedSettings, AQueueKeptInTheSettingsMovesIntoTheJournal)
{
    TSettingsStore::Update([](const TSettingsValues &) {
        const auto store = TSettingsStore::InMemory();
        store->WriteInteger("Queue/Count", 1);
        store->WriteString("Queue/0.Site", "ann@old.example");
        store->WriteString("Queue/0.Owner", "1:1");
        store->WriteString("Queue/0.Direction", "Upload");
        store->WriteBytes("Queue/0.Local", "/home/ann/\xff.txt");
        store->WriteBytes("Queue/0.RemoteFolder", "/pub");
        store->WriteBytes("Queue/0.RemoteName", "\xff.txt");
        store->WriteString("Queue/0.Kind", "File");
        store->WriteInteger("ViewStyle", vsList);
        return store->Values();
    });
    Start();
    EXPECT_FALSE(SettingsText().contains("Queue")) << SettingsText().toStdString();
    EXPECT_EQ(Form->RemoteView().ViewStyle(), vsList);
    const std::vector<TTransferItem> moved =
        TQueueJournal(QFileInfo(SettingsFileName()).absolutePath() + "/queue.db", "test").Take("ann@old.example");
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].LocalPath, "/home/ann/\xff.txt");
    EXPECT_EQ(moved[0].Direction, TTransferDirection::Upload);
    EXPECT_TRUE(moved[0].Recovered);
}

class KilledQueue : public ConnectedForm {
protected:
    static bool Soon(const std::function<bool()> &done) { return QTest::qWaitFor(done, 10000); }
    QString SettingsText() const
    {
        QFile file(SettingsFileName());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    TempDir Local;
};

// What a kill -9 leaves: the queue as it was within a second, marked as
// that run's. A run still going keeps its own; one gone has it offered.
TEST_F(KilledQueue, TheQueueOfARunKilledIsOfferedAtTheNextLogin)
{
    for (int i = 0; i < 3; ++i)
        std::ofstream(Remote("pub/slow" + std::to_string(i) + ".bin"), std::ios::binary) << std::string(3'000'000, 'x');
    btnChangeFolder->click();
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(Local.Path().string())));
    // Slow enough for the queue to be there a second later.
    TTransferRunner::TOptions options = Form->Runner().Options();
    options.DownloadLimit = 500;
    Form->Runner().SetOptions(options);
    SelectFiles({"slow0.bin", "slow1.bin", "slow2.bin"});
    actDownload->trigger();
    TQueueKeeper *keeper = Form->Runner().Keeper();
    ASSERT_TRUE(keeper);
    ASSERT_TRUE(QTest::qWaitFor([&] { return keeper->Journal().Held() == 3; }, 10000));
    EXPECT_TRUE(Soon([&] { return ReadSettings()->value("Transfers/DownloadLimit").toInt() == 500; }));
    const QString journal = keeper->Journal().Path(), site = Form->Runner().Site();
    EXPECT_EQ(QFileInfo(journal).absolutePath(), QFileInfo(SettingsFileName()).absolutePath());
    // The rows as the kill left them, under another run that is still
    // going, and under one that ended.
    Form->Runner().StopAll("test");
    TQueueJournal taker(journal, "test");
    std::vector<TTransferItem> killed = taker.Take(site);
    ASSERT_EQ(killed.size(), 3u);
    taker.DropTaken();
    Stop();
    const auto restart = [&](const std::string &owner, const std::string &before) {
        if (!before.empty())
            TQueueJournal(journal, QString::fromStdString(before)).Write({}, {1, 2, 3});
        std::vector<const TTransferItem *> rows;
        for (size_t i = 0; i < killed.size(); ++i) {
            killed[i].Id = int(i + 1);
            rows.push_back(&killed[i]);
        }
        TQueueJournal(journal, QString::fromStdString(owner)).Write(rows, {});
        WriteSettingsFile(std::regex_replace(SettingsText().toStdString(), std::regex("DownloadLimit=500"),
                                             "DownloadLimit=0"));
        Dialogs.Questions.clear();
        Start();
        Form->show();
        Dialogs.ConfirmAnswers = {true};
        actConnect->trigger();
        ASSERT_TRUE(Form->FTP.Connected());
        QTest::qWait(200);
    };
    // The process that started this test runs on.
    const QString other = RunIdentity::Of(::getppid());
    ASSERT_TRUE(RunIdentity::Alive(other));
    restart(other.toStdString(), {});
    EXPECT_TRUE(Dialogs.Questions.filter("not finished").isEmpty()) << Dialogs.Questions.join('\n').toStdString();
    Stop();
    // One had arrived whole a moment after the last save; one of that name
    // and size, but another time, is the user's own.
    const auto arrived = [&](int i, std::chrono::seconds off) {
        const std::string name = "slow" + std::to_string(i) + ".bin";
        // Its part became the file.
        for (const auto &entry : std::filesystem::directory_iterator(Local.Path()))
            if (entry.path().filename().string().starts_with("." + name + "."))
                std::filesystem::remove(entry.path());
        std::ofstream(Local.Path() / name, std::ios::binary) << std::string(3'000'000, 'x');
        std::filesystem::last_write_time(Local.Path() / name,
                                         std::filesystem::last_write_time(Remote("pub/" + name)) + off);
    };
    arrived(0, std::chrono::seconds(0));
    arrived(1, std::chrono::hours(-1));
    Dialogs.OverwriteAnswers = {TOverwriteChoice{TOverwriteAnswer::Overwrite, false}};
    restart("1:1", other.toStdString());
    ASSERT_EQ(Dialogs.Questions.filter("not finished").size(), 1) << Dialogs.Questions.join('\n').toStdString();
    EXPECT_EQ(Dialogs.Questions.filter("not finished")[0],
              QString("3 transfers to localhost:%1 were not finished. Queue them again?").arg(Server.Port()));
    WaitForTransfers();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Contents(Local.Path() / ("slow" + std::to_string(i) + ".bin")), std::string(3'000'000, 'x'));
    ASSERT_EQ(Dialogs.OverwritesAsked.size(), 1u);
    EXPECT_TRUE(Dialogs.OverwritesAsked[0].Text.contains("slow1.bin")) << Dialogs.OverwritesAsked[0].Text.toStdString();
    TQueueJournal after(journal, "test");
    EXPECT_EQ(after.Left(site), 0u);
    EXPECT_TRUE(Soon([&] { return Form->Runner().Keeper()->Journal().Held() == 0; }));
}

}  // namespace
