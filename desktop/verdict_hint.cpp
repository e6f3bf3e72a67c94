#include "desktop/verdict_hint.h"

#include <algorithm>
#include <cstdio>
#include <functional>

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

// How much of what the program wrote is looked for elsewhere: at least MIN_NEEDLE bytes, and up
// to MAX_NEEDLE until they hold two different values (one colour alone matches anywhere).
constexpr uint64_t MIN_NEEDLE = 256;
constexpr uint64_t MAX_NEEDLE = 4096;

// Where the card's memory holds the bytes the program wrote from `offset` on.
bool findElsewhere(const uint8_t* meant, const uint8_t* card, uint64_t bytes, uint64_t offset, uint64_t& at)
{
    const uint8_t* needle = meant + offset;
    const uint64_t most = std::min(MAX_NEEDLE, bytes - offset);
    const uint64_t other =
        uint64_t(std::find_if(needle, needle + most, [&](uint8_t b) { return b != *needle; }) - needle);
    if (other == most)
        return false;
    const uint64_t length = std::min(most, std::max(MIN_NEEDLE, other + 1));
    const std::boyer_moore_horspool_searcher searcher(needle, needle + length);
    const uint8_t* after = std::search(card + offset + 1, card + bytes, searcher);
    if (after != card + bytes) {
        at = uint64_t(after - card);
        return true;
    }
    const uint8_t* beforeEnd = card + std::min(bytes, offset + length - 1);
    const uint8_t* before = std::search(card, beforeEnd, searcher);
    if (before == beforeEnd)
        return false;
    at = uint64_t(before - card);
    return true;
}

std::string memoryText(const display::MeantScreen& meant, const PixelDifference& first)
{
    const MemoryAtPixel& m = first.memory;
    const bool planar = meant.depth == 4;
    auto place = [planar](uint64_t offset) {
        return planar ? "plane " + std::to_string(offset % 4) + " address " + std::to_string(offset / 4)
                      : "byte " + std::to_string(offset);
    };
    const std::string pixel = " (pixel " + std::to_string(first.x) + ", " + std::to_string(first.y) + ")";
    if (m.found) {
        const uint64_t distance = m.foundAt > m.offset ? m.foundAt - m.offset : m.offset - m.foundAt;
        const std::string unit = planar ? " addresses " : " bytes ";
        return "pixels land elsewhere: what the program wrote at " + place(m.offset) + " of video memory" + pixel +
               " is at " + place(m.foundAt) + ", " + std::to_string(planar ? distance / 4 : distance) + unit +
               (m.foundAt > m.offset ? "further" : "before");
    }
    char values[64];
    std::snprintf(values, sizeof values, ": the program wrote %02X, the card holds %02X", m.meant, m.held);
    return place(m.offset) + " of video memory" + pixel + values;
}

}  // namespace

MemoryAtPixel compareMemoryAt(const display::MeantScreen& meant, int32_t x, int32_t y, const uint8_t* meantMemory,
                              const uint8_t* cardMemory, uint64_t bytes)
{
    MemoryAtPixel m;
    if (!meantMemory || !cardMemory)
        return m;
    const uint64_t line = uint64_t(meant.startY) + uint64_t(y);
    const uint64_t column = uint64_t(meant.startX) + uint64_t(x);
    const bool planar = meant.depth == 4;
    const uint64_t pixelBytes = planar ? 4 : uint64_t(meant.depth + 7) / 8;
    const uint64_t at =
        planar ? (line * meant.bytesPerLine + column / 8) * 4 : line * meant.bytesPerLine + column * pixelBytes;
    const uint64_t end = std::min(bytes, at + pixelBytes);
    for (uint64_t offset = at; offset < end; ++offset)
        if (meantMemory[offset] != cardMemory[offset]) {
            m.differs = true;
            m.offset = offset;
            m.meant = meantMemory[offset];
            m.held = cardMemory[offset];
            m.found = findElsewhere(meantMemory, cardMemory, bytes, offset, m.foundAt);
            break;
        }
    return m;
}

std::string verdictHint(const display::MeantScreen& meant, const ShownScreen& shown, const PixelDifference& first)
{
    const std::string asked = modeText(meant.width, meant.height, meant.depth);
    if (!shown.graphics)
        return "the card shows text mode, the program asked for " + asked;
    if (shown.screenOff)
        return "the card has its screen off in " + modeText(shown.width, shown.height, shown.depth) +
               (shown.blankedBy.empty() ? "" : " by " + shown.blankedBy) + ", the program asked for " + asked;
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
    if (first.memory.differs)
        return memoryText(meant, first);
    char text[96];
    std::snprintf(text, sizeof text, "first at %d, %d: asked %06X, shows %06X", first.x, first.y, first.meant,
                  first.shown);
    return text;
}

}  // namespace desktop
