// The mode tests on the real machine, through the real palisade binary run headless: the
// page-flip readout, the palette screens, the wide DAC bands and the virtual scroll, checked
// in the pictures it writes and in its log of VBE calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "checks/modetests_e2e/run_headless.h"

namespace {

using e2e::HeadlessRun;
using e2e::readText;
using e2e::runHeadless;
using e2e::Shot;
using e2e::VbeCall;

// Main dialog controls.
const std::string MODE_LIST = "114", TEST_MODE = "121", DEPTH_8_BIT = "116";
const std::string PALETTE_FADE = "111", WAIT_RETRACE = "109";

constexpr uint32_t WHITE = 0xFFFFFF;  // the default palette's white through the DAC
constexpr uint32_t BLACK = 0x000000;

// Selects 640 x 480 in 8 bits with the given check boxes toggled and starts the run.
std::vector<std::string> startRun(const std::vector<std::string>& toggles)
{
    std::vector<std::string> script{"click " + DEPTH_8_BIT};
    for (const std::string& id : toggles)
        script.push_back("click " + id);
    script.push_back("select " + MODE_LIST + " 640 x 480");
    script.push_back("click " + TEST_MODE);
    return script;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using harness::blue;
using harness::green;
using harness::red;

bool frameIsBorder(const Shot& shot, uint32_t color)
{
    for (int x = 0; x < shot.width; ++x)
        if (shot.at(x, 0) != color || shot.at(x, shot.height - 1) != color)
            return false;
    for (int y = 0; y < shot.height; ++y)
        if (shot.at(0, y) != color || shot.at(shot.width - 1, y) != color)
            return false;
    return true;
}

// The wide DAC screen at 640 x 480: its border, heading and two messages in white.
void expectWideDacScreen(const Shot& dac)
{
    ASSERT_EQ(dac.width, 640);
    EXPECT_TRUE(frameIsBorder(dac, WHITE));
    EXPECT_EQ(readText(dac, 80, 80, 13, WHITE), "Wide DAC test");
    EXPECT_EQ(readText(dac, 80, 112, 44, WHITE), "You should see a smooth transition of colors");
    EXPECT_EQ(readText(dac, 80, 128, 65, WHITE), "If the colors are broken into 4 lots, the wide DAC is not working");
}

struct Band {
    const char* name;
    int row;
    int shift;
};
const Band WIDE_DAC_BANDS[] = {{"red", 176, 16}, {"green", 208, 8}, {"blue", 240, 0}};

// The 64 shades across a band of the wide DAC screen at 640 x 480, each checked to be of the
// band's colour alone, 3 pixels wide, with black on either side of the band.
std::vector<int> bandShades(const Shot& dac, const Band& band)
{
    std::vector<int> shades;
    for (int i = 0; i < 192; ++i) {
        const uint32_t pixel = dac.at(80 + i, band.row);
        EXPECT_EQ(pixel & ~(0xFFu << band.shift), 0u) << band.name << " column " << i;
        if (i % 3 == 0)
            shades.push_back(static_cast<int>((pixel >> band.shift) & 0xFF));
        else
            EXPECT_EQ(pixel, dac.at(80 + i - i % 3, band.row)) << band.name << " column " << i;
    }
    EXPECT_EQ(dac.at(79, band.row), BLACK) << band.name;
    EXPECT_EQ(dac.at(272, band.row), BLACK) << band.name;
    return shades;
}

// Display starts set without the retrace wait (the scroll steps), in order.
std::vector<std::pair<int, int>> scrollStarts(const std::vector<VbeCall>& calls, size_t from, size_t to)
{
    std::vector<std::pair<int, int>> starts;
    for (size_t i = from; i < to && i < calls.size(); ++i)
        if (calls[i].ax == 0x4F07 && calls[i].bx == 0x0000)
            starts.emplace_back(calls[i].cx, calls[i].dx);
    return starts;
}

std::vector<std::pair<int, int>> leg(int x0, int y0, int x1, int y1)
{
    std::vector<std::pair<int, int>> starts;
    const int sx = x1 > x0 ? 1 : x1 < x0 ? -1 : 0, sy = y1 > y0 ? 1 : y1 < y0 ? -1 : 0;
    for (int x = x0, y = y0;; x += sx, y += sy) {
        starts.emplace_back(x, y);
        if (x == x1 && y == y1)
            return starts;
    }
}

std::vector<std::pair<int, int>> joined(std::initializer_list<std::vector<std::pair<int, int>>> legs)
{
    std::vector<std::pair<int, int>> all;
    for (const auto& l : legs)
        all.insert(all.end(), l.begin(), l.end());
    return all;
}

size_t indexOf(const std::vector<VbeCall>& calls, size_t from, bool (*match)(const VbeCall&))
{
    for (size_t i = from; i < calls.size(); ++i)
        if (match(calls[i]))
            return i;
    return calls.size();
}

bool isScanLineByPixels(const VbeCall& c)
{
    return c.ax == 0x4F06 && (c.bx & 0xFF) == 0x00;
}
bool isScanLineByBytes(const VbeCall& c)
{
    return c.ax == 0x4F06 && (c.bx & 0xFF) == 0x02;
}
bool succeeded(const VbeCall& c)
{
    return c.outAx == 0x004F;
}

// ---- Page flipping ----

struct FlipCase {
    const char* what;
    bool waitRetrace;
    double lowest, highest;  // frames per second the readout may show
};

class PageFlipE2E : public ::testing::TestWithParam<FlipCase> {};

TEST_P(PageFlipE2E, ShowsTheAnimationWithItsFrameRate)
{
    const FlipCase& c = GetParam();
    const HeadlessRun run = runHeadless(
        "default", startRun(c.waitRetrace ? std::vector<std::string>{} : std::vector<std::string>{WAIT_RETRACE}) +
                       std::vector<std::string>{"key Space", "wait 1000", "shot flip", "key Esc", "key Esc"});
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const Shot flip = run.shot("flip");
    ASSERT_EQ(flip.width, 640);

    const std::string readout = readText(flip, 4, 4, 10, WHITE);
    int whole = -1, tenth = -1;
    char unit[4] = {};
    ASSERT_EQ(std::sscanf(readout.c_str(), "%d.%1d %3s", &whole, &tenth, unit), 3) << "'" << readout << "'";
    EXPECT_EQ(std::string(unit), "fps");
    const double fps = whole + tenth / 10.0;
    EXPECT_GE(fps, c.lowest) << c.what << ": " << readout;
    EXPECT_LE(fps, c.highest) << c.what << ": " << readout;

    EXPECT_EQ(readText(flip, 80, 80, 36, WHITE), "Page flipping - should be no flicker");
    int page = 0, pages = 0;
    const std::string pageLine = readText(flip, 80, 100, 14, WHITE);
    ASSERT_EQ(std::sscanf(pageLine.c_str(), "Page %d of %d", &page, &pages), 2) << pageLine;
    EXPECT_GE(pages, 2);
    EXPECT_GE(page, 1);
    EXPECT_LE(page, pages);
    EXPECT_TRUE(frameIsBorder(flip, WHITE));

    // Every frame a new page is shown, waiting for the retrace or not as asked; at the end
    // page 0 is shown again at once.
    std::vector<VbeCall> flips;
    for (const VbeCall& call : run.vbe)
        if (call.ax == 0x4F07 && (call.bx == 0x0080 || call.bx == 0x0000))
            flips.push_back(call);
    ASSERT_GT(flips.size(), 13u);
    EXPECT_EQ(flips.back().bx, 0x0000);
    EXPECT_EQ(flips.back().dx, 0);
    for (size_t i = 0; i + 1 < flips.size(); ++i) {
        EXPECT_EQ(flips[i].bx, c.waitRetrace ? 0x0080 : 0x0000) << "flip " << i;
        EXPECT_EQ(flips[i].dx % 480, 0) << "flip " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Retrace, PageFlipE2E,
                         ::testing::Values(FlipCase{"in step with a 60 Hz retrace", true, 55.0, 65.0},
                                           FlipCase{"as fast as the card takes it", false, 65.1, 100000.0}),
                         [](const auto& info) {
                             return std::string(info.param.waitRetrace ? "WithRetrace" : "WithoutRetrace");
                         });

// ---- Palette, wide DAC and virtual scroll: one run through all of them ----

// The fade runs 64 retraces down and 64 up, about 2.1 s; this is well inside the way down.
const std::string FADE_MID_MS = "500", FADE_MID_CAPTION = "Halfway down the palette fade";

class PaletteAndScrollE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        run_ = new HeadlessRun(
            runHeadless("noaccel", startRun({}) + std::vector<std::string>{
                                                      "key Space",  // moire
                                                      "key Space",  // page flipping
                                                      "shot fade_before",
                                                      "key Space",  // starts the fade
                                                      "snap " + FADE_MID_MS + " fade_mid " + FADE_MID_CAPTION,
                                                      "shot fade_after",
                                                      "key Space",
                                                      "shot wide_dac",
                                                      "key Space",
                                                      "shot scroll_wide",
                                                      "key Space",  // starts the pan
                                                      "wait 60000",
                                                      "shot pan_done",
                                                      "key Space",
                                                      "shot scroll_tall",
                                                      "key Space",  // starts the scroll
                                                      "wait 60000",
                                                      "shot scroll_done",
                                                      "key Space",
                                                      "shot dialog",
                                                      "key Esc",
                                                  }));
    }
    static void TearDownTestSuite()
    {
        delete run_;
        run_ = nullptr;
    }
    static const HeadlessRun& run() { return *run_; }

private:
    static HeadlessRun* run_;
};

HeadlessRun* PaletteAndScrollE2E::run_ = nullptr;

TEST_F(PaletteAndScrollE2E, RunEndsBackInTheDialog)
{
    EXPECT_EQ(run().exitStatus, 0) << run().errors;
    EXPECT_EQ(run().shot("dialog").width, 1024);
}

// Over the moire, the ramp palette leaves only greys and pure reds, greens and blues.
TEST_F(PaletteAndScrollE2E, FadeScreenShowsTheRampsAndFadesBackInAShadeDarker)
{
    const Shot before = run().shot("fade_before"), after = run().shot("fade_after");
    ASSERT_EQ(before.width, 640);
    ASSERT_EQ(after.pixels.size(), before.pixels.size());

    const uint32_t brightestGrey = before.at(0, 0);  // the border, colour 63
    EXPECT_EQ(red(brightestGrey), green(brightestGrey));
    EXPECT_EQ(red(brightestGrey), blue(brightestGrey));
    EXPECT_GE(red(brightestGrey), 0xF8);
    EXPECT_TRUE(frameIsBorder(before, brightestGrey));
    EXPECT_EQ(readText(before, 80, 80, 24, brightestGrey), "Palette programming test");
    EXPECT_EQ(readText(before, 80, 112, 25, brightestGrey), "Hit a key to fade palette");

    std::set<uint32_t> colours;
    size_t darker = 0;
    for (size_t i = 0; i < before.pixels.size(); ++i) {
        const uint32_t b = before.pixels[i], a = after.pixels[i];
        colours.insert(b);
        const int channels = (red(b) != 0) + (green(b) != 0) + (blue(b) != 0);
        ASSERT_TRUE(channels <= 1 || (red(b) == green(b) && green(b) == blue(b)))
            << "pixel " << i << " is " << std::hex << b << ", not on a ramp";
        for (int shift : {0, 8, 16}) {
            const int was = (b >> shift) & 0xFF, now = (a >> shift) & 0xFF;
            ASSERT_LE(now, was) << "pixel " << i;
            ASSERT_LE(was - now, 5) << "pixel " << i << ": more than one step of the 6-bit DAC darker";
        }
        darker += a != b;
    }
    EXPECT_GT(colours.size(), 100u) << "the four ramps should show in many shades";
    EXPECT_GT(darker, 0u);
    EXPECT_NE(after.at(0, 0), brightestGrey);
}

// A snap taken while the program fades, never asking for input: every bright grey of the
// moire and its text is dimmed, none is black yet, and the page lists it between the waits.
TEST_F(PaletteAndScrollE2E, SnapDuringTheFadeCatchesTheGreysHalfwayDown)
{
    const Shot before = run().shot("fade_before"), mid = run().shot("fade_mid");
    ASSERT_EQ(mid.width, before.width);
    ASSERT_EQ(mid.pixels.size(), before.pixels.size());
    size_t greys = 0;
    for (size_t i = 0; i < before.pixels.size(); ++i) {
        const uint32_t b = before.pixels[i], m = mid.pixels[i];
        if (red(b) != green(b) || green(b) != blue(b) || red(b) < 0x80)
            continue;
        ++greys;
        ASSERT_TRUE(red(m) == green(m) && green(m) == blue(m)) << "pixel " << i << " is " << std::hex << m;
        ASSERT_LT(red(m), red(b) - 0x20) << "pixel " << i << ": not dimmed";
        ASSERT_GT(red(m), 0x10) << "pixel " << i << ": already black";
    }
    EXPECT_GT(greys, 1000u) << "the moire's grey lines should fill much of the screen";

    const std::vector<std::string> captions = run().program.captions();
    const auto has = [](const std::string& text) {
        return [text](const std::string& caption) { return caption.find(text) != std::string::npos; };
    };
    const auto shotBefore = std::find_if(captions.begin(), captions.end(), has("fade_before"));
    const auto snap = std::find_if(captions.begin(), captions.end(), has("fade_mid"));
    const auto shotAfter = std::find_if(captions.begin(), captions.end(), has("fade_after"));
    ASSERT_NE(snap, captions.end());
    // Captioned by what the program wrote on the screen, not by the script's words.
    EXPECT_EQ(*snap, "fade_mid \u2014 Palette programming test / Hit a key to fade palette (full screen 640 x 480)");
    EXPECT_EQ(snap - shotBefore, 1) << "the snap follows the picture of the wait before the fade";
    EXPECT_EQ(shotAfter - snap, 1) << "and comes before the one after it";
}

// The same script up to the snap gives the same picture: the virtual clock decides when.
TEST_F(PaletteAndScrollE2E, SnapIsTheSamePictureInEveryRun)
{
    const HeadlessRun again = runHeadless("noaccel", startRun({}) + std::vector<std::string>{
                                                                        "key Space",
                                                                        "key Space",
                                                                        "key Space",
                                                                        "snap " + FADE_MID_MS + " fade_mid",
                                                                    });
    EXPECT_EQ(again.exitStatus, 3) << "the script runs out at the wait after the fade\n" << again.errors;
    const Shot first = run().shot("fade_mid"), second = again.shot("fade_mid");
    EXPECT_EQ(second.width, first.width);
    EXPECT_TRUE(second.pixels == first.pixels);
}

// 8-bit DAC: each band rises through 64 shades, 3 pixels each, from black.
TEST_F(PaletteAndScrollE2E, WideDacBandsAreSmoothSixtyFourSteps)
{
    const Shot dac = run().shot("wide_dac");
    expectWideDacScreen(dac);
    if (dac.width != 640)
        return;
    for (const Band& band : WIDE_DAC_BANDS) {
        const std::vector<int> shades = bandShades(dac, band);
        // An 8-bit DAC shows the values as loaded: 0, 4, ... 252, no two alike.
        for (size_t s = 0; s < shades.size(); ++s)
            EXPECT_EQ(shades[s], int(4 * s)) << band.name << " shade " << s << ": the band is not smooth";
    }
}

TEST_F(PaletteAndScrollE2E, ScansLinesAsWideAsTheCardGrantsPansRoundAndScrollsThroughMemory)
{
    const auto& calls = run().vbe;

    // The search asks for the widest line that fits 480 lines of 4 MB, then one pixel less
    // until the card grants one.
    const size_t search = indexOf(calls, 0, isScanLineByPixels);
    ASSERT_LT(search, calls.size());
    EXPECT_EQ(calls[search].cx, 4096 * 1024 / 480);
    size_t granted = search;
    while (granted < calls.size() && !succeeded(calls[granted])) {
        EXPECT_TRUE(isScanLineByPixels(calls[granted]));
        if (granted > search) {
            EXPECT_EQ(calls[granted].cx, calls[granted - 1].cx - 1);
        }
        ++granted;
    }
    ASSERT_LT(granted, calls.size());
    const int wide = calls[granted].outCx, tall = calls[granted].outDx;
    ASSERT_GT(wide, 641);

    const std::string status =
        "Virtual buffer now set to " + std::to_string(wide) + " x " + std::to_string(tall) + " pixels";
    const Shot scrollWide = run().shot("scroll_wide");
    EXPECT_EQ(readText(scrollWide, 20, 40, static_cast<int>(status.size()), WHITE), status);
    EXPECT_EQ(readText(scrollWide, 20, 60, 40, WHITE), "Press any key to begin virtual scrolling");

    // The pan: four legs, both ends of each, from the top left round by the far corner.
    const size_t restore = indexOf(calls, granted, isScanLineByBytes);
    ASSERT_LT(restore, calls.size());
    const int dx = wide - 640, dy = tall - 480;
    auto pan = scrollStarts(calls, granted + 1, restore);
    ASSERT_GE(pan.size(), 2u);
    EXPECT_EQ(pan.front(), std::make_pair(0, 0)) << "the widened screen is drawn from the top left";
    EXPECT_EQ(pan.back(), std::make_pair(0, 0)) << "the scan lines are restored from the top left";
    pan = {pan.begin() + 1, pan.end() - 1};
    const auto expectedPan = joined({leg(0, 0, dx, 0), leg(dx, 0, dx, dy), leg(dx, dy, 0, dy), leg(0, dy, 0, 0)});
    EXPECT_EQ(pan.size(), expectedPan.size());
    EXPECT_TRUE(pan == expectedPan) << "the pan does not follow the border of the virtual screen";

    // Back where it began: the picture the pan started from.
    EXPECT_TRUE(run().shot("pan_done").pixels == scrollWide.pixels);

    // The restore, in bytes for this VBE 2.0 card, leaves the height of all video memory.
    EXPECT_EQ(calls[restore].cx, 640);
    const int lines = calls[restore].outDx;
    const std::string tallStatus = "Virtual buffer now set to 640 x " + std::to_string(lines) + " pixels";
    const Shot scrollTall = run().shot("scroll_tall");
    EXPECT_EQ(readText(scrollTall, 20, 40, static_cast<int>(tallStatus.size()), WHITE), tallStatus);
    EXPECT_EQ(readText(scrollTall, 20, 60, 40, WHITE), "Press any key to begin virtual scrolling");

    // The vertical scroll, down to the last screenful and back; then the mode is set again.
    const size_t setAgain = indexOf(calls, restore, [](const VbeCall& c) { return c.ax == 0x4F02; });
    ASSERT_LT(setAgain, calls.size());
    const auto scroll = scrollStarts(calls, restore + 1, setAgain);
    const auto expectedScroll = joined({leg(0, 0, 0, lines - 480), leg(0, lines - 480, 0, 0)});
    EXPECT_EQ(scroll.size(), expectedScroll.size());
    EXPECT_TRUE(scroll == expectedScroll) << "the scroll does not run down and back";
    EXPECT_TRUE(run().shot("scroll_done").pixels == scrollTall.pixels);
    size_t asked = setAgain;
    while (asked > restore && calls[asked].ax != 0x4F03)
        --asked;
    ASSERT_GT(asked, restore) << "the mode set again is the mode in force";
    EXPECT_EQ(calls[setAgain].bx, calls[asked].outBx);
}

// ---- Cards whose DAC does not go to 8 bits ----

// Up to the first key after the palette fade, which shows the next screen (the wide DAC test
// when it runs, else the virtual scroll) as "after_fade"; then the given keys.
std::vector<std::string> throughTheFade(const std::vector<std::string>& then)
{
    return startRun({}) +
           std::vector<std::string>{"key Space",  // moire
                                    "key Space",  // page flipping
                                    "key Space",  // starts the fade
                                    "key Space",  // ends the fade
                                    "shot after_fade"} +
           then;
}

// What 4F08 answered when the wide DAC test asked for 8 bits; 0 when it never asked.
int eightBitDacReply(const HeadlessRun& run)
{
    const size_t at = indexOf(run.vbe, 0, [](const VbeCall& c) { return c.ax == 0x4F08 && c.bx == 0x0800; });
    if (at == run.vbe.size())
        return 0;
    return succeeded(run.vbe[at]) ? run.vbe[at].outBx >> 8 : -1;
}

// The card takes the switch but its DAC keeps using 6 bits: each band's values 0, 4, ... 252
// lose their top two bits, so a 16-step ramp from black repeats four times across the band.
TEST(WideDacE2E, DacStuckAtSixBitsShowsEachBandInFourLots)
{
    const HeadlessRun run = runHeadless("dac6", throughTheFade({"key Esc",  // ends the run
                                                                "key Esc"}));
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(eightBitDacReply(run), 8) << "the card accepted the switch";

    const Shot dac = run.shot("after_fade");
    expectWideDacScreen(dac);
    if (dac.width != 640)
        return;
    for (const Band& band : WIDE_DAC_BANDS) {
        const std::vector<int> shades = bandShades(dac, band);
        ASSERT_EQ(shades.size(), 64u);
        EXPECT_EQ(shades[0], 0) << band.name;
        EXPECT_GE(shades[15], 0xF0) << band.name << ": the first lot should rise to full";
        for (size_t s = 1; s < 16; ++s)
            EXPECT_GT(shades[s], shades[s - 1]) << band.name << " shade " << s;
        for (size_t s = 16; s < shades.size(); ++s)
            EXPECT_EQ(shades[s], shades[s % 16]) << band.name << " shade " << s << ": not a repeat of the first lot";
    }
}

// The card refuses the switch: the test asks for 8 bits, is told 6, and draws nothing; the
// run goes on to the virtual scroll.
TEST(WideDacE2E, CardThatRefusesEightBitsSkipsTheWideDacTest)
{
    const std::string machineFile = ::testing::TempDir() + "palisade-dac8-no-" + std::to_string(getpid()) + ".machine";
    {
        std::ofstream out(machineFile);
        out << "base = noaccel\ndac8 = no\n";
    }
    const HeadlessRun run = runHeadless(machineFile, throughTheFade({"key Esc",  // starts the pan
                                                                     "key Esc",  // stops it, ends the run
                                                                     "key Esc"}));
    std::remove(machineFile.c_str());
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(eightBitDacReply(run), 6) << "the switch should have been asked for and refused";

    const Shot next = run.shot("after_fade");
    ASSERT_EQ(next.width, 640);
    EXPECT_NE(readText(next, 80, 80, 13, WHITE), "Wide DAC test");
    EXPECT_EQ(readText(next, 20, 60, 40, WHITE), "Press any key to begin virtual scrolling");
}

// ---- A pan stopped on the far corner ----

// The pan moves one pixel per clock tick; a first run measures how long a step takes, a
// second sends the key when the pan reaches the far corner, where it stops at once.
TEST(VirtualScrollE2E, KeyAtTheFarCornerStopsThePanThere)
{
    const auto stopAfter = [](int ms) {
        return runHeadless("noaccel", startRun({PALETTE_FADE}) +
                                          std::vector<std::string>{"key Space", "key Space",
                                                                   "key Space",  // starts the pan
                                                                   "wait " + std::to_string(ms), "shot stopped",
                                                                   "key Esc",  // stops the pan, ends the run
                                                                   "key Esc"});
    };
    // Esc ends the run where the pan stopped: nothing moves the display start after it.
    const auto lastStart = [](const HeadlessRun& run) {
        const auto starts = scrollStarts(run.vbe, 0, run.vbe.size());
        return starts.empty() ? std::make_pair(-1, -1) : starts.back();
    };

    const int probeMs = 4000;
    const HeadlessRun probe = stopAfter(probeMs);
    ASSERT_EQ(probe.exitStatus, 0) << probe.errors;
    const int stepsInProbe = lastStart(probe).first;
    ASSERT_GT(stepsInProbe, 100) << "the pan should still be on its first leg";
    const size_t granted =
        indexOf(probe.vbe, 0, [](const VbeCall& c) { return isScanLineByPixels(c) && succeeded(c); });
    ASSERT_LT(granted, probe.vbe.size());
    const int dx = probe.vbe[granted].outCx - 640, dy = probe.vbe[granted].outDx - 480;

    // The corner is the last position of the second leg and the first of the third.
    const double msPerStep = double(probeMs) / stepsInProbe;
    const HeadlessRun corner = stopAfter(static_cast<int>(msPerStep * (dx + 1 + dy + 0.5)));
    ASSERT_EQ(corner.exitStatus, 0) << corner.errors;
    EXPECT_EQ(lastStart(corner), std::make_pair(dx, dy));

    // The last column and row of the virtual screen: its border, on the screen's edges.
    const Shot stopped = corner.shot("stopped");
    ASSERT_EQ(stopped.width, 640);
    for (int y = 0; y < 480; ++y)
        ASSERT_EQ(stopped.at(639, y), WHITE) << "right edge, row " << y;
    for (int x = 0; x < 640; ++x)
        ASSERT_EQ(stopped.at(x, 479), WHITE) << "bottom edge, column " << x;
    EXPECT_NE(stopped.at(0, 240), WHITE) << "the left border is off screen";
}

}  // namespace
