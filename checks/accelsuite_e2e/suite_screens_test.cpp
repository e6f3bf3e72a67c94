// The accelerator suite on the real machine: headless runs of the palisade binary whose
// screens are written as PNGs at chosen key waits and checked pixel by pixel against what
// the suite draws there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "accel/cursor_test.h"
#include "checks/support/headless_palisade.h"
#include "display/palette.h"

namespace accele2e {
namespace {

using ScreenShot = harness::Picture;

ScreenShot loadScreenShot(const std::string& path, std::string& error)
{
    return harness::readPng(path, error);
}

// 640x480: grid units, the inset clip of the second pass, the blit block.
constexpr int W = 640, H = 480, U = 13, V = 9;
constexpr int CLIP_LEFT = 50, CLIP_TOP = 50, CLIP_RIGHT = W - 1 - 50, CLIP_BOTTOM = H - 1 - 50;
constexpr int BW = W / 8, BH = H / 6;
constexpr uint32_t BLACK = 0x000000;

// The word THE, 12 rows of 5 bytes, as the image test tiles it.
constexpr uint8_t monoImage[12][5] = {
    {0xFF, 0xDE, 0x7B, 0xFE, 0x00}, {0xFF, 0xCC, 0x31, 0xFE, 0x00}, {0x8C, 0x4C, 0x31, 0x82, 0x00},
    {0x0C, 0x0C, 0x31, 0x80, 0x00}, {0x0C, 0x0C, 0x31, 0x90, 0x00}, {0x0C, 0x0F, 0xF1, 0xF0, 0x00},
    {0x0C, 0x0F, 0xF1, 0xF0, 0x00}, {0x0C, 0x0C, 0x31, 0x90, 0x00}, {0x0C, 0x0C, 0x31, 0x80, 0x00},
    {0x0C, 0x0C, 0x31, 0x82, 0x00}, {0x0C, 0x0C, 0x31, 0xFE, 0x00}, {0x1E, 0x1E, 0x7B, 0xFE, 0x00},
};
constexpr uint8_t fillPattern[8] = {0xF8, 0x74, 0x22, 0x47, 0x8F, 0x17, 0x22, 0x71};

uint32_t paletteRgb(int index)
{
    const PaletteEntry& e = display::defaultPalette()[index & 0xFF];
    return uint32_t(e.red) << 16 | uint32_t(e.green) << 8 | e.blue;
}

// How a colour depth shows the suite's colour indices.
struct Depth {
    const char* name;
    int radio;  // the main dialog's depth button
    int bytesPerPixel;
    int tolerance;  // per component: an 8-bit mode goes through the 6-bit DAC
    bool palette;

    uint32_t colour(int index) const { return paletteRgb(index); }
    // The XOR screen: palette modes XOR the index, direct-colour modes the pixel value.
    uint32_t xorOf(int index) const { return palette ? colour(index ^ 255) : colour(index) ^ colour(255); }
    bool same(uint32_t shown, uint32_t expected) const
    {
        for (int shift : {0, 8, 16}) {
            const int a = int(shown >> shift & 0xFF), b = int(expected >> shift & 0xFF);
            if (std::abs(a - b) > tolerance)
                return false;
        }
        return true;
    }
    // Whether a colour index is stored as pixel value 0: in a palette mode only index 0 (and
    // 256, cut to a byte), not the black-looking entries 248 to 255; in a direct-colour mode
    // every black entry.
    bool pixelValueIsZero(int index) const { return palette ? (index & 0xFF) == 0 : colour(index) == 0; }
    // The screen line where the linear copies' source offset (100 x W bytes) falls.
    int linearSourceLine() const { return 100 / bytesPerPixel; }
};

void PrintTo(const Depth& depth, std::ostream* out)
{
    *out << depth.name;
}

const Depth depth8{"8 bit", 116, 1, 4, true};
const Depth depth32{"32 bit", 117, 4, 0, false};

std::string hex(uint32_t rgb)
{
    std::ostringstream out;
    out << "#" << std::hex << std::uppercase << rgb;
    return out.str();
}

// Compares a region pixel by pixel; reports the count and the first few mismatches.
class PixelCheck {
public:
    PixelCheck(const Depth& depth, const std::string& what) : depth_(depth), what_(what) {}

