// Watches the machine's local IP address: a worker thread wakes at a fixed
// interval and has the check run on the main thread, which decides whether
// the machine is online, keeps a short history of the addresses it was
// online with, and raises OnStatusChanged when the online state changes.
#pragma once

#include "IdComponent.h"
#include "IdThread.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TIdIPWatch;

class TIdIPWatchThread : public TIdThread {
public:
    TIdIPWatchThread() : TIdThread(true) {}
    ~TIdIPWatchThread() override { StopAndWait(); }

    std::atomic<uint32_t> Interval{1000};
    TIdIPWatch *Watch = nullptr;
    // The look-up runs on this thread: a slow resolver must not hold the
    // window. Its result (or its failure) goes to the main thread.
    std::function<std::string()> LookupHandler;
    std::function<void(const std::string &address, bool found)> PollHandler;

protected:
    void RunOnce() override;
};

class TIdIPWatch : public TIdComponent {
public:
    TIdIPWatch();
    ~TIdIPWatch() override;

    bool Active() const { return FActive; }
    void SetActive(bool active);
    bool HistoryEnabled = true;
    std::string HistoryFilename = "iphist.dat";
    int MaxHistoryEntries() const { return FMaxHistoryEntries; }
    void SetMaxHistoryEntries(int count);
    uint32_t WatchInterval() const { return FWatchInterval; }
    void SetWatchInterval(uint32_t milliseconds);
    std::function<void(TIdIPWatch *)> OnStatusChanged;

    const std::string &CurrentAddress() const { return FCurrentAddress; }
    bool HasAddress() const { return FHasAddress; }
    const std::string &PreviousAddress() const { return FPreviousAddress; }
    const std::vector<std::string> &AddressHistory() const { return FHistory; }

    // The check: the look-up, then the state. The thread does the look-up
    // on its own and hands the result to ApplyAddress on the main thread.
    void PollAddress();
    // Takes a looked-up address into the state; a failed look-up (`found`
    // false) leaves the state as it is. Main thread.
    void ApplyAddress(const std::string &address, bool found);
    void WriteHistoryFile();

protected:
    // The address the stack reports for this machine; called on the watch
    // thread, so it touches no state.
    virtual std::string ReadLocalAddress();

private:
    void AppendToHistory(const std::string &address);

    bool FActive = false;
    int FMaxHistoryEntries = 25;
    uint32_t FWatchInterval = 1000;
    std::string FCurrentAddress;
    bool FHasAddress = false;
    std::string FPreviousAddress;
    std::vector<std::string> FHistory;
    std::unique_ptr<TIdIPWatchThread> FThread;
};
