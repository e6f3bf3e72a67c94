// KS_install and KS_exit on the virtual PC: the real-mode services over the machine, the real
// Kestrel driver, and KSWIN.EXE run as a child process through the desktop's kernel32.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "desktop/winpath.h"
#include "kestrel/resident.h"
#include "loader/driver_header.h"
#include "loader/generator.h"
#include "loader/kestrellib.h"
#include "machine/machine.h"
#include "platform/realmode.h"

namespace {

namespace fs = std::filesystem;

// A driver directory of its own (the current directory too, so that the generator's second
// candidate, "KSWIN.EXE" alone, finds only what the test puts there) and a booted machine.
class MachineInstall : public ::testing::Test {
protected:
    fs::path folder;
    fs::path previousDirectory;
    std::unique_ptr<machine::Clock> clock;
    std::unique_ptr<machine::Machine> pc;

    void SetUp() override
    {
        char pattern[] = "/tmp/palisade-loader-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        previousDirectory = fs::current_path();
        fs::current_path(folder);
        // A card with more video memory than the machines here: its driver fails their check.
        std::ofstream(folder / "bigcard.machine") << "video_memory = 8M\n";
    }
    void TearDown() override
    {
        KS_exit();
        machine::setCurrent(nullptr);
        pc.reset();
        fs::current_path(previousDirectory);
        fs::remove_all(folder);
        unsetenv("PALISADE_MACHINE");
    }

