// The moire fan, its border and colours, and the text layouts of the moire screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "app/globals.h"
#include "fake/fake.h"
#include "tests/moire.h"
#include "tests/test_run.h"

namespace {

struct Line {
    int64_t x1, y1, x2, y2, color;
    bool operator==(const Line&) const = default;
};

std::vector<Line> linesDrawn()
{
    std::vector<Line> lines;
    for (const fake::Call& call : fake::callsNamed("GX_lineFast"))
        lines.push_back(Line{call.args[0], call.args[1], call.args[2], call.args[3], call.args[4]});
    return lines;
}

size_t fanLineCount(const std::vector<Line>& lines, int64_t cx, int64_t cy)
{
    return static_cast<size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const Line& l) { return l.x1 == cx && l.y1 == cy; }));
}

// The colour each fan end point shows: the last line drawn to it (all start at the centre).
std::map<std::pair<int64_t, int64_t>, int64_t> fanColors(const std::vector<Line>& lines, int64_t cx, int64_t cy)
{
    std::map<std::pair<int64_t, int64_t>, int64_t> colors;
    for (const Line& line : lines)
        if (line.x1 == cx && line.y1 == cy)
            colors[{line.x2, line.y2}] = line.color;
    return colors;
}

class Moire : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::reset();
        displayContext = &fake::display().context;
    }
    void setMode(int width, int height, int bitsPerPixel)
    {
        fake::setModeShape(width, height, bitsPerPixel, 2);
        fake::calls().clear();
    }
};

TEST_F(Moire, DrawsEveryLineInOneBracketWithTheBorderLast)
{
    for (int bits : {4, 8, 32}) {
        SetUp();
        setMode(640, 480, bits);
        drawMoire(7);

        auto names = fake::callNames();
        names.erase(std::remove(names.begin(), names.end(), "GX_rgbColor"), names.end());
        ASSERT_GE(names.size(), 6u);
        EXPECT_EQ(names.front(), "GX_beginLine") << bits;
        EXPECT_EQ(names.back(), "GX_endLine") << bits;
        EXPECT_EQ(std::count(names.begin(), names.end(), "GX_lineFast"), static_cast<long>(names.size() - 2)) << bits;

        const auto lines = linesDrawn();
        const std::vector<Line> border(lines.end() - 4, lines.end());
        EXPECT_EQ(border, (std::vector<Line>{
                              {0, 0, 639, 0, 7}, {0, 0, 0, 479, 7}, {639, 0, 639, 479, 7}, {0, 479, 639, 479, 7}}))
            << bits;
        EXPECT_EQ(fanLineCount(lines, 319, 239), lines.size() - 4) << bits;
        const auto fan = fanColors(lines, 319, 239);
        EXPECT_FALSE(fan.contains({639, 479})) << bits << ": no fan line ends in the far corner";
    }
}

TEST_F(Moire, PaletteModesStepByFiveAndNeverUseTheLastIndex)
{
    struct Case {
        const char* what;
        int bits;
        int width, height;
        std::vector<std::pair<std::pair<int64_t, int64_t>, int64_t>> colorAt;
        size_t fanLines;
    };
    const Case cases[] = {
        {"8-bit",
         8,
         640,
         480,
         {{{0, 0}, 2},
          {{0, 479}, 1},
          {{255, 0}, 0},
          {{260, 0}, 5},
          {{255, 479}, 1},
          {{0, 5}, 7},
          {{639, 5}, 8},
          {{0, 255}, 2},
          {{639, 255}, 3},
          {{635, 0}, 125}},
         2 * 128 + 2 * 96},
        {"4-bit",
         4,
         800,
         600,
         {{{15, 0}, 0}, {{15, 599}, 1}, {{0, 15}, 2}, {{799, 15}, 3}, {{10, 0}, 10}},
         2 * 160 + 2 * 120},
    };
    for (const Case& c : cases) {
        SetUp();
        setMode(c.width, c.height, c.bits);
        drawMoire(fake::display().context.defaultColor);

        const auto lines = linesDrawn();
        EXPECT_EQ(fanLineCount(lines, (c.width - 1) / 2, (c.height - 1) / 2), c.fanLines) << c.what;
        const auto fan = fanColors(lines, (c.width - 1) / 2, (c.height - 1) / 2);
        for (const auto& [end, color] : c.colorAt) {
            ASSERT_TRUE(fan.contains(end)) << c.what << " " << end.first << "," << end.second;
            EXPECT_EQ(fan.at(end), color) << c.what << " " << end.first << "," << end.second;
        }
        const int64_t maxColor = fake::display().context.maxColor;
        for (const auto& [end, color] : fan)
            EXPECT_LT(color, maxColor) << c.what << " " << end.first << "," << end.second;
    }
}

// A palette mode whose largest pixel value reads 0 would divide by zero.
TEST_F(Moire, APaletteModeWithoutColoursDrawsItsFanInColourZero)
{
    setMode(320, 200, 8);
    fake::display().context.maxColor = 0;
    drawMoire(9);
    const auto lines = linesDrawn();
    ASSERT_EQ(lines.size(), size_t{2 * 64 + 2 * 40 + 4});
    for (size_t i = 0; i + 4 < lines.size(); ++i)
        EXPECT_EQ(lines[i].color, 0) << i;
}

