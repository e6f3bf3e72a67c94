// The palette fade and the wide DAC bands: palettes loaded, levels, texts, bands, Esc.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checks/modetests/mode_fixture.h"
#include "tests/palette_tests.h"

// Found by argument lookup: PaletteEntry lives in the global namespace.
bool operator==(const PaletteEntry& a, const PaletteEntry& b)
{
    return a.blue == b.blue && a.green == b.green && a.red == b.red && a.alignment == b.alignment;
}

void PrintTo(const PaletteEntry& e, std::ostream* os)
{
    *os << "rgb(" << int(e.red) << "," << int(e.green) << "," << int(e.blue) << "," << int(e.alignment) << ")";
}

namespace {

using modetests::answerPrompts;
using modetests::argsOf;
using modetests::callLines;
using modetests::setMode;

PaletteEntry rgb(int red, int green, int blue, int alignment = 0)
{
    return PaletteEntry{static_cast<uint8_t>(blue), static_cast<uint8_t>(green), static_cast<uint8_t>(red),
                        static_cast<uint8_t>(alignment)};
}

// The fade ramp: grey, red, green, blue, 64 steps of 4, each component scaled to `level`.
std::vector<PaletteEntry> fadeRampAt(int level)
{
    std::vector<PaletteEntry> ramp(256);
    for (int i = 0; i < 64; ++i) {
        const int v = 4 * i * level / 255;
        ramp[i] = rgb(v, v, v);
        ramp[64 + i] = rgb(v, 0, 0);
        ramp[128 + i] = rgb(0, v, 0);
        ramp[192 + i] = rgb(0, 0, v);
    }
    return ramp;
}

// ---- scalePalette ----

struct ScaleCase {
    const char* what;
    int value, level, expect;
};

class ScalePalette : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScalePalette, ScalesEachColourByteAndDropsTheRemainder)
{
    const ScaleCase& c = GetParam();
    const PaletteEntry source[2] = {rgb(c.value, c.value, c.value, 0x11), rgb(0, c.value, 255, 0x22)};
    PaletteEntry destination[4] = {rgb(1, 2, 3, 0xA0), rgb(1, 2, 3, 0xA1), rgb(1, 2, 3, 0xA2), rgb(1, 2, 3, 0xA3)};

    scalePalette(destination, source, 2, 1, c.level);

    const int full = 255 * (c.level & 0xFF) / 255;
    EXPECT_EQ(destination[0], rgb(1, 2, 3, 0xA0)) << "before first";
    EXPECT_EQ(destination[1], rgb(c.expect, c.expect, c.expect, 0xA1)) << c.what;
    EXPECT_EQ(destination[2], rgb(0, c.expect, full, 0xA2)) << c.what;
    EXPECT_EQ(destination[3], rgb(1, 2, 3, 0xA3)) << "after the count";
}

