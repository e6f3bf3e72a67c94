// The card on its own, driven through its registers as a BIOS or driver would.
#include <gtest/gtest.h>

#include "hw/dispi.h"
#include "hw/palisade_ext.h"
#include "hw/vga.h"
#include "machine/dispi_card.h"
#include "machine/scan_out.h"

namespace checks {
namespace {

using machine::DispiCard;

struct Card {
    explicit Card(uint32_t memory = 1024 * 1024, uint32_t accel = palisade_ext::ACCEL_CAPS_ALL,
                  machine::WideDac wideDac = machine::WideDac::Works)
        : card(
              memory, true, accel, 60, [this] { return now; }, wideDac)
    {
    }

    void dispi(uint16_t index, uint16_t value)
    {
        card.out16(dispi::INDEX_PORT, index);
        card.out16(dispi::DATA_PORT, value);
    }
    uint16_t dispi(uint16_t index)
    {
        card.out16(dispi::INDEX_PORT, index);
        return card.in16(dispi::DATA_PORT);
    }
    void mode(uint16_t width, uint16_t height, uint16_t bpp, uint16_t flags = dispi::ENABLE_LFB)
    {
        dispi(dispi::ENABLE, 0);
        dispi(dispi::XRES, width);
        dispi(dispi::YRES, height);
        dispi(dispi::BPP, bpp);
        dispi(dispi::ENABLE, static_cast<uint16_t>(dispi::ENABLE_ON | flags));
    }
    void dac(uint8_t index, uint8_t red, uint8_t green, uint8_t blue)
    {
        card.out8(vga::dac::WRITE_INDEX_PORT, index);
        card.out8(vga::dac::DATA_PORT, red);
        card.out8(vga::dac::DATA_PORT, green);
        card.out8(vga::dac::DATA_PORT, blue);
    }
    machine::Picture picture()
    {
        machine::Picture p;
        machine::scanOut(card, p);
        return p;
    }
    uint32_t pixel(int x, int y)
    {
        const auto p = picture();
        return p.pixels.at(static_cast<size_t>(y) * p.width + x);
    }

