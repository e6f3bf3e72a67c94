// The PCI host bridge at 00:00.0, as QEMU's PC has it (Intel 440FX): firmware that looks
// for PCI reads its vendor first and takes a bus without one for no bus at all.
#pragma once

#include "machine/pci_bus.h"

namespace machine {

constexpr uint16_t HOST_BRIDGE_BDF = pci::bdf(0, 0, 0);
ConfigSpace hostBridgeConfig();

}  // namespace machine
