// A main window started against a config folder and program folder under
// the test's control: the legacy INI file goes where the program looks for
// it (beside this test program), the settings file into a fresh folder.
#pragma once

#include "MainForm.h"
#include "ScriptedDialogs.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QSettings>

#include <memory>
#include <ostream>

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
    void Stop() { Form.reset(); }

    TempDir Config;
    ScriptedDialogs Dialogs;
    std::unique_ptr<TfrmMain> Form;
};