    void expect(const ScreenShot& shot, int x, int y, uint32_t expected)
    {
        ++checked_;
        const uint32_t shown = shot.at(x, y);
        if (depth_.same(shown, expected))
            return;
        if (++wrong_ <= 5)
            first_ << "\n  (" << x << ", " << y << ") shows " << hex(shown) << ", expected " << hex(expected);
    }

    ~PixelCheck()
    {
        EXPECT_EQ(wrong_, 0) << what_ << ": " << wrong_ << " of " << checked_ << " pixels differ" << first_.str();
        EXPECT_GT(checked_, 0) << what_;
    }

private:
    const Depth& depth_;
    std::string what_;
    int checked_ = 0;
    int wrong_ = 0;
    std::ostringstream first_;
};

// ---- The runs ----------------------------------------------------------------------------

// Keys before the suite: the moire and page-flipping screens (the palette and scrolling
// tests are switched off in the dialog).
constexpr int SUITE_FIRST_KEY = 3;
constexpr int KEYS_PER_PASS = 26;

struct RunResult {
    int exitStatus = -1;
    std::string shots;   // the directory of named pictures
    std::string output;  // what palisade wrote to stdout and stderr
    std::string dir;     // the program's folder
};

std::vector<std::string> openTestRun(const Depth& depth)
{
    return {"click " + std::to_string(depth.radio),
            "select 114 640 x 480",
            "click 111",
            "click 110",
            "click 109",
            "click 121"};
}

// Space at suite keys first..last (0 = the first grid), with a picture at the named keys.
void pressSuiteKeys(std::vector<std::string>& script, int first, int last, const std::map<int, std::string>& shots)
{
    for (int key = first; key <= last; ++key) {
        if (auto named = shots.find(key); named != shots.end())
            script.push_back("shot " + named->second);
        script.push_back("key Space");
    }
}

// Each run in a folder of its own under the build's runs/, kept for a look at its pictures.
RunResult runPalisade(const std::string& name, const std::string& machine, const std::vector<std::string>& script,
                      const std::vector<std::string>& arguments = {})
{
    harness::HeadlessOptions options;
    options.machine = machine;
    options.extraArguments = arguments;
    for (const std::string& line : script)
        options.script += line + "\n";
    options.folder = (std::filesystem::path(ACCELSUITE_E2E_WORK_DIR) / name).string();
    const harness::HeadlessRun run = harness::runHeadless(options);
    return RunResult{run.exitStatus, run.shots(), run.out + run.err, run.dir};
}

// Both passes and the cursor, pictures at the screens the checks look at.
const std::map<int, std::string> fullRunShots = {
    {0, "grid"},         {1, "xor"},           {2, "pattrect"},
    {3, "scan"},         {4, "pattscan"},      {5, "scanlist"},
    {6, "trap"},         {7, "lines"},         {8, "stipple"},
    {9, "image"},        {14, "scrollgrid"},   {15, "scrolled"},
    {16, "bitbltlin0"},  {17, "bitbltlin"},    {18, "srctrans0"},
    {19, "srctrans"},    {20, "srctranslin0"}, {21, "srctranslin"},
    {22, "dsttrans0"},   {23, "dsttrans"},     {24, "dsttranslin0"},
    {25, "dsttranslin"}, {26, "grid2"},        {28, "pattrect2"},
    {32, "trap2"},       {33, "lines2"},       {2 * KEYS_PER_PASS, "cursorgrid"},
};

constexpr int MOUSE_X = 300, MOUSE_Y = 200;

// The DISPI card, or the GD5446 as the `cirrus` preset has it (the LGPL BIOS with Kestrel
// installed over it), with the I/O log in io.log and the verdict, which draws every operation
// again in software beside the card.
enum class Card { Dispi, Cirrus };

const RunResult& fullRun(const Depth& depth, Card card = Card::Dispi)
{
    static std::map<std::pair<std::string, Card>, RunResult> runs;
    const auto key = std::make_pair(std::string(depth.name), card);
    auto found = runs.find(key);
    if (found != runs.end())
        return found->second;
    std::vector<std::string> script = openTestRun(depth);
    script.insert(script.end(), SUITE_FIRST_KEY - 1, "key Space");
    pressSuiteKeys(script, 0, 2 * KEYS_PER_PASS, fullRunShots);
    // The cursor follows the mouse until a key, hides, and a second key ends the run.
    const std::vector<std::string> cursor = {"mouse " + std::to_string(MOUSE_X) + " " + std::to_string(MOUSE_Y),
                                             "wait 50",
                                             "shot cursor",
                                             "key Space",
                                             "shot hidden",
                                             "key Space",
                                             "shot back",
                                             "key Esc"};
    script.insert(script.end(), cursor.begin(), cursor.end());
    std::string name = std::string(card == Card::Cirrus ? "cirrus-" : "full-") + depth.name;
    std::replace(name.begin(), name.end(), ' ', '-');
    if (card == Card::Cirrus)
        return runs[key] = runPalisade(name, "cirrus", script, {"--io-log", "io.log", "--verdict"});
    return runs[key] = runPalisade(name, "default", script);
}

class SuiteScreens : public ::testing::TestWithParam<Depth> {
protected:
    void SetUp() override
    {
        const RunResult& run = fullRun(GetParam());
        ASSERT_EQ(run.exitStatus, 0) << run.output;
    }

