#include "IdWakeSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

TIdWakeSignal::TIdWakeSignal() : FHandle(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TIdWakeSignal::~TIdWakeSignal()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

void TIdWakeSignal::Raise()
{
    const uint64_t one = 1;
    if (FHandle >= 0)
        (void)!::write(FHandle, &one, sizeof one);
}

void TIdWakeSignal::Clear()
{
    uint64_t count = 0;
    if (FHandle >= 0)
        (void)!::read(FHandle, &count, sizeof count);
}
