// The anti-freeze's settings and its process-wide registration. Socket
// waits are cut into slices of IdleTimeOut and, after each slice and after
// every send, PumpIfDue lets the registered anti-freeze dispatch the
// window's pending events, so the window stays alive while network calls
// block its thread. This unit knows nothing of any window toolkit.
#pragma once

#include "IdComponent.h"

class TIdAntiFreezeBase : public TIdBaseComponent {
public:
    // Registers this one, replacing any earlier one; the constructing
    // thread becomes the main thread.
    TIdAntiFreezeBase();
    // Unregisters whichever anti-freeze is registered.
    ~TIdAntiFreezeBase() override;

    bool Active = true;
    bool ApplicationHasPriority = true;
    int IdleTimeOut = 250;
    bool OnlyWhenIdle = true;

    // Dispatches pending events: all of them, or one round when
    // ApplicationHasPriority is false.
    virtual void Pump() = 0;

    // The hook the connection layer calls; does nothing off the main thread
    // or without a registered, active anti-freeze. While data flows (not
    // idle) it pumps at most every PumpInterval: more often only costs the
    // transfer, and a window that answers within that is alive.
    static void PumpIfDue(bool idle, bool force = false);
    static constexpr int PumpInterval = 20;  // ms
    static TIdAntiFreezeBase *Current();
    static bool OnMainThread();
};
