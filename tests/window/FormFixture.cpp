#include "FormFixture.h"

#include "CommonFunctions.h"
#include "SettingsStore.h"

#include <QFile>
#include <QListWidget>

#include <filesystem>
#include <fstream>

namespace {

QString IniName()
{
    return ProgramFolder() + "/FTP.Ini";
}

}  // namespace

void FormFixture::SetUp()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(Config.Path().string()));
    QFile::remove(IniName());
}

void FormFixture::TearDown()
{
    Form.reset();
    QFile::remove(IniName());
}

void FormFixture::WriteIni(const std::string &text) const
{
    std::ofstream(IniName().toStdString(), std::ios::binary) << text;
}

bool FormFixture::IniExists() const
{
    return QFile::exists(IniName());
}

QString FormFixture::SettingsFileName() const
{
    return TSettingsStore::FileName();
}

void FormFixture::WriteSettingsFile(const std::string &text) const
{
    const std::filesystem::path path = SettingsFileName().toStdString();
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::unique_ptr<QSettings> FormFixture::ReadSettings() const
{
    return std::make_unique<QSettings>(SettingsFileName(), QSettings::IniFormat);
}

bool FormFixture::LogOfContains(const QString &entry) const
{
    for (int i = 0; i < Form->lbConnection->count(); ++i)
        if (Form->lbConnection->item(i)->text() == entry)
            return true;
    return false;
}
