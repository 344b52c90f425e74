// The base of every network component: a name, the free notification that
// clears references to a component when it goes away, the status event and
// the work events, and the process-wide socket stack that exists while at
// least one component does.
#pragma once

#include "IdGlobal.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TIdStack;

enum TOperation { opInsert, opRemove };

class TIdBaseComponent {
public:
    TIdBaseComponent() = default;
    virtual ~TIdBaseComponent();
    TIdBaseComponent(const TIdBaseComponent &) = delete;
    TIdBaseComponent &operator=(const TIdBaseComponent &) = delete;

    std::string Name;

    // Asks this component to call `other->Notification(this, opRemove)`
    // when it is destroyed; the link is dropped if `other` goes first.
    void FreeNotification(TIdBaseComponent *other);
    void RemoveFreeNotification(TIdBaseComponent *other);

protected:
    virtual void Notification(TIdBaseComponent *component, TOperation operation);

private:
    std::vector<TIdBaseComponent *> FFreeNotifies;
};

class TIdComponent;
using TIdStatusEvent = std::function<void(TIdComponent *axSender, TIdStatus axStatus, const std::string &asStatusText)>;
// Work counts are 64-bit: transfers of several gigabytes count on.
using TWorkBeginEvent = std::function<void(TIdComponent *Sender, TWorkMode AWorkMode, int64_t AWorkCountMax)>;
using TWorkEvent = std::function<void(TIdComponent *Sender, TWorkMode AWorkMode, int64_t AWorkCount)>;
using TWorkEndEvent = std::function<void(TIdComponent *Sender, TWorkMode AWorkMode)>;

class TIdComponent : public TIdBaseComponent {
public:
    TIdComponent();
    ~TIdComponent() override;

    TIdStatusEvent OnStatus;
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;

    virtual void StartWork(TWorkMode mode, int64_t countMax);
    virtual void AddWork(TWorkMode mode, int64_t count);
    virtual void FinishWork(TWorkMode mode);

    struct TWorkInfo {
        int64_t WorkDone = 0;
        int64_t WorkMax = 0;
        int WorkLevel = 0;
    };
    const TWorkInfo &WorkInfo(TWorkMode mode) const { return FWorkInfos[mode]; }

    // Live components, and so whether the stack exists.
    static int InstanceCount();

protected:
    void ReportStatus(TIdStatus status, const std::string &argument = {});

private:
    TWorkInfo FWorkInfos[2];
};

// Formats the status kind's text with its argument.
std::string StatusText(TIdStatus status, const std::string &argument);
