#include "display/reference.h"

#include <algorithm>

#include "display/palette.h"

namespace display {
namespace {

MeantScreen& meant()
{
    static MeantScreen screen;
    return screen;
}

}  // namespace

const MeantScreen& meantScreen()
{
    return meant();
}

void meanMode(uint16_t mode, const ModeFacts& facts, uint32_t bytesPerLine, const PixelFormat& format, int32_t dacBits)
{
    MeantScreen& m = meant();
    const MeantCursor cursor = m.cursor;  // the cursor's image and colour outlive a mode set
    m = MeantScreen{};
    m.modeSet = true;
    m.mode = mode;
    m.width = facts.width;
    m.height = facts.height;
    m.depth = facts.depth;
    m.format = format;
    m.bytesPerLine = bytesPerLine;
    m.dacBits = dacBits;
    // A mode set loads the standard palette.
    const PaletteEntry* standard = defaultPalette();
    for (int i = 0; i < 256; ++i) {
        m.dac[3 * i] = scaleToDac(standard[i].red, dacBits);
        m.dac[3 * i + 1] = scaleToDac(standard[i].green, dacBits);
        m.dac[3 * i + 2] = scaleToDac(standard[i].blue, dacBits);
    }
    m.cursor = cursor;
    m.cursor.shown = false;
}

void meanNoMode()
{
    meant().modeSet = false;
}

void meanStart(uint32_t x, uint32_t y)
{
    meant().startX = x;
    meant().startY = y;
}

void meanLineLength(uint32_t bytesPerLine)
{
    meant().bytesPerLine = bytesPerLine;
}

void meanDacWidth(int32_t bits)
{
    meant().dacBits = bits;
}

void meanPalette(int32_t first, int32_t count, const PaletteEntry* dacUnits)
{
    MeantScreen& m = meant();
    for (int32_t i = 0; i < count && first + i < 256; ++i) {
        m.dac[3 * (first + i)] = dacUnits[i].red;
        m.dac[3 * (first + i) + 1] = dacUnits[i].green;
        m.dac[3 * (first + i) + 2] = dacUnits[i].blue;
    }
}

void meanCursorImage(const AF_CursorImage& image)
{
    MeantCursor& c = meant().cursor;
    for (int i = 0; i < 64; ++i) {
        c.image[i] = uint16_t(image.firstMask[2 * i] << 8 | image.firstMask[2 * i + 1]);
        c.image[64 + i] = uint16_t(image.secondMask[2 * i] << 8 | image.secondMask[2 * i + 1]);
    }
    // A hot spot outside the 32 x 32 image is taken at its nearest edge.
    c.hotX = std::clamp(image.hotX, 0, 31);
    c.hotY = std::clamp(image.hotY, 0, 31);
}

void meanCursorColor(uint8_t red, uint8_t green, uint8_t blue)
{
    MeantCursor& c = meant().cursor;
    c.red = red;
    c.green = green;
    c.blue = blue;
}

void meanCursorPosition(int32_t x, int32_t y)
{
    meant().cursor.x = std::clamp(x, -32768, 32767);
    meant().cursor.y = std::clamp(y, -32768, 32767);
}

void meanCursorShown(bool shown)
{
    meant().cursor.shown = shown;
}

}  // namespace display
