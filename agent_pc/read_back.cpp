// Scan-out from the card's registers and its video memory, read back through the PC.
#include "agent_pc/read_back.h"

#include <algorithm>

#include "card_reading/shown_card.h"
#include "hw/vga.h"

namespace agent_pc {
namespace {

uint8_t crtc(pc::Pc& pc, uint8_t index)
{
    pc.out8(vga::crtc::INDEX_PORT, index);
    return pc.in8(vga::crtc::DATA_PORT);
}

uint8_t graphics(pc::Pc& pc, uint8_t index)
{
    pc.out8(vga::gc::INDEX_PORT, index);
    return pc.in8(vga::gc::DATA_PORT);
}

// The VGA's own modes: the size the CRTC shows. A 256-colour mode takes two clocks a pixel.
void vgaSize(pc::Pc& pc, int& width, int& height, bool graphicsMode, bool shift256)
{
    using namespace vga::crtc;
    const uint8_t overflow = crtc(pc, OVERFLOW);
    const int lines = crtc(pc, V_DISPLAY_END) + ((overflow & OVERFLOW_V_DISPLAY_END_8) << 7) +
                      ((overflow & OVERFLOW_V_DISPLAY_END_9) << 3) + 1;
    const uint8_t maxScan = crtc(pc, MAX_SCAN_LINE);
    const int characters = crtc(pc, H_DISPLAY_END) + 1;
    if (!graphicsMode) {
        width = characters * 8;  // 8-dot cells: the ninth column is blank or repeated
        height = lines;
        return;
    }
    width = characters * 8 / (shift256 ? 2 : 1);
    const int repeat = ((maxScan & MAX_SCAN_LINE_COUNT) + 1) * ((maxScan & MAX_SCAN_LINE_DOUBLE) ? 2 : 1);
    height = std::max(1, lines / repeat);
}

uint32_t dacColour(const std::array<uint8_t, 768>& dac, int bits, uint8_t index)
{
    uint32_t rgb = 0;
    for (int c = 0; c < 3; ++c) {
        uint32_t v = dac[size_t(index) * 3 + size_t(c)];
        v = bits == 8 ? v & 0xFF : ((v & 0x3F) << 2 | (v & 0x3F) >> 4);
        rgb = rgb << 8 | v;
    }
    return rgb;
}

uint32_t packedColour(const uint8_t* p, int bits)
{
    switch (bits) {
    case 15: {
        const uint32_t v = uint32_t(p[0] | p[1] << 8);
        const uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        return (r << 3 | r >> 2) << 16 | (g << 3 | g >> 2) << 8 | (b << 3 | b >> 2);
    }
    case 16: {
        const uint32_t v = uint32_t(p[0] | p[1] << 8);
        const uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
    }
    default: return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];  // 24 and 32: B, G, R
    }
}

}  // namespace

void readBackPicture(pc::Pc& pc, pc::Picture& picture)
{
    pc::Picture sized;
    const bool graphicsMode = graphics(pc, vga::gc::MISC) & vga::gc::MISC_GRAPHICS;
    const bool shift256 = graphics(pc, vga::gc::MODE) & vga::gc::MODE_SHIFT_256;
    vgaSize(pc, sized.width, sized.height, graphicsMode, shift256);
    const card_reading::ShownCard shown = card_reading::readShownCard(pc, &sized);
    picture.width = shown.width;
    picture.height = shown.height;
    picture.bitsPerPixel = shown.bitsPerPixel;
    picture.pixels.assign(size_t(std::max(shown.width, 0)) * size_t(std::max(shown.height, 0)), 0);
    if (shown.screenOff || picture.pixels.empty())
        return;
    const uint8_t* vram = pc.lfb();
    const uint64_t bytes = pc.videoMemoryBytes();
    auto at = [&](uint64_t offset) { return vram[offset % bytes]; };
    const std::array<uint8_t, 768> dac = card_reading::readDac(pc);
    uint32_t* out = picture.pixels.data();
    if (!graphicsMode && !shown.extended) {
        // Text: character and attribute in planes 0 and 1, the font in plane 2.
        const std::array<uint8_t, 16> indices = card_reading::planarDacIndices(pc);
        const int cellHeight = (crtc(pc, vga::crtc::MAX_SCAN_LINE) & vga::crtc::MAX_SCAN_LINE_COUNT) + 1;
        const int columns = shown.width / 8;
        for (int y = 0; y < shown.height; ++y)
            for (int column = 0; column < columns; ++column) {
                const uint64_t cell = shown.start / 4 * 2 + uint64_t(y / cellHeight * columns + column) * 2;
                const uint8_t character = at(cell * 4), attribute = at((cell + 1) * 4 + 1);
                const uint8_t glyph = at((uint64_t(character) * 32 + uint64_t(y % cellHeight)) * 4 + 2);
                for (int x = 0; x < 8; ++x) {
                    const bool ink = glyph & (0x80 >> x);
                    out[size_t(y) * size_t(shown.width) + size_t(column * 8 + x)] =
                        dacColour(dac, shown.dacBits, indices[ink ? attribute & 0x0F : attribute >> 4]);
                }
            }
        return;
    }
    if (shown.bitsPerPixel == 4) {
        const std::array<uint8_t, 16> indices = card_reading::planarDacIndices(pc);
        for (int y = 0; y < shown.height; ++y)
            for (int x = 0; x < shown.width; ++x) {
                const int pixel = x + shown.firstPixel;
                const uint64_t group = shown.start + uint64_t(y) * shown.lineBytes + uint64_t(pixel / 8) * 4;
                uint8_t value = 0;
                for (int plane = 0; plane < 4; ++plane)
                    value |= uint8_t(((at(group + uint64_t(plane)) >> (7 - pixel % 8)) & 1) << plane);
                out[size_t(y) * size_t(shown.width) + size_t(x)] = dacColour(dac, shown.dacBits, indices[value]);
            }
        return;
    }
    const int pixelBytes = (shown.bitsPerPixel + 7) / 8;
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x) {
            const uint64_t offset = shown.start + uint64_t(y) * shown.lineBytes + uint64_t(x) * uint64_t(pixelBytes);
            uint32_t rgb;
            if (shown.bitsPerPixel == 8) {
                rgb = dacColour(dac, shown.dacBits, at(offset));
            } else {
                uint8_t p[4] = {at(offset), at(offset + 1), at(offset + 2), 0};
                rgb = packedColour(p, shown.bitsPerPixel);
            }
            out[size_t(y) * size_t(shown.width) + size_t(x)] = rgb;
        }
}

}  // namespace agent_pc
