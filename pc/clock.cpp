// Real time and the virtual time of headless runs.
#include <chrono>

#include "pc/pc.h"

namespace pc {
namespace {

class RealClock final : public Clock {
public:
    uint64_t nowMicros() override
    {
        return static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_).count());
    }
    void spend(uint64_t) override {}  // real work takes real time by itself

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

class VirtualClock final : public Clock {
public:
    uint64_t nowMicros() override { return now_; }
    void spend(uint64_t micros) override { now_ += micros; }

private:
    uint64_t now_ = 0;
};

}  // namespace

std::unique_ptr<Clock> makeRealClock()
{
    return std::make_unique<RealClock>();
}
std::unique_ptr<Clock> makeVirtualClock()
{
    return std::make_unique<VirtualClock>();
}

}  // namespace pc
