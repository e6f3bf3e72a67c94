// Whether the emulated PC keeps up with real time in a window run: the host time spent running
// its CPU, against the time the same work takes on the PC it models. When it falls behind,
// what the program measures on the wall clock (the page-flip test's frame rate) is the host's.
#pragma once

#include <cstdint>
#include <optional>

namespace desktop {

class RealTimeMeter {
public:
    // The CPU's totals so far (host and emulated microseconds of running it) at wallMicros.
    void sample(uint64_t hostMicros, uint64_t emulatedMicros, uint64_t wallMicros);
    // The emulation's speed in percent of real time over its last quarter second of running;
    // none once the CPU has had little to do for a second (the program waits, or draws on
    // the host side).
    std::optional<int> speedPercent() const { return percent_; }

private:
    static constexpr uint64_t kWindowMicros = 250'000;
    static constexpr uint64_t kQuietMicros = 1'000'000;
    bool started_ = false;
    uint64_t lastHost_ = 0, lastEmulated_ = 0;
    uint64_t host_ = 0, emulated_ = 0;  // since the window began
    uint64_t windowStartWall_ = 0;
    std::optional<int> percent_;
};

}  // namespace desktop
