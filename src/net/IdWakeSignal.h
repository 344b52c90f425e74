// A descriptor one thread makes readable to wake another's wait (poll or
// a socket's wait): raised until cleared. Any thread may raise it.
#pragma once

class TIdWakeSignal {
public:
    TIdWakeSignal();
    ~TIdWakeSignal();
    TIdWakeSignal(const TIdWakeSignal &) = delete;
    TIdWakeSignal &operator=(const TIdWakeSignal &) = delete;

    void Raise();
    void Clear();
    // -1 when the system gave none.
    int Handle() const { return FHandle; }

private:
    const int FHandle;
};
