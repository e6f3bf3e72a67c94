// The palisade executable on QEMU's PC: the conformance table with both columns, a headless
// verdict on QEMU's own screendumps, and no QEMU left when palisade is ended by a signal.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "checks/support/headless_palisade.h"
#include "checks/support/child_processes.h"

namespace {

TEST(QemuE2e, ConformanceGivesEveryRowBothVerdicts)
{
    harness::Launch launch;
    launch.arguments = {"--conformance", "--machine", "qemu-vga"};
    launch.limit = std::chrono::seconds(120);
    const harness::Exit run = harness::runProgram(launch);
    EXPECT_EQ(run.status, 1) << run.err;  // the Bochs BIOS fails rows
    std::istringstream lines(run.out);
    std::string line;
    int rows = 0;
    while (std::getline(lines, line)) {
        ++rows;
        // NAME \t BIOS \t KESTREL, each pass, FAIL: why, or n/a: why.
        const size_t first = line.find('\t'), second = line.find('\t', first + 1);
        ASSERT_NE(second, std::string::npos) << line;
        EXPECT_NE(line.substr(second + 1), "") << line;
    }
    EXPECT_GT(rows, 20);
    // Where QEMU's card departs from the VGA the row names the register.
    EXPECT_NE(run.out.find("input status 1, 3DAh"), std::string::npos) << run.out;
    // Kestrel fails only that row on QEMU's VGA.
    const size_t kestrel = run.err.find("; Kestrel ");
    ASSERT_NE(kestrel, std::string::npos) << run.err;
    EXPECT_NE(run.err.find(" pass, 1 fail", kestrel), std::string::npos) << run.err;
}

TEST(QemuE2e, ASignalToPalisadeEndsItsQemu)
{
    const pid_t palisade = fork();
    if (palisade == 0) {
        const std::string binary = harness::palisadeBinary();
        execl(binary.c_str(), binary.c_str(), "--conformance", "--machine", "qemu-vga", static_cast<char*>(nullptr));
        _exit(127);
    }
    std::vector<pid_t> qemu;
    for (int i = 0; i < 300 && qemu.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        qemu = harness::childProcesses(palisade, "qemu");
    }
    ASSERT_EQ(qemu.size(), 1u) << "palisade started no QEMU within 15 s";
    kill(palisade, SIGTERM);
    int status = 0;
    waitpid(palisade, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    // QEMU's parent is gone; it is killed, not reparented and left running.
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        gone = kill(qemu.front(), 0) != 0;
        if (!gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(gone) << "QEMU " << qemu.front() << " outlived palisade";
}

// The 640x480 8-bit sequence from the main dialog, `keys` screens on, then Esc: on QEMU's VGA
// moire, page flipping, the palette fade, the wide DAC and scrolling; on cirrus-vga then the
// accelerator's fills, patterns, scans, trapezoids, lines and stippled lines. The CPU draws the
// lines over what QEMU's BitBLT engine drew just before, so they show whether the host's copy
// of video memory was brought up to date first.
std::string sequence8(int keys)
{
    std::string script = "click 116\nselect 114 640 x 480\nclick 121\nkey Enter\nwait 500\n";
    for (int i = 0; i < keys; ++i)
        script += "key Enter\n";
    return script + "key Esc\nclick 2\n";
}

// Every picture QEMU's screendump, judged against what the program meant; on cirrus-vga the
// accelerator's work is QEMU's BitBLT engine's, as QEMU's own trace of its starts says.
TEST(QemuE2e, TheEightBitSequenceShowsWhatWasMeantAndTheCirrusEngineDrawsIt)
{
    struct Case {
        const char* machine;
        bool engine;
        int keys;
    };
    for (const Case c : {Case{"qemu-vga", false, 8}, Case{"qemu-cirrus", true, 11}}) {
        const std::filesystem::path folder =
            std::filesystem::path(::testing::TempDir()) / ("qemu-e2e-" + std::string(c.machine));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        // QEMU itself, with the trace event of each BitBLT start written to a log.
        const std::string wrapper = (folder / "qemu-traced").string(), trace = (folder / "trace.log").string();
        std::ofstream(wrapper) << "#!/bin/sh\nexec qemu-system-i386 \"$@\" -D " << trace
                               << " -trace vga_cirrus_bitblt_start\n";
        std::filesystem::permissions(wrapper, std::filesystem::perms::owner_all);
        const std::string machineFile = (folder / "machine.txt").string();
        std::ofstream(machineFile) << "base = " << c.machine << "\nqemu = " << wrapper << "\n";

        harness::HeadlessOptions options;
        options.machine = machineFile;
        options.script = sequence8(c.keys);
        options.extraArguments = {"--verdict"};
        options.limit = std::chrono::seconds(240);
        const harness::HeadlessRun run = harness::runHeadless(options);
        EXPECT_EQ(run.exitStatus, 0) << c.machine << ": " << run.err;
        EXPECT_NE(run.err.find(" 0 differ"), std::string::npos) << c.machine << ": " << run.err;

        std::ifstream log(trace);
        std::string line;
        int starts = 0;
        while (std::getline(log, line))
            starts += line.find("vga_cirrus_bitblt_start") != std::string::npos;
        if (c.engine)
            EXPECT_GT(starts, 100) << c.machine << ": the accelerator suite drew without QEMU's BitBLT engine";
        else
            EXPECT_EQ(starts, 0) << c.machine;
        std::filesystem::remove_all(folder);
    }
}

}  // namespace
