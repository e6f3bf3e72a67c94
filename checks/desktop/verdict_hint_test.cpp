// The verdict's hint: which difference between the program's requests and the card's state
// it names first, in words; and the picture a correct card shows for the requests.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "desktop/meant_picture.h"
#include "desktop/verdict_hint.h"

namespace desktop {
namespace {

display::MeantScreen meant8bit()
{
    display::MeantScreen m;
    m.modeSet = true;
    m.mode = 0x101;
    m.width = 640;
    m.height = 480;
    m.depth = 8;
    m.bytesPerLine = 640;
    m.dacBits = 6;
    m.dac[3 * 1 + 2] = 0x2A;  // entry 1: blue
    return m;
}

// The card in exactly the state asked for.
ShownScreen agreeing(const display::MeantScreen& m)
{
    ShownScreen s;
    s.graphics = true;
    s.width = m.width;
    s.height = m.height;
    s.depth = m.depth;
    s.bytesPerLine = m.bytesPerLine;
    s.startX = m.startX;
    s.startY = m.startY;
    s.dacBits = m.dacBits;
    s.dac = m.dac;
    return s;
}

TEST(VerdictHint, NamesTheFirstRequestTheCardDidNotFollow)
{
    struct Case {
        const char* what;
        std::function<void(display::MeantScreen&, ShownScreen&)> make;
        const char* hint;
    };
    const std::vector<Case> cases = {
        {"text mode", [](auto& m, auto& s) { m.width = 1280, m.height = 1024, s.graphics = false; },
         "the card shows text mode, the program asked for 1280 x 1024 8 bit"},
        {"screen off", [](auto&, auto& s) { s.screenOff = true; },
         "the card has its screen off in 640 x 480 8 bit, the program asked for 640 x 480 8 bit"},
        {"screen off, the bit named",
         [](auto&, auto& s) {
             s.screenOff = true;
             s.blankedBy = "the sequencer (SR01 bit 5 set)";
         },
         "the card has its screen off in 640 x 480 8 bit by the sequencer (SR01 bit 5 set), the program asked for 640 x "
         "480 8 bit"},
        {"another mode, before everything else",
         [](auto&, auto& s) { s.width = 800, s.height = 600, s.startY = 3, s.dac[0] = 9; },
         "the card shows 800 x 600 8 bit, the program asked for 640 x 480 8 bit"},
        {"another depth", [](auto&, auto& s) { s.depth = 16; },
         "the card shows 640 x 480 16 bit, the program asked for 640 x 480 8 bit"},
        {"line length", [](auto& m, auto&) { m.bytesPerLine = 1024; },
         "line length: asked 1024 bytes, shows 640 bytes"},
        {"display start line", [](auto& m, auto&) { m.startY = 480; }, "display start: asked line 480, shows line 0"},
        {"display start pixel", [](auto& m, auto& s) { m.startX = 10, m.startY = 10, s.startY = 10; },
         "display start: asked pixel 10 of line 10, shows pixel 0 of line 10"},
        {"DAC width", [](auto& m, auto&) { m.dacBits = 8; }, "DAC width: asked 8 bits, shows 6 bits"},
        {"palette", [](auto&, auto& s) { s.dac[3 * 1 + 1] = 0x2A, s.dac[3 * 1 + 2] = 0; },
         "palette entry 1: asked 00 00 2A, shows 00 2A 00"},
        {"6-bit DAC ignores the top bits", [](auto&, auto& s) { s.dac[3 * 1 + 2] = 0xEA; },
         "first at 3, 4: asked 0000AA, shows 000000"},
        {"4-bit modes show colours 0-15 only", [](auto& m, auto& s) { m.depth = 4, s.depth = 4, s.dac[3 * 16] = 1; },
         "first at 3, 4: asked 0000AA, shows 000000"},
        {"direct colour has no palette", [](auto& m, auto& s) { m.depth = 32, s.depth = 32, s.dac[0] = 1; },
         "first at 3, 4: asked 0000AA, shows 000000"},
    };
    PixelDifference first;
    first.count = 1;
    first.x = 3;
    first.y = 4;
    first.meant = 0xAA;
    for (const Case& c : cases) {
        display::MeantScreen m = meant8bit();
        ShownScreen s = agreeing(m);
        c.make(m, s);
        EXPECT_EQ(verdictHint(m, s, first), c.hint) << c.what;
    }
}

// When every request was followed, the video memory behind the first differing pixel: where
// what the program wrote went, or what the card holds instead.
TEST(VerdictHint, FollowsTheBytesBehindTheFirstPixelThatDiffers)
{
    const display::MeantScreen m = meant8bit();
    constexpr size_t BYTES = 640 * 480;
    constexpr size_t BANK = 65536;
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&, std::vector<uint8_t>&)> make;
        const char* hint;
    };
    auto ramp = [](std::vector<uint8_t>& memory, size_t at) {
        for (size_t i = 0; i < 300; ++i)
            memory[at + i] = uint8_t(i * 7 + 3);
    };
    const std::vector<Case> cases = {
        {"a bank further on", [&](auto& meant, auto& card) { ramp(meant, 4 * 640), ramp(card, 4 * 640 + BANK); },
         "pixels land elsewhere: what the program wrote at byte 2563 of video memory (pixel 3, 4) is at byte 68099, "
         "65536 bytes further"},
        {"a line before", [&](auto& meant, auto& card) { ramp(meant, 4 * 640), ramp(card, 3 * 640); },
         "pixels land elsewhere: what the program wrote at byte 2563 of video memory (pixel 3, 4) is at byte 1923, "
         "640 bytes before"},
        {"one colour is not looked for", [&](auto& meant, auto& card) { meant.assign(BYTES, 5), card[9] = 5; },
         "byte 2563 of video memory (pixel 3, 4): the program wrote 05, the card holds 00"},
        {"memory as meant: the scan-out", [](auto&, auto&) {}, "first at 3, 4: asked 0000AA, shows 000000"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> meant(BYTES), card(BYTES);
        c.make(meant, card);
        PixelDifference first;
        first.count = 1;
        first.x = 3;
        first.y = 4;
        first.meant = 0xAA;
        first.memory = compareMemoryAt(m, 3, 4, meant.data(), card.data(), BYTES);
        EXPECT_EQ(verdictHint(m, agreeing(m), first), c.hint) << c.what;
    }
}

TEST(MeantPicture, ReadsMemoryFromTheStartWithTheLineLengthPaletteAndFormatAsked)
{
    // Two lines of 4 bytes; the screen is 2 x 1 pixels from line 1, pixel 1.
    const uint8_t memory[8] = {0, 0, 0, 0, 0, 1, 2, 0};
    display::MeantScreen m = meant8bit();
    m.width = 2;
    m.height = 1;
    m.bytesPerLine = 4;
    m.startX = 1;
    m.startY = 1;
    m.dac[3 * 2] = 0x3F;  // entry 2: red at full 6-bit intensity
    Picture picture;
    renderMeant(m, memory, sizeof memory, picture);
    EXPECT_EQ(picture.pixels, (std::vector<uint32_t>{0x0000AA, 0xFF0000}));

    // 5:6:5 direct colour, one pixel: pure green.
    m.depth = 16;
    m.width = 1;
    m.startX = 0;
    m.startY = 0;
    m.format = {5, 11, 6, 5, 5, 0};
    const uint8_t green[2] = {0xE0, 0x07};
    renderMeant(m, green, sizeof green, picture);
    EXPECT_EQ(picture.pixels, (std::vector<uint32_t>{0x00FF00}));
}

}  // namespace
}  // namespace desktop
