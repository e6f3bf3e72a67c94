// Both Cirrus VGA BIOS ROMs on the GD5446 model: they boot, identify the chip, list their modes
// and set every one, banked and linear, as the pictures show.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "checks/machine/machine_fixture.h"
#include "hw/cirrus.h"
#include "hw/vga.h"
#include "machine/cirrus_card.h"

namespace checks {
namespace {

struct CirrusRom {
    const char* preset;
    uint16_t version;
};

class CirrusRoms : public ::testing::TestWithParam<CirrusRom> {
protected:
    BootedMachine pc{GetParam().preset};
    const machine::CirrusCard& card() { return dynamic_cast<const machine::CirrusCard&>(pc->card()); }
};

TEST_P(CirrusRoms, BootAndIdentifyTheGd5446)
{
    machine::CpuRegs regs;
    regs.ax = 0x1200;
    regs.bx = 0x0080;
    regs = pc.int10(regs);
    ASSERT_TRUE(pc.lastResult.ok) << pc.lastResult.error;
    EXPECT_EQ(regs.ax & 0xFF, 0x39);
    std::memcpy(pc.buffer(), "VBE2", 4);
    const auto out = pc.vbe(0x4F00);
    EXPECT_EQ(out.ax, 0x004F);
    EXPECT_EQ(pc.word(BUFFER + 4), GetParam().version);
    EXPECT_EQ(pc.word(BUFFER + 18), 64) << "4 MB in 64 KB units";
    const auto picture = pc.picture();
    EXPECT_EQ(picture.width, 720);  // text mode 3 with the ROM's banner
}

TEST_P(CirrusRoms, EveryListedModeIsSetBankedAndLinearAndShowsWhatIsDrawn)
{
    const auto modes = pc.modeList();
    int svgaModes = 0;
    for (uint16_t mode : modes) {
        if (mode < 0x100)
            continue;
        SCOPED_TRACE(::testing::Message() << "mode " << std::hex << mode);
        std::memset(pc.buffer(), 0, 256);
        ASSERT_EQ(pc.vbe(0x4F01, 0, mode).ax, 0x004F);
        const uint32_t pitch = pc.word(BUFFER + 16), width = pc.word(BUFFER + 18), height = pc.word(BUFFER + 20);
        const int bpp = pc.buffer()[25];
        const uint32_t lfbAddress = pc.dword(BUFFER + 40);
        EXPECT_TRUE(pc.word(BUFFER) & 0x80) << "linear framebuffer";
        EXPECT_EQ(lfbAddress, pc->config().lfbAddress);
        ++svgaModes;
        for (bool linear : {false, true}) {
            const auto set = pc.vbe(0x4F02, static_cast<uint16_t>(mode | (linear ? 0x4000 : 0)));
            ASSERT_TRUE(pc.lastResult.ok) << pc.lastResult.error;
            ASSERT_EQ(set.ax, 0x004F) << linear;
            const machine::CirrusGeometry g = card().geometry();
            EXPECT_EQ(g.width, int(width));
            EXPECT_EQ(g.height, int(height));
            EXPECT_EQ(g.pitch, pitch);
            EXPECT_EQ(g.bpp == 15 ? 16 : g.bpp, bpp == 15 ? 16 : bpp);
            EXPECT_TRUE(card().screenOff()) << "both ROMs leave SR01 bit 5 set";
        }
    }
    EXPECT_EQ(svgaModes, 15);
}

// A pattern drawn through the banked window and through the framebuffer BAR gives the same
// picture, once the screen-off bit both ROMs leave set is cleared as a driver would.
TEST_P(CirrusRoms, BankedAndLinearDrawingShowAt8And16Bits)
{
    for (uint16_t mode : {0x101, 0x111}) {
        const int bytesPerPixel = mode == 0x101 ? 1 : 2;
        const uint32_t lineBytes = 640u * bytesPerPixel;
        const auto value = [&](uint32_t x, uint32_t y) { return static_cast<uint8_t>((x * x + y * y) >> 4); };
        std::vector<uint32_t> pictures[2];
        for (bool linear : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "mode " << std::hex << mode << (linear ? " linear" : " banked"));
            ASSERT_EQ(pc.vbe(0x4F02, static_cast<uint16_t>(mode | (linear ? 0x4000 : 0))).ax, 0x004F);
            for (uint32_t y = 0; y < 480; ++y)
                for (uint32_t x = 0; x < lineBytes; ++x) {
                    const uint32_t offset = y * lineBytes + x;
                    if (linear) {
                        pc->writePhys8(pc->config().lfbAddress + offset, value(x, y));
                        continue;
                    }
                    if (offset % 0x4000 == 0 || x == 0)
                        pc.vbe(0x4F05, 0, 0, static_cast<uint16_t>(offset / 0x4000));
                    pc->writePhys8(0xA0000 + offset % 0x4000, value(x, y));
                }
            EXPECT_EQ(pixelAt(pc.picture(), 320, 240), 0u) << "the ROM left the screen off";
            pc->out8(vga::seq::INDEX_PORT, vga::seq::CLOCKING_MODE);
            pc->out8(vga::seq::DATA_PORT,
                     static_cast<uint8_t>(pc->in8(vga::seq::DATA_PORT) & ~vga::seq::CLOCKING_MODE_SCREEN_OFF));
            const auto picture = pc.picture();
            ASSERT_EQ(picture.width, 640);
            ASSERT_EQ(picture.height, 480);
            EXPECT_NE(pixelAt(picture, 320, 240), pixelAt(picture, 321, 240));
            pictures[linear] = picture.pixels;
        }
        EXPECT_EQ(pictures[0], pictures[1]) << std::hex << mode;
    }
}

// 4F07 to line 480 of 640 x 480 x 8: the LGPL ROM programs start 4B000h; SeaVGABIOS puts start
// bits 8-11 (dwords) where bits 16-19 belong, and the picture starts at 30B000h.
TEST_P(CirrusRoms, DisplayStartShowsSeaVgaBiosFault)
{
    ASSERT_EQ(pc.vbe(0x4F02, 0x4101).ax, 0x004F);
    ASSERT_EQ(pc.vbe(0x4F07, 0, 0, 480).ax, 0x004F);
    const uint64_t expected = GetParam().version == 0x0200 ? 640u * 480 : 4u * (0x2C00 | 0x40000 | 0x80000);
    EXPECT_EQ(card().geometry().start, expected);
}

TEST_P(CirrusRoms, CursorSetThroughItsRegistersShowsOverTheMode)
{
    ASSERT_EQ(pc.vbe(0x4F02, 0x4101).ax, 0x004F);
    pc->out8(vga::seq::INDEX_PORT, vga::seq::CLOCKING_MODE);
    pc->out8(vga::seq::DATA_PORT,
             static_cast<uint8_t>(pc->in8(vga::seq::DATA_PORT) & ~vga::seq::CLOCKING_MODE_SCREEN_OFF));
    const uint32_t pattern = pc->config().lfbAddress + (4u << 20) - 256;  // slot 3Fh
    for (int row = 0; row < 32; ++row)
        for (int i = 0; i < 4; ++i) {
            pc->writePhys8(pattern + row * 4 + i, 0xFF);        // plane 0
            pc->writePhys8(pattern + 128 + row * 4 + i, 0xFF);  // plane 1: foreground everywhere
        }
    const auto sr = [&](uint8_t index, uint8_t value) {
        pc->out8(vga::seq::INDEX_PORT, index), pc->out8(vga::seq::DATA_PORT, value);
    };
    sr(cirrus::seq::CURSOR_ATTRIBUTES, cirrus::seq::CURSOR_ATTRIBUTES_DAC_ACCESS);
    pc->out8(vga::dac::WRITE_INDEX_PORT, cirrus::cursor::FOREGROUND_ENTRY);
    pc->out8(vga::dac::DATA_PORT, 0x3F), pc->out8(vga::dac::DATA_PORT, 0x3F), pc->out8(vga::dac::DATA_PORT, 0x00);
    sr(cirrus::seq::CURSOR_ATTRIBUTES, cirrus::seq::CURSOR_ATTRIBUTES_SHOW);
    sr(cirrus::seq::CURSOR_PATTERN, 0x3F);
    sr(cirrus::seq::CURSOR_X, 200 / 8);
    sr(cirrus::seq::CURSOR_Y, 160 / 8);
    const auto picture = pc.picture();
    EXPECT_EQ(pixelAt(picture, 200, 160), 0xFFFF00u);
    EXPECT_EQ(pixelAt(picture, 231, 191), 0xFFFF00u);
    EXPECT_NE(pixelAt(picture, 232, 191), 0xFFFF00u);
}

TEST_P(CirrusRoms, IoLogShowsTheRomsModeSet)
{
    std::vector<std::string> lines;
    pc->setIoLog([&](const std::string& line) { lines.push_back(line); });
    ASSERT_EQ(pc.vbe(0x4F02, 0x4111).ax, 0x004F);
    pc->setIoLog(nullptr);
    const auto logged = [&](const std::string& text) {
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    };
    // SR07 = 17h (16 bits) and the HDR E1h, by byte or by word as each ROM writes them.
    EXPECT_TRUE(logged("port write 03C4 word 1707") || logged("port write 03C5 byte 17"));
    EXPECT_TRUE(logged("port write 03C6 byte E1"));
    EXPECT_TRUE(logged("port write 03D4 word A013") || logged("port write 03D5 byte A0")) << "CR13";
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("mmio", 0) == 0; }),
              0);
}

