// A clock for the desktop's checks: it moves only when told to or when work is spent.
#pragma once

#include "desktop/session.h"
#include "machine/machine.h"

struct TestClock : machine::Clock {
    uint64_t micros = 0;
    uint64_t nowMicros() override { return micros; }
    void spend(uint64_t amount) override { micros += amount; }
};

// A fresh session as a script drives it, on the check's clock and in virtual time.
inline void startScriptedSession(TestClock& clock)
{
    desktop::session().reset();
    desktop::session().setClock(&clock);
    desktop::session().setScripted(true);
    desktop::session().setVirtualTime(true);
}
