// The command line's forms and refusals, the help pages' width, and the rules for output files.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "desktop/command_line.h"
#include "desktop/help_text.h"
#include "desktop/output_files.h"

namespace fs = std::filesystem;

namespace {

desktop::Options parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "palisade");
    return desktop::parseCommandLine(int(args.size()), args.data());
}

std::string refusal(std::vector<const char*> args)
{
    try {
        parse(std::move(args));
    } catch (const desktop::UsageError& error) {
        return error.what();
    }
    return "accepted";
}

TEST(CommandLine, TakesValuesAfterAnEqualsSignAndEndsOptionsAtDoubleDash)
{
    const desktop::Options o =
        parse({"--machine=cirrus", "--headless", "--script=a=b.txt", "--io-log", "--weird", "--"});
    EXPECT_EQ(o.machine, "cirrus");
    EXPECT_EQ(o.scriptPath, "a=b.txt");  // only the first '=' splits
    EXPECT_EQ(o.ioLogPath, "--weird");   // a value may look like an option
    const desktop::Options rom = parse({"--rom", "my.rom", "--card=cirrus", "--no-kestrel"});
    EXPECT_EQ(desktop::machineName(rom), "cirrus");
    EXPECT_EQ(rom.romPath, "my.rom");
    EXPECT_TRUE(rom.noKestrel);
    EXPECT_EQ(desktop::machineName(parse({"--card", "stdvga"})), "default");
}

TEST(CommandLine, RefusesWhatItWouldNotHonourInOneLine)
{
    struct Case {
        std::vector<const char*> args;
        const char* says;
    };
    const Case cases[] = {
        {{"--io-log", "a", "--io-log", "b"}, "--io-log is given twice"},
        {{"--headless=yes", "--script", "s"}, "--headless takes no value"},
        {{"--shots="}, "--shots needs a value, not an empty one"},
        {{"extra"}, "no arguments besides its options, not \"extra\""},
        {{"--", "--headless"}, "not \"--headless\""},
        {{"--conformance", "--vbe-log", "v"}, "does not take --vbe-log"},
        {{"--conformance", "--verdict", "--headless", "--script", "s"}, "does not take --verdict"},
        {{"--conformance", "--desktop", "800x600"}, "does not take --desktop"},
        {{"--list-machines", "--machine", "cirrus"}, "--list-machines only lists"},
        {{"--card", "cirrus", "--machine", "default"}, "--card and --machine both choose"},
        {{"--card", "s3"}, "--card takes stdvga"},
        {{"--verdict"}, "--verdict needs --headless"},
    };
    for (const Case& c : cases) {
        const std::string said = refusal(c.args);
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        EXPECT_EQ(said.find('\n'), std::string::npos) << said;
    }
    // The conformance table takes the machine options and the outputs it writes.
    EXPECT_NO_THROW(parse({"--conformance", "--rom", "r", "--card", "cirrus", "--no-kestrel", "--shots", "d",
                           "--io-log", "io"}));
}

