#include "display/bus_clock.h"

#include "machine/machine.h"

namespace display {

void chargeBus(uint64_t bytes)
{
    static uint64_t carried = 0;  // byte-microseconds not yet charged
    if (bytes == 0 || !machine::hasCurrent())
        return;
    carried += bytes * 1'000'000;
    const uint64_t micros = carried / BUS_BYTES_PER_SECOND;
    carried %= BUS_BYTES_PER_SECOND;
    if (micros)
        machine::current().clock().spend(micros);
}

}  // namespace display
