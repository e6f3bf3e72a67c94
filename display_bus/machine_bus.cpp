// The display library's hardware bus over the current machine: its ports, memory,
// framebuffer and clock, as a protected-mode program on the host side reaches them.
#include "display_bus/machine_bus.h"

#include "display/hardware_bus.h"
#include "machine/machine.h"

namespace display_bus {

namespace {

class CurrentMachineBus : public display::HardwareBus {
public:
    bool connected() override { return machine::hasCurrent(); }
    uint8_t in8(uint16_t port) override { return machine::current().in8(port); }
    uint16_t in16(uint16_t port) override { return machine::current().in16(port); }
    void out8(uint16_t port, uint8_t value) override { machine::current().out8(port, value); }
    void out16(uint16_t port, uint16_t value) override { machine::current().out16(port, value); }
    uint8_t* realModeMemory() override { return machine::current().memory(); }
    uint8_t readPhys8(uint32_t address) override { return machine::current().readPhys8(address); }
    void writePhys8(uint32_t address, uint8_t value) override { machine::current().writePhys8(address, value); }
    uint8_t* framebuffer() override { return machine::current().lfb(); }
    uint64_t framebufferMappedBytes() override { return machine::current().videoMemoryBytes(); }
    void spend(uint64_t micros) override { machine::current().clock().spend(micros); }
};

}  // namespace

void connectCurrentMachine()
{
    static CurrentMachineBus bus;
    display::connectBus(&bus);
}

}  // namespace display_bus
