#include "desktop/verdict_hint.h"

#include <cstdio>

namespace desktop {
namespace {

std::string modeText(int32_t width, int32_t height, int32_t depth)
{
    return std::to_string(width) + " x " + std::to_string(height) + " " + std::to_string(depth) + " bit";
}

std::string startText(uint32_t x, uint32_t y, bool withX)
{
    return withX ? "pixel " + std::to_string(x) + " of line " + std::to_string(y) : "line " + std::to_string(y);
}

std::string entryText(const std::array<uint8_t, 256 * 3>& dac, int entry, uint8_t mask)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X", dac[size_t(3 * entry)] & mask, dac[size_t(3 * entry + 1)] & mask,
                  dac[size_t(3 * entry + 2)] & mask);
    return text;
}

}  // namespace

std::string verdictHint(const display::MeantScreen& meant, const ShownScreen& shown, const PixelDifference& first)
{
    const std::string asked = modeText(meant.width, meant.height, meant.depth);
    if (!shown.graphics)
        return "the card shows text mode, the program asked for " + asked;
    if (shown.width != meant.width || shown.height != meant.height || shown.depth != meant.depth)
        return "the card shows " + modeText(shown.width, shown.height, shown.depth) + ", the program asked for " +
               asked;
    if (shown.bytesPerLine != meant.bytesPerLine)
        return "line length: asked " + std::to_string(meant.bytesPerLine) + " bytes, shows " +
               std::to_string(shown.bytesPerLine) + " bytes";
    if (shown.startX != meant.startX || shown.startY != meant.startY) {
        const bool withX = shown.startX != meant.startX || meant.startX != 0;
        return "display start: asked " + startText(meant.startX, meant.startY, withX) + ", shows " +
               startText(shown.startX, shown.startY, withX);
    }
    if (meant.depth <= 8) {
        if (shown.dacBits != meant.dacBits)
            return "DAC width: asked " + std::to_string(meant.dacBits) + " bits, shows " +
                   std::to_string(shown.dacBits) + " bits";
        const uint8_t mask = meant.dacBits >= 8 ? 0xFF : 0x3F;
        // A 4-bit mode shows colours 0-15 only.
        const int entries = meant.depth == 4 ? 16 : 256;
        for (int entry = 0; entry < entries; ++entry)
            if (entryText(meant.dac, entry, mask) != entryText(shown.dac, entry, mask))
                return "palette entry " + std::to_string(entry) + ": asked " + entryText(meant.dac, entry, mask) +
                       ", shows " + entryText(shown.dac, entry, mask);
    }
    char text[96];
    std::snprintf(text, sizeof text, "first at %d, %d: asked %06X, shows %06X", first.x, first.y, first.meant,
                  first.shown);
    return text;
}

}  // namespace desktop
