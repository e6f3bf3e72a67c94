// VBE through each real ROM on the DISPI card, checked where the user sees it: in the
// picture the scan-out makes.
#include <gtest/gtest.h>

#include "checks/machine/machine_fixture.h"
#include "hw/vbe.h"
#include "hw/vga.h"
#include "machine/card.h"

namespace checks {
namespace {

struct RomCase {
    const char* preset;
    uint16_t version;
    bool listsModesBeyondMemory;  // the Bochs ROM's mode list ignores the memory size
    bool windowFunctionReturns;   // the Bochs ROM's pops one word too many and returns into nowhere
};

class VbeOnEachRom : public ::testing::TestWithParam<RomCase> {
protected:
    BootedMachine pc{GetParam().preset};
    uint8_t* lfb() { return pc->lfb(); }

    void setMode(uint16_t mode)
    {
        const auto out = pc.vbe(0x4F02, mode);
        ASSERT_TRUE(pc.lastResult.ok) << pc.lastResult.error;
        ASSERT_EQ(out.ax, 0x004F) << "mode " << std::hex << mode;
    }
};

TEST_P(VbeOnEachRom, ControllerInfoSaysVesaWithVersionAndMemory)
{
    std::memcpy(pc.buffer(), "VBE2", 4);
    const auto out = pc.vbe(0x4F00);
    ASSERT_TRUE(pc.lastResult.ok) << pc.lastResult.error;
    EXPECT_EQ(out.ax, 0x004F);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pc.buffer()), 4), "VESA");
    const auto info = pc.controllerInfo();
    EXPECT_EQ(info.VbeVersion, GetParam().version);
    EXPECT_EQ(info.TotalMemory, 64) << "4 MB in 64 KB units";
    const uint32_t oem = info.OemStringPtr;
    const char* oemText = reinterpret_cast<const char*>(pc->memory() + (oem >> 16) * 16 + (oem & 0xFFFF));
    EXPECT_GT(std::strlen(oemText), 0u);
    const auto modes = pc.modeList();
    EXPECT_NE(std::find(modes.begin(), modes.end(), 0x101), modes.end());
}

TEST_P(VbeOnEachRom, EveryListedModeDescribesItselfConsistently)
{
    int beyondMemory = 0;
    for (uint16_t mode : pc.modeList()) {
        if (mode < 0x100)
            continue;  // SeaVGABIOS lists the standard VGA modes too
        SCOPED_TRACE(::testing::Message() << "mode " << std::hex << mode);
        std::memset(pc.buffer(), 0, sizeof(vbe::ModeInfo));
        const auto out = pc.vbe(vbe::MODE_INFO, 0, mode);
        ASSERT_EQ(out.ax, vbe::STATUS_OK);
        const auto info = pc.modeInfo();
        const uint32_t bytesPerLine = info.BytesPerScanLine, width = info.XResolution, height = info.YResolution;
        const uint8_t bpp = info.BitsPerPixel;
        EXPECT_TRUE(info.ModeAttributes & vbe::MODE_ATTR_SUPPORTED);
        EXPECT_TRUE(info.ModeAttributes & vbe::MODE_ATTR_GRAPHICS);
        EXPECT_GE(bytesPerLine * 8, width * (bpp == 4 ? 1 : bpp)) << "4-bit modes count bytes of one plane";
        EXPECT_EQ(info.WinASegment, 0xA000) << "window A";
        EXPECT_EQ(info.MemoryModel, bpp == 4 ? vbe::MEMORY_PLANAR : bpp == 8 ? vbe::MEMORY_PACKED : vbe::MEMORY_DIRECT);
        if (info.ModeAttributes & vbe::MODE_ATTR_LINEAR) {
            EXPECT_EQ(info.PhysBasePtr, pc->config().lfbAddress);
        }
        const uint64_t bytes = static_cast<uint64_t>(bytesPerLine) * height * (bpp == 4 ? 4 : 1);
        if (bytes > pc->videoMemoryBytes())
            ++beyondMemory;
    }
    if (GetParam().listsModesBeyondMemory)
        EXPECT_GT(beyondMemory, 0);
    else
        EXPECT_EQ(beyondMemory, 0);
}

TEST_P(VbeOnEachRom, LinearEightBitModeShowsItsPixelsInTheDefaultPalette)
{
    setMode(0x4101);
    ASSERT_TRUE(pc->card().extendedMode());
    lfb()[20 * 640 + 10] = 4;
    lfb()[479 * 640 + 639] = 15;
    lfb()[0] = 1;
    const auto picture = pc.picture();
    ASSERT_EQ(picture.width, 640);
    ASSERT_EQ(picture.height, 480);
    EXPECT_EQ(pixelAt(picture, 10, 20), 0xAA0000u);
    EXPECT_EQ(pixelAt(picture, 639, 479), 0xFFFFFFu);
    EXPECT_EQ(pixelAt(picture, 0, 0), 0x0000AAu);
    EXPECT_EQ(pixelAt(picture, 1, 0), 0x000000u);
}

