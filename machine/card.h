// A video card on the machine's bus, as the machine and the scan-out see it: its ports, the
// VGA window, the memory its PCI BARs decode, its PCI configuration space, and what it shows.
// Each card builds on the VgaCore and answers the accesses that are its own; cards.cpp lists
// the cards a machine file can name.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "machine/cursor_sprite.h"
#include "machine/pci_bus.h"
#include "machine/vga/core.h"
#include "pc/pc.h"

namespace machine {

using pc::MachineConfig;

// A mode the VGA registers do not describe (a chip's own packed or 4-bit planar mode): the
// scan-out shows width x height pixels from `start` with `lineBytes` per line of video memory.
struct ExtendedMode {
    int width = 0, height = 0;
    int bitsPerPixel = 8;  // 4 (planar: plane bytes x 4), 8, 15, 16, 24 or 32
    uint64_t start = 0;    // byte offset of the first pixel (plane address x 4 when planar)
    uint32_t lineBytes = 0;
    int firstPixel = 0;      // planar: pixels to skip in the first 8-pixel group
    bool screenOff = false;  // the card blanks the picture (and its cursor)
};

class Card {
public:
    virtual ~Card() = default;

    virtual bool decodesPort(uint16_t port) const { return VgaCore::decodesPort(port); }
    virtual uint8_t in8(uint16_t port) { return vga().in8(port); }
    virtual void out8(uint16_t port, uint8_t value) { vga().out8(port, value); }
    // An 8-bit device sees a word access as two byte cycles: the port, then the next one.
    virtual uint16_t in16(uint16_t port);
    virtual void out16(uint16_t port, uint16_t value);

    // The host window at A0000-BFFFF.
    virtual uint8_t readWindow(uint32_t address) { return vga().readWindow(address); }
    virtual void writeWindow(uint32_t address, uint8_t value) { vga().writeWindow(address, value); }

    // Memory above the first megabyte that the card's BARs decode, `bytes` (1, 2 or 4) at a
    // time. Here: video memory at BAR 0; bytes nothing decodes read as FFh.
    virtual uint32_t readBus(uint32_t address, unsigned bytes);
    virtual void writeBus(uint32_t address, unsigned bytes, uint32_t value);

    virtual VgaCore& vga() = 0;
    virtual const VgaCore& vga() const = 0;
    virtual ConfigSpace& pciFunction() = 0;

    // What the monitor shows: an extended mode, or nothing when the VGA registers say it all.
    virtual std::optional<ExtendedMode> extendedMode() const { return std::nullopt; }
    // The hardware cursor over the picture; false when there is none or it is hidden.
    virtual bool cursorSprite(CursorSprite&) const { return false; }

    // Whether a bus or window address reaches the card's registers rather than video memory,
    // and who hears of the card's own operations (a BitBLT engine's), for the I/O log.
    virtual bool registersAt(uint32_t) const { return false; }
    virtual void setOperationLog(std::function<void(const std::string&)>) {}
    // Who is told of the machine time the card's own engine spends working (microseconds),
    // so that the clock and a real-mode call's budget pay for it as for the CPU's work.
    virtual void setEngineTime(std::function<void(uint64_t micros)>) {}

    uint8_t* videoMemory() { return vga().videoMemory(); }
    const uint8_t* videoMemory() const { return vga().videoMemory(); }
    uint32_t videoMemoryBytes() const { return vga().videoMemoryBytes(); }
    // Where BAR 0 maps video memory, the linear framebuffer.
    uint32_t lfbAddress() { return pciFunction().barAddress(0); }
};

// The cards a machine can have, by the name a machine file gives (`card = ...`).
struct CardType {
    const char* name;
    const char* description;
    // Null for a card the virtual PC has no model of: one Palisade reads on PCs it reaches.
    std::unique_ptr<Card> (*make)(const MachineConfig& config, std::function<uint64_t()> now);
};
const std::vector<CardType>& cardTypes();
std::unique_ptr<Card> makeCard(const MachineConfig& config, std::function<uint64_t()> now);  // throws MachineError

}  // namespace machine
