// A booted machine to call VBE functions on, with or without Kestrel.
#include "judge/vbe_rig.h"

#include "hw/dispi.h"
#include "hw/vga.h"
#include "kestrel/resident.h"
#include "machine/card.h"

namespace judge {

VbeRig::VbeRig(const machine::MachineConfig& config, bool withKestrel,
               const std::function<void(const std::string&)>& ioLog)
    : clock_(machine::makeVirtualClock()), machine_(std::make_unique<machine::Machine>(config, *clock_, ioLog))
{
    if (withKestrel)
        kestrel::installResident(*machine_);
}

machine::CallResult VbeRig::int10(machine::CpuRegs& regs)
{
    return machine_->interrupt(0x10, regs);
}

machine::CallResult VbeRig::int10WithBuffer(machine::CpuRegs& regs)
{
    regs.es = BUFFER_SEGMENT;
    regs.di = 0;
    return int10(regs);
}

uint8_t* VbeRig::buffer()
{
    return at(BUFFER_SEGMENT, 0);
}

uint8_t* VbeRig::at(uint16_t segment, uint16_t offset)
{
    return machine_->memory() + (static_cast<uint32_t>(segment) << 4) + offset;
}

std::string VbeRig::farString(uint32_t pointer)
{
    if (pointer == 0)
        return "<bad>";
    const uint32_t linear = (pointer >> 16 << 4) + (pointer & 0xFFFF);
    std::string text;
    for (uint32_t i = 0; i < 256; ++i) {
        if (linear + i >= 0x100000)
            return "<bad>";
        const char c = static_cast<char>(machine_->memory()[linear + i]);
        if (c == 0)
            return text;
        text += c;
    }
    return "<bad>";
}

uint16_t VbeRig::dispi(uint16_t index)
{
    machine_->out16(dispi::INDEX_PORT, index);
    return machine_->in16(dispi::DATA_PORT);
}

Screen VbeRig::screen()
{
    Screen shown;
    const machine::Card& card = machine_->card();
    if (const auto mode = card.extendedMode()) {
        shown.graphics = true;
        shown.width = mode->width;
        shown.height = mode->height;
        shown.bitsPerPixel = mode->bitsPerPixel;
        shown.start = mode->start;
        shown.lineBytes = mode->lineBytes;
        shown.off = mode->screenOff;
        return shown;
    }
    // The VGA's own modes: the scan-out's picture, from the CRTC's start and offset.
    const machine::VgaCore& vga = card.vga();
    machine::Picture picture;
    machine_->scanOut(picture);
    shown.graphics = vga.gc.graphics();
    shown.width = picture.width;
    shown.height = picture.height;
    shown.bitsPerPixel = shown.graphics ? (vga.gc.shift256() ? 8 : 4) : 0;
    shown.start = uint64_t{vga.crtc.startAddress()} * 4;
    shown.lineBytes = vga.crtc.offset() * 8;
    shown.off = !vga.attr.pictureOn() || vga.seq.screenOff();
    return shown;
}

std::string Screen::text() const
{
    if (!graphics)
        return std::to_string(width) + "x" + std::to_string(height) + " text" + (off ? ", off" : "");
    return std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bitsPerPixel) + ", start " +
           std::to_string(start) + ", line " + std::to_string(lineBytes) + (off ? ", screen off" : "");
}

int VbeRig::dacBitsShown()
{
    // An entry with the top two bits set shows them only on an 8-bit DAC.
    constexpr uint8_t ENTRY = 1, PROBE = 0xC1;
    uint8_t saved[3];
    readDac(ENTRY, saved, 1);
    machine_->out8(vga::dac::WRITE_INDEX_PORT, ENTRY);
    for (int i = 0; i < 3; ++i)
        machine_->out8(vga::dac::DATA_PORT, PROBE);
    const uint32_t shown = machine_->card().vga().dac.colours()[ENTRY] & 0xFF;
    machine_->out8(vga::dac::WRITE_INDEX_PORT, ENTRY);
    for (uint8_t component : saved)
        machine_->out8(vga::dac::DATA_PORT, component);
    return shown == PROBE ? 8 : 6;
}

uint8_t VbeRig::vgaIndexed(uint16_t port, uint8_t index)
{
    machine_->out8(port, index);
    return machine_->in8(static_cast<uint16_t>(port + 1));
}

uint8_t VbeRig::attribute(uint8_t index)
{
    machine_->in8(vga::status1::PORT);  // the flip-flop back to the index
    machine_->out8(vga::attr::WRITE_PORT, static_cast<uint8_t>(index | vga::attr::INDEX_PICTURE_ON));
    const uint8_t value = machine_->in8(vga::attr::READ_PORT);
    machine_->in8(vga::status1::PORT);
    return value;
}

void VbeRig::readDac(uint8_t first, uint8_t* rgb, int entries)
{
    machine_->out8(vga::dac::READ_INDEX_PORT, first);
    for (int i = 0; i < entries * 3; ++i)
        rgb[i] = machine_->in8(vga::dac::DATA_PORT);
}

uint16_t VbeRig::setMode(uint16_t mode)
{
    machine::CpuRegs regs;
    regs.ax = 0x4F02;
    regs.bx = mode;
    if (!int10(regs).ok)
        return 0xFFFF;
    return regs.ax;
}

}  // namespace judge
