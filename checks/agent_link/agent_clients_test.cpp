// Bochs and DOSBox with the agent inside, started by Palisade: the picture taken from the
// emulator's window shows the card's video memory through its DAC, the conformance
// table gives rows with verdicts in both columns, and no emulator or X server is left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "card_reading/shown_card.h"
#include "checks/support/headless_palisade.h"
#include "engine/boot.h"

namespace {

// Command lines of the emulators and X servers Palisade started whose private folder is gone:
// what a run that ended without ending them would leave.
std::vector<std::string> orphans()
{
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream file(entry.path() / "cmdline", std::ios::binary);
        std::string line((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::replace(line.begin(), line.end(), '\0', ' ');
        for (const char* kind : {"/palisade-bochs-", "/palisade-dosbox-", "/palisade-xvfb-"}) {
            const size_t at = line.find(kind);
            if (at == std::string::npos)
                continue;
            const size_t start = line.rfind(' ', at) + 1, end = line.find_first_of("/ ", at + std::strlen(kind));
            if (!std::filesystem::exists(line.substr(start, end - start)))
                left.push_back(line);
        }
    }
    return left;
}

struct Client {
    const char* machine;
    uint16_t mode;  // 640x480, 8 bits, linear
    const char* kestrel;  // what Kestrel's column shows in most rows
};

class AgentClients : public testing::TestWithParam<Client> {};

constexpr int BAND_ROWS = 16;

TEST_P(AgentClients, TheWindowShowsWhatTheCardHoldsThroughItsDac)
{
    auto clock = pc::makeRealClock();
    {
        const std::unique_ptr<pc::Pc> pc = engine::boot(engine::loadMachine(GetParam().machine), *clock);
        pc::CpuRegs regs;
        regs.ax = 0x4F02;
        regs.bx = GetParam().mode;
        ASSERT_TRUE(pc->interrupt(0x10, regs).ok);
        ASSERT_EQ(regs.ax, 0x004F);
        uint8_t* lfb = pc->lfb();
        // A band of the screen: a whole one takes long over a 115,200-baud line.
        for (int y = 0; y < BAND_ROWS; ++y)
            for (int x = 0; x < 640; ++x)
                lfb[y * 640 + x] = uint8_t((x / 8 + y / 4) & 0x3F);
        pc->out8(0x3C8, 5);
        for (uint8_t component : {0x3F, 0x20, 0x01})
            pc->out8(0x3C9, component);

        // What the card holds, through its DAC as its registers read back (6 bits a component).
        const std::array<uint8_t, 256 * 3> dac = card_reading::readDac(*pc);
        auto meant = [&](int x, int y) {
            const uint8_t value = y < BAND_ROWS ? uint8_t((x / 8 + y / 4) & 0x3F) : 0;
            return uint32_t(dac[value * 3]) << 18 | uint32_t(dac[value * 3 + 1]) << 10 | uint32_t(dac[value * 3 + 2]) << 2;
        };
        pc::Picture window;
        pc->scanOut(window);
        EXPECT_FALSE(window.readBack);
        ASSERT_EQ(window.width, 640);
        ASSERT_EQ(window.height, 480);
        EXPECT_EQ(window.bitsPerPixel, 8);
        int differ = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                differ += (window.pixels[size_t(y) * 640 + size_t(x)] & 0xFCFCFC) != meant(x, y);  // at the DAC's precision
        EXPECT_EQ(differ, 0);
        EXPECT_EQ(window.pixels[40] & 0xFCFCFC, 0xFC8004u);  // pixel value 5 in the colour set above
    }
    EXPECT_EQ(orphans(), std::vector<std::string>{});
}

TEST_P(AgentClients, TheConformanceTableGivesRowsWithVerdictsInBothColumns)
{
    harness::Launch launch;
    launch.arguments = {"--conformance", "--machine", GetParam().machine};
    launch.limit = std::chrono::seconds(840);
    const harness::Exit run = harness::runProgram(launch);
    EXPECT_EQ(run.status, 1) << run.err;  // each of these BIOSes has faults
    std::istringstream lines(run.out);
    int rows = 0, biosPasses = 0, kestrelAsExpected = 0;
    for (std::string line; std::getline(lines, line); ++rows) {
        const size_t first = line.find('\t'), second = line.find('\t', first + 1);
        ASSERT_NE(second, std::string::npos) << line;
        const std::string bios = line.substr(first + 1, second - first - 1), kestrel = line.substr(second + 1);
        for (const std::string& verdict : {bios, kestrel})
            EXPECT_TRUE(verdict == "pass" || verdict == "n/a" || verdict.rfind("FAIL: ", 0) == 0) << line;
        biosPasses += bios == "pass";
        kestrelAsExpected += kestrel == GetParam().kestrel;
    }
    EXPECT_GT(rows, 20) << run.err;
    // The Cirrus BIOS takes the agent down at a row on Bochs: the rows after it are not run.
    EXPECT_GE(biosPasses, 8) << run.out;
    EXPECT_GT(kestrelAsExpected, rows / 2) << run.out << run.err;
    EXPECT_EQ(orphans(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Emulators, AgentClients,
                         testing::Values(Client{"bochs-vga", 0x4101, "pass"}, Client{"bochs-cirrus", 0x4101, "pass"},
                                         Client{"dosbox", 0x4101, "n/a"}),
                         [](const testing::TestParamInfo<Client>& info) {
                             std::string name = info.param.machine;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
