// kernel32 over host files and processes, with Windows paths at the boundary.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <unistd.h>

#include "desktop/session.h"
#include "desktop/windows_command_line.h"
#include "desktop/winpath.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {

class Kernel32 : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("palisade-k32-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        // The program's own folder, where a bare program name is looked for.
        desktop::session().setProgramPath((folder / "palisade").string());
    }
    void TearDown() override
    {
        desktop::session().reset();
        fs::remove_all(folder);
    }
    std::string windows(const std::string& name) const { return winpath::fromHost((folder / name).string()); }
    void write(const std::string& name, const std::string& text, bool executable = false) const
    {
        std::ofstream(folder / name) << text;
        if (executable)
            fs::permissions(folder / name, fs::perms::owner_all);
    }
    fs::path folder;
};

TEST_F(Kernel32, ModuleFileNameIsTheExecutableAsADrivePath)
{
    desktop::session().reset();
    char path[260];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string expected = winpath::fromHost(fs::read_symlink("/proc/self/exe").string());
    EXPECT_EQ(std::string(path), expected);
    EXPECT_EQ(length, expected.size());
    EXPECT_EQ(expected.rfind("Z:\\", 0), 0u);
    EXPECT_EQ(expected.find('/'), std::string::npos);

    char small[4];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 4u);  // cut, as Windows does
    EXPECT_STREQ(small, "Z:\\");

    // A run with a program folder of its machine names the program there.
    desktop::session().setProgramPath("/pc/machines/plainvga/palisade");
    EXPECT_EQ(GetModuleFileNameA(nullptr, path, sizeof path), 32u);
    EXPECT_STREQ(path, "Z:\\pc\\machines\\plainvga\\palisade");
    desktop::session().reset();
    GetModuleFileNameA(nullptr, path, sizeof path);
    EXPECT_EQ(std::string(path), expected);
}

TEST_F(Kernel32, VersionIsFourUnlessTheRunAsksForThreeOne)
{
    desktop::session().reset();
    EXPECT_EQ(GetVersion() & 0xFFFF, 0x0004u);
    desktop::session().setVersion(3, 10);
    EXPECT_EQ(GetVersion() & 0xFF, 3u);
    EXPECT_EQ((GetVersion() >> 8) & 0xFF, 10u);
    desktop::session().reset();
}