    ScreenShot shot(const std::string& name)
    {
        std::string error;
        ScreenShot picture = loadScreenShot(fullRun(GetParam()).shots + "/" + name + ".png", error);
        EXPECT_TRUE(error.empty()) << error;
        if (picture.width != 0) {
            EXPECT_EQ(picture.width, W) << name;
            EXPECT_EQ(picture.height, H) << name;
        }
        return picture;
    }

    const Depth& depth() const { return GetParam(); }
};

// Calls check(x, y, n, column) for every pixel of every cell.
void forEachCellPixel(const std::function<void(int x, int y, int n, int row, int column)>& check)
{
    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 16; ++column)
            for (int y = V + 3 * V * row; y < V + 3 * V * row + 2 * V; ++y)
                for (int x = U + 3 * U * column; x < U + 3 * U * column + 2 * U && x < W; ++x)
                    check(x, y, 1 + 16 * row + column, row, column);
}

// The colour index of the grid cell at (x, y), 0 between the cells.
int gridIndexAt(int x, int y)
{
    const int column = (x - U) / (3 * U), row = (y - V) / (3 * V);
    if (x < U || y < V || column > 15 || row > 15)
        return 0;
    const bool inCell = (x - U) % (3 * U) < 2 * U && (y - V) % (3 * V) < 2 * V;
    return inCell ? 1 + 16 * row + column : 0;
}

bool patternBit(int x, int y)
{
    return fillPattern[y & 7] & (0x80 >> (x & 7));
}

bool insideClip(int x, int y)
{
    return x >= CLIP_LEFT && x <= CLIP_RIGHT && y >= CLIP_TOP && y <= CLIP_BOTTOM;
}

// ---- The first pass ----------------------------------------------------------------------

TEST_P(SuiteScreens, GridShowsColours1To255InItsCellsOnBlack)
{
    const ScreenShot grid = shot("grid");
    ASSERT_EQ(grid.width, W);
    PixelCheck cells(depth(), "grid cells");
    forEachCellPixel([&](int x, int y, int n, int, int) {
        if (n < 256)
            cells.expect(grid, x, y, depth().colour(n));
    });
    PixelCheck gaps(depth(), "between the cells");
    for (int y = 0; y < H; ++y)
        gaps.expect(grid, 1 + 3 * U * 0 + 2 * U + U - 1, y, BLACK);  // the column gap after cell 0
    for (int x = 0; x < W; ++x)
        gaps.expect(grid, x, V + 2 * V, BLACK);
    if (!depth().palette) {
        // Index 256, one past the palette, maps to index 0's colour.
        PixelCheck last(depth(), "cell 256");
        last.expect(grid, U + 45 * U + U, V + 45 * V + V, BLACK);
    }
}

TEST_P(SuiteScreens, XorScreenInvertsTheGridWithColour255)
{
    const ScreenShot grid = shot("xor");
    ASSERT_EQ(grid.width, W);
    PixelCheck cells(depth(), "XORed cells");
    forEachCellPixel([&](int x, int y, int n, int, int) {
        if (n < 256)
            cells.expect(grid, x, y, depth().xorOf(n));
    });
    PixelCheck background(depth(), "XORed background");
    background.expect(grid, 0, 0, depth().xorOf(0));
    background.expect(grid, W - 1, H - 1, depth().xorOf(0));
}

TEST_P(SuiteScreens, PatternCellsPaintClearBitsOnlyInOddColumns)
{
    const ScreenShot rects = shot("pattrect");
    const ScreenShot scans = shot("pattscan");
    ASSERT_EQ(rects.width, W);
    ASSERT_EQ(scans.width, W);
    PixelCheck rectCells(depth(), "pattern rectangles");
    PixelCheck scanCells(depth(), "pattern scans");
    forEachCellPixel([&](int x, int y, int n, int row, int column) {
        if (n == 256)
            return;
        const uint32_t clearBits = depth().colour(column % 2 == 0 ? 1 : 2);
        const uint32_t expected = patternBit(x, y) ? depth().colour(n) : clearBits;
        rectCells.expect(rects, x, y, expected);
        // Pattern scans fill every other line; the lines between keep the colour-1 screen.
        scanCells.expect(scans, x, y, (y - (V + 3 * V * row)) % 2 == 0 ? expected : depth().colour(1));
    });
    PixelCheck background(depth(), "pattern screens' background");
    for (const ScreenShot* picture : {&rects, &scans})
        for (int x = 0; x < W; x += 7)
            background.expect(*picture, x, 0, depth().colour(1));
}

TEST_P(SuiteScreens, ScanCellsAreEveryOtherLineOnBlack)
{
    const ScreenShot scans = shot("scan");
    ASSERT_EQ(scans.width, W);
    PixelCheck cells(depth(), "scan cells");
    forEachCellPixel([&](int x, int y, int n, int row, int) {
        if (n < 256)
            cells.expect(scans, x, y, (y - (V + 3 * V * row)) % 2 == 0 ? depth().colour(n) : BLACK);
    });
}

TEST_P(SuiteScreens, ScanListThenTrapezoidDrawnOverIt)
{
    const ScreenShot list = shot("scanlist");
    const ScreenShot trap = shot("trap");
    ASSERT_EQ(list.width, W);
    ASSERT_EQ(trap.width, W);
    const uint32_t c1 = depth().colour(1), c2 = depth().colour(2);
    PixelCheck scanList(depth(), "scan list");
    scanList.expect(list, 150, 10, c1);    // line 10: 100..200
    scanList.expect(list, 82, 13, c1);     // line 13: 80..230
    scanList.expect(list, 82, 14, BLACK);  // line 14: 85..230
    scanList.expect(list, 125, 19, c1);    // line 19: 120..130
    scanList.expect(list, 150, 9, BLACK);
    scanList.expect(list, 150, 20, BLACK);
    scanList.expect(list, 120, 40, BLACK);
    PixelCheck trapezoid(depth(), "trapezoid over the scan list");
    trapezoid.expect(trap, 150, 10, c1);  // the scan list stays
    trapezoid.expect(trap, 120, 30, c2);
    trapezoid.expect(trap, 60, 129, c2);   // the left edge has moved to 50.5
    trapezoid.expect(trap, 170, 129, c2);  // the right edge to 174.75
    trapezoid.expect(trap, 45, 129, BLACK);
    trapezoid.expect(trap, 180, 129, BLACK);
    trapezoid.expect(trap, 120, 131, BLACK);
}

TEST_P(SuiteScreens, FansEndInAWhiteFrameSolidOrStippled)
{
    const ScreenShot solid = shot("lines");
    const ScreenShot stippled = shot("stipple");
    ASSERT_EQ(solid.width, W);
    ASSERT_EQ(stippled.width, W);
    PixelCheck frame(depth(), "solid frame");
    for (int x = 0; x < W; ++x) {
        frame.expect(solid, x, 0, depth().colour(15));
        frame.expect(solid, x, H - 1, depth().colour(15));
    }
    for (int y = 0; y < H; ++y) {
        frame.expect(solid, 0, y, depth().colour(15));
        frame.expect(solid, W - 1, y, depth().colour(15));
    }
    // The stippled frame: its clear bits are painted black, so only white and black show.
    int white = 0, black = 0, other = 0;
    for (int x = 0; x < W; ++x) {
        const uint32_t shown = stippled.at(x, 0);
        white += depth().same(shown, depth().colour(15));
        black += depth().same(shown, BLACK);
        other += !depth().same(shown, depth().colour(15)) && !depth().same(shown, BLACK);
    }
    EXPECT_GT(white, W / 4);
    EXPECT_GT(black, W / 4);
    EXPECT_EQ(other, 0);
}

TEST_P(SuiteScreens, ImageTilesTheScreenWithTheWordThe)
{
    const ScreenShot image = shot("image");
    ASSERT_EQ(image.width, W);
    PixelCheck tiles(depth(), "image tiles");
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int tileX = x / 40 * 40, tileY = y / 17 * 17, row = y - tileY, column = x - tileX;
            const bool set = row < 12 && (monoImage[row][column / 8] & (0x80 >> (column % 8)));
            tiles.expect(image, x, y, set ? depth().colour((tileX + tileY) % 16) : BLACK);
        }
}

