// A missing driver file: the directory and paths, the generator's candidates and command line,
// and the regeneration after a failed check entry.
#include <gtest/gtest.h>

#include <deque>

#include "checks/loader/loader_fixture.h"

namespace loader_checks {
namespace {

// A generator that writes the driver (and its configuration) where its -p argument says.
std::function<DWORD(const std::string&)> writingGenerator(DWORD exitCode = 0, bool writes = true)
{
    return [=](const std::string& commandLine) -> DWORD {
        if (writes) {
            // The argument after -gen, up to the option: "-p<directory>", quoted when it holds
            // blanks (then its closing backslashes are doubled).
            std::string directory = commandLine.substr(commandLine.find(" -gen ") + 6);
            if (const size_t option = directory.rfind(" -noanalyse"); option != std::string::npos)
                directory.resize(option);
            if (directory.front() == '"') {
                directory = directory.substr(1, directory.size() - 2);
                const size_t backslashes = directory.size() - directory.find_last_not_of('\\') - 1;
                directory.resize(directory.size() - backslashes / 2);
            }
            directory = directory.substr(2);
            fake::files()[directory + "kestrel.drv"] = DriverImage().bytes;
            fake::files()[directory + "KSCONFIG.DAT"] = {'c', 'f', 'g'};
        }
        return exitCode;
    };
}

struct PathCase {
    const char* name;
    friend void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }
    const char* driverDir;
    int analyse;
    const char* driverPath;
    const char* generator;
    const char* commandLine;
};

class Paths : public LoaderTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(Paths, DirectoryDriverPathAndCommandLine)
{
    const PathCase& c = GetParam();
    fake::files()[c.generator] = {};
    fake::onProcess(writingGenerator());

    ASSERT_EQ(KS_install(c.driverDir, 1, c.analyse), KS_OK);

