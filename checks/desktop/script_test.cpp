// The input script and the command line of a run.
#include <gtest/gtest.h>

#include "desktop/command_line.h"
#include "desktop/help_text.h"
#include "desktop/script.h"

using desktop::Action;
using Kind = desktop::Action::Kind;

namespace {

struct Good {
    const char* line;
    Kind kind;
    int key = 0;
    bool shift = false;
    int id = 0;
    const char* text = "";
    int index = -1;
    int x = 0, y = 0;
    const char* caption = "";
    uint32_t waitMs = 0;
};

TEST(Script, ReadsEveryEventKind)
{
    const Good cases[] = {
        {"key a", Kind::Key, 'a'},
        {"key #", Kind::Key, '#'},
        {"key Esc", Kind::Key, 27},
        {"key enter", Kind::Key, 13},
        {"key Space", Kind::Key, 32},
        {"key Tab", Kind::Key, 9},
        {"key Shift-Tab", Kind::Key, 9, true},
        {"key Up", Kind::Key, desktop::KEY_UP},
        {"key Down", Kind::Key, desktop::KEY_DOWN},
        {"key Left", Kind::Key, desktop::KEY_LEFT},
        {"key Right", Kind::Key, desktop::KEY_RIGHT},
        {"click 121", Kind::Click, 0, false, 121},
        {"  click   2  ", Kind::Click, 0, false, 2},
        {"select 114 640 x 480 256", Kind::Select, 0, false, 114, "640 x 480 256"},
        {"select 114 #3", Kind::Select, 0, false, 114, "", 3},
        {"dblclick 114", Kind::DoubleClick, 0, false, 114},
        {"mouse 100 -5", Kind::Mouse, 0, false, 0, "", -1, 100, -5},
        {"button", Kind::Button},
        {"shot main-dialog", Kind::Shot, 0, false, 0, "main-dialog"},
        {"shot moire  Bank switching test, 8 bit ", Kind::Shot, 0, false, 0, "moire", -1, 0, 0,
         "Bank switching test, 8 bit"},
        {"snap 0 fade-mid", Kind::Snap, 0, false, 0, "fade-mid"},
        {"snap 500  fade-mid  Halfway through the fade ", Kind::Snap, 0, false, 0, "fade-mid", -1, 0, 0,
         "Halfway through the fade", 500},
    };
    for (const Good& c : cases) {
        SCOPED_TRACE(c.line);
        const auto actions = desktop::parseScript(c.line);
        ASSERT_EQ(actions.size(), 1u);
        const Action& a = actions[0];
        EXPECT_EQ(a.kind, c.kind);
        EXPECT_EQ(a.key, c.key);
        EXPECT_EQ(a.shift, c.shift);
        EXPECT_EQ(a.id, c.id);
        EXPECT_EQ(a.text, c.text);
        EXPECT_EQ(a.index, c.index);
        EXPECT_EQ(a.x, c.x);
        EXPECT_EQ(a.y, c.y);
        EXPECT_EQ(a.caption, c.caption);
        EXPECT_EQ(a.line, 1);
        EXPECT_EQ(a.waitMs, c.waitMs);
    }
}

TEST(Script, WaitsDelayTheNextEventAndCommentsKeepLineNumbers)
{
    const auto actions = desktop::parseScript("# start\n\nkey Enter\nwait 250\nwait 50\nkey Esc\r\nwait 10\n");
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[0].line, 3);
    EXPECT_EQ(actions[0].waitMs, 0u);
    EXPECT_EQ(actions[1].line, 6);
    EXPECT_EQ(actions[1].waitMs, 300u);
}

// A snap's time counts from the event before it; a wait before the snap adds to it.
TEST(Script, SnapsAreDueTheirTimeAfterTheEventBeforeThem)
{
    const auto actions = desktop::parseScript("key Space\nwait 100\nsnap 250 mid\nsnap 0 next\nkey Esc\n");
    ASSERT_EQ(actions.size(), 4u);
    EXPECT_EQ(actions[1].kind, Kind::Snap);
    EXPECT_EQ(actions[1].waitMs, 350u);
    EXPECT_EQ(actions[1].line, 3);
    EXPECT_EQ(actions[2].waitMs, 0u);
    EXPECT_EQ(actions[3].waitMs, 0u);
}

