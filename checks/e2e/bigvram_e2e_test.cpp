// The program on a DISPI card with 512 MB of video memory (`bigvram`), through the real
// palisade binary: the demo's 8- and 32-bit runs judged screen by screen, the conformance
// table's large-memory rows, and video memory a card cannot have refused with one line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "checks/support/headless_palisade.h"

namespace {

namespace fs = std::filesystem;

std::string demoScript()
{
    std::ifstream file(std::string(PALISADE_SOURCE_DIR) + "/scripts/demo.script");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(BigVram, TheDemosEightAndThirtyTwoBitRunsShowWhatTheProgramMeant)
{
    harness::HeadlessOptions options;
    options.machine = "bigvram";
    options.script = demoScript();
    options.extraArguments = {"--verdict"};
    const harness::HeadlessRun run = harness::runHeadless(options);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find("verdict: 116 screens, 0 differ\n"), std::string::npos) << run.err;
}

TEST(BigVram, ConformanceListsTheLargeMemoryRowsWithEachVerdict)
{
    harness::Launch launch;
    launch.arguments = {"--conformance", "--machine", "bigvram"};
    const harness::Exit r = harness::runProgram(launch);
    EXPECT_EQ(r.status, 1) << r.err;  // the Bochs BIOS fails rows, large-memory ones among them
    std::map<std::string, std::pair<std::string, std::string>> verdicts;  // row: BIOS, Kestrel
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');)
            cells.push_back(cell);
        if (cells.size() == 3)
            verdicts[cells[0]] = {cells[1], cells[2]};
    }
    // The Bochs BIOS's answers: its page counts are a 16 MB card's, and it has no maximum.
    const std::pair<const char*, const char*> rows[] = {
        {"4F00 TotalMemory past 16 MB", "pass"},
        {"4F01 image pages past 256 screens",
         "FAIL: mode 100h (640x400x8): NumberOfImagePages 64 where 2097 screens fit (a byte says 255)"},
        {"4F05 banks past 16 MB", "pass"},
        {"4F06 maximum on a card past 16 MB", "FAIL: BL=03h: AX=0100h"},
    };
    for (const auto& [row, bios] : rows) {
        ASSERT_TRUE(verdicts.count(row)) << row << " missing from\n" << r.out;
        EXPECT_EQ(verdicts[row].first.rfind(bios, 0), 0u) << row << ": " << verdicts[row].first;
        EXPECT_EQ(verdicts[row].second, "pass") << row;
    }
}

TEST(BigVram, VideoMemoryACardCannotHaveIsOneLineAndStatusTwo)
{
    const fs::path work = fs::temp_directory_path() / ("palisade-bigvram-" + std::to_string(getpid()));
    fs::create_directories(work);
    const std::pair<const char*, const char*> cases[] = {
        {"video_memory = 1G\n", "video_memory must be 256 KB to 512 MB, got 1G"},
        {"video_memory = 513M\n", "video_memory must be 256 KB to 512 MB, got 513M"},
        {"video_memory = 4100K\n", "video_memory must be a multiple of 64 KB, got 4100K"},
        {"base = cirrus\nvideo_memory = 512M\n", "the Cirrus card has 1, 2 or 4 MB of video memory"},
    };
    for (const auto& [text, message] : cases) {
        const fs::path file = work / "card.machine";
        std::ofstream(file) << text;
        std::ofstream(work / "quit.script") << "click 2\n";
        harness::Launch launch;
        launch.folder = work.string();
        launch.arguments = {"--headless", "--script", "quit.script", "--machine", file.string()};
        const harness::Exit r = harness::runProgram(launch);
        EXPECT_EQ(r.status, 2) << text;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "not one line: " << r.err;
    }
    fs::remove_all(work);
}

}  // namespace
