#include "display/bus_clock.h"

#include "display/hardware_bus.h"

namespace display {

void chargeBus(uint64_t bytes)
{
    static uint64_t carried = 0;  // byte-microseconds not yet charged
    HardwareBus* b = bus();
    if (bytes == 0 || !b)
        return;
    carried += bytes * 1'000'000;
    const uint64_t micros = carried / BUS_BYTES_PER_SECOND;
    carried %= BUS_BYTES_PER_SECOND;
    if (micros)
        b->spend(micros);
}

}  // namespace display
