#include "machine/host_bridge.h"

namespace machine {

ConfigSpace hostBridgeConfig()
{
    ConfigSpace config;
    config.set16(pci::VENDOR_ID, pci::VENDOR_INTEL);
    config.set16(pci::DEVICE_ID, pci::DEVICE_I440FX_HOST);
    config.set16(pci::COMMAND, pci::COMMAND_IO | pci::COMMAND_MEMORY | pci::COMMAND_SERR);
    config.set32(pci::REVISION_ID, pci::CLASS_BRIDGE_HOST << 8 | 0x02);
    config.set16(pci::SUBSYSTEM_VENDOR_ID, pci::VENDOR_RED_HAT);
    config.set16(pci::SUBSYSTEM_ID, pci::SUBSYSTEM_QEMU);
    return config;
}

}  // namespace machine
