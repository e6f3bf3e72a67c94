// The full-screen library, the clock and the mouse over the session's input queue.
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "checks/desktop/test_clock.h"
#include "desktop/session.h"
#include "desktop/shots.h"
#include "platform/fullscreen.h"
#include "platform/win32.h"

using desktop::Action;

namespace {

Action keyAction(int key, uint32_t waitMs = 0)
{
    Action a;
    a.kind = Action::Kind::Key;
    a.key = key;
    a.waitMs = waitMs;
    return a;
}

Action simple(Action::Kind kind, int x = 0, int y = 0, uint32_t waitMs = 0)
{
    Action a;
    a.kind = kind;
    a.x = x;
    a.y = y;
    a.waitMs = waitMs;
    return a;
}

class FullScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        startScriptedSession(clock);
        desktop::session().setScreenSource(
            [](desktop::Picture& p) {
                p.width = 4;
                p.height = 2;
                p.pixels.assign(8, 0x123456);
            },
            [](const desktop::Picture&) { return std::string("full screen 4 x 2, 8 bit"); });
    }
    TestClock clock;
};

TEST_F(FullScreen, PeekLeavesTheEventQueuedAndHaltTakesIt)
{
    desktop::session().enqueue(keyAction('x'));
    desktop::session().enqueue(simple(Action::Kind::Button));
    PL_startFullScreen(nullptr, 640, 480);
    InputEvent event{};
    ASSERT_EQ(PL_peekEvent(&event, EVENT_MASK_KEY_OR_MOUSE), 1);
    EXPECT_EQ(event.kind, EVENT_KEY_DOWN);
    EXPECT_EQ(event.message & 0xFF, uint32_t('x'));
    ASSERT_EQ(PL_peekEvent(&event, EVENT_MASK_KEY_OR_MOUSE), 1);
    EXPECT_EQ(event.message & 0xFF, uint32_t('x'));
    InputEvent taken{};
    PL_haltEvent(&taken, EVENT_MASK_KEY_OR_MOUSE);
    EXPECT_EQ(taken.kind, EVENT_KEY_DOWN);
    EXPECT_EQ(taken.message & 0xFF, uint32_t('x'));
    PL_haltEvent(&taken, EVENT_MASK_KEY_OR_MOUSE);
    EXPECT_EQ(taken.kind, EVENT_MOUSE_DOWN);
    PL_restoreGDI();
}

TEST_F(FullScreen, WaitHoldsTheNextEventBackForVirtualTimeOnly)
{
    desktop::session().enqueue(keyAction(27, 50));
    const DWORD start = timeGetTime();
    InputEvent event{};
    int polls = 0;
    while (!PL_peekEvent(&event, EVENT_MASK_KEY_OR_MOUSE))
        ++polls;
    // Each poll costs a millisecond of virtual time, so the loop ends after about 50.
    EXPECT_GE(polls, 45);
    EXPECT_LE(polls, 51);
    EXPECT_GE(timeGetTime() - start, 50u);
    PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
    EXPECT_EQ(event.message, 27u);

    // A blocking wait jumps the clock forward instead of polling.
    desktop::session().enqueue(keyAction(13, 1000));
    const DWORD before = timeGetTime();
    PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
    EXPECT_EQ(event.message, 13u);
    EXPECT_GE(timeGetTime() - before, 1000u);
    EXPECT_LE(timeGetTime() - before, 1002u);
}

TEST_F(FullScreen, ClockIsAWrappingMillisecondCount)
{
    clock.micros = (uint64_t(1) << 32) * 1000 + 5'000;
    EXPECT_EQ(timeGetTime(), 5u);
    clock.micros = 0xFFFFFFFFull * 1000 - 500;
    EXPECT_EQ(timeGetTime(), 0xFFFFFFFEu);
}

