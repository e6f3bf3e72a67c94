// Whether the emulated PC keeps up with real time in a window run: the time its work would
// take on the PC it models, against the host time that work took. When it falls behind, what
// the program measures on the wall clock (the page-flip test's frame rate) is the host's.
#pragma once

#include <cstdint>
#include <optional>

namespace desktop {

class RealTimeMeter {
public:
    // The emulated PC did work that takes emulatedMicros on it; the host's clock reads wallMicros.
    void charge(uint64_t emulatedMicros, uint64_t wallMicros);
    // The host waited for the person until wallMicros: that time is nobody's work.
    void idleUntil(uint64_t wallMicros);
    // The emulation's speed in percent of real time over the last half second of host work;
    // none while too little work was measured since the last long idle.
    std::optional<int> speedPercent() const { return percent_; }

private:
    static constexpr uint64_t kWindowMicros = 500'000;
    uint64_t lastWall_ = 0;
    bool started_ = false;
    uint64_t busy_ = 0;
    uint64_t emulated_ = 0;
    std::optional<int> percent_;
};

}  // namespace desktop
