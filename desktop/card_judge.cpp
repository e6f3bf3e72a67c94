#include "desktop/card_judge.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "desktop/meant_picture.h"
#include "desktop/verdict_hint.h"
#include "display/meant_memory.h"
#include "hw/vga.h"
#include "machine/card.h"

namespace desktop {
namespace {

// The card's state as the monitor follows it: a mode of the card's own (DISPI), else the
// VGA registers. In a 4-bit mode the first 16 palette entries are the colours pixel values
// 0-15 show, through the attribute controller.
ShownScreen shownScreen(const machine::Card& card, const Picture& shown)
{
    ShownScreen s;
    const machine::VgaCore& vga = card.vga();
    s.dacBits = vga.dac.bits;
    s.dac = vga.dac.entries;
    if (const std::optional<machine::ExtendedMode> mode = card.extendedMode()) {
        s.graphics = true;
        s.width = mode->width;
        s.height = mode->height;
        s.depth = mode->bitsPerPixel;
        s.screenOff = mode->screenOff;
        const bool planar = mode->bitsPerPixel == 4;
        s.bytesPerLine = planar ? mode->lineBytes / 4 : mode->lineBytes;
        if (mode->lineBytes) {
            s.startY = uint32_t(mode->start / mode->lineBytes);
            const uint32_t rest = uint32_t(mode->start % mode->lineBytes);
            const uint32_t bytesPerPixel = uint32_t(mode->bitsPerPixel + 7) / 8;
            s.startX = planar ? rest / 4 * 8 + uint32_t(mode->firstPixel) : rest / bytesPerPixel;
        }
    } else {
        s.graphics = vga.gc.reg[vga::gc::MISC] & vga::gc::MISC_GRAPHICS;
        s.screenOff = !vga.attr.pictureOn() || vga.seq.screenOff();
        s.width = shown.width;
        s.height = shown.height;
        s.depth = (vga.gc.reg[vga::gc::MODE] & vga::gc::MODE_SHIFT_256) ? 8 : 4;
        s.bytesPerLine = uint32_t(vga.crtc.reg[vga::crtc::OFFSET]) * (s.depth == 8 ? 8 : 2);
    }
    if (s.depth == 4) {
        const auto indices = vga.attr.dacIndices();
        for (size_t colour = 0; colour < indices.size(); ++colour)
            for (size_t component = 0; component < 3; ++component)
                s.dac[3 * colour + component] = vga.dac.entries[3 * indices[colour] + component];
    }
    return s;
}

// Counts the meant picture's pixels the card does not show, and marks them red on a dimmed copy.
PixelDifference compare(const Picture& meant, const Picture& shown, Picture& diff)
{
    PixelDifference first;
    diff = meant;
    for (int y = 0; y < meant.height; ++y)
        for (int x = 0; x < meant.width; ++x) {
            const size_t at = size_t(y) * size_t(meant.width) + size_t(x);
            const uint32_t want = meant.pixels[at];
            const bool inside = x < shown.width && y < shown.height;
            const uint32_t got = inside ? shown.pixels[size_t(y) * size_t(shown.width) + size_t(x)] : 0;
            if (inside && want == got) {
                diff.pixels[at] = (want >> 2) & 0x3F3F3F;
                continue;
            }
            if (first.count++ == 0) {
                first.x = x;
                first.y = y;
                first.meant = want;
                first.shown = got;
            }
            diff.pixels[at] = 0xFF0000;
        }
    // A picture larger than the one meant differs in what lies outside it too.
    if (shown.width > meant.width || shown.height > meant.height)
        first.count += uint64_t(shown.width) * uint64_t(shown.height) -
                       uint64_t(std::min(shown.width, meant.width)) * uint64_t(std::min(shown.height, meant.height));
    return first;
}

}  // namespace

CardJudge::CardJudge(const machine::Machine& machine) : machine_(machine)
{
    display::keepMeantMemory(true);
}

ScreenVerdict CardJudge::judge(const Picture& shown, const std::string& onScreen)
{
    ScreenVerdict verdict;
    const display::MeantScreen& meant = display::meantScreen();
    if (!meant.modeSet)
        return verdict;
    verdict.judged = true;
    ++screens_;
    const machine::Card& card = machine_.card();
    Picture picture;
    renderMeant(meant, display::meantMemory(), uint32_t(display::meantMemoryBytes()), picture);
    PixelDifference first = compare(picture, shown, verdict.diff);
    if (first.count == 0) {
        verdict.diff = {};
        return verdict;
    }
    first.memory = compareMemoryAt(meant, first.x, first.y, display::meantMemory(), card.videoMemory(),
                                   std::min<uint64_t>(display::meantMemoryBytes(), card.videoMemoryBytes()));
    verdict.differs = true;
    verdict.meant = std::move(picture);
    ++differing_;
    verdict.hint =
        std::to_string(first.count) + " pixels differ; " + verdictHint(meant, shownScreen(card, shown), first);
    std::fprintf(stderr, "palisade: verdict: screen %d (%s) differs: %s\n", screens_, onScreen.c_str(),
                 verdict.hint.c_str());
    return verdict;
}

}  // namespace desktop
