// The palisade executable as a careful user and as an attacker meet it: damaged drivers,
// blanks and long paths, files that cannot be written, files planted where the program
// looks, and inputs that are refused before anything is made.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "checks/support/headless_palisade.h"

namespace fs = std::filesystem;

namespace {

using harness::readFile;

// The main dialog's title, on the index page when the program got that far.
constexpr char kMainDialog[] = "Palisade 32 bit Test Program - Release 6.0";

class Reliability : public ::testing::Test {
protected:
    void SetUp() override
    {
        work = harness::checkFolder("palisade-rel");
        install(work / "bin");
    }
    void TearDown() override
    {
        if (!HasFailure())
            fs::remove_all(work);
    }

    // A copy of the program (and its generator) in folder, which becomes the program run.
    void install(const fs::path& folder, bool withGenerator = true)
    {
        program = harness::installProgram(folder, withGenerator);
    }
    fs::path home(const std::string& machine = "default") const { return program.parent_path() / "machines" / machine; }

    // palisade --headless ARGUMENTS --script work/input.txt, run in the work folder.
    harness::Exit run(const std::string& arguments, const std::string& script, harness::Launch launch = {})
    {
        launch.program = program.string();
        launch.folder = work.string();
        launch.limit = std::chrono::seconds(240);
        launch.setEnvironment.emplace_back("XDG_STATE_HOME", (work / "state").string());
        std::istringstream words(arguments);
        for (std::string word; words >> word;)
            launch.arguments.push_back(word);
        std::ofstream(work / "input.txt") << script;
        // An option is given once: a case that names its own script keeps it.
        if (arguments.find("--script") == std::string::npos)
            launch.arguments.insert(launch.arguments.begin(), {"--script", "input.txt"});
        launch.arguments.insert(launch.arguments.begin(), "--headless");
        return harness::runProgram(launch);
    }
    bool showedMainDialog(const fs::path& shots) const
    {
        return readFile(shots / "index.html").find(kMainDialog) != std::string::npos;
    }