TEST(HelpPages, FitEightyColumnsAndNameEveryOptionAndKey)
{
    for (const std::string& page : {desktop::helpText(), desktop::machineFileHelpText()}) {
        std::istringstream lines(page);
        for (std::string line; std::getline(lines, line);)
            EXPECT_LE(line.size(), 80u) << line;
    }
    const std::string help = desktop::helpText();
    for (const char* option : {"--rom", "--card", "--no-kestrel", "--help-machine-file", "--conformance", "--verdict",
                               "--io-log", "--vbe-log", "--shots", "--opt=VALUE", "-- ends"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    const std::string keys = desktop::machineFileHelpText();
    for (const char* key : {"base =", "rom =", "card =", "dispi =", "video_memory =", "accel =", "dac8 =",
                            "conventional_memory =", "refresh =", "resident =", "kestrel =", "card_fault =",
                            "svga_screen_off =", "lfb =", "instruction_budget =", "description ="})
        EXPECT_NE(keys.find(key), std::string::npos) << key;
}

// The manual page and the bash completion, installed beside the program, know every option.
TEST(HelpPages, TheManualPageAndCompletionNameEveryOption)
{
    auto read = [](const char* name) {
        std::ifstream file(std::string(PALISADE_SOURCE_DIR) + "/main/share/" + name);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    const std::string manual = read("palisade.1");
    const std::string completion = read("palisade.bash-completion");
    for (const char* option : {"machine", "card", "rom", "no-kestrel", "list-machines", "headless", "script",
                               "windows-version", "desktop", "shots", "vbe-log", "io-log", "verdict", "conformance",
                               "help", "help-machine-file", "version"}) {
        EXPECT_NE(manual.find(std::string("\\-\\-") + std::regex_replace(option, std::regex("-"), "\\-")),
                  std::string::npos)
            << option;
        EXPECT_NE(completion.find(std::string("--") + option), std::string::npos) << option;
    }
}

class OutputFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("palisade-outputs-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "sub");
        std::ofstream(dir / "input.txt") << "click 2\n";
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string at(const std::string& name) const { return (dir / name).string(); }
    fs::path dir;
};

TEST_F(OutputFiles, TwoNamesOfOneFileAreRefused)
{
    using Kind = desktop::NamedPath::Kind;
    fs::create_symlink(dir / "sub", dir / "alias");
    struct Case {
        std::vector<desktop::NamedPath> paths;
        const char* says;  // "" when accepted
    };
    const Case cases[] = {
        {{{Kind::OutputFile, "--io-log", at("a.log")}, {Kind::OutputFile, "--vbe-log", at("sub/../a.log")}},
         "name the same file"},
        {{{Kind::OutputFile, "--io-log", at("sub/x.log")}, {Kind::OutputFile, "--vbe-log", at("alias/x.log")}},
         "name the same file"},
        {{{Kind::Input, "--script", at("input.txt")}, {Kind::OutputFile, "--io-log", at("sub/../input.txt")}},
         "which the run reads"},
        {{{Kind::OutputFolder, "--shots", at("pics")}, {Kind::OutputFile, "--io-log", at("pics/io.log")}},
         "lies in the folder of --shots"},
        {{{Kind::OutputFile, "--io-log", at("io.log")}, {Kind::OutputFile, "--vbe-log", at("vbe.log")},
          {Kind::OutputFolder, "--shots", at("pics")}, {Kind::Input, "--script", at("input.txt")}},
         ""},
    };
    for (const Case& c : cases) {
        std::string said;
        try {
            desktop::checkNamedPaths(c.paths);
        } catch (const desktop::UsageError& error) {
            said = error.what();
        }
        if (*c.says == '\0')
            EXPECT_EQ(said, "");
        else
            EXPECT_NE(said.find(c.says), std::string::npos) << c.says << ": " << said;
    }
}

TEST_F(OutputFiles, AreCreatedWithoutFollowingLinksOrWritingThroughOtherNames)
{
    std::ofstream(dir / "victim") << "keep";
    fs::create_symlink(dir / "victim", dir / "planted");
    fs::create_hard_link(dir / "victim", dir / "hard");
    ASSERT_EQ(mkfifo(at("fifo").c_str(), 0600), 0);
    struct Case {
        const char* name;
        const char* says;
    };
    for (const Case c : {Case{"planted", "it is a link"}, Case{"hard", "other hard links"},
                         Case{"fifo", "not a plain file"}, Case{"sub", "Is a directory"},
                         Case{"nowhere/io.log", "No such file or directory"}}) {
        try {
            std::fclose(desktop::createOutputFile(at(c.name), "io log"));
            ADD_FAILURE() << c.name << " was written";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).rfind("cannot write the io log ", 0), 0u) << error.what();
        }
    }
    std::ifstream victim(dir / "victim");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "keep");

    // A plain file of its own is written from its start.
    std::ofstream(dir / "old.log") << "a long line from an earlier run\n";
    std::FILE* log = desktop::createOutputFile(at("old.log"), "io log");
    std::fputs("new\n", log);
    std::fclose(log);
    EXPECT_EQ(fs::file_size(dir / "old.log"), 4u);
}

TEST_F(OutputFiles, AFolderToFillIsNewOrEmptyAndNotALink)
{
    fs::create_directories(dir / "empty");
    fs::create_symlink(dir / "empty", dir / "link");
    std::ofstream(dir / "sub" / "kept.png") << "x";
    struct Case {
        const char* name;
        const char* says;  // "" when accepted
    };
    for (const Case c : {Case{"new", ""}, Case{"empty", ""}, Case{"sub", "is not empty"}, Case{"link", "is a link"},
                         Case{"input.txt", "is not a folder"}}) {
        std::string said;
        try {
            desktop::checkOutputFolder("--shots", at(c.name));
        } catch (const desktop::UsageError& error) {
            said = error.what();
        }
        if (*c.says == '\0')
            EXPECT_EQ(said, "") << c.name;
        else
            EXPECT_NE(said.find(c.says), std::string::npos) << c.name << ": " << said;
    }
    desktop::makeOutputFolder(at("new"));
    desktop::makeOutputFolder(at("empty"));
    EXPECT_TRUE(fs::is_directory(dir / "new"));
    EXPECT_THROW(desktop::makeOutputFolder(at("sub")), std::runtime_error);
    EXPECT_THROW(desktop::makeOutputFolder(at("no/such/parent")), std::runtime_error);
}

}  // namespace
