// The verdict of a headless run, with what the card shows read through its registers.
#include "desktop/card_judge.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "card_reading/shown_card.h"
#include "desktop/meant_picture.h"
#include "desktop/verdict_hint.h"
#include "display/meant_memory.h"
#include "hw/vga.h"

namespace desktop {
namespace {

// The card's state as the monitor follows it, read through its registers. In a 4-bit mode the
// first 16 palette entries are the colours pixel values 0-15 show, through the attribute
// controller.
ShownScreen shownScreen(pc::Pc& pc, const Picture& shown)
{
    const card_reading::ShownCard card = card_reading::readShownCard(pc, &shown);
    ShownScreen s;
    s.dacBits = card.dacBits;
    s.dac = card_reading::readDac(pc);
    s.graphics = card.graphics;
    s.width = card.width;
    s.height = card.height;
    s.depth = card.bitsPerPixel;
    s.screenOff = card.screenOff;
    s.blankedBy = card.blankedBy;
    const bool planar = card.bitsPerPixel == 4;
    if (card.extended) {
        s.bytesPerLine = planar ? card.lineBytes / 4 : card.lineBytes;
        if (card.lineBytes) {
            s.startY = uint32_t(card.start / card.lineBytes);
            const uint32_t rest = uint32_t(card.start % card.lineBytes);
            const uint32_t bytesPerPixel = uint32_t(card.bitsPerPixel + 7) / 8;
            s.startX = planar ? rest / 4 * 8 + uint32_t(card.firstPixel) : rest / bytesPerPixel;
        }
    } else {
        s.bytesPerLine = card.lineBytes / (s.depth == 8 ? 1 : 4);
    }
    if (planar) {
        const std::array<uint8_t, 256 * 3> dac = s.dac;
        const auto indices = card_reading::planarDacIndices(pc);
        for (size_t colour = 0; colour < indices.size(); ++colour)
            for (size_t component = 0; component < 3; ++component)
                s.dac[3 * colour + component] = dac[3 * indices[colour] + component];
    }
    return s;
}

// The bits of an 8-bit component that carry the mode's precision: the DAC's width in palette
// modes, the field's size in direct-colour ones. Cards widen a component to 8 bits each in
// their own way (bit replication here, v<<2 | (v&1)<<1 | (v&1) in QEMU's DAC); the bits
// below the precision say nothing about the card.
uint32_t precisionMask(const display::MeantScreen& meant)
{
    const auto top = [](int bits) { return uint32_t(0xFF00 >> (bits > 0 && bits < 8 ? bits : 8)) & 0xFF; };
    if (meant.depth <= 8)
        return top(meant.dacBits) * 0x010101u;
    const display::PixelFormat& f = meant.format;
    return top(f.redSize) << 16 | top(f.greenSize) << 8 | top(f.blueSize);
}

// Counts the meant picture's pixels the card does not show, and marks them red on a dimmed copy.
PixelDifference compare(const Picture& meant, const Picture& shown, Picture& diff, uint32_t precision)
{
    PixelDifference first;
    diff = meant;
    for (int y = 0; y < meant.height; ++y)
        for (int x = 0; x < meant.width; ++x) {
            const size_t at = size_t(y) * size_t(meant.width) + size_t(x);
            const uint32_t want = meant.pixels[at];
            const bool inside = x < shown.width && y < shown.height;
            const uint32_t got = inside ? shown.pixels[size_t(y) * size_t(shown.width) + size_t(x)] : 0;
            if (inside && (want & precision) == (got & precision)) {
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

CardJudge::CardJudge(pc::Pc& machine) : machine_(machine)
{
    display::keepMeantMemory(true);
}

ScreenVerdict CardJudge::judge(const Picture& shown, const std::string& onScreen)
{
    ScreenVerdict verdict;
    const display::MeantScreen& meant = display::meantScreen();
    if (!meant.modeSet)
        return verdict;
    if (unjudgedMode_ && *unjudgedMode_ == meant.mode)
        return verdict;
    unjudgedMode_.reset();
    verdict.judged = true;
    ++screens_;
    Picture picture;
    renderMeant(meant, display::meantMemory(), uint32_t(display::meantMemoryBytes()), picture);
    PixelDifference first = compare(picture, shown, verdict.diff, precisionMask(meant));
    if (first.count == 0) {
        verdict.diff = {};
        return verdict;
    }
    first.memory = compareMemoryAt(meant, first.x, first.y, display::meantMemory(), machine_.lfb(),
                                   std::min<uint64_t>(display::meantMemoryBytes(), machine_.videoMemoryBytes()));
    verdict.differs = true;
    verdict.meant = std::move(picture);
    ++differing_;
    verdict.hint =
        std::to_string(first.count) + " pixels differ; " + verdictHint(meant, shownScreen(machine_, shown), first);
    // What the card is known to do unlike its chip, met since video memory was last cleared.
    for (const std::string& departure : machine_.departuresMet())
        verdict.hint += "; " + departure;
    std::fprintf(stderr, "palisade: verdict: screen %d (%s) differs: %s\n", screens_, onScreen.c_str(),
                 verdict.hint.c_str());
    return verdict;
}

void CardJudge::drawingSkipped()
{
    const display::MeantScreen& meant = display::meantScreen();
    if (!meant.modeSet || display::meantMemory() == nullptr)
        return;
    if (meant.depth == 4) {
        unjudgedMode_ = meant.mode;
        return;
    }
    // Page by page, so the copy's untouched pages stay unmapped.
    constexpr uint64_t PAGE = 4096;
    uint8_t* copy = display::meantMemory();
    const uint8_t* card = machine_.lfb();
    const uint64_t bytes = std::min<uint64_t>(display::meantMemoryBytes(), machine_.videoMemoryBytes());
    for (uint64_t at = 0; at < bytes; at += PAGE) {
        const size_t piece = size_t(std::min(PAGE, bytes - at));
        if (std::memcmp(copy + at, card + at, piece) != 0)
            std::memcpy(copy + at, card + at, piece);
    }
}

}  // namespace desktop
