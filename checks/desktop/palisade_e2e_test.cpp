// The palisade executable, run headless: exit statuses, messages, pictures and logs.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
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
        work = harness::checkFolder("palisade-e2e");
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
        {"one file for two logs", "--headless --io-log same.log --vbe-log ./same.log", "key Esc\n", {},
         "--io-log same.log and --vbe-log ./same.log name the same file"},
        {"missing machine file", "--headless --machine gone.machine", "key Esc\n", {},
         "palisade: machine: gone.machine: no such file"},
        {"binary machine file", "--headless --machine input.txt.png", "key Esc\n", {}, "is not a machine file"},
        {"bad machine, no display", "--machine no-such-pc", "", {"DISPLAY", "WAYLAND_DISPLAY"},
         "palisade: machine: unknown machine 'no-such-pc'"},
        {"rom that is no ROM", "--headless --rom input.txt", "key Esc\n", {}, "is not a ROM image"},
        {"conformance with a script", "--conformance --script input.txt", "", {}, "does not take --script"},
    };
    {
        std::ofstream binary(work / "input.txt.png", std::ios::binary);
        binary << std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome r = run(c.arguments, c.script, c.unsetEnvironment);
        EXPECT_EQ(r.err.rfind("palisade: ", 0), 0u) << r.err;
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(fs::exists(work / "start.png"));
        EXPECT_FALSE(fs::exists(work / "kestrel.drv"));
        EXPECT_FALSE(fs::exists(work / "same.log"));
    }
}

