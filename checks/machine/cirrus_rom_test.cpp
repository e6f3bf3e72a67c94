// Both Cirrus VGA BIOS ROMs on the GD5446 model: they boot, identify the chip, list their modes
// and set every one, banked and linear, as the pictures show.
#include <gtest/gtest.h>

#include <algorithm>

#include "checks/machine/machine_fixture.h"
#include "hw/cirrus.h"
#include "machine/cirrus_card.h"
#include "machine/svga_card.h"

namespace checks {
namespace {

struct CirrusRom {
    const char* preset;
    uint16_t version;
};

class CirrusRoms : public ::testing::TestWithParam<CirrusRom> {
protected:
    BootedMachine pc{GetParam().preset};
    const machine::CirrusCard& card() { return *pc->cirrusCard(); }
};

TEST_P(CirrusRoms, BootAndIdentifyTheGd5446) {
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

TEST_P(CirrusRoms, EveryListedModeIsSetBankedAndLinearAndShowsWhatIsDrawn) {
    const auto modes = pc.modeList();
    int svgaModes = 0;
    for (uint16_t mode : modes) {
        if (mode < 0x100) continue;
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

INSTANTIATE_TEST_SUITE_P(BothRoms, CirrusRoms,
                         ::testing::Values(CirrusRom{"cirrus", 0x0200}, CirrusRom{"cirrus-seavgabios", 0x0300}),
                         [](const auto& info) { return info.index == 0 ? std::string("Lgpl") : std::string("SeaVgaBios"); });

}  // namespace
}  // namespace checks
