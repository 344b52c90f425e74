// The parts of downloads this program left for a resume, by target, kept
// in the settings across runs: a download goes on only from a part
// recorded here, never from a file that merely looks like one. Workers get
// a snapshot that does not change under them; a change makes a new one.
// Main thread only.
#pragma once

#include "PartFile.h"

#include <memory>
#include <optional>
#include <string>

class TSettingsStore;

class TPartRegistry {
public:
    std::shared_ptr<const TPartRecords> Snapshot() const { return FRecords; }
    // A worker's news of a target's part: kept for a resume, or gone. A
    // part recorded before that is not this one is removed from the disk.
    void Keep(const std::string &target, const std::optional<TPartRecord> &part);
    const TPartRecord *Find(const std::string &target) const
    {
        const auto found = FRecords->find(target);
        return found == FRecords->end() ? nullptr : &found->second;
    }

    // Parts whose file is gone are not read back.
    void Load(const TSettingsStore &store);
    void Save(TSettingsStore &store) const;
    // Counts the changes of the records.
    uint64_t Revision() const { return FRevision; }

private:
    std::shared_ptr<const TPartRecords> FRecords = std::make_shared<TPartRecords>();
    uint64_t FRevision = 0;
};
