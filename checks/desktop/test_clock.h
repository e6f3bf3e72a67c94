// A clock for the desktop's checks: it moves only when told to or when work is spent.
#pragma once

#include "machine/machine.h"

struct TestClock : machine::Clock {
    uint64_t micros = 0;
    uint64_t nowMicros() override { return micros; }
    void spend(uint64_t amount) override { micros += amount; }
};
