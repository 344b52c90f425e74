#include "IdAntiFreezeBase.h"

#include <chrono>
#include <thread>

namespace {
TIdAntiFreezeBase *GAntiFreeze = nullptr;
std::thread::id GMainThread;
// Main thread only.
std::chrono::steady_clock::time_point GLastPump;
}  // namespace

TIdAntiFreezeBase::TIdAntiFreezeBase()
{
    GAntiFreeze = this;
    GMainThread = std::this_thread::get_id();
}

TIdAntiFreezeBase::~TIdAntiFreezeBase()
{
    GAntiFreeze = nullptr;
}

TIdAntiFreezeBase *TIdAntiFreezeBase::Current()
{
    return GAntiFreeze;
}

bool TIdAntiFreezeBase::OnMainThread()
{
    return std::this_thread::get_id() == GMainThread;
}

void TIdAntiFreezeBase::PumpIfDue(bool idle, bool force)
{
    TIdAntiFreezeBase *antiFreeze = GAntiFreeze;
    if (!antiFreeze || !OnMainThread())
        return;
    if (!(idle || !antiFreeze->OnlyWhenIdle || force) || !antiFreeze->Active)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!idle && !force && now - GLastPump < std::chrono::milliseconds(PumpInterval))
        return;
    GLastPump = now;
    antiFreeze->Pump();
}
