// The run sequence of testMode, the Esc rule, the key waits and the timer.
#include <gtest/gtest.h>

#include "app/globals.h"
#include "fake/fake.h"
#include "tests/test_run.h"

namespace {

constexpr uint16_t MODE = 0x101;

// The calls that show the sequence; PL_haltEvent is the moire screen's key wait (the other
// tests are recording stand-ins that wait for nothing).
const std::vector<std::string> SEQUENCE = {"GX_getModeInfo",  "GX_setMode",    "PL_haltEvent",    "pageFlipTest",
                                           "paletteFadeTest", "wideDacTest",   "accelScrollTest", "virtualScrollTest",
                                           "runAccelSuite",   "GX_restoreMode"};

class TestRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::reset();
        displayContext = &fake::display().context;
    }
};

struct RunCase {
    const char* what;
    int bitsPerPixel;
    bool acceleratedMode;  // bit 0x10 in the mode's attributes
    bool accelContext;     // the display context has an accelerator
    int paletteFade, virtualScroll, wideDac;
    uint8_t moireKey;
    const char* escapeIn;  // the stand-in that returns Esc, or null
    std::vector<std::string> expected;
};

class RunSequence : public TestRun, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunSequence, RunsTheTestsThatApplyInOrderAndAlwaysRestores)
{
    const RunCase& c = GetParam();
    fake::addMode(MODE, 640, 480, c.bitsPerPixel, 2, c.acceleratedMode);
    fake::display().hasAccel = c.accelContext;
    fake::pushKey(c.moireKey);
    if (c.escapeIn)
        fake::setResult(c.escapeIn, KEY_ESC);

    EXPECT_EQ(testMode(MODE, c.paletteFade, c.virtualScroll, 1, 256, c.wideDac, 0), 1) << c.what;
    EXPECT_EQ(fake::callNames(SEQUENCE), c.expected) << c.what;
}

const std::vector<std::string> SET = {"GX_getModeInfo", "GX_setMode", "PL_haltEvent"};

std::vector<std::string> run(std::initializer_list<const char*> tests)
{
    std::vector<std::string> calls = SET;
    calls.insert(calls.end(), tests.begin(), tests.end());
    calls.push_back("GX_restoreMode");
    return calls;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RunSequence,
    ::testing::Values(
        RunCase{"8-bit mode with every option", 8, false, false, 1, 1, 1, 'a', nullptr,
                run({"pageFlipTest", "paletteFadeTest", "wideDacTest", "virtualScrollTest"})},
        RunCase{"a mouse button or Enter at the moire screen goes on", 8, false, false, 0, 0, 0, KEY_ENTER, nullptr,
                run({"pageFlipTest"})},
        RunCase{"Esc at the moire screen", 8, true, true, 1, 1, 1, KEY_ESC, nullptr, run({})},
        RunCase{"Esc in page flipping", 8, true, true, 1, 1, 1, 'a', "pageFlipTest", run({"pageFlipTest"})},
        RunCase{"Esc in the palette fade skips the wide DAC", 8, false, false, 1, 1, 1, 'a', "paletteFadeTest",
                run({"pageFlipTest", "paletteFadeTest"})},
        RunCase{"Esc in the wide DAC test", 8, false, false, 1, 1, 1, 'a', "wideDacTest",
                run({"pageFlipTest", "paletteFadeTest", "wideDacTest"})},
        RunCase{"Esc in virtual scrolling skips the suite", 16, true, false, 1, 1, 1, 'a', "virtualScrollTest",
                run({"pageFlipTest", "virtualScrollTest"})},
        RunCase{"4-bit mode runs no palette test", 4, false, false, 1, 1, 1, 'a', nullptr,
                run({"pageFlipTest", "virtualScrollTest"})},
        RunCase{"15-bit mode runs no palette test", 15, false, false, 1, 1, 1, 'a', nullptr,
                run({"pageFlipTest", "virtualScrollTest"})},
        RunCase{"32-bit mode runs no palette test", 32, false, false, 1, 1, 1, 'a', nullptr,
                run({"pageFlipTest", "virtualScrollTest"})},
        RunCase{"wide DAC without the palette fade does not run", 8, false, false, 0, 1, 1, 'a', nullptr,
                run({"pageFlipTest", "virtualScrollTest"})},
        RunCase{"palette fade without the wide DAC", 8, false, false, 1, 0, 0, 'a', nullptr,
                run({"pageFlipTest", "paletteFadeTest"})},
        RunCase{"an accelerated mode scrolls in the suite", 8, true, true, 1, 1, 1, 'a', nullptr,
                run({"pageFlipTest", "paletteFadeTest", "wideDacTest", "accelScrollTest", "runAccelSuite"})},
        RunCase{"an accelerated mode without the scroll option", 32, true, true, 1, 0, 1, 'a', nullptr,
                run({"pageFlipTest", "runAccelSuite"})}));

