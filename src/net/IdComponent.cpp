#include "IdComponent.h"

#include "IdResourceStrings.h"
#include "IdStack.h"
#include "IdScopeGuard.h"

#include <algorithm>
#include <mutex>

// ---- TIdBaseComponent --------------------------------------------------------

TIdBaseComponent::~TIdBaseComponent()
{
    // Copy first: a notified component may unlink itself meanwhile.
    const auto notifies = FFreeNotifies;
    FFreeNotifies.clear();
    for (TIdBaseComponent *other : notifies) {
        std::erase(other->FFreeNotifies, this);
        other->Notification(this, opRemove);
    }
}

void TIdBaseComponent::FreeNotification(TIdBaseComponent *other)
{
    if (!other || other == this)
        return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), other) == FFreeNotifies.end())
        FFreeNotifies.push_back(other);
    if (std::find(other->FFreeNotifies.begin(), other->FFreeNotifies.end(), this) == other->FFreeNotifies.end())
        other->FFreeNotifies.push_back(this);
}

void TIdBaseComponent::RemoveFreeNotification(TIdBaseComponent *other)
{
    if (!other)
        return;
    std::erase(FFreeNotifies, other);
    std::erase(other->FFreeNotifies, this);
}

void TIdBaseComponent::Notification(TIdBaseComponent *, TOperation) {}

// ---- TIdComponent --------------------------------------------------------------

namespace {
// Transfer workers make and drop their data connections on their own
// threads; a count raced there could free the stack under a live socket.
std::mutex GInstanceLock;
int GInstanceCount = 0;
}

TIdComponent::TIdComponent()
{
    const std::lock_guard lock(GInstanceLock);
    if (!GStack)
        GStack = CreateDefaultStack();
    ++GInstanceCount;
}

TIdComponent::~TIdComponent()
{
    const std::lock_guard lock(GInstanceLock);
    if (--GInstanceCount == 0) {
        delete GStack;
        GStack = nullptr;
    }
}

int TIdComponent::InstanceCount()
{
    const std::lock_guard lock(GInstanceLock);
    return GInstanceCount;
}

std::string StatusText(TIdStatus status, const std::string &argument)
{
    static const char *const formats[] = {RSId::StatusResolving, RSId::StatusConnecting, RSId::StatusConnected,
                                          RSId::StatusDisconnecting, RSId::StatusDisconnected, RSId::StatusText};
    return FormatText(formats[status], argument);
}

void TIdComponent::ReportStatus(TIdStatus status, const std::string &argument)
{
    if (OnStatus)
        OnStatus(this, status, StatusText(status, argument));
}

void TIdComponent::StartWork(TWorkMode mode, int64_t countMax)
{
    TWorkInfo &info = FWorkInfos[mode];
    if (++info.WorkLevel == 1) {
        info.WorkMax = countMax;
        info.WorkDone = 0;
        if (OnWorkBegin)
            OnWorkBegin(this, mode, countMax);
    }
}

void TIdComponent::AddWork(TWorkMode mode, int64_t count)
{
    TWorkInfo &info = FWorkInfos[mode];
    if (info.WorkLevel < 1)
        return;
    info.WorkDone += count;
    if (OnWork)
        OnWork(this, mode, info.WorkDone);
}

void TIdComponent::FinishWork(TWorkMode mode)
{
    TWorkInfo &info = FWorkInfos[mode];
    const auto lower = IdScopeExit([&info] { --info.WorkLevel; });  // also when the handler raises
    if (info.WorkLevel == 1 && OnWorkEnd)
        OnWorkEnd(this, mode);
}
