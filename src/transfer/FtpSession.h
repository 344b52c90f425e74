// The remote session over FTP. Over the window's client it browses, its
// anti-freeze keeping the window responsive, and lists in ASCII, as
// listings are text. Made on its own it is a transfer's connection: its
// own client, binary throughout, taking only the certificate the user
// accepted for the session (no question can be asked from its thread).
#pragma once

#include "IdFTPFeatures.h"
#include "RemoteSession.h"

#include <map>
#include <optional>
#include <memory>
#include <string>
#include <utility>

class TIdFTP;
struct TSessionSettings;

// The settings on an FTP client, before its Connect.
void ApplySession(TIdFTP &ftp, const TSessionSettings &session);

class TFtpSession : public TRemoteSession {
public:
    explicit TFtpSession(TIdFTP &ftp);
    TFtpSession();
    ~TFtpSession() override;

    void Connect(const TSessionSettings &settings) override;
    void Close() override;
    void Disconnect() override;
    bool Connected() override;
    void Settle(TSessionSettings &settings) override;
    bool Busy() const override;
    std::string CurrentFolder() override;
    void EnterFolder(const std::string &folder) override;
    void EnterParentFolder() override;
    TFolderListing List(const TFolderListingLimits &limits, const std::function<void(TListingEntry &&)> &entry,
                        const std::function<void(std::string_view)> &line) override;
    // Machine listings (MLSD) come in no set order; "ls" lines by name.
    bool ListsUnordered() const override;
    void MakeFolder(const std::string &name) override;
    void RemoveFolder(const std::string &name) override;
    void Delete(const std::string &name) override;
    void Rename(const std::string &from, const std::string &to) override;
    // SITE CHMOD.
    void ChangePermissions(const std::string &name, int mode) override;
    int64_t Size(const std::string &name) override;
    std::string ModificationTime(const std::string &name) override;
    // SIZE or MDTM sent without waiting.
    void Prefetch(TFact fact, const std::string &name) override;
    // MFMT, SITE UTIME or MDTM with a time, whichever the server takes.
    bool SetModificationTime(const std::string &name, const std::string &time) override;
    // NOOP.
    void KeepAlive() override;
    // TYPE A for the transfers that follow.
    void SetTextMode(bool text) override { FText = text; }
    // HASH, or XSHA256 and its kin, as FEAT offers them.
    THashKind HashKind() override;
    TRemoteDigest FileHash(const std::string &name) override;
    void Get(const std::string &name, TStream &target, int64_t offset, int64_t size) override;
    void Put(TStream &source, const std::string &name, int64_t offset) override;
    void Append(TStream &source, const std::string &name) override;
    void Abort() override;
    void ClearAbort() override;

private:
    std::unique_ptr<TIdFTP> FOwn;
    TIdFTP &FFtp;
    // The window's connection lists in ASCII; a transfer's stays binary.
    const bool FBrowsing;
    // The ways of setting a time this server did not understand.
    unsigned FTimeWaysRefused = 0;
    // The way that set a time on this connection, or -1.
    int FTimeWay = -1;
    bool TimeWasSet(int way, int code, const char *success) const;
    bool FText = false;
    // The algorithm HASH uses on this connection now.
    std::string FHashChosen;
    // The folder the last PWD named (asked along with each CWD), and one
    // just asked for by CurrentFolder alone: entering that very folder
    // next sends nothing.
    std::string FCurrent, FJustAsked;
    // Answers to Prefetch, each taken once.
    std::map<std::pair<TFact, std::string>, std::string> FPrefetched;
    std::optional<std::string> TakePrefetched(TFact fact, const std::string &name);
};
