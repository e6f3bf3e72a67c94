// The window's measure of whether the emulation keeps up with real time.
#include <gtest/gtest.h>

#include "desktop/real_time_meter.h"

namespace {

TEST(RealTimeMeter, ComparesEmulatedWorkWithTheHostTimeItTookLeavingOutIdleTime)
{
    const struct {
        const char* what;
        uint64_t emulatedPerStep;  // each step is 10 ms of host time
        std::optional<int> percent;
    } cases[] = {
        {"work that takes as long on the host keeps up", 10'000, 100},
        {"work the host needs four times as long for runs at 25%", 2'500, 25},
        {"work faster than the modelled PC is ahead", 30'000, 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        desktop::RealTimeMeter meter;
        uint64_t wall = 1'000'000;
        meter.charge(0, wall);
        for (int step = 0; step < 60; ++step) {
            wall += 10'000;
            meter.charge(c.emulatedPerStep, wall);
        }
        EXPECT_EQ(meter.speedPercent(), c.percent);
    }
}

TEST(RealTimeMeter, WaitingForThePersonIsNotSlownessAndALongWaitClearsTheMeasure)
{
    desktop::RealTimeMeter meter;
    uint64_t wall = 0;
    meter.charge(0, wall);
    EXPECT_EQ(meter.speedPercent(), std::nullopt) << "nothing measured yet";
    for (int step = 0; step < 60; ++step) {
        wall += 10'000;
        meter.charge(10'000, wall);
        if (step == 10) {
            wall += 100'000;  // a short wait for a key in the middle
            meter.idleUntil(wall);
        }
    }
    EXPECT_EQ(meter.speedPercent(), 100);
    wall += 5'000'000;
    meter.idleUntil(wall);
    EXPECT_EQ(meter.speedPercent(), std::nullopt);
}

}  // namespace
