// Booting the real ROMs, the text screen they leave, and machines that cannot be built.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "checks/machine/machine_fixture.h"
#include "machine/card.h"

namespace checks {
namespace {

using namespace palisade_ext;

class TextScreen : public ::testing::TestWithParam<const char*> {};

// The character the BIOS writes must appear in the picture exactly as its own 8x16 font
// draws it, in the attribute's colours, in 9-dot cells.
TEST_P(TextScreen, CharacterIsDrawnWithTheRomFontAndAttributeColours)
{
    BootedMachine pc(GetParam());
    machine::CpuRegs regs;
    regs.ax = 0x0200;  // cursor to row 24, column 3
    regs.dx = 0x1803;
    pc.int10(regs);
    regs = {};
    regs.ax = 0x0900 | 'X';
    regs.bx = 0x001E;  // yellow on blue
    regs.cx = 1;
    pc.int10(regs);
    ASSERT_TRUE(pc.lastResult.ok) << pc.lastResult.error;
    regs = {};
    regs.ax = 0x1130;
    regs.bx = 0x0600;  // the 8x16 font
    regs = pc.int10(regs);
    const uint8_t* glyph = pc->memory() + regs.es * 16u + regs.bp + 'X' * 16;

    const auto picture = pc.picture();
    ASSERT_EQ(picture.width, 720);
    ASSERT_EQ(picture.height, 400);
    EXPECT_EQ(picture.bitsPerPixel, 0);  // text
    int foreground = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 9; ++x) {
            const bool set = x < 8 && (glyph[y] & (0x80 >> x));
            const uint32_t pixel = pixelAt(picture, 3 * 9 + x, 24 * 16 + y);
            // The cursor may sit on this cell's last lines; it is drawn in the foreground colour.
            if (y < 13) {
                EXPECT_EQ(pixel, set ? 0xFFFF55u : 0x0000AAu) << "x " << x << " y " << y;
            }
            foreground += set;
        }
    }
    EXPECT_GT(foreground, 10);
}

INSTANTIATE_TEST_SUITE_P(Roms, TextScreen, ::testing::Values("default", "seavgabios", "novbe", "plainvga"));

TEST(Boot, BochsBannerStaysOnTheTextScreen)
{
    BootedMachine pc("default");
    EXPECT_NE(pc->biosLog().find("VGABios"), std::string::npos);
    const auto picture = pc.picture();
    int lit = 0;
    for (int x = 0; x < picture.width; ++x)
        for (int y = 0; y < 16; ++y)
            lit += pixelAt(picture, x, y) != 0;
    EXPECT_GT(lit, 300) << "the banner's first line";
}

TEST(Boot, SeaVgaBiosWritesItsDebugPort)
{
    BootedMachine pc("seavgabios");
    EXPECT_NE(pc->biosLog().find("SeaVGABIOS"), std::string::npos);
}

