// The display library's connection to its hardware bus.
#include "display/hardware_bus.h"

namespace display {

namespace {

HardwareBus* connectedBus = nullptr;

}  // namespace

void connectBus(HardwareBus* bus)
{
    connectedBus = bus;
}

HardwareBus* bus()
{
    return connectedBus && connectedBus->connected() ? connectedBus : nullptr;
}

}  // namespace display