TEST_P(VbeOnEachRom, BankSwitchingMovesTheWindowThroughVideoMemory)
{
    setMode(0x0101);
    auto out = pc.vbe(0x4F05, 0x0000, 0, 1);
    EXPECT_EQ(out.ax, 0x004F);
    pc->writePhys8(0xA0010, 9);
    EXPECT_EQ(lfb()[0x10010], 9);
    out = pc.vbe(0x4F05, 0x0100);
    EXPECT_EQ(out.dx, 1);
    EXPECT_EQ(pixelAt(pc.picture(), 0x10010 % 640, 0x10010 / 640), 0x5555FFu);

    // The mode block's window function does the same as a far call.
    pc.vbe(0x4F01, 0, 0x0101);
    const uint32_t windowFunction = pc.modeInfo().WinFuncPtr;
    machine::CpuRegs regs;
    regs.bx = 0;
    regs.dx = 3;
    const auto result =
        pc->farCall(static_cast<uint16_t>(windowFunction >> 16), static_cast<uint16_t>(windowFunction), regs);
    if (!GetParam().windowFunctionReturns) {
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find("CPU fault"), std::string::npos) << result.error;
    } else {
        ASSERT_TRUE(result.ok) << result.error;
    }
    // Either way the bank register was written before the return.
    pc->writePhys8(0xA0000, 0x33);
    EXPECT_EQ(lfb()[3 * 0x10000], 0x33);
    EXPECT_EQ(pc->readPhys8(0xA0000), 0x33);
}

TEST_P(VbeOnEachRom, LongerScanLinesReflowThePicture)
{
    setMode(0x4101);
    const auto out = pc.vbe(0x4F06, 0x0000, 800);
    ASSERT_EQ(out.ax, 0x004F);
    EXPECT_EQ(out.bx, 800);
    EXPECT_EQ(out.cx, 800);
    EXPECT_EQ(out.dx, pc->videoMemoryBytes() / 800);
    lfb()[800] = 15;  // first pixel of the second line
    lfb()[640] = 4;   // beyond the visible width of the first line
    const auto picture = pc.picture();
    EXPECT_EQ(pixelAt(picture, 0, 1), 0xFFFFFFu);
    EXPECT_EQ(pixelAt(picture, 160, 0), 0x000000u);
    for (int x = 0; x < 640; ++x)
        ASSERT_NE(pixelAt(picture, x, 0), 0xAA0000u);
}

TEST_P(VbeOnEachRom, DisplayStartScrollsThePicture)
{
    setMode(0x4101);
    std::memset(lfb() + 100 * 640, 15, 640);
    EXPECT_EQ(pixelAt(pc.picture(), 5, 100), 0xFFFFFFu);
    auto out = pc.vbe(0x4F07, 0x0000, 0, 100);
    ASSERT_EQ(out.ax, 0x004F);
    auto picture = pc.picture();
    EXPECT_EQ(pixelAt(picture, 5, 0), 0xFFFFFFu);
    EXPECT_EQ(pixelAt(picture, 5, 100), 0x000000u);
    out = pc.vbe(0x4F07, 0x0001);
    EXPECT_EQ(out.ax, 0x004F);
    EXPECT_EQ(out.dx, 100);
    EXPECT_EQ(out.cx, 0);
}

TEST_P(VbeOnEachRom, DisplayStartDuringRetraceWaitsAtMostAFrame)
{
    setMode(0x4101);
    std::memset(lfb() + 50 * 640, 15, 640);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const uint64_t before = pc->clock().nowMicros();
        const auto out = pc.vbe(0x4F07, 0x0080, 0, 50);
        ASSERT_TRUE(pc.lastResult.ok) << pc.lastResult.error;
        ASSERT_EQ(out.ax, 0x004F);
        EXPECT_LE(pc->clock().nowMicros() - before, 1'000'000u / 60 + 1000);
        EXPECT_EQ(pixelAt(pc.picture(), 5, 0), 0xFFFFFFu);
        pc->clock().spend(5000);  // somewhere else in the next frame
    }
}

