// The window's measure of whether the emulation keeps up with real time.
#include <gtest/gtest.h>

#include "desktop/real_time_meter.h"

namespace {

TEST(RealTimeMeter, ComparesTheHostTimeOfRunningTheCpuWithTheTimeItsWorkTakes)
{
    const struct {
        const char* what;
        uint64_t hostPerStep, emulatedPerStep;  // each step 10 ms of wall time
        std::optional<int> percent;
    } cases[] = {
        {"work as fast as the modelled PC keeps up", 10'000, 10'000, 100},
        {"work the host needs four times as long for runs at 25%", 8'000, 2'000, 25},
        {"a CPU that is mostly idle says nothing", 100, 10, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        desktop::RealTimeMeter meter;
        uint64_t wall = 1'000'000, host = 0, emulated = 0;
        for (int step = 0; step <= 150; ++step, wall += 10'000, host += c.hostPerStep, emulated += c.emulatedPerStep)
            meter.sample(host, emulated, wall);
        EXPECT_EQ(meter.speedPercent(), c.percent);
    }
}

TEST(RealTimeMeter, ANoteOfSlownessGoesOnceTheCpuFallsQuiet)
{
    desktop::RealTimeMeter meter;
    uint64_t wall = 0, host = 0, emulated = 0;
    for (int step = 0; step <= 50; ++step, wall += 10'000, host += 10'000, emulated += 1'000)
        meter.sample(host, emulated, wall);
    EXPECT_EQ(meter.speedPercent(), 10);
    for (int step = 0; step <= 250; ++step, wall += 10'000)  // the program waits for a key
        meter.sample(host, emulated, wall);
    EXPECT_EQ(meter.speedPercent(), std::nullopt);
}

}  // namespace
