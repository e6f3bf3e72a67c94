#include "machine/scan_out.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "hw/palisade_ext.h"

namespace machine {
namespace {

using Palette = std::array<uint32_t, 256>;

// The DAC as the monitor sees it: the pixel mask applied to the index, and each component
// through the DAC's width (a 6-bit DAC keeps the low 6 bits of what it was given).
Palette dacColours(const SvgaCard& card) {
    const VgaRegisters& vga = card.vga();
    const bool wide = card.dacBits() == 8;
    const auto level = [wide](uint8_t value) -> uint32_t {
        if (wide) return value;
        const uint32_t six = value & 0x3F;
        return (six << 2) | (six >> 4);
    };
    Palette palette;
    for (int i = 0; i < 256; ++i) {
        const int entry = i & vga.dacMask;
        palette[i] = (level(vga.dac[entry * 3]) << 16) | (level(vga.dac[entry * 3 + 1]) << 8) |
                     level(vga.dac[entry * 3 + 2]);
    }
    return palette;
}

// A 4-bit pixel through the attribute controller to a DAC index.
std::array<uint8_t, 16> attributeMap(const VgaRegisters& vga) {
    std::array<uint8_t, 16> map{};
    const uint8_t mode = vga.attr[0x10];
    const uint8_t select = vga.attr[0x14];
    for (int p = 0; p < 16; ++p) {
        const uint8_t entry = vga.attr[p & vga.attr[0x12] & 0x0F];
        uint8_t index = (mode & 0x80) ? static_cast<uint8_t>((entry & 0x0F) | ((select & 0x03) << 4))
                                      : static_cast<uint8_t>(entry & 0x3F);
        index |= static_cast<uint8_t>((select & 0x0C) << 4);
        map[p] = index;
    }
    return map;
}

void blank(Picture& picture, int width, int height) {
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(static_cast<size_t>(width) * height, 0);
}

// Reads `count` bytes of video memory from `address`, wrapping at the end of memory.
const uint8_t* rowBytes(const SvgaCard& card, uint64_t address, size_t count, std::vector<uint8_t>& spill) {
    const uint32_t size = card.videoMemoryBytes();
    const uint32_t start = static_cast<uint32_t>(address % size);
    if (start + count <= size) return card.videoMemory() + start;
    spill.resize(count);
    for (size_t i = 0; i < count; ++i) spill[i] = card.videoMemory()[(start + i) % size];
    return spill.data();
}

// Four planes of one 8-pixel group at plane address `address` to 4-bit pixel values.
inline void planarGroup(const SvgaCard& card, uint32_t address, uint8_t out[8]) {
    const uint32_t size = card.videoMemoryBytes();
    const uint8_t* vram = card.videoMemory();
    const uint32_t at = (address * 4u) % size;
    const uint8_t p0 = vram[at], p1 = vram[at + 1], p2 = vram[at + 2], p3 = vram[at + 3];
    for (int bit = 0; bit < 8; ++bit) {
        const int shift = 7 - bit;
        out[bit] = static_cast<uint8_t>(((p0 >> shift) & 1) | (((p1 >> shift) & 1) << 1) |
                                        (((p2 >> shift) & 1) << 2) | (((p3 >> shift) & 1) << 3));
    }
}

void scanPlanar(const SvgaCard& card, Picture& picture, int width, int height, uint32_t startPlaneAddress,
                uint32_t firstPixel, uint32_t lineAddresses) {
    const Palette palette = dacColours(card);
    const auto attributes = attributeMap(card.vga());
    std::array<uint32_t, 16> colour;
    for (int i = 0; i < 16; ++i) colour[i] = palette[attributes[i]];
    blank(picture, width, height);
    uint8_t group[8];
    for (int y = 0; y < height; ++y) {
        uint32_t* out = &picture.pixels[static_cast<size_t>(y) * width];
        const uint32_t row = startPlaneAddress + static_cast<uint32_t>(y) * lineAddresses;
        uint32_t loaded = ~0u;
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = firstPixel + static_cast<uint32_t>(x);
            if (pixel / 8 != loaded) {
                loaded = pixel / 8;
                planarGroup(card, row + loaded, group);
            }
            out[x] = colour[group[pixel % 8]];
        }
    }
}

void scanPacked(const SvgaCard& card, Picture& picture, int width, int height, uint64_t start, uint32_t line,
                int bpp) {
    blank(picture, width, height);
    const int bytesPerPixel = (bpp + 7) / 8;
    const size_t rowLength = static_cast<size_t>(width) * bytesPerPixel;
    const Palette palette = bpp == 8 ? dacColours(card) : Palette{};
    std::vector<uint8_t> spill;
    for (int y = 0; y < height; ++y) {
        uint32_t* out = &picture.pixels[static_cast<size_t>(y) * width];
        const uint8_t* in = rowBytes(card, start + static_cast<uint64_t>(y) * line, rowLength, spill);
        switch (bpp) {
        case 8:
            for (int x = 0; x < width; ++x) out[x] = palette[in[x]];
            break;
        case 15:
            for (int x = 0; x < width; ++x) {
                const uint32_t p = in[2 * x] | (in[2 * x + 1] << 8);
                const uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
                out[x] = (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
            }
            break;
        case 16:
            for (int x = 0; x < width; ++x) {
                const uint32_t p = in[2 * x] | (in[2 * x + 1] << 8);
                const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
                out[x] = (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
            }
            break;
        case 24:
            for (int x = 0; x < width; ++x)
                out[x] = static_cast<uint32_t>(in[3 * x] | (in[3 * x + 1] << 8) | (in[3 * x + 2] << 16));
            break;
        case 32:
            std::memcpy(out, in, rowLength);
            for (int x = 0; x < width; ++x) out[x] &= 0x00FFFFFF;
            break;
        default: break;
        }
    }
}

void scanDispi(const SvgaCard& card, Picture& picture) {
    const DispiRegisters& d = card.dispi();
    const uint32_t line = card.dispiLineBytes();
    if (d.bpp == 4) {
        const uint32_t planeLine = line / 4;
        scanPlanar(card, picture, d.xres, d.yres, d.yOffset * planeLine, d.xOffset, planeLine);
        return;
    }
    const uint64_t start = static_cast<uint64_t>(d.yOffset) * line + static_cast<uint64_t>(d.xOffset) * ((d.bpp + 7) / 8);
    scanPacked(card, picture, d.xres, d.yres, start, line, d.bpp);
}

void scanText(const SvgaCard& card, Picture& picture, int columns, int height, uint32_t start, uint32_t lineCells) {
    const VgaRegisters& vga = card.vga();
    const int charWidth = (vga.seq[1] & 0x01) ? 8 : 9;
    const int charHeight = (vga.crtc[0x09] & 0x1F) + 1;
    const int rows = height / charHeight;
    const int width = columns * charWidth;
    blank(picture, width, rows * charHeight);

    const Palette palette = dacColours(card);
    const auto attributes = attributeMap(vga);
    std::array<uint32_t, 16> colour;
    for (int i = 0; i < 16; ++i) colour[i] = palette[attributes[i]];

    // Character maps: B for attribute bit 3 clear, A for it set; map n lies at n*16 KB,
    // maps 4-7 in the halves between (plane 2 addresses).
    const auto mapBase = [](int map) { return static_cast<uint32_t>((map & 3) * 0x4000 + (map >> 2) * 0x2000); };
    const uint8_t select = vga.seq[3];
    const uint32_t fontB = mapBase((select & 0x03) | ((select >> 2) & 0x04));
    const uint32_t fontA = mapBase(((select >> 2) & 0x03) | ((select >> 3) & 0x04));
    const bool blinkBit = vga.attr[0x10] & 0x08;
    const bool lineGraphics = vga.attr[0x10] & 0x04;
    const uint32_t size = card.videoMemoryBytes();
    const uint8_t* vram = card.videoMemory();

    const uint32_t cursorAt = (vga.crtc[0x0E] << 8) | vga.crtc[0x0F];
    const bool cursorOn = !(vga.crtc[0x0A] & 0x20);
    const int cursorFirst = vga.crtc[0x0A] & 0x1F, cursorLast = vga.crtc[0x0B] & 0x1F;

    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const uint32_t cell = start + static_cast<uint32_t>(row) * lineCells + static_cast<uint32_t>(column);
            const uint8_t code = vram[(cell * 4) % size];
            const uint8_t attribute = vram[(cell * 4 + 1) % size];
            const uint32_t foreground = colour[attribute & 0x0F];
            const uint32_t background = colour[blinkBit ? (attribute >> 4) & 7 : attribute >> 4];
            const uint32_t font = (attribute & 0x08) ? fontA : fontB;
            const bool cursorHere = cursorOn && cell == cursorAt;
            for (int y = 0; y < charHeight; ++y) {
                uint8_t bits = vram[((font + code * 32u + static_cast<uint32_t>(y)) * 4 + 2) % size];
                if (cursorHere && y >= cursorFirst && y <= cursorLast) bits = 0xFF;
                uint32_t* out = &picture.pixels[static_cast<size_t>(row * charHeight + y) * width + column * charWidth];
                for (int x = 0; x < 8; ++x) out[x] = (bits & (0x80 >> x)) ? foreground : background;
                if (charWidth == 9) {
                    const bool extend = lineGraphics && code >= 0xC0 && code <= 0xDF;
                    out[8] = (extend && (bits & 1)) || (cursorHere && bits == 0xFF) ? foreground : background;
                }
            }
        }
    }
}

void scanVga(const SvgaCard& card, Picture& picture) {
    const VgaRegisters& vga = card.vga();
    // The attribute controller shows nothing while its palette is being loaded, nor does
    // the sequencer with its screen-off bit.
    const bool pictureOn = (vga.attrIndex & 0x20) && !(vga.seq[1] & 0x20);
    const int characterClocks = vga.crtc[0x01] + 1;
    const int lines = vga.crtc[0x12] + ((vga.crtc[0x07] & 0x02) << 7) + ((vga.crtc[0x07] & 0x40) << 3) + 1;
    const uint32_t start = (vga.crtc[0x0C] << 8) | vga.crtc[0x0D];
    const uint32_t offset = vga.crtc[0x13];
    if (characterClocks < 8 || lines < 8) {
        blank(picture, 640, 400);
        return;
    }
    const bool graphics = vga.gc[6] & 0x01;
    if (!graphics) {
        if (pictureOn)
            scanText(card, picture, characterClocks, lines, start, offset * 2);
        else
            blank(picture, characterClocks * ((vga.seq[1] & 1) ? 8 : 9), lines);
        return;
    }
    // Each pixel row is scanned `repeat` times (mode 13h: twice); the picture shows it once.
    const int repeat = ((vga.crtc[0x09] & 0x1F) + 1) * ((vga.crtc[0x09] & 0x80) ? 2 : 1);
    const int height = std::max(1, lines / repeat);
    if (vga.gc[5] & 0x40) {  // 256 colours: four bytes per character clock, each pixel two dots
        const int width = characterClocks * 4;
        if (!pictureOn) return blank(picture, width, height);
        scanPacked(card, picture, width, height, static_cast<uint64_t>(start) * 4, offset * 8, 8);
        return;
    }
    const int width = characterClocks * 8;
    if (!pictureOn) return blank(picture, width, height);
    scanPlanar(card, picture, width, height, start, 0, offset * 2);
}

void drawCursor(const HardwareCursor& cursor, Picture& picture) {
    const uint32_t colour = (static_cast<uint32_t>(cursor.red) << 16) | (cursor.green << 8) | cursor.blue;
    const int left = cursor.x - cursor.hotX, top = cursor.y - cursor.hotY;
    for (int row = 0; row < palisade_ext::CURSOR_SIZE; ++row) {
        const int y = top + row;
        if (y < 0 || y >= picture.height) continue;
        for (int column = 0; column < palisade_ext::CURSOR_SIZE; ++column) {
            const int x = left + column;
            if (x < 0 || x >= picture.width) continue;
            const int word = row * 2 + column / 16;
            const uint16_t bit = static_cast<uint16_t>(0x8000u >> (column % 16));
            const bool first = cursor.image[word] & bit, second = cursor.image[64 + word] & bit;
            if (!second) continue;
            picture.pixels[static_cast<size_t>(y) * picture.width + x] = first ? colour : 0;
        }
    }
}

}  // namespace

void scanOut(const SvgaCard& card, Picture& picture) {
    if (card.dispiEnabled())
        scanDispi(card, picture);
    else
        scanVga(card, picture);
    if (card.hasDispi() && card.cursor().shown) drawCursor(card.cursor(), picture);
}

}  // namespace machine
