// The program on the real machine, headless: the dialogs as they open, the moire screens of
// a 4-bit, an 8-bit and a 32-bit mode, Esc back to an unchanged dialog, the fatal start, the
// not-detected dialog, and the demo that scripts/run.sh shows a newcomer.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "checks/support/headless_palisade.h"

namespace {

using harness::Picture;
using RunResult = harness::HeadlessRun;
using RunOptions = harness::HeadlessOptions;

RunOptions on(const std::string& machine, const std::string& script, bool withGenerator = true)
{
    RunOptions options;
    options.machine = machine;
    options.script = script;
    options.withGenerator = withGenerator;
    return options;
}

// Each run's folder goes when its check passes; a failed check keeps it and says where.
class App : public ::testing::Test {};

using harness::blue;
using harness::green;
using harness::isWhite;
using harness::red;

bool isDark(uint32_t c)
{
    return red(c) < 0x40 && green(c) < 0x40 && blue(c) < 0x40;
}
bool near(int value, int expected, int tolerance)
{
    return value >= expected - tolerance && value <= expected + tolerance;
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return right < 0; }
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
    void add(int x, int y)
    {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
};

// The pixels where picture differs from reference, or from its own top-left colour; pixels
// inside an excluded box (a window that may have changed in itself) do not count.
Box changedArea(const Picture& picture, const Picture* reference = nullptr, const Box* excluded = nullptr)
{
    Box box;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            if (excluded && x >= excluded->left && x <= excluded->right && y >= excluded->top && y <= excluded->bottom)
                continue;
            if (picture.at(x, y) != (reference ? reference->at(x, y) : picture.at(0, 0)))
                box.add(x, y);
        }
    return box;
}

void expectCentred(const Box& box, const Picture& screen, const char* what)
{
    ASSERT_FALSE(box.empty()) << what;
    EXPECT_TRUE(near(box.left, screen.width - 1 - box.right, 1)) << what << ": " << box.left << ".." << box.right;
    EXPECT_TRUE(near(box.top, screen.height - 1 - box.bottom, 1)) << what << ": " << box.top << ".." << box.bottom;
}

TEST_F(App, OpensTheMainDialogCentredAndShowsSvgaInfoCentredOverIt)
{
    const RunResult run = harness::runHeadless(on("default", "shot start\nclick 113\nshot info\nclick 1\nclick 2\n"));
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.out.find(run.dir + "/shots/index.html"), std::string::npos) << run.out;

    const Picture start = run.shot("start");
    const Box dialog = changedArea(start);
    expectCentred(dialog, start, "main dialog");
    EXPECT_GT(dialog.width(), 300);
    EXPECT_GT(dialog.height(), 300);
    // The title line: dark text centred in the top of the dialog.
    Box title;
    for (int y = dialog.top + 4; y < dialog.top + dialog.height() / 12; ++y)
        for (int x = dialog.left + 4; x < dialog.right - 4; ++x)
            if (isDark(start.at(x, y)))
                title.add(x, y);
    ASSERT_FALSE(title.empty()) << "no title line";
    EXPECT_GT(title.width(), dialog.width() / 3);
    EXPECT_TRUE(near(title.left - dialog.left, dialog.right - title.right, 12)) << title.left << ".." << title.right;

    const Picture info = run.shot("info");
    // Wider than the main dialog, so its sides show over the desktop; the main dialog itself
    // changes as it becomes inactive.
    const Box infoDialog = changedArea(info, &start, &dialog);
    expectCentred(infoDialog, info, "information dialog");
    EXPECT_GT(infoDialog.width(), infoDialog.height());
    const auto captions = run.captions();
    EXPECT_NE(std::find(captions.begin(), captions.end(), "info \u2014 SuperVGA Information (dialog 1001)"),
              captions.end());
}

struct TextLine {
    const char* text;  // null: present, of a length the library decides
    int y;
};

struct MoireCase {
    const char* what;
    const char* choose;  // script lines that select the mode
    int width, height, bitsPerPixel;
    std::vector<TextLine> lines;  // only where white means text (no white in the fan)
};

void PrintTo(const MoireCase& c, std::ostream* out)
{
    *out << c.what;
}

class MoireScreen : public App, public ::testing::WithParamInterface<MoireCase> {};

