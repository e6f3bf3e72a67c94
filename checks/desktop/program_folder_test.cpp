// Each machine's program folder: its name, where it goes, and the links it holds.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <unistd.h>

#include "desktop/program_folder.h"

namespace fs = std::filesystem;

namespace {

class ProgramFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("palisade-folder-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "bin");
        std::ofstream(root / "bin" / "palisade") << "program";
        std::ofstream(root / "bin" / "KSWIN.EXE") << "generator";
        executable = root / "bin" / "palisade";
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
    fs::path executable;
};

TEST_F(ProgramFolder, MachineIdIsThePresetOrAReadableStemWithAHashOfThePath)
{
    EXPECT_EQ(desktop::machineId("plainvga", true), "plainvga");

    const fs::path file = root / "my card (v2).machine";
    std::ofstream(file) << "base = default\n";
    const std::string id = desktop::machineId(file.string(), false);
    EXPECT_EQ(id.rfind("my_card__v2_-", 0), 0u) << id;
    EXPECT_EQ(id.size(), std::string("my_card__v2_-").size() + 8) << id;
    EXPECT_EQ(id.find_first_of("/ ()"), std::string::npos) << id;

    // The same file by another path is the same machine; a file of the same name elsewhere is not.
    const fs::path saved = fs::current_path();
    fs::current_path(root / "bin");
    EXPECT_EQ(desktop::machineId("../my card (v2).machine", false), id);
    fs::current_path(saved);
    fs::create_directories(root / "other");
    std::ofstream(root / "other" / "my card (v2).machine") << "base = default\n";
    EXPECT_NE(desktop::machineId((root / "other" / "my card (v2).machine").string(), false), id);

    const std::string longId = desktop::machineId((root / (std::string(100, 'x') + ".m")).string(), false);
    EXPECT_LE(longId.size(), 32u + 1 + 8) << longId;
    EXPECT_EQ(desktop::machineId((root / ".hidden").string(), false).rfind("machine.hidden-", 0), 0u);
}

TEST_F(ProgramFolder, HoldsLinksToTheProgramAndItsGenerator)
{
    const fs::path program = desktop::prepareProgramFolder(executable, "default", {root / "bin"});
    EXPECT_EQ(program, root / "bin" / "machines" / "default" / "palisade");
    EXPECT_EQ(fs::read_symlink(program), executable);
    EXPECT_EQ(fs::read_symlink(program.parent_path() / "KSWIN.EXE"), root / "bin" / "KSWIN.EXE");

    // What the generator left there stays; links that point elsewhere are put right.
    std::ofstream(program.parent_path() / "kestrel.drv") << "driver";
    fs::remove(program.parent_path() / "KSWIN.EXE");
    fs::create_symlink(root / "gone" / "KSWIN.EXE", program.parent_path() / "KSWIN.EXE");
    EXPECT_EQ(desktop::prepareProgramFolder(executable, "default", {root / "bin"}), program);
    EXPECT_EQ(fs::read_symlink(program.parent_path() / "KSWIN.EXE"), root / "bin" / "KSWIN.EXE");
    EXPECT_TRUE(fs::exists(program.parent_path() / "kestrel.drv"));
    EXPECT_EQ(std::distance(fs::directory_iterator(program.parent_path()), fs::directory_iterator()), 3);

    // Without a generator beside the program, none is linked: the loader goes on without it.
    fs::remove(root / "bin" / "KSWIN.EXE");
    desktop::prepareProgramFolder(executable, "default", {root / "bin"});
    EXPECT_FALSE(fs::is_symlink(program.parent_path() / "KSWIN.EXE"));
}

TEST_F(ProgramFolder, FallsBackToTheNextBaseAndFailsInOneLineWhenNoneWill)
{
    // A file where the machines folder would go: nothing can be made under it.
    std::ofstream(root / "blocked") << "";
    const fs::path program = desktop::prepareProgramFolder(executable, "lowmem", {root / "blocked", root / "state"});
    EXPECT_EQ(program, root / "state" / "machines" / "lowmem" / "palisade");
    EXPECT_EQ(fs::read_symlink(program), executable);

    try {
        desktop::prepareProgramFolder(executable, "lowmem", {root / "blocked", fs::path()});
        ADD_FAILURE() << "no base, yet a folder";
    } catch (const desktop::ProgramFolderError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("program folder of machine lowmem"), std::string::npos) << message;
        EXPECT_NE(message.find((root / "blocked").string()), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

TEST_F(ProgramFolder, StateFolderFollowsXdgStateHomeThenHome)
{
    struct Case {
        const char* state;
        const char* home;
        fs::path expected;
    };
    const Case cases[] = {
        {"/var/state", "/home/me", "/var/state/palisade"},
        {nullptr, "/home/me", "/home/me/.local/state/palisade"},
        {"relative/state", "/home/me", "/home/me/.local/state/palisade"},
        {nullptr, nullptr, fs::path()},
    };
    const char* savedState = std::getenv("XDG_STATE_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string state = savedState ? savedState : "", home = savedHome ? savedHome : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.string());
        c.state ? setenv("XDG_STATE_HOME", c.state, 1) : unsetenv("XDG_STATE_HOME");
        c.home ? setenv("HOME", c.home, 1) : unsetenv("HOME");
        EXPECT_EQ(desktop::stateFolder(), c.expected);
    }
    savedState ? setenv("XDG_STATE_HOME", state.c_str(), 1) : unsetenv("XDG_STATE_HOME");
    savedHome ? setenv("HOME", home.c_str(), 1) : unsetenv("HOME");
}

}  // namespace
