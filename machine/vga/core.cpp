#include "machine/vga/core.h"

namespace machine {
namespace {

// A 525-line frame: vertical retrace in its last 2 lines, blanking in its last 45, and
// horizontal blanking in the last fifth of every line.
constexpr uint64_t FRAME_LINES = 525;
constexpr uint64_t RETRACE_LINES = 2;
constexpr uint64_t BLANK_LINES = 45;

}  // namespace

VgaCore::VgaCore(uint32_t videoMemoryBytes, uint32_t refreshHz, std::function<uint64_t()> now)
    : vram_(videoMemoryBytes), refreshHz_(refreshHz ? refreshHz : 60), now_(std::move(now))
{
}

bool VgaCore::decodesPort(uint16_t port)
{
    return (port >= vga::MONO_PORTS_FIRST && port <= vga::MONO_PORTS_LAST) ||
           (port >= vga::PORTS_FIRST && port <= vga::PORTS_LAST);
}

uint8_t VgaCore::in8(uint16_t port)
{
    switch (port) {
    case vga::attr::WRITE_PORT:
    case vga::attr::READ_PORT: return attr.in(port);
    case vga::status0::PORT: return 0x00;
    case vga::seq::INDEX_PORT:
    case vga::seq::DATA_PORT: return seq.in(port);
    case vga::dac::PIXEL_MASK_PORT:
    case vga::dac::READ_INDEX_PORT:
    case vga::dac::WRITE_INDEX_PORT:
    case vga::dac::DATA_PORT: return dac.in(port);
    case vga::feature::READ_PORT: return 0x00;
    case vga::misc::READ_PORT: return misc;
    case vga::gc::INDEX_PORT:
    case vga::gc::DATA_PORT: return gc.in(port);
    case vga::crtc::MONO_INDEX_PORT:
    case vga::crtc::INDEX_PORT:
    case vga::crtc::MONO_DATA_PORT:
    case vga::crtc::DATA_PORT: return crtc.in(port);
    case vga::status1::MONO_PORT:
    case vga::status1::PORT: attr.resetFlipFlop(); return status1At(now_());
    default: return 0xFF;
    }
}

void VgaCore::out8(uint16_t port, uint8_t value)
{
    switch (port) {
    case vga::attr::WRITE_PORT: attr.out(port, value); return;
    case vga::misc::WRITE_PORT: misc = value; return;
    case vga::seq::INDEX_PORT:
    case vga::seq::DATA_PORT: seq.out(port, value); return;
    case vga::dac::PIXEL_MASK_PORT:
    case vga::dac::READ_INDEX_PORT:
    case vga::dac::WRITE_INDEX_PORT:
    case vga::dac::DATA_PORT: dac.out(port, value); return;
    case vga::gc::INDEX_PORT:
    case vga::gc::DATA_PORT: gc.out(port, value); return;
    case vga::crtc::MONO_INDEX_PORT:
    case vga::crtc::INDEX_PORT:
    case vga::crtc::MONO_DATA_PORT:
    case vga::crtc::DATA_PORT: crtc.out(port, value); return;
    default: return;
    }
}

uint8_t VgaCore::status1At(uint64_t micros) const
{
    const uint64_t frameNs = 1'000'000'000ull / refreshHz_;
    const uint64_t lineNs = frameNs / FRAME_LINES;
    const uint64_t phase = (micros * 1000ull) % frameNs;
    uint8_t status = 0;
    if (phase >= frameNs - RETRACE_LINES * lineNs)
        status |= vga::status1::VERTICAL_RETRACE;
    if (phase >= frameNs - BLANK_LINES * lineNs || (phase % lineNs) >= lineNs * 4 / 5)
        status |= vga::status1::DISPLAY_DISABLED;
    return status;
}

uint64_t VgaCore::nextStatus1Change(uint64_t micros) const
{
    // Microsecond by microsecond: the status holds at most through the vertical blanking,
    // a few thousand steps of cheap arithmetic, and never longer than a frame.
    const uint8_t now = status1At(micros);
    const uint64_t frameMicros = 1'000'000ull / refreshHz_ + 1;
    uint64_t at = micros + 1;
    while (status1At(at) == now && at < micros + frameMicros)
        ++at;
    return at;
}

}  // namespace machine
