// The hardware cursor: the arrow image, tracking the desktop mouse until an event, and the
// two presses that end the test.
#include "accel/cursor_test.h"
#include "checks/accelsuite/suite_fixture.h"

namespace accelcheck {
namespace {

TEST(ArrowCursor, InsideLiesWithinTheShapeInTheTopLeftTwentyRows)
{
    for (int row = 0; row < 32; ++row)
        for (int byte = 0; byte < 4; ++byte) {
            const uint8_t inside = arrowCursor.firstMask[row * 4 + byte];
            const uint8_t shape = arrowCursor.secondMask[row * 4 + byte];
            EXPECT_EQ(inside & ~shape, 0) << "row " << row << " byte " << byte;
            if (row >= 20 || byte >= 2) {
                EXPECT_EQ(inside, 0) << "row " << row << " byte " << byte;
                EXPECT_EQ(shape, 0) << "row " << row << " byte " << byte;
            }
        }
    // The tip is the top left pixel; the widest row is 10.
    EXPECT_EQ(arrowCursor.secondMask[0], 0xC0);
    EXPECT_EQ(arrowCursor.secondMask[10 * 4], 0xFF);
    EXPECT_EQ(arrowCursor.secondMask[10 * 4 + 1], 0xF0);
    EXPECT_EQ(arrowCursor.hotX, 8);
    EXPECT_EQ(arrowCursor.hotY, 8);
}

// Ends tracking once the mouse path has been read through: a button, then the last key.
void endTrackingAfter(size_t reads, uint8_t lastKey)
{
    fake::onPoll([reads, lastKey](int) {
        if (fake::countOf("GetCursorPos") >= reads && fake::queuedEvents() == 0 && fake::countOf("PL_haltEvent") == 0) {
            fake::pushMouseButton();
            fake::pushKey(lastKey);
        }
    });
}

std::vector<std::vector<int64_t>> positionsSet()
{
    std::vector<std::vector<int64_t>> out;
    for (const fake::Call& call : fake::callsNamed("AF_setCursorPos"))
        out.push_back(call.args);
    return out;
}

TEST_F(SuiteTest, TracksTheMouseSettingThePositionOnlyWhenItChanges)
{
    // Positions are passed as read, even far outside a 640x480 mode.
    fake::setCursorPath({{10, 10}, {10, 10}, {11, 10}, {11, 10}, {11, 12}, {1500, 900}, {1500, 900}});
    endTrackingAfter(7, 'x');
    EXPECT_EQ(testHwCursor(0), 'x');

    EXPECT_EQ(positionsSet(), (std::vector<std::vector<int64_t>>{{10, 10}, {11, 10}, {11, 12}, {1500, 900}}));
    const auto calls = drawing();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].name, "AF_setCursor");
    EXPECT_EQ(calls[1].name, "AF_setCursorColor");
    EXPECT_EQ(calls[1].args, args({255, 255, 255}));
    EXPECT_EQ(calls[2].name, "AF_showCursor");
    EXPECT_EQ(calls[2].args, args({1}));
    // The button stops tracking and hides the arrow; the next key is the result.
    const std::vector<std::string> tail = {"PL_haltEvent", "AF_showCursor", "PL_haltEvent"};
    std::vector<std::string> last;
    for (size_t i = calls.size() - 3; i < calls.size(); ++i)
        last.push_back(calls[i].name);
    EXPECT_EQ(last, tail);
    EXPECT_EQ(calls[calls.size() - 2].args, args({0}));
}

TEST_F(SuiteTest, FirstPositionIsAlwaysSetEvenAtTheOrigin)
{
    fake::setCursorPath({{0, 0}});
    endTrackingAfter(1, 'x');
    testHwCursor(0);
    EXPECT_EQ(positionsSet(), (std::vector<std::vector<int64_t>>{{0, 0}}));
}

TEST_F(SuiteTest, EventAlreadyPendingEndsTrackingBeforeAnyPositionIsRead)
{
    fake::setCursorPos(100, 100);
    fake::pushKeys("ab");
    EXPECT_EQ(testHwCursor(0), 'b');
    EXPECT_EQ(fake::countOf("GetCursorPos"), 0u);
    EXPECT_TRUE(positionsSet().empty());
    EXPECT_EQ(fake::callsNamed("AF_showCursor").size(), 2u);
}

struct GridCase {
    int drawGrid;
    const char* keys;
    int expected;
    size_t rects;
};

class CursorGrid : public SuiteTest, public ::testing::WithParamInterface<GridCase> {};

// With the grid, its screen asks for a key first (not examined, so Esc there goes on).
TEST_P(CursorGrid, GridScreenAddsOneKey)
{
    const GridCase& c = GetParam();
    fake::pushKeys(c.keys);
    EXPECT_EQ(testHwCursor(c.drawGrid), c.expected);
    EXPECT_EQ(fake::queuedEvents(), 0u);
    EXPECT_EQ(fake::countOf("AF_drawRect"), c.rects);
}

INSTANTIATE_TEST_SUITE_P(Flags, CursorGrid,
                         ::testing::Values(GridCase{1,
                                                    "\x1b"
                                                    "ab",
                                                    'b', 257},
                                           GridCase{0, "ab", 'b', 0},
                                           GridCase{0,
                                                    "\x1b"
                                                    "b",
                                                    'b', 0},
                                           GridCase{0, "a\x1b", 27, 0}));

}  // namespace
}  // namespace accelcheck
