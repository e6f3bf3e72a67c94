// The GD5446 on its own, driven through its ports and memory windows as its ROMs and drivers
// drive it; the facts checked are those measured on the chip's emulation with both ROMs.
#include <gtest/gtest.h>

#include <cstring>

#include "hw/cirrus.h"
#include "hw/vga.h"
#include "machine/cirrus_card.h"
#include "machine/scan_out.h"

namespace checks {
namespace {

using namespace cirrus;

struct Gd5446 {
    Gd5446() : card(4u << 20, 60, [this] { return now; }) { sr(seq::UNLOCK, UNLOCK_PROBE); }

    static constexpr uint8_t UNLOCK_PROBE = 0x92;  // what both ROMs write
    void sr(uint8_t index, uint8_t value)
    {
        card.out8(vga::seq::INDEX_PORT, index), card.out8(vga::seq::DATA_PORT, value);
    }
    uint8_t sr(uint8_t index) { return card.out8(vga::seq::INDEX_PORT, index), card.in8(vga::seq::DATA_PORT); }
    void gr(uint8_t index, uint8_t value)
    {
        card.out8(vga::gc::INDEX_PORT, index), card.out8(vga::gc::DATA_PORT, value);
    }
    uint8_t gr(uint8_t index) { return card.out8(vga::gc::INDEX_PORT, index), card.in8(vga::gc::DATA_PORT); }
    void cr(uint8_t index, uint8_t value)
    {
        card.out8(vga::crtc::INDEX_PORT, index), card.out8(vga::crtc::DATA_PORT, value);
    }
    uint8_t cr(uint8_t index) { return card.out8(vga::crtc::INDEX_PORT, index), card.in8(vga::crtc::DATA_PORT); }
    // As both ROMs do: 00h, four reads, the HDR, then FFh to the pixel mask.
    void hdr(uint8_t value)
    {
        card.out8(vga::dac::PIXEL_MASK_PORT, 0);
        for (int i = 0; i < 4; ++i)
            card.in8(vga::dac::PIXEL_MASK_PORT);
        card.out8(vga::dac::PIXEL_MASK_PORT, value);
        card.out8(vga::dac::PIXEL_MASK_PORT, 0xFF);
    }

    // 640 x 480 in a Cirrus mode, as both ROMs program it (pitch from CR13/CR1B).
    void mode640x480(uint8_t sr07, uint8_t hdrValue, uint8_t offset, uint8_t cr1b = 0x22)
    {
        static const uint8_t crtcTable[][2] = {{0x11, 0x2C}, {0x00, 0x5F}, {0x01, 0x4F}, {0x02, 0x4F}, {0x03, 0x80},
                                               {0x04, 0x52}, {0x05, 0x1E}, {0x06, 0x0B}, {0x07, 0x3E}, {0x09, 0x40},
                                               {0x0C, 0x00}, {0x0D, 0x00}, {0x10, 0xEA}, {0x12, 0xDF}, {0x14, 0x40},
                                               {0x15, 0xDF}, {0x16, 0x0B}, {0x17, 0xC3}, {0x18, 0xFF}};
        sr(0x01, 0x01);
        sr(0x04, 0x0E);
        sr(seq::EXTENDED_MODE, sr07);
        gr(0x05, 0x40);
        gr(0x06, 0x05);
        for (const auto& entry : crtcTable)
            cr(entry[0], entry[1]);
        cr(0x13, offset);
        cr(crtc::EXTENDED_DISPLAY, cr1b);
        hdr(hdrValue);
        card.in8(vga::status1::PORT);
        card.out8(vga::attr::WRITE_PORT, 0x20);  // picture on
    }
    machine::Picture picture()
    {
        machine::Picture p;
        machine::scanOut(card, p);
        return p;
    }
    uint32_t pixel(const machine::Picture& p, int x, int y)
    {
        return p.pixels.at(static_cast<size_t>(y) * p.width + x);
    }
    uint8_t* vram() { return card.videoMemory(); }