TEST(Script, BadLinesAreReportedWithTheirNumber)
{
    struct Bad {
        const char* script;
        int line;
        const char* says;
    };
    const Bad cases[] = {
        {"press a", 1, "unknown event \"press\""},
        {"key Enter\nkey", 2, "key needs a key name"},
        {"key F1", 1, "unknown key \"F1\""},
        {"key ab", 1, "unknown key \"ab\""},
        {"\n\nclick", 3, "click needs a control id"},
        {"click ok", 1, "click needs a control id (a number), not \"ok\""},
        {"click 1 2", 1, "unexpected \"2\""},
        {"select 114", 1, "select needs the text of an entry"},
        {"select 114 #x", 1, "entry number after \"#\""},
        {"dblclick", 1, "dblclick needs a control id"},
        {"mouse 1", 1, "mouse needs two numbers"},
        {"mouse 1 2 3", 1, "unexpected \"3\""},
        {"button 1", 1, "unexpected \"1\""},
        {"wait", 1, "wait needs a number of milliseconds"},
        {"wait -5", 1, "wait needs a number of milliseconds"},
        {"shot", 1, "shot needs a file name"},
        {"shot ../up", 1, "shot needs a file name"},
        {"shot a/b", 1, "shot needs a file name"},
        {"snap", 1, "snap needs a number of milliseconds"},
        {"snap fade", 1, "snap needs a number of milliseconds, not \"fade\""},
        {"snap -1 fade", 1, "snap needs a number of milliseconds"},
        {"key a\nsnap 500", 2, "snap needs a file name"},
        {"snap 500 ../up", 1, "snap needs a file name"},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.script);
        try {
            desktop::parseScript(c.script);
            ADD_FAILURE() << "accepted";
        } catch (const desktop::ScriptError& error) {
            EXPECT_EQ(error.line, c.line);
            EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
        }
    }
}

TEST(CommandLine, ReadsEveryOptionAndRejectsBadOnes)
{
    const char* full[] = {"palisade",  "--machine", "bochs-1mb", "--headless", "--script",          "s.txt",
                          "--shots",   "out",       "--vbe-log", "vbe.log",    "--windows-version", "3.1",
                          "--desktop", "800x600"};
    const desktop::Options o = desktop::parseCommandLine(int(std::size(full)), full);
    EXPECT_EQ(o.machine, "bochs-1mb");
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.scriptPath, "s.txt");
    EXPECT_EQ(o.shotsDir, "out");
    EXPECT_EQ(o.vbeLogPath, "vbe.log");
    EXPECT_EQ(o.versionMajor, 3);
    EXPECT_EQ(o.versionMinor, 10);
    EXPECT_EQ(o.desktopWidth, 800);
    EXPECT_EQ(o.desktopHeight, 600);

    const char* defaults[] = {"palisade"};
    const desktop::Options d = desktop::parseCommandLine(1, defaults);
    EXPECT_EQ(d.machine, "default");
    EXPECT_FALSE(d.headless);
    EXPECT_EQ(d.versionMajor, 4);
    EXPECT_EQ(d.desktopWidth, 1024);
    EXPECT_EQ(d.desktopHeight, 768);

    const std::vector<std::vector<const char*>> bad = {
        {"palisade", "--machine"},
        {"palisade", "--frobnicate"},
        {"palisade", "--windows-version", "3.0"},
        {"palisade", "--desktop", "800"},
        {"palisade", "--desktop", "100x100"},
        {"palisade", "--desktop", "800x600x2"},
        {"palisade", "--headless"},
    };
    for (const auto& args : bad) {
        SCOPED_TRACE(args.back());
        EXPECT_THROW(desktop::parseCommandLine(int(args.size()), args.data()), desktop::UsageError);
    }
}

TEST(CommandLine, HelpNamesEveryOption)
{
    const std::string help = desktop::helpText();
    for (const char* option :
         {"--machine",         "--list-machines", "--headless", "--script",  "--shots",  "--vbe-log", "--io-log",
          "--windows-version", "--desktop",       "--help",     "--version", "key NAME", "click ID",  "select ID TEXT",
          "select ID #N",      "dblclick ID",     "mouse X Y",  "button",    "wait MS",  "shot NAME", "snap MS NAME"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

}  // namespace
