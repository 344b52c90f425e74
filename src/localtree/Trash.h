// Move to Trash as the desktop's file managers do it, so their trash view
// lists the item and can put it back: the file goes to "files/" of a trash
// folder and a ".trashinfo" beside it in "info/" tells where it came from
// and when. An item on the home folder's volume goes to the home trash
// ($XDG_DATA_HOME/Trash); one on another volume to that volume's own
// ".Trash/UID" (when an administrator made ".Trash" with the sticky bit) or
// ".Trash-UID" at its top. Folders that do not exist yet are made, readable
// by the user alone; nothing is ever copied across volumes.
#pragma once

#include <string>

struct TTrashPlace {
    std::string Folder;    // the trash folder, holding files/ and info/
    std::string TopDir;    // the volume's top for a volume trash, "" for the home trash
};

// Where an item at `path` goes; makes the trash folder when it is missing.
// Throws EShellError when the item's volume has no trash it may use.
TTrashPlace TrashPlaceFor(const std::string &path);

// Moves the item at `path` (a link is moved, not what it names) to its
// trash; returns the name it has there. Throws EShellError, leaving the
// item where it was.
std::string MoveToTrash(const std::string &path);

// The Path= value of a trash info file: the bytes escaped as in a URL, "/"
// kept.
std::string TrashInfoPath(const std::string &path);
