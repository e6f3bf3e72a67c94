// QEMU's VGA display start: an x offset named as a departure exactly when its byte is not a
// multiple of 4, with the pixel QEMU shows from.
#include <gtest/gtest.h>

#include "qemu_pc/dispi_departures.h"

namespace {

TEST(DispiDepartures, AnXOffsetOffAFourByteBoundaryIsNamedWithThePixelShown)
{
    struct Case {
        uint32_t xOffset, bitsPerPixel;
        const char* shownFrom;  // null: shown as asked
    };
    const Case cases[] = {
        {497, 8, "pixel 496"}, {496, 8, nullptr},  {3, 8, "pixel 0"}, {63, 16, "pixel 62"},
        {64, 16, nullptr},     {5, 24, "pixel 4"}, {4, 24, nullptr},  {7, 32, nullptr},
        {0, 8, nullptr},       {3, 4, nullptr},  // planar modes have no DISPI byte start
    };
    for (const Case& c : cases) {
        const std::string words = qemu_pc::dispiStartDeparture(c.xOffset, c.bitsPerPixel);
        if (!c.shownFrom) {
            EXPECT_EQ(words, "") << c.xOffset << " at " << c.bitsPerPixel;
            continue;
        }
        EXPECT_NE(words.find("x offset " + std::to_string(c.xOffset) + " at " + std::to_string(c.bitsPerPixel) +
                             " bits shows from " + c.shownFrom),
                  std::string::npos)
            << words;
    }
}

}  // namespace
