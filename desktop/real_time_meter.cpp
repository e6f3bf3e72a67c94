// The emulation's speed against real time, measured over the time the host runs its CPU.
#include "desktop/real_time_meter.h"

#include <algorithm>

namespace desktop {

void RealTimeMeter::sample(uint64_t hostMicros, uint64_t emulatedMicros, uint64_t wallMicros)
{
    if (!started_) {
        started_ = true;
        windowStartWall_ = wallMicros;
    } else {
        host_ += hostMicros - lastHost_;
        emulated_ += emulatedMicros - lastEmulated_;
    }
    lastHost_ = hostMicros;
    lastEmulated_ = emulatedMicros;
    if (host_ >= kWindowMicros) {
        percent_ = int(std::min<uint64_t>(emulated_ * 100 / host_, 1000));
    } else if (wallMicros - windowStartWall_ < kQuietMicros) {
        return;  // not enough running yet to say
    } else if (host_ < kWindowMicros / 4) {
        percent_.reset();  // the CPU was mostly idle: nothing to say about its pace
    }
    host_ = emulated_ = 0;
    windowStartWall_ = wallMicros;
}

}  // namespace desktop