TEST_F(Kernel32, FilesAreReadSoughtAndDeletedThroughWindowsPaths)
{
    write("KESTREL.DRV", "0123456789");
    const std::string path = windows("KESTREL.DRV");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), 10u);
    EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
    char buffer[16] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 6u);
    EXPECT_STREQ(buffer, "456789");
    EXPECT_TRUE(ReadFile(file, buffer, 4, &read, nullptr));  // at the end: success, nothing read
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_FALSE(ReadFile(file, buffer, 4, &read, nullptr));

    EXPECT_EQ(GetFileAttributesA(path.c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA(winpath::fromHost(folder.string()).c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(DeleteFileA(winpath::fromHost(folder.string()).c_str()));
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("C:\\AUTOEXEC.BAT", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST_F(Kernel32, ChildProcessesGetTheCommandLineSplitOnBlanksAndReportTheirExitCode)
{
    // The child exits with its argument count and leaves its arguments and folder behind.
    write("KSWIN.EXE", "#!/bin/sh\nprintf '%s|' \"$@\" > args.txt\npwd > where.txt\nexit $#\n", true);
    write("plain.txt", "not a program");
    fs::current_path(folder);
    struct Case {
        const char* what;
        std::string application;
        std::string commandLine;
        bool starts;
        DWORD exitCode;
        std::string args;
    };
    const std::string tool = windows("KSWIN.EXE");
    const Case cases[] = {
        {"the first word is the program", "", tool + " -gen -p.\\", true, 2, "-gen|-p.\\|"},
        {"a bare name, in the program's own folder", "", "KSWIN.EXE -gen -p.\\ -noanalyse", true, 3,
         "-gen|-p.\\|-noanalyse|"},
        {"named application", tool, "KSWIN.EXE a", true, 1, "a|"},
        {"missing file", "", windows("NOPE.EXE") + " -gen", false, 0, ""},
        {"not a program", "", windows("plain.txt"), false, 0, ""},
        {"a folder", "", winpath::fromHost(folder.string()), false, 0, ""},
        {"another drive", "", "C:\\KSWIN.EXE", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(folder / "args.txt");
        std::string commandLine = c.commandLine;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessA(c.application.empty() ? nullptr : c.application.c_str(), commandLine.data(),
                                            nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
        ASSERT_EQ(started != FALSE, c.starts);
        if (!started)
            continue;
        EXPECT_EQ(WaitForSingleObject(process.hProcess, INFINITE), WAIT_OBJECT_0);
        DWORD exitCode = 99;
        EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &exitCode));
        EXPECT_EQ(exitCode, c.exitCode);
        EXPECT_TRUE(CloseHandle(process.hThread));
        EXPECT_TRUE(CloseHandle(process.hProcess));
        std::ifstream args(folder / "args.txt");
        std::string seen((std::istreambuf_iterator<char>(args)), std::istreambuf_iterator<char>());
        EXPECT_EQ(seen, c.args);
        std::ifstream where(folder / "where.txt");
        std::string folderSeen;
        std::getline(where, folderSeen);
        EXPECT_EQ(folderSeen, folder.string());  // the child inherits the current folder
    }
    fs::current_path(fs::temp_directory_path());
}

// A program whose path has blanks, on a command line that does not quote it: the first run of
// words that names a program is the program, as Windows reads it, with or without the
// application named apart.
TEST_F(Kernel32, AProgramPathWithBlanksIsFoundByItsWordsInTurn)
{
    fs::create_directories(folder / "My Builds" / "x y");
    std::ofstream(folder / "My Builds" / "x y" / "KSWIN.EXE")
        << "#!/bin/sh\nprintf '%s|' \"$@\" > " << folder.string() << "/args.txt\n";
    fs::permissions(folder / "My Builds" / "x y" / "KSWIN.EXE", fs::perms::owner_all);
    const std::string tool = windows("My Builds/x y/KSWIN.EXE");
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "application named" : "command line only");
        fs::remove(folder / "args.txt");
        std::string commandLine = tool + " -gen -p" + windows("My Builds") + "\\";
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessA(named ? tool.c_str() : nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                   nullptr, nullptr, nullptr, &process));
        ASSERT_EQ(WaitForSingleObject(process.hProcess, INFINITE), WAIT_OBJECT_0);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        std::ifstream args(folder / "args.txt");
        const std::string seen((std::istreambuf_iterator<char>(args)), std::istreambuf_iterator<char>());
        EXPECT_EQ(seen, "-gen|-p" + windows("My") + "|Builds\\|");
    }
}

// A program planted in the current folder never runs for a bare name: only the program's
// own folder counts.
TEST_F(Kernel32, ABareNameNeverRunsAProgramFromTheCurrentFolder)
{
    fs::create_directories(folder / "elsewhere");
    std::ofstream(folder / "elsewhere" / "KSWIN.EXE")
        << "#!/bin/sh\ntouch " << (folder / "planted-ran").string() << "\n";
    fs::permissions(folder / "elsewhere" / "KSWIN.EXE", fs::perms::owner_all);
    fs::current_path(folder / "elsewhere");
    std::string commandLine = "KSWIN.EXE -gen -p.\\";
    PROCESS_INFORMATION process{};
    for (const char* application : {static_cast<const char*>(nullptr), "KSWIN.EXE"})
        EXPECT_FALSE(CreateProcessA(application, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                    nullptr, &process));
    fs::current_path(fs::temp_directory_path());
    EXPECT_FALSE(fs::exists(folder / "planted-ran"));
}

TEST_F(Kernel32, ADirectoryWithBlanksReachesTheChildAsSeveralArguments)
{
    write("KSWIN.EXE", "#!/bin/sh\nexit $#\n", true);
    // The loader passes its folder unquoted: "-pZ:\...\Program Files\" arrives in two pieces.
    std::string commandLine = "KSWIN.EXE -gen -p" + windows("Program Files") + "\\";
    fs::current_path(folder);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(
        CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, nullptr, &process));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 3u);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    fs::current_path(fs::temp_directory_path());
}