// A link planted where an output goes is refused, and what it points at stays as it was.
TEST_F(Palisade, OutputsNeverFollowAPlantedLink)
{
    std::ofstream(work / "precious") << "keep";
    fs::create_symlink(work / "precious", work / "planted");
    fs::create_directories(work / "full");
    std::ofstream(work / "full" / "conformance.html") << "keep";
    struct Case {
        const char* arguments;
        const char* says;
    };
    for (const Case c : {Case{"--headless --io-log planted", "cannot write the io log planted: it is a link"},
                         Case{"--headless --vbe-log planted", "cannot write the VBE log planted: it is a link"},
                         Case{"--conformance --io-log planted", "cannot write the io log planted: it is a link"},
                         Case{"--conformance --shots full", "the --shots folder full is not empty"}}) {
        SCOPED_TRACE(c.arguments);
        const bool conformance = std::string(c.arguments).find("--conformance") != std::string::npos;
        const Outcome r = run(c.arguments, conformance ? "" : "click 2\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(readFile((work / "precious").string()), "keep");
        EXPECT_EQ(readFile((work / "full" / "conformance.html").string()), "keep");
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
    // One column of descriptions, however long a preset's name.
    std::istringstream lines(list.out);
    std::set<size_t> columns;
    for (std::string line; std::getline(lines, line);)
        columns.insert(line.find_first_not_of(' ', line.find(' ')));
    EXPECT_EQ(columns.size(), 1u) << list.out;
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
    EXPECT_LT(log.find("\nSEQ[04] write "), programStarts);
    EXPECT_NE(log.find("\nDISPI ", programStarts), std::string::npos);
}

// A ROM whose start-up never ends leaves the log that shows why: its last accesses, as they
// came, folded into one line.
TEST_F(Palisade, AStartUpThatFailsLeavesItsIoLog)
{
    // mov dx, 3C4h; mov al, 7; again: out dx, al; jmp again
    std::string rom(512, '\0');
    const unsigned char start[] = {0x55, 0xAA, 0x01, 0xBA, 0xC4, 0x03, 0xB0, 0x07, 0xEE, 0xEB, 0xFD};
    std::copy(std::begin(start), std::end(start), rom.begin());
    unsigned char sum = 0;
    for (char c : rom)
        sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
    rom.back() = static_cast<char>(-sum);
    std::ofstream(work / "loop.rom", std::ios::binary) << rom;
    std::ofstream(work / "loop.machine") << "rom = loop.rom\ninstruction_budget = 200000\n";

    const Outcome r = run("--headless --machine loop.machine --io-log io.log", "click 2\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("palisade: machine: video BIOS"), std::string::npos) << r.err;
    EXPECT_EQ(readFile((work / "io.log").string()),
              "# power-on: the video BIOS starts the card\nSEQ index 07 (x99999)\n");
}

// The demo's io log: registers by name, each int 10h call marked where it enters and returns
// with the line of the VBE log that tells it, polling folded; small enough to read.
TEST_F(Palisade, TheDemosIoLogIsNamedMarkedAndSmall)
{
    std::ifstream demo(std::string(PALISADE_SOURCE_DIR) + "/scripts/demo.script");
    const std::string script((std::istreambuf_iterator<char>(demo)), std::istreambuf_iterator<char>());
    const Outcome r = run("--headless --io-log io.log --vbe-log vbe.log", script);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_LT(fs::file_size(work / "io.log"), 3u << 20);
    const std::string log = readFile((work / "io.log").string());
    for (const char* named : {"\nDISPI ENABLE write 0041\n", "\nSEQ[04] write ", "\nSTATUS1 read x"})
        EXPECT_NE(log.find(named), std::string::npos) << named;
    std::vector<std::string> vbe;
    std::istringstream vbeLines(readFile((work / "vbe.log").string()));
    for (std::string line; std::getline(vbeLines, line);)
        vbe.push_back(line);
    // Every call the VBE log tells enters and returns in the io log under its line number.
    size_t marked = 0;
    for (size_t at = log.find("# INT 10 enters: AX=4F02"); at != std::string::npos;
         at = log.find("# INT 10 enters: AX=4F02", at + 1)) {
        const size_t number = log.find("(vbe-log line ", at);
        const size_t line = std::stoul(log.substr(number + 14));
        ASSERT_LE(line, vbe.size());
        EXPECT_EQ(vbe[line - 1].rfind("INT 10 in AX=4F02", 0), 0u) << vbe[line - 1];
        EXPECT_NE(log.find("# INT 10 returns: AX=004F", number), std::string::npos);
        ++marked;
    }
    EXPECT_GE(marked, 2u);  // the demo sets an 8-bit mode and a 32-bit mode
}

// The conformance table's own calls, row by row, on the BIOS alone and with Kestrel over it.
TEST_F(Palisade, ConformanceWritesItsIoLog)
{
    const Outcome r = run("--conformance --io-log io.log");
    EXPECT_TRUE(r.status == 0 || r.status == 1) << r.err;
    const std::string log = readFile((work / "io.log").string());
    const size_t bios = log.find("# the BIOS alone: row \"");
    const size_t kestrel = log.find("# Kestrel over the BIOS: row \"");
    ASSERT_NE(bios, std::string::npos);
    ASSERT_NE(kestrel, std::string::npos);
    EXPECT_LT(bios, kestrel);
    EXPECT_NE(log.find("\nDISPI ENABLE write ", bios), std::string::npos);
}

// A BIOS test in one command: another ROM on the default card or the GD5446, with or without
// Kestrel; each ROM gets a program folder, and so a driver, of its own.
TEST_F(Palisade, RunsAnotherRomOnEitherCard)
{
    const fs::path built = harness::palisadeBinary();
    const fs::path bin = work / "bin";
    fs::create_directories(bin);
    fs::copy_file(built, bin / "palisade");
    fs::copy_file(built.parent_path() / "KSWIN.EXE", bin / "KSWIN.EXE");
    program = (bin / "palisade").string();
    struct Case {
        const char* arguments;
        bool driverGenerated;
    };
    for (const Case c : {Case{"--rom /usr/share/seabios/vgabios-stdvga.bin", true},
                         Case{"--rom /usr/share/seabios/vgabios-cirrus.bin --card cirrus", true},
                         Case{"--rom /usr/share/vgabios/vgabios-stdvga.bin --no-kestrel", false}}) {
        SCOPED_TRACE(c.arguments);
        fs::remove_all(bin / "machines");
        const Outcome r = run(std::string("--headless --shots pictures ") + c.arguments, "shot main\nclick 2\n");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::exists(work / "pictures" / "main.png"));
        fs::remove_all(work / "pictures");
        std::vector<fs::path> folders;
        for (const auto& entry : fs::directory_iterator(bin / "machines"))
            folders.push_back(entry.path());
        ASSERT_EQ(folders.size(), 1u);
        EXPECT_NE(folders[0].filename().string().find("-vgabios-"), std::string::npos) << folders[0];
        EXPECT_EQ(fs::exists(folders[0] / "kestrel.drv"), c.driverGenerated);
    }
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

// The loader starts KSWIN.EXE with the program folder on its command line: every folder name a
// user can make reaches it whole. On novbe the program sees VBE only through the driver
// generated there.
TEST_F(Palisade, GeneratesItsDriverAndRunsInFoldersWithHostileNames)
{
    const fs::path built = harness::palisadeBinary();
    for (const char* name : {"two  blanks", "tab\there", "quote\"d", "back\\slash", "a -p b", "caf\xC3\xA9"}) {
        SCOPED_TRACE(name);
        const fs::path bin = work / name;
        fs::create_directories(bin);
        fs::copy_file(built, bin / "palisade");
        fs::copy_file(built.parent_path() / "KSWIN.EXE", bin / "KSWIN.EXE");
        program = (bin / "palisade").string();
        const Outcome r = run("--headless --machine novbe --shots pictures", "shot main\nclick 2\n");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(fs::exists(work / "pictures" / "main.png")) << "the main dialog, not \"No VESA VBE detected\"";
        EXPECT_TRUE(fs::exists(bin / "machines" / "novbe" / "kestrel.drv"));
        fs::remove_all(bin);
        fs::remove_all(work / "pictures");
    }
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
