// The palisade executable, run headless: exit statuses, messages, pictures and logs.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checks/support/headless_palisade.h"

namespace fs = std::filesystem;

namespace {

using Outcome = harness::Exit;
using harness::readFile;

class Palisade : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        work =
            fs::temp_directory_path() / (std::string("palisade-e2e-") + info->name() + "-" + std::to_string(getpid()));
        fs::remove_all(work);
        fs::create_directories(work);
    }
    void TearDown() override { fs::remove_all(work); }

    // Runs palisade in the work folder with the script (if any), without the environment
    // variables named; every run is bounded.
    Outcome run(const std::string& arguments, const std::string& script = {},
                const std::vector<std::string>& unsetEnvironment = {})
    {
        harness::Launch launch;
        launch.program = program;
        launch.folder = work.string();
        launch.unsetEnvironment = unsetEnvironment;
        launch.limit = std::chrono::seconds(240);
        std::istringstream words(arguments);
        for (std::string word; words >> word;)
            launch.arguments.push_back(word);
        if (!script.empty()) {
            std::ofstream(work / "input.txt") << script;
            launch.arguments.insert(launch.arguments.end(), {"--script", "input.txt"});
        }
        return harness::runProgram(launch);
    }
    fs::path work;
    std::string program = harness::palisadeBinary();
};

TEST_F(Palisade, ReportsBadInputInOneLineWithStatus2BeforeRunning)
{
    struct Case {
        const char* what;
        std::string arguments;
        std::string script;
        std::vector<std::string> unsetEnvironment;
        const char* says;
    };
    const Case cases[] = {
        {"bad script line", "--headless", "shot start\nclick 2\npress 7\n", {}, "input.txt:3: unknown event \"press\""},
        {"missing script", "--headless --script nowhere.txt", "", {}, "cannot read the script nowhere.txt"},
        {"unknown machine", "--headless --machine no-such-pc", "key Esc\n", {}, "no-such-pc"},
        {"unknown option", "--fullscreen", "", {}, "unknown option \"--fullscreen\""},
        {"unwritable io log", "--headless --io-log no-such-folder/io.log", "key Esc\n", {}, "cannot write the io log"},
        {"headless without script", "--headless", "", {}, "--headless needs --script"},
        {"no display", "", "", {"DISPLAY", "WAYLAND_DISPLAY"}, "--headless"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome r = run(c.arguments, c.script, c.unsetEnvironment);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(fs::exists(work / "start.png"));
        EXPECT_FALSE(fs::exists(work / "kestrel.drv"));
    }
}

TEST_F(Palisade, HelpAndListOfMachines)
{
    const Outcome help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--windows-version"), std::string::npos);
    EXPECT_NE(help.out.find("--io-log"), std::string::npos);
    EXPECT_NE(help.out.find("PALISADE_DIR/machines/ID/"), std::string::npos);
    const Outcome list = run("--list-machines");
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("default"), std::string::npos);
    EXPECT_NE(list.out.find("cirrus-seavgabios"), std::string::npos);
}

