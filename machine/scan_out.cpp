#include "machine/scan_out.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace machine {
namespace {

using Palette = std::array<uint32_t, 256>;

void blank(Picture& picture, int width, int height)
{
    picture.width = width;
    picture.height = height;
    picture.bitsPerPixel = 0;
    picture.pixels.assign(static_cast<size_t>(width) * height, 0);
}

// The colour of each 4-bit pixel: through the attribute controller, then the DAC.
std::array<uint32_t, 16> attributeColours(const VgaCore& vga)
{
    const Palette palette = vga.dac.colours();
    const auto indices = vga.attr.dacIndices();
    std::array<uint32_t, 16> colour;
    for (int i = 0; i < 16; ++i)
        colour[i] = palette[indices[i]];
    return colour;
}

// Reads `count` bytes of video memory from `address`, wrapping at the end of memory.
const uint8_t* rowBytes(const Card& card, uint64_t address, size_t count, std::vector<uint8_t>& spill)
{
    const uint32_t size = card.videoMemoryBytes();
    const uint32_t start = static_cast<uint32_t>(address % size);
    if (start + count <= size)
        return card.videoMemory() + start;
    spill.resize(count);
    for (size_t i = 0; i < count; ++i)
        spill[i] = card.videoMemory()[(start + i) % size];
    return spill.data();
}

// Four planes of one 8-pixel group at plane address `address` to 4-bit pixel values.
inline void planarGroup(const Card& card, uint32_t address, uint8_t out[8])
{
    const uint32_t size = card.videoMemoryBytes();
    const uint8_t* vram = card.videoMemory();
    const uint32_t at = (address * 4u) % size;
    const uint8_t p0 = vram[at], p1 = vram[at + 1], p2 = vram[at + 2], p3 = vram[at + 3];
    for (int bit = 0; bit < 8; ++bit) {
        const int shift = 7 - bit;
        out[bit] = static_cast<uint8_t>(((p0 >> shift) & 1) | (((p1 >> shift) & 1) << 1) | (((p2 >> shift) & 1) << 2) |
                                        (((p3 >> shift) & 1) << 3));
    }
}

void scanPlanar(const Card& card, Picture& picture, int width, int height, uint32_t startPlaneAddress,
                uint32_t firstPixel, uint32_t lineAddresses)
{
    const auto colour = attributeColours(card.vga());
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

void scanPacked(const Card& card, Picture& picture, int width, int height, uint64_t start, uint32_t line, int bpp)
{
    // Every pixel is written below: a picture kept from the last scan-out is not cleared first.
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(static_cast<size_t>(width) * height);
    const int bytesPerPixel = (bpp + 7) / 8;
    const size_t rowLength = static_cast<size_t>(width) * bytesPerPixel;
    const Palette palette = bpp == 8 ? card.vga().dac.colours() : Palette{};
    std::vector<uint8_t> spill;
    for (int y = 0; y < height; ++y) {
        uint32_t* out = &picture.pixels[static_cast<size_t>(y) * width];
        const uint8_t* in = rowBytes(card, start + static_cast<uint64_t>(y) * line, rowLength, spill);
        switch (bpp) {
        case 8:
            for (int x = 0; x < width; ++x)
                out[x] = palette[in[x]];
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
            for (int x = 0; x < width; ++x)
                out[x] &= 0x00FFFFFF;
            break;
        default: std::fill(out, out + width, 0u); break;
        }
    }
}

void scanExtended(const Card& card, const ExtendedMode& mode, Picture& picture)
{
    if (mode.bitsPerPixel == 4) {
        scanPlanar(card, picture, mode.width, mode.height, static_cast<uint32_t>(mode.start / 4),
                   static_cast<uint32_t>(mode.firstPixel), mode.lineBytes / 4);
        return;
    }
    scanPacked(card, picture, mode.width, mode.height, mode.start, mode.lineBytes, mode.bitsPerPixel);
}

void scanText(const Card& card, Picture& picture, int columns, int height, uint32_t start, uint32_t lineCells)
{
    const VgaCore& vga = card.vga();
    const int charWidth = vga.seq.dotsPerCharacter();
    const int charHeight = vga.crtc.scanLinesPerRow();
    const int rows = height / charHeight;
    const int width = columns * charWidth;
    blank(picture, width, rows * charHeight);
    const auto colour = attributeColours(vga);

    const uint32_t fontB = vga.seq.fontB(), fontA = vga.seq.fontA();
    const bool blink = vga.attr.blink();
    const bool lineGraphics = vga.attr.lineGraphics();
    const uint32_t size = card.videoMemoryBytes();
    const uint8_t* vram = card.videoMemory();

    const uint32_t cursorAt = vga.crtc.cursorAddress();
    const bool cursorOn = vga.crtc.cursorShown();
    const int cursorFirst = vga.crtc.cursorFirstLine(), cursorLast = vga.crtc.cursorLastLine();

    // Each cell: the character code in plane 0, its attribute in plane 1; the font in plane 2.
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const uint32_t cell = start + static_cast<uint32_t>(row) * lineCells + static_cast<uint32_t>(column);
            const uint8_t code = vram[(cell * 4) % size];
            const uint8_t attribute = vram[(cell * 4 + 1) % size];
            const uint32_t foreground = colour[attribute & 0x0F];
            const uint32_t background = colour[blink ? (attribute >> 4) & 7 : attribute >> 4];
            const uint32_t font = (attribute & 0x08) ? fontA : fontB;
            const bool cursorHere = cursorOn && cell == cursorAt;
            for (int y = 0; y < charHeight; ++y) {
                uint8_t bits = vram[((font + code * 32u + static_cast<uint32_t>(y)) * 4 + 2) % size];
                if (cursorHere && y >= cursorFirst && y <= cursorLast)
                    bits = 0xFF;
                uint32_t* out = &picture.pixels[static_cast<size_t>(row * charHeight + y) * width + column * charWidth];
                for (int x = 0; x < 8; ++x)
                    out[x] = (bits & (0x80 >> x)) ? foreground : background;
                if (charWidth == 9) {
                    const bool extend = lineGraphics && code >= 0xC0 && code <= 0xDF;
                    out[8] = (extend && (bits & 1)) || (cursorHere && bits == 0xFF) ? foreground : background;
                }
            }
        }
    }
}

