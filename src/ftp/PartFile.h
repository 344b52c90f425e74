// A download's file beside its target: written under a hidden name, it
// takes the target's place only when committed, and is removed when it is
// not, so a failed download leaves an existing file as it was.
//
// A resumable part has a fixed name (".name.veldra-part") and outlives a
// failure, with what the server said of its file beside it (size and
// modification time, in ".name.veldra-part.info"): a later download of the
// same file goes on from where it stopped, and of a changed one starts
// afresh.
#pragma once

#include <cstdint>
#include <string>

class TPartFile {
public:
    // Raises "Cannot create file <target>" when the folder takes no file.
    explicit TPartFile(const std::string &target);
    // A resumable part, opened without losing what it holds.
    TPartFile(const std::string &target, int64_t remoteSize, const std::string &remoteTime);

    // The bytes a resumable part of `target` holds that a download of the
    // server's file (this size and time) can keep: 0 when there is none,
    // or the file changed, or the part is not shorter.
    static int64_t Resumable(const std::string &target, int64_t remoteSize, const std::string &remoteTime);
    static std::string ResumablePath(const std::string &target);

    int64_t Length() const;
    // Starts the part again from nothing.
    void Truncate();
    // A resumable part that cannot be resumed (no size or time to check it
    // by) goes at the end all the same.
    bool Kept() const { return FKeep; }
    ~TPartFile();
    TPartFile(const TPartFile &) = delete;
    TPartFile &operator=(const TPartFile &) = delete;

    // The stream takes the descriptor.
    int TakeHandle();
    const std::string &Path() const { return FPath; }

    // Puts the file in the target's place. Without `replace` an existing
    // target raises "Destination file already exists.".
    void Commit(bool replace);

private:
    // The part is gone (committed): so is what it belonged to.
    void ForgetOrigin();

    std::string FTarget;
    std::string FPath;
    int FHandle = -1;
    bool FKeep = false;
    bool FFixed = false;
};
