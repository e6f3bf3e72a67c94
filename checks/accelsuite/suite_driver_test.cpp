// The suite's shared parts and its order of screens: colour mapping, the rectangle grid, the
// XOR screen, the two passes under their clip rectangles and the Esc rule between them.
#include <algorithm>

#include "accel/suite_context.h"
#include "checks/accelsuite/suite_fixture.h"

namespace accelcheck {
namespace {

// ---- mapColor ------------------------------------------------------------------------

TEST_F(SuiteTest, PaletteModesPassTheIndexThroughWithoutThePalette)
{
    for (int bits : {4, 8}) {
        useMode(640, 480, bits);
        for (int index : {0, 15, 255, 256})
            EXPECT_EQ(mapColor(index), static_cast<uint32_t>(index)) << bits << " bit, index " << index;
        EXPECT_EQ(fake::countOf("GX_getDefPalette"), 0u);
    }
}

struct DirectCase {
    int bits;
    int index;
    uint32_t expected;  // the fake palette holds blue i, green 2i, red 3i (bytes, wrapping)
};

class DirectColourMapping : public SuiteTest, public ::testing::WithParamInterface<DirectCase> {};

TEST_P(DirectColourMapping, TakesTheDefaultPaletteEntryThroughRgbColor)
{
    const DirectCase& c = GetParam();
    useMode(640, 480, c.bits);
    EXPECT_EQ(mapColor(c.index), c.expected);
    const auto rgb = fake::callsNamed("GX_rgbColor");
    ASSERT_EQ(rgb.size(), 1u);
    const int entry = c.index % 256;
    EXPECT_EQ(rgb[0].args, (std::vector<int64_t>{(entry * 3) & 0xFF, (entry * 2) & 0xFF, entry}));
}

// Index 256, the grid's last cell, wraps to the entry of index 0 instead of reading past the
// 256-entry palette (the sanitizer build catches a read past it).
INSTANTIATE_TEST_SUITE_P(Depths, DirectColourMapping,
                         ::testing::Values(DirectCase{32, 15, (45u << 16) | (30u << 8) | 15u},
                                           DirectCase{24, 255, (0xFDu << 16) | (0xFEu << 8) | 0xFFu},
                                           DirectCase{16, 10, ((30u >> 3) << 11) | ((20u >> 2) << 5) | (10u >> 3)},
                                           DirectCase{15, 10, ((30u >> 3) << 10) | ((20u >> 3) << 5) | (10u >> 3)},
                                           DirectCase{32, 256, 0}, DirectCase{16, 256, 0}));

// ---- drawRectGrid ----------------------------------------------------------------------

struct GridCase {
    int width, height;
    int u, v;
    int lastColumnX, lastRowY;
};

class RectGrid : public SuiteTest, public ::testing::WithParamInterface<GridCase> {};

TEST_P(RectGrid, ClearsThenDrawsSixteenRowsOfCellsInColours1To256)
{
    const GridCase& c = GetParam();
    useMode(c.width, c.height, 8);
    EXPECT_EQ(drawRectGrid(0), 0);

    const auto calls = drawing();
    ASSERT_EQ(calls.size(), 2u + 256u);  // no key wait
    EXPECT_EQ(calls[0].name, "AF_setMix");
    EXPECT_EQ(calls[0].args, (std::vector<int64_t>{0, 0}));
    EXPECT_EQ(calls[1].args, fullScreen(blackColor));
    for (int r = 0; r < 16; ++r)
        for (int c2 = 0; c2 < 16; ++c2) {
            const fake::Call& cell = calls[2 + 16 * r + c2];
            ASSERT_EQ(cell.name, "AF_drawRect");
            EXPECT_EQ(cell.args,
                      (std::vector<int64_t>{1 + 16 * r + c2, c.u + 3 * c.u * c2, c.v + 3 * c.v * r, 2 * c.u, 2 * c.v}))
                << "cell " << r << "," << c2;
        }
    EXPECT_EQ(calls.back().args[1], c.lastColumnX);
    EXPECT_EQ(calls.back().args[2], c.lastRowY);
}

// 800x600 and 1024x768 run past the right edge: the grid is not fitted to the screen.
INSTANTIATE_TEST_SUITE_P(Sizes, RectGrid,
                         ::testing::Values(GridCase{640, 480, 13, 9, 598, 414}, GridCase{800, 600, 17, 12, 782, 552},
                                           GridCase{1024, 768, 22, 16, 1012, 736}));

TEST_F(SuiteTest, GridWaitsForAKeyOnlyWhenAsked)
{
    fake::pushKey('k');
    EXPECT_EQ(drawRectGrid(1), 'k');
    EXPECT_EQ(fake::queuedEvents(), 0u);
    fake::pushKey('k');
    EXPECT_EQ(drawRectGrid(0), 0);
    EXPECT_EQ(fake::queuedEvents(), 1u);
}

TEST_F(SuiteTest, GridInADirectColourModeMapsEveryCellThroughThePalette)
{
    useMode(640, 480, 32);
    blackColor = 0x123456;  // the clear takes the suite's black as it stands
    drawRectGrid(0);
    const auto rects = fake::callsNamed("AF_drawRect");
    ASSERT_EQ(rects.size(), 257u);
    EXPECT_EQ(rects[0].args[0], 0x123456);
    EXPECT_EQ(rects[1].args[0], (3 << 16) | (2 << 8) | 1);  // index 1
    EXPECT_EQ(rects[256].args[0], 0);                       // index 256 wraps to index 0
}

// ---- runSuitePass ----------------------------------------------------------------------

// Keys a full pass asks for with every entry present: grid, XOR screen, five fills, three
// line and image screens, five grids and the end of the scrolling copies, and two keys for
// each of the five diagonal copies.
constexpr int KEYS_PER_PASS = 2 + 5 + 3 + 6 + 5 * 2;

TEST_F(SuiteTest, PassSetsTheSuiteColoursThenShowsTheGridAndItsXorImage)
{
    useMode(640, 480, 32);
    blackColor = whiteColor = 0xABCDEF;
    fake::pushKeys("g");
    fake::pushKey(27);
    EXPECT_EQ(runSuitePass(), 27);
    EXPECT_EQ(blackColor, 0u);
    EXPECT_EQ(whiteColor, (45u << 16) | (30u << 8) | 15u);

    const auto shown = screens();
    ASSERT_EQ(shown.size(), 2u);  // the grid, the XOR screen, and no test after the Esc
    EXPECT_EQ(shown[0].size(), 2u + 256u);
    ASSERT_EQ(shown[1].size(), 2u);
    EXPECT_EQ(shown[1][0].name, "AF_setMix");
    EXPECT_EQ(shown[1][0].args, (std::vector<int64_t>{3, 3}));
    EXPECT_EQ(shown[1][1].name, "AF_drawRect");
    EXPECT_EQ(shown[1][1].args, fullScreen((0xFDu << 16) | (0xFEu << 8) | 0xFFu));
}

TEST_F(SuiteTest, PassRunsTheFourteenTestsInOrderAndEndsWith0)
{
    for (int i = 0; i < KEYS_PER_PASS; ++i)
        fake::pushKey('n');
    EXPECT_EQ(runSuitePass(), 0);
    EXPECT_EQ(fake::queuedEvents(), 0u);

    // The first drawing call of each screen after the XOR screen names its test.
    std::vector<std::string> firstDraws;
    for (const auto& screen : screens()) {
        auto draw = std::find_if(screen.begin(), screen.end(), [](const fake::Call& call) {
            return call.name != "AF_setMix" && call.name != "AF_drawRect" && call.name != "AF_set8x8MonoPattern" &&
                   call.name != "AF_setLineStipple";
        });
        firstDraws.push_back(draw == screen.end() ? "" : draw->name);
    }
    const std::vector<std::string> expected = {"",
                                               "",  // grid, XOR screen
                                               "AF_drawPattRect",
                                               "AF_drawScan",
                                               "AF_drawPattScan",
                                               "AF_drawScanList",
                                               "AF_drawTrap",
                                               "AF_drawLine",
                                               "AF_drawStippleLine",
                                               "AF_putMonoImage",
                                               "",
                                               "AF_bitBlt",
                                               "AF_bitBlt",
                                               "AF_bitBlt",
                                               "AF_bitBlt",
                                               "AF_bitBlt",  // five grids, each scrolled after
                                               "",
                                               "AF_bitBltLin",
                                               "",
                                               "AF_srcTransBlt",
                                               "",
                                               "AF_srcTransBltLin",
                                               "",
                                               "AF_dstTransBlt",
                                               "",
                                               "AF_dstTransBltLin"};
    EXPECT_EQ(firstDraws, expected);
}

// The key that ends each screen, by position: Esc is ignored on the first grid, ends the pass
// everywhere else that counts.
struct EscCase {
    const char* screen;
    int keysBeforeEsc;
    int expected;
    const char* lastCallMade;  // the last drawing call the pass makes
};

void PrintTo(const EscCase& c, std::ostream* out)
{
    *out << c.screen;
}

class EscInAPass : public SuiteTest, public ::testing::WithParamInterface<EscCase> {};

TEST_P(EscInAPass, StopsWhereTheKeyCounts)
{
    const EscCase& c = GetParam();
    for (int i = 0; i < c.keysBeforeEsc; ++i)
        fake::pushKey('n');
    fake::pushKey(27);
    for (int i = c.keysBeforeEsc + 1; i < KEYS_PER_PASS; ++i)
        fake::pushKey('n');

    EXPECT_EQ(runSuitePass(), c.expected) << c.screen;
    std::string last;
    for (const fake::Call& call : fake::calls())
        if (call.name.rfind("AF_", 0) == 0)
            last = call.name;
    EXPECT_EQ(last, c.lastCallMade) << c.screen;
    if (c.expected == 27)
        EXPECT_EQ(fake::queuedEvents(), static_cast<size_t>(KEYS_PER_PASS - c.keysBeforeEsc - 1)) << c.screen;
    else
        EXPECT_EQ(fake::queuedEvents(), 0u) << c.screen;
}

INSTANTIATE_TEST_SUITE_P(Screens, EscInAPass,
                         ::testing::Values(EscCase{"first grid: ignored", 0, 0, "AF_dstTransBltLin"},
                                           EscCase{"XOR screen", 1, 27, "AF_drawRect"},
                                           EscCase{"pattern rectangles", 2, 27, "AF_drawPattRect"},
                                           EscCase{"trapezoid", 6, 27, "AF_drawTrap"},
                                           EscCase{"image tiling", 9, 27, "AF_putMonoImage"},
                                           EscCase{"a scrolling grid: ignored", 10, 0, "AF_dstTransBltLin"},
                                           EscCase{"end of the scrolling copies", 15, 27, "AF_bitBlt"},
                                           EscCase{"a source block: no copies", 16, 27, "AF_drawRect"},
                                           EscCase{"the last copies", KEYS_PER_PASS - 1, 27, "AF_dstTransBltLin"}));

// ---- runAccelSuite ---------------------------------------------------------------------

// The suite's skeleton: clip rectangles, XOR screens, the clear between passes (a replace-mix
// black full-screen rectangle straight after a key, with no cells, scans or lines of its own
// screen after it) and the start of the cursor test.
std::vector<std::string> skeleton()
{
    const auto calls = drawing();
    const auto blackFull = std::vector<int64_t>{0, 0, 0, 640, 480};
    std::vector<std::string> out;
    for (size_t i = 0; i < calls.size(); ++i) {
        const fake::Call& call = calls[i];
        if (call.name == "AF_setClipRect") {
            std::string rect = "clip";
            for (int64_t a : call.args) {
                rect += ' ';
                rect += std::to_string(a);
            }
            out.push_back(rect);
        } else if (call.name == "AF_setMix" && call.args == std::vector<int64_t>{3, 3}) {
            out.push_back("xor");
        } else if (call.name == "AF_setCursor") {
            out.push_back("cursor");
        } else if (call.name == "AF_setMix" && i > 0 && calls[i - 1].name == "PL_haltEvent" && i + 1 < calls.size() &&
                   calls[i + 1].args == blackFull) {
            const std::string next = i + 2 < calls.size() ? calls[i + 2].name : "";
            if (next.empty() || next == "AF_setClipRect" || next == "AF_setCursor" || next == "AF_setMix")
                out.push_back("clear");
        }
    }
    return out;
}

struct SuiteCase {
    const char* what;
    Entry dropped;           // nullptr: every entry present
    std::vector<int> escAt;  // keys (0-based) that are Esc
    int keysGiven;
    std::vector<std::string> expected;
};

void PrintTo(const SuiteCase& c, std::ostream* out)
{
    *out << c.what;
}

class Suite : public SuiteTest, public ::testing::WithParamInterface<SuiteCase> {};

TEST_P(Suite, RunsItsPassesThenTheCursor)
{
    const SuiteCase& c = GetParam();
    if (c.dropped)
        dropEntry(c.dropped);
    for (int i = 0; i < c.keysGiven; ++i)
        fake::pushKey(std::find(c.escAt.begin(), c.escAt.end(), i) != c.escAt.end() ? 27 : 'n');
    // The cursor's tracking ends on a button; its last press follows.
    fake::onPoll([](int) {
        if (fake::queuedEvents() == 0) {
            fake::pushMouseButton();
            fake::pushKey('n');
        }
    });

    runAccelSuite(displayContext);
    EXPECT_EQ(skeleton(), c.expected) << c.what;
    EXPECT_EQ(fake::queuedEvents(), 0u) << c.what << ": every key given is read, and no more";
}

const int cursorGridKey = 1;  // the cursor's grid screen, before tracking

INSTANTIATE_TEST_SUITE_P(
    Runs, Suite,
    ::testing::Values(SuiteCase{"clip offered: whole screen, clear, inset pass, cursor",
                                nullptr,
                                {},
                                2 * KEYS_PER_PASS + cursorGridKey,
                                {"clip 0 0 639 479", "xor", "clear", "clip 50 50 589 429", "xor", "cursor"}},
                      SuiteCase{"no clip: one pass, clear, cursor",
                                &AccelContext::setClipRect,
                                {},
                                KEYS_PER_PASS + cursorGridKey,
                                {"xor", "clear", "cursor"}},
                      SuiteCase{
                          "Esc in the first pass: nothing after it", nullptr, {1}, 2, {"clip 0 0 639 479", "xor"}},
                      SuiteCase{"Esc in the second pass: no cursor",
                                nullptr,
                                {KEYS_PER_PASS + 1},
                                KEYS_PER_PASS + 2,
                                {"clip 0 0 639 479", "xor", "clear", "clip 50 50 589 429", "xor"}}));

TEST_F(SuiteTest, WithoutAnAcceleratorDriverTheSuiteDrawsNothing)
{
    fake::display().context.accel = nullptr;
    runAccelSuite(displayContext);
    runAccelSuite(nullptr);
    EXPECT_TRUE(drawing().empty());
}

TEST_F(SuiteTest, DrawsOnTheContextItIsGiven)
{
    DisplayContext& given = fake::display().context;
    displayContext = nullptr;
    fake::pushKey('g');
    fake::pushKey(27);
    runAccelSuite(&given);
    const auto rects = fake::callsNamed("AF_drawRect");
    ASSERT_FALSE(rects.empty());
    EXPECT_EQ(rects.back().args, fullScreen(255));  // the XOR screen, at the given context's size
}

TEST_F(SuiteTest, ClearBetweenPassesUsesReplaceAndTheSuiteBlack)
{
    dropEntry(&AccelContext::setClipRect);
    dropEntry(&AccelContext::setCursor);
    for (int i = 0; i < KEYS_PER_PASS; ++i)
        fake::pushKey('n');
    runAccelSuite(displayContext);
    const auto calls = drawing();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 2].name, "AF_setMix");
    EXPECT_EQ(calls[calls.size() - 2].args, (std::vector<int64_t>{0, 0}));
    EXPECT_EQ(calls.back().name, "AF_drawRect");
    EXPECT_EQ(calls.back().args, fullScreen(0));
}

