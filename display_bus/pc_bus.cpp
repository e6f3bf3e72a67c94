// The display library's hardware bus over the current PC: its ports, memory,
// framebuffer and clock, as a protected-mode program on the host side reaches them.
#include "display_bus/pc_bus.h"

#include "display/hardware_bus.h"
#include "pc/pc.h"

namespace display_bus {

namespace {

class CurrentMachineBus : public display::HardwareBus {
public:
    bool connected() override { return pc::hasCurrent(); }
    uint8_t in8(uint16_t port) override { return pc::current().in8(port); }
    uint16_t in16(uint16_t port) override { return pc::current().in16(port); }
    void out8(uint16_t port, uint8_t value) override { pc::current().out8(port, value); }
    void out16(uint16_t port, uint16_t value) override { pc::current().out16(port, value); }
    void waitIndexedClear(uint16_t indexPort, uint8_t index, uint8_t bits, int polls,
                          std::span<const uint16_t> timeoutWrites) override
    {
        pc::current().waitIndexedClear(indexPort, index, bits, polls, timeoutWrites);
    }
    uint8_t* realModeMemory() override { return pc::current().memory(); }
    uint8_t readPhys8(uint32_t address) override { return pc::current().readPhys8(address); }
    void writePhys8(uint32_t address, uint8_t value) override { pc::current().writePhys8(address, value); }
    uint8_t* framebuffer() override { return pc::current().lfb(); }
    uint64_t framebufferMappedBytes() override { return pc::current().videoMemoryBytes(); }
    void spend(uint64_t micros) override { pc::current().clock().spend(micros); }
};

}  // namespace

void connectCurrentMachine()
{
    static CurrentMachineBus bus;
    display::connectBus(&bus);
}

}  // namespace display_bus
