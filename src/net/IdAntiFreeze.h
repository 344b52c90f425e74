// The anti-freeze for Qt: Pump dispatches Qt's pending events. The one
// unit of the network layer that links Qt.
#pragma once

#include "IdAntiFreezeBase.h"

class TIdAntiFreeze : public TIdAntiFreezeBase {
public:
    // With ApplicationHasPriority, every pending event (pass after pass,
    // until one finds nothing); otherwise one pass of the event dispatcher.
    void Pump() override;
};