class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes, const char* suffix = ".bin")
    {
        path_ = (std::filesystem::temp_directory_path() /
                 ("palisade-machine-" + std::to_string(getpid()) + "-" + std::to_string(counter_++) + suffix))
                    .string();
        std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    explicit TempFile(const std::string& text) : TempFile(std::vector<uint8_t>(text.begin(), text.end()), ".machine") {}
    ~TempFile() { std::filesystem::remove(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    static inline int counter_ = 0;
};

std::vector<uint8_t> romWithHeader(size_t size, uint8_t blocks, bool fixChecksum)
{
    std::vector<uint8_t> rom(size, 0x90);
    rom[0] = 0x55;
    rom[1] = 0xAA;
    rom[2] = blocks;
    if (fixChecksum) {
        uint8_t sum = 0;
        for (size_t i = 0; i < std::min<size_t>(size, blocks * 512u); ++i)
            sum = static_cast<uint8_t>(sum + rom[i]);
        rom[3] = static_cast<uint8_t>(rom[3] - sum);
    }
    return rom;
}

struct BadRom {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
};

TEST(Boot, UnusableRomIsAClearMachineError)
{
    const std::vector<BadRom> cases = {
        {"short", std::vector<uint8_t>(100, 0x55), "expected 512 bytes to 128 KB"},
        {"garbage", std::vector<uint8_t>(4096, 0x3C), "no 55AA signature"},
        {"declares more than it holds", romWithHeader(1024, 64, true), "declares 32768 bytes"},
        {"bad checksum", romWithHeader(1024, 2, false), "bad checksum"},
        {"never returns from init", romWithHeader(1024, 2, true), "did not initialise"},
    };
    for (const auto& c : cases) {
        const TempFile rom(c.bytes);
        machine::MachineConfig config = machine::presetConfig("default");
        config.romPath = rom.path();
        config.instructionBudget = 100'000;
        auto clock = machine::makeVirtualClock();
        try {
            machine::Machine pc(config, *clock);
            ADD_FAILURE() << c.name << ": booted";
        } catch (const machine::MachineError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << c.name << ": " << error.what();
            EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos) << c.name;
        }
    }
}

TEST(Boot, ImpossibleConfigIsRefusedBeforeAnythingIsBuilt)
{
    const std::vector<std::pair<const char*, void (*)(machine::MachineConfig&)>> cases = {
        {"no video memory", [](machine::MachineConfig& c) { c.videoMemoryKb = 0; }},
        {"odd video memory", [](machine::MachineConfig& c) { c.videoMemoryKb = 1000; }},
        {"video memory past 512 MB", [](machine::MachineConfig& c) { c.videoMemoryKb = 512 * 1024 + 64; }},
        {"512 MB on the GD5446",
         [](machine::MachineConfig& c) { c = machine::presetConfig("cirrus"), c.videoMemoryKb = 512 * 1024; }},
        {"conventional memory into the VGA window", [](machine::MachineConfig& c) { c.conventionalKb = 700; }},
        {"no refresh", [](machine::MachineConfig& c) { c.refreshHz = 0; }},
        {"no budget", [](machine::MachineConfig& c) { c.instructionBudget = 0; }},
        {"framebuffer over RAM", [](machine::MachineConfig& c) { c.lfbAddress = 0x80000; }},
    };
    for (const auto& [name, spoil] : cases) {
        machine::MachineConfig config = machine::presetConfig("default");
        spoil(config);
        auto clock = machine::makeVirtualClock();
        EXPECT_THROW(machine::Machine(config, *clock), machine::MachineError) << name;
    }
}

TEST(Boot, MissingRomNamesThePackageToInstall)
{
    for (const char* preset : {"default", "seavgabios"}) {
        machine::MachineConfig config = machine::presetConfig(preset);
        const std::string package = config.romPackage;
        config.romPath = "/nonexistent/" + std::string(preset) + ".bin";
        auto clock = machine::makeVirtualClock();
        try {
            machine::Machine pc(config, *clock);
            ADD_FAILURE() << preset << ": booted";
        } catch (const machine::MachineError& error) {
            EXPECT_NE(std::string(error.what()).find("install it with: apt-get install " + package), std::string::npos)
                << error.what();
        }
    }
}

TEST(Presets, EveryPresetHasADescriptionAndBoots)
{
    for (const auto& name : machine::presetNames()) {
        const auto config = machine::loadMachine(name);
        EXPECT_EQ(config.name, name);
        EXPECT_FALSE(config.description.empty()) << name;
        EXPECT_EQ(config.description.find('\n'), std::string::npos) << name;
        if (config.card == "s3")  // no model in the virtual PC: DOSBox's, reached through the agent
            continue;
        BootedMachine pc(config);
        EXPECT_EQ(pc->videoMemoryBytes(), config.videoMemoryKb * 1024u) << name;
    }
    EXPECT_EQ(machine::loadMachine("noaccel").accelEntries, 0u);
    EXPECT_TRUE(machine::loadMachine("resident").residentKestrel);
    EXPECT_EQ(machine::loadMachine("dac6").accelEntries, 0u);
    EXPECT_EQ(machine::loadMachine("dac6").wideDac, machine::WideDac::Ignored);
    EXPECT_EQ(machine::loadMachine("default").wideDac, machine::WideDac::Works);
    const uint32_t part = machine::loadMachine("partaccel").accelEntries;
    EXPECT_EQ(part & (ACCEL_CAPS_SET_CLIP_RECT | ACCEL_CAPS_DRAW_PATT_RECT | ACCEL_CAPS_DRAW_PATT_SCAN |
                      ACCEL_CAPS_SET_CURSOR),
              0u);
    EXPECT_TRUE(part & ACCEL_CAPS_DRAW_RECT);
}

TEST(MachineFile, DescribesAMachineOfTheUsersOwn)
{
    const TempFile file("# a small card\n"
                        "base = seavgabios\n"
                        "video_memory = 3M   # three megabytes: the BAR is 4 MB\n"
                        "accel = draw_rect, bit_blt\n"
                        "conventional_memory = 512\n"
                        "refresh = 75\n"
                        "resident = yes\n"
                        "dac8 = no\n"
                        "\n");
    const TempFile relativeRom("base = default\nrom = roms/my.bin\n");
    EXPECT_EQ(machine::loadMachine(relativeRom.path()).romPath,
              (std::filesystem::path(relativeRom.path()).parent_path() / "roms/my.bin").string());
    const auto config = machine::loadMachine(file.path());
    EXPECT_EQ(config.romPath, machine::presetConfig("seavgabios").romPath);
    EXPECT_EQ(config.videoMemoryKb, 3072u);
    EXPECT_EQ(config.accelEntries, ACCEL_CAPS_PRESENT | ACCEL_CAPS_DRAW_RECT | ACCEL_CAPS_BIT_BLT);
    EXPECT_EQ(config.conventionalKb, 512u);
    EXPECT_EQ(config.refreshHz, 75u);
    EXPECT_TRUE(config.residentKestrel);
    EXPECT_EQ(config.wideDac, machine::WideDac::Refused);
    BootedMachine pc(config);
    EXPECT_EQ(pc->videoMemoryBytes(), 3u * 1024 * 1024);
    std::memcpy(pc.buffer(), "VBE2", 4);
    EXPECT_EQ(pc.vbe(0x4F00).ax, 0x004F);
    EXPECT_EQ(pc.controllerInfo().TotalMemory, 48) << "3 MB in 64 KB units";
}

TEST(MachineFile, TakesVideoMemoryUpTo512Mb)
{
    const std::vector<std::pair<const char*, uint32_t>> cases = {
        {"256K", 256}, {"256", 256}, {"64M", 65536}, {"512M", 524288}, {"512MB", 524288},
    };
    for (const auto& [value, kb] : cases) {
        const TempFile file("video_memory = " + std::string(value) + "\n");
        EXPECT_EQ(machine::loadMachine(file.path()).videoMemoryKb, kb) << value;
    }
    EXPECT_EQ(machine::presetConfig("bigvram").videoMemoryKb, 512u * 1024);
}

TEST(MachineFile, MistakesAreOneLineErrorsThatSayWhatToFix)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"colour = blue\n", "unknown key 'colour'"},
        {"video_memory = 3000K\n", "multiple of 64 KB"},
        {"video_memory = 513M\n", "256 KB to 512 MB"},
        {"video_memory = 1G\n", "256 KB to 512 MB"},
        {"video_memory = 128K\n", "256 KB to 512 MB"},
        {"video_memory = 0\n", "256 KB to 512 MB"},
        {"video_memory = 99999999999M\n", "256 KB to 512 MB"},
        {"video_memory = 4.5M\n", "needs a number"},
        {"video_memory = -4M\n", "needs a number"},
        {"video_memory = lots\n", "needs a number"},
        {"accel = draw_rect, warp_drive\n", "unknown accelerator entry 'warp_drive'"},
        {"resident = maybe\n", "must be yes or no"},
        {"dac8 = sometimes\n", "'dac8' must be yes, ignored or no"},
        {"base = cray\n", "unknown base machine 'cray'"},
        {"refresh 60\n", "expected 'key = value'"},
        {"conventional_memory = 4\n", "8 to 640"},
        {"dispi = no\naccel = all\n", "needs the DISPI extension"},
        {"rom = /x.bin\nbase = default\n", "'base' must come before"},
        {"lfb = 0x1234\n", "between 16 MB and 4 GB"},
        {"refresh =\n", "has no value"},
        {"base = cirrus\ndac8 = no\n", "line 2: 'dac8' means nothing here"},
        {"base = cirrus\ndispi = yes\n", "'dispi' means nothing here"},
        {"card = cirrus\naccel = none\n", "'accel' means nothing here"},
        {"svga_screen_off = ignored\n", "'svga_screen_off' means nothing here"},
        {"base = plainvga\ncard_fault = bank_off_by_one\n", "'card_fault' means nothing here"},
        {"card = s3\ndispi = yes\n", "'dispi' means nothing here"},
        {"base = dosbox\nrom = /usr/share/vgabios/vgabios.bin\n", "line 2: 'rom' means nothing here: DOSBox's VBE"},
        {"rom = /usr/share/vgabios/vgabios.bin\nengine = agent\nlink = unix:/tmp/a\n", "line 1: 'rom' means nothing"},
    };
    for (const auto& [text, message] : cases) {
        const TempFile file{std::string(text)};
        try {
            machine::loadMachine(file.path());
            ADD_FAILURE() << text << "accepted";
        } catch (const machine::MachineError& error) {
            const std::string what = error.what();
            EXPECT_NE(what.find(message), std::string::npos) << what;
            EXPECT_NE(what.find(file.path()), std::string::npos) << what;
            EXPECT_EQ(what.find('\n'), std::string::npos) << what;
        }
    }
}

