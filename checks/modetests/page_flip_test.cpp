// Page flipping: the calls of a frame, the page cycle, the rate readout and the moving lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checks/modetests/mode_fixture.h"
#include "tests/page_flip.h"

namespace {

using modetests::argsOf;
using modetests::callLines;
using modetests::keyAfterPolls;
using modetests::ModeShape;
using modetests::setMode;
using modetests::textsWritten;

class PageFlipSinglePage : public ::testing::TestWithParam<int> {};

// A context reporting no pages at all is treated as one page rather than divided by.
TEST_P(PageFlipSinglePage, DrawsNothingAndLeavesPageZeroActiveAndVisible)
{
    setMode({640, 480, 8, GetParam()});
    fake::pushKey('x');

    EXPECT_EQ(pageFlipTest(1), 0);
    EXPECT_EQ(callLines(), (std::vector<std::string>{"GX_setActivePage(0)", "GX_setVisualPage(0,0)"}));
    EXPECT_EQ(fake::queuedEvents(), 1u) << "no key may be taken";
}

INSTANTIATE_TEST_SUITE_P(Pages, PageFlipSinglePage, ::testing::Values(1, 0));

struct FrameCase {
    const char* what;
    ModeShape shape;
    int waitRetrace;
    int column;     // x of the two message lines
    int lineColor;  // colour of the two moving lines
    int white;      // defaultColor of the mode
};

class PageFlipFrame : public ::testing::TestWithParam<FrameCase> {};

// One frame, then a key: every call with its arguments, in order.
TEST_P(PageFlipFrame, DrawsOneFrameIntoTheHiddenPageAndShowsIt)
{
    const FrameCase& c = GetParam();
    DisplayContext& dc = setMode(c.shape);
    dc.defaultColor = static_cast<uint32_t>(c.white);
    keyAfterPolls(1, 'k');

    EXPECT_EQ(pageFlipTest(c.waitRetrace), 'k');

    const std::string maxX = std::to_string(dc.maxX), maxY = std::to_string(dc.maxY);
    const std::string w = std::to_string(c.white), line = std::to_string(c.lineColor);
    const std::string retrace = std::to_string(c.waitRetrace), col = std::to_string(c.column);
    const std::vector<std::string> expected{
        "GX_setActivePage(1)",
        "GX_setVisualPage(0," + retrace + ")",
        "PL_peekEvent(9)",
        "GX_setActivePage(1)",
        "GX_clear(0)",
        "GX_writeText(4,4," + w + ") \"  0.0 fps\"",
        "GX_writeText(" + col + ",80," + w + ") \"Page flipping - should be no flicker\"",
        "GX_writeText(" + col + ",100," + w + ") \"Page 2 of " + std::to_string(c.shape.pages) + "\"",
        "GX_beginLine()",
        "GX_lineFast(0,0," + maxX + "," + maxY + "," + line + ")",
        "GX_lineFast(0,0," + maxX + "," + maxY + "," + line + ")",
        "GX_lineFast(0,0," + maxX + ",0," + w + ")",
        "GX_lineFast(0,0,0," + maxY + "," + w + ")",
        "GX_lineFast(" + maxX + ",0," + maxX + "," + maxY + "," + w + ")",
        "GX_lineFast(0," + maxY + "," + maxX + "," + maxY + "," + w + ")",
        "GX_endLine()",
        "GX_setVisualPage(1," + retrace + ")",
        "PL_peekEvent(9)",
        "PL_haltEvent(9)",
        "GX_setActivePage(0)",
        "GX_setVisualPage(0,0)",
    };
    EXPECT_EQ(callLines(), expected) << c.what;
    EXPECT_EQ(fake::queuedEvents(), 0u) << "the key that stopped the animation is the one returned";
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PageFlipFrame,
    ::testing::Values(FrameCase{"640x480x8 with retrace", {640, 480, 8, 2}, 1, 80, 15, 15},
                      FrameCase{"320x200x8 without retrace", {320, 200, 8, 2}, 0, 4, 15, 15},
                      FrameCase{"360 wide is still narrow", {361, 200, 8, 4}, 0, 4, 15, 15},
                      FrameCase{"362 wide is wide", {362, 200, 8, 4}, 0, 80, 15, 15},
                      FrameCase{"16-bit lines in white", {640, 480, 16, 3}, 1, 80, 0xFFFF, 0xFFFF},
                      FrameCase{"4-bit lines in colour 15", {800, 600, 4, 2}, 0, 80, 15, 15},
                      FrameCase{"8-bit lines in colour 15 whatever white is", {640, 400, 8, 2}, 0, 80, 15, 255}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(PageFlip, EscStopsTheAnimationWithOnePress)
{
    setMode({640, 480, 8, 2});
    keyAfterPolls(5, KEY_ESC);
    EXPECT_EQ(pageFlipTest(0), KEY_ESC);
    EXPECT_EQ(fake::countOf("GX_clear"), 5u);
}

TEST(PageFlip, EveryPageIsDrawnThenShownInTurn)
{
    setMode({640, 480, 8, 3});
    keyAfterPolls(7, ' ');
    pageFlipTest(0);

    // Between the start and the final reset to page 0, each shown page is the one just drawn.
    std::vector<int64_t> drawn, shown;
    const auto calls = fake::calls();
    for (size_t i = 2; i + 2 < calls.size(); ++i) {
        if (calls[i].name == "GX_setActivePage")
            drawn.push_back(calls[i].args[0]);
        if (calls[i].name == "GX_setVisualPage")
            shown.push_back(calls[i].args[0]);
    }
    EXPECT_EQ(drawn, (std::vector<int64_t>{1, 2, 0, 1, 2, 0, 1}));
    EXPECT_EQ(shown, drawn);

    std::vector<std::string> pageTexts;
    for (const std::string& text : textsWritten())
        if (text.rfind("Page ", 0) == 0 && text.find("flipping") == std::string::npos)
            pageTexts.push_back(text);
    EXPECT_EQ(pageTexts, (std::vector<std::string>{"Page 2 of 3", "Page 3 of 3", "Page 1 of 3", "Page 2 of 3",
                                                   "Page 3 of 3", "Page 1 of 3", "Page 2 of 3"}));
}

struct RateCase {
    const char* what;
    int pages;
    std::vector<uint32_t> clockMs;      // the clock while each frame is drawn (timerStart reads 0)
    std::vector<std::string> readouts;  // what each frame shows
};

class PageFlipRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(PageFlipRate, ShowsTheRateOfTheLastCompletedCycle)
{
    const RateCase& c = GetParam();
    setMode({640, 480, 8, c.pages});
    fake::setTime(0);
    fake::setTimeStep(0);
    const std::vector<uint32_t> clock = c.clockMs;
    // Each poll begins a frame.
    fake::onPoll([clock](int poll) {
        if (poll <= static_cast<int>(clock.size()))
            fake::setTime(clock[poll - 1]);
        else
            fake::pushKey('k');
    });

    pageFlipTest(0);

    std::vector<std::string> readouts;
    for (const std::string& text : textsWritten())
        if (text.find("fps") != std::string::npos)
            readouts.push_back(text);
    EXPECT_EQ(readouts, c.readouts) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cycles, PageFlipRate,
                         ::testing::Values(
                             // The first update comes after one frame of two, then every two frames; integer division.
                             RateCase{"two pages, 16 ms a frame",
                                      2,
                                      {16, 32, 48, 64, 80},
                                      {"  0.0 fps", "125.0 fps", "125.0 fps", " 62.4 fps", " 62.4 fps"}},
                             RateCase{"three pages, 10 ms a frame",
                                      3,
                                      {10, 20, 30, 40, 50, 60},
                                      {"  0.0 fps", "  0.0 fps", "150.0 fps", "150.0 fps", "150.0 fps", " 99.9 fps"}},
                             RateCase{"a cycle within one tick keeps the last rate",
                                      2,
                                      {10, 10, 10, 10},
                                      {"  0.0 fps", "200.0 fps", "200.0 fps", "200.0 fps"}},
                             RateCase{
                                 "no tick at all keeps 0.0", 2, {0, 0, 0}, {"  0.0 fps", "  0.0 fps", "  0.0 fps"}},
                             RateCase{"a slow cycle shows tenths",
                                      2,
                                      {300, 600, 900, 1200},
                                      {"  0.0 fps", "  6.6 fps", "  6.6 fps", "  3.2 fps"}}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// The first line's end bounces between 0 and maxX, the second's between maxY and 0, by 2.
TEST(PageFlip, MovingLinesBounceOffOddEdges)
{
    setMode({640, 480, 8, 2});
    keyAfterPolls(700, ' ');
    pageFlipTest(0);

    std::vector<int64_t> xs, ys;
    const auto lines = argsOf("GX_lineFast");
    for (size_t i = 0; i + 6 <= lines.size(); i += 6) {
        xs.push_back(lines[i][0]);
        ys.push_back(lines[i + 1][3]);
    }
    ASSERT_EQ(xs.size(), 700u);

    std::vector<int64_t> expectX, expectY;
    for (int x = 0; x <= 638; x += 2)
        expectX.push_back(x);
    for (int x = 637; x >= 1; x -= 2)
        expectX.push_back(x);
    for (int x = 2; expectX.size() < 700; x += 2)
        expectX.push_back(x);
    for (int y = 479; y >= 1; y -= 2)
        expectY.push_back(y);
    for (int y = 2; y <= 478; y += 2)
        expectY.push_back(y);
    for (int y = 477; expectY.size() < 700; y -= 2)
        expectY.push_back(y);
    EXPECT_EQ(xs, expectX);
    EXPECT_EQ(ys, expectY);
}

}  // namespace
