// A download's file beside its target: written under a hidden name, it
// takes the target's place only when committed, and is removed when it is
// not, so a failed download leaves an existing file as it was.
//
// A resumable part outlives a failure, with what the server said of its
// file beside it (size and modification time, in "<part>.info"), so a
// later download of the same file goes on from where it stopped. Only a
// part this program wrote is ever taken up again: its name holds a random
// piece no one can foresee, and the owner keeps a record of it (path,
// length, device, inode and the random token its ".info" holds) that the
// part must still match. A file that merely looks like a part (a remote
// folder's ".big.veldra-part", say) is never one.
//
// What the transfer opens here is opened without following links and
// without blocking, and must be a regular file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// What the owner keeps of a resumable part this program wrote.
struct TPartRecord {
    std::string Target;  // the file the part becomes
    std::string Path;    // the part itself
    int64_t Length = 0;  // its length when its transfer stopped
    // Which file it is: an inode freed may be taken by the next file made,
    // whose status change time is its own.
    uint64_t Device = 0, Inode = 0;
    int64_t Changed = 0;  // ns
    std::string Token;  // random; its ".info" holds the same
};
// The records by target.
using TPartRecords = std::unordered_map<std::string, TPartRecord>;

class TPartFile {
public:
    // Raises "Cannot create file <target>" when the folder takes no file.
    explicit TPartFile(const std::string &target);
    // A resumable part for the server's file of this size and time. With
    // `resume`, it goes on from `from` where that is this program's part
    // of this very file; else a part of ours there goes, and a new one
    // begins.
    TPartFile(const std::string &target, int64_t remoteSize, const std::string &remoteTime, const TPartRecord *from,
              bool resume);

    // The bytes the recorded part holds that a download of the server's
    // file (this size and time) can keep: 0 when the part is not the one
    // recorded, or of another file, or not shorter.
    [[nodiscard]] static int64_t Resumable(const TPartRecord &record, int64_t remoteSize,
                                           const std::string &remoteTime);

    // Where the download goes on from: 0 for a new part.
    int64_t Offset() const { return FOffset; }
    int64_t Length() const;
    // Starts the part again from nothing.
    void Truncate();
    // What to keep for a later resume now that the transfer stopped short;
    // nothing when the part is not kept (empty, committed, or without a
    // size and time to check it by). `evenEmpty`: the record of a part
    // just made, kept from the start so that it is never lost track of.
    std::optional<TPartRecord> Record(bool evenEmpty = false) const;
    // Removes a recorded part (and its ".info") that no record will point
    // to any more, when it is still the very file this program made: the
    // same file, its token in its ".info". Whatever else is there stays.
    static void Discard(const TPartRecord &record);
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
    // A new part under a name of its own, with its ".info" when kept.
    void Create(int64_t remoteSize, const std::string &remoteTime);

    std::string FTarget;
    std::string FPath;
    std::string FToken;
    int FHandle = -1;
    // The ".info", held locked while this part is in use.
    int FInfoHandle = -1;
    uint64_t FDevice = 0, FInode = 0;
    int64_t FOffset = 0;
    bool FKeep = false;
    // Its ".info" was written (every part made here has one, kept or not).
    bool FInfo = false;
};

// The parts a run killed left without a record, found by one reading of
// each folder: a download of many files into one folder does not read it
// again for each of them.
class TLeftBehindParts {
public:
    // Removes the parts of `target` named as this program names them, with
    // an ".info" as it writes them, held by no run. Those `known` records
    // name stay.
    void Discard(const std::string &target, const TPartRecords &known);

private:
    // The names of parts each folder held when it was read.
    std::unordered_map<std::string, std::vector<std::string>> FByFolder;
};
