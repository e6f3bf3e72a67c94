// Virtual scrolling: when it applies, the widest scan line, the pan and the vertical scroll,
// keys at each prompt, and the restore of the scan-line length and of the mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "checks/modetests/mode_fixture.h"
#include "tests/virtual_scroll.h"

namespace {

using modetests::ALREADY_QUEUED;
using modetests::answerPrompts;
using modetests::argsOf;
using modetests::callLines;
using modetests::keyAfterPolls;
using modetests::MODE;
using modetests::ModeShape;
using modetests::setMode;
using modetests::textsWritten;

using Starts = std::vector<std::vector<int64_t>>;

// A card that grants one wider scan line for any request above the mode's own width, and the
// mode's own length (with `ownLines` lines, or a refusal) for anything else.
struct Grant {
    int32_t bytesPerPixel;
    int32_t ownPixels, ownLines;
    int32_t widePixels, wideLines;
    bool refuseOwn = false;
};

void grant(Grant g)
{
    fake::display().onScanLine = [g](bool inBytes, int32_t length, int32_t* bytes, int32_t* pixels, int32_t* lines) {
        const int32_t asked = inBytes ? length / g.bytesPerPixel : length;
        const bool wide = asked > g.ownPixels;
        if (!wide && g.refuseOwn)
            return 0;
        *pixels = wide ? g.widePixels : g.ownPixels;
        *bytes = *pixels * g.bytesPerPixel;
        *lines = wide ? g.wideLines : g.ownLines;
        return 1;
    };
}

void refuseEveryLength()
{
    fake::display().onScanLine = [](bool, int32_t, int32_t*, int32_t*, int32_t*) { return 0; };
}

// The display starts set between two key waits (the n-th wait is 1-based; 0 is the start).
Starts startsBetweenWaits(int afterWait, int beforeWait)
{
    Starts starts;
    int waits = 0;
    for (const fake::Call& call : fake::calls()) {
        if (call.name == "PL_haltEvent")
            ++waits;
        else if (call.name == "VBE_setDisplayStart" && waits >= afterWait && waits < beforeWait)
            starts.push_back({call.args[0], call.args[1]});
    }
    return starts;
}

// Both ends of every leg included.
Starts legX(int64_t from, int64_t to, int64_t y)
{
    Starts starts;
    for (int64_t x = from;; x += from <= to ? 1 : -1) {
        starts.push_back({x, y});
        if (x == to)
            return starts;
    }
}

Starts legY(int64_t from, int64_t to, int64_t x)
{
    Starts starts;
    for (int64_t y = from;; y += from <= to ? 1 : -1) {
        starts.push_back({x, y});
        if (y == to)
            return starts;
    }
}

Starts join(std::initializer_list<Starts> legs)
{
    Starts all;
    for (const Starts& leg : legs)
        all.insert(all.end(), leg.begin(), leg.end());
    return all;
}

// ---- When it applies ----

TEST(VirtualScroll, WithoutAMovableDisplayStartDrawsNothing)
{
    setMode({640, 480, 8, 2});
    fake::setResult("VBE_setDisplayStart", 0);
    EXPECT_EQ(virtualScrollTest(1), 0);
    EXPECT_EQ(callLines(), (std::vector<std::string>{"VBE_setDisplayStart(10,10,0)"}));
}

struct ExitCase {
    const char* what;
    ModeShape shape;
    bool runs;
};

class VirtualScrollExit : public ::testing::TestWithParam<ExitCase> {};

TEST_P(VirtualScrollExit, SinglePage320x200IsTheOnlyShapeSkipped)
{
    const ExitCase& c = GetParam();
    setMode(c.shape);
    refuseEveryLength();
    answerPrompts({'a', 'b'});
    const int result = virtualScrollTest(0);
    if (c.runs) {
        EXPECT_EQ(result, 'b') << c.what;
        EXPECT_EQ(fake::countOf("GX_setMode"), 2u) << c.what;
    } else {
        EXPECT_EQ(result, 0) << c.what;
        EXPECT_EQ(callLines(), (std::vector<std::string>{"VBE_setDisplayStart(10,10,0)"})) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, VirtualScrollExit,
                         ::testing::Values(ExitCase{"320x200, one page", {320, 200, 8, 1}, false},
                                           ExitCase{"320x200, two pages", {320, 200, 8, 2}, true},
                                           ExitCase{"320x240, one page", {320, 240, 8, 1}, true},
                                           ExitCase{"640x200, one page", {640, 200, 8, 1}, true}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(VirtualScroll, AcceleratedModesHaveAnEmptyStep)
{
    fake::reset();
    EXPECT_EQ(accelScrollTest(), 0);
    EXPECT_TRUE(fake::calls().empty());
}

// ---- The widest scan line ----

struct WidthCase {
    const char* what;
    ModeShape shape;
    int32_t videoMemoryKb;
    int32_t maxW;  // 0: no length is tried
};

class VirtualScrollWidth : public ::testing::TestWithParam<WidthCase> {};

// Every length is refused, so the search runs from maxW down to the mode's width + 1.
TEST_P(VirtualScrollWidth, SearchesFromTheWidestLineThatFitsDownToOnePixelWider)
{
    const WidthCase& c = GetParam();
    setMode(c.shape, c.videoMemoryKb);
    refuseEveryLength();
    answerPrompts({'a', 'b'});

    virtualScrollTest(1);

    std::vector<int64_t> tried;
    for (const auto& args : argsOf("VBE_setPixelsPerLine"))
        tried.push_back(args[0]);
    std::vector<int64_t> expected;
    for (int64_t w = c.maxW; w > c.shape.width; --w)
        expected.push_back(w);
    EXPECT_EQ(tried, expected) << c.what;
    EXPECT_EQ(textsWritten().at(0), "Virtual buffer not resizeable in this mode (still " +
                                        std::to_string(c.shape.width) + " x " + std::to_string(c.shape.height) +
                                        " pixels)");
    EXPECT_EQ(textsWritten().at(1), "Press any key to begin vertical scrolling");
}

INSTANTIATE_TEST_SUITE_P(
    Depths, VirtualScrollWidth,
    ::testing::Values(WidthCase{"4 bits: two pixels a byte", {800, 600, 4, 1}, 1024, 1024 * 2048 / 600},
                      WidthCase{"8 bits, remainder dropped", {640, 480, 8, 2}, 1024, 2184},
                      WidthCase{"15 bits", {640, 480, 15, 2}, 2048, 2048 * 512 / 480},
                      WidthCase{"16 bits", {800, 600, 16, 2}, 2048, 2048 * 512 / 600},
                      WidthCase{"24 bits: 341 pixels a kilobyte, not 1024 / 3", {800, 600, 24, 2}, 2048, 1163},
                      WidthCase{"32 bits", {640, 480, 32, 2}, 4096, 4096 * 256 / 480},
                      WidthCase{"memory for no wider line", {1024, 768, 8, 1}, 768, 1024},
                      WidthCase{"a depth outside the table does not enlarge", {640, 480, 12, 2}, 4096, 0}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

struct GrantCase {
    const char* what;
    std::vector<int32_t> grants;  // pixels granted for each request, in order; 0 refuses
    std::vector<int64_t> tried;
    int32_t widthShown;  // in the status line; 640: not enlarged
};

class VirtualScrollGrant : public ::testing::TestWithParam<GrantCase> {};

// 640x480x8 in 1024 KB: maxW is 2184; a grant counts when its last column lies in 641..2183.
TEST_P(VirtualScrollGrant, TakesTheFirstGrantStrictlyInsideTheRange)
{
    const GrantCase& c = GetParam();
    setMode({640, 480, 8, 2}, 1024);
    auto grants = std::make_shared<std::vector<int32_t>>(c.grants);
    fake::display().onScanLine = [grants](bool inBytes, int32_t, int32_t* bytes, int32_t* pixels, int32_t* lines) {
        if (inBytes || grants->empty())
            return 0;
        const int32_t granted = grants->front();
        grants->erase(grants->begin());
        if (granted == 0)
            return 0;
        *bytes = *pixels = granted;
        *lines = 1024 * 1024 / granted;
        return 1;
    };
    answerPrompts({KEY_ESC, KEY_ESC});

    virtualScrollTest(1);

    std::vector<int64_t> tried;
    for (const auto& args : argsOf("VBE_setPixelsPerLine"))
        tried.push_back(args[0]);
    EXPECT_EQ(tried, c.tried) << c.what;
    EXPECT_EQ(textsWritten().at(0), "Virtual buffer now set to " + std::to_string(c.widthShown) + " x " +
                                        std::to_string(1024 * 1024 / c.widthShown) + " pixels")
        << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Grants, VirtualScrollGrant,
    ::testing::Values(GrantCase{"granted as asked at once", {2184}, {2184}, 2184},
                      GrantCase{"rounded up past maxW, then accepted", {2192, 2192, 2184}, {2184, 2183, 2182}, 2184},
                      GrantCase{"refused twice, then a shorter line", {0, 0, 1024}, {2184, 2183, 2182}, 1024},
                      GrantCase{"a last column at maxW is too wide", {2185, 2184}, {2184, 2183}, 2184},
                      GrantCase{"one column wider is not enough", {641, 1000}, {2184, 2183}, 1000},
                      GrantCase{"two columns wider is", {642}, {2184}, 642}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// ---- The pan, the restore and the vertical scroll ----

struct FlowCase {
    const char* what;
    ModeShape shape;
    int32_t videoMemoryKb;
    bool defaultGrant;  // the fake's: as asked, as many lines as fit
    Grant card;         // otherwise this card
    int32_t vbeVersion;
    std::string restoreCall;
    std::string widened, restored;  // the two status lines
    int64_t dx, dy, scrollDy;
};

class VirtualScrollFlow : public ::testing::TestWithParam<FlowCase> {};

TEST_P(VirtualScrollFlow, PansRoundTheWideScreenThenScrollsDownAndUp)
{
    const FlowCase& c = GetParam();
    const DisplayContext& dc = setMode(c.shape, c.videoMemoryKb);
    fake::display().context.vbeVersion = c.vbeVersion;
    if (!c.defaultGrant)
        grant(c.card);
    answerPrompts({'a', 'b', 'c', 'd'});

    EXPECT_EQ(virtualScrollTest(1), 'd');

    // Probe, the mode set again from what is set now, then the widest line that fits.
    const auto lines = callLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector(lines.begin(), lines.begin() + 3),
              (std::vector<std::string>{"VBE_setDisplayStart(10,10,0)", "VBE_getVideoMode()",
                                        "GX_setMode(" + std::to_string(MODE) + ",0,1,0)"}));

    EXPECT_EQ(startsBetweenWaits(0, 1), (Starts{{10, 10}, {0, 0}}));
    EXPECT_EQ(startsBetweenWaits(1, 2),
              join({legX(0, c.dx, 0), legY(0, c.dy, c.dx), legX(c.dx, 0, c.dy), legY(c.dy, 0, 0)}));
    EXPECT_EQ(startsBetweenWaits(2, 3), (Starts{{0, 0}}));
    EXPECT_EQ(startsBetweenWaits(3, 4), join({legY(0, c.scrollDy, 0), legY(c.scrollDy, 0, 0)}));
    EXPECT_EQ(fake::callsNamed("VBE_setBytesPerLine").size() + fake::callsNamed("VBE_setPixelsPerLine").size(), 2u);
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.restoreCall), lines.end()) << c.restoreCall;

    const uint32_t white = dc.defaultColor;
    std::vector<std::string> texts;
    for (const fake::Call& call : fake::callsNamed("GX_writeText"))
        texts.push_back(std::to_string(call.args[0]) + "," + std::to_string(call.args[1]) + "," +
                        std::to_string(call.args[2]) + " " + call.text);
    const std::string at40 = "20,40," + std::to_string(white) + " ", at60 = "20,60," + std::to_string(white) + " ";
    EXPECT_EQ(texts, (std::vector<std::string>{at40 + c.widened, at60 + "Press any key to begin virtual scrolling",
                                               at40 + c.restored, at60 + "Press any key to begin virtual scrolling"}));

    // The mode is set again at the end, bringing back its own scan lines.
    EXPECT_EQ(std::vector(lines.end() - 2, lines.end()),
              (std::vector<std::string>{"VBE_getVideoMode()", "GX_setMode(" + std::to_string(MODE) + ",0,1,0)"}));
    EXPECT_EQ(dc.maxX, c.shape.width - 1);
    EXPECT_EQ(dc.maxY, c.shape.height - 1);
}

INSTANTIATE_TEST_SUITE_P(Cards, VirtualScrollFlow,
                         ::testing::Values(FlowCase{"640x480x8 in 1 MB: as wide as fits, no room below",
                                                    {640, 480, 8, 2},
                                                    1024,
                                                    true,
                                                    {},
                                                    0x200,
                                                    "VBE_setBytesPerLine(640)",
                                                    "Virtual buffer now set to 2184 x 480 pixels",
                                                    "Virtual buffer now set to 640 x 1638 pixels",
                                                    2184 - 640,
                                                    0,
                                                    1638 - 480},
                                           FlowCase{"a narrower grant with room below, VBE 2.0 restores in bytes",
                                                    {320, 240, 16, 2},
                                                    4096,
                                                    false,
                                                    {2, 320, 400, 330, 250},
                                                    0x200,
                                                    "VBE_setBytesPerLine(640)",
                                                    "Virtual buffer now set to 330 x 250 pixels",
                                                    "Virtual buffer now set to 320 x 400 pixels",
                                                    10,
                                                    10,
                                                    160},
                                           FlowCase{"VBE 1.2 restores in pixels",
                                                    {320, 240, 16, 2},
                                                    4096,
                                                    false,
                                                    {2, 320, 400, 330, 250},
                                                    0x102,
                                                    "VBE_setPixelsPerLine(320)",
                                                    "Virtual buffer now set to 330 x 250 pixels",
                                                    "Virtual buffer now set to 320 x 400 pixels",
                                                    10,
                                                    10,
                                                    160},
                                           FlowCase{"VBE 3.0 restores in bytes",
                                                    {320, 240, 24, 2},
                                                    4096,
                                                    false,
                                                    {3, 320, 400, 330, 250},
                                                    0x300,
                                                    "VBE_setBytesPerLine(960)",
                                                    "Virtual buffer now set to 330 x 250 pixels",
                                                    "Virtual buffer now set to 320 x 400 pixels",
                                                    10,
                                                    10,
                                                    160},
                                           FlowCase{"a refused restore still narrows to the mode's width",
                                                    {320, 240, 8, 2},
                                                    4096,
                                                    false,
                                                    {1, 320, 400, 330, 250, true},
                                                    0x200,
                                                    "VBE_setBytesPerLine(320)",
                                                    "Virtual buffer now set to 330 x 250 pixels",
                                                    "Virtual buffer now set to 320 x 250 pixels",
                                                    10,
                                                    10,
                                                    10}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// ---- Keys ----

struct KeyCase {
    const char* what;
    bool widened;
    std::vector<int> keys;  // one per prompt reached
    int pollKeyAfter;       // this many scroll steps find nothing, the next finds the key; -1: none
    int pollKey;
    int result;
    size_t panSteps, scrollSteps;
    bool restored;  // the scan-line length was set back before the end
};

class VirtualScrollKeys : public ::testing::TestWithParam<KeyCase> {};

// 320x240x8 widened to 330x250 (a pan of 44 steps), 400 lines after the restore (322 steps).
TEST_P(VirtualScrollKeys, KeysStopWhatTheyShouldAndTheModeIsSetAgain)
{
    const KeyCase& c = GetParam();
    setMode({320, 240, 8, 2});
    if (c.widened)
        grant({1, 320, 400, 330, 250});
    else
        refuseEveryLength();
    answerPrompts(c.keys);
    if (c.pollKeyAfter >= 0)
        keyAfterPolls(c.pollKeyAfter, static_cast<uint8_t>(c.pollKey));

    EXPECT_EQ(virtualScrollTest(0), c.result) << c.what;

    const int waits = static_cast<int>(fake::countOf("PL_haltEvent"));
    EXPECT_EQ(waits, static_cast<int>(c.keys.size())) << c.what;
    if (c.widened) {
        EXPECT_EQ(startsBetweenWaits(1, 2).size(), c.panSteps) << c.what;
        EXPECT_EQ(fake::countOf("VBE_setBytesPerLine"), c.restored ? 1u : 0u) << c.what;
        EXPECT_EQ(startsBetweenWaits(3, 4).size(), c.scrollSteps) << c.what;
    } else {
        EXPECT_EQ(startsBetweenWaits(1, 2).size(), c.scrollSteps) << c.what;
    }
    EXPECT_EQ(fake::callsNamed("GX_setMode").back().args, (std::vector<int64_t>{MODE, 0, 0, 0})) << c.what;
    EXPECT_EQ(fake::callNames().back(), "GX_setMode") << c.what;
    EXPECT_EQ(fake::queuedEvents(), 0u) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, VirtualScrollKeys,
    ::testing::Values(
        KeyCase{"keys all the way", true, {'a', 'b', 'c', 'd'}, -1, 0, 'd', 44, 322, true},
        KeyCase{"Esc before the pan does not stop it", true, {KEY_ESC, 'b', 'c', 'd'}, -1, 0, 'd', 44, 322, true},
        KeyCase{"Esc after the pan ends without the restore", true, {'a', KEY_ESC}, -1, 0, KEY_ESC, 44, 0, false},
        KeyCase{"Esc before the vertical scroll skips it", true, {'a', 'b', KEY_ESC}, -1, 0, KEY_ESC, 44, 0, true},
        KeyCase{"a key during the pan stops it and is the next key",
                true,
                {'a', ALREADY_QUEUED, 'c', 'd'},
                5,
                'k',
                'd',
                6,
                322,
                true},
        KeyCase{"Esc during the pan ends the test with one press",
                true,
                {'a', ALREADY_QUEUED},
                5,
                KEY_ESC,
                KEY_ESC,
                6,
                0,
                false},
        KeyCase{"a key during the scroll down skips the scroll up",
                true,
                {'a', 'b', 'c', ALREADY_QUEUED},
                44 + 7,
                'k',
                'k',
                44,
                8,
                true},
        KeyCase{"not widened: Esc before the vertical scroll skips it", false, {KEY_ESC}, -1, 0, KEY_ESC, 0, 0, false},
        KeyCase{
            "not widened: the vertical scroll over the mode's own lines", false, {'a', 'z'}, -1, 0, 'z', 0, 2, false}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// ---- The scan-line setters ----

struct SetterCase {
    const char* what;
    bool inBytes;
    bool grants;
};

class ScanLineSetters : public ::testing::TestWithParam<SetterCase> {};

TEST_P(ScanLineSetters, StoreTheGrantedLengthOrChangeNothing)
{
    const SetterCase& c = GetParam();
    DisplayContext& dc = setMode({640, 480, 16, 2});
    fake::display().onScanLine = [&c](bool inBytes, int32_t length, int32_t* bytes, int32_t* pixels, int32_t* lines) {
        EXPECT_EQ(inBytes, c.inBytes);
        EXPECT_EQ(length, 1000);
        if (!c.grants)
            return 0;
        *bytes = 2048;
        *pixels = 1024;
        *lines = 2047;
        return 1;
    };
    const int ok = c.inBytes ? setScanLineBytes(1000) : setScanLinePixels(1000);
    EXPECT_EQ(ok, c.grants ? 1 : 0) << c.what;
    EXPECT_EQ(dc.bytesPerLine, c.grants ? 2048 : 1280) << c.what;
    EXPECT_EQ(dc.maxX, c.grants ? 1023 : 639) << c.what;
    EXPECT_EQ(dc.maxY, c.grants ? 2046 : 479) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Setters, ScanLineSetters,
                         ::testing::Values(SetterCase{"bytes granted", true, true},
                                           SetterCase{"bytes refused", true, false},
                                           SetterCase{"pixels granted", false, true},
                                           SetterCase{"pixels refused", false, false}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
