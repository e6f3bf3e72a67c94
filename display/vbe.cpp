#include "display/vbe.h"

#include <cstring>

#include "display/hardware_bus.h"
#include "platform/realmode.h"
#include "realmode/bios_call.h"

namespace display::bios {

namespace {

constexpr int VIDEO_BIOS = 0x10;
bool unsupported = false;

bool finish(bool returned, const RealModeRegs& out)
{
    unsupported = !returned || (out.ax & 0xFF) != vbe::STATUS_SUPPORTED;
    return returned && out.ax == vbe::STATUS_OK;
}

bool vbe(RealModeRegs& regs)
{
    RealModeRegs out{};
    const bool returned = RM_int86(VIDEO_BIOS, &regs, &out) != 0;
    regs = out;
    return finish(returned, out);
}

bool vbeWithBuffer(RealModeRegs& regs, const RealBuffer& buffer)
{
    RealModeRegs out{};
    RealModeSegRegs seg{};
    seg.es = buffer.segment;
    regs.di = buffer.realOffset;
    const bool returned = RM_int86x(VIDEO_BIOS, &regs, &out, &seg) != 0;
    regs = out;
    return finish(returned, out);
}

}  // namespace

bool allocate(RealBuffer& buffer, uint32_t size)
{
    uint32_t selector = 0, offset = 0, segment = 0, realOffset = 0;
    if (!RM_allocRealSeg(size, &selector, &offset, &segment, &realOffset))
        return false;
    buffer.selector = selector;
    buffer.offset = offset;
    buffer.segment = uint16_t(segment);
    buffer.realOffset = uint16_t(realOffset);
    HardwareBus* b = bus();
    if (!b) {
        RM_freeRealSeg(selector, offset);
        return false;
    }
    buffer.host = b->realModeMemory() + (segment << 4) + realOffset;
    buffer.size = size;
    return true;
}

void release(RealBuffer& buffer)
{
    if (buffer.host)
        RM_freeRealSeg(buffer.selector, buffer.offset);
    buffer = RealBuffer{};
}

bool lastCallUnsupported()
{
    return unsupported;
}

const uint8_t* realLinear(uint32_t linear, uint32_t length)
{
    // Real-mode memory reaches to FFFF:FFFF, the end of the high memory area.
    constexpr uint32_t END = 0x10FFF0;
    HardwareBus* b = bus();
    if (!b || linear >= END || length > END - linear)
        return nullptr;
    return b->realModeMemory() + linear;
}

const uint8_t* realPointer(uint32_t farPointer, uint32_t length)
{
    return realLinear((farPointer >> 16) * 16 + (farPointer & 0xFFFF), length);
}

bool controllerInfo(const RealBuffer& scratch, vbe::ControllerInfo& info)
{
    std::memset(scratch.host, 0, sizeof info);
    std::memcpy(scratch.host, "VBE2", 4);
    RealModeRegs regs{};
    regs.ax = vbe::CONTROLLER_INFO;
    if (!vbeWithBuffer(regs, scratch))
        return false;
    std::memcpy(&info, scratch.host, sizeof info);
    return std::memcmp(info.VbeSignature, "VESA", 4) == 0;
}

bool modeInfo(const RealBuffer& scratch, uint16_t mode, vbe::ModeInfo& info)
{
    std::memset(scratch.host, 0, sizeof info);
    RealModeRegs regs{};
    regs.ax = vbe::MODE_INFO;
    regs.cx = mode;
    if (!vbeWithBuffer(regs, scratch))
        return false;
    std::memcpy(&info, scratch.host, sizeof info);
    return true;
}

bool setMode(uint16_t modeWithFlags)
{
    RealModeRegs regs{};
    regs.ax = vbe::SET_MODE;
    regs.bx = modeWithFlags;
    return vbe(regs);
}

bool currentMode(uint16_t& mode)
{
    RealModeRegs regs{};
    regs.ax = vbe::GET_MODE;
    if (!vbe(regs))
        return false;
    mode = regs.bx;
    return true;
}

bool setBank(uint8_t window, uint16_t position)
{
    RealModeRegs regs{};
    regs.ax = vbe::WINDOW_CONTROL;
    regs.bx = window;
    regs.dx = position;
    return vbe(regs);
}

bool scanLineLength(uint8_t subfunction, uint16_t value, uint16_t& bytesPerLine, uint16_t& pixelsPerLine,
                    uint16_t& scanLines)
{
    RealModeRegs regs{};
    regs.ax = vbe::SCAN_LINE_LENGTH;
    regs.bx = subfunction;
    regs.cx = value;
    if (!vbe(regs))
        return false;
    bytesPerLine = regs.bx;
    pixelsPerLine = regs.cx;
    scanLines = regs.dx;
    return true;
}

bool setDisplayStart(uint16_t x, uint16_t y, bool duringRetrace)
{
    RealModeRegs regs{};
    regs.ax = vbe::DISPLAY_START;
    regs.bx = duringRetrace ? vbe::DISPLAY_START_SET_IN_RETRACE : vbe::DISPLAY_START_SET;
    regs.cx = x;
    regs.dx = y;
    return vbe(regs);
}

bool setDacWidth(uint8_t bits, uint8_t& nowBits)
{
    RealModeRegs regs{};
    regs.ax = vbe::DAC_PALETTE_FORMAT;
    regs.bx = uint16_t(bits << 8);  // BL 00h: set
    if (!vbe(regs))
        return false;
    nowBits = uint8_t(regs.bx >> 8);
    return true;
}

bool getDacWidth(uint8_t& bits)
{
    RealModeRegs regs{};
    regs.ax = vbe::DAC_PALETTE_FORMAT;
    regs.bx = 0x01;  // BL 01h: get
    if (!vbe(regs))
        return false;
    bits = uint8_t(regs.bx >> 8);
    return true;
}

bool setPalette(const RealBuffer& scratch, uint16_t first, uint16_t count, const PaletteEntry* entries,
                bool duringRetrace)
{
    if (uint32_t(count) * 4 > scratch.size)
        return false;
    std::memcpy(scratch.host, entries, size_t(count) * 4);
    RealModeRegs regs{};
    regs.ax = vbe::PALETTE_DATA;
    regs.bx = duringRetrace ? 0x80 : 0x00;  // BL 80h: set during the vertical retrace, 00h: set
    regs.cx = count;
    regs.dx = first;
    return vbeWithBuffer(regs, scratch);
}

bool setLegacyMode(uint8_t mode)
{
    RealModeRegs regs{}, out{};
    regs.ax = mode;
    return RM_int86(VIDEO_BIOS, &regs, &out) != 0;
}

uint8_t legacyMode()
{
    RealModeRegs regs{}, out{};
    regs.ax = 0x0F00;
    if (!RM_int86(VIDEO_BIOS, &regs, &out))
        return 0x03;
    return uint8_t(out.ax & 0x7F);
}

uint32_t romFont8x16()
{
    // The answer comes in ES:BP, which the RM_ call records do not carry.
    realmode::BiosRegs regs;
    regs.ax = 0x1130;
    regs.bx = 0x0600;
    if (!realmode::biosInterrupt(VIDEO_BIOS, regs))
        return 0;
    return uint32_t(regs.es) << 16 | regs.bp;
}

}  // namespace display::bios
