// An anti-freeze for engine tests: it counts its pumps and can run a
// handler in each, as a window would, without any window toolkit.
#pragma once

#include "IdAntiFreezeBase.h"

#include <functional>

class CountingAntiFreeze : public TIdAntiFreezeBase {
public:
    void Pump() override
    {
        ++Pumps;
        if (OnPump)
            OnPump();
    }
    int Pumps = 0;
    std::function<void()> OnPump;
};
