// A folder's listing read into entries as it arrives, and bounded: a
// server may send any number of lines of any length, and what it sends is
// never kept whole. Lines too long for a listing and lines that state what
// cannot be are skipped and counted; past the most entries the caller
// takes, the reading stops there (the transfer is aborted) and the listing
// is marked cut short. "." and ".." are no entries.
#pragma once

#include "IdFTP.h"
#include "ListingParser.h"

#include <cstddef>
#include <functional>
#include <string_view>

struct TFolderListing {
    size_t Entries = 0;
    // Skipped: longer than a listing's line may be (TIdFTP::MaxListingLine).
    size_t LongLines = 0;
    // Skipped: a size past the largest 64-bit number.
    size_t InvalidLines = 0;
    // Skipped: no name a folder can hold (empty, or with "/" or NUL).
    size_t InvalidNames = 0;
    // More came than was taken (entries, or their bytes), or the server
    // went on sending nothing to take: the rest was not read.
    enum TCut { ctNone, ctEntries, ctBytes, ctNothing };
    TCut Cut = ctNone;
};

struct TFolderListingLimits {
    // The most entries taken; the default, as the settings have it.
    size_t MaxEntries = 5'000'000;
    // The most bytes of names taken: long names fill memory before the
    // entries are many.
    size_t MaxBytes = size_t(128) << 20;
};

// The current folder's listing (LIST, or MLSD where the client asks for
// facts): each entry goes to `entry` as its line arrives; each line, as
// the server sent it, to `line` when given.
// "." and "..": a folder's names for itself and its parent, never an entry
// of it.
bool IsDotName(std::string_view name);

TFolderListing ReadFolderListing(TIdFTP &ftp, const TFolderListingLimits &limits,
                                 const std::function<void(TListingEntry &&)> &entry,
                                 const std::function<void(std::string_view)> &line = {});