// The text after the program's name, read as a Windows program's runtime reads it.
TEST(WindowsCommandLine, ArgumentsAreSplitByTheRulesOfCommandLineToArgvW)
{
    struct Case {
        const char* text;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {R"( -gen  -pZ:\a\ )", {"-gen", R"(-pZ:\a\)"}},
        {"a\tb", {"a", "b"}},
        {R"("-pZ:\two  blanks\\")", {R"(-pZ:\two  blanks\)"}},
        {R"(-p"Z:\x -p y\\" -noanalyse)", {R"(-pZ:\x -p y\)", "-noanalyse"}},
        {R"("a\"b" c)", {R"(a"b)", "c"}},
        {R"(a\\\"b)", {R"(a\"b)"}},
        {R"(a\\b\c)", {R"(a\\b\c)"}},
        {R"("a""b" "")", {R"(a"b)", ""}},
        {"\"tab\there\"", {"tab\there"}},
        {"\"open to the end", {"open to the end"}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(desktop::splitArguments(c.text), c.arguments) << c.text;

    std::string name;
    std::string_view rest;
    ASSERT_TRUE(desktop::programToken(R"("Z:\a  b\KSWIN.EXE" -gen)", name, rest));
    EXPECT_EQ(name, R"(Z:\a  b\KSWIN.EXE)");
    EXPECT_EQ(rest, " -gen");
    ASSERT_TRUE(desktop::programToken(R"(  Z:\a\KSWIN.EXE	-gen)", name, rest));
    EXPECT_EQ(name, R"(Z:\a\KSWIN.EXE)");
    EXPECT_FALSE(desktop::programToken(" \t", name, rest));
}

// Every folder name a user can make has a Windows path that leads back to it, and none holds
// a quote, so a quoted program name always ends where it should.
TEST(WindowsPaths, HostileFolderNamesGoThereAndBack)
{
    for (const char* host : {"/tmp/two  blanks/x", "/tmp/tab\there/x", "/tmp/quote\"d/x", "/tmp/back\\slash/x",
                             "/tmp/a -p b/x", "/tmp/caf\xC3\xA9/x", "/tmp/a:b*c?d<e>f|g/x"}) {
        const std::string windows = winpath::fromHost(host);
        EXPECT_EQ(winpath::toHost(windows), host) << windows;
        EXPECT_EQ(windows.find('"'), std::string::npos) << windows;
        EXPECT_EQ(std::count(windows.begin(), windows.end(), '\\'), 3) << windows;
    }
}

// A program in a folder with blanks, started by its quoted name, gets its arguments whole.
TEST_F(Kernel32, AQuotedProgramNameAndQuotedArgumentsReachTheChildWhole)
{
    fs::create_directories(folder / "two  blanks -p");
    const fs::path tool = folder / "two  blanks -p" / "KSWIN.EXE";
    std::ofstream(tool) << "#!/bin/sh\nprintf '%s|' \"$@\" > " << folder.string() << "/args.txt\n";
    fs::permissions(tool, fs::perms::owner_all);
    const std::string name = winpath::fromHost(tool.string());
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "application named" : "command line only");
        fs::remove(folder / "args.txt");
        std::string commandLine = "\"" + name + "\" -gen \"-pZ:\\a\tb  c\\\\\"";
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessA(named ? name.c_str() : nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                   nullptr, nullptr, nullptr, &process));
        ASSERT_EQ(WaitForSingleObject(process.hProcess, INFINITE), WAIT_OBJECT_0);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        std::ifstream args(folder / "args.txt");
        const std::string seen((std::istreambuf_iterator<char>(args)), std::istreambuf_iterator<char>());
        EXPECT_EQ(seen, "-gen|-pZ:\\a\tb  c\\|");
    }
}

TEST_F(Kernel32, WaitingOnSomethingThatIsNotAProcessFails)
{
    EXPECT_EQ(WaitForSingleObject(nullptr, INFINITE), WAIT_FAILED);
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeProcess(INVALID_HANDLE_VALUE, &code));
}

}  // namespace