    fs::path work;
    fs::path program;
};

int lines(const std::string& text)
{
    return int(std::count(text.begin(), text.end(), '\n'));
}

// A kestrel.drv with one byte changed: the driver fails its own check, the loader has it
// generated again, and no call runs into the instruction budget.
TEST_F(Reliability, ADamagedDriverIsGeneratedAgain)
{
    ASSERT_EQ(run("", "click 2\n").status, 0);
    const std::string fresh = readFile(home() / "kestrel.drv");
    ASSERT_GT(fresh.size(), 2000u);
    const size_t places[] = {700, fresh.size() / 2, fresh.size() - 40, 430};
    for (size_t at : places) {
        SCOPED_TRACE("byte " + std::to_string(at));
        std::string damaged = fresh;
        damaged[at] = char(damaged[at] ^ 0x5A);
        std::ofstream(home() / "kestrel.drv", std::ios::binary) << damaged;
        fs::remove_all(work / "shots");
        const harness::Exit r = run("--shots shots --vbe-log vbe.log", "click 2\n");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(showedMainDialog(work / "shots"));
        EXPECT_TRUE(readFile(home() / "kestrel.drv") == fresh);
        EXPECT_EQ(readFile(work / "vbe.log").find("no return"), std::string::npos);
    }
}

// A driver file that cannot be used says on stderr which file, why, and what to do, beside
// the message box; deleting it as told makes the next start work.
TEST_F(Reliability, AFatalStartNamesTheDriverFileAndWhatToDo)
{
    ASSERT_EQ(run("", "click 2\n").status, 0);
    const std::string fresh = readFile(home() / "kestrel.drv");
    std::string older = fresh;
    older[604] = '4';
    std::string random(fresh.size(), '\0');
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = char((i * 2654435761u) >> 13);
    struct Case {
        const char* what;
        std::string file;
        const char* status;
    };
    const Case cases[] = {
        {"truncated", fresh.substr(0, 300), "KESTREL.DRV is not a valid driver file!"},
        {"zeroed", std::string(fresh.size(), '\0'), "KESTREL.DRV is not a valid driver file!"},
        {"random", random, "KESTREL.DRV is not a valid driver file!"},
        {"older", older, "KESTREL.DRV driver file is older version!"},
    };
    const std::string windowsPath = "Z:" + home().string() + "/kestrel.drv";
    std::string expectedPath;
    for (char c : windowsPath)
        expectedPath.push_back(c == '/' ? '\\' : c);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(home() / "kestrel.drv", std::ios::binary) << c.file;
        const harness::Exit r = run("", "click 2\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("KestrelLib: " + std::string(c.status) + " (driver file " + expectedPath +
                             "): delete the file to have it generated again\n"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("Fatal Error!: Fatal error installing KestrelLib!"), std::string::npos);
        fs::remove(home() / "kestrel.drv");
        EXPECT_EQ(run("", "click 2\n").status, 0) << "deleted as told, the driver is generated again";
    }
}

// A write that fails is said in one line naming the file, the run's status is 2, nothing is
// announced that was not written and no part of a file is left.
TEST_F(Reliability, WritesThatFailAreReportedAndLeaveNoPartialFile)
{
    ASSERT_EQ(run("", "click 2\n").status, 0);  // the driver is there before the disk "fills"
    struct Case {
        const char* what;
        std::string arguments;
        uint64_t fileSizeLimit;
        const char* names;
    };
    const Case cases[] = {
        {"VBE log on a full device", "--vbe-log /dev/full", 0, "cannot write the VBE log /dev/full: "},
        {"VBE log on a full disk", "--vbe-log vbe.log", 2000, "cannot write the VBE log vbe.log: "},
        {"pictures on a full disk", "--shots shots", 1000, "cannot write shots/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(work / "shots");
        harness::Launch launch;
        launch.fileSizeLimit = c.fileSizeLimit;
        const harness::Exit r = run(c.arguments, "click 113\nclick 1\nclick 2\n", launch);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find(c.names), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("pictures of the run"), std::string::npos) << r.out;
        EXPECT_FALSE(fs::exists(work / "vbe.log"));
        if (fs::exists(work / "shots"))
            for (const auto& entry : fs::directory_iterator(work / "shots")) {
                ASSERT_EQ(entry.path().extension(), ".png") << "no index page of pictures not written";
                std::string error;
                harness::readPng(entry.path().string(), error);
                EXPECT_EQ(error, "") << entry.path() << " is only part of a picture";
            }
    }
}

// The program's folder has blanks in its path: the generator is still found and installs
// Kestrel, so the BIOS without VBE gets one.
TEST_F(Reliability, AProgramFolderWithBlanksStillInstallsTheDriver)
{
    install(work / "My Builds" / "palisade 6");
    const harness::Exit r = run("--machine novbe --shots shots", "shot main\nclick 2\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(home("novbe") / "kestrel.drv"));
    EXPECT_TRUE(showedMainDialog(work / "shots")) << readFile(work / "shots" / "index.html");
}

// Beside an executable folder so long that the program's paths would be cut, two machine
// files still get program folders of their own: in the state folder, whole.
TEST_F(Reliability, LongExecutableFoldersNeverShareAProgramFolder)
{
    fs::path deep = work;
    while (deep.string().size() < 225)
        deep /= "long-folder-name";
    install(deep);
    std::ofstream(work / "small.machine") << "video_memory = 1M\n";
    std::ofstream(work / "large.machine") << "video_memory = 8M\n";
    for (const char* machine : {"small.machine", "large.machine"}) {
        const harness::Exit r = run(std::string("--machine ") + machine, "click 2\n");
        EXPECT_EQ(r.status, 0) << machine << ": " << r.err;
    }
    std::vector<std::string> memory;
    for (const auto& entry : fs::directory_iterator(work / "state" / "palisade" / "machines"))
        memory.push_back(readFile(entry.path() / "KSCONFIG.DAT"));
    ASSERT_EQ(memory.size(), 2u);
    EXPECT_NE(memory[0], memory[1]);
    EXPECT_FALSE(fs::exists(deep / "machines"));
}

// KSWIN.EXE is missing beside the program: one planted in the current folder never runs.
TEST_F(Reliability, AGeneratorPlantedInTheCurrentFolderNeverRuns)
{
    install(work / "bin", false);
    std::ofstream(work / "KSWIN.EXE") << "#!/bin/sh\ntouch planted-ran\n";
    fs::permissions(work / "KSWIN.EXE", fs::perms::owner_all);
    const harness::Exit r = run("", "click 2\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(work / "planted-ran"));
}

// Bad input of every kind stops the run in one line with status 2, before anything is made:
// no program folder, no shots folder, no log, nothing written through a planted link.
TEST_F(Reliability, BadInputIsRefusedBeforeAnythingIsMade)
{
    fs::create_directories(work / "a-folder");
    mkfifo((work / "rom.fifo").c_str(), 0600);
    std::ofstream(work / "bad.rom") << std::string(4096, 'x');
    std::ofstream(work / "elsewhere.txt") << "keep me";
    struct Case {
        const char* what;
        std::string arguments;
        std::string script;
        std::string machineFile;
        const char* says;
    };
    const Case cases[] = {
        {"shot named like a wait's picture", "", "shot 0001\nclick 2\n", "", "input.txt:1: shot 0001: names of digits"},
        {"two shots of one name", "", "shot a\nclick 113\nsnap 5 a\nclick 1\n", "", "input.txt:3: snap a: that name"},
        {"script is a folder", "--script a-folder", "", "", "cannot read the script a-folder: it is a folder"},
        {"key given twice", "", "click 2\n", "video_memory = 1M\nrefresh = 60\nvideo_memory = 2M\n",
         "line 3: 'video_memory' is given twice"},
        {"ROM is a FIFO", "", "click 2\n", "rom = rom.fifo\n", "is not a regular file"},
        {"ROM is a folder", "", "click 2\n", "rom = a-folder\n", "is not a regular file"},
        {"impossible instruction budget", "", "click 2\n", "instruction_budget = 4000000000\n",
         "'instruction_budget' must be 1000 to 100000000"},
        {"ROM rejected when read", "", "click 2\n", "rom = bad.rom\n", "is not a ROM image"},
        {"shots folder holds a planted link", "--shots planted", "click 2\n", "",
         "the --shots folder planted is not empty"},
    };
    fs::create_directories(work / "planted");
    fs::create_symlink(work / "elsewhere.txt", work / "planted" / "0001.png");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string arguments = c.arguments + " --shots shots --vbe-log vbe.log";
        if (c.arguments.rfind("--shots", 0) == 0)
            arguments = c.arguments;
        if (!c.machineFile.empty()) {
            std::ofstream(work / "my.machine") << c.machineFile;
            arguments += " --machine my.machine";
        }
        harness::Launch launch;
        launch.limit = std::chrono::seconds(60);
        const harness::Exit r = run(arguments, c.script, launch);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_FALSE(fs::exists(work / "bin" / "machines"));
        EXPECT_FALSE(fs::exists(work / "shots"));
        EXPECT_FALSE(fs::exists(work / "vbe.log"));
    }
    EXPECT_EQ(readFile(work / "elsewhere.txt"), "keep me");
}

// Something in the program's folder where the program keeps its own things is reported, not
// worked around: a folder named palisade; and temporaries a killed generator left behind are
// removed by the next generation.
TEST_F(Reliability, TheProgramFolderIsKeptClean)
{
    fs::create_directories(home() / "palisade");
    const harness::Exit blocked = run("", "click 2\n");
    EXPECT_EQ(blocked.status, 2);
    EXPECT_NE(blocked.err.find((home() / "palisade").string() + " is a folder"), std::string::npos) << blocked.err;
    EXPECT_EQ(lines(blocked.err), 1) << blocked.err;
    EXPECT_FALSE(fs::exists(work / "state"));
    for (const auto& entry : fs::directory_iterator(home()))
        EXPECT_EQ(entry.path().filename().string().find(".new-"), std::string::npos) << entry.path();

    fs::remove(home() / "palisade");
    for (const char* stale : {".kestrel.drv.Ab3xYz", ".KSCONFIG.DAT.q1W2e3"})
        std::ofstream(home() / stale) << "half";
    const harness::Exit r = run("", "click 2\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(home() / "kestrel.drv"));
    for (const auto& entry : fs::directory_iterator(home()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

// Each distinct picture is encoded once: a named shot and the wait's picture, or a screen that
// comes back, are one file under several names. Without --shots no picture is written at all.
TEST_F(Reliability, EachDistinctPictureIsEncodedOnceAndOnlyIntoTheShotsFolder)
{
    // A key the main dialog ignores shows the same screen at the next wait.
    const std::string script = "shot main\nkey z\nshot again\nclick 113\nshot info\nclick 1\nclick 2\n";
    const harness::Exit r = run("--shots shots", script);
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path shots = work / "shots";
    EXPECT_TRUE(fs::equivalent(shots / "main.png", shots / "0001.png"));
    EXPECT_TRUE(fs::equivalent(shots / "again.png", shots / "0002.png"));
    EXPECT_TRUE(fs::equivalent(shots / "again.png", shots / "0001.png")) << "the same screen again";
    EXPECT_TRUE(fs::equivalent(shots / "info.png", shots / "0003.png"));
    EXPECT_FALSE(fs::equivalent(shots / "main.png", shots / "info.png"));

    const harness::Exit none = run("", script);
    EXPECT_EQ(none.status, 0) << none.err;
    for (const auto& entry : fs::directory_iterator(work))
        EXPECT_NE(entry.path().extension(), ".png") << entry.path();
}

}  // namespace