TEST_P(SuiteScreens, ScrollingCopiesMoveTheGridRightAndDownBy300)
{
    const ScreenShot grid = shot("scrollgrid");
    const ScreenShot scrolled = shot("scrolled");
    ASSERT_EQ(grid.width, W);
    ASSERT_EQ(scrolled.width, W);
    // Sixty copies of 5 pixels each, every one overlapping its source.
    PixelCheck moved(depth(), "scrolled grid");
    for (int y = 300; y < H; ++y)
        for (int x = 300; x < W; ++x)
            moved.expect(scrolled, x, y, grid.at(x - 300, y - 300));
}

struct DiagonalCase {
    const char* name;
    bool linearSource;
    enum { Plain, SourceTransparent, DestinationTransparent } rule;
};

TEST_P(SuiteScreens, DiagonalCopiesStampTheBlockSixTimes)
{
    const DiagonalCase cases[] = {
        {"bitbltlin", true, DiagonalCase::Plain},
        {"srctrans", false, DiagonalCase::SourceTransparent},
        {"srctranslin", true, DiagonalCase::SourceTransparent},
        {"dsttrans", false, DiagonalCase::DestinationTransparent},
        {"dsttranslin", true, DiagonalCase::DestinationTransparent},
    };
    for (const DiagonalCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ScreenShot before = shot(std::string(c.name) + "0");
        const ScreenShot after = shot(c.name);
        ASSERT_EQ(before.width, W);
        ASSERT_EQ(after.width, W);

        // The source block: three nested squares in colours 15, 12 and 9.
        PixelCheck block(depth(), std::string(c.name) + " source block");
        block.expect(before, 5, 5, depth().colour(15));
        block.expect(before, 15, 15, depth().colour(12));
        block.expect(before, 40, 40, depth().colour(9));

        PixelCheck copies(depth(), std::string(c.name) + " copies");
        std::vector<bool> covered(size_t(W) * H, false);
        const int sourceTop = c.linearSource ? depth().linearSourceLine() : 0;
        for (int i = 0; i < 6; ++i) {
            const int dx = (i + 1) * BW, dy = i * BW;
            for (int y = 0; y < BH && dy + y < H; ++y)
                for (int x = 0; x < BW && dx + x < W; ++x) {
                    const uint32_t source = before.at(x, sourceTop + y), under = before.at(dx + x, dy + y);
                    uint32_t expected = source;
                    if (c.rule == DiagonalCase::SourceTransparent && depth().same(source, depth().colour(9)))
                        expected = under;
                    if (c.rule == DiagonalCase::DestinationTransparent &&
                        !depth().pixelValueIsZero(gridIndexAt(dx + x, dy + y)))
                        expected = under;
                    copies.expect(after, dx + x, dy + y, expected);
                    covered[size_t(dy + y) * W + dx + x] = true;
                }
        }
        PixelCheck rest(depth(), std::string(c.name) + " outside the copies");
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (!covered[size_t(y) * W + x])
                    rest.expect(after, x, y, before.at(x, y));
    }
}

