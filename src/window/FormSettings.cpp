#include "FormSettings.h"

#include "CommonFunctions.h"
#include "IniFile.h"
#include "MainForm.h"
#include "SettingsStore.h"
#include "SystemTreeView.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QScopeGuard>

namespace {

// Without a stored file the tree opens at the user's home folder: the
// program's own folder is a binary folder on Linux (/usr/bin), not where
// anyone's files are.
QString DefaultLastFile()
{
    return QDir::homePath() + '/';
}

}  // namespace

void TFormSettings::SelectLocalFolderOf(const QString &file)
{
    try {
        F.SysTree->SetSelection(ExtractFilePath(file));
    } catch (...) {
        // A folder the tree cannot show is no reason to stop the start.
    }
}

void TFormSettings::FillAddressBox()
{
    for (int i = 0; i < F.Sites.Count(); ++i)
        F.cbAddress->addItem(F.Sites[i].Address);
    if (F.Sites.Count() > 0) {
        F.cbAddress->setCurrentIndex(0);
        F.cbAddressChange();
    }
}

void TFormSettings::ImportIni()
{
    const QString iniName = ProgramFolder() + "/FTP.Ini";
    try {
        const TIniFile ini(iniName);
        F.cbAddress->clear();
        SelectLocalFolderOf(ini.ReadString("FILES", "LastFile", DefaultLastFile()));
        F.Sites.ReadFromIni(ini);
        FillAddressBox();
    } catch (...) {
        QFile::remove(iniName);
        throw;
    }
    QFile::remove(iniName);
}

void TFormSettings::Load()
{
    const auto store = TSettingsStore::OpenForReading();
    if (!store)
        return;
    WindowPlacement::Restore(*store, F, F.Panes());
    F.ShowProtocol1->setChecked(store->ReadInteger("ShowProtocol", 1) != 0);
    const int style = store->ReadInteger("ViewStyle", F.lvFiles->ViewStyle());
    // A style number the list does not know leaves the current one.
    if (style >= vsIcon && style <= vsReport)
        F.SetFileViewStyle(TViewStyle(style));
    F.cbAddress->clear();
    SelectLocalFolderOf(store->ReadString("LastFile", DefaultLastFile()));

    // Fill the box as far as the reading got, and choose its first site,
    // even when the reading stops on a value of the wrong kind.
    const auto fill = qScopeGuard([this] { FillAddressBox(); });
    F.Sites.ReadFromStore(*store);
}

void TFormSettings::Save()
{
    const auto store = TSettingsStore::OpenForWriting();
    store->WriteInteger("ViewStyle", F.lvFiles->ViewStyle());
    store->WriteInteger("ShowProtocol", F.ShowProtocol1->isChecked() ? 1 : 0);
    if (!F.OpenDialog1.FileName.isEmpty())
        store->WriteString("LastFile", F.OpenDialog1.FileName);
    F.Sites.WriteToStore(*store);
    WindowPlacement::Save(*store, F, F.Panes());
    store->Close();
}
