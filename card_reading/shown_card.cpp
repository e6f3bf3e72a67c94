// Reading a card's displayed state from its VGA, DISPI, Cirrus and S3 registers.
#include "card_reading/shown_card.h"

#include <algorithm>

#include "hw/cirrus.h"
#include "hw/dispi.h"
#include "hw/s3.h"
#include "hw/vga.h"

namespace card_reading {
namespace {

uint8_t indexed(pc::Pc& pc, uint16_t indexPort, uint8_t index)
{
    const uint8_t saved = pc.in8(indexPort);
    pc.out8(indexPort, index);
    const uint8_t value = pc.in8(static_cast<uint16_t>(indexPort + 1));
    pc.out8(indexPort, saved);
    return value;
}

uint8_t sequencer(pc::Pc& pc, uint8_t index)
{
    return indexed(pc, vga::seq::INDEX_PORT, index);
}
uint8_t graphics(pc::Pc& pc, uint8_t index)
{
    return indexed(pc, vga::gc::INDEX_PORT, index);
}
uint8_t crtc(pc::Pc& pc, uint8_t index)
{
    return indexed(pc, vga::crtc::INDEX_PORT, index);
}

void writeCrtc(pc::Pc& pc, uint8_t index, uint8_t value)
{
    const uint8_t saved = pc.in8(vga::crtc::INDEX_PORT);
    pc.out8(vga::crtc::INDEX_PORT, index);
    pc.out8(vga::crtc::DATA_PORT, value);
    pc.out8(vga::crtc::INDEX_PORT, saved);
}

uint16_t dispiRegister(pc::Pc& pc, uint16_t index)
{
    const uint16_t saved = pc.in16(dispi::INDEX_PORT);
    pc.out16(dispi::INDEX_PORT, index);
    const uint16_t value = pc.in16(dispi::DATA_PORT);
    pc.out16(dispi::INDEX_PORT, saved);
    return value;
}

// The attribute controller's registers with the index's picture-on bit kept as it stands:
// reading 3C0h gives the index, so the palette-loading state survives the reading.
struct Attributes {
    bool pictureOn = false;
    std::array<uint8_t, 0x15> reg{};
};

// Whether the attribute controller shows the picture: its index's picture-on bit.
bool attributesShowPicture(pc::Pc& pc)
{
    pc.in8(vga::status1::PORT);  // the flip-flop to the index
    return pc.in8(vga::attr::WRITE_PORT) & vga::attr::INDEX_PICTURE_ON;
}

Attributes readAttributes(pc::Pc& pc)
{
    Attributes a;
    pc.in8(vga::status1::PORT);  // the flip-flop to the index
    const uint8_t index = pc.in8(vga::attr::WRITE_PORT);
    a.pictureOn = index & vga::attr::INDEX_PICTURE_ON;
    for (uint8_t i = 0; i < a.reg.size(); ++i) {
        pc.in8(vga::status1::PORT);
        pc.out8(vga::attr::WRITE_PORT, static_cast<uint8_t>(i | (index & vga::attr::INDEX_PICTURE_ON)));
        a.reg[i] = pc.in8(vga::attr::READ_PORT);
    }
    pc.in8(vga::status1::PORT);
    pc.out8(vga::attr::WRITE_PORT, index);
    pc.in8(vga::status1::PORT);
    return a;
}

bool sequencerScreenOff(pc::Pc& pc)
{
    return sequencer(pc, vga::seq::CLOCKING_MODE) & vga::seq::CLOCKING_MODE_SCREEN_OFF;
}

// Whether the picture is blanked, and by which bit: the attribute controller's index without
// its picture-on bit, or the sequencer's screen-off bit where the mode shown honours it.
void readBlanking(pc::Pc& pc, ShownCard& s, bool pictureOn, bool sequencerBlanks = true)
{
    s.blankedBy = !pictureOn                                 ? "the attribute index (3C0h bit 5 clear)"
                  : sequencerBlanks && sequencerScreenOff(pc) ? "the sequencer (SR01 bit 5 set)"
                                                              : "";
    s.screenOff = *s.blankedBy != '\0';
}

// The VGA's vertical display end in scan lines over the lines each row repeats; a card's own
// bit 10 of the display end comes as `end10`.
int vgaHeight(pc::Pc& pc, bool interlaced, bool end10 = false)
{
    using namespace vga::crtc;
    const uint8_t overflow = crtc(pc, OVERFLOW);
    int lines = crtc(pc, V_DISPLAY_END) + ((overflow & OVERFLOW_V_DISPLAY_END_8) << 7) +
                ((overflow & OVERFLOW_V_DISPLAY_END_9) << 3) + (end10 ? 1024 : 0) + 1;
    if (interlaced)
        lines *= 2;
    const uint8_t maxScan = crtc(pc, MAX_SCAN_LINE);
    const int repeat = ((maxScan & MAX_SCAN_LINE_COUNT) + 1) * ((maxScan & MAX_SCAN_LINE_DOUBLE) ? 2 : 1);
    return std::max(1, lines / repeat);
}

bool readDispiMode(pc::Pc& pc, ShownCard& s)
{
    if (!pc.config().dispi || pc.config().card != "stdvga")
        return false;
    const uint16_t enable = dispiRegister(pc, dispi::ENABLE);
    s.dacBits = (enable & dispi::ENABLE_DAC_8BIT) ? 8 : 6;
    if (!(enable & dispi::ENABLE_ON))
        return false;
    s.graphics = s.extended = true;
    s.width = dispiRegister(pc, dispi::XRES);
    s.height = dispiRegister(pc, dispi::YRES);
    s.bitsPerPixel = dispiRegister(pc, dispi::BPP);
    const uint32_t virtualWidth = dispiRegister(pc, dispi::VIRT_WIDTH);
    const uint32_t x = dispiRegister(pc, dispi::X_OFFSET), y = dispiRegister(pc, dispi::Y_OFFSET);
    if (s.bitsPerPixel == 4) {
        // Planar: a line is width / 8 plane bytes of four planes; the x offset counts pixels.
        s.lineBytes = virtualWidth / 2;
        s.start = uint64_t{y} * s.lineBytes;
        s.firstPixel = int(x);
    } else {
        s.lineBytes = virtualWidth * uint32_t((s.bitsPerPixel + 7) / 8);
        s.start = uint64_t{y} * s.lineBytes + uint64_t{x} * uint32_t((s.bitsPerPixel + 7) / 8);
    }
    return true;
}

// The GD5446's own modes (SR07 bit 0 with graphics), read with its extension registers
// unlocked for the moment of reading.
bool readCirrusMode(pc::Pc& pc, ShownCard& s, bool pictureOn)
{
    if (pc.config().card != "cirrus")
        return false;
    const uint8_t lock = sequencer(pc, cirrus::seq::UNLOCK);
    pc.out8(vga::seq::INDEX_PORT, cirrus::seq::UNLOCK);
    pc.out8(vga::seq::DATA_PORT, cirrus::seq::UNLOCK_KEY);
    const uint8_t extendedMode = sequencer(pc, cirrus::seq::EXTENDED_MODE);
    const bool svga = (extendedMode & cirrus::seq::EXTENDED_MODE_SVGA) &&
                      (graphics(pc, vga::gc::MISC) & vga::gc::MISC_GRAPHICS);
    if (svga) {
        using namespace vga::crtc;
        const uint8_t ext = crtc(pc, cirrus::crtc::EXTENDED_DISPLAY);
        s.graphics = s.extended = true;
        s.width = (crtc(pc, H_DISPLAY_END) + 1) * 8;
        s.height = vgaHeight(pc, crtc(pc, cirrus::crtc::MISC_CONTROL) & cirrus::crtc::MISC_CONTROL_INTERLACE);
        const uint32_t startUnits = crtc(pc, START_ADDRESS_LOW) | crtc(pc, START_ADDRESS_HIGH) << 8 |
                                    ((ext & cirrus::crtc::EXTENDED_DISPLAY_START_16) ? 1u << 16 : 0) |
                                    uint32_t(ext & cirrus::crtc::EXTENDED_DISPLAY_START_17_18) << 15 |
                                    ((crtc(pc, cirrus::crtc::OVERLAY) & cirrus::crtc::OVERLAY_START_19) ? 1u << 19 : 0);
        s.start = uint64_t{startUnits} * 4;  // dwords in every Cirrus mode
        s.lineBytes = 8u * (crtc(pc, OFFSET) + ((ext & cirrus::crtc::EXTENDED_DISPLAY_OFFSET_8) ? 256u : 0));
        // The hidden DAC register answers the fifth read of the pixel mask in a row.
        pc.in8(vga::dac::WRITE_INDEX_PORT);
        for (int i = 0; i < cirrus::hdr::READS_BEFORE; ++i)
            pc.in8(vga::dac::PIXEL_MASK_PORT);
        const uint8_t hdr = pc.in8(vga::dac::PIXEL_MASK_PORT);
        pc.in8(vga::dac::WRITE_INDEX_PORT);
        const bool is565 = (hdr & cirrus::hdr::FORMAT) == cirrus::hdr::FORMAT_565;
        switch (extendedMode & cirrus::seq::EXTENDED_MODE_DEPTH) {
        case cirrus::seq::EXTENDED_MODE_DEPTH_16_DOUBLE_CLOCK:
        case cirrus::seq::EXTENDED_MODE_DEPTH_16: s.bitsPerPixel = is565 ? 16 : 15; break;
        case cirrus::seq::EXTENDED_MODE_DEPTH_24: s.bitsPerPixel = 24; break;
        case cirrus::seq::EXTENDED_MODE_DEPTH_32: s.bitsPerPixel = 32; break;
        default: s.bitsPerPixel = 8; break;
        }
        // A card described as ignoring the screen-off bit in its own modes (QEMU's) shows them anyway.
        readBlanking(pc, s, pictureOn, pc.config().svgaScreenOffBlanks);
    }
    pc.out8(vga::seq::INDEX_PORT, cirrus::seq::UNLOCK);
    pc.out8(vga::seq::DATA_PORT, lock == cirrus::seq::UNLOCK_KEY ? cirrus::seq::UNLOCK_KEY : 0);
    return svga;
}

// The S3 Trio64's own modes (packed pixels: CR3A's enhanced mode with graphics), read with its
// extension registers unlocked for the moment of reading. Its 15- and 16-bit modes take two
// clocks a pixel, so the horizontal display end counts twice their width.
bool readS3Mode(pc::Pc& pc, ShownCard& s, bool pictureOn)
{
    using namespace s3::crtc;
    if (pc.config().card != "s3")
        return false;
    const uint8_t lock1 = crtc(pc, REGISTER_LOCK_1), lock2 = crtc(pc, REGISTER_LOCK_2);
    writeCrtc(pc, REGISTER_LOCK_1, REGISTER_LOCK_1_KEY);
    writeCrtc(pc, REGISTER_LOCK_2, REGISTER_LOCK_2_KEY);
    const bool packed =
        (graphics(pc, vga::gc::MISC) & vga::gc::MISC_GRAPHICS) && (crtc(pc, MISC_1) & MISC_1_ENHANCED_256);
    if (packed) {
        const uint8_t colourMode = crtc(pc, EXT_MISC_CONTROL_2) & EXT_MISC_CONTROL_2_COLOUR_MODE;
        s.bitsPerPixel = colourMode == COLOUR_MODE_15   ? 15
                         : colourMode == COLOUR_MODE_16 ? 16
                         : colourMode == COLOUR_MODE_32 ? 32
                                                        : 8;
        const int clocksPerPixel = s.bitsPerPixel == 15 || s.bitsPerPixel == 16 ? 2 : 1;
        const int characters = crtc(pc, vga::crtc::H_DISPLAY_END) +
                               ((crtc(pc, EXT_H_OVERFLOW) & EXT_H_OVERFLOW_DISPLAY_END_8) ? 256 : 0) + 1;
        s.graphics = s.extended = true;
        s.width = characters * 8 / clocksPerPixel;
        s.height = vgaHeight(pc, false, crtc(pc, EXT_V_OVERFLOW) & EXT_V_OVERFLOW_DISPLAY_END_10);
        // Bits 20:16 of the start are CR69's; a BIOS that leaves CR69 at 0 gives bits 17:16 in CR51.
        const uint8_t control2 = crtc(pc, EXT_SYSTEM_CONTROL_2);
        const uint8_t startHigh = crtc(pc, EXT_SYSTEM_CONTROL_3) & EXT_SYSTEM_CONTROL_3_START;
        const uint32_t startUnits = crtc(pc, vga::crtc::START_ADDRESS_LOW) |
                                    crtc(pc, vga::crtc::START_ADDRESS_HIGH) << 8 |
                                    uint32_t(startHigh ? startHigh : control2 & EXT_SYSTEM_CONTROL_2_START_16_17) << 16;
        s.start = uint64_t{startUnits} * 4;
        uint32_t offset = crtc(pc, vga::crtc::OFFSET) | uint32_t(control2 & EXT_SYSTEM_CONTROL_2_OFFSET_8_9) << 4;
        if (!(control2 & EXT_SYSTEM_CONTROL_2_OFFSET_8_9) && (crtc(pc, EXT_MODE) & EXT_MODE_OFFSET_8))
            offset |= 0x100;
        s.lineBytes = offset * 8;
        readBlanking(pc, s, pictureOn);
    }
    writeCrtc(pc, REGISTER_LOCK_2, lock2);
    writeCrtc(pc, REGISTER_LOCK_1, lock1);
    return packed;
}

}  // namespace

ShownCard readShownCard(pc::Pc& pc, const pc::Picture* shown)
{
    ShownCard s;
    const bool pictureOn = attributesShowPicture(pc);
    if (readDispiMode(pc, s)) {
        readBlanking(pc, s, pictureOn);
        return s;
    }
    if (readCirrusMode(pc, s, pictureOn) || readS3Mode(pc, s, pictureOn))
        return s;
    // The VGA's own modes: the picture's size, the CRTC's start and offset.
    s.graphics = graphics(pc, vga::gc::MISC) & vga::gc::MISC_GRAPHICS;
    pc::Picture picture;
    if (!shown) {
        pc.scanOut(picture);
        shown = &picture;
    }
    s.width = shown->width;
    s.height = shown->height;
    const bool shift256 = graphics(pc, vga::gc::MODE) & vga::gc::MODE_SHIFT_256;
    s.bitsPerPixel = s.graphics ? (shift256 ? 8 : 4) : 0;
    s.start = uint64_t(crtc(pc, vga::crtc::START_ADDRESS_LOW) | crtc(pc, vga::crtc::START_ADDRESS_HIGH) << 8) * 4;
    s.lineBytes = crtc(pc, vga::crtc::OFFSET) * 8u;
    readBlanking(pc, s, pictureOn);
    return s;
}

std::array<uint8_t, 256 * 3> readDac(pc::Pc& pc)
{
    std::array<uint8_t, 256 * 3> entries{};
    pc.out8(vga::dac::READ_INDEX_PORT, 0);
    for (uint8_t& component : entries)
        component = pc.in8(vga::dac::DATA_PORT);
    return entries;
}

std::array<uint8_t, 16> planarDacIndices(pc::Pc& pc)
{
    using namespace vga::attr;
    const Attributes a = readAttributes(pc);
    std::array<uint8_t, 16> map{};
    const uint8_t mode = a.reg[MODE_CONTROL], select = a.reg[COLOR_SELECT];
    for (int pixel = 0; pixel < 16; ++pixel) {
        const uint8_t entry = a.reg[PALETTE + (pixel & a.reg[COLOR_PLANE_ENABLE] & COLOR_PLANE_ENABLE_PLANES)];
        uint8_t index = (mode & MODE_CONTROL_P54_SELECT) ? uint8_t((entry & 0x0F) | ((select & COLOR_SELECT_54) << 4))
                                                         : uint8_t(entry & 0x3F);
        index |= uint8_t((select & COLOR_SELECT_76) << 4);
        map[size_t(pixel)] = index;
    }
    return map;
}

}  // namespace card_reading