TEST_F(FullScreen, MouseMovesAreSeenByGetCursorPosInOrder)
{
    desktop::session().enqueue(simple(Action::Kind::Mouse, 10, 20));
    desktop::session().enqueue(simple(Action::Kind::Mouse, 300, 400, 5));
    desktop::session().enqueue(keyAction('q'));
    POINT p{};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    InputEvent event{};
    EXPECT_EQ(PL_peekEvent(&event, EVENT_MASK_KEY_OR_MOUSE), 0);  // the second move is not due
    clock.micros += 5000;
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 300);
    EXPECT_EQ(p.y, 400);
    EXPECT_EQ(PL_peekEvent(&event, EVENT_MASK_KEY_OR_MOUSE), 1);
    EXPECT_EQ(event.whereX, 300);
}

// A script's click on a dialog control while the tests hold the screen cannot be done: the
// run ends there, naming the line and the screen. A person's (line 0) is dropped.
TEST_F(FullScreen, DialogInputDuringATestRunEndsAScriptedRunAndIsDroppedFromAPerson)
{
    desktop::session().setScriptName("run.script");
    PL_startFullScreen(nullptr, 640, 480);
    Action click;
    click.kind = Action::Kind::Click;
    click.id = 121;
    click.line = 7;
    desktop::session().enqueue(click);
    desktop::session().enqueue(keyAction(' '));
    InputEvent event{};
    try {
        PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
        ADD_FAILURE() << "the click was skipped";
    } catch (const desktop::RunEnded& ended) {
        EXPECT_EQ(ended.status, desktop::EXIT_STEP_NOT_DONE);
        EXPECT_EQ(ended.message.find("palisade: run.script:7: "), 0u) << ended.message;
        EXPECT_NE(ended.message.find("the screen was: full screen 4 x 2, 8 bit"), std::string::npos) << ended.message;
    }
    EXPECT_EQ(desktop::session().queued(), 1u) << "nothing after the step is taken";

    click.line = 0;
    SetUp();
    PL_startFullScreen(nullptr, 640, 480);
    desktop::session().enqueue(click);
    desktop::session().enqueue(keyAction(' '));
    PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
    EXPECT_EQ(event.message, uint32_t(' '));
}

TEST_F(FullScreen, EndOfScriptWhileWaitingOrPollingEndsTheRun)
{
    PL_startFullScreen(nullptr, 640, 480);
    InputEvent event{};
    for (bool blocking : {true, false}) {
        try {
            if (blocking)
                PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
            else
                PL_peekEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
            ADD_FAILURE() << "returned without input";
        } catch (const desktop::RunEnded& ended) {
            EXPECT_EQ(ended.status, 3);
            EXPECT_NE(ended.message.find("full screen 4 x 2, 8 bit"), std::string::npos);
        }
    }
}

// The screens a run's record lists, in order: "FILE: CAPTION", with the script's names and
// note after them, as the index page and the reports show them.
std::vector<std::string> captionsOf(const desktop::ShotWriter& shots)
{
    std::vector<std::string> captions;
    for (const desktop::ScreenEntry& screen : shots.screens()) {
        std::string line = screen.png + ": " + screen.caption;
        for (const std::string& name : screen.names)
            line += " [" + name + "]";
        if (!screen.scriptNote.empty())
            line += " (script: " + screen.scriptNote + ")";
        captions.push_back(line);
    }
    return captions;
}