void expectBorder(const Picture& screen, const char* what)
{
    EXPECT_EQ(harness::notWhiteOnBorder(screen), 0) << what << ": the border is white all round";
}

// Inside the border, white is text only: each line starts at x 80 and is as long as its text,
// and nothing white lies outside the lines.
void expectTextLines(const Picture& screen, const std::vector<TextLine>& lines, const char* what)
{
    std::vector<Box> found(lines.size());
    int stray = 0;
    for (int y = 1; y < screen.height - 1; ++y) {
        for (int x = 1; x < screen.width - 1; ++x) {
            if (!isWhite(screen.at(x, y)))
                continue;
            size_t i = 0;
            while (i < lines.size() && !(y >= lines[i].y && y < lines[i].y + 16))
                ++i;
            if (i == lines.size())
                ++stray;
            else
                found[i].add(x, y);
        }
    }
    EXPECT_EQ(stray, 0) << what << ": white outside the text lines";
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string line = lines[i].text ? lines[i].text : "line at " + std::to_string(lines[i].y);
        ASSERT_FALSE(found[i].empty()) << what << ": " << line;
        EXPECT_TRUE(near(found[i].left, 81, 1)) << what << ": " << line << " starts at " << found[i].left;
        if (lines[i].text) {
            const int length = static_cast<int>(std::string(lines[i].text).size());
            EXPECT_GE(found[i].right, 80 + 8 * (length - 1)) << what << ": " << line;
            EXPECT_LT(found[i].right, 80 + 8 * length) << what << ": " << line;
        }
    }
}

TEST_P(MoireScreen, ShowsTheFanBorderAndTextAndEscReturnsToTheSameDialog)
{
    const MoireCase& c = GetParam();
    const std::string script =
        std::string(c.choose) + "shot before\ndblclick 114\nshot moire\nkey Esc\nshot after\nclick 2\n";
    const RunResult run = harness::runHeadless(on("default", script));
    ASSERT_EQ(run.exitStatus, 0) << run.err;

    const Picture screen = run.shot("moire");
    ASSERT_EQ(screen.width, c.width) << c.what;
    ASSERT_EQ(screen.height, c.height) << c.what;
    expectBorder(screen, c.what);
    if (!c.lines.empty())
        expectTextLines(screen, c.lines, c.what);

    // Along the four edges: a 4-bit fan uses 12 of its 16 colours, an 8-bit fan far more.
    std::set<uint32_t> edgeColours;
    for (int x = 1; x < screen.width - 1; ++x) {
        edgeColours.insert(screen.at(x, 2));
        edgeColours.insert(screen.at(x, screen.height - 3));
    }
    for (int y = 1; y < screen.height - 1; ++y) {
        edgeColours.insert(screen.at(2, y));
        edgeColours.insert(screen.at(screen.width - 3, y));
    }
    EXPECT_GE(edgeColours.size(), c.bitsPerPixel == 4 ? 12u : 100u) << c.what << ": a colourful fan";

    if (c.bitsPerPixel == 32) {
        // Top edge black to red, bottom black to green, left blue to red, right green to blue.
        const int maxX = c.width - 1, maxY = c.height - 1;
        for (int x : {100, 320, 540}) {
            const int r = x * 255 / maxX;
            const uint32_t top = screen.at(x, 2), bottom = screen.at(x, maxY - 2);
            EXPECT_TRUE(near(red(top), r, 6) && green(top) == 0 && blue(top) == 0)
                << std::hex << top << " at x " << std::dec << x;
            EXPECT_TRUE(near(green(bottom), r, 6) && red(bottom) == 0 && blue(bottom) == 0)
                << std::hex << bottom << " at x " << std::dec << x;
        }
        for (int y : {60, 240, 420}) {
            const int b = y * 255 / maxY;
            const uint32_t left = screen.at(2, y), right = screen.at(maxX - 2, y);
            EXPECT_TRUE(near(red(left), b, 6) && green(left) == 0 && near(blue(left), 255 - b, 6))
                << std::hex << left << " at y " << std::dec << y;
            EXPECT_TRUE(red(right) == 0 && near(green(right), 255 - b, 6) && near(blue(right), b, 6))
                << std::hex << right << " at y " << std::dec << y;
        }
    }

    const Picture before = run.shot("before"), after = run.shot("after");
    EXPECT_TRUE(before.pixels == after.pixels) << c.what << ": the dialog, its list and options are as they were";
}

