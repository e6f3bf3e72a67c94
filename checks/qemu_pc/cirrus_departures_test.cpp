// QEMU's cirrus-vga departures as the host's BitBLT register writes meet them: only a colour
// expansion from system memory with dword-padded rows is named, once, until video memory is
// cleared, and registers the BIOS may have changed are not guessed.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "hw/cirrus.h"
#include "qemu_pc/cirrus_departures.h"

namespace {

using namespace cirrus;
using qemu_pc::CirrusDepartures;
using Writes = std::vector<std::pair<uint8_t, uint8_t>>;

constexpr uint8_t EXPAND_FROM_SYSTEM = gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_SRC_SYSTEM;

TEST(CirrusDepartures, OnlyDwordPaddedColourExpansionFromSystemMemoryIsNamed)
{
    struct Case {
        const char* what;
        Writes writes;
        bool named;
    };
    const Case cases[] = {
        {"mono image, dword rows, started",
         {{gc::BLT_MODE, EXPAND_FROM_SYSTEM},
          {gc::BLT_MODE_EXTENSION, gc::BLT_MODE_EXTENSION_DWORD_ROWS},
          {gc::BLT_STATUS, gc::BLT_STATUS_START}},
         true},
        {"mono image, dword rows, autostarted by the destination's top byte",
         {{gc::BLT_STATUS, gc::BLT_STATUS_AUTOSTART},
          {gc::BLT_MODE, EXPAND_FROM_SYSTEM},
          {gc::BLT_MODE_EXTENSION, gc::BLT_MODE_EXTENSION_DWORD_ROWS},
          {gc::BLT_DST_ADDRESS + 2, 0}},
         true},
        {"mono image, dword rows, not started",
         {{gc::BLT_MODE, EXPAND_FROM_SYSTEM}, {gc::BLT_MODE_EXTENSION, gc::BLT_MODE_EXTENSION_DWORD_ROWS}},
         false},
        {"mono image, byte rows",
         {{gc::BLT_MODE, EXPAND_FROM_SYSTEM}, {gc::BLT_MODE_EXTENSION, 0}, {gc::BLT_STATUS, gc::BLT_STATUS_START}},
         false},
        {"mono pattern from system memory",
         {{gc::BLT_MODE, EXPAND_FROM_SYSTEM | gc::BLT_MODE_PATTERN},
          {gc::BLT_MODE_EXTENSION, gc::BLT_MODE_EXTENSION_DWORD_ROWS},
          {gc::BLT_STATUS, gc::BLT_STATUS_START}},
         false},
        {"solid fill",
         {{gc::BLT_MODE, gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN},
          {gc::BLT_MODE_EXTENSION, gc::BLT_MODE_EXTENSION_SOLID_FILL},
          {gc::BLT_STATUS, gc::BLT_STATUS_START}},
         false},
        {"screen copy",
         {{gc::BLT_MODE, 0}, {gc::BLT_MODE_EXTENSION, 0}, {gc::BLT_STATUS, gc::BLT_STATUS_START}},
         false},
    };
    for (const Case& c : cases) {
        CirrusDepartures departures;
        for (const auto& [index, value] : c.writes)
            departures.graphicsWrite(index, value);
        EXPECT_EQ(departures.met().size(), c.named ? 1u : 0u) << c.what;
        if (c.named) {
            EXPECT_NE(departures.met().front().find("GR33 bit 0"), std::string::npos) << departures.met().front();
        }
    }
}

TEST(CirrusDepartures, NamedOnceUntilVideoMemoryIsClearedAndNeverFromRegistersTheBiosMayHaveChanged)
{
    const Writes image = {{gc::BLT_MODE, EXPAND_FROM_SYSTEM},
                          {gc::BLT_MODE_EXTENSION, gc::BLT_MODE_EXTENSION_DWORD_ROWS},
                          {gc::BLT_STATUS, gc::BLT_STATUS_START}};
    CirrusDepartures departures;
    for (int times = 0; times < 3; ++times)
        for (const auto& [index, value] : image)
            departures.graphicsWrite(index, value);
    EXPECT_EQ(departures.met().size(), 1u);
    departures.videoMemoryCleared();
    EXPECT_TRUE(departures.met().empty());

    // After a call the mode registers are unknown: a start alone names nothing.
    for (const auto& [index, value] : image)
        departures.graphicsWrite(index, value);
    departures.videoMemoryCleared();
    departures.forgetRegisters();
    departures.graphicsWrite(gc::BLT_STATUS, gc::BLT_STATUS_START);
    EXPECT_TRUE(departures.met().empty());
}

}  // namespace
