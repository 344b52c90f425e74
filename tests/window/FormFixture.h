// A main window started against a config folder and program folder under
// the test's control: the legacy INI file goes where the program looks for
// it (beside this test program), the settings file into a fresh folder.
#pragma once

#include "FtpServerFixture.h"
#include "MainForm.h"
#include "ScriptedDialogs.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QSettings>

#include <filesystem>
#include <memory>
#include <ostream>

class QTreeWidgetItem;

// Readable failure messages for Qt's strings.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList &list, std::ostream *out)
{
    *out << '{';
    for (const QString &text : list)
        *out << " \"" << text.toStdString() << '"';
    *out << " }";
}

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

    void Start() { Form = std::make_unique<TfrmMain>(); }
    bool LogOfContains(const QString &entry) const;
    QStringList Folders() const;
    QStringList Files() const;
    QStringList LogEntries() const;
    void Stop() { Form.reset(); }

    TempDir Config;
    ScriptedDialogs Dialogs;
    std::unique_ptr<TfrmMain> Form;
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
