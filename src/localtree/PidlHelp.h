// Item identifier lists: the names of namespace items. A list is a run of
// items, each prefixed by its 16-bit byte count (the count includes
// itself), ended by a zero count. A relative list names an item inside one
// folder, an absolute one names it from the desktop. The bytes inside an
// item belong to the namespace that made it (see ShellNamespace).
//
// Lists are plain memory from one allocator, so that any owner can free
// any list. Every list made here comes as a `TPidl`, which frees it; the
// raw pointers name lists someone else owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

using PItemIDList = uint8_t *;
using PCItemIDList = const uint8_t *;

// Frees the list and clears the reference; TPidl's deleter.
void FreePidl(PItemIDList &pidl);

struct TPidlFree {
    void operator()(uint8_t *pidl) const { FreePidl(pidl); }
};
using TPidl = std::unique_ptr<uint8_t, TPidlFree>;

// Sum of the counts plus 2 for the terminator; 0 for a missing list.
size_t GetPidlSize(PCItemIDList pidl);
// `size` zeroed bytes.
TPidl CreatePidl(size_t size);
TPidl CopyPidl(PCItemIDList pidl);
// The first item alone, with a terminator.
TPidl CopyFirstPidl(PCItemIDList pidl);
// The rest after the first item, inside the same memory: an empty list
// when the first was the last; nullptr when the list is missing or empty.
PCItemIDList NextPidl(PCItemIDList pidl);
// `first` without its terminator, then the whole of `second`. `first` may
// be missing.
TPidl ConcatPidls(PCItemIDList first, PCItemIDList second);

// A missing list or one that is only the terminator.
bool IsEmptyPidl(PCItemIDList pidl);
// How many items the list holds.
int PidlItemCount(PCItemIDList pidl);
// The list without its last item (a copy); empty for one item or none.
TPidl CopyParentPidl(PCItemIDList pidl);
// The last item (a copy), or an empty list.
TPidl CopyLastPidl(PCItemIDList pidl);
// Byte-wise equality of two lists.
bool PidlsEqual(PCItemIDList a, PCItemIDList b);
// True when `prefix` is a leading run of whole items of `pidl`; then `rest`
// points at what follows inside `pidl`.
bool PidlStartsWith(PCItemIDList pidl, PCItemIDList prefix, PCItemIDList *rest = nullptr);

// How many lists are allocated and not yet freed, process-wide.
long LivePidlCount();

// The small normal and small open icon indexes of an absolute identifier,
// in the process-wide system icon list; -1 each when none can be had.
struct TPidlIcons {
    int Normal = -1;
    int Open = -1;
};
TPidlIcons GetPidlIcons(PCItemIDList absoluteId);