INSTANTIATE_TEST_SUITE_P(Levels, ScalePalette,
                         ::testing::Values(ScaleCase{"252 at the top of the fade-in", 252, 252, 249},
                                           ScaleCase{"4 at the top of the fade-in", 4, 252, 3},
                                           ScaleCase{"full level keeps the value", 200, 255, 200},
                                           ScaleCase{"level 0 is black", 252, 0, 0},
                                           ScaleCase{"only the low byte of the level counts", 252, 256 + 128, 126}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// ---- paletteFadeTest ----

struct FadeLayout {
    const char* what;
    int width, height;
    int textAt;  // x and y of the first line
};

class PaletteFade : public ::testing::TestWithParam<FadeLayout> {};

TEST_P(PaletteFade, LoadsTheRampFadesOutAndInThenTheDefaultPalette)
{
    const FadeLayout& c = GetParam();
    setMode({c.width, c.height, 8, 2});
    answerPrompts({'a', 'b'});

    EXPECT_EQ(paletteFadeTest(256), 'b');

    // Cleared, moire with a border in colour 63, the two texts in colour 63.
    const auto lines = callLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "GX_clear(0)");
    EXPECT_EQ(lines[1], "GX_beginLine()");
    const auto drawn = argsOf("GX_lineFast");
    const int64_t maxX = c.width - 1, maxY = c.height - 1;
    ASSERT_GE(drawn.size(), 4u);
    EXPECT_EQ(std::vector(drawn.end() - 4, drawn.end()),
              (std::vector<std::vector<int64_t>>{
                  {0, 0, maxX, 0, 63}, {0, 0, 0, maxY, 63}, {maxX, 0, maxX, maxY, 63}, {0, maxY, maxX, maxY, 63}}));
    EXPECT_EQ(fake::callsNamed("GX_writeText").size(), 2u);
    std::vector<std::string> texts;
    for (const fake::Call& call : fake::callsNamed("GX_writeText"))
        texts.push_back(std::to_string(call.args[0]) + "," + std::to_string(call.args[1]) + "," +
                        std::to_string(call.args[2]) + " " + call.text);
    const std::string x = std::to_string(c.textAt);
    EXPECT_EQ(texts,
              (std::vector<std::string>{x + "," + x + ",63 Palette programming test",
                                        x + "," + std::to_string(c.textAt + 32) + ",63 Hit a key to fade palette"}));

    // The ramp at once, 128 fade steps with the fade pace, the default palette at once.
    const auto loads = fake::display().paletteLoads;
    const auto paces = argsOf("GX_setPalette");
    ASSERT_EQ(loads.size(), 130u);
    ASSERT_EQ(paces.size(), 130u);
    EXPECT_EQ(loads[0], fadeRampAt(255));
    EXPECT_EQ(paces[0], (std::vector<int64_t>{0, 256, -1}));
    for (int step = 0; step < 128; ++step) {
        const int level = step < 64 ? 4 * (63 - step) : 4 * (step - 64);
        EXPECT_EQ(loads[1 + step], fadeRampAt(level)) << "fade step " << step << ", level " << level;
        EXPECT_EQ(paces[1 + step], (std::vector<int64_t>{0, 256, 256})) << "fade step " << step;
    }
    EXPECT_EQ(loads[129], fake::display().defaultPalette);
    EXPECT_EQ(paces[129], (std::vector<int64_t>{0, 256, -1}));

    // Keys are awaited before the fade and after it, not during it.
    const auto order = fake::callNames({"PL_haltEvent", "GX_setPalette", "GX_getDefPalette"});
    EXPECT_EQ(order[0], "GX_setPalette");
    EXPECT_EQ(order[1], "PL_haltEvent");
    EXPECT_EQ(order[130], "PL_haltEvent");
    EXPECT_EQ(order[131], "GX_getDefPalette");
    EXPECT_EQ(order[132], "GX_setPalette");
}

INSTANTIATE_TEST_SUITE_P(Screens, PaletteFade,
                         ::testing::Values(FadeLayout{"320 wide", 320, 200, 40}, FadeLayout{"361 wide", 361, 240, 40},
                                           FadeLayout{"362 wide", 362, 240, 80}, FadeLayout{"640 wide", 640, 480, 80}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(PaletteFadeKeys, EscBeforeTheFadeDoesNotStopIt)
{
    setMode({640, 480, 8, 2});
    answerPrompts({KEY_ESC, 'n'});
    EXPECT_EQ(paletteFadeTest(256), 'n');
    EXPECT_EQ(fake::display().paletteLoads.size(), 130u);
}

TEST(PaletteFadeKeys, EscAfterTheFadeEndsWithTheDefaultPaletteLoaded)
{
    setMode({640, 480, 8, 2});
    answerPrompts({' ', KEY_ESC});
    EXPECT_EQ(paletteFadeTest(7), KEY_ESC);
    EXPECT_EQ(fake::display().palette, fake::display().defaultPalette);
    EXPECT_EQ(fake::callNames().back(), "GX_setPalette");
    EXPECT_EQ(argsOf("GX_setPalette")[1], (std::vector<int64_t>{0, 256, 7})) << "the pace is passed through";
}

// ---- wideDacTest ----

TEST(WideDac, SkippedWithAnAcceleratorWithoutTouchingTheDac)
{
    setMode({640, 480, 8, 2});
    fake::display().context.accel = &fake::display().accelContext;
    EXPECT_EQ(wideDacTest(), 0);
    EXPECT_TRUE(fake::calls().empty());
}

TEST(WideDac, SkippedWhenTheDacCannotSwitchToEightBits)
{
    setMode({640, 480, 8, 2});
    fake::setResult("VBE_setDACWidth", 0);
    EXPECT_EQ(wideDacTest(), 0);
    EXPECT_EQ(callLines(), (std::vector<std::string>{"VBE_setDACWidth(8)"}));
}

// Only an 8-bit mode runs the test, but a white outside the palette must not be written past it.
TEST(WideDac, WhiteOutsideThePaletteLeavesTheRampsAlone)
{
    setMode({640, 480, 8, 2});
    fake::display().context.defaultColor = 0x7FFF;
    answerPrompts({' '});
    EXPECT_EQ(wideDacTest(), ' ');
    ASSERT_EQ(fake::display().paletteLoads.size(), 1u);
    const auto& loaded = fake::display().paletteLoads[0];
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(loaded[i], rgb(0, 0, 0)) << "entry " << i;
        EXPECT_EQ(loaded[192 + i], rgb(0, 0, 4 * i)) << "entry " << 192 + i;
    }
}

struct DacLayout {
    const char* what;
    int width, height;
    uint32_t white;                  // defaultColor
    std::vector<std::string> texts;  // "x,y text"
    int bandsX, bandsY;              // top left of the bands
};

class WideDac : public ::testing::TestWithParam<DacLayout> {};

TEST_P(WideDac, ShowsThreeSixtyFourStepBandsOnAnEightBitDac)
{
    const DacLayout& c = GetParam();
    setMode({c.width, c.height, 8, 2});
    fake::display().context.defaultColor = c.white;
    answerPrompts({KEY_ESC});

    EXPECT_EQ(wideDacTest(), KEY_ESC);

    // The DAC goes to 8 bits first and back to 6 last, after the key, even on Esc.
    const auto names = fake::callNames();
    EXPECT_EQ(callLines().front(), "VBE_setDACWidth(8)");
    EXPECT_EQ(callLines().back(), "VBE_setDACWidth(6)");
    EXPECT_EQ(names[names.size() - 2], "PL_haltEvent");
    EXPECT_EQ(fake::display().dacBits, 6);

    // The palette, loaded unscaled: black, red, green, blue ramps, with white at defaultColor.
    ASSERT_EQ(argsOf("VBE_setPalette"), (std::vector<std::vector<int64_t>>{{0, 256, 0}}));
    ASSERT_EQ(fake::display().paletteLoads.size(), 1u);
    std::vector<PaletteEntry> expected(256);
    for (int i = 0; i < 64; ++i) {
        expected[64 + i] = rgb(4 * i, 0, 0);
        expected[128 + i] = rgb(0, 4 * i, 0);
        expected[192 + i] = rgb(0, 0, 4 * i);
    }
    expected[c.white] = rgb(255, 255, 255);
    EXPECT_EQ(fake::display().paletteLoads[0], expected);

    // Cleared, then the border, then the texts, then the bands, each set of lines bracketed.
    EXPECT_EQ(names[2], "GX_clear");
    const auto lines = argsOf("GX_lineFast");
    ASSERT_EQ(lines.size(), 4u + 3 * 192);
    const int64_t maxX = c.width - 1, maxY = c.height - 1, w = c.white;
    EXPECT_EQ(std::vector(lines.begin(), lines.begin() + 4),
              (std::vector<std::vector<int64_t>>{
                  {0, 0, maxX, 0, w}, {0, 0, 0, maxY, w}, {maxX, 0, maxX, maxY, w}, {0, maxY, maxX, maxY, w}}));
    EXPECT_EQ(fake::countOf("GX_beginLine"), 2u);
    EXPECT_EQ(fake::countOf("GX_endLine"), 2u);

    std::vector<std::string> texts;
    for (const fake::Call& call : fake::callsNamed("GX_writeText")) {
        EXPECT_EQ(call.args[2], w) << call.text;
        texts.push_back(std::to_string(call.args[0]) + "," + std::to_string(call.args[1]) + " " + call.text);
    }
    EXPECT_EQ(texts, c.texts);

    for (int i = 0; i < 192; ++i) {
        const int64_t x = c.bandsX + i, y = c.bandsY, shade = i / 3;
        EXPECT_EQ(lines[4 + 3 * i], (std::vector<int64_t>{x, y, x, y + 32, 64 + shade})) << "red, column " << i;
        EXPECT_EQ(lines[5 + 3 * i], (std::vector<int64_t>{x, y + 32, x, y + 64, 128 + shade})) << "green, column " << i;
        EXPECT_EQ(lines[6 + 3 * i], (std::vector<int64_t>{x, y + 64, x, y + 96, 192 + shade})) << "blue, column " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, WideDac,
    ::testing::Values(DacLayout{"320 wide: heading only", 320, 200, 15, {"40,40 Wide DAC test"}, 40, 72},
                      DacLayout{"640 wide: heading and both messages",
                                640,
                                480,
                                15,
                                {"80,80 Wide DAC test", "80,112 You should see a smooth transition of colors",
                                 "80,128 If the colors are broken into 4 lots, the wide DAC is not working"},
                                80,
                                160},
                      DacLayout{
                          "white inside the blue ramp wins over it", 320, 240, 255, {"40,40 Wide DAC test"}, 40, 72}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
