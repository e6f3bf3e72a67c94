// KSWIN.EXE run as a child process, as the loader runs it: the command-line forms, the two
// files it writes, -noanalyse, a machine without a supported card, and its errors, which
// must leave no file half written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "desktop/winpath.h"
#include "kestrel/driver_image.h"

extern char** environ;

namespace kestrel {
namespace {

namespace fs = std::filesystem;

struct ChildRun {
    int status = -1;  // exit code; -1 when it did not end normally
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs KSWIN.EXE with these arguments in `cwd`, PALISADE_MACHINE set to `machine` (unset
// when empty), and waits at most a minute for it.
ChildRun runKswin(const std::vector<std::string>& args, const fs::path& cwd, const std::string& machine = "")
{
    const fs::path outFile = cwd / ".kswin.out", errFile = cwd / ".kswin.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("PALISADE_MACHINE=", 0) != 0)
            environment.push_back(*e);
    if (!machine.empty())
        environment.push_back("PALISADE_MACHINE=" + machine);
    std::vector<char*> envp;
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = {KSWIN_PATH};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    ChildRun run;
    pid_t pid;
    if (posix_spawn(&pid, KSWIN_PATH, &actions, nullptr, argv.data(), envp.data()) != 0)
        return run;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "KSWIN.EXE did not end within a minute";
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = slurp(outFile);
    run.err = slurp(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return run;
}

class Kswin : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("kswin-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string windowsDir() const { return winpath::fromHost(dir_.string()) + "\\"; }
    std::vector<uint8_t> driver() const
    {
        const std::string bytes = slurp(dir_ / "kestrel.drv");
        return {bytes.begin(), bytes.end()};
    }
    // Everything in the directory, so that a stray temporary file shows.
    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

const std::vector<std::string> BOTH_FILES = {"KSCONFIG.DAT", "kestrel.drv"};

TEST_F(Kswin, WritesTheDriverAndItsAnalysisForEveryFormOfTheDirectory)
{
    const std::string full = windowsDir();
    const std::vector<std::vector<std::string>> forms = {
        {"-gen", "-p" + full},
        {"-gen", "-p" + full.substr(0, full.size() - 1)},  // without the trailing backslash
        {"-gen", "-p.\\"},                                 // the current directory
        {"-GEN", "-P" + full},
    };
    for (const auto& args : forms) {
        fs::remove(dir_ / "kestrel.drv");
        fs::remove(dir_ / "KSCONFIG.DAT");
        const ChildRun run = runKswin(args, dir_);
        ASSERT_EQ(0, run.status) << args[1] << ": " << run.err;
        EXPECT_EQ(BOTH_FILES, files()) << args[1];
        const auto image = driver();
        ASSERT_EQ(assembledImage(HARDWARE_DISPI).size(), image.size());
        EXPECT_EQ(HARDWARE_DISPI, readWord(image, field::HARDWARE_CODE));
        EXPECT_EQ(4096, readWord(image, field::MEMORY_KB));
        EXPECT_EQ(0, readWord(image, field::NEEDS_VBE_BIOS));
        EXPECT_NE(std::string::npos, slurp(dir_ / "KSCONFIG.DAT").find("video-memory-kb: 4096"));
    }
}

// The loader passes the directory unquoted: one with a blank arrives as two arguments.
TEST_F(Kswin, DirectoryWithABlankArrivingInPiecesIsJoinedAgain)
{
    fs::create_directories(dir_ / "my drivers");
    const ChildRun run = runKswin({"-gen", "-p" + windowsDir() + "my", "drivers\\"}, dir_);
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(fs::exists(dir_ / "my drivers" / "kestrel.drv"));
    EXPECT_TRUE(fs::exists(dir_ / "my drivers" / "KSCONFIG.DAT"));
}

// Each machine gets the driver of the chip it has, with that chip's back end, and a machine
// without a chip this driver knows gets code 38 and one line saying what is there.
TEST_F(Kswin, EachMachineGetsTheDriverOfItsChip)
{
    struct Case {
        const char* machine;
        uint16_t code;
        const char* family;
        const char* said;  // KSWIN.EXE's output
    };
    const Case cases[] = {
        {"default", HARDWARE_DISPI, "dispi", ""},
        {"cirrus", HARDWARE_GD5446, "cirrus", ""},
        {"cirrus-seavgabios", HARDWARE_GD5446, "cirrus", ""},
        {"plainvga", HARDWARE_NONE, "none",
         "palisade: KSWIN.EXE: no supported graphics hardware: PCI 1234:1111 at 00:02.0 without the DISPI interface\n"},
    };
    for (const Case& c : cases) {
        fs::remove(dir_ / "kestrel.drv");
        fs::remove(dir_ / "KSCONFIG.DAT");
        const ChildRun run = runKswin({"-gen", "-p" + windowsDir()}, dir_, c.machine);
        ASSERT_EQ(0, run.status) << c.machine << ": " << run.err;
        const auto image = driver();
        EXPECT_EQ(c.code, readWord(image, field::HARDWARE_CODE)) << c.machine;
        const auto assembled = assembledImage(c.code);
        ASSERT_EQ(assembled.size(), image.size()) << c.machine;
        const std::size_t code = field::INFO_RECORD + field::INFO_RECORD_SIZE, end = checksumOffset(image);
        EXPECT_TRUE(std::equal(assembled.begin() + code, assembled.begin() + end, image.begin() + code))
            << c.machine << ": not that chip's back end";
        const std::string config = slurp(dir_ / "KSCONFIG.DAT");
        EXPECT_NE(std::string::npos, config.find("hardware-code: " + std::to_string(c.code) + "\n")) << c.machine;
        EXPECT_NE(std::string::npos, config.find(std::string("chip-family: ") + c.family + "\n")) << c.machine;
        EXPECT_EQ(c.said, run.out) << c.machine;
    }
}

TEST_F(Kswin, NoAnalyseUsesTheExistingAnalysisAndProbesWhenThereIsNone)
{
    // No KSCONFIG.DAT: it probes and writes one.
    ChildRun run = runKswin({"-gen", "-p" + windowsDir(), "-noanalyse"}, dir_);
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(BOTH_FILES, files());

    // An analysis that differs from the machine wins over it.
    std::string config = slurp(dir_ / "KSCONFIG.DAT");
    config.replace(config.find("video-memory-kb: 4096"), 21, "video-memory-kb: 2048");
    std::ofstream(dir_ / "KSCONFIG.DAT", std::ios::binary) << config;
    run = runKswin({"-gen", "-p" + windowsDir(), "-noanalyse"}, dir_);
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(2048, readWord(driver(), field::MEMORY_KB));
    EXPECT_EQ(config, slurp(dir_ / "KSCONFIG.DAT"));

    // Without -noanalyse the machine is probed again.
    run = runKswin({"-gen", "-p" + windowsDir()}, dir_);
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(4096, readWord(driver(), field::MEMORY_KB));
}

TEST_F(Kswin, ErrorsSayWhatIsWrongExitNonzeroAndLeaveNoHalfFile)
{
    // A driver from an earlier run that a failed run must not touch.
    ASSERT_EQ(0, runKswin({"-gen", "-p" + windowsDir()}, dir_).status);
    const auto earlier = driver();
    std::ofstream(dir_ / "KSCONFIG.DAT", std::ios::app) << "colour: blue\n";
    const std::string brokenConfig = slurp(dir_ / "KSCONFIG.DAT");

    struct Case {
        std::vector<std::string> args;
        std::string machine;
        std::string message;
    };
    const Case cases[] = {
        {{}, "", "expected -gen -p<directory>"},
        {{"-gen"}, "", "expected -gen -p<directory>"},
        {{"-gen", "-p"}, "", "-p needs a directory"},
        {{"-make", "-p" + windowsDir()}, "", "expected -gen -p<directory>"},
        {{"-gen", "-p" + windowsDir(), "-fast"}, "", "unknown option \"-fast\""},
        {{"-gen", "-pQ:\\games\\"}, "", "on a drive that does not exist here"},
        {{"-gen", "-p" + windowsDir() + "missing\\"}, "", "does not exist"},
        {{"-gen", "-pZ:\\proc\\"}, "", "cannot write"},
        {{"-gen", "-p" + windowsDir() + "kestrel.drv"}, "", "is not a directory"},
        {{"-gen", "-p" + windowsDir()}, "no-such-machine", "cannot analyse the machine"},
        {{"-gen", "-p" + windowsDir(), "-noanalyse"}, "", "unknown key \"colour\""},
    };
    for (const Case& c : cases) {
        const ChildRun run = runKswin(c.args, dir_, c.machine);
        const std::string what = c.args.empty() ? "(no arguments)" : c.args.back();
        EXPECT_NE(0, run.status) << what;
        EXPECT_EQ(0u, run.err.rfind("palisade: KSWIN.EXE: ", 0)) << what << ": " << run.err;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << what << ": " << run.err;
        EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << what << ": " << run.err;
        EXPECT_EQ(BOTH_FILES, files()) << what;
        EXPECT_EQ(earlier, driver()) << what;
        EXPECT_EQ(brokenConfig, slurp(dir_ / "KSCONFIG.DAT")) << what;
    }
}

TEST_F(Kswin, HelpTellsTheCommandLine)
{
    const ChildRun run = runKswin({"--help"}, dir_);
    EXPECT_EQ(0, run.status);
    EXPECT_NE(std::string::npos, run.out.find("KSWIN.EXE -gen -p<directory> [-noanalyse]"));
    EXPECT_NE(std::string::npos, run.out.find("PALISADE_MACHINE"));
    EXPECT_TRUE(files().empty());
}

}  // namespace
}  // namespace kestrel
