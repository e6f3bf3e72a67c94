#include <gtest/gtest.h>

#include "display/palette.h"

using namespace display;

namespace {

struct Rgb {
    int index, red, green, blue;
};

// Known entries of the VGA default palette, in 8-bit intensities.
TEST(DefaultPalette, HoldsTheVgaColours)
{
    const Rgb known[] = {
        {0, 0, 0, 0},           {1, 0, 0, 0xAA},        {6, 0xAA, 0x55, 0},      {7, 0xAA, 0xAA, 0xAA},
        {9, 0x55, 0x55, 0xFF},  {15, 0xFF, 0xFF, 0xFF}, {16, 0, 0, 0},           {31, 0xFF, 0xFF, 0xFF},
        {32, 0, 0, 0xFF},       {40, 0xFF, 0, 0},       {48, 0, 0xFF, 0},        {55, 0, 0x41, 0xFF},
        {56, 0x7D, 0x7D, 0xFF}, {104, 0, 0, 0x71},      {247, 0x2C, 0x30, 0x41}, {248, 0, 0, 0},
        {255, 0, 0, 0},
    };
    const PaletteEntry* p = defaultPalette();
    for (const auto& k : known) {
        SCOPED_TRACE(k.index);
        EXPECT_EQ(p[k.index].red, k.red);
        EXPECT_EQ(p[k.index].green, k.green);
        EXPECT_EQ(p[k.index].blue, k.blue);
    }
}

TEST(DacScaling, SixBitDacTakesTheTopBits)
{
    const int cases[][3] = {{255, 6, 63}, {252, 6, 63}, {4, 6, 1}, {3, 6, 0}, {255, 8, 255}, {4, 8, 4}, {128, 6, 32}};
    for (const auto& c : cases)
        EXPECT_EQ(scaleToDac(uint8_t(c[0]), c[1]), c[2]) << c[0] << " at " << c[1] << " bits";
}

TEST(NearestColour, FindsTheClosestDefaultEntry)
{
    EXPECT_EQ(nearestDefaultColor(255, 255, 255, 16), 15u);
    EXPECT_EQ(nearestDefaultColor(0, 0, 0, 256), 0u);
    EXPECT_EQ(nearestDefaultColor(250, 10, 5, 256), 40u);
    EXPECT_EQ(nearestDefaultColor(250, 10, 5, 16), 4u);
}

}  // namespace
