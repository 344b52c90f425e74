// The remote session over FTP: the client component, as the window
// browses with it (its anti-freeze keeps the window responsive).
#pragma once

#include "RemoteSession.h"

class TIdFTP;

class TFtpSession : public TRemoteSession {
public:
    explicit TFtpSession(TIdFTP &ftp) : FFtp(ftp) {}

    bool Connected() override;
    bool Busy() const override;
    std::string CurrentFolder() override;
    // Entered, the connection lists in ASCII, as listings are text.
    void EnterFolder(const std::string &folder) override;
    void EnterParentFolder() override;
    TFolderListing List(const TFolderListingLimits &limits, const std::function<void(TListingEntry &&)> &entry,
                        const std::function<void(std::string_view)> &line) override;
    // Machine listings (MLSD) come in no set order; "ls" lines by name.
    bool ListsUnordered() const override;
    void MakeFolder(const std::string &name) override;
    void Delete(const std::string &name) override;
    void Rename(const std::string &from, const std::string &to) override;

private:
    TIdFTP &FFtp;
};
