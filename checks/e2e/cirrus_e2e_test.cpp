// The program on the Cirrus card under each of its ROMs, through the real palisade binary: the
// moire screens of 640 x 480 at 8 and 16 bits, linear and banked. With no Kestrel driver (the
// BIOS's own VBE): both ROMs leave the sequencer's screen-off bit set, which the chip obeys:
// those screens are black, and --verdict says they differ from what the program drew. With the
// bit ignored, as QEMU and Bochs do, they are the moires the program drew. With Kestrel, which
// sets the chip's modes itself and turns the screen on, they are the moires on the chip as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <unistd.h>

#include "checks/support/headless_palisade.h"

namespace {

namespace fs = std::filesystem;
using harness::Picture;

struct CirrusCase {
    const char* base;       // the preset the machine file starts from
    bool screenOffIgnored;  // svga_screen_off = ignored
    bool kestrel = false;   // the Kestrel driver installed, else kestrel = no

    bool shown() const { return screenOffIgnored || kestrel; }
};

void PrintTo(const CirrusCase& c, std::ostream* out)
{
    *out << c.base << (c.kestrel ? " with Kestrel" : c.screenOffIgnored ? " shown" : " blank");
}

class CirrusMoire : public ::testing::TestWithParam<CirrusCase> {};

// Main dialog controls: the linear framebuffer check box (on at the start), the 8- and 16-bit
// lists, the mode list.
constexpr const char* LINEAR = "112";
constexpr const char* DEPTH_8 = "116";
constexpr const char* DEPTH_16 = "119";
constexpr const char* MODE_LIST = "114";

struct Screen {
    const char* shot;
    int bitsPerPixel;
    bool linear;
    const char* modeSet;  // the 4F02 call as the VBE log writes it
};
const Screen SCREENS[] = {
    {"linear8", 8, true, "AX=4F02 BX=4101"},
    {"linear16", 16, true, "AX=4F02 BX=4111"},
    {"banked8", 8, false, "AX=4F02 BX=0101"},
    {"banked16", 16, false, "AX=4F02 BX=0111"},
};

std::string script()
{
    std::string lines;
    bool linear = true;
    for (const Screen& screen : SCREENS) {
        if (screen.linear != linear) {
            lines += std::string("click ") + LINEAR + "\n";
            linear = screen.linear;
        }
        lines += std::string("click ") + (screen.bitsPerPixel == 8 ? DEPTH_8 : DEPTH_16) + "\n";
        lines += std::string("select ") + MODE_LIST + " 640 x 480\n";
        lines += std::string("dblclick ") + MODE_LIST + "\nshot " + screen.shot + "\nkey Esc\n";
    }
    return lines + "click 2\n";
}

bool near(int value, int expected, int tolerance)
{
    return value >= expected - tolerance && value <= expected + tolerance;
}

// The moire screen: a white border all round, a colourful fan along the edges and, at 16 bits,
// the fan's ramps: top edge black to red, bottom black to green.
void expectMoire(const Picture& screen, int bitsPerPixel)
{
    std::set<uint32_t> edgeColours;
    for (int x = 0; x < screen.width; ++x) {
        edgeColours.insert(screen.at(x, 2));
        edgeColours.insert(screen.at(x, screen.height - 3));
    }
    for (int y = 0; y < screen.height; ++y) {
        edgeColours.insert(screen.at(2, y));
        edgeColours.insert(screen.at(screen.width - 3, y));
    }
    EXPECT_EQ(harness::notWhiteOnBorder(screen), 0) << "the border is white all round";
    EXPECT_GE(edgeColours.size(), 100u) << "a colourful fan";
    if (bitsPerPixel != 16)
        return;
    for (int x : {100, 320, 540}) {
        const int level = x * 255 / (screen.width - 1);
        const uint32_t top = screen.at(x, 2), bottom = screen.at(x, screen.height - 3);
        EXPECT_TRUE(near(static_cast<int>(top >> 16), level, 10) && (top & 0xFFFF) == 0)
            << std::hex << top << " at x " << std::dec << x;
        EXPECT_TRUE(near(static_cast<int>(bottom >> 8 & 0xFF), level, 10) && (bottom & 0xFF00FF) == 0)
            << std::hex << bottom << " at x " << std::dec << x;
    }
}

TEST_P(CirrusMoire, ScreensOfBothDepthsLinearAndBankedAreTheMoireOrBlackAsTheCardShowsThem)
{
    const CirrusCase& c = GetParam();
    const fs::path machine = fs::path(::testing::TempDir()) / (std::string("cirrus-e2e-") + c.base +
                                                               (c.kestrel            ? "-kestrel"
                                                                : c.screenOffIgnored ? "-shown"
                                                                                     : "-blank") +
                                                               "-" + std::to_string(getpid()) + ".machine");
    std::ofstream(machine) << "base = " << c.base << "\n"
                           << (c.kestrel ? "" : "kestrel = no\n")
                           << (c.screenOffIgnored ? "svga_screen_off = ignored\n" : "");
    harness::HeadlessOptions options;
    options.machine = machine.string();
    options.script = script();
    options.vbeLog = true;
    options.extraArguments = {"--verdict"};
    const harness::HeadlessRun run = harness::runHeadless(options);
    fs::remove(machine);

    // The blank screens are the card's picture, not the program's: the verdict flags each.
    EXPECT_EQ(run.exitStatus, c.shown() ? 0 : 4) << run.err;
    EXPECT_NE(run.err.find(c.shown() ? "verdict: 4 screens, 0 differ" : "verdict: 4 screens, 4 differ"),
              std::string::npos)
        << run.err;
    if (!c.shown()) {
        EXPECT_NE(run.err.find("the card has its screen off"), std::string::npos) << run.err;
    }
    EXPECT_EQ(run.err.find("failed"), std::string::npos) << run.err;

    const std::string calls = harness::readFile(run.vbeLog());
    const auto captions = run.captions();
    for (const Screen& screen : SCREENS) {
        SCOPED_TRACE(screen.shot);
        EXPECT_NE(calls.find(screen.modeSet), std::string::npos) << "the mode set " << screen.modeSet;
        // Named by the script, captioned by what the program wrote on it and the card's mode.
        const std::string named = std::string(screen.shot) + " \u2014 Bank switching test / ";
        const std::string mode = "(full screen 640 x 480, " + std::to_string(screen.bitsPerPixel) + " bit)";
        EXPECT_NE(std::find_if(captions.begin(), captions.end(),
                               [&](const std::string& shown) {
                                   return shown.rfind(named, 0) == 0 && shown.find(mode) != std::string::npos;
                               }),
                  captions.end())
            << named << "..." << mode;
        const Picture picture = run.shot(screen.shot);
        ASSERT_EQ(picture.width, 640);
        ASSERT_EQ(picture.height, 480);
        if (c.shown()) {
            expectMoire(picture, screen.bitsPerPixel);
        } else {
            size_t lit = 0;
            for (uint32_t pixel : picture.pixels)
                lit += pixel != 0;
            EXPECT_EQ(lit, 0u) << "the card has the screen off: every pixel black";
        }
    }
    // Banked screens move the window, many times a screen.
    EXPECT_NE(calls.find("AX=4F05"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothRoms, CirrusMoire,
                         ::testing::Values(CirrusCase{"cirrus", false}, CirrusCase{"cirrus", true},
                                           CirrusCase{"cirrus-seavgabios", false},
                                           CirrusCase{"cirrus-seavgabios", true}, CirrusCase{"cirrus", false, true},
                                           CirrusCase{"cirrus-seavgabios", false, true}),
                         [](const ::testing::TestParamInfo<CirrusCase>& info) {
                             return std::string(info.param.base == std::string("cirrus") ? "Lgpl" : "SeaVgaBios") +
                                    (info.param.kestrel            ? "Kestrel"
                                     : info.param.screenOffIgnored ? "Shown"
                                                                   : "Blank");
                         });

}  // namespace
