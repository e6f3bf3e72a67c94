// The fill tests: the grid's cells as pattern rectangles, scans and pattern scans, the scan
// list and the trapezoid drawn over it.
#include "accel/fill_tests.h"

#include "checks/accelsuite/suite_fixture.h"

namespace accelcheck {
namespace {

// 640x480: u = 13, v = 9, cells 26x18.
constexpr int U = 13, V = 9;

struct PatternCase {
    const char* what;
    int (*test)(void);
    const char* cellCall;
    int callsPerCell;  // pattern rectangles: one; pattern scans: one per other line
};

void PrintTo(const PatternCase& c, std::ostream* out)
{
    *out << c.what;
}

class PatternCells : public SuiteTest, public ::testing::WithParamInterface<PatternCase> {};

TEST_P(PatternCells, ClearWithColour1ThenMixByColumnParity)
{
    const PatternCase& c = GetParam();
    fake::pushKey('k');
    EXPECT_EQ(c.test(), 'k');

    const auto calls = drawing();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].name, "AF_setMix");
    EXPECT_EQ(calls[0].args, args({0, 0}));
    EXPECT_EQ(calls[1].name, "AF_drawRect");
    EXPECT_EQ(calls[1].args, fullScreen(1)) << "the pattern screens start on colour 1, not black";
    EXPECT_EQ(calls[2].name, "AF_set8x8MonoPattern");
    EXPECT_EQ(calls[2].args, args({0xF8, 0x74, 0x22, 0x47, 0x8F, 0x17, 0x22, 0x71}));

    size_t at = 3;
    for (int r = 0; r < 16; ++r)
        for (int col = 0; col < 16; ++col) {
            ASSERT_LT(at, calls.size());
            EXPECT_EQ(calls[at].name, "AF_setMix");
            // even columns leave the clear bits alone, odd ones paint them in colour 2
            EXPECT_EQ(calls[at].args, args({0, col % 2 == 0 ? 4 : 0})) << r << "," << col;
            ++at;
            const int64_t x = U + 3 * U * col, y = V + 3 * V * r, n = 1 + 16 * r + col;
            for (int k = 0; k < c.callsPerCell; ++k, ++at) {
                ASSERT_LT(at, calls.size());
                ASSERT_EQ(calls[at].name, c.cellCall);
                const auto expected =
                    c.callsPerCell == 1 ? args({n, 2, x, y, 2 * U, 2 * V}) : args({n, 2, y + 2 * k, x, x + 2 * U});
                EXPECT_EQ(calls[at].args, expected) << r << "," << col << " line " << k;
            }
        }
    ASSERT_EQ(at + 1, calls.size());
    EXPECT_EQ(calls[at].name, "PL_haltEvent");
}

INSTANTIATE_TEST_SUITE_P(Tests, PatternCells,
                         ::testing::Values(PatternCase{"pattern rectangles", testPattRect, "AF_drawPattRect", 1},
                                           PatternCase{"pattern scans", testPattScan, "AF_drawPattScan", V}));

TEST_F(SuiteTest, ScansFillEachCellWithEveryOtherLineOnBlack)
{
    fake::pushKey('k');
    EXPECT_EQ(testScan(), 'k');
    const auto calls = drawing();
    EXPECT_EQ(calls[0].args, args({0, 0}));
    EXPECT_EQ(calls[1].args, fullScreen(0));
    const auto scans = named(calls, "AF_drawScan");
    ASSERT_EQ(scans.size(), 256u * V);
    // The first cell's nine lines, and the last cell (colour index 256, passed on unchanged).
    for (int k = 0; k < V; ++k) {
        EXPECT_EQ(scans[k].args, args({1, V + 2 * k, U, U + 2 * U}));
        EXPECT_EQ(scans[255 * V + k].args, args({256, V + 3 * V * 15 + 2 * k, U + 3 * U * 15, U + 3 * U * 15 + 2 * U}));
    }
}

TEST_F(SuiteTest, ScanListCoversLines10To19FromACopyOfTheTable)
{
    fake::pushKey('k');
    EXPECT_EQ(testScanList(), 'k');
    const auto calls = drawing();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].args, fullScreen(0));
    EXPECT_EQ(calls[2].name, "AF_drawScanList");
    EXPECT_EQ(calls[2].args, args({1,   10, 10,  100, 200, 95, 215, 90,  220, 80,  230, 85,
                                   230, 85, 230, 90,  220, 95, 200, 100, 150, 120, 130}));
}

TEST_F(SuiteTest, TrapezoidIsDrawnOverTheScanListWithoutAClear)
{
    fake::pushKey('k');
    EXPECT_EQ(testTrap(), 'k');
    const auto calls = drawing();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].args, args({0, 0}));
    EXPECT_EQ(calls[1].name, "AF_drawTrap");
    EXPECT_EQ(calls[1].args, args({2, 30, 100, 100 * FIXED_ONE, 150 * FIXED_ONE, -FIXED_ONE / 2, FIXED_ONE / 4}));
}

TEST_F(SuiteTest, FillColoursComeFromTheMappingInDirectColourModes)
{
    useMode(640, 480, 32);
    fake::pushKeys("abc");
    testPattRect();
    testScanList();
    testTrap();
    const auto rgb = [](int i) { return int64_t{((3 * i) & 0xFF) << 16 | ((2 * i) & 0xFF) << 8 | (i & 0xFF)}; };
    const auto patt = fake::callsNamed("AF_drawPattRect");
    ASSERT_EQ(patt.size(), 256u);
    EXPECT_EQ(patt[4].args[0], rgb(5));
    EXPECT_EQ(patt[4].args[1], rgb(2));
    EXPECT_EQ(patt[255].args[0], rgb(0));  // index 256 wraps
    EXPECT_EQ(fake::callsNamed("AF_drawScanList")[0].args[0], rgb(1));
    EXPECT_EQ(fake::callsNamed("AF_drawTrap")[0].args[0], rgb(2));
}

}  // namespace
}  // namespace accelcheck
