#include "desktop/card_judge.h"

#include <algorithm>
#include <cstdio>

#include "desktop/meant_picture.h"
#include "desktop/verdict_hint.h"
#include "hw/vga.h"
#include "machine/svga_card.h"

namespace desktop {
namespace {

// Mode, line length and display start, from the registers the monitor follows.
ShownScreen shownGeometry(const machine::SvgaCard& card, const Picture& shown)
{
    ShownScreen s;
    const machine::VgaRegisters& vga = card.vga();
    if (card.dispiEnabled()) {
        const machine::DispiRegisters& d = card.dispi();
        s.graphics = true;
        s.width = d.xres;
        s.height = d.yres;
        s.depth = d.bpp;
        s.bytesPerLine = card.dispiLineBytes() / (d.bpp == 4 ? 4 : 1);
        s.startX = d.xOffset;
        s.startY = d.yOffset;
        return s;
    }
    s.graphics = vga.gc[vga::gc::MISC] & vga::gc::MISC_GRAPHICS;
    s.width = shown.width;
    s.height = shown.height;
    s.depth = (vga.gc[vga::gc::MODE] & vga::gc::MODE_SHIFT_256) ? 8 : 4;
    s.bytesPerLine = uint32_t(vga.crtc[vga::crtc::OFFSET]) * (s.depth == 8 ? 8 : 2);
    return s;
}

// The DAC entry the attribute controller sends a 4-bit colour to.
uint8_t attributeEntry(const machine::VgaRegisters& vga, int colour)
{
    using namespace vga::attr;
    const uint8_t entry = vga.attr[size_t(colour & vga.attr[COLOR_PLANE_ENABLE] & COLOR_PLANE_ENABLE_PLANES)];
    const uint8_t select = vga.attr[COLOR_SELECT];
    const uint8_t low = (vga.attr[MODE_CONTROL] & MODE_CONTROL_P54_SELECT)
                            ? uint8_t((entry & 0x0F) | (select & COLOR_SELECT_54) << 4)
                            : uint8_t(entry & 0x3F);
    return uint8_t(low | (select & COLOR_SELECT_76) << 4);
}

// The card's state as the monitor follows it: DISPI when enabled, else the VGA's own. In a
// 4-bit mode the first 16 palette entries are the colours 0-15 show, through the attribute
// controller.
ShownScreen shownScreen(const machine::SvgaCard& card, const Picture& shown)
{
    ShownScreen s = shownGeometry(card, shown);
    const machine::VgaRegisters& vga = card.vga();
    s.dac = vga.dac;
    s.dacBits = card.dacBits();
    if (s.depth == 4)
        for (int colour = 0; colour < 16; ++colour)
            for (int component = 0; component < 3; ++component)
                s.dac[size_t(3 * colour + component)] = vga.dac[size_t(3 * attributeEntry(vga, colour) + component)];
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

ScreenVerdict CardJudge::judge(const Picture& shown, const std::string& onScreen)
{
    ScreenVerdict verdict;
    const display::MeantScreen& meant = display::meantScreen();
    if (!meant.modeSet)
        return verdict;
    verdict.judged = true;
    ++screens_;
    const machine::SvgaCard& card = machine_.card();
    Picture picture;
    renderMeant(meant, card.videoMemory(), card.videoMemoryBytes(), picture);
    const PixelDifference first = compare(picture, shown, verdict.diff);
    if (first.count == 0) {
        verdict.diff = {};
        return verdict;
    }
    verdict.differs = true;
    ++differing_;
    verdict.hint = std::to_string(first.count) + " pixels differ; " +
                   verdictHint(meant, shownScreen(card, shown), first);
    std::fprintf(stderr, "palisade: verdict: screen %d (%s) differs: %s\n", screens_, onScreen.c_str(),
                 verdict.hint.c_str());
    return verdict;
}

}  // namespace desktop