// ---- The second pass, under the inset clip rectangle ---------------------------------------

TEST_P(SuiteScreens, SecondPassDrawsOnlyInsideTheInsetClip)
{
    const char* names[] = {"grid2", "pattrect2", "trap2", "lines2"};
    for (const char* name : names) {
        const ScreenShot picture = shot(name);
        ASSERT_EQ(picture.width, W) << name;
        PixelCheck outside(depth(), std::string(name) + " outside the clip");
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (!insideClip(x, y))
                    outside.expect(picture, x, y, BLACK);
    }
    const ScreenShot grid = shot("grid2");
    PixelCheck cells(depth(), "clipped grid cells");
    forEachCellPixel([&](int x, int y, int n, int, int) {
        if (n < 256 && insideClip(x, y))
            cells.expect(grid, x, y, depth().colour(n));
    });
    const ScreenShot trap = shot("trap2");
    PixelCheck trapezoid(depth(), "clipped trapezoid");
    trapezoid.expect(trap, 120, 45, BLACK);
    trapezoid.expect(trap, 120, 55, depth().colour(2));
}

// ---- The hardware cursor -------------------------------------------------------------------

TEST_P(SuiteScreens, CursorArrowFollowsTheMouseThenHides)
{
    const ScreenShot under = shot("cursorgrid");
    const ScreenShot tracking = shot("cursor");
    const ScreenShot hidden = shot("hidden");
    ASSERT_EQ(under.width, W);
    ASSERT_EQ(tracking.width, W);
    ASSERT_EQ(hidden.width, W);
    const int left = MOUSE_X - arrowCursor.hotX, top = MOUSE_Y - arrowCursor.hotY;
    PixelCheck arrow(depth(), "the arrow at the mouse");
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int row = y - top, column = x - left;
            uint32_t expected = under.at(x, y);
            if (row >= 0 && row < 32 && column >= 0 && column < 32) {
                const int byte = row * 4 + column / 8, bit = 0x80 >> (column % 8);
                if (arrowCursor.secondMask[byte] & bit)
                    expected = (arrowCursor.firstMask[byte] & bit) ? 0xFFFFFF : BLACK;
            }
            arrow.expect(tracking, x, y, expected);
        }
    EXPECT_EQ(hidden.pixels, under.pixels) << "the hidden cursor leaves the picture as it was";
}

