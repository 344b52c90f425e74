// The main window at start and exit: controls and their start values, the
// import of the legacy INI file, the settings store, the log.
#include "FormFixture.h"

#include "AboutForm.h"
#include "CommonFunctions.h"
#include "ConnectionLog.h"
#include "IDEEnhance.h"
#include "OrlaAboutBox.h"
#include "StatusBar.h"
#include "SettingsStore.h"
#include "SystemTreeView.h"
#include "ToolGlyphs.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QScreen>
#include <QHelpEvent>
#include <QToolButton>

#include <sys/stat.h>

#include <filesystem>

namespace {

const std::string TwoSitesIni =
    "[FILES]\r\nLastFile=/usr/share/report.txt\r\n"
    "[GENERAL]\r\nSites=2\r\n"
    "[SITES]\r\n"
    "Site0.Address=ftp.one.example\r\nSite0.UserName=alice\r\nSite0.Password=secret\r\n"
    "Site0.DefaultFolder=/pub\r\n"
    "Site1.Address=ftp.two.example\r\nSite1.UserName=bob\r\nSite1.Password=hunter2\r\n"
    "Site1.DefaultFolder=\r\n";

using MainForm = FormFixture;

TEST_F(MainForm, FirstStartWithNeitherFile)
{
    Start();
    EXPECT_EQ(Form->Sites.Count(), 0);
    EXPECT_EQ(cbAddress->count(), 0);
    EXPECT_EQ(cbAddress->currentText(), "");
    // The local tree selects once it is shown.
    EXPECT_EQ(SysTree->Selection(), "");
    Form->show();
    EXPECT_EQ(SysTree->Selection(), QDir::homePath());
    EXPECT_EQ(lvFiles->ViewStyle(), vsReport);
    EXPECT_TRUE(Form->findChild<QAction *>("PassiveMode1")->isChecked());
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_FALSE(QFile::exists(SettingsFileName()));
    Stop();
    EXPECT_TRUE(QFile::exists(SettingsFileName()));
    EXPECT_EQ(ReadSettings()->value("Sites").toInt(), 0);
}

TEST_F(MainForm, CaptionCarriesTheFileVersion)
{
    Start();
    EXPECT_EQ(Form->windowTitle(), "Veldra - v3.1.2.149");
}

TEST_F(MainForm, StartValuesOfTheControls)
{
    Start();
    for (QAction *action : {actDownload, actUpload, actNewFolder, actDelete,
                            actRename, actUpAFolder})
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
    EXPECT_TRUE(actConnect->isEnabled());
    EXPECT_TRUE(actAbout->isEnabled());
    EXPECT_FALSE(edCurrentDir->isEnabled());
    EXPECT_FALSE(btnChangeFolder->isEnabled());
    EXPECT_TRUE(cbAddress->isEnabled());
    EXPECT_EQ(edPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(pcRemoteSystem->currentWidget(), tsFTP);

    EXPECT_EQ(sbMain->PanelText(0), "Status: Offline");
    EXPECT_EQ(sbMain->PanelText(1), "");
    EXPECT_EQ(sbMain->PanelText(2), "");
    EXPECT_EQ(sbMain->PanelText(3), "");
    // The progress bar lies over panel 1, 2 from the top.
    EXPECT_EQ(pbTransfers->parentWidget(), sbMain);
    EXPECT_EQ(pbTransfers->geometry(), QRect(sbMain->PanelLeft(1) + 1, 2, 200, 17));
    EXPECT_EQ(pbTransfers->maximum(), 100);
}

// The menus read as menus do: no item ends with a full stop, and every
// item of the Edit menu has a key of its own (Alt+E, then the letter).
TEST_F(MainForm, MenuItemsReadAsMenusDo)
{
    Start();
    for (QMenu *menu : Form->menuBar()->findChildren<QMenu *>()) {
        QSet<QChar> keys;
        for (QAction *action : menu->actions()) {
            const QString text = action->text();
            if (action->isSeparator() || text.isEmpty())
                continue;
            EXPECT_TRUE(!text.endsWith('.') || text.endsWith("...")) << text.toStdString();
            if (menu->objectName() != "mnEdit")
                continue;
            const qsizetype mark = text.indexOf('&');
            ASSERT_GE(mark, 0) << text.toStdString();
            const QChar key = text.at(mark + 1).toLower();
            EXPECT_FALSE(keys.contains(key)) << text.toStdString();
            keys.insert(key);
        }
    }
}

TEST_F(MainForm, ActionsCarryTheirShortcutsHintsAndGlyphs)
{
    Start();
    struct Expected {
        QAction *Action;
        const char *Shortcut;
        const char *Hint;
    };
    const Expected expected[] = {
        {actDownload, "Ctrl+D", "Download the chosen files or folder into the folder chosen in the local tree."},
        {Form->findChild<QAction *>("actUpload"), "Ctrl+U", "Upload a file from your system to the FTP Site."},
        {actNewFolder, "Ctrl+N", "Create a new folder on the FTP Server."},
        {actDelete, "Del", "Delete a file or folder from the FTP Server."},
        {actRename, "Ctrl+R", "Rename a file or folder on the FTP Server."},
        {actConnect, "Ctrl+F", "Connect to server."},
        {actAbout, "Ctrl+Alt+A", "About"},
        {actUpAFolder, "Alt+Backspace", nullptr},
    };
    for (const Expected &e : expected) {
        EXPECT_EQ(e.Action->shortcut(), QKeySequence(e.Shortcut)) << e.Shortcut;
        if (e.Hint) {
            EXPECT_EQ(e.Action->toolTip(), e.Hint);
        }
        EXPECT_FALSE(e.Action->icon().isNull()) << e.Shortcut;
    }
    EXPECT_EQ(ToolGlyphs().size(), 9u);
    EXPECT_EQ(btnConnect->defaultAction(), actConnect);
    EXPECT_EQ(btnUpAFolder->defaultAction(), actUpAFolder);
}

TEST_F(MainForm, IniWithTwoSitesMovesIntoTheSettingsStore)
{
    WriteIni(TwoSitesIni);
    Start();
    EXPECT_FALSE(IniExists());
    ASSERT_EQ(cbAddress->count(), 2);
    EXPECT_EQ(cbAddress->itemText(1), "ftp.two.example");
    EXPECT_EQ(cbAddress->currentIndex(), 0);
    EXPECT_EQ(cbAddress->currentText(), "ftp.one.example");
    EXPECT_EQ(edUserName->text(), "alice");
    EXPECT_EQ(edPassword->text(), "secret");
    EXPECT_EQ(edCurrentDir->text(), "/pub");
    Form->show();
    EXPECT_EQ(SysTree->Selection(), "/usr/share");
    Stop();

    const auto settings = ReadSettings();
    EXPECT_EQ(settings->value("Sites").toInt(), 2);
    EXPECT_EQ(settings->value("Site0.Address").toString(), "ftp.one.example");
    EXPECT_EQ(settings->value("Site0.UserName").toString(), "alice");
    EXPECT_EQ(settings->value("Site0.Password").toString(), "secret");
    EXPECT_EQ(settings->value("Site0.DefaultFolder").toString(), "/pub");
    EXPECT_EQ(settings->value("Site1.Address").toString(), "ftp.two.example");
    EXPECT_EQ(settings->value("Site1.UserName").toString(), "bob");
    EXPECT_EQ(settings->value("Site1.Password").toString(), "hunter2");
    EXPECT_TRUE(settings->contains("Site1.DefaultFolder"));
    EXPECT_FALSE(settings->contains("LastFile"));  // no upload chosen in this run
}

// An older version's file beside the program: its sites join those of
// the settings (the settings' values win), and it goes once they are saved.
TEST_F(MainForm, TheIniSitesJoinTheSettingsAndTheIniGoesOnceSaved)
{
    WriteIni(TwoSitesIni);
    WriteSettingsFile("[General]\nViewStyle=3\nLastFile=/usr/lib/notes.txt\nSites=1\n"
                      "Site0.Address=stored.example\nSite0.UserName=carol\nSite0.Password=pw\n"
                      "Site0.DefaultFolder=/in\n");
    Start();
    EXPECT_FALSE(IniExists());
    ASSERT_EQ(cbAddress->count(), 3);
    EXPECT_EQ(Form->Sites[1].Address, "ftp.one.example");
    EXPECT_EQ(cbAddress->currentText(), "stored.example");
    EXPECT_EQ(edUserName->text(), "carol");
    EXPECT_EQ(edCurrentDir->text(), "/in");
    EXPECT_EQ(lvFiles->ViewStyle(), vsReport);
    EXPECT_EQ(ReadSettings()->value("Sites").toInt(), 3);
    EXPECT_EQ(ReadSettings()->value("Site2.Password").toString(), "hunter2");
    Form->show();
    EXPECT_EQ(SysTree->Selection(), "/usr/lib");

    // A file that cannot be saved to keeps the older one for the next start.
    Stop();
    WriteIni(TwoSitesIni);
    std::filesystem::remove(SettingsFileName().toStdString());
    std::filesystem::create_directories(SettingsFileName().toStdString());
    Start();
    EXPECT_TRUE(IniExists());
    EXPECT_EQ(cbAddress->count(), 2);
}

TEST_F(MainForm, RemovingASiteRemovesItsKeys)
{
    WriteSettingsFile("[General]\nSites=3\nSite0.Address=a\nSite1.Address=b\nSite2.Address=c\n");
    Start();
    ASSERT_EQ(Form->Sites.Count(), 3);
    Form->Sites.Remove(1);
    cbAddress->removeItem(1);
    Stop();
    EXPECT_EQ(ReadSettings()->value("Sites").toInt(), 2);
    EXPECT_EQ(ReadSettings()->value("Site1.Address").toString(), "c");
    EXPECT_FALSE(ReadSettings()->contains("Site2.Address"));
    EXPECT_FALSE(ReadSettings()->contains("Site2.Password"));

    Start();
    ASSERT_EQ(cbAddress->count(), 2);
    EXPECT_EQ(cbAddress->itemText(1), "c");
}

TEST_F(MainForm, ValueOfTheWrongKindIsReportedAndTheWindowStillOpens)
{
    WriteIni(TwoSitesIni);
    WriteSettingsFile("[General]\nViewStyle=wide\nSites=1\nSite0.Address=stored.example\n");
    Start();
    ASSERT_EQ(Dialogs.Errors, QStringList{"Invalid data type for 'ViewStyle'"});
    // The reading stopped at once; the import's sites join those the
    // file holds.
    EXPECT_EQ(cbAddress->count(), 3);
    EXPECT_FALSE(actDownload->isEnabled());
    EXPECT_EQ(Form->windowTitle(), "Veldra - v3.1.2.149");
}

// What was read before stays, and item 0 of it is chosen, also when the
// import gave the sites.
TEST_F(MainForm, SiteCountOfTheWrongKindStopsAfterTheViewStyle)
{
    for (const bool withIni : {false, true}) {
        if (withIni)
            WriteIni(TwoSitesIni);
        WriteSettingsFile("[General]\nViewStyle=0\nSites=two\n");
        Start();
        EXPECT_EQ(Dialogs.Errors, QStringList{"Invalid data type for 'Sites'"});
        Dialogs.Errors.clear();
        EXPECT_EQ(lvFiles->ViewStyle(), vsIcon);
        EXPECT_EQ(cbAddress->count(), withIni ? 2 : 0);
        EXPECT_EQ(cbAddress->currentIndex(), withIni ? 0 : -1);
        EXPECT_EQ(edUserName->text(), withIni ? "alice" : "");
        Form.reset();
    }
}

TEST_F(MainForm, UnknownViewStyleNumberKeepsTheCurrentStyle)
{
    WriteSettingsFile("[General]\nViewStyle=17\n");
    Start();
    EXPECT_EQ(lvFiles->ViewStyle(), vsReport);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(MainForm, PasswordWithCommasPercentSignsAndBackslashesSurvives)
{
    const QString password = "a,b%c\\d \"q\" ;x=y";
    WriteIni("[GENERAL]\nSites=1\n[SITES]\nSite0.Address=h\nSite0.Password=a,b%c\\d \"q\" ;x=y\n");
    Start();
    EXPECT_EQ(edPassword->text(), password);
    Stop();
    EXPECT_EQ(ReadSettings()->value("Site0.Password").toString(), password);
    Start();
    EXPECT_EQ(Form->Sites[0].Password, password);
    EXPECT_EQ(edPassword->text(), password);
}

TEST_F(MainForm, SettingsFileIsReadableByItsOwnerAlone)
{
    WriteSettingsFile("[General]\nSites=0\n");
    ::chmod(QFile::encodeName(SettingsFileName()).constData(), 0644);
    Start();
    Form->Transfers().UploadDialog.FileName = "/tmp/last upload.bin";
    Stop();
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(SettingsFileName()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadSettings()->value("LastFile").toString(), "/tmp/last upload.bin");
}

// A flush that fails after the values went in names the file, not a value.
TEST_F(MainForm, AFailedFlushNamesTheFile)
{
    auto store = TSettingsStore::OpenForWriting();
    store->WriteInteger("ViewStyle", 1);
    const std::filesystem::path file = SettingsFileName().toStdString();
    std::filesystem::remove(file);
    std::filesystem::create_directories(file);  // where the file should go
    try {
        store->Close();
        FAIL();
    } catch (const ERegistryException &error) {
        EXPECT_EQ(QString::fromUtf8(error.what()), "Failed to set data for '" + SettingsFileName() + "'");
    }
}

TEST_F(MainForm, FailedSaveIsReported)
{
    // A folder where the file should be: not even root can write it.
    std::filesystem::create_directories(SettingsFileName().toStdString());
    Start();
    Stop();
    EXPECT_EQ(Dialogs.Errors, QStringList{"Failed to set data for 'ViewStyle'"});
}

TEST_F(MainForm, ChoosingOrTypingAnAddressFillsTheBar)
{
    WriteIni(TwoSitesIni);
    Start();
    cbAddress->setEditText("FTP.TWO.example");
    Form->Connection().AddressChanged();
    EXPECT_EQ(cbAddress->currentText(), "ftp.two.example");
    EXPECT_EQ(edUserName->text(), "bob");
    EXPECT_EQ(edPassword->text(), "hunter2");
    EXPECT_EQ(edCurrentDir->text(), "");

    edCurrentDir->setText("/kept");
    QTest::keyClick(cbAddress->lineEdit(), Qt::Key_X);
    EXPECT_EQ(cbAddress->currentText(), "ftp.two.examplex");
    EXPECT_EQ(edUserName->text(), "Anonymous");
    EXPECT_EQ(edPassword->text(), "");
    EXPECT_EQ(edCurrentDir->text(), "/kept");
}

TEST_F(MainForm, LogEntriesFollowTheIdeHooksMode)
{
    Start();
    Form->AddToLog("first");
    Form->AddToLog("second");
    // Shown by the event loop, both at once.
    ASSERT_TRUE(QTest::qWaitFor([this] { return lbConnection->count() == 2; }, 1000));
    EXPECT_EQ(lbConnection->currentRow(), 1);
    EXPECT_TRUE(lbConnection->selectedItems().isEmpty());
    const QString entry = lbConnection->item(1)->text();
    // The suite also runs with "/USEIDEHOOKS" on its command line.
    if (UseIDEHooks()) {
        EXPECT_TRUE(QRegularExpression("^\\S.* .*\\| second$").match(entry).hasMatch()) << entry.toStdString();
        // The time carries no zone name.
        EXPECT_FALSE(entry.contains(QDateTime::currentDateTime().timeZoneAbbreviation())) << entry.toStdString();
    } else {
        EXPECT_EQ(entry, "second");
    }
    ClearLog1->trigger();
    EXPECT_EQ(lbConnection->count(), 0);
}

// Thousands of lines in bursts (each file's end) are laid out in batches:
// the end stays in sight all the same, and the oldest go past the bound.
TEST_F(MainForm, TheLogShowsItsEndAfterABurst)
{
    Start();
    Form->Log().MaxEntries = 1000;
    for (int burst = 0; burst < 40; ++burst) {
        for (int i = 0; i < 100; ++i)
            Form->AddToLog(QStringLiteral("Transfer Complete. %1").arg(burst * 100 + i));
        Form->Log().Flush();
        QTest::qWait(5);
    }
    QScrollBar *bar = lbConnection->verticalScrollBar();
    QTest::qWait(200);
    EXPECT_EQ(bar->value(), bar->maximum());
    const int kept = lbConnection->count();
    EXPECT_TRUE(kept >= 1000 && kept <= 1100) << kept;
    EXPECT_EQ(lbConnection->currentRow(), kept - 1);
    // Time-stamped in IDE-hooks mode.
    EXPECT_TRUE(lbConnection->item(kept - 1)->text().endsWith("Transfer Complete. 3999"));
    EXPECT_TRUE(lbConnection->item(0)->text().endsWith(QStringLiteral("Transfer Complete. %1").arg(4000 - kept)));
}

TEST_F(MainForm, AboutBoxShowsTheProgramsValues)
{
    Start();
    QTimer::singleShot(0, [this] {
        TfrmAbout *window = Form->About->Window();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), "About: Veldra");
        EXPECT_EQ(window->lblVersion->text(), "3.1.2.149");
        EXPECT_EQ(window->lblProductVersion->text(), "3.1");
        EXPECT_EQ(window->lblTradeMark->text(), "");
        // Centred on the desktop, not on the main window.
        const QPoint desktop = window->screen()->availableGeometry().center();
        EXPECT_LE((window->geometry().center() - desktop).manhattanLength(), 10);
        window->close();
    });
    actAbout->trigger();
    EXPECT_FALSE(Form->About->Window()->isVisible());
}

TEST_F(MainForm, OwnsItsNetworkComponentsWithTheirSettings)
{
    Start();
    EXPECT_EQ(TIdAntiFreezeBase::Current(), &Form->AntiFreeze);
    EXPECT_EQ(Form->AntiFreeze.IdleTimeOut, 50);
    EXPECT_FALSE(Form->AntiFreeze.OnlyWhenIdle);
    EXPECT_TRUE(Form->AntiFreeze.Active);
    EXPECT_TRUE(Form->FTPLog.Active());
    EXPECT_EQ(Form->FTPLog.Target(), ltEvent);
    EXPECT_TRUE(Form->IPWatch.Active());
    EXPECT_FALSE(Form->IPWatch.HistoryEnabled);
    EXPECT_EQ(Form->IPWatch.HistoryFilename, "iphist.dat");

    // The debug log watches the control connection; its lines reach the
    // log list one by one.
    EXPECT_EQ(Form->FTP.Intercept(), &Form->FTPLog);
    EXPECT_TRUE(Form->FTP.InterceptEnabled());
    // A line cut between two receives shows whole.
    Form->FTPLog.AfterReceive("220-a\r\n220 ", 11);
    Form->FTPLog.AfterReceive("b\r\n", 3);
    const QStringList entries = LogEntries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_TRUE(entries[0].endsWith("Recv: 220-a"));
    EXPECT_TRUE(entries[1].endsWith("Recv: 220 b"));
    Stop();
    EXPECT_EQ(TIdAntiFreezeBase::Current(), nullptr);
    EXPECT_FALSE(QFile::exists("iphist.dat"));  // history off: nothing written
}

TEST_F(MainForm, ErrorLeavingAHandlerIsReportedAndTheProgramGoesOn)
{
    Start();
    QTimer::singleShot(0, Form.get(), [] { throw std::runtime_error("Socket Error # 10061"); });
    QTest::qWait(20);
    EXPECT_EQ(Dialogs.Errors, QStringList{"Socket Error # 10061"});
    Form->AddToLog("still running");
    EXPECT_EQ(LogEntries().size(), 1);
}

}  // namespace
