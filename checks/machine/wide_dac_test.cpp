// The 8-bit DAC switch (VBE 4F08) on cards whose switch works, is ignored or is refused,
// through both VGA BIOS ROMs and through a resident Kestrel driver: what the call reports,
// and what the monitor shows of a palette loaded with 8-bit values.
#include <gtest/gtest.h>

#include "checks/machine/machine_fixture.h"
#include "hw/vga.h"
#include "kestrel/resident.h"
#include "machine/card.h"

namespace checks {
namespace {

using machine::WideDac;

struct SwitchCase {
    const char* name;
    const char* preset;  // the BIOS beneath
    bool kestrel;
    WideDac wideDac;
    uint8_t reported;  // BH after 4F08 BX=0800h, and after BX=0001h
    uint32_t colour;   // entry 0xFF, 0x80, 0x3F on the monitor
};

class WideDacSwitch : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(WideDacSwitch, ReportsTheWidthTheCardTookAndShowsWhatItsDacMakesOfIt)
{
    const SwitchCase& c = GetParam();
    machine::MachineConfig config = machine::presetConfig(c.preset);
    config.wideDac = c.wideDac;
    BootedMachine pc(config);
    if (c.kestrel)
        kestrel::installResident(*pc);

    auto out = pc.vbe(0x4F02, 0x4101);
    ASSERT_TRUE(pc.lastResult.ok) << pc.lastResult.error;
    ASSERT_EQ(out.ax, 0x004F);
    out = pc.vbe(0x4F08, 0x0800);
    ASSERT_TRUE(pc.lastResult.ok) << pc.lastResult.error;
    EXPECT_EQ(out.ax, 0x004F);
    EXPECT_EQ(out.bx >> 8, c.reported) << "set";
    out = pc.vbe(0x4F08, 0x0001);
    EXPECT_EQ(out.ax, 0x004F);
    EXPECT_EQ(out.bx >> 8, c.reported) << "get";

    pc->out8(vga::dac::WRITE_INDEX_PORT, 200);
    for (uint8_t component : {0xFF, 0x80, 0x3F})
        pc->out8(vga::dac::DATA_PORT, component);
    pc->lfb()[0] = 200;
    EXPECT_EQ(pixelAt(pc.picture(), 0, 0), c.colour);

    out = pc.vbe(0x4F08, 0x0600);
    EXPECT_EQ(out.ax, 0x004F);
    EXPECT_EQ(out.bx >> 8, 6) << "back to 6 bits";
    EXPECT_EQ(pc->card().vga().dac.bits, 6);
}

// A 6-bit DAC keeps the low 6 bits: 0x80 is black, 0xFF and 0x3F full.
INSTANTIATE_TEST_SUITE_P(
    Cards, WideDacSwitch,
    ::testing::Values(SwitchCase{"BochsWorks", "noaccel", false, WideDac::Works, 8, 0xFF803Fu},
                      SwitchCase{"BochsIgnored", "noaccel", false, WideDac::Ignored, 8, 0xFF00FFu},
                      SwitchCase{"BochsRefused", "noaccel", false, WideDac::Refused, 6, 0xFF00FFu},
                      SwitchCase{"SeaVgaBiosIgnored", "seavgabios", false, WideDac::Ignored, 8, 0xFF00FFu},
                      SwitchCase{"SeaVgaBiosRefused", "seavgabios", false, WideDac::Refused, 6, 0xFF00FFu},
                      SwitchCase{"KestrelWorks", "noaccel", true, WideDac::Works, 8, 0xFF803Fu},
                      SwitchCase{"KestrelIgnored", "noaccel", true, WideDac::Ignored, 8, 0xFF00FFu},
                      SwitchCase{"KestrelRefused", "noaccel", true, WideDac::Refused, 6, 0xFF00FFu}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace checks