TEST_P(SuiteScreens, RunReturnsToTheDialogAfterTheCursor)
{
    std::string error;
    const ScreenShot back = loadScreenShot(fullRun(depth()).shots + "/back.png", error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_NE(back.width, W) << "still in the 640x480 mode after the cursor's two keys";
}

INSTANTIATE_TEST_SUITE_P(Depths, SuiteScreens, ::testing::Values(depth8, depth32),
                         [](const ::testing::TestParamInfo<Depth>& info) {
                             return info.param.palette ? std::string("Palette8") : std::string("Direct32");
                         });

// ---- The GD5446: the same screens from its BitBLT engine and its own cursor ------------------

const Depth depth16{"16 bit", 119, 2, 0, false};

class CirrusScreens : public ::testing::TestWithParam<Depth> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(fullRun(GetParam(), Card::Dispi).exitStatus, 0) << fullRun(GetParam(), Card::Dispi).output;
        ASSERT_EQ(fullRun(GetParam(), Card::Cirrus).exitStatus, 0) << fullRun(GetParam(), Card::Cirrus).output;
    }

    const RunResult& cirrus() const { return fullRun(GetParam(), Card::Cirrus); }

    std::vector<std::string> ioLog() const
    {
        std::ifstream in(cirrus().dir + "/io.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

TEST_P(CirrusScreens, EveryScreenIsTheDispiCardsPixelForPixel)
{
    std::vector<std::string> names = {"cursor", "hidden"};
    for (const auto& [key, name] : fullRunShots)
        names.push_back(name);
    for (const std::string& name : names) {
        std::string error;
        const ScreenShot dispi = loadScreenShot(fullRun(GetParam(), Card::Dispi).shots + "/" + name + ".png", error);
        ASSERT_TRUE(error.empty()) << error;
        const ScreenShot gd5446 = loadScreenShot(cirrus().shots + "/" + name + ".png", error);
        ASSERT_TRUE(error.empty()) << error;
        ASSERT_EQ(gd5446.width, W) << name;
        ASSERT_EQ(gd5446.height, H) << name;
        int differ = 0;
        std::ostringstream first;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (gd5446.at(x, y) != dispi.at(x, y) && ++differ <= 5)
                    first << "\n  (" << x << ", " << y << ") " << hex(gd5446.at(x, y)) << ", DISPI "
                          << hex(dispi.at(x, y));
        EXPECT_EQ(differ, 0) << name << ": " << differ << " pixels differ" << first.str();
    }
    EXPECT_NE(cirrus().output.find("screens, 0 differ"), std::string::npos)
        << "every screen, shot or not, as the software path draws it:\n"
        << cirrus().output;
}

TEST_P(CirrusScreens, IoLogShowsTheEngineAtEveryKindOfOperation)
{
    int fills = 0, patterns = 0, expansions = 0, forwards = 0, backwards = 0, transparent = 0;
    for (const std::string& line : ioLog()) {
        unsigned mode = 0, rop = 0, ext = 0;
        if (std::sscanf(line.c_str(), "blt mode=%x rop=%x ext=%x", &mode, &rop, &ext) != 3)
            continue;
        const bool expand = mode & 0x80, pattern = mode & 0x40;
        if (expand && pattern)
            ++((ext & 0x04) ? fills : patterns);
        else if (expand)
            expansions += (mode & 0x04) != 0;  // from system memory
        else if (mode & 0x08)
            ++transparent;
        else
            ++((mode & 0x01) ? backwards : forwards);
    }
    // Both passes: at least two grids of a clear and 256 cells; the scrolling copies, two of
    // five phases forwards, three backwards; six source-transparent copies in each of two tests.
    EXPECT_GE(fills, 2 * 257);
    EXPECT_GT(patterns, 0);
    EXPECT_GT(expansions, 0);
    EXPECT_GE(forwards, 2 * 2 * 60);
    EXPECT_GE(backwards, 2 * 3 * 60);
    EXPECT_EQ(transparent, 2 * 2 * 6);
}

TEST_P(CirrusScreens, CursorIsTheChipsOwnAtTheMouse)
{
    // SR10/SR11 take the corner's bits 10:3 as data and bits 2:0 in the index's top bits.
    auto positionWrite = [](uint8_t index, int value) {
        char line[64];
        const int written = index | (value & 7) << 5;
        std::snprintf(line, sizeof line, written == index ? "SEQ[%02X] write %02X" : "SEQ[%02X] write %02X (index %02X)",
                      index, value >> 3, written);
        return std::string(line);
    };
    const std::string x = positionWrite(0x10, MOUSE_X - arrowCursor.hotX);
    const std::string y = positionWrite(0x11, MOUSE_Y - arrowCursor.hotY);
    bool placed = false, shown = false;
    for (const std::string& line : ioLog()) {
        placed = placed || line == x;
        unsigned value = 0;
        if (placed && std::sscanf(line.c_str(), "SEQ[12] write %x", &value) == 1)
            shown = shown || (value & 0x01);  // SR12 bit 0
    }
    EXPECT_TRUE(placed) << "no " << x;
    EXPECT_TRUE(shown) << "SR12 never showed the cursor at the mouse";
    const auto lines = ioLog();
    EXPECT_NE(std::find(lines.begin(), lines.end(), y), lines.end()) << "no " << y;
}

INSTANTIATE_TEST_SUITE_P(Depths, CirrusScreens, ::testing::Values(depth8, depth16),
                         [](const ::testing::TestParamInfo<Depth>& info) {
                             return info.param.palette ? std::string("Palette8") : std::string("Direct16");
                         });

// ---- A driver without clipping, pattern fills or cursor ------------------------------------

TEST(PartialAccelerator, OnePassWithoutPatternScreensThenBackToTheDialog)
{
    std::vector<std::string> script = openTestRun(depth8);
    script.insert(script.end(), SUITE_FIRST_KEY - 1, "key Space");
    // grid, XOR, scans, scan list, trapezoid, three line and image screens, six scrolling
    // screens, ten diagonal-copy screens
    constexpr int keysInThePass = 2 + 3 + 3 + 6 + 10;
    pressSuiteKeys(script, 0, keysInThePass - 1, {{2, "afterxor"}, {3, "afterscan"}});
    script.insert(script.end(), {"shot back", "key Esc"});
    const RunResult run = runPalisade("partaccel", "partaccel", script);
    ASSERT_EQ(run.exitStatus, 0) << run.output;

    std::string error;
    const ScreenShot scans = loadScreenShot(run.shots + "/afterxor.png", error);
    ASSERT_TRUE(error.empty()) << error;
    PixelCheck cells(depth8, "the scan screen straight after the XOR screen");
    forEachCellPixel([&](int x, int y, int n, int row, int) {
        if (n < 256)
            cells.expect(scans, x, y, (y - (V + 3 * V * row)) % 2 == 0 ? depth8.colour(n) : BLACK);
    });
    const ScreenShot list = loadScreenShot(run.shots + "/afterscan.png", error);
    ASSERT_TRUE(error.empty()) << error;
    PixelCheck scanList(depth8, "the scan list straight after the scans");
    scanList.expect(list, 150, 10, depth8.colour(1));
    scanList.expect(list, 150, 40, BLACK);
    const ScreenShot back = loadScreenShot(run.shots + "/back.png", error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_NE(back.width, W) << "no second pass and no cursor screen: the dialog is back";
}

// ---- Esc ----------------------------------------------------------------------------------

TEST(SuiteEsc, IgnoredOnTheFirstGridEndsTheRunOnTheXorScreen)
{
    std::vector<std::string> script = openTestRun(depth8);
    script.insert(script.end(), SUITE_FIRST_KEY - 1, "key Space");
    script.insert(script.end(), {"key Esc", "shot afteresc", "key Esc", "shot back", "key Esc"});
    const RunResult run = runPalisade("escape", "default", script);
    ASSERT_EQ(run.exitStatus, 0) << run.output;

    std::string error;
    const ScreenShot xorScreen = loadScreenShot(run.shots + "/afteresc.png", error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_EQ(xorScreen.width, W);
    PixelCheck cells(depth8, "the XOR screen after Esc on the grid");
    forEachCellPixel([&](int x, int y, int n, int, int) {
        if (n < 256)
            cells.expect(xorScreen, x, y, depth8.xorOf(n));
    });
    const ScreenShot back = loadScreenShot(run.shots + "/back.png", error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_NE(back.width, W) << "Esc on the XOR screen ends the run: the dialog is back";
}

}  // namespace
}  // namespace accele2e
