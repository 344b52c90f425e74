#include "IdIPWatch.h"

#include "IdStack.h"
#include "IdStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

bool IsOnlineAddress(const std::string &address)
{
    return !address.empty() && address != "127.0.0.1";
}

}  // namespace

// ---- the thread ----------------------------------------------------------------

void TIdIPWatchThread::RunOnce()
{
    // The check follows every slice of at most 500 ms, not only the end of
    // the interval.
    uint32_t remaining = Interval;
    while (remaining > 0) {
        const uint32_t slice = remaining > 500 ? 500 : remaining;
        SleepFor(int(slice));
        remaining -= slice;
        if (Terminated())
            return;
        std::string address;
        bool found = true;
        try {
            if (LookupHandler)
                address = LookupHandler();
        } catch (...) {
            found = false;
        }
        if (PollHandler)
            RunInMainThread([this, &address, found] { PollHandler(address, found); });
    }
}

// ---- the watch -------------------------------------------------------------------

TIdIPWatch::TIdIPWatch() = default;

TIdIPWatch::~TIdIPWatch()
{
    if (FHasAddress)
        AppendToHistory(FCurrentAddress);
    SetActive(false);
    try {
        WriteHistoryFile();
    } catch (...) {
        // A destructor cannot report it; the history is only a courtesy.
    }
}

void TIdIPWatch::SetActive(bool active)
{
    if (active == FActive)
        return;
    FActive = active;
    if (active) {
        FThread = std::make_unique<TIdIPWatchThread>();
        FThread->Watch = this;
        FThread->LookupHandler = [this] { return ReadLocalAddress(); };
        FThread->PollHandler = [this](const std::string &address, bool found) { ApplyAddress(address, found); };
        FThread->Interval = FWatchInterval;
        FThread->Start();
    } else {
        FThread->StopAndWait();
        FThread.reset();
    }
}

void TIdIPWatch::SetMaxHistoryEntries(int count)
{
    FMaxHistoryEntries = count;
    while (int(FHistory.size()) > std::max(count, 0))
        FHistory.erase(FHistory.begin());
}

void TIdIPWatch::SetWatchInterval(uint32_t milliseconds)
{
    FWatchInterval = milliseconds;
    if (FThread)
        FThread->Interval = milliseconds;
}

std::string TIdIPWatch::ReadLocalAddress()
{
    return GStack->PrimaryLocalAddress();
}

void TIdIPWatch::PollAddress()
{
    std::string address;
    bool found = true;
    try {
        address = ReadLocalAddress();
    } catch (...) {
        found = false;
    }
    ApplyAddress(address, found);
}

void TIdIPWatch::ApplyAddress(const std::string &address, bool found)
{
    // A failed look-up leaves the state as far as it got.
    if (!found)
        return;
    const bool wasOnline = FHasAddress;
    const std::string oldAddress = FCurrentAddress;
    FCurrentAddress = address;
    FHasAddress = IsOnlineAddress(FCurrentAddress);
    if (wasOnline && !FHasAddress) {
        if (IsOnlineAddress(oldAddress))
            FPreviousAddress = oldAddress;
        AppendToHistory(FPreviousAddress);
    }
    if (wasOnline != FHasAddress && OnStatusChanged)
        OnStatusChanged(this);
}

void TIdIPWatch::AppendToHistory(const std::string &address)
{
    if (!IsOnlineAddress(address))
        return;
    if (!FHistory.empty() && FHistory.back() == address)
        return;
    FHistory.push_back(address);
    if (int(FHistory.size()) > FMaxHistoryEntries)
        FHistory.erase(FHistory.begin());
}

void TIdIPWatch::WriteHistoryFile()
{
    if (!HistoryEnabled)
        return;
    std::ofstream file(HistoryFilename, std::ios::binary | std::ios::trunc);
    if (!file)
        throw EFileStreamError("Cannot create file " + HistoryFilename);
    for (const std::string &address : FHistory)
        file << address << "\r\n";
}
