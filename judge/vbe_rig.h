// A booted machine to call VBE functions on, through int 10h as a real-mode program would:
// a machine's BIOS alone, or with the Kestrel driver loaded over it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/boot.h"
#include "pc/pc.h"

namespace judge {

// A real-mode buffer for the blocks VBE functions fill, clear of the machine's stack and
// of a resident driver at the top of conventional memory.
constexpr uint16_t BUFFER_SEGMENT = 0x5000;

// What the card shows now, whatever the card: the scan-out's mode, where in video memory its
// picture starts and how long its lines are, and whether the card has the screen off.
struct Screen {
    bool graphics = false;  // false: a text mode
    int width = 0, height = 0;
    int bitsPerPixel = 0;  // 4 (planar), 8, 15, 16, 24 or 32; 0 for text
    uint64_t start = 0;    // byte offset of the first pixel (plane address x 4 when planar)
    uint32_t lineBytes = 0;
    bool off = false;  // the card blanks the picture
    std::string offBy;  // by which register bit

    bool operator==(const Screen&) const = default;
    // "640x480x8, start 0, line 640", with ", screen off by ..." naming the bit when off
    std::string text() const;
};

class VbeRig {
public:
    // Throws pc::MachineError. The machine's register accesses go to `ioLog` when given.
    VbeRig(const pc::MachineConfig& config, bool withKestrel, const std::function<void(const std::string&)>& ioLog = {});
    VbeRig(const std::string& machineName, bool withKestrel) : VbeRig(engine::loadMachine(machineName), withKestrel) {}

    pc::Pc& machine() { return *machine_; }

    // int 10h with these registers; ok=false when the call did not return.
    pc::CallResult int10(pc::CpuRegs& regs);
    // int 10h with ES:DI at the buffer.
    pc::CallResult int10WithBuffer(pc::CpuRegs& regs);

    uint8_t* buffer();
    uint8_t* at(uint16_t segment, uint16_t offset);
    uint16_t word(const uint8_t* p) const { return static_cast<uint16_t>(p[0] | p[1] << 8); }
    uint32_t dword(const uint8_t* p) const { return word(p) | static_cast<uint32_t>(word(p + 2)) << 16; }
    // The zero-terminated text a real-mode far pointer (segment high) points at; "<bad>"
    // when it is null, leaves the first megabyte or runs on for more than 256 bytes.
    std::string farString(uint32_t pointer);

    Screen screen();
    uint16_t dispi(uint16_t index);  // a DISPI register, for checks of a DISPI card's driver
    // The width the DAC shows colours with now, 6 or 8 bits, measured on one entry in the picture.
    int dacBitsShown();
    uint8_t vgaIndexed(uint16_t port, uint8_t index);  // sequencer, graphics controller, CRTC
    uint8_t attribute(uint8_t index);
    void readDac(uint8_t first, uint8_t* rgb, int entries);

    uint16_t setMode(uint16_t mode);  // AX after 4F02

private:
    std::unique_ptr<pc::Clock> clock_;
    std::unique_ptr<pc::Pc> machine_;
};

}  // namespace judge
