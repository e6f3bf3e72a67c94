// The narrow bus through which the display library reaches the card besides its VBE calls:
// port I/O (and a busy-wait on a register), physical memory, the card's framebuffer, and the
// clock. The machine side
// implements it and connects it; the library asks for it on every operation.
#pragma once

#include <cstdint>
#include <span>

namespace display {

class HardwareBus {
public:
    virtual ~HardwareBus() = default;

    // False while there is no machine behind the bus; the library then does nothing.
    virtual bool connected() = 0;

    virtual uint8_t in8(uint16_t port) = 0;
    virtual uint16_t in16(uint16_t port) = 0;
    virtual void out8(uint16_t port, uint8_t value) = 0;
    virtual void out16(uint16_t port, uint16_t value) = 0;
    // A driver's busy-wait on an indexed register: writes `index` to `indexPort` and reads
    // the register at indexPort + 1 until `bits` read clear, at most `polls` times; when they
    // never do, writes each of `timeoutWrites` (index | value << 8) to `indexPort`. Nothing
    // comes back, so a PC driven from outside may run the loop on its own CPU.
    virtual void waitIndexedClear(uint16_t indexPort, uint8_t index, uint8_t bits, int polls,
                                  std::span<const uint16_t> timeoutWrites) = 0;

    // The first megabyte and the high memory area as host memory below 4 GB: real-mode
    // address a is realModeMemory()[a], and pointers into it fit in 32 bits.
    virtual uint8_t* realModeMemory() = 0;
    // Physical addresses from A0000h up, through the card (banked window, VGA planes).
    virtual uint8_t readPhys8(uint32_t address) = 0;
    virtual void writePhys8(uint32_t address, uint8_t value) = 0;

    // The linear framebuffer as the host maps it, and how many bytes the mapping holds. How
    // much of it the modes use is what the BIOS reports; the mapping only bounds the writes.
    // What the card drew by itself (its engine, the BIOS) is there only once asked again: a PC
    // that keeps a host copy of video memory brings the copy up to date here, so the CPU's
    // drawing after the card's asks first.
    virtual uint8_t* framebuffer() = 0;
    virtual uint64_t framebufferMappedBytes() = 0;

    // Work that took this long on the machine's clock.
    virtual void spend(uint64_t micros) = 0;
};

// The bus the library uses from now on; null disconnects it. The bus stays the caller's.
void connectBus(HardwareBus* bus);
// The connected bus, or null when none is connected or no machine is behind it.
HardwareBus* bus();

}  // namespace display
