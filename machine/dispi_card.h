// The standard VGA with the Bochs DISPI extension, as QEMU's `-device VGA` has it, plus
// Palisade's own extension registers. DISPI owns its index/data ports, its banked window and
// its packed modes; every other access goes to the VgaCore. On PCI: the framebuffer at BAR 0,
// at BAR 2 a register window (the monitor's EDID at 0, the VGA ports at 400h, the DISPI
// registers at 500h), and an expansion-ROM BAR, as QEMU 7.2 shows them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "hw/dispi.h"
#include "machine/card.h"
#include "machine/edid.h"
#include "machine/machine.h"
#include "machine/palisade_extension.h"

namespace machine {

struct DispiRegisters {
    uint16_t index = 0;
    uint16_t id = dispi::ID_0;
    uint16_t xres = 640, yres = 480, bpp = 8;
    uint16_t enable = 0;
    uint16_t readBank = 0, writeBank = 0;
    uint16_t virtWidth = 640, virtHeight = 0;
    uint16_t xOffset = 0, yOffset = 0;
};

class DispiCard final : public Card {
public:
    // now() gives the card's time in microseconds, for the retrace bits of input status 1.
    // Without `dispi` the card is a plain VGA: nothing answers at the DISPI ports.
    DispiCard(uint32_t videoMemoryBytes, bool dispi, uint32_t accelCaps, uint32_t refreshHz,
              std::function<uint64_t()> now, WideDac wideDac = WideDac::Works, uint32_t lfbAddress = 0xE0000000);
    static std::unique_ptr<Card> make(const MachineConfig& config, std::function<uint64_t()> now);
    // A deliberate fault, for checks of the verdict (none unless a machine file asks).
    void setFault(CardFault fault);

    bool decodesPort(uint16_t port) const override;
    uint8_t in8(uint16_t port) override;
    void out8(uint16_t port, uint8_t value) override;
    uint16_t in16(uint16_t port) override;
    void out16(uint16_t port, uint16_t value) override;
    uint8_t readWindow(uint32_t address) override;
    void writeWindow(uint32_t address, uint8_t value) override;
    uint32_t readBus(uint32_t address, unsigned bytes) override;
    void writeBus(uint32_t address, unsigned bytes, uint32_t value) override;

    VgaCore& vga() override { return vga_; }
    const VgaCore& vga() const override { return vga_; }
    ConfigSpace& pciFunction() override { return pci_; }
    std::optional<ExtendedMode> extendedMode() const override;
    bool registersAt(uint32_t address) const override { return inRegisterWindow(address, 1); }
    bool cursorSprite(CursorSprite& sprite) const override;

    const DispiRegisters& dispi() const { return dispi_; }
    const HardwareCursor& cursor() const { return extension_.cursor(); }
    bool hasDispi() const { return hasDispi_; }
    bool dispiEnabled() const { return hasDispi_ && (dispi_.enable & dispi::ENABLE_ON); }
    int dacBits() const { return vga_.dac.bits; }
    // Bytes of video memory per scan line in the current DISPI mode (plane bytes x 4 at 4 bits).
    uint32_t dispiLineBytes() const;

private:
    uint16_t readDispi(uint16_t index);
    void writeDispi(uint16_t index, uint16_t value);
    bool inRegisterWindow(uint32_t address, unsigned bytes) const;
    uint8_t readRegisterWindow(uint32_t offset);
    void writeRegisterWindow(uint32_t offset, uint8_t value);
    void enable(uint16_t value);
    bool windowOffset(uint32_t address, uint32_t bank, uint32_t& offset) const;

    VgaCore vga_;
    bool hasDispi_;
    WideDac wideDac_;
    DispiRegisters dispi_;
    bool startLate_ = false;     // CardFault::DisplayStartLate: the picture starts a line further down
    bool bankOffByOne_ = false;  // CardFault::BankOffByOne: the window shows the next bank
    PalisadeExtension extension_;
    ConfigSpace pci_;
    std::array<uint8_t, EDID_BYTES> edid_;
    uint16_t pendingLowByte_ = 0;  // a DISPI word written through the register window, low byte first
};

}  // namespace machine