TEST_P(VbeOnEachRom, DacWidthDecidesWhichBitsOfThePaletteCount)
{
    setMode(0x4101);
    auto out = pc.vbe(0x4F08, 0x0800);
    ASSERT_EQ(out.ax, 0x004F);
    EXPECT_EQ(out.bx >> 8, 8);
    pc->out8(vga::dac::WRITE_INDEX_PORT, 200);
    for (uint8_t component : {0xFF, 0x80, 0x3F})
        pc->out8(vga::dac::DATA_PORT, component);
    lfb()[0] = 200;
    EXPECT_EQ(pixelAt(pc.picture(), 0, 0), 0xFF803Fu);
    out = pc.vbe(0x4F08, 0x0600);
    ASSERT_EQ(out.ax, 0x004F);
    EXPECT_EQ(out.bx >> 8, 6);
    EXPECT_EQ(pixelAt(pc.picture(), 0, 0), 0xFF00FFu) << "a 6-bit DAC keeps the low 6 bits";
}

TEST_P(VbeOnEachRom, ModeBeyondVideoMemoryIsNeverHalfSet)
{
    machine::MachineConfig config = machine::presetConfig(GetParam().preset);
    config.videoMemoryKb = 1024;
    BootedMachine small(config);
    for (uint16_t mode : small.modeList()) {
        small.vbe(0x4F02, static_cast<uint16_t>(0x4000 | mode));
        ASSERT_TRUE(small.lastResult.ok) << small.lastResult.error;
        const auto shown = small->card().extendedMode();
        if (!shown)
            continue;
        EXPECT_LE(shown->lineBytes * static_cast<uint32_t>(shown->height), small->videoMemoryBytes())
            << "mode " << std::hex << mode;
    }
}

TEST_P(VbeOnEachRom, FramebufferElsewhereIsWhereModeInfoSaysItIs)
{
    machine::MachineConfig config = machine::presetConfig(GetParam().preset);
    config.lfbAddress = 0xD0000000;
    BootedMachine moved(config);
    const auto out = moved.vbe(vbe::MODE_INFO, 0, 0x101);
    ASSERT_EQ(out.ax, vbe::STATUS_OK);
    ASSERT_TRUE(moved.modeInfo().ModeAttributes & vbe::MODE_ATTR_LINEAR);
    EXPECT_EQ(moved.modeInfo().PhysBasePtr, 0xD0000000u);
    moved.vbe(vbe::SET_MODE, vbe::MODE_LINEAR | 0x101);
    ASSERT_TRUE(moved.lastResult.ok) << moved.lastResult.error;
    EXPECT_EQ(moved->readPhys8(0xD0000000), 0) << "video memory answers there";
}

INSTANTIATE_TEST_SUITE_P(Roms, VbeOnEachRom,
                         ::testing::Values(RomCase{"default", 0x0200, true, false},
                                           RomCase{"seavgabios", 0x0300, false, true}),
                         [](const auto& info) { return std::string(info.param.preset); });

// SeaVGABIOS reads the monitor's EDID from the card's register window and answers DDC with it.
TEST(Ddc, SeaVgaBiosReportsDdcAndReadsTheMonitorsEdid)
{
    BootedMachine pc("seavgabios");
    auto out = pc.vbe(vbe::DDC, 0x0000);
    ASSERT_TRUE(pc.lastResult.ok) << pc.lastResult.error;
    EXPECT_EQ(out.ax, vbe::STATUS_OK);
    EXPECT_EQ(out.bx, 0x0103) << "DDC1 and DDC2, one second per block";

    std::memset(pc.buffer(), 0, 128);
    out = pc.vbe(vbe::DDC, 0x0001);
    ASSERT_EQ(out.ax, vbe::STATUS_OK);
    const uint8_t* edid = pc.buffer();
    constexpr uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    EXPECT_EQ(std::memcmp(edid, header, 8), 0);
    uint8_t sum = 0;
    for (int i = 0; i < 128; ++i)
        sum = static_cast<uint8_t>(sum + edid[i]);
    EXPECT_EQ(sum, 0) << "checksum";
    const uint8_t* preferred = edid + 54;  // the first detailed timing
    EXPECT_EQ(preferred[2] | (preferred[4] >> 4) << 8, 1024);
    EXPECT_EQ(preferred[5] | (preferred[7] >> 4) << 8, 768);
}

TEST(VbeAbsent, BiosWithoutVbeAnswersNothing)
{
    for (const char* preset : {"plainvga", "novbe"}) {
        BootedMachine pc(preset);
        std::memcpy(pc.buffer(), "VBE2", 4);
        const auto out = pc.vbe(0x4F00);
        ASSERT_TRUE(pc.lastResult.ok) << preset << ": " << pc.lastResult.error;
        EXPECT_NE(out.ax, 0x004F) << preset;
        EXPECT_NE(std::string(reinterpret_cast<char*>(pc.buffer()), 4), "VESA") << preset;
    }
}

}  // namespace
}  // namespace checks
