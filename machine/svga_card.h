// The SuperVGA card: a standard VGA (sequencer, graphics controller, CRTC, attribute
// controller, DAC, planar and chain-4 memory) with the Bochs DISPI extension, the card's
// hardware cursor and its accelerator capability register.
//
// Video memory keeps the VGA's four planes interleaved: byte p of plane address a is
// videoMemory[a * 4 + p]. Chain-4 and DISPI packed modes therefore see memory linearly,
// and the scan-out reads planar and text modes from the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "machine/machine.h"

namespace machine {

struct VgaRegisters {
    uint8_t misc = 0;
    uint8_t seqIndex = 0;
    std::array<uint8_t, 8> seq{};
    uint8_t gcIndex = 0;
    std::array<uint8_t, 16> gc{};
    uint8_t crtcIndex = 0;
    std::array<uint8_t, 32> crtc{};
    uint8_t attrIndex = 0;        // bit 5: palette address source (picture on)
    bool attrFlipFlopData = false;
    std::array<uint8_t, 32> attr{};
    uint8_t dacMask = 0xFF;
    uint8_t dacReadIndex = 0, dacWriteIndex = 0, dacComponent = 0;
    bool dacLastWasRead = false;
    std::array<uint8_t, 256 * 3> dac{};  // as written: the DAC width decides which bits count
    std::array<uint8_t, 4> latch{};
};

struct DispiRegisters {
    uint16_t index = 0;
    uint16_t id = 0xB0C0;
    uint16_t xres = 640, yres = 480, bpp = 8;
    uint16_t enable = 0;
    uint16_t readBank = 0, writeBank = 0;
    uint16_t virtWidth = 640, virtHeight = 0;
    uint16_t xOffset = 0, yOffset = 0;
};

struct HardwareCursor {
    bool shown = false;
    int16_t x = 0, y = 0;
    uint8_t hotX = 0, hotY = 0;
    uint8_t red = 0xFF, green = 0xFF, blue = 0xFF;
    uint16_t imageIndex = 0;
    std::array<uint16_t, 128> image{};  // words 0-63 first mask, 64-127 second mask
};

class SvgaCard {
public:
    // now() gives the card's time in microseconds, for the retrace bits of input status 1.
    SvgaCard(uint32_t videoMemoryBytes, bool dispi, uint32_t accelEntries, uint32_t refreshHz,
             std::function<uint64_t()> now, WideDac wideDac = WideDac::Works);

    // A deliberate fault, for checks of the verdict (none unless a machine file asks).
    void setFault(CardFault fault) { fault_ = fault; }

    static bool decodesPort(uint16_t port);
    uint8_t in8(uint16_t port);
    void out8(uint16_t port, uint8_t value);
    uint16_t in16(uint16_t port);
    void out16(uint16_t port, uint16_t value);

    // The VGA window at A0000-BFFFF, as the memory map selects it.
    uint8_t readWindow(uint32_t address);
    void writeWindow(uint32_t address, uint8_t value);

    uint8_t* videoMemory() { return vram_.data(); }
    const uint8_t* videoMemory() const { return vram_.data(); }
    uint32_t videoMemoryBytes() const { return static_cast<uint32_t>(vram_.size()); }

    const VgaRegisters& vga() const { return vga_; }
    const DispiRegisters& dispi() const { return dispi_; }
    const HardwareCursor& cursor() const { return cursor_; }
    bool hasDispi() const { return hasDispi_; }
    bool dispiEnabled() const { return hasDispi_ && (dispi_.enable & 0x01); }
    int dacBits() const;                         // 6 or 8: the width the DAC really uses
    WideDac wideDac() const { return wideDac_; }
    uint32_t refreshHz() const { return refreshHz_; }

    // Bytes of video memory per scan line in the current DISPI mode (plane bytes x 4 at 4 bits).
    uint32_t dispiLineBytes() const;

private:
    uint16_t readDispi();
    void writeDispi(uint16_t value);
    void enableDispi(uint16_t value);
    uint8_t readStatus1();
    uint32_t windowOffset(uint32_t address, bool& mapped) const;

    std::vector<uint8_t> vram_;
    bool hasDispi_;
    uint32_t accelEntries_;
    uint32_t refreshHz_;
    WideDac wideDac_;
    CardFault fault_ = CardFault::None;
    std::function<uint64_t()> now_;
    VgaRegisters vga_;
    DispiRegisters dispi_;
    HardwareCursor cursor_;
};

}  // namespace machine
