// One remote session, whatever the protocol: it connects and logs in,
// browses folders (their entries parsed as they arrive, "." and ".." left
// out), changes them, and moves files at an offset. The window browses
// with one; each transfer connection is one of its own. Names are the
// server's bytes.
//
// Calls come from one thread at a time: the window's, where the
// implementation keeps the window responsive while it waits (FTP's
// anti-freeze), or a worker's. Abort alone comes from any thread.
#pragma once

#include "FileHash.h"
#include "FolderListing.h"
#include "IdException.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TStream;
struct TSessionSettings;

// The server would not go on from an offset. A download starts again from
// the beginning; an upload may still append its rest (`Appendable`), or
// starts again too.
class ERemoteResumeRefused : public EIdException {
public:
    ERemoteResumeRefused(const std::string &message, bool appendable) : EIdException(message), Appendable(appendable) {}
    bool Appendable;
};

// A server's key that needs the user's word: not known, or not the one
// trusted before (`TrustedFingerprint` then says which was).
struct THostKeyQuestion {
    std::string Host;
    int Port = 0;
    std::string KeyType, Fingerprint, TrustedFingerprint;
};

enum class TTrustAnswer { Cancel, TrustOnce, TrustAlways };

// What a log-in asks the user: a password, a key's passphrase, or one of
// the server's own questions, in its words.
struct TLoginPrompt {
    enum TKind { Password, Passphrase, Interactive };
    TKind Kind = Password;
    std::string Title, Instruction, Text;
    // The answer may show as it is typed.
    bool Echo = false;
};

class TRemoteSession {
public:
    virtual ~TRemoteSession() = default;

    // Connects and logs in as the settings say.
    virtual void Connect(const TSessionSettings &settings) = 0;
    // Logs out as the protocol asks; Disconnect: at once.
    virtual void Close() = 0;
    virtual void Disconnect() = 0;
    virtual bool Connected() = 0;
    // What the log-in settled that the next connection to the same server
    // takes without asking: the key or certificate trusted, a password
    // typed, a mode given up.
    virtual void Settle(TSessionSettings &settings) = 0;
    // A command is under way: another must wait for it.
    virtual bool Busy() const = 0;

    virtual std::string CurrentFolder() = 0;
    // A folder that is not there raises EIdProtocolReplyError.
    virtual void EnterFolder(const std::string &folder) = 0;
    virtual void EnterParentFolder() = 0;
    // The current folder's entries, each as it arrives; `line`, when set,
    // hears each line as the server sent it.
    virtual TFolderListing List(const TFolderListingLimits &limits, const std::function<void(TListingEntry &&)> &entry,
                                const std::function<void(std::string_view)> &line) = 0;
    // Whether the entries come in no set order (to be sorted for showing).
    virtual bool ListsUnordered() const = 0;

    virtual void MakeFolder(const std::string &name) = 0;
    virtual void RemoveFolder(const std::string &name) = 0;
    virtual void Delete(const std::string &name) = 0;
    virtual void Rename(const std::string &from, const std::string &to) = 0;
    // Permission bits as chmod takes them (0755).
    virtual void ChangePermissions(const std::string &name, int mode) = 0;
    // A file's size in bytes, or -1; its time as "YYYYMMDDHHMMSS" (UTC),
    // or "".
    virtual int64_t Size(const std::string &name) = 0;
    virtual std::string ModificationTime(const std::string &name) = 0;
    // Asks now, with whatever is sent next, for the size or time that
    // will be asked of `name` soon, where the protocol lets a question go
    // unanswered for a while: the round trip is saved. The next Size or
    // ModificationTime of the name takes the answer.
    enum class TFact { Size, ModificationTime };
    virtual void Prefetch(TFact fact, const std::string &name) { (void)fact, (void)name; }
    // Gives a file a time ("YYYYMMDDHHMMSS", UTC); false where the server
    // has no way to, or refused it for this file.
    virtual bool SetModificationTime(const std::string &name, const std::string &time) = 0;
    // Tells the server an idle connection is still in use.
    virtual void KeepAlive() = 0;
    // The socket to watch while no call runs, readable when the server
    // speaks or ends the connection; -1 for none. Then CheckIdle takes in
    // what came: a connection ended is no longer Connected.
    virtual int IdleHandle() { return -1; }
    virtual void CheckIdle() {}
    // The moves that follow are text: FTP moves them in its ASCII type,
    // CR LF on the wire. Other protocols move bytes as they are.
    virtual void SetTextMode(bool text) { (void)text; }
    // The strongest hash the server makes of a file, None when it makes
    // none; and its digest of a file (Kind None when it would not).
    virtual THashKind HashKind() { return THashKind::None; }
    virtual TRemoteDigest FileHash(const std::string &name)
    {
        (void)name;
        return {};
    }

    // The file's bytes from `offset` on, written at the stream's position;
    // `size`, when known, tells that all of it came. A refused offset
    // raises ERemoteResumeRefused before any byte moves.
    virtual void Get(const std::string &name, TStream &target, int64_t offset, int64_t size) = 0;
    // The stream's bytes from its position, written to the file from
    // `offset` (0: the whole file anew); a refusal as Get.
    virtual void Put(TStream &source, const std::string &name, int64_t offset) = 0;
    // The stream's bytes from its position, after the file's end.
    virtual void Append(TStream &source, const std::string &name) = 0;
    // From any thread: the move in progress, or the next one, ends and
    // raises EIdTransferAborted. ClearAbort forgets a request that came
    // too late.
    virtual void Abort() = 0;
    virtual void ClearAbort() = 0;

    // The bytes the move in progress has moved, from 0 at its start (on
    // the calling thread).
    std::function<void(int64_t bytes)> OnProgress;
    // What the connection says of itself after the login: a mode given up,
    // a stranger's connection refused.
    std::function<void(const std::string &line)> OnNotice;
    // What the connection does as it connects, logs in and ends, for the
    // window's log; a transfer's connection leaves it unset.
    std::function<void(const std::string &line)> OnStatus;
    // Asked during Connect, on the calling thread; unset, nothing is
    // trusted that needs the user and nothing is asked.
    std::function<TTrustAnswer(const THostKeyQuestion &)> OnHostKey;
    // False when the user cancels.
    std::function<bool(const TLoginPrompt &, std::string &answer)> OnPrompt;
};