    uint64_t now = 0;
    DispiCard card;
};

TEST(Card, ModeThatDoesNotFitIsRefusedWhole)
{
    Card c;  // 1 MB
    c.mode(640, 480, 8);
    ASSERT_TRUE(c.card.dispiEnabled());
    c.card.videoMemory()[5] = 7;
    c.dispi(dispi::ENABLE, 0);
    struct Case {
        uint16_t width, height, bpp;
        bool fits;
    };
    for (const Case& m :
         {Case{1024, 768, 8, true}, Case{1024, 768, 16, false}, Case{800, 600, 32, false}, Case{640, 480, 24, true},
          Case{640, 480, 7, false}, Case{0, 480, 8, false}, Case{3000, 8, 8, false}}) {
        c.card.videoMemory()[5] = 7;
        c.mode(m.width, m.height, m.bpp, dispi::ENABLE_LFB | dispi::ENABLE_NO_CLEAR_MEM);
        EXPECT_EQ(c.card.dispiEnabled(), m.fits) << m.width << "x" << m.height << "x" << m.bpp;
        if (m.fits) {
            EXPECT_EQ(c.dispi(dispi::XRES), m.width);
            EXPECT_EQ(c.card.videoMemory()[5], 7) << "no-clear kept memory";
        } else {
            EXPECT_EQ(c.dispi(dispi::ENABLE) & dispi::ENABLE_ON, 0);
        }
        c.dispi(dispi::ENABLE, 0);
    }
    c.mode(640, 480, 8);
    EXPECT_EQ(c.card.videoMemory()[5], 0) << "a plain enable clears memory";
}

TEST(Card, BankRegisterDecodesTheReadAndWriteFlags)
{
    Card c;
    c.mode(640, 480, 8);
    c.dispi(dispi::BANK, 3);
    c.card.writeWindow(0xA0000, 0x11);
    EXPECT_EQ(c.card.videoMemory()[3 * 0x10000], 0x11);
    c.dispi(dispi::BANK, dispi::BANK_WRITE_ONLY | 5);
    EXPECT_EQ(c.dispi(dispi::BANK), 5);
    c.card.writeWindow(0xA0001, 0x22);
    EXPECT_EQ(c.card.videoMemory()[5 * 0x10000 + 1], 0x22);
    EXPECT_EQ(c.card.readWindow(0xA0000), 0x11) << "reads still from bank 3";
    c.dispi(dispi::BANK, dispi::BANK_READ_ONLY | 5);
    EXPECT_EQ(c.card.readWindow(0xA0001), 0x22);
    c.dispi(dispi::BANK, 16);  // beyond 1 MB: refused, so the read-back differs
    EXPECT_EQ(c.dispi(dispi::BANK), 5);
}

TEST(Card, VirtualWidthAndOffsetsMoveThePicture)
{
    Card c;
    c.mode(320, 200, 8);
    c.dac(1, 63, 0, 0);
    c.dispi(dispi::VIRT_WIDTH, 400);
    EXPECT_EQ(c.dispi(dispi::VIRT_HEIGHT), 1024 * 1024 / 400);
    c.dispi(dispi::VIRT_WIDTH, 100);  // narrower than the mode: the mode's width
    EXPECT_EQ(c.dispi(dispi::VIRT_WIDTH), 320);
    c.dispi(dispi::VIRT_WIDTH, 400);
    c.card.videoMemory()[10 * 400 + 350] = 1;
    EXPECT_EQ(c.pixel(0, 0), 0u);
    c.dispi(dispi::X_OFFSET, 350);
    c.dispi(dispi::Y_OFFSET, 10);
    EXPECT_EQ(c.pixel(0, 0), 0xFF0000u);
}

TEST(Card, DirectColourDepthsShowTheirComponents)
{
    struct Case {
        uint16_t bpp;
        std::vector<uint8_t> bytes;
        uint32_t colour;
    };
    // Pure components, and mixed ones whose green straddles the two bytes.
    for (const Case& m : {Case{15, {0x1F, 0x7C}, 0xFF00FF}, Case{16, {0xE0, 0x07}, 0x00FF00},
                          Case{15, {0x5A, 0x5A}, 0xB594D6}, Case{16, {0x34, 0x12}, 0x1045A5},
                          Case{24, {0x30, 0x20, 0x10}, 0x102030}, Case{32, {0x01, 0x02, 0x03, 0xFF}, 0x030201}}) {
        Card c;
        c.mode(64, 8, m.bpp);
        const uint32_t at = 3 * 64 * ((m.bpp + 7) / 8) + 5 * ((m.bpp + 7) / 8);
        std::copy(m.bytes.begin(), m.bytes.end(), c.card.videoMemory() + at);
        EXPECT_EQ(c.pixel(5, 3), m.colour) << m.bpp;
        EXPECT_EQ(c.picture().bitsPerPixel, m.bpp);
    }
}

TEST(Card, SixBitDacUsesOnlyTheLowBitsItWasGiven)
{
    Card c;
    c.mode(64, 8, 8);
    c.dac(9, 0xFF, 0x40, 0x20);
    c.card.videoMemory()[0] = 9;
    EXPECT_EQ(c.pixel(0, 0), 0xFF0082u);
    c.card.out8(vga::dac::READ_INDEX_PORT, 9);
    EXPECT_EQ(c.card.in8(vga::dac::DATA_PORT), 0x3F) << "a 6-bit DAC reads back 6 bits";
    c.dispi(dispi::ENABLE, dispi::ENABLE_ON | dispi::ENABLE_LFB | dispi::ENABLE_DAC_8BIT | dispi::ENABLE_NO_CLEAR_MEM);
    EXPECT_EQ(c.pixel(0, 0), 0xFF4020u);
    c.card.out8(vga::dac::PIXEL_MASK_PORT, 0x01);  // pixel mask
    EXPECT_EQ(c.pixel(0, 0), 0u) << "index 9 masked to 1, which is black";
}

// The 8-bit switch as each kind of card takes it: what ENABLE reads back, and what the DAC
// then makes of a palette entry loaded with 8-bit values.
TEST(Card, EightBitDacSwitchWorksIsIgnoredOrIsRefused)
{
    struct Case {
        machine::WideDac wideDac;
        bool readsBackSet;
        int bits;
        uint32_t colour;   // entry 0xFF, 0x80, 0x3F on the monitor
        uint8_t readBack;  // its red as 3C9h gives it back
    };
    for (const Case k : {Case{machine::WideDac::Works, true, 8, 0xFF803Fu, 0xFF},
                         Case{machine::WideDac::Ignored, true, 6, 0xFF00FFu, 0x3F},
                         Case{machine::WideDac::Refused, false, 6, 0xFF00FFu, 0x3F}}) {
        SCOPED_TRACE(static_cast<int>(k.wideDac));
        Card c(1024 * 1024, 0, k.wideDac);
        c.mode(64, 8, 8, dispi::ENABLE_LFB | dispi::ENABLE_DAC_8BIT);
        EXPECT_EQ((c.dispi(dispi::ENABLE) & dispi::ENABLE_DAC_8BIT) != 0, k.readsBackSet) << "set with the mode";
        c.dispi(dispi::ENABLE, dispi::ENABLE_ON | dispi::ENABLE_LFB | dispi::ENABLE_NO_CLEAR_MEM);
        c.dispi(dispi::ENABLE,
                dispi::ENABLE_ON | dispi::ENABLE_LFB | dispi::ENABLE_DAC_8BIT | dispi::ENABLE_NO_CLEAR_MEM);
        EXPECT_EQ((c.dispi(dispi::ENABLE) & dispi::ENABLE_DAC_8BIT) != 0, k.readsBackSet) << "set in the mode";
        EXPECT_EQ(c.card.dacBits(), k.bits);
        c.dac(9, 0xFF, 0x80, 0x3F);
        c.card.videoMemory()[0] = 9;
        EXPECT_EQ(c.pixel(0, 0), k.colour);
        c.card.out8(vga::dac::READ_INDEX_PORT, 9);
        EXPECT_EQ(c.card.in8(vga::dac::DATA_PORT), k.readBack);
    }
}

TEST(Card, HardwareCursorIsDrawnOverThePictureAtItsHotSpot)
{
    Card c;
    c.mode(64, 64, 32);
    std::fill(reinterpret_cast<uint32_t*>(c.card.videoMemory()),
              reinterpret_cast<uint32_t*>(c.card.videoMemory()) + 64 * 64, 0x123456u);
    c.dispi(palisade_ext::CURSOR_IMAGE_INDEX, 0);
    for (int word = 0; word < 128; ++word) {
        uint16_t bits = 0;
        if (word < 64 && word / 2 == 0)
            bits = 0xC000;  // first mask: row 0, pixels 0 and 1
        if (word >= 64 && (word - 64) / 2 <= 1 && (word % 2) == 0)
            bits = 0xE000;  // second: rows 0-1, pixels 0-2
        c.dispi(palisade_ext::CURSOR_IMAGE_DATA, bits);
    }
    c.dispi(palisade_ext::CURSOR_COLOR_RG, 0xFF80);
    c.dispi(palisade_ext::CURSOR_COLOR_B, 0x40);
    c.dispi(palisade_ext::CURSOR_HOTSPOT, 0x0101);
    c.dispi(palisade_ext::CURSOR_X, 11);
    c.dispi(palisade_ext::CURSOR_Y, 21);
    EXPECT_EQ(c.pixel(10, 20), 0x123456u) << "hidden";
    c.dispi(palisade_ext::CURSOR_CONTROL, 1);
    const struct {
        int x, y;
        uint32_t colour;
    } expected[] = {{10, 20, 0xFF8040}, {11, 20, 0xFF8040}, {12, 20, 0x000000}, {13, 20, 0x123456},
                    {10, 21, 0x000000}, {12, 21, 0x000000}, {10, 22, 0x123456}, {9, 20, 0x123456}};
    for (const auto& e : expected)
        EXPECT_EQ(c.pixel(e.x, e.y), e.colour) << e.x << "," << e.y;
    c.dispi(palisade_ext::CURSOR_X, -1);  // partly off the picture
    EXPECT_EQ(c.pixel(0, 20), 0x000000u);
}

TEST(Card, AcceleratorCapabilitiesAndIdentity)
{
    Card full;
    EXPECT_EQ(full.dispi(palisade_ext::ACCEL_CAPS), palisade_ext::ACCEL_CAPS_ALL);
    Card none(1024 * 1024, 0);
    EXPECT_EQ(none.dispi(palisade_ext::ACCEL_CAPS), 0);
    full.dispi(dispi::ID, dispi::ID_LATEST);
    EXPECT_EQ(full.dispi(dispi::ID), dispi::ID_LATEST);
    EXPECT_EQ(full.dispi(dispi::VIDEO_MEMORY_64K), 16);
    DispiCard plain(256 * 1024, false, 0, 60, [] { return uint64_t{0}; });
    plain.out16(dispi::INDEX_PORT, dispi::ID);
    EXPECT_EQ(plain.in16(dispi::DATA_PORT), 0xFFFF) << "no DISPI: nothing answers";
}

TEST(Card, RetraceBitFollowsTheClock)
{
    Card c;
    const uint64_t frame = 1'000'000 / 60;
    const struct {
        uint64_t at;
        bool retrace;
    } cases[] = {{0, false},        {frame / 2, false},  {frame - 40, true},
                 {frame - 1, true}, {frame + 10, false}, {2 * frame - 20, true}};
    for (const auto& e : cases) {
        c.now = e.at;
        EXPECT_EQ((c.card.in8(vga::status1::PORT) & vga::status1::VERTICAL_RETRACE) != 0, e.retrace) << e.at;
    }
}

}  // namespace
}  // namespace checks
