#include "RemoteSearch.h"

#include "FailureText.h"
#include "IdException.h"
#include "IdGlobal.h"
#include "IdMainThreadQueue.h"
#include "NameFilters.h"
#include "RemoteName.h"

#include <algorithm>

bool TSearchCriteria::Matches(const TListingEntry &entry) const
{
    const bool folder = entry.IsFolder && !entry.IsLink;
    if ((MinSize >= 0 || MaxSize >= 0) &&
        (folder || entry.Size < 0 || (MinSize >= 0 && entry.Size < MinSize) || (MaxSize >= 0 && entry.Size > MaxSize)))
        return false;
    if (ChangedSince >= 0) {
        const int64_t seconds =
            entry.Seconds >= 0 ? entry.Seconds : entry.Time >= 0 ? SecondsOfTimeText(std::to_string(entry.Time) + "59") : -1;
        if (seconds < ChangedSince)
            return false;
    }
    if (Names.trimmed().isEmpty())
        return true;
    if (FPatterns.empty() || FPatternsOf != Names) {
        FPatterns = WildcardPatterns(Names, QRegularExpression::CaseInsensitiveOption);
        FPatternsOf = Names;
    }
    const QString name = RemoteDisplayName(entry.Name);
    return std::any_of(FPatterns.begin(), FPatterns.end(),
                       [&name](const QRegularExpression &pattern) { return pattern.match(name).hasMatch(); });
}

TRemoteSearch::~TRemoteSearch()
{
    *FAlive = false;
    Stop();
    if (FThread.joinable())
        FThread.join();
}

void TRemoteSearch::Start(const TSessionSettings &session, const std::string &top, const TSearchCriteria &criteria)
{
    Stop();
    if (FThread.joinable())
        FThread.join();
    FStop = false;
    FRunning = true;
    FThread = std::thread([this, session, top, criteria] { Run(session, top, criteria); });
}

void TRemoteSearch::Stop()
{
    FStop = true;
    const std::lock_guard lock(FMutex);
    if (FSession)
        FSession->Abort();
}

void TRemoteSearch::Run(TSessionSettings session, std::string top, TSearchCriteria criteria)
{
    const auto post = [alive = FAlive](std::function<void()> call) {
        IdMainThreadQueue::Post([alive, call = std::move(call)] {
            if (*alive)
                call();
        });
    };
    QString summary;
    size_t found = 0, folders = 0;
    try {
        std::unique_ptr<TRemoteSession> remote = FMake(session);
        {
            const std::lock_guard lock(FMutex);
            FSession = remote.get();
        }
        remote->Connect(session);
        TRemoteWalkRules rules;
        rules.MaxDepth = criteria.MaxDepth + 1;
        rules.Stop = [this] { return bool(FStop); };
        TRemoteWalk walk;
        walk = WalkRemoteTree(*remote, top, rules, [&](const std::string &folder, const TListingEntry &entry, int) {
            if (!criteria.Matches(entry))
                return;
            ++found;
            post([this, result = TSearchResult{folder, entry}] {
                if (OnFound)
                    OnFound(result);
            });
        });
        remote->Close();
        folders = walk.Folders;
        summary = FStop ? QStringLiteral("Stopped: %1 found in %2 folders.").arg(found).arg(folders)
                        : QStringLiteral("%1 found in %2 folders.").arg(found).arg(folders);
        if (!walk.Incomplete.isEmpty())
            summary += ' ' + RemoteDisplayName(walk.IncompleteFolder) + ": " + walk.Incomplete;
        if (walk.DepthReached)
            summary += QStringLiteral(" Folders deeper than %1 levels were not searched.").arg(criteria.MaxDepth);
    } catch (...) {
        // Cut short in the middle of a listing.
        summary = FStop ? QStringLiteral("Stopped: %1 found.").arg(found)
                        : QStringLiteral("The search failed: %1").arg(FailureCause(std::current_exception()));
    }
    {
        const std::lock_guard lock(FMutex);
        FSession = nullptr;
    }
    FRunning = false;
    post([this, summary] {
        if (OnEnded)
            OnEnded(summary);
    });
}