TEST_F(TestRun, PassesEachOptionToItsTestAndSetsTheModeWithTheRunBit)
{
    fake::addMode(MODE, 640, 480, 8, 2, true);
    fake::display().modes[MODE].info.modeSetValue = 0x8123;  // zero-extended, not sign-extended
    fake::display().hasAccel = true;
    fake::pushKey('a');
    const int mode = MODE | 0x4000;

    testMode(mode, 1, 0, 0, 256, 1, 1);

    EXPECT_EQ(fake::callsNamed("GX_getModeInfo")[0].args, (std::vector<int64_t>{mode}));
    EXPECT_EQ(fake::callsNamed("GX_setMode")[0].args, (std::vector<int64_t>{mode | 0x2000, 0, 1, 0x8123}));
    EXPECT_EQ(currentMode, mode);
    EXPECT_EQ(fake::callsNamed("pageFlipTest")[0].args, (std::vector<int64_t>{0}));
    EXPECT_EQ(fake::callsNamed("paletteFadeTest")[0].args, (std::vector<int64_t>{256}));
    EXPECT_EQ(fake::callsNamed("runAccelSuite")[0].args, (std::vector<int64_t>{1}));

    fake::calls().clear();
    fake::pushKey('a');
    fake::display().hasAccel = false;
    testMode(mode, 0, 1, 1, 256, 0, 1);
    EXPECT_EQ(fake::callsNamed("pageFlipTest")[0].args, (std::vector<int64_t>{1}));
    EXPECT_EQ(fake::callsNamed("virtualScrollTest")[0].args, (std::vector<int64_t>{1}));
}

TEST_F(TestRun, AModeThatCannotBeQueriedOrSetShowsNothingAndIsNotRestored)
{
    struct Case {
        const char* what;
        bool listed;
        bool setFails;
        std::vector<std::string> expected;
    };
    for (const Case& c : {Case{"unknown mode", false, false, {"GX_getModeInfo"}},
                          Case{"mode set fails", true, true, {"GX_getModeInfo", "GX_setMode"}}}) {
        fake::reset();
        displayContext = &fake::display().context;
        if (c.listed)
            fake::addMode(MODE, 640, 480, 8);
        if (c.setFails)
            fake::setResult("GX_setMode", 0);
        currentMode = 0x1234;

        EXPECT_EQ(testMode(MODE, 1, 1, 1, 256, 1, 0), 0) << c.what;
        EXPECT_EQ(fake::callNames(SEQUENCE), c.expected) << c.what;
        EXPECT_EQ(fake::countOf("GX_lineFast") + fake::countOf("GX_writeText"), 0u) << c.what;
        EXPECT_EQ(currentMode, 0x1234) << c.what;
    }
}

TEST_F(TestRun, WaitKeyGivesTheCharacterOfAKeyAndEnterForAMouseButton)
{
    struct Case {
        const char* what;
        InputEvent event;
        int expected;
    };
    const Case cases[] = {
        {"letter", InputEvent{EVENT_KEY_DOWN, 0, 0, 0, 'x', 0, {}}, 'x'},
        {"Esc", InputEvent{EVENT_KEY_DOWN, 0, 0, 0, 27, 0, {}}, 27},
        {"only the low byte of the message", InputEvent{EVENT_KEY_DOWN, 0, 0, 0, 0x48E0, 0, {}}, 0xE0},
        {"a key without a character", InputEvent{EVENT_KEY_DOWN, 0, 0, 0, 0x4800, 0, {}}, 0},
        {"mouse button", InputEvent{EVENT_MOUSE_DOWN, 0, 0, 0, 'q', 0, {}}, KEY_ENTER},
    };
    for (const Case& c : cases) {
        fake::reset();
        fake::pushEvent(c.event);
        EXPECT_EQ(waitKey(), c.expected) << c.what;
        EXPECT_EQ(fake::callsNamed("PL_haltEvent")[0].args, (std::vector<int64_t>{9})) << c.what;
        EXPECT_EQ(fake::queuedEvents(), 0u) << c.what;
    }
}

TEST_F(TestRun, EventPendingPeeksWithoutTakingTheEvent)
{
    EXPECT_EQ(eventPending(), 0);
    fake::pushKey('k');
    EXPECT_NE(eventPending(), 0);
    EXPECT_EQ(fake::queuedEvents(), 1u);
    for (const fake::Call& peek : fake::callsNamed("PL_peekEvent"))
        EXPECT_EQ(peek.args, (std::vector<int64_t>{9}));
    EXPECT_EQ(waitKey(), 'k');  // the very key that ended a polling loop
}

TEST_F(TestRun, TimerCountsMicrosecondsInWrappingUnsignedArithmetic)
{
    struct Case {
        const char* what;
        uint32_t startMs, nowMs;
        uint32_t expected;
    };
    const Case cases[] = {
        {"no time", 500, 500, 0},
        {"one tick", 500, 501, 1000},
        {"across the clock's wrap", 0xFFFFFFFE, 3, 5000},
        {"the product wraps after 2^32 microseconds", 0, 4294968, 704},
    };
    fake::setTimeStep(0);
    for (const Case& c : cases) {
        fake::setTime(c.startMs);
        timerStart();
        fake::setTime(c.nowMs);
        EXPECT_EQ(timerElapsed(), c.expected) << c.what;
    }
}

TEST_F(TestRun, DelayReturnsOnceTheClockHasMovedFarEnough)
{
    struct Case {
        const char* what;
        uint32_t startMs;
        uint32_t micros;
        uint32_t clockAfter;  // the clock's next reading once delay returned
    };
    const Case cases[] = {
        {"no delay", 100, 0, 102},
        {"one tick", 100, 1000, 102},
        {"part of a tick waits for a whole one", 100, 1, 102},
        {"five ticks", 100, 5000, 106},
        {"across the clock's wrap", 0xFFFFFFFF, 3000, 3},
    };
    fake::setTimeStep(1);
    for (const Case& c : cases) {
        fake::setTime(c.startMs);
        delay(c.micros);
        EXPECT_EQ(timeGetTime(), c.clockAfter) << c.what;
    }
}

}  // namespace
