// The line fans, the stippled fans and the image tiling at 640x480.
#include <map>

#include "accel/line_tests.h"
#include "checks/accelsuite/suite_fixture.h"

namespace accelcheck {
namespace {

constexpr int64_t MAX_X = 639, MAX_Y = 479, CX = 319, CY = 239;

int64_t fx(int64_t pixel)
{
    return pixel * FIXED_ONE;
}

// Which edge a fan line ends on. Two lines end in the top left corner: the top edge's, in
// colour 0, and the left edge's, in colour 2.
std::string edgeOf(const std::vector<int64_t>& end, int64_t colour)
{
    const int64_t x = end[0] / FIXED_ONE, y = end[1] / FIXED_ONE;
    if (x == 0 && y == 0)
        return colour == 0 ? "top" : "left";
    if (y == 0 && x < MAX_X)
        return "top";
    if (y == MAX_Y && x < MAX_X)
        return "bottom";
    if (x == 0)
        return "left";
    if (x == MAX_X)
        return "right";
    return "inside";
}

struct FanCase {
    const char* what;
    int (*test)(void);
    const char* call;
    size_t colourArg;  // where the line's geometry starts, after its colours
    int step;
    std::map<std::string, int> perEdge;
};

void PrintTo(const FanCase& c, std::ostream* out)
{
    *out << c.what;
}

class Fan : public SuiteTest, public ::testing::WithParamInterface<FanCase> {};

TEST_P(Fan, RunsFromTheCentreToEachEdgeThenDrawsTheWhiteFrame)
{
    const FanCase& c = GetParam();
    useMode(640, 480, 8);
    fake::pushKey('k');
    EXPECT_EQ(c.test(), 'k');
    const auto calls = drawing();
    EXPECT_EQ(calls[0].args, args({0, 0}));
    EXPECT_EQ(calls[1].args, fullScreen(0));

    auto lines = named(calls, c.call);
    ASSERT_GT(lines.size(), 4u);
    const std::vector<fake::Call> frame(lines.end() - 4, lines.end());
    lines.resize(lines.size() - 4);

    std::map<std::string, int> perEdge;
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto& a = lines[i].args;
        const size_t g = c.colourArg;
        ASSERT_EQ(a[g], fx(CX)) << i;
        ASSERT_EQ(a[g + 1], fx(CY)) << i;
        const std::string edge = edgeOf({a[g + 2], a[g + 3]}, a[0]);
        ++perEdge[edge];
        // Colours cycle modulo 255 by the coordinate along the edge, offset 0..3 by edge.
        const int64_t along = edge == "top" || edge == "bottom" ? a[g + 2] / FIXED_ONE : a[g + 3] / FIXED_ONE;
        const int64_t offset = edge == "top" ? 0 : edge == "bottom" ? 1 : edge == "left" ? 2 : 3;
        EXPECT_EQ(a[0], (along + offset) % 255) << edge << " " << along;
        EXPECT_EQ(along % c.step, 0) << edge;
        if (g == 2) {
            EXPECT_EQ(a[1], 0) << "clear stipple bits are painted black";
        }
    }
    EXPECT_EQ(perEdge, c.perEdge) << c.what;

    const std::vector<std::vector<int64_t>> frameEnds = {
        {0, 0, MAX_X, 0}, {0, 0, 0, MAX_Y}, {MAX_X, 0, MAX_X, MAX_Y}, {0, MAX_Y, MAX_X, MAX_Y}};
    for (size_t i = 0; i < 4; ++i) {
        const auto& a = frame[i].args;
        EXPECT_EQ(a[0], 15) << "frame line " << i;
        const std::vector<int64_t> ends(a.begin() + static_cast<long>(c.colourArg), a.end());
        EXPECT_EQ(ends, (std::vector<int64_t>{fx(frameEnds[i][0]), fx(frameEnds[i][1]), fx(frameEnds[i][2]),
                                              fx(frameEnds[i][3])}))
            << "frame line " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Fans, Fan,
                         ::testing::Values(FanCase{"solid",
                                                   testLines,
                                                   "AF_drawLine",
                                                   1,
                                                   4,
                                                   {{"top", 160}, {"bottom", 160}, {"left", 120}, {"right", 120}}},
                                           FanCase{"stippled",
                                                   testStippleLines,
                                                   "AF_drawStippleLine",
                                                   2,
                                                   20,
                                                   {{"top", 32}, {"bottom", 32}, {"left", 24}, {"right", 24}}}));

TEST_F(SuiteTest, StippleIsSetForTheFanThenForTheFrame)
{
    fake::pushKey('k');
    testStippleLines();
    const auto calls = drawing();
    std::vector<int64_t> stipples;
    size_t linesBeforeFrameStipple = 0;
    for (const fake::Call& call : calls) {
        if (call.name == "AF_setLineStipple")
            stipples.push_back(call.args[0]);
        else if (call.name == "AF_drawStippleLine" && stipples.size() == 1)
            ++linesBeforeFrameStipple;
    }
    EXPECT_EQ(stipples, args({0xCCCC, 0x0C3F}));
    EXPECT_EQ(linesBeforeFrameStipple, 32u + 32u + 24u + 24u);
}

TEST_F(SuiteTest, ImageTilesSixteenColumnsOfTwentyNineRows)
{
    fake::pushKey('k');
    EXPECT_EQ(testMonoImage(), 'k');
    const auto images = fake::callsNamed("AF_putMonoImage");
    ASSERT_EQ(images.size(), 16u * 29u);
    size_t i = 0;
    for (int x = 0; x <= 600; x += 40)        // columns touch; the last ends at 640
        for (int y = 0; y <= 476; y += 17) {  // the last row runs 8 lines past the bottom
            EXPECT_EQ(images[i].args, args({(x + y) % 16, 0, x, y, 5, 12})) << x << "," << y;
            EXPECT_EQ(images[i].text.size(), 60u);
            ++i;
        }
}

TEST(MonoImage, IsTwelveRowsOfFortyPixelsWithAnEmptyFifthByte)
{
    for (int row = 0; row < MONO_IMAGE_ROWS; ++row)
        EXPECT_EQ(monoImageData[row * MONO_IMAGE_BYTES_PER_ROW + 4], 0) << row;
    // The T's bar across the top, its stem down the middle, the E's closed bottom right.
    EXPECT_EQ(monoImageData[0], 0xFF);
    EXPECT_EQ(monoImageData[11 * 5 + 0], 0x1E);
    EXPECT_EQ(monoImageData[10 * 5 + 3], 0xFE);
}

}  // namespace
}  // namespace accelcheck
