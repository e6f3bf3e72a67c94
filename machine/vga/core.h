// A standard VGA: its blocks (sequencer, graphics controller, CRTC, attribute controller, DAC),
// the miscellaneous output and input status registers, and video memory with the host's
// window onto it. Cards build on it and hand it every access that is not theirs.
//
// Video memory keeps the four planes interleaved: byte p of plane address a is
// videoMemory()[a * 4 + p], so chain-4 and packed modes see memory linearly, and the scan-out
// reads planar and text modes from the same bytes.
#pragma once

#include <cstdint>
#include <functional>

#include "machine/vga/attribute_controller.h"
#include "machine/vga/crtc.h"
#include "machine/vga/dac.h"
#include "machine/vga/graphics_controller.h"
#include "machine/vga/sequencer.h"
#include "machine/vga/zeroed_pages.h"

namespace machine {

class VgaCore {
public:
    // now() gives the card's time in microseconds, for the retrace bits of input status 1.
    VgaCore(uint32_t videoMemoryBytes, uint32_t refreshHz, std::function<uint64_t()> now);

    static bool decodesPort(uint16_t port);
    uint8_t in8(uint16_t port);
    void out8(uint16_t port, uint8_t value);

    // The host window at A0000-BFFFF, as the graphics controller's memory map places it.
    uint8_t readWindow(uint32_t address);
    void writeWindow(uint32_t address, uint8_t value);
    // Byte `offset` of the host's view of video memory, through chain 4, odd/even or the planes.
    uint8_t readMemory(uint32_t offset);
    void writeMemory(uint32_t offset, uint8_t value);

    uint8_t* videoMemory() { return vram_.data(); }
    const uint8_t* videoMemory() const { return vram_.data(); }
    uint32_t videoMemoryBytes() const { return static_cast<uint32_t>(vram_.size()); }
    // All of video memory zero, as a mode set without the keep-memory bit leaves it.
    void clearVideoMemory() { vram_.clear(); }
    uint32_t refreshHz() const { return refreshHz_; }

    // Input status 1 at a time, and the first microsecond after `micros` at which it reads
    // differently: a program polling it sees nothing new before then.
    uint8_t status1At(uint64_t micros) const;
    uint64_t nextStatus1Change(uint64_t micros) const;

    Sequencer seq;
    GraphicsController gc;
    Crtc crtc;
    AttributeController attr;
    Dac dac;
    uint8_t misc = 0;

private:
    ZeroedPages vram_;
    uint32_t refreshHz_;
    std::function<uint64_t()> now_;
};

}  // namespace machine