    const auto opens = fake::callsNamed("CreateFileA");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].text, c.driverPath);
    EXPECT_EQ(opens[1].text, c.driverPath);
    EXPECT_EQ(opens[0].args, (std::vector<int64_t>{GENERIC_READ, OPEN_EXISTING}));
    EXPECT_EQ(fake::callsNamed("GetFileAttributesA").at(0).text, c.generator);
    EXPECT_EQ(fake::processesStarted(), std::vector<std::string>{c.commandLine});
    // Started as exactly that file, inheriting handles, and waited for without a limit.
    EXPECT_EQ(fake::callsNamed("CreateProcessA").at(0).args, (std::vector<int64_t>{1, 1}));
    EXPECT_EQ(fake::callsNamed("WaitForSingleObject").at(0).args, (std::vector<int64_t>{INFINITE}));
    EXPECT_EQ(fake::countOf("GetExitCodeProcess"), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Directories, Paths,
    ::testing::Values(PathCase{"Empty", "", 1, ".\\kestrel.drv", ".\\KSWIN.EXE", ".\\KSWIN.EXE -gen -p.\\"},
                      PathCase{"EmptyNoAnalyse", "", 0, ".\\kestrel.drv", ".\\KSWIN.EXE",
                               ".\\KSWIN.EXE -gen -p.\\ -noanalyse"},
                      PathCase{"WithBackslash", "C:\\PAL\\", 1, "C:\\PAL\\kestrel.drv", "C:\\PAL\\KSWIN.EXE",
                               "C:\\PAL\\KSWIN.EXE -gen -pC:\\PAL\\"},
                      PathCase{"WithoutBackslash", "C:\\PAL", 1, "C:\\PAL\\kestrel.drv", "C:\\PAL\\KSWIN.EXE",
                               "C:\\PAL\\KSWIN.EXE -gen -pC:\\PAL\\"},
                      PathCase{"NoAnalyse", "C:\\PAL", 0, "C:\\PAL\\kestrel.drv", "C:\\PAL\\KSWIN.EXE",
                               "C:\\PAL\\KSWIN.EXE -gen -pC:\\PAL\\ -noanalyse"},
                      PathCase{"BlanksAreQuoted", "C:\\MY PAL", 1, "C:\\MY PAL\\kestrel.drv", "C:\\MY PAL\\KSWIN.EXE",
                               "\"C:\\MY PAL\\KSWIN.EXE\" -gen \"-pC:\\MY PAL\\\\\""},
                      PathCase{"TwoBlanksAndAnOptionInTheName", "C:\\A  -p B", 0, "C:\\A  -p B\\kestrel.drv",
                               "C:\\A  -p B\\KSWIN.EXE",
                               "\"C:\\A  -p B\\KSWIN.EXE\" -gen \"-pC:\\A  -p B\\\\\" -noanalyse"},
                      PathCase{"TabIsQuoted", "C:\\A\tB", 1, "C:\\A\tB\\kestrel.drv", "C:\\A\tB\\KSWIN.EXE",
                               "\"C:\\A\tB\\KSWIN.EXE\" -gen \"-pC:\\A\tB\\\\\""},
                      PathCase{"ForwardSlashIsNoSeparator", "C:/PAL/", 1, "C:/PAL/\\kestrel.drv", "C:/PAL/\\KSWIN.EXE",
                               "C:/PAL/\\KSWIN.EXE -gen -pC:/PAL/\\"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Candidate {
    bool present;
    DWORD exitCode;
    bool writes;
};

struct GeneratorCase {
    const char* name;
    friend void PrintTo(const GeneratorCase& c, std::ostream* os) { *os << c.name; }
    Candidate first;   // C:\PAL\KSWIN.EXE
    Candidate second;  // KSWIN.EXE in the current directory
    int expected;
    std::vector<std::string> started;
};

class GeneratorRuns : public LoaderTest, public ::testing::WithParamInterface<GeneratorCase> {};

const std::string firstRun = "C:\\PAL\\KSWIN.EXE -gen -pC:\\PAL\\";
const std::string secondRun = "KSWIN.EXE -gen -pC:\\PAL\\";

TEST_P(GeneratorRuns, TriesBothCandidatesUntilOneExitsWithZero)
{
    const GeneratorCase& c = GetParam();
    if (c.first.present)
        fake::files()[generatorPath] = {};
    if (c.second.present)
        fake::files()["KSWIN.EXE"] = {};
    fake::onProcess([&](const std::string& commandLine) {
        const Candidate& run = commandLine == firstRun ? c.first : c.second;
        return writingGenerator(run.exitCode, run.writes)(commandLine);
    });

    EXPECT_EQ(KS_install("C:\\PAL", 1, 1), c.expected);
    EXPECT_EQ(fake::processesStarted(), c.started);
    EXPECT_EQ(fake::countOf("CloseHandle"), fake::processesStarted().size() + fake::countOf("ReadFile"))
        << "every process and file handle is closed";
}

INSTANTIATE_TEST_SUITE_P(
    Candidates, GeneratorRuns,
    ::testing::Values(
        GeneratorCase{"None", {false, 0, false}, {false, 0, false}, KS_NOT_GENERATED, {}},
        GeneratorCase{"FirstWrites", {true, 0, true}, {true, 0, true}, KS_OK, {firstRun}},
        GeneratorCase{"FirstFailsSecondWrites", {true, 1, false}, {true, 0, true}, KS_OK, {firstRun, secondRun}},
        GeneratorCase{"OnlySecond", {false, 0, false}, {true, 0, true}, KS_OK, {secondRun}},
        GeneratorCase{"FirstFailsNoSecond", {true, 1, false}, {false, 0, false}, KS_NOT_GENERATED, {firstRun}},
        GeneratorCase{"BothFail", {true, 1, true}, {true, 2, true}, KS_NOT_GENERATED, {firstRun, secondRun}},
        GeneratorCase{"SucceedsWithoutWriting", {true, 0, false}, {true, 0, true}, KS_FILE_NOT_FOUND, {firstRun}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Regeneration after a failed check entry ------------------------------------------------

constexpr int stopped = -1;  // the machine stopped the check entry: no return

struct RecheckCase {
    const char* name;
    friend void PrintTo(const RecheckCase& c, std::ostream* os) { *os << c.name; }
    std::vector<int> checks;  // ax the check entry returns, per pass, or stopped
    int expected;
};

class Regeneration : public LoaderTest, public ::testing::WithParamInterface<RecheckCase> {};

TEST_P(Regeneration, RegeneratesOnceAfterAFailedCheck)
{
    const RecheckCase& c = GetParam();
    putDriver(DriverImage());
    fake::files()[configPath] = {'o', 'l', 'd'};
    fake::files()[generatorPath] = {};
    fake::onProcess(writingGenerator());
    std::deque<int> answers(c.checks.begin(), c.checks.end());
    for (int answer : c.checks)
        fake::queueResult("RM_callRealMode", answer != stopped);
    fake::realMode().onFarCall = [&](uint32_t, uint32_t, RealModeRegs& regs) {
        while (answers.front() == stopped)
            answers.pop_front();
        regs.ax = static_cast<uint16_t>(answers.front());
        answers.pop_front();
    };

    EXPECT_EQ(KS_install(driverDir, 1, 1), c.expected);

    const size_t passes = c.checks.size();
    EXPECT_EQ(fake::countOf("RM_callRealMode"), passes);
    EXPECT_EQ(fake::countOf("RM_int86x"), 2u) << "the probes run once";
    EXPECT_EQ(fake::countOf("RM_getRMvect"), 2 * passes) << "the vectors are read in each pass";
    if (passes == 2) {
        const auto deletes = fake::callsNamed("DeleteFileA");
        ASSERT_EQ(deletes.size(), 2u);
        EXPECT_EQ(deletes[0].text, configPath);
        EXPECT_EQ(deletes[1].text, driverPath);
        EXPECT_EQ(fake::processesStarted(), std::vector<std::string>{"C:\\PAL\\KSWIN.EXE -gen -pC:\\PAL\\"});
        EXPECT_EQ(fake::files()[configPath], (std::vector<uint8_t>{'c', 'f', 'g'})) << "regenerated files stay";
    } else {
        EXPECT_EQ(fake::countOf("DeleteFileA"), 0u);
    }
    const bool installed = c.expected == KS_OK;
    EXPECT_EQ(fake::realMode().liveBlocks.size(), installed ? 1u : 0u);
    EXPECT_EQ(fake::countOf("RM_setRMvect"), installed ? 2u : 0u);
    EXPECT_EQ(vector(0x10) == biosInt10, !installed);
}

INSTANTIATE_TEST_SUITE_P(Checks, Regeneration,
                         ::testing::Values(RecheckCase{"PassesAtOnce", {1}, KS_OK},
                                           RecheckCase{"FailsOnceThenPasses", {0, 1}, KS_OK},
                                           RecheckCase{"FailsTwice", {0, 0}, KS_CHECK_FAILED},
                                           RecheckCase{"OnlyOneMeansSuccess", {2, 0xFFFF}, KS_CHECK_FAILED},
                                           RecheckCase{"StoppedThenPasses", {stopped, 1}, KS_OK},
                                           RecheckCase{"StoppedTwice", {stopped, stopped}, KS_CHECK_FAILED}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Directories too long for a path ------------------------------------------------------

class LongDirectory : public LoaderTest, public ::testing::WithParamInterface<std::pair<size_t, int>> {};

TEST_P(LongDirectory, FitsThePathLimitOrIsNotFound)
{
    // "C:\" + name + "\" of the given length with its backslash.
    const std::string directory = "C:\\" + std::string(GetParam().first - 4, 'D') + "\\";
    ASSERT_EQ(directory.size(), GetParam().first);
    putDriver(DriverImage(), directory + "kestrel.drv");
    fake::files()[directory + "KSWIN.EXE"] = {};

    EXPECT_EQ(KS_install(directory.c_str(), 1, 1), GetParam().second);
    if (GetParam().second != KS_OK) {
        EXPECT_FALSE(touchedDisk());
    }
}

// 247 characters leave room for "KSCONFIG.DAT" and the zero in 260 bytes.
INSTANTIATE_TEST_SUITE_P(Lengths, LongDirectory,
                         ::testing::Values(std::pair<size_t, int>{247, KS_OK},
                                           std::pair<size_t, int>{248, KS_FILE_NOT_FOUND},
                                           std::pair<size_t, int>{4000, KS_FILE_NOT_FOUND}));

}  // namespace
}  // namespace loader_checks
