// The palisade executable on QEMU's PC through the agent: the conformance table gives the rows
// it gives through QEMU's gdbstub, and a link that cannot work ends the run in one line.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "checks/support/headless_palisade.h"

namespace {

// The rows, with where a runaway call was found masked: that depends on the memory around it.
std::vector<std::string> rowsOf(const std::string& table)
{
    static const std::regex stoppedAt("stopped at [0-9A-F]{4}:[0-9A-F]{4}");
    std::vector<std::string> rows;
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line))
        rows.push_back(std::regex_replace(line, stoppedAt, "stopped at ...."));
    return rows;
}

// The preset with calls given 4 s instead of 1: QEMU runs in real time, and a busy host can
// hold a BIOS call back past a second, failing a row on one side only.
harness::Exit conformance(const std::string& preset)
{
    const std::filesystem::path machine =
        std::filesystem::temp_directory_path() / ("palisade-agent-e2e-" + std::to_string(getpid()) + "-" + preset);
    std::ofstream(machine) << "base = " << preset << "\ncall_budget_ms = 4000\n";
    harness::Launch launch;
    launch.arguments = {"--conformance", "--machine", machine.string()};
    launch.limit = std::chrono::seconds(240);
    harness::Exit run = harness::runProgram(launch);
    std::filesystem::remove(machine);
    return run;
}

TEST(AgentE2e, ConformanceThroughTheAgentGivesTheRowsOfTheGdbstub)
{
    const harness::Exit gdbstub = conformance("qemu-vga");
    const harness::Exit agent = conformance("qemu-serial");
    EXPECT_EQ(agent.status, gdbstub.status) << agent.err;
    const std::vector<std::string> expected = rowsOf(gdbstub.out), got = rowsOf(agent.out);
    ASSERT_GT(expected.size(), 20u) << gdbstub.err;
    ASSERT_EQ(got.size(), expected.size()) << agent.out << agent.err;
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], expected[i]);
}

// A Unix socket at `path` whose other end sends `bytes` and then nothing, as long as it lives.
class FakeLine {
public:
    FakeLine(const std::string& path, std::vector<uint8_t> bytes) : path_(path)
    {
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        listen(fd_, 1);
        thread_ = std::thread([this, bytes] {
            const int peer = accept(fd_, nullptr, nullptr);
            if (peer < 0)
                return;
            char scratch[4096];
            // Each command is taken as an agent would take it, and answered with the bytes.
            while (read(peer, scratch, sizeof scratch) > 0)
                if (!bytes.empty() && write(peer, bytes.data(), bytes.size()) < 0)
                    break;
            close(peer);
        });
    }
    ~FakeLine()
    {
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
        thread_.join();
        std::filesystem::remove(path_);
    }

private:
    std::string path_;
    int fd_ = -1;
    std::thread thread_;
};

size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

// A test whose drawing the line cannot carry within the machine's limit is skipped in one line
// (which screen, how many bytes, the line's speed, the limit), never judged, and the run goes
// on: every screen after it is judged against what the card holds, and none is blamed on the card.
// QEMU's UART takes some 12 kB/s from the host: two seconds carry no 300 KB moire, but the page
// flip's thirteen cleared pages fit as the expander's stream, and QEMU's card shows them right.
TEST(AgentE2e, DrawingTooSlowForTheLineIsSkippedAndTheRunGoesOn)
{
    const std::filesystem::path folder = harness::checkFolder("palisade-agent-slow-line");
    const std::filesystem::path machine = folder / "slow-line.txt";
    std::ofstream(machine) << "base = qemu-serial\ndrawing_limit_ms = 2000\n";
    harness::Launch launch;
    launch.arguments = {"--headless", "--machine", machine.string(), "--test", "640x480x8 linear", "--verdict",
                        "--shots", (folder / "shots").string(), "--report", (folder / "run.json").string()};
    launch.limit = std::chrono::seconds(300);
    const harness::Exit run = harness::runProgram(launch);
    const size_t lines = count(run.err, "palisade: skipped screen ");
    EXPECT_GE(lines, 1u) << run.err;
    EXPECT_NE(run.err.find("skipped screen 1 (Bank switching test"), std::string::npos) << run.err;
    EXPECT_EQ(count(run.err, " bytes, would take "), lines) << run.err;
    EXPECT_EQ(count(run.err, " kB/s, past drawing_limit_ms = 2000\n"), lines) << run.err;
    const std::string report = harness::readFile(folder / "run.json");
    EXPECT_EQ(count(report, "\"verdict\": \"skipped\""), lines) << report;
    // The one screen that may differ is QEMU's own: the wide virtual screen after its pan, where
    // QEMU starts the display at a multiple of 4 pixels (qemu-vga names that departure; through
    // the agent it is not named, and where the pan stops depends on real time).
    const size_t differ = count(report, "\"verdict\": \"differs\"");
    EXPECT_LE(differ, 1u) << report;
    EXPECT_EQ(count(report, "8192 x 512 pixels / Press any key to begin virtual scrolling (full screen 640 x 480, 8 "
                            "bit)\", \"verdict\": \"differs\""),
              differ)
        << report;
    EXPECT_NE(run.err.find(" " + std::to_string(differ) + " differ, " + std::to_string(lines) + " skipped"),
              std::string::npos)
        << run.err;
    // Screens that differ outweigh screens skipped.
    EXPECT_EQ(run.status, differ ? 4 : 6) << run.err;
    EXPECT_TRUE(std::regex_search(report, std::regex("Page flipping[^\"]*\", \"verdict\": \"pass\""))) << report;
    const std::string index = harness::readFile(folder / "shots" / "index.html");
    EXPECT_EQ(count(index, "verdict: skipped: its drawing, "), lines);
    std::filesystem::remove_all(folder);
}

TEST(AgentE2e, LinksThatCannotWorkEndInOneLine)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("palisade-agent-e2e-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string garbageSocket = (folder / "garbage").string(), silentSocket = (folder / "silent").string();
    const FakeLine garbage(garbageSocket, std::vector<uint8_t>(64, 0x5A));
    const FakeLine silent(silentSocket, {});
    struct Case {
        const char* name;
        std::string link;
        const char* says;
    };
    const Case cases[] = {
        {"a device that is no serial port", "serial:/dev/null", "/dev/null is not a serial port"},
        {"a line of garbage", "unix:" + garbageSocket, "answers garbage"},
        {"a silent line", "unix:" + silentSocket, "does not answer"},
    };
    for (const Case& c : cases) {
        const std::filesystem::path machine = folder / "machine.txt";
        std::ofstream(machine) << "engine = agent\nlink = " << c.link << "\nlink_timeout_ms = 500\n";
        harness::Launch launch;
        launch.arguments = {"--conformance", "--machine", machine.string()};
        launch.limit = std::chrono::seconds(60);
        const auto start = std::chrono::steady_clock::now();
        const harness::Exit run = harness::runProgram(launch);
        EXPECT_NE(run.status, 0) << c.name;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.name << ": " << run.err;
        EXPECT_TRUE(run.out.empty()) << c.name << ": " << run.out;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.name;
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