TEST(MachineFile, AnS3IsReadOnPcsTheAgentReachesAndHasNoModel)
{
    const TempFile file("card = s3\n");
    const machine::MachineConfig config = machine::loadMachine(file.path());
    EXPECT_EQ(config.card, "s3");
    EXPECT_FALSE(config.dispi);
    try {
        machine::makeCard(config, [] { return uint64_t{0}; });
        FAIL() << "the virtual PC made an s3";
    } catch (const machine::MachineError& error) {
        EXPECT_NE(std::string(error.what()).find("engine = agent"), std::string::npos) << error.what();
    }
}

// Reports name the ROM a run used: none where the PC brings its own video BIOS.
TEST(MachineFile, APcWithItsOwnVideoBiosNamesNoRom)
{
    EXPECT_EQ(machine::loadMachine("dosbox").romPath, "");
    EXPECT_EQ(machine::loadMachine(TempFile(std::string("engine = agent\nlink = unix:/tmp/a\n")).path()).romPath, "");
    EXPECT_NE(machine::loadMachine("qemu-serial").romPath, "");
    EXPECT_NE(machine::loadMachine("bochs-vga").romPath, "");
}

TEST(MachineFile, UnknownNameOrFolderListsThePresets)
{
    EXPECT_THROW(machine::loadMachine(std::filesystem::temp_directory_path().string()), machine::MachineError);
    try {
        machine::loadMachine("no-such-machine");
        FAIL() << "accepted";
    } catch (const machine::MachineError& error) {
        const std::string what = error.what();
        EXPECT_NE(what.find("no-such-machine"), std::string::npos);
        EXPECT_NE(what.find("seavgabios"), std::string::npos);
    }
}

}  // namespace
}  // namespace checks
