#include "FolderListing.h"

bool IsDotName(std::string_view name)
{
    return name == "." || name == "..";
}

TFolderListing ReadFolderListing(TIdFTP &ftp, const TFolderListingLimits &limits,
                                 const std::function<void(TListingEntry &&)> &entry,
                                 const std::function<void(std::string_view)> &line)
{
    TFolderListing listing;
    size_t kept = 0;
    int dialect = -1;
    const TIdFTP::TListingRead read = ftp.List("", true, [&](std::string_view text) {
        if (line)
            line(text);
        TListingEntry parsed = ParseListingLine(text, 0, dialect);
        listing.InvalidLines += parsed.Invalid;
        if (parsed.Skip || IsDotName(parsed.Name))
            return true;
        const size_t bytes = parsed.Name.size();
        if (listing.Entries == limits.MaxEntries || bytes > limits.MaxBytes - kept) {
            listing.Cut = listing.Entries == limits.MaxEntries ? TFolderListing::ctEntries : TFolderListing::ctBytes;
            return false;
        }
        ++listing.Entries;
        kept += bytes;
        entry(std::move(parsed));
        return true;
    });
    listing.LongLines = read.LongLines;
    return listing;
}
