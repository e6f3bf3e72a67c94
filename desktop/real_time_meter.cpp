// The emulation's speed against real time, measured over the host's busy time.
#include "desktop/real_time_meter.h"

#include <algorithm>

namespace desktop {

void RealTimeMeter::charge(uint64_t emulatedMicros, uint64_t wallMicros)
{
    if (started_ && wallMicros > lastWall_)
        busy_ += wallMicros - lastWall_;
    started_ = true;
    lastWall_ = std::max(lastWall_, wallMicros);
    emulated_ += emulatedMicros;
    if (busy_ >= kWindowMicros) {
        percent_ = int(std::min<uint64_t>(emulated_ * 100 / busy_, 1000));
        busy_ = emulated_ = 0;
    }
}

void RealTimeMeter::idleUntil(uint64_t wallMicros)
{
    // A long wait for the person starts a new measure: the note is about work, not about
    // how long the person looked at a screen.
    if (wallMicros > lastWall_ + kWindowMicros) {
        percent_.reset();
        busy_ = emulated_ = 0;
    }
    lastWall_ = std::max(lastWall_, wallMicros);
}

}  // namespace desktop
