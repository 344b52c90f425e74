// One remote session as the window browses it, whatever the protocol: its
// folders, their entries as they arrive (parsed, "." and ".." left out),
// and the changes a user makes to them. Names are the server's bytes.
#pragma once

#include "FolderListing.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TRemoteSession {
public:
    virtual ~TRemoteSession() = default;

    virtual bool Connected() = 0;
    // A command is under way: another must wait for it.
    virtual bool Busy() const = 0;

    virtual std::string CurrentFolder() = 0;
    virtual void EnterFolder(const std::string &folder) = 0;
    virtual void EnterParentFolder() = 0;
    // The current folder's entries, each as it arrives; `line`, when set,
    // hears each line as the server sent it.
    virtual TFolderListing List(const TFolderListingLimits &limits, const std::function<void(TListingEntry &&)> &entry,
                                const std::function<void(std::string_view)> &line) = 0;
    // Whether the entries come in no set order (to be sorted for showing).
    virtual bool ListsUnordered() const = 0;

    virtual void MakeFolder(const std::string &name) = 0;
    virtual void Delete(const std::string &name) = 0;
    virtual void Rename(const std::string &from, const std::string &to) = 0;
};
