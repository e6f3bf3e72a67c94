// 4-bit planar drawing through the VGA's planes, as a program draws mode 12h and the
// DISPI 4-bit modes, and what the monitor then shows.
#include <gtest/gtest.h>

#include "checks/machine/machine_fixture.h"
#include "hw/vga.h"

namespace checks {
namespace {

constexpr uint32_t BLACK = 0x000000, BLUE = 0x0000AA, GREEN = 0x00AA00, RED = 0xAA0000, YELLOW = 0xFFFF55;

using namespace vga::gc;

void graphics(machine::Machine& pc, uint8_t index, uint8_t value)
{
    pc.out16(INDEX_PORT, static_cast<uint16_t>(index | (value << 8)));
}

// Draws four 8-pixel groups on the line that starts at `line` using write modes 2, 2 with a
// bit mask, 0 with set/reset, and 3; then checks them in the picture.
void drawAndCheck(BootedMachine& pc, uint32_t lineBytes, int row)
{
    machine::Machine& m = *pc;
    const uint32_t at = vga::WINDOW_START + lineBytes * static_cast<uint32_t>(row);
    m.out16(vga::seq::INDEX_PORT, vga::seq::MAP_MASK | vga::seq::MAP_MASK_PLANES << 8);  // all planes
    graphics(m, DATA_ROTATE, FUNCTION_REPLACE);                                          // no rotate, replace
    graphics(m, MODE, 2);  // write mode 2: the byte is a colour
    graphics(m, BIT_MASK, 0xFF);
    m.writePhys8(at, 4);
    m.writePhys8(at + 1, 0);
    (void)m.readPhys8(at + 1);  // latch
    graphics(m, BIT_MASK, 0xF0);
    m.writePhys8(at + 1, 1);
    graphics(m, MODE, 0);  // write mode 0 with set/reset on all planes
    graphics(m, SET_RESET, 14);
    graphics(m, ENABLE_SET_RESET, 0x0F);
    graphics(m, BIT_MASK, 0xFF);
    m.writePhys8(at + 2, 0);
    graphics(m, ENABLE_SET_RESET, 0x00);
    graphics(m, MODE, 3);  // write mode 3: set/reset colour through the written byte as mask
    graphics(m, SET_RESET, 2);
    m.writePhys8(at + 3, 0);
    (void)m.readPhys8(at + 3);
    m.writePhys8(at + 3, 0x0F);
    graphics(m, MODE, 0);

    const auto picture = pc.picture();
    const std::vector<std::pair<int, uint32_t>> expected = {
        {0, RED},     {7, RED},    {8, BLUE},   {11, BLUE},  {12, BLACK}, {15, BLACK}, {16, YELLOW},
        {23, YELLOW}, {24, BLACK}, {27, BLACK}, {28, GREEN}, {31, GREEN}, {32, BLACK}};
    for (const auto& [x, colour] : expected)
        EXPECT_EQ(pixelAt(picture, x, row), colour) << "x " << x;

    // Read mode 1 compares all four planes with a colour.
    graphics(m, COLOR_COMPARE, 4);
    graphics(m, COLOR_DONT_CARE, 0x0F);
    graphics(m, MODE, MODE_READ_COMPARE);
    EXPECT_EQ(m.readPhys8(at), 0xFF);
    EXPECT_EQ(m.readPhys8(at + 1), 0x00);
    graphics(m, MODE, 0);
}

class Planar : public ::testing::TestWithParam<const char*> {};

TEST_P(Planar, VgaMode12hShowsWhatTheWriteModesDraw)
{
    BootedMachine pc(GetParam());
    machine::CpuRegs regs;
    regs.ax = 0x0012;
    pc.int10(regs);
    ASSERT_TRUE(pc.lastResult.ok) << pc.lastResult.error;
    const auto picture = pc.picture();
    ASSERT_EQ(picture.width, 640);
    ASSERT_EQ(picture.height, 480);
    EXPECT_EQ(picture.bitsPerPixel, 4);
    drawAndCheck(pc, 80, 7);
}

TEST_P(Planar, DispiFourBitModeShowsWhatTheWriteModesDraw)
{
    BootedMachine pc(GetParam());
    const auto out = pc.vbe(0x4F02, 0x0102);
    ASSERT_EQ(out.ax, 0x004F);
    const auto picture = pc.picture();
    ASSERT_EQ(picture.width, 800);
    ASSERT_EQ(picture.height, 600);
    EXPECT_EQ(picture.bitsPerPixel, 4);
    drawAndCheck(pc, 100, 3);
}

INSTANTIATE_TEST_SUITE_P(Roms, Planar, ::testing::Values("default", "seavgabios"));

TEST(Vga, Mode13hIsA320By200ChainFourPicture)
{
    BootedMachine pc("default");
    machine::CpuRegs regs;
    regs.ax = 0x0013;
    pc.int10(regs);
    pc->writePhys8(vga::WINDOW_START + 199 * 320 + 319, 4);
    const auto picture = pc.picture();
    ASSERT_EQ(picture.width, 320);
    ASSERT_EQ(picture.height, 200);
    EXPECT_EQ(picture.bitsPerPixel, 8);
    EXPECT_EQ(pixelAt(picture, 319, 199), RED);
}

}  // namespace
}  // namespace checks