    void boot(const std::string& preset) { boot(machine::presetConfig(preset)); }
    void boot(const machine::MachineConfig& config)
    {
        clock = machine::makeVirtualClock();
        pc = std::make_unique<machine::Machine>(config, *clock);
        machine::setCurrent(pc.get());
        if (pc->config().residentKestrel)
            kestrel::installResident(*pc);
    }
    // The machine KSWIN.EXE analyses.
    void generatorAnalyses(const std::string& machineName) { setenv("PALISADE_MACHINE", machineName.c_str(), 1); }
    void provideGenerator() { fs::create_symlink(KSWIN_PATH, folder / "KSWIN.EXE"); }
    std::string windowsFolder() const { return winpath::fromHost(folder.string()); }
    fs::path driverFile() const { return folder / "kestrel.drv"; }
    std::vector<uint8_t> readDriverFile() const
    {
        std::ifstream in(driverFile(), std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static uint32_t vector(int interrupt)
    {
        uint32_t value = 0;
        RM_getRMvect(interrupt, &value);
        return value;
    }
    // The OEM string of whatever answers VBE function 4F00h now; empty when nothing does.
    static std::string oemString()
    {
        uint32_t selector, offset, segment, realOffset;
        if (!RM_allocRealSeg(512, &selector, &offset, &segment, &realOffset))
            return "(no memory)";
        uint8_t block[512] = {'V', 'B', 'E', '2'};
        RM_memcpyfn(selector, offset, block, sizeof block);
        RealModeRegs regs{};
        regs.ax = 0x4F00;
        regs.di = static_cast<uint16_t>(realOffset);
        RealModeSegRegs segments{};
        segments.es = static_cast<uint16_t>(segment);
        RM_int86x(0x10, &regs, &regs, &segments);
        RM_memcpynf(block, selector, offset, sizeof block);
        RM_freeRealSeg(selector, offset);
        if (regs.ax != 0x004F)
            return "";
        uint32_t oem;
        std::memcpy(&oem, block + 6, 4);
        char text[80] = {};
        RM_mapRealPointer(&selector, &offset, oem >> 16, oem & 0xFFFF);
        RM_memcpynf(text, selector, offset, sizeof text - 1);
        return text;
    }
    static bool kestrelAnswers() { return oemString().rfind("Kestrel Video Core", 0) == 0; }
};

TEST_F(MachineInstall, FirstRunGeneratesInstallsAndExitRestores)
{
    boot("novbe");
    generatorAnalyses("novbe");
    provideGenerator();
    const uint32_t biosInt10 = vector(0x10), biosInt2F = vector(0x2F);
    ASSERT_FALSE(kestrelAnswers());

    ASSERT_EQ(KS_install(windowsFolder().c_str(), 1, 1), KS_OK);

    // Hooked to the driver's handlers, in the block that holds the image.
    const std::vector<uint8_t> file = readDriverFile();
    ASSERT_GE(file.size(), DriverHeader::minimumLength);
    const uint32_t segment = vector(0x10) >> 16;
    EXPECT_EQ(vector(0x2F) >> 16, segment);
    EXPECT_EQ(vector(0x10) & 0xFFFF, readDriverWord(file.data(), DriverHeader::int10Handler));
    EXPECT_EQ(vector(0x2F) & 0xFFFF, readDriverWord(file.data(), DriverHeader::int2FHandler));
    const uint8_t* image = pc->memory() + segment * 16;
    EXPECT_EQ(std::memcmp(image, "Kestrel Video Core", 18), 0);
    EXPECT_EQ(readDriverWord(image, DriverHeader::loadSegment), segment);
    EXPECT_EQ(readDriverLong(image, DriverHeader::savedInt10), biosInt10);
    EXPECT_EQ(readDriverLong(image, DriverHeader::savedInt2F), biosInt2F);
    EXPECT_EQ(readDriverWord(file.data(), DriverHeader::loadSegment), 0) << "the file keeps its own fields";
    EXPECT_TRUE(kestrelAnswers()) << "4F00h now answers: " << oemString();
    EXPECT_STRNE(KS_getDriverString1(), "");

    KS_exit();
    EXPECT_EQ(vector(0x10), biosInt10);
    EXPECT_EQ(vector(0x2F), biosInt2F);
    EXPECT_FALSE(kestrelAnswers());
}

TEST_F(MachineInstall, SecondRunFindsTheFile)
{
    boot("default");
    generatorAnalyses("default");
    provideGenerator();
    ASSERT_EQ(KS_install(windowsFolder().c_str(), 1, 1), KS_OK);
    KS_exit();
    const std::vector<uint8_t> generated = readDriverFile();
    fs::remove(folder / "KSWIN.EXE");

    // Without a trailing backslash this time: the same file.
    std::string directory = windowsFolder();
    if (directory.back() == '\\')
        directory.pop_back();
    EXPECT_EQ(KS_install(directory.c_str(), 1, 1), KS_OK);
    EXPECT_TRUE(kestrelAnswers());
    EXPECT_EQ(readDriverFile(), generated);
}

TEST_F(MachineInstall, ACheckEntryThatNeverReturnsIsAFailedCheck)
{
    machine::MachineConfig config = machine::presetConfig("default");
    config.instructionBudget = 5'000'000;  // enough for the BIOS's start-up
    boot(config);
    generatorAnalyses("default");
    provideGenerator();
    ASSERT_TRUE(runGenerator(windowsFolder() + "\\", 1));
    // A driver whose check entry spins: jmp $ at the end of the image.
    std::vector<uint8_t> spinning = readDriverFile();
    const auto spin = static_cast<uint16_t>(spinning.size());
    spinning.insert(spinning.end(), {0xEB, 0xFE});
    spinning[DriverHeader::checkEntry] = static_cast<uint8_t>(spin);
    spinning[DriverHeader::checkEntry + 1] = static_cast<uint8_t>(spin >> 8);
    std::ofstream(driverFile(), std::ios::binary)
        .write(reinterpret_cast<const char*>(spinning.data()), static_cast<std::streamsize>(spinning.size()));

    EXPECT_EQ(KS_install(windowsFolder().c_str(), 1, 1), KS_OK) << "stopped, regenerated, then installed";
    EXPECT_NE(readDriverFile(), spinning);
    EXPECT_TRUE(kestrelAnswers());
}

struct MachineCase {
    const char* name;
    const char* preset;            // the machine the program runs on
    const char* generatorMachine;  // what KSWIN.EXE analyses (a preset, or a file in the folder)
    const char* staleDriverFor;    // a driver file already there, generated for this machine
    bool generator;                // KSWIN.EXE in the driver directory
    int expected;
    friend void PrintTo(const MachineCase& c, std::ostream* os) { *os << c.name; }
};

class MachineOutcomes : public MachineInstall, public ::testing::WithParamInterface<MachineCase> {};

std::string machineName(const fs::path& folder, const char* name)
{
    return fs::exists(folder / name) ? (folder / name).string() : name;
}

TEST_P(MachineOutcomes, StatusAndVectors)
{
    const MachineCase& c = GetParam();
    boot(c.preset);
    if (c.staleDriverFor) {
        generatorAnalyses(machineName(folder, c.staleDriverFor));
        fs::create_symlink(KSWIN_PATH, folder / "KSWIN.EXE");
        ASSERT_TRUE(runGenerator(windowsFolder() + "\\", 1));
        fs::remove(folder / "KSWIN.EXE");
    }
    generatorAnalyses(machineName(folder, c.generatorMachine));
    if (c.generator)
        provideGenerator();
    const uint32_t before10 = vector(0x10), before2F = vector(0x2F);

    EXPECT_EQ(KS_install(windowsFolder().c_str(), 1, 1), c.expected) << KS_getErrorString(c.expected);

    if (c.expected == KS_OK) {
        EXPECT_NE(vector(0x10), before10);
        EXPECT_TRUE(kestrelAnswers());
    } else {
        EXPECT_EQ(vector(0x10), before10);
        EXPECT_EQ(vector(0x2F), before2F);
    }
    if (c.expected == KS_CHECK_FAILED) {
        EXPECT_TRUE(fs::exists(driverFile())) << "the regenerated files stay";
        EXPECT_TRUE(fs::exists(folder / "KSCONFIG.DAT"));
    }
    KS_exit();
    EXPECT_EQ(vector(0x10), before10);
    EXPECT_EQ(vector(0x2F), before2F);
}

INSTANTIATE_TEST_SUITE_P(
    Machines, MachineOutcomes,
    ::testing::Values(
        MachineCase{"BochsBios", "default", "default", nullptr, true, KS_OK},
        MachineCase{"SeaVgaBios", "seavgabios", "seavgabios", nullptr, true, KS_OK},
        MachineCase{"ResidentSameVersion", "resident", "resident", nullptr, true, KS_LATER_RESIDENT},
        MachineCase{"NoSupportedCard", "plainvga", "plainvga", nullptr, true, KS_NO_HARDWARE},
        MachineCase{"NoRealModeMemory", "lowmem", "lowmem", nullptr, true, KS_NO_REAL_MODE_MEMORY},
        MachineCase{"NoGenerator", "default", "default", nullptr, false, KS_NOT_GENERATED},
        MachineCase{"StaleDriverRegenerated", "default", "default", "bigcard.machine", true, KS_OK},
        MachineCase{"GeneratorSeesAnotherCard", "default", "bigcard.machine", nullptr, true, KS_CHECK_FAILED},
        MachineCase{"StaleDriverNoGenerator", "default", "default", "bigcard.machine", false, KS_NOT_GENERATED}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
