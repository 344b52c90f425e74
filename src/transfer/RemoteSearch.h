// A search for files below a remote folder, on a connection of its own so
// that the window goes on browsing: each folder is listed in turn, to a
// depth, and what matches the name, size and date is told as it is found.
// It can be stopped at any time.
#pragma once

#include "Protocols.h"
#include "RemoteTree.h"
#include "SessionSettings.h"

#include <QRegularExpression>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct TSearchCriteria {
    // Wildcards, several separated by ";", against the whole name (any
    // case); "" matches every name.
    QString Names;
    // Bytes; -1: no bound. A bound matches files only.
    int64_t MinSize = -1, MaxSize = -1;
    // Changed at or after this time (seconds since 1970, UTC); -1: any.
    int64_t ChangedSince = -1;
    // Levels below the folder searched; it is listed itself at level 0.
    int MaxDepth = 10;
    bool Matches(const TListingEntry &entry) const;

private:
    // The names' patterns, made once for the text they were made of: a
    // search asks for every entry it lists.
    mutable QString FPatternsOf;
    mutable std::vector<QRegularExpression> FPatterns;
};

struct TSearchResult {
    std::string Folder;
    TListingEntry Entry;
};

class TRemoteSearch {
public:
    explicit TRemoteSearch(TSessionMaker make = MakeSession) : FMake(std::move(make)) {}
    ~TRemoteSearch();

    // Main thread. Searches below `top`; what it finds and how it ends are
    // told on the main thread.
    void Start(const TSessionSettings &session, const std::string &top, const TSearchCriteria &criteria);
    void Stop();
    bool Running() const { return FRunning; }

    std::function<void(const TSearchResult &)> OnFound;
    // "12 found in 40 folders.", or why it stopped.
    std::function<void(const QString &summary)> OnEnded;

private:
    void Run(TSessionSettings session, std::string top, TSearchCriteria criteria);

    TSessionMaker FMake;
    std::thread FThread;
    std::atomic<bool> FStop{false}, FRunning{false};
    std::mutex FMutex;
    TRemoteSession *FSession = nullptr;
    // Calls posted after this search is gone do nothing.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
