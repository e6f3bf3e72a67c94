// The accelerator back ends, one per kind of card, each probing the bus for its card.
#include "display/accel_backend.h"

#include "display_accel/cirrus_accel.h"
#include "display_accel/dispi_accel.h"

namespace display {

std::unique_ptr<AccelBackend> findAccelBackend(HardwareBus& bus)
{
    using Probe = std::unique_ptr<AccelBackend> (*)(HardwareBus&);
    static constexpr Probe probes[] = {probeDispiAccel, probeCirrusAccel};
    for (Probe probe : probes)
        if (std::unique_ptr<AccelBackend> backend = probe(bus))
            return backend;
    return nullptr;
}

}  // namespace display
