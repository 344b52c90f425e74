// What the window keeps between runs: the sites, the view style, the
// protocol switch, the last uploaded file's folder, the window's place and
// panes; and the one-time import of the legacy INI file.
#pragma once

class QString;
class TfrmMain;

class TFormSettings {
public:
    explicit TFormSettings(TfrmMain &form) : F(form) {}

    // Reads "FTP.Ini" beside the program, if there is one, and deletes it.
    void ImportIni();
    // Reads the settings store, if there is one.
    void Load();
    // Raises when the store cannot be written.
    void Save();

private:
    // Selects the folder part of `file` in the local tree; errors ignored.
    void SelectLocalFolderOf(const QString &file);
    // Fills the address box from the sites and chooses the first.
    void FillAddressBox();

    TfrmMain &F;
};