// The whole configuration space of 00:02.0 as a guest reads it with CF8h/CFCh after the ROM's
// start-up, against what a boot probe read on QEMU 7.2's cirrus-vga after SeaBIOS (under both
// ROMs alike). Only the BARs differ: SeaBIOS put BAR 0 at FC000000h, the machine at its `lfb`.
TEST_P(CirrusRoms, PciConfigurationSpaceReadsAsQemusAfterTheBios)
{
    constexpr uint16_t CODE_SEGMENT = 0x5000;
    const uint8_t code[] = {0x66, 0xBB, 0x00, 0x10, 0x00, 0x80,  // mov ebx, 80001000h: 00:02.0, register 0
                            0x66, 0x89, 0xD8,                    // again: mov eax, ebx
                            0xBA, 0xF8, 0x0C, 0x66, 0xEF,        // mov dx, 0CF8h ; out dx, eax
                            0xB2, 0xFC, 0x66, 0xED,              // mov dl, 0FCh ; in eax, dx
                            0x66, 0xAB,                          // stosd
                            0x80, 0xC3, 0x04, 0x75, 0xED,        // add bl, 4 ; jnz again
                            0xCB};                               // retf
    std::memcpy(pc->memory() + CODE_SEGMENT * 16u, code, sizeof code);
    machine::CpuRegs regs;
    regs.es = BUFFER_SEGMENT;
    const auto result = pc->farCall(CODE_SEGMENT, 0, regs);
    ASSERT_TRUE(result.ok) << result.error;

    const uint32_t bar0 = pc->config().lfbAddress;
    std::vector<uint32_t> expected(64, 0);
    expected[0x00 / 4] = 0x00B81013;  // Cirrus Logic CL-GD5446
    expected[0x04 / 4] = 0x00000103;  // I/O, memory and SERR on; status 0
    expected[0x08 / 4] = 0x03000000;  // VGA-compatible display controller, revision 0
    expected[0x10 / 4] = bar0 | 0x8;  // 32 MB, prefetchable
    expected[0x14 / 4] = bar0 + cirrus::bar::FRAMEBUFFER_BYTES;
    expected[0x2C / 4] = 0x11001AF4;                                                      // subsystem 1AF4:1100
    expected[0x30 / 4] = bar0 + cirrus::bar::FRAMEBUFFER_BYTES + cirrus::bar::ROM_BYTES;  // disabled
    for (uint32_t reg = 0; reg < 256; reg += 4)
        EXPECT_EQ(pc.dword(BUFFER + reg), expected[reg / 4]) << "register " << std::hex << reg;
}

INSTANTIATE_TEST_SUITE_P(BothRoms, CirrusRoms,
                         ::testing::Values(CirrusRom{"cirrus", 0x0200}, CirrusRom{"cirrus-seavgabios", 0x0300}),
                         [](const auto& info) {
                             return info.index == 0 ? std::string("Lgpl") : std::string("SeaVgaBios");
                         });

}  // namespace
}  // namespace checks