void scanVga(const Card& card, Picture& picture)
{
    const VgaCore& vga = card.vga();
    // The attribute controller shows nothing while its palette is being loaded, nor does
    // the sequencer with its screen-off bit.
    const bool pictureOn = vga.attr.pictureOn() && !vga.seq.screenOff();
    const int characterClocks = vga.crtc.characterClocks();
    const int lines = vga.crtc.displayLines();
    const uint32_t start = vga.crtc.startAddress();
    const uint32_t offset = vga.crtc.offset();
    if (characterClocks < 8 || lines < 8) {
        blank(picture, 640, 400);
        return;
    }
    if (!vga.gc.graphics()) {
        if (pictureOn)
            scanText(card, picture, characterClocks, lines, start, offset * 2);
        else
            blank(picture, characterClocks * vga.seq.dotsPerCharacter(), lines);
        return;
    }
    // Each pixel row is scanned `repeat` times (mode 13h: twice); the picture shows it once.
    const int repeat = vga.crtc.scanLinesPerRow() * (vga.crtc.doubleScan() ? 2 : 1);
    const int height = std::max(1, lines / repeat);
    if (vga.gc.shift256()) {  // 256 colours: four bytes per character clock, each pixel two dots
        const int width = characterClocks * 4;
        if (!pictureOn)
            return blank(picture, width, height);
        scanPacked(card, picture, width, height, static_cast<uint64_t>(start) * 4, offset * 8, 8);
        picture.bitsPerPixel = 8;
        return;
    }
    const int width = characterClocks * 8;
    if (!pictureOn)
        return blank(picture, width, height);
    scanPlanar(card, picture, width, height, start, 0, offset * 2);
    picture.bitsPerPixel = 4;
}

void drawCursor(const CursorSprite& cursor, Picture& picture)
{
    for (int row = 0; row < cursor.size; ++row) {
        const int y = cursor.top + row;
        if (y < 0 || y >= picture.height)
            continue;
        for (int column = 0; column < cursor.size; ++column) {
            const int x = cursor.left + column;
            const uint32_t pixel = cursor.pixels[static_cast<size_t>(row) * cursor.size + column];
            if (x < 0 || x >= picture.width || pixel == CursorSprite::TRANSPARENT)
                continue;
            uint32_t& shown = picture.pixels[static_cast<size_t>(y) * picture.width + x];
            shown = pixel == CursorSprite::INVERT ? shown ^ 0xFFFFFF : pixel;
        }
    }
}

}  // namespace

void scanOut(const Card& card, Picture& picture)
{
    if (const auto mode = card.extendedMode()) {
        if (mode->screenOff)
            blank(picture, mode->width, mode->height);
        else
            scanExtended(card, *mode, picture);
        picture.bitsPerPixel = mode->bitsPerPixel;
    } else {
        scanVga(card, picture);
    }
    CursorSprite cursor;
    if (card.cursorSprite(cursor))
        drawCursor(cursor, picture);
}

}  // namespace machine