constexpr const char* HEADING = "Bank switching test";
constexpr const char* MOIRE = "You should see a colorful Moire pattern on the screen";
constexpr const char* PRESS = "Press any key to continue";

INSTANTIATE_TEST_SUITE_P(
    Modes, MoireScreen,
    ::testing::Values(
        // No linear framebuffer for planar modes: the box is cleared first.
        MoireCase{"4-bit 800 x 600",
                  "click 112\nselect 114 800 x 600\n",
                  800,
                  600,
                  4,
                  {{HEADING, 80}, {"Video mode: 800 x 600 4 bit", 112}, {nullptr, 128}, {MOIRE, 160}, {PRESS, 176}}},
        // Palette index 15 is white in the fan too: no text check here.
        MoireCase{"8-bit 640 x 480", "click 116\nselect 114 640 x 480\n", 640, 480, 8, {}},
        MoireCase{"32-bit 640 x 480",
                  "click 117\nselect 114 640 x 480\n",
                  640,
                  480,
                  32,
                  {{HEADING, 80},
                   {"Video mode: 640 x 480 32 bit", 112},
                   {"Using linear frame buffer", 128},
                   {nullptr, 144},
                   {MOIRE, 176},
                   {PRESS, 192}}}),
    [](const ::testing::TestParamInfo<MoireCase>& info) { return std::to_string(info.param.bitsPerPixel) + "bit"; });

RunOptions withWindows31(RunOptions options)
{
    options.extraArguments = {"--windows-version", "3.1"};
    return options;
}

// Every mode of every list, with and without the linear framebuffer, is set and shows its
// moire screen, in its depth, and Esc brings the dialog back for the next one.
TEST_F(App, EveryListedModeReachesItsMoireScreen)
{
    struct List {
        int radio;
        int bitsPerPixel;
    };
    const List lists[] = {{120, 4}, {116, 8}, {115, 15}, {119, 16}, {118, 24}, {117, 32}};
    constexpr int PROBED = 12;

    // Each list's entries in turn, until a select finds none: that step cannot be done, and
    // the run ends there naming it.
    int modes = 0;
    for (bool linear : {true, false}) {
        for (const List& list : lists) {
            SCOPED_TRACE(std::to_string(list.bitsPerPixel) + (linear ? " bit, linear" : " bit"));
            std::string script =
                (linear ? "" : "click 112\n") + std::string("click ") + std::to_string(list.radio) + "\n";
            for (int entry = 0; entry < PROBED; ++entry)
                script += "select 114 #" + std::to_string(entry) + "\ndblclick 114\nkey Esc\n";
            script += "click 2\n";
            const RunResult run = harness::runHeadless(on("default", script));
            int listed = PROBED;
            if (run.exitStatus != 0) {
                ASSERT_EQ(run.exitStatus, 5) << run.err;
                const size_t at = run.err.find("list box 114 has no entry #");
                ASSERT_NE(at, std::string::npos) << run.err;
                listed = std::stoi(run.err.substr(at + std::string("list box 114 has no entry #").size()));
            }
            std::vector<std::string> shown;
            for (const std::string& caption : run.captions())
                if (caption.find("(full screen ") != std::string::npos && caption.back() == ')')
                    shown.push_back(caption.substr(caption.rfind(','), caption.size() - 1 - caption.rfind(',')));
            EXPECT_EQ(shown,
                      std::vector<std::string>(size_t(listed), ", " + std::to_string(list.bitsPerPixel) + " bit"));
            modes += listed;
        }
    }
    EXPECT_GE(modes, 20) << "the default machine lists modes of every depth";
}

// Windows 3.1 has no 3-D dialogs of its own: the program registers the 3-D control library,
// so its dialogs look as they do on Windows 4.
TEST_F(App, OnWindowsThreeTheDialogsKeepTheirThreeDimensionalLook)
{
    const char* script = "shot opened\nclick 113\nshot info\nclick 1\nclick 2\n";
    const RunResult old = harness::runHeadless(withWindows31(on("default", script)));
    const RunResult current = harness::runHeadless(on("default", script));
    ASSERT_EQ(old.exitStatus, 0) << old.err;
    ASSERT_EQ(current.exitStatus, 0) << current.err;
    for (const char* shot : {"opened", "info"})
        EXPECT_TRUE(old.shot(shot).pixels == current.shot(shot).pixels) << shot;
}