struct CursorGridCase {
    const char* what;
    Entry dropped;             // nullptr: every entry present
    int gridKeys;              // key waits of the cursor test's grid screen
    size_t rectsAfterThePass;  // the clear between passes, then the grid's clear and cells
};

void PrintTo(const CursorGridCase& c, std::ostream* out)
{
    *out << c.what;
}

class CursorAfterSuite : public SuiteTest, public ::testing::WithParamInterface<CursorGridCase> {};

TEST_P(CursorAfterSuite, DrawsTheGridFirstOnlyWithTheRectangleEntry)
{
    const CursorGridCase& c = GetParam();
    dropEntry(&AccelContext::setClipRect);
    if (c.dropped)
        dropEntry(c.dropped);
    for (int i = 0; i < KEYS_PER_PASS + c.gridKeys; ++i)
        fake::pushKey('n');
    fake::onPoll([](int) {
        if (fake::queuedEvents() == 0) {
            fake::pushMouseButton();
            fake::pushKey('e');
        }
    });
    runAccelSuite(displayContext);

    // The pass's screens, the grid's when there is one, tracking, and the hidden cursor.
    const auto shown = screens();
    ASSERT_EQ(shown.size(), static_cast<size_t>(KEYS_PER_PASS + c.gridKeys + 2)) << c.what;
    EXPECT_EQ(named(shown[KEYS_PER_PASS], "AF_drawRect").size(), c.rectsAfterThePass) << c.what;
    EXPECT_EQ(named(shown[KEYS_PER_PASS + c.gridKeys], "AF_setCursor").size(), 1u) << c.what;
    EXPECT_EQ(fake::queuedEvents(), 0u) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Entries, CursorAfterSuite,
                         ::testing::Values(CursorGridCase{"rectangle entry present", nullptr, 1, 1 + 1 + 256},
                                           CursorGridCase{"rectangle entry absent", &AccelContext::drawRect, 0, 1}));

}  // namespace
}  // namespace accelcheck