TEST_F(FullScreen, ShotsAreTakenWhenTheProgramAsksForInputAndNameThatWaitsPicture)
{
    const auto folder = std::filesystem::temp_directory_path() / ("palisade-shots-" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    desktop::ShotWriter shots(folder.string());
    desktop::session().setShots(&shots);
    for (const auto& [name, caption] : {std::pair{"moire", "Moire & lines"}, std::pair{"plain", ""}}) {
        Action shot;
        shot.kind = Action::Kind::Shot;
        shot.text = name;
        shot.caption = caption;
        desktop::session().enqueue(shot);
    }
    desktop::session().enqueue(keyAction('a'));
    desktop::session().enqueue(keyAction('b'));
    PL_startFullScreen(nullptr, 640, 480);
    timeGetTime();  // not asking for input: no picture yet
    EXPECT_FALSE(std::filesystem::exists(folder / "moire.png"));
    InputEvent event{};
    ASSERT_EQ(PL_peekEvent(&event, EVENT_MASK_KEY_OR_MOUSE), 1);
    ASSERT_EQ(PL_peekEvent(&event, EVENT_MASK_KEY_OR_MOUSE), 1);
    PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);  // the same event: one picture for it
    PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
    EXPECT_EQ(shots.finish({}), (folder / "index.html").string());
    for (const char* file : {"moire.png", "plain.png", "0001.png", "0002.png"})
        EXPECT_TRUE(std::filesystem::exists(folder / file)) << file;
    EXPECT_FALSE(std::filesystem::exists(folder / "0003.png"));
    // One entry per wait, captioned by what the screen shows; the named shots name the first.
    EXPECT_EQ(captionsOf(shots),
              (std::vector<std::string>{
                  "0001.png: full screen 4 x 2, 8 bit [moire.png] [plain.png] (script: Moire & lines)",
                  "0002.png: full screen 4 x 2, 8 bit",
              }));
    std::filesystem::remove_all(folder);
}

// A snap falls due by the work charged to the clock after the key before it, with no input
// call in between, and is listed between the pictures of the waits around it.
TEST_F(FullScreen, SnapsAreTakenByTheWorkThatBringsThemDue)
{
    const auto folder = std::filesystem::temp_directory_path() / ("palisade-snaps-" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    desktop::ShotWriter shots(folder.string());
    desktop::session().setShots(&shots);
    desktop::SessionClock observed(clock, desktop::session());
    desktop::session().setClock(&observed);
    Action snap;
    snap.kind = Action::Kind::Snap;
    snap.text = "mid";
    snap.caption = "Mid-fade";
    snap.waitMs = 5;
    desktop::session().enqueue(keyAction('a'));
    desktop::session().enqueue(snap);
    desktop::session().enqueue(keyAction('b', 1));
    PL_startFullScreen(nullptr, 640, 480);
    InputEvent event{};
    PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
    EXPECT_EQ(event.message, uint32_t('a'));
    for (int ms = 1; ms <= 5; ++ms) {
        EXPECT_FALSE(std::filesystem::exists(folder / "mid.png")) << ms;
        observed.spend(1000);
    }
    EXPECT_TRUE(std::filesystem::exists(folder / "mid.png"));
    PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
    EXPECT_EQ(event.message, uint32_t('b'));
    EXPECT_EQ(captionsOf(shots), (std::vector<std::string>{
                                     "0001.png: full screen 4 x 2, 8 bit",
                                     "mid.png: full screen 4 x 2 [mid.png] (script: Mid-fade)",
                                     "0002.png: full screen 4 x 2, 8 bit",
                                 }));
    std::filesystem::remove_all(folder);
}

TEST(ShotWriter, NamedShotsWithoutAWaitAfterThemAreListedThemselves)
{
    const auto folder = std::filesystem::temp_directory_path() / ("palisade-named-" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    desktop::Picture picture;
    picture.width = 2;
    picture.height = 1;
    picture.pixels = {0xFF0000, 0x0000FF};
    desktop::ShotWriter shots(folder.string());
    shots.automatic(picture, "dialog 1000");
    shots.named("last", "The last screen", picture, "message box");
    EXPECT_EQ(captionsOf(shots), (std::vector<std::string>{
                                     "0001.png: dialog 1000",
                                     "last.png: message box [last.png] (script: The last screen)",
                                 }));
    EXPECT_TRUE(std::filesystem::exists(folder / "last.png"));
    std::filesystem::remove_all(folder);
}

}  // namespace