TEST_F(App, AFatalInstallationEndsWithStatusOneAndItsMessageBeforeAnyDialog)
{
    const RunResult run = harness::runHeadless(on("plainvga", "shot never\nclick 2\n"));
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("Fatal Error!: Fatal error installing KestrelLib!"), std::string::npos) << run.err;
    EXPECT_TRUE(run.captions().empty());
}

// Without its generator the loader can neither find nor write the driver: not fatal, so what
// the display library finds decides the dialog.
TEST_F(App, WithoutADriverTheVideoBiosDecidesTheDialog)
{
    struct Case {
        const char* machine;
        const char* script;
        const char* dialog;
    };
    const Case cases[] = {
        {"default", "shot opened\nclick 2\n", "opened \u2014 Palisade 32 bit Test Program - Release 6.0 (dialog 1000)"},
        {"novbe", "shot opened\nkey Esc\nshot still\nclick 1\n", "opened \u2014 No VESA VBE detected! (dialog 1002)"},
    };
    for (const Case& c : cases) {
        const RunResult run = harness::runHeadless(on(c.machine, c.script, false));
        ASSERT_EQ(run.exitStatus, 0) << c.machine << ": " << run.err;
        const auto captions = run.captions();
        ASSERT_FALSE(captions.empty()) << c.machine;
        EXPECT_EQ(captions[0], c.dialog) << c.machine;
        const Picture opened = run.shot("opened");
        expectCentred(changedArea(opened), opened, c.machine);
        if (std::string(c.machine) == "novbe") {
            EXPECT_TRUE(run.shot("still").pixels == opened.pixels) << "Esc leaves the not-detected dialog open";
        }
    }
}

// The demo runs to its end on every kind of machine, and each picture is captioned by what
// its screen showed: on a machine without an accelerator the wide DAC screen says so, where
// a script counting screens would have named it after the accelerator's grid.
TEST_F(App, TheDemoRunsOnEveryPresetWithCaptionsFromTheScreensShown)
{
    std::ifstream file(std::string(PALISADE_SOURCE_DIR) + "/scripts/demo.script");
    std::stringstream script;
    script << file.rdbuf();
    struct Case {
        const char* machine;
        bool accelerated;
        bool wideDac;
    };
    for (const Case& c : {Case{"default", true, false}, Case{"cirrus", true, false}, Case{"noaccel", false, true},
                          Case{"dac6", false, true}}) {
        SCOPED_TRACE(c.machine);
        const RunResult run = harness::runHeadless(on(c.machine, script.str()));
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_TRUE(run.err.empty()) << run.err;
        const auto captions = run.captions();
        ASSERT_GT(captions.size(), 10u);
        EXPECT_EQ(captions.front(), "main \u2014 Palisade 32 bit Test Program - Release 6.0 (dialog 1000)");
        EXPECT_EQ(captions[1], "svga-info \u2014 SuperVGA Information (dialog 1001)");
        EXPECT_EQ(captions.back(), "back \u2014 Palisade 32 bit Test Program - Release 6.0 (dialog 1000)");
        auto count = [&](const std::string& text, const std::string& mode) {
            return std::count_if(captions.begin(), captions.end(), [&](const std::string& caption) {
                return caption.find(text) != std::string::npos && caption.find(mode) != std::string::npos;
            });
        };
        for (const char* depth : {"(full screen 640 x 480, 8 bit)", "(full screen 640 x 480, 16 bit)"}) {
            EXPECT_EQ(count("Bank switching test / Video mode: 640 x 480 ", depth), 1) << depth;
            EXPECT_EQ(count("fps / Page flipping - should be no flicker", depth), 1) << depth;
        }
        EXPECT_EQ(count("Palette programming test", "8 bit)"), 2);
        EXPECT_EQ(count("Wide DAC test", "8 bit)"), c.wideDac ? 1 : 0);
        EXPECT_EQ(count("AF_drawRect", "(full screen 640 x 480") > 0, c.accelerated);
        EXPECT_EQ(count("(full screen 640 x 480, 16 bit)", ""), count("", "(full screen 640 x 480, 16 bit)"));
    }
}

}  // namespace