    uint64_t now = 0;
    machine::CirrusCard card;
};

TEST(Gd5446, ExtensionsAnswerOnlyWhileUnlockedAndIdentifyTheChip)
{
    Gd5446 c;
    EXPECT_EQ(c.sr(seq::UNLOCK), seq::UNLOCK_KEY);
    EXPECT_EQ(c.cr(crtc::ID), crtc::ID_GD5446);
    EXPECT_EQ(c.sr(seq::DRAM_CONTROL), 0x98);  // 4 MB
    c.sr(seq::CONFIGURATION, 0xFF);
    EXPECT_EQ(c.sr(seq::CONFIGURATION), 0xE7);  // bus type bits read-only
    c.sr(seq::UNLOCK, 0x57);
    EXPECT_EQ(c.sr(seq::UNLOCK), seq::UNLOCK_LOCKED);
    EXPECT_EQ(c.cr(crtc::ID), 0xFF);
    c.sr(seq::EXTENDED_MODE, 0x11);
    c.sr(seq::UNLOCK, seq::UNLOCK_KEY);
    EXPECT_EQ(c.sr(seq::EXTENDED_MODE), 0x00);  // the locked write did not take
    EXPECT_EQ(c.sr(0x25), 0xFF);
    EXPECT_EQ(c.cr(0x28), 0xFF);
    c.gr(gc::BACKGROUND0, 0x5A);
    EXPECT_EQ(c.gr(gc::BACKGROUND0), 0x5A);  // all eight bits, for the BitBLT colours
    c.gr(gc::BLT_WIDTH + 1, 0xFF);
    EXPECT_EQ(c.gr(gc::BLT_WIDTH + 1), 0x1F);
}

// What all ones written to each register of the PCI function leave there, as on QEMU 7.2's
// cirrus-vga: the command's I/O, memory, master, SERR and INTx-disable bits, the cache line
// size, the interrupt line and the BARs' address bits take; the ids and the pin do not.
TEST(Gd5446, PciRegistersTakeTheBitsQemusFunctionTakes)
{
    const struct {
        uint8_t reg;
        uint32_t readBack;
    } table[] = {
        {0x00, 0x00B81013}, {0x04, 0x00000507}, {0x08, 0x03000000}, {0x0C, 0x000000FF},
        {0x10, 0xFE000008}, {0x14, 0xFFFFF000}, {0x18, 0x00000000}, {0x2C, 0x11001AF4},
        {0x30, 0xFFFF0001}, {0x34, 0x00000000}, {0x3C, 0x000000FF},
    };
    Gd5446 chip;
    for (const auto& entry : table) {
        machine::ConfigSpace& pci = chip.card.pciFunction();
        const uint32_t before = pci.read(entry.reg);
        pci.write(entry.reg, 0xFFFFFFFF);
        EXPECT_EQ(pci.read(entry.reg), entry.readBack) << "register " << std::hex << int(entry.reg);
        pci.write(entry.reg, before);
        EXPECT_EQ(pci.read(entry.reg), before) << "register " << std::hex << int(entry.reg);
    }
}

// The faults a machine file can ask for, so that the verdict has something to find on this card.
TEST(Gd5446, CardFaultsMakeTheChipWrongAsTheyDoTheDispiCard)
{
    {
        Gd5446 c;
        c.card.setFault(machine::CardFault::DacSwapsRedGreen);
        c.card.out8(vga::dac::WRITE_INDEX_PORT, 1);
        for (uint8_t component : {10, 20, 30})
            c.card.out8(vga::dac::DATA_PORT, component);
        c.card.out8(vga::dac::READ_INDEX_PORT, 1);
        EXPECT_EQ(c.card.in8(vga::dac::DATA_PORT), 20);
        EXPECT_EQ(c.card.in8(vga::dac::DATA_PORT), 10);
        EXPECT_EQ(c.card.in8(vga::dac::DATA_PORT), 30);
    }
    {
        Gd5446 c;
        c.card.setFault(machine::CardFault::DisplayStartLate);
        c.mode640x480(0x11, 0x00, 0x50);
        EXPECT_EQ(c.card.geometry().start, 640u) << "one line below the start the registers hold";
        EXPECT_EQ(c.cr(vga::crtc::START_ADDRESS_LOW), 0);
    }
    {
        Gd5446 c;
        c.card.setFault(machine::CardFault::BankOffByOne);
        c.sr(seq::EXTENDED_MODE, 0x11);
        c.gr(gc::MODE_EXTENSIONS, 0x20);  // 16 KB units
        c.gr(gc::OFFSET0, 1);
        c.card.writeWindow(0xA0000, 0x5A);
        EXPECT_EQ(c.vram()[0x8000], 0x5A) << "bank 1 shows from 2 x 16 KB";
        EXPECT_NE(c.vram()[0x4000], 0x5A);
        EXPECT_EQ(c.gr(gc::OFFSET0), 1);
    }
}

TEST(Gd5446, BanksMapTheWindowAsTheRomsUseIt)
{
    struct Case {
        uint8_t gr0b, gr09, gr0a;
        uint32_t address, offset;
    } const cases[] = {
        {0x20, 1, 0, 0xA0000, 0x4000},      {0x20, 1, 0, 0xA8000, 0xC000},  // single page, 16 KB
        {0x21, 1, 2, 0xA8000, 0x8000},      {0x21, 1, 2, 0xA0010, 0x4010},  // dual page
        {0x00, 3, 0, 0xA0000, 0x3000},      {0x00, 3, 0, 0xA8000, 0xB000},  // 4 KB granularity
        {0x20, 0xFF, 0, 0xA3FFF, 0x3FFFFF},                                 // the last byte of 4 MB
    };
    for (const Case& t : cases) {
        Gd5446 c;
        c.sr(seq::EXTENDED_MODE, seq::EXTENDED_MODE_SVGA);
        c.gr(gc::MODE_EXTENSIONS, t.gr0b);
        c.gr(gc::OFFSET0, t.gr09);
        c.gr(gc::OFFSET1, t.gr0a);
        c.card.writeWindow(t.address, 0xA7);
        EXPECT_EQ(c.vram()[t.offset], 0xA7) << std::hex << t.address;
        c.vram()[t.offset] = 0x3C;
        EXPECT_EQ(c.card.readWindow(t.address), 0x3C) << std::hex << t.address;
    }
    Gd5446 c;  // beyond video memory: reads FFh, writes go nowhere
    c.sr(seq::EXTENDED_MODE, seq::EXTENDED_MODE_SVGA);
    c.gr(gc::MODE_EXTENSIONS, 0x21);
    c.gr(gc::OFFSET1, 0xFF);
    EXPECT_EQ(c.card.readWindow(0xAFFFF), 0xFF);
    c.card.writeWindow(0xAFFFF, 1);
}

TEST(Gd5446, HiddenDacIsTheFifthReadAndTheWriteAfterFour)
{
    Gd5446 c;
    c.hdr(0xE1);
    EXPECT_EQ(c.card.hiddenDac(), 0xE1);
    EXPECT_EQ(c.card.vga().dac.pixelMask, 0xFF);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(c.card.in8(vga::dac::PIXEL_MASK_PORT), 0xFF);
    EXPECT_EQ(c.card.in8(vga::dac::PIXEL_MASK_PORT), 0xE1);
    for (int i = 0; i < 2; ++i)
        c.card.in8(vga::dac::PIXEL_MASK_PORT);
    c.card.in8(vga::dac::WRITE_INDEX_PORT);  // resets the count
    for (int i = 0; i < 3; ++i)
        c.card.in8(vga::dac::PIXEL_MASK_PORT);
    c.card.out8(vga::dac::PIXEL_MASK_PORT, 0xFF);  // the pixel mask, not the HDR
    EXPECT_EQ(c.card.hiddenDac(), 0xE1);
}

TEST(Gd5446, PictureFollowsDepthPitchAndStartAsTheRomsSetThem)
{
    struct Case {
        const char* name;
        uint8_t sr07, hdr, offset, cr1b;
        int bpp;
        uint32_t pitch;
    } const cases[] = {
        {"8 bits", 0x11, 0x00, 0x50, 0x22, 8, 640},    {"15 bits", 0x17, 0xF0, 0xA0, 0x22, 15, 1280},
        {"16 bits", 0x17, 0xE1, 0xA0, 0x22, 16, 1280}, {"24 bits, 2048 pitch", 0x15, 0xE5, 0x00, 0x32, 24, 2048},
        {"32 bits", 0x19, 0xC5, 0x40, 0x32, 32, 2560},
    };
    for (const Case& t : cases) {
        Gd5446 c;
        c.mode640x480(t.sr07, t.hdr, t.offset, t.cr1b);
        const machine::CirrusGeometry g = c.card.geometry();
        EXPECT_EQ(g.bpp, t.bpp) << t.name;
        EXPECT_EQ(g.pitch, t.pitch) << t.name;
        EXPECT_EQ(g.width, 640) << t.name;
        EXPECT_EQ(g.height, 480) << t.name;
        // A pixel at (3, 2) of the known colour red, whatever the depth.
        const uint32_t at = 2 * t.pitch + 3 * ((t.bpp + 7) / 8);
        switch (t.bpp) {
        case 8:
            c.card.out8(vga::dac::WRITE_INDEX_PORT, 9);
            c.card.out8(vga::dac::DATA_PORT, 0x3F), c.card.out8(vga::dac::DATA_PORT, 0),
                c.card.out8(vga::dac::DATA_PORT, 0);
            c.vram()[at] = 9;
            break;
        case 15: c.vram()[at] = 0x00, c.vram()[at + 1] = 0x7C; break;
        case 16: c.vram()[at] = 0x00, c.vram()[at + 1] = 0xF8; break;
        default: c.vram()[at + 2] = 0xFF; break;
        }
        const auto p = c.picture();
        ASSERT_EQ(p.width, 640) << t.name;
        EXPECT_EQ(c.pixel(p, 3, 2), 0xFF0000u) << t.name;
        EXPECT_EQ(c.pixel(p, 4, 2), 0u) << t.name;
    }
    Gd5446 c;  // start bits 16-19 from CR1B and CR1D, in dwords; interlace doubles the height
    c.mode640x480(0x11, 0, 0x50);
    c.cr(crtc::EXTENDED_DISPLAY, 0x22 | 0x01 | 0x08);
    c.cr(crtc::OVERLAY, 0x80);
    c.cr(0x0C, 0x12);
    c.cr(crtc::MISC_CONTROL, crtc::MISC_CONTROL_INTERLACE);
    EXPECT_EQ(c.card.geometry().start, 4ull * (0x1200 | 0x10000 | 0x40000 | 0x80000));
    EXPECT_EQ(c.card.geometry().height, 960);
}

TEST(Gd5446, ScreenOffBitBlanksCirrusModes)
{
    Gd5446 c;
    c.mode640x480(0x11, 0, 0x50);
    std::memset(c.vram(), 1, 640 * 480);
    c.card.out8(vga::dac::WRITE_INDEX_PORT, 1);
    for (int i = 0; i < 3; ++i)
        c.card.out8(vga::dac::DATA_PORT, 0x3F);
    EXPECT_EQ(c.pixel(c.picture(), 10, 10), 0xFFFFFFu);
    c.sr(0x01, 0x21);  // as both ROMs leave it
    const auto p = c.picture();
    EXPECT_EQ(p.width, 640);
    EXPECT_EQ(c.pixel(p, 10, 10), 0u);
}

TEST(Gd5446, CursorShowsItsFourKindsOfPixelInBothSizes)
{
    for (bool large : {false, true}) {
        Gd5446 c;
        c.mode640x480(0x11, 0, 0x50);
        std::memset(c.vram(), 1, 640 * 480);
        c.card.out8(vga::dac::WRITE_INDEX_PORT, 1);
        c.card.out8(vga::dac::DATA_PORT, 0x2A), c.card.out8(vga::dac::DATA_PORT, 0x2A),
            c.card.out8(vga::dac::DATA_PORT, 0x2A);  // grey AAh
        c.sr(seq::CURSOR_ATTRIBUTES, seq::CURSOR_ATTRIBUTES_DAC_ACCESS);
        c.card.out8(vga::dac::WRITE_INDEX_PORT, cursor::BACKGROUND_ENTRY);
        c.card.out8(vga::dac::DATA_PORT, 0x3F), c.card.out8(vga::dac::DATA_PORT, 0),
            c.card.out8(vga::dac::DATA_PORT, 0);
        c.card.out8(vga::dac::WRITE_INDEX_PORT, cursor::FOREGROUND_ENTRY);
        c.card.out8(vga::dac::DATA_PORT, 0), c.card.out8(vga::dac::DATA_PORT, 0x3F),
            c.card.out8(vga::dac::DATA_PORT, 0);
        c.sr(seq::CURSOR_ATTRIBUTES, uint8_t(seq::CURSOR_ATTRIBUTES_SHOW | (large ? seq::CURSOR_ATTRIBUTES_LARGE : 0)));
        c.sr(seq::CURSOR_PATTERN, 0x3F);
        // Row 0 of the pattern: pixels 0 invert (p0 only), 1 background (p1), 2 foreground (both).
        const uint32_t base = (4u << 20) - cursor::AREA_BYTES + (large ? 0x3C : 0x3F) * cursor::SLOT_BYTES;
        const uint32_t plane1 = large ? base + 8 : base + 128;
        c.vram()[base] = 0xA0;
        c.vram()[plane1] = 0x60;
        // X = 101 = 12 * 8 + 5, the low bits in the index; Y = 7.
        c.sr(uint8_t(seq::CURSOR_X | (5 << seq::CURSOR_LOW_BITS_SHIFT)), 12);
        c.sr(seq::CURSOR_Y, 0),
            c.card.out8(vga::seq::INDEX_PORT, uint8_t(seq::CURSOR_Y | (7 << seq::CURSOR_LOW_BITS_SHIFT)));
        c.card.out8(vga::seq::DATA_PORT, 0);
        const auto p = c.picture();
        EXPECT_EQ(c.pixel(p, 101, 7), 0x555555u) << large;  // the grey inverted
        EXPECT_EQ(c.pixel(p, 102, 7), 0xFF0000u) << large;
        EXPECT_EQ(c.pixel(p, 103, 7), 0x00FF00u) << large;
        EXPECT_EQ(c.pixel(p, 104, 7), 0xAAAAAAu) << large;
        EXPECT_EQ(c.pixel(p, 101, 6), 0xAAAAAAu) << large;
        c.card.out8(vga::dac::WRITE_INDEX_PORT, 1);
        EXPECT_EQ(c.card.vga().dac.entries[3], 0x2A);  // the normal palette kept its entry
    }
}

TEST(Gd5446, BitBltReachesItsRegistersThroughEveryWindowAndTakesSystemData)
{
    enum Path { Ports, Bar1, LegacyWindow, MemoryEnd };
    for (Path path : {Ports, Bar1, LegacyWindow, MemoryEnd}) {
        Gd5446 c;
        c.sr(seq::EXTENDED_MODE, seq::EXTENDED_MODE_SVGA);
        if (path == LegacyWindow)
            c.sr(seq::CONFIGURATION, seq::CONFIGURATION_MMIO);
        if (path == MemoryEnd)
            c.sr(seq::CONFIGURATION, seq::CONFIGURATION_MMIO | seq::CONFIGURATION_MMIO_AT_MEMORY_END);
        const auto write = [&](uint8_t offset, uint8_t gcIndex, uint8_t value) {
            switch (path) {
            case Ports: return c.gr(gcIndex, value);
            case Bar1: return c.card.writeRegisters(mmio::BLT_BLOCK + offset, value);
            case LegacyWindow: return c.card.writeWindow(mmio::LEGACY_ADDRESS + offset, value);
            case MemoryEnd: return c.card.writeFramebuffer((4u << 20) - 256 + offset, value);
            }
        };
        // A solid fill of 16 bytes of 3Ch at 100h.
        write(mmio::FOREGROUND, gc::FOREGROUND0, 0x3C);
        write(mmio::WIDTH, gc::BLT_WIDTH, 15);
        write(mmio::WIDTH + 4, gc::BLT_DST_PITCH, 16);
        write(mmio::WIDTH + 9, gc::BLT_DST_ADDRESS + 1, 0x01);
        write(mmio::MODE, gc::BLT_MODE, gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN);
        write(mmio::ROP, gc::BLT_ROP, rop::SRC);
        write(mmio::MODE_EXTENSION, gc::BLT_MODE_EXTENSION, gc::BLT_MODE_EXTENSION_SOLID_FILL);
        write(mmio::STATUS, gc::BLT_STATUS, gc::BLT_STATUS_START);
        EXPECT_EQ(c.vram()[0x100], 0x3C) << path;
        EXPECT_EQ(c.vram()[0x10F], 0x3C) << path;
        EXPECT_NE(c.vram()[0x110], 0x3C) << path;
    }
    Gd5446 c;  // an 8 x 2 glyph fed through A0000h, then another through the 16 MB aperture
    c.sr(seq::EXTENDED_MODE, seq::EXTENDED_MODE_SVGA);
    c.gr(gc::FOREGROUND0, 0x0F);
    c.gr(gc::BLT_WIDTH, 7);
    c.gr(gc::BLT_HEIGHT, 1);
    c.gr(gc::BLT_DST_PITCH, 64);
    c.gr(gc::BLT_MODE, gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_SRC_SYSTEM | gc::BLT_MODE_TRANSPARENT);
    c.gr(gc::BLT_ROP, rop::SRC);
    c.gr(gc::BLT_STATUS, gc::BLT_STATUS_START);
    EXPECT_EQ(c.gr(gc::BLT_STATUS), gc::BLT_STATUS_BUSY | gc::BLT_STATUS_START);
    c.card.writeWindow(0xA1234, 0x80);
    c.card.writeWindow(0xA0000, 0x01);
    EXPECT_EQ(c.gr(gc::BLT_STATUS), 0);
    EXPECT_EQ(c.vram()[0], 0x0F);
    EXPECT_EQ(c.vram()[64 + 7], 0x0F);
    EXPECT_NE(c.vram()[0x1234], 0x80);  // the data did not land in memory
    c.gr(gc::BLT_DST_ADDRESS, 8);
    c.gr(gc::BLT_STATUS, 0);
    c.gr(gc::BLT_STATUS, gc::BLT_STATUS_START);
    c.card.writeFramebuffer(bar::HOST_DATA_APERTURE, 0xFF);
    c.card.writeFramebuffer(bar::HOST_DATA_APERTURE + 5, 0xFF);
    EXPECT_EQ(c.vram()[8 + 64 + 7], 0x0F);
    c.card.writeFramebuffer(bar::HOST_DATA_APERTURE, 0x55);  // nothing waits: dropped
}

}  // namespace
}  // namespace checks