TEST_F(Palisade, QuitFromTheMainDialogEndsWithStatus0AndNamedShot)
{
    const Outcome r = run("--headless --shots pictures", "shot main\nclick 2\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(work / "pictures" / "main.png"));
}

// The log starts at power-on: the ROM's own start-up of the card comes before the program's
// accesses, with a line between them.
TEST_F(Palisade, IoLogStartsWithTheBiosStartingTheCard)
{
    const Outcome r = run("--headless --io-log io.log", "click 2\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string log = readFile((work / "io.log").string());
    ASSERT_EQ(log.rfind("# power-on: the video BIOS starts the card\n", 0), 0u) << log.substr(0, 200);
    const size_t programStarts = log.find("# the program starts\n");
    ASSERT_NE(programStarts, std::string::npos);
    // The BIOS programs the sequencer for text mode while starting.
    EXPECT_LT(log.find("port write 03C4"), programStarts);
    EXPECT_NE(log.find("port ", programStarts), std::string::npos);
}

TEST_F(Palisade, ScriptThatRunsOutWhileTheProgramWaitsEndsWithStatus3)
{
    const Outcome r = run("--headless --shots pictures", "click 116\n");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("the script ended while the program waits for input on: Palisade 32 bit Test Program - "
                         "Release 6.0 (dialog 1000)"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("pictures/index.html"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(work / "pictures" / "0001.png"));
    EXPECT_TRUE(fs::exists(work / "pictures" / "0002.png"));
}

// Each machine is a PC with a program folder of its own: the "no hardware" driver generated
// for a plain VGA does not reach the next run on another machine.
TEST_F(Palisade, EachMachineKeepsTheGeneratedDriverInItsOwnProgramFolder)
{
    // A copy of the program and its generator, so the folders made are this test's alone.
    const fs::path built = harness::palisadeBinary();
    const fs::path bin = work / "bin";
    fs::create_directories(bin);
    fs::copy_file(built, bin / "palisade");
    fs::copy_file(built.parent_path() / "KSWIN.EXE", bin / "KSWIN.EXE");
    program = (bin / "palisade").string();
    std::ofstream(work / "card.machine") << "base = default\n";

    const Outcome plain = run("--headless --machine plainvga", "click 2\n");
    EXPECT_EQ(plain.status, 1) << plain.err;
    EXPECT_NE(plain.err.find("Fatal error installing KestrelLib!"), std::string::npos) << plain.err;
    for (const char* machine : {"default", "card.machine"}) {
        SCOPED_TRACE(machine);
        fs::remove_all(work / "pictures");
        const Outcome next =
            run(std::string("--headless --shots pictures --machine ") + machine, "shot main\nclick 2\n");
        EXPECT_EQ(next.status, 0) << next.err;
        EXPECT_EQ(next.err, "");
        EXPECT_TRUE(fs::exists(work / "pictures" / "main.png")) << "the main dialog was shown";
    }

    std::vector<std::string> folders;
    for (const auto& entry : fs::directory_iterator(bin / "machines"))
        folders.push_back(entry.path().filename().string());
    std::sort(folders.begin(), folders.end());
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0].rfind("card-", 0), 0u) << folders[0];
    EXPECT_EQ(folders[1], "default");
    EXPECT_EQ(folders[2], "plainvga");
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        const fs::path home = bin / "machines" / folder;
        EXPECT_EQ(fs::read_symlink(home / "palisade"), bin / "palisade");
        EXPECT_EQ(fs::read_symlink(home / "KSWIN.EXE"), bin / "KSWIN.EXE");
        EXPECT_TRUE(fs::exists(home / "kestrel.drv"));
        const bool noHardware = readFile(home / "KSCONFIG.DAT").find("hardware-code: 38") != std::string::npos;
        EXPECT_EQ(noHardware, folder == "plainvga");
    }
    fs::remove_all(work / "pictures");
    for (const fs::path& elsewhere : {bin, work})
        EXPECT_FALSE(fs::exists(elsewhere / "kestrel.drv") || fs::exists(elsewhere / "KSCONFIG.DAT")) << elsewhere;
}

TEST_F(Palisade, FatalMessageBoxGoesToStderrAndTheProgramsExitStatusStands)
{
    // No room for the driver in 8 KB of conventional memory: a fatal installer status.
    const Outcome r = run("--headless --machine lowmem --shots pictures", "key Esc\n");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Fatal Error!: Fatal error installing KestrelLib!"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(work / "pictures" / "index.html"));
}

TEST_F(Palisade, SameScriptOnTheSameMachineGivesIdenticalPicturesAndLogs)
{
    const std::string script =
        "click 116\nselect 114 640 x 480\nshot list\nclick 121\nkey Enter\nwait 300\nkey Enter\nkey Esc\n"
        "key Esc\nkey Esc\nkey Esc\nkey Esc\nkey Esc\nkey Esc\n";
    for (const char* pass : {"a", "b"}) {
        const Outcome r = run(std::string("--headless --shots ") + pass + " --vbe-log " + pass + ".log", script);
        EXPECT_TRUE(r.status == 0 || r.status == 3) << r.err;
    }
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(work / "a"))
        files.push_back(entry.path().filename().string());
    EXPECT_GE(files.size(), 6u);
    bool sawFullScreen = false;
    for (const std::string& name : files) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(fs::exists(work / "b" / name));
        // The index page's head names the run (its date, its command line); the rest is the same.
        auto body = [&](const char* pass) {
            const std::string file = readFile(work / pass / name);
            const size_t end = name == "index.html" ? file.find("</header>") : std::string::npos;
            return end == std::string::npos ? file : file.substr(end);
        };
        EXPECT_TRUE(body("a") == body("b"));
    }
    sawFullScreen = readFile(work / "a" / "index.html").find("full screen 640 x 480, 8 bit") != std::string::npos;
    EXPECT_TRUE(sawFullScreen);
    EXPECT_EQ(std::distance(fs::directory_iterator(work / "a"), fs::directory_iterator()),
              std::distance(fs::directory_iterator(work / "b"), fs::directory_iterator()));
    const std::string log = readFile(work / "a.log");
    EXPECT_NE(log.find("AX=4F02"), std::string::npos);
    EXPECT_TRUE(log == readFile(work / "b.log"));
}

}  // namespace
