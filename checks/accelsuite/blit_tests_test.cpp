// The block copies: five scrolling phases, the source block and its six diagonal copies by
// the linear and transparent copies.
#include "accel/blit_tests.h"
#include "checks/accelsuite/suite_fixture.h"

namespace accelcheck {
namespace {

TEST_F(SuiteTest, ScrollingCopiesRunFivePhasesOfSixtyOverlappingCopies)
{
    fake::pushKeys("ab");
    fake::pushKey(27);  // Esc on a grid screen is not examined
    fake::pushKeys("cdz");
    EXPECT_EQ(testBitBlt(), 'z');
    EXPECT_EQ(fake::queuedEvents(), 0u);

    // left, top, width, height, destination x, y, mix at 640x480
    const std::vector<std::vector<int64_t>> phases = {
        {0, 5, 640, 475, 0, 0, 0},  // up 5
        {0, 0, 640, 475, 0, 5, 0},  // down 5
        {0, 0, 636, 480, 4, 0, 0},  // right 4
        {4, 0, 636, 480, 0, 0, 0},  // left 4
        {0, 0, 635, 475, 5, 5, 0},  // right and down 5
    };
    const auto shown = screens();
    ASSERT_EQ(shown.size(), 6u);  // five grids, the last one scrolled before the final key
    EXPECT_EQ(named(shown[0], "AF_bitBlt").size(), 0u);
    for (size_t phase = 0; phase < phases.size(); ++phase) {
        // Each phase's grid is its screen's start; its copies follow the grid's key.
        EXPECT_EQ(named(shown[phase], "AF_drawRect").size(), 257u) << phase;
        const auto copies = named(shown[phase + 1], "AF_bitBlt");
        ASSERT_EQ(copies.size(), 60u) << phase;
        for (const fake::Call& copy : copies)
            ASSERT_EQ(copy.args, phases[phase]) << phase;
    }
}

using CopyArgs = std::vector<int64_t> (*)(int64_t bw, int64_t bh, int64_t dx, int64_t dy, int64_t w);

struct DiagonalCase {
    const char* test;
    int (*run)(void);
    const char* call;
    CopyArgs expected;
};

// 8-bit: mapColor(9) is 9, the source block's inner square.
const DiagonalCase diagonalCases[] = {
    {"testBitBltLin", testBitBltLin, "AF_bitBltLin",
     [](int64_t bw, int64_t bh, int64_t dx, int64_t dy, int64_t w) {
         return args({100 * w, dx, dy, bw, bh, 0});
     }},
    {"testSrcTransBlt", testSrcTransBlt, "AF_srcTransBlt",
     [](int64_t bw, int64_t bh, int64_t dx, int64_t dy, int64_t) {
         return args({0, 0, bw, bh, dx, dy, 0, 9});
     }},
    {"testSrcTransBltLin", testSrcTransBltLin, "AF_srcTransBltLin",
     [](int64_t bw, int64_t bh, int64_t dx, int64_t dy, int64_t w) {
         return args({100 * w, dx, dy, bw, bh, 0, 9});
     }},
    {"testDstTransBlt", testDstTransBlt, "AF_dstTransBlt",
     [](int64_t bw, int64_t bh, int64_t dx, int64_t dy, int64_t) {
         return args({0, 0, bw, bh, dx, dy, 0, 0});
     }},
    {"testDstTransBltLin", testDstTransBltLin, "AF_dstTransBltLin",
     [](int64_t bw, int64_t bh, int64_t dx, int64_t dy, int64_t w) {
         return args({100 * w, dx, dy, bw, bh, 0, 0});
     }},
};

struct SizeCase {
    int width, height;
    int64_t bw, bh;
    std::vector<std::vector<int64_t>> sourceRects;  // colour, left, top, width, height
    std::vector<std::pair<int64_t, int64_t>> destinations;
};

const SizeCase sizeCases[] = {
    {640,
     480,
     80,
     80,
     {{15, 0, 0, 80, 80}, {12, 10, 10, 60, 60}, {9, 20, 20, 40, 40}},
     {{80, 0}, {160, 80}, {240, 160}, {320, 240}, {400, 320}, {480, 400}}},
    // bh 66 but the copies still step down by bw: the sixth lands wholly below the screen.
    {640,
     400,
     80,
     66,
     {{15, 0, 0, 80, 66}, {12, 10, 8, 60, 50}, {9, 20, 16, 40, 34}},
     {{80, 0}, {160, 80}, {240, 160}, {320, 240}, {400, 320}, {480, 400}}},
};

TEST_F(SuiteTest, DiagonalCopiesStampTheSourceBlockSixTimes)
{
    for (const SizeCase& size : sizeCases)
        for (const DiagonalCase& c : diagonalCases) {
            SCOPED_TRACE(std::string(c.test) + " at " + std::to_string(size.width) + "x" + std::to_string(size.height));
            useMode(size.width, size.height, 8);
            fake::pushKeys("sz");
            EXPECT_EQ(c.run(), 'z');

            const auto shown = screens();
            ASSERT_EQ(shown.size(), 2u);
            // The grid without a wait, then the source block, outer to inner.
            const auto rects = named(shown[0], "AF_drawRect");
            ASSERT_EQ(rects.size(), 1u + 256u + 3u);
            EXPECT_EQ(rects[0].args, fullScreen(0));
            for (size_t i = 0; i < 3; ++i)
                EXPECT_EQ(rects[257 + i].args, size.sourceRects[i]);

            const auto copies = named(shown[1], c.call);
            ASSERT_EQ(copies.size(), 6u);
            EXPECT_EQ(shown[1].size(), 6u);
            for (size_t i = 0; i < 6; ++i)
                EXPECT_EQ(copies[i].args, c.expected(size.bw, size.bh, size.destinations[i].first,
                                                     size.destinations[i].second, size.width))
                    << "copy " << i;
        }
}

TEST_F(SuiteTest, EscOnTheSourceBlockEndsBeforeAnyCopy)
{
    for (const DiagonalCase& c : diagonalCases) {
        SCOPED_TRACE(c.test);
        useMode(640, 480, 8);
        fake::pushKey(27);
        fake::pushKey('z');
        EXPECT_EQ(c.run(), 27);
        EXPECT_EQ(fake::countOf(c.call), 0u);
        EXPECT_EQ(fake::queuedEvents(), 1u);
    }
}

TEST_F(SuiteTest, TransparentColoursInADirectColourMode)
{
    useMode(640, 480, 32);
    fake::pushKeys("abcd");
    testSrcTransBlt();
    testDstTransBlt();
    // The source copies skip the inner square's colour; the destination copies pass a literal 0.
    EXPECT_EQ(fake::callsNamed("AF_srcTransBlt")[0].args.back(), (27 << 16) | (18 << 8) | 9);
    EXPECT_EQ(fake::callsNamed("AF_dstTransBlt")[0].args.back(), 0);
}

}  // namespace
}  // namespace accelcheck
