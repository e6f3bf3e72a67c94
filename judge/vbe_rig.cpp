// A booted machine to call VBE functions on, with or without Kestrel.
#include "judge/vbe_rig.h"

#include "hw/dispi.h"
#include "hw/vga.h"
#include "card_reading/shown_card.h"
#include "kestrel/resident.h"

namespace judge {

VbeRig::VbeRig(const pc::MachineConfig& config, bool withKestrel, const std::function<void(const std::string&)>& ioLog)
    : clock_(pc::makeVirtualClock()), machine_(engine::boot(config, *clock_, ioLog))
{
    if (withKestrel)
        kestrel::installResident(*machine_);
}

pc::CallResult VbeRig::int10(pc::CpuRegs& regs)
{
    return machine_->interrupt(0x10, regs);
}

pc::CallResult VbeRig::int10WithBuffer(pc::CpuRegs& regs)
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
    const card_reading::ShownCard card = card_reading::readShownCard(*machine_);
    Screen shown;
    shown.graphics = card.graphics;
    shown.width = card.width;
    shown.height = card.height;
    shown.bitsPerPixel = card.bitsPerPixel;
    shown.start = card.start;
    shown.lineBytes = card.lineBytes;
    shown.off = card.screenOff;
    shown.offBy = card.blankedBy;
    return shown;
}

std::string Screen::text() const
{
    if (!graphics)
        return std::to_string(width) + "x" + std::to_string(height) + " text" + (off ? ", off by " + offBy : "");
    return std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bitsPerPixel) + ", start " +
           std::to_string(start) + ", line " + std::to_string(lineBytes) + (off ? ", screen off by " + offBy : "");
}

int VbeRig::dacBitsShown()
{
    // The first pixel shows an entry whose top two bits are set: they show only on an 8-bit
    // DAC. Pixel, entry and picture are put back as they were.
    constexpr uint8_t PROBE = 0xC1;
    const uint8_t entry = machine_->readPhys8(machine_->config().lfbAddress);
    uint8_t saved[3];
    readDac(entry, saved, 1);
    machine_->out8(vga::dac::WRITE_INDEX_PORT, entry);
    for (int i = 0; i < 3; ++i)
        machine_->out8(vga::dac::DATA_PORT, PROBE);
    pc::Picture picture;
    machine_->scanOut(picture);
    const bool wide = !picture.pixels.empty() && (picture.pixels[0] & 0xFF) == PROBE;
    machine_->out8(vga::dac::WRITE_INDEX_PORT, entry);
    for (uint8_t component : saved)
        machine_->out8(vga::dac::DATA_PORT, component);
    return wide ? 8 : 6;
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
    pc::CpuRegs regs;
    regs.ax = 0x4F02;
    regs.bx = mode;
    if (!int10(regs).ok)
        return 0xFFFF;
    return regs.ax;
}

}  // namespace judge
