// A main window started against a config folder and program folder under
// the test's control: the legacy INI file goes where the program looks for
// it (beside this test program), the settings file into a fresh folder.
#pragma once

#include "QtPrint.h"

#include "ConnectionLog.h"
#include "ConnectionWorkflow.h"
#include "FileListView.h"
#include "FtpServerFixture.h"
#include "MainForm.h"
#include "RemoteFileOperations.h"
#include "RemoteView.h"
#include "ScriptedDialogs.h"
#include "StatusBar.h"
#include "SystemTreeView.h"
#include "TempDir.h"
#include "TransferRunner.h"
#include "Transfers.h"

#include <gtest/gtest.h>

#include <QSettings>

#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;


// Every folder and file under `root`, by relative path; a file maps to its
// bytes, a folder to "/", a link to "link".
std::map<std::string, std::string> Tree(const std::filesystem::path &root);

// The resumable parts a download of `name` left in `folder`
// (".name.XXXXXX.veldra-part"; each with its ".info" beside it).
std::vector<std::filesystem::path> ResumableParts(const std::filesystem::path &folder, const std::string &name);

class FormFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void WriteIni(const std::string &text) const;
    bool IniExists() const;
    // Writes the settings file by hand, as another program might have.
    void WriteSettingsFile(const std::string &text) const;
    QString SettingsFileName() const;
    // The settings file as another reader sees it.
    std::unique_ptr<QSettings> ReadSettings() const;

    // Starts the window and finds its controls, as a user or a screen
    // reader finds them: by their names.
    void Start();
    bool LogOfContains(const QString &entry) const;
    QStringList Folders() const;
    QStringList Files() const;
    QStringList LogEntries() const;
    void Stop() { Form.reset(); }
    // Until the transfer queue has nothing queued or running.
    void WaitForTransfers();

    TempDir Config;
    ScriptedDialogs Dialogs;
    std::unique_ptr<TfrmMain> Form;

    QComboBox *cbAddress = nullptr;
    QLineEdit *edUserName = nullptr, *edPassword = nullptr, *edCurrentDir = nullptr;
    QToolButton *btnConnect = nullptr, *btnDownload = nullptr, *btnUpAFolder = nullptr, *btnChangeFolder = nullptr;
    QTreeWidget *tvFolders = nullptr;
    TFileListView *lvFiles = nullptr;
    TdfsSystemTreeView *SysTree = nullptr;
    QListWidget *lbConnection = nullptr;
    TStatusBar *sbMain = nullptr;
    QProgressBar *pbTransfers = nullptr;
    QSplitter *spFilesAndLog = nullptr, *spLocalAndRemote = nullptr;
    QTabWidget *pcRemoteSystem = nullptr;
    QWidget *tsFTP = nullptr;
    QAction *actDownload = nullptr, *actDownloadAs = nullptr, *actUpload = nullptr, *actNewFolder = nullptr, *actDelete = nullptr,
            *actRename = nullptr, *actConnect = nullptr, *actAbout = nullptr, *actUpAFolder = nullptr;
    QAction *Icon1 = nullptr, *List1 = nullptr, *Report1 = nullptr, *SmallIcon1 = nullptr, *ClearLog1 = nullptr,
            *ShowProtocol1 = nullptr;

private:
    template <typename T>
    void Find(T *&control, const char *name);
};

// The window shown and connected to a real FTP server (pyftpdlib) whose
// root holds pub/ (folders sub/ and empty/, files notes.txt and report.pdf)
// and top.txt; the one saved site starts in "pub".
class ConnectedForm : public FormFixture {
protected:
    void SetUp() override;

    QTreeWidgetItem *Folder(const QString &name) const;
    // Selects files of the list by clicks, Ctrl held for all but the first.
    void SelectFiles(const QStringList &captions);
    // Gives a widget the focus by a click, as a user does.
    void ClickInto(QWidget *widget);
    std::filesystem::path Remote(const std::string &relative = {}) const { return Server.Root().Path() / relative; }

    FtpServer Server;
};
