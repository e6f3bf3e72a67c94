#include "desktop/meant_picture.h"

#include <array>

namespace desktop {
namespace {

constexpr int CURSOR_SIZE = 32;

uint32_t widen(uint32_t value, uint8_t bits)
{
    if (bits == 0)
        return 0;
    if (bits >= 8)
        return (value >> (bits - 8)) & 0xFF;
    uint32_t out = 0;
    for (int filled = 0; filled < 8; filled += bits)
        out = out << bits | value;
    return (out >> (((8 + bits - 1) / bits) * bits - 8)) & 0xFF;
}

uint32_t directColour(uint32_t pixel, const display::PixelFormat& f)
{
    auto field = [pixel](uint8_t size, uint8_t position) {
        return widen(position < 32 ? (pixel >> position) & ((1u << size) - 1) : 0, size);
    };
    return field(f.redSize, f.redPos) << 16 | field(f.greenSize, f.greenPos) << 8 | field(f.blueSize, f.bluePos);
}

void drawCursor(const display::MeantCursor& cursor, Picture& picture)
{
    const uint32_t colour = uint32_t(cursor.red) << 16 | uint32_t(cursor.green) << 8 | cursor.blue;
    const int left = cursor.x - cursor.hotX, top = cursor.y - cursor.hotY;
    for (int row = 0; row < CURSOR_SIZE; ++row) {
        const int y = top + row;
        if (y < 0 || y >= picture.height)
            continue;
        for (int column = 0; column < CURSOR_SIZE; ++column) {
            const int x = left + column;
            if (x < 0 || x >= picture.width)
                continue;
            const int word = row * 2 + column / 16;
            const uint16_t bit = uint16_t(0x8000u >> (column % 16));
            if (!(cursor.image[64 + word] & bit))
                continue;
            picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)] = (cursor.image[word] & bit) ? colour : 0;
        }
    }
}

}  // namespace

uint8_t dacLevel(uint8_t value, int32_t bits)
{
    if (bits >= 8)
        return value;
    const uint8_t six = value & 0x3F;
    return uint8_t(six << 2 | six >> 4);
}

void renderMeant(const display::MeantScreen& meant, const uint8_t* memory, uint32_t memoryBytes, Picture& picture)
{
    picture.width = meant.width;
    picture.height = meant.height;
    picture.pixels.assign(size_t(meant.width) * size_t(meant.height), 0);
    if (!memoryBytes)
        return;
    std::array<uint32_t, 256> palette;
    for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = uint32_t(dacLevel(meant.dac[size_t(3 * i)], meant.dacBits)) << 16 |
                             uint32_t(dacLevel(meant.dac[size_t(3 * i + 1)], meant.dacBits)) << 8 |
                             dacLevel(meant.dac[size_t(3 * i + 2)], meant.dacBits);
    auto byteAt = [&](uint64_t offset) { return memory[offset % memoryBytes]; };
    const uint32_t bytesPerPixel = uint32_t(meant.depth + 7) / 8;
    for (int32_t y = 0; y < meant.height; ++y) {
        uint32_t* out = &picture.pixels[size_t(y) * size_t(meant.width)];
        const uint64_t line = uint64_t(meant.startY) + uint64_t(y);
        for (int32_t x = 0; x < meant.width; ++x) {
            const uint64_t column = uint64_t(meant.startX) + uint64_t(x);
            if (meant.depth == 4) {
                // Planes interleaved: byte p of plane address a is memory[a * 4 + p].
                const uint64_t address = line * meant.bytesPerLine + column / 8;
                const int shift = 7 - int(column % 8);
                int value = 0;
                for (int plane = 0; plane < 4; ++plane)
                    value |= ((byteAt(address * 4 + uint64_t(plane)) >> shift) & 1) << plane;
                out[x] = palette[size_t(value)];  // colour p is palette entry p, as in the packed modes
                continue;
            }
            const uint64_t at = line * meant.bytesPerLine + column * bytesPerPixel;
            if (meant.depth == 8) {
                out[x] = palette[byteAt(at)];
                continue;
            }
            uint32_t pixel = 0;
            for (uint32_t k = 0; k < bytesPerPixel; ++k)
                pixel |= uint32_t(byteAt(at + k)) << (8 * k);
            out[x] = directColour(pixel, meant.format);
        }
    }
    if (meant.cursor.shown)
        drawCursor(meant.cursor, picture);
}

}  // namespace desktop
