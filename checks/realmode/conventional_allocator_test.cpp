#include <gtest/gtest.h>

#include "realmode/conventional_allocator.h"

namespace checks {
namespace {

using realmode::ConventionalAllocator;

TEST(ConventionalAllocator, HandsOutWholeParagraphsFirstFitAndReusesFreedGaps)
{
    ConventionalAllocator memory(0x2005, 0x3000);  // starts on the next paragraph
    const auto a = memory.allocate(512);
    const auto b = memory.allocate(1);
    const auto c = memory.allocate(0);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(*a, 0x2010u);
    EXPECT_EQ(*b, 0x2210u);
    EXPECT_EQ(*c, 0x2220u) << "even an empty block takes a paragraph";
    EXPECT_TRUE(memory.release(*b));
    EXPECT_FALSE(memory.release(*b)) << "twice";
    EXPECT_FALSE(memory.release(0x2015)) << "not a block's start";
    EXPECT_EQ(memory.allocate(16), b) << "the freed gap first";
    EXPECT_FALSE(memory.allocate(0x3000)) << "larger than all memory";
    EXPECT_EQ(memory.largestFree(), 0x3000u - 0x2230u);
    EXPECT_TRUE(memory.allocate(0x3000 - 0x2230));
    EXPECT_FALSE(memory.allocate(1)) << "exhausted";
}

TEST(ConventionalAllocator, TooLittleMemoryRefusesEvenSmallBlocks)
{
    const struct {
        uint32_t start, end, size;
        bool fits;
    } cases[] = {{0x2000, 0x2000, 512, false},
                 {0x2000, 0x21F0, 512, false},
                 {0x2000, 0x2200, 512, true},
                 {0x2000, 0x1000, 16, false},
                 {0x2000, 0xA0000, 0xFFFFFFFF, false}};
    for (const auto& c : cases) {
        ConventionalAllocator memory(c.start, c.end);
        EXPECT_EQ(memory.allocate(c.size).has_value(), c.fits) << std::hex << c.start << "-" << c.end;
    }
}

}  // namespace
}  // namespace checks