TEST_F(Moire, DirectColourModesRampEveryEdge)
{
    struct Case {
        const char* what;
        int bits;
        std::vector<std::pair<std::pair<int64_t, int64_t>, uint32_t>> colorAt;
    };
    // 640 x 480: r = x * 255 / 639 along the top and bottom, b = y * 255 / 479 down the sides.
    const Case cases[] = {
        {"32-bit",
         32,
         {{{1, 0}, 0x000000},
          {{638, 0}, 0xFE0000},
          {{100, 479}, 0x002700},
          {{0, 0}, 0x0000FF},
          {{0, 240}, 0x7F0080},
          {{639, 0}, 0x00FF00},
          {{639, 478}, 0x0001FE}}},
        {"15-bit takes the direct pattern too", 15, {{{638, 0}, 0x7C00}, {{0, 240}, (15u << 10) | 16u}}},
    };
    for (const Case& c : cases) {
        SetUp();
        setMode(640, 480, c.bits);
        drawMoire(1);

        const auto lines = linesDrawn();
        EXPECT_EQ(fanLineCount(lines, 319, 239), size_t{2 * 639 + 2 * 479}) << c.what;
        const auto fan = fanColors(lines, 319, 239);
        for (const auto& [end, color] : c.colorAt) {
            ASSERT_TRUE(fan.contains(end)) << c.what << " " << end.first << "," << end.second;
            EXPECT_EQ(fan.at(end), color) << c.what << " " << end.first << "," << end.second;
        }
    }
}

struct LayoutCase {
    const char* what;
    int width, height;
    int32_t mode;
    int32_t virtualLfbActive;
    std::vector<fake::TextItem> expected;
};

// Test listings name a case by what it shows.
void PrintTo(const LayoutCase& c, std::ostream* out)
{
    *out << c.what;
}

class MoireLayout : public Moire, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(MoireLayout, WritesItsLinesAtTheirPlacesAndReturnsTheKey)
{
    const LayoutCase& c = GetParam();
    setMode(c.width, c.height, 8);
    fake::display().context.virtualLfbActive = c.virtualLfbActive;
    currentMode = c.mode;
    fake::pushKey(KEY_ESC);

    EXPECT_EQ(moireTest(), KEY_ESC);

    const auto& texts = fake::display().texts;
    ASSERT_EQ(texts.size(), c.expected.size()) << c.what;
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i].text, c.expected[i].text) << c.what;
        EXPECT_EQ(texts[i].x, c.expected[i].x) << c.what << ": " << texts[i].text;
        EXPECT_EQ(texts[i].y, c.expected[i].y) << c.what << ": " << texts[i].text;
        EXPECT_EQ(texts[i].color, fake::display().context.defaultColor) << c.what;
    }
    // Everything is on the screen before the wait.
    const auto names = fake::callNames({"GX_endLine", "GX_writeText", "PL_haltEvent"});
    EXPECT_EQ(names.front(), "GX_endLine");
    EXPECT_EQ(names.back(), "PL_haltEvent");
}

fake::TextItem at(int x, int y, const char* text)
{
    return fake::TextItem{0, x, y, text, 0};
}

constexpr const char* PRESS = "Press any key to continue";
constexpr const char* HEADING = "Bank switching test";
constexpr const char* MOIRE = "You should see a colorful Moire pattern on the screen";

INSTANTIATE_TEST_SUITE_P(
    Screens, MoireLayout,
    ::testing::Values(
        LayoutCase{"320 x 200", 320, 200, 0x13, 0, {at(40, 40, "Video mode: 320 x 200 8 bit"), at(40, 56, PRESS)}},
        LayoutCase{
            "320 x 200 through the linear framebuffer",
            320,
            200,
            0x4013,
            0,
            {at(40, 40, "Video mode: 320 x 200 8 bit"), at(40, 56, "Using linear frame buffer"), at(40, 72, PRESS)}},
        LayoutCase{"513 wide is still narrow",
                   513,
                   400,
                   0x100,
                   0,
                   {at(40, 40, "Video mode: 513 x 400 8 bit"), at(40, 56, PRESS)}},
        LayoutCase{"640 x 480",
                   640,
                   480,
                   0x101,
                   0,
                   {at(80, 80, HEADING), at(80, 112, "Video mode: 640 x 480 8 bit"),
                    at(80, 128, "Maximum x: 639, Maximum y: 479, BytesPerLine 640, Pages: 2"), at(80, 160, MOIRE),
                    at(80, 176, PRESS)}},
        LayoutCase{"640 x 480 on the virtualised framebuffer",
                   640,
                   480,
                   0x101,
                   1,
                   {at(80, 80, HEADING), at(80, 112, "Video mode: 640 x 480 8 bit"),
                    at(80, 128, "Using *virtual* linear frame buffer"),
                    at(80, 144, "Maximum x: 639, Maximum y: 479, BytesPerLine 640, Pages: 2"), at(80, 176, MOIRE),
                    at(80, 192, PRESS)}},
        LayoutCase{"the hardware framebuffer wins over a virtualised one",
                   514,
                   400,
                   0x4101,
                   1,
                   {at(80, 80, HEADING), at(80, 112, "Video mode: 514 x 400 8 bit"),
                    at(80, 128, "Using linear frame buffer"),
                    at(80, 144, "Maximum x: 513, Maximum y: 399, BytesPerLine 514, Pages: 2"), at(80, 176, MOIRE),
                    at(80, 192, PRESS)}}));

}  // namespace
