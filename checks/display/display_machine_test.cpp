// The display library on the real machine, under each VBE: the Bochs VGA BIOS, SeaVGABIOS
// and the Kestrel driver. What reaches the screen is read back from the card's scan-out,
// the picture a monitor would show.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "display/meant_memory.h"
#include "display_bus/pc_bus.h"
#include "kestrel/resident.h"
#include "machine/machine.h"
#include "platform/accel.h"
#include "platform/display.h"

namespace {

struct Vbe {
    const char* name;
    const char* preset;
    bool kestrel;
};

void PrintTo(const Vbe& vbe, std::ostream* out)
{
    *out << vbe.name;
}

struct Booted {
    std::unique_ptr<machine::Clock> clock;
    std::unique_ptr<machine::Machine> machine;
    DisplayContext* dc = nullptr;
};

std::unique_ptr<Booted> boot(const Vbe& vbe)
{
    auto b = std::make_unique<Booted>();
    b->clock = machine::makeVirtualClock();
    b->machine = std::make_unique<machine::Machine>(machine::presetConfig(vbe.preset), *b->clock);
    if (vbe.kestrel)
        kestrel::installResident(*b->machine);
    machine::setCurrent(b->machine.get());
    display_bus::connectCurrentMachine();
    b->dc = GX_init(0);
    return b;
}

struct Wanted {
    int width, height, depth;
    std::string text() const
    {
        return std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    }
};

int32_t findMode(DisplayContext* dc, Wanted w, ModeInfo* out = nullptr)
{
    for (const uint16_t* m = dc->modeList; *m != 0xFFFF; ++m) {
        ModeInfo info{};
        if (GX_getModeInfo(*m, &info) && info.xResolution == w.width && info.yResolution == w.height &&
            info.bitsPerPixel == w.depth) {
            if (out)
                *out = info;
            return *m;
        }
    }
    return 0;
}

machine::Picture screen()
{
    machine::Picture p;
    machine::current().scanOut(p);
    return p;
}

uint32_t at(const machine::Picture& p, int x, int y)
{
    return p.pixels[size_t(y) * size_t(p.width) + size_t(x)];
}

int red(uint32_t rgb)
{
    return int(rgb >> 16 & 0xFF);
}

std::vector<Vbe> vbes()
{
    return {{"Bochs", "default", false}, {"SeaVGABIOS", "seavgabios", false}, {"Kestrel", "default", true}};
}

class DisplayOnEachVbe : public ::testing::TestWithParam<Vbe> {
protected:
    void SetUp() override
    {
        b = boot(GetParam());
        ASSERT_NE(b->dc, nullptr) << "no VBE answered";
    }
    void TearDown() override
    {
        GX_restoreMode();
        machine::setCurrent(nullptr);
    }
    // Sets a mode with the number GX_getModeName offers for it, as the program does.
    bool set(Wanted w, bool useLinear)
    {
        ModeInfo info{};
        const int32_t mode = findMode(b->dc, w, &info);
        if (!mode)
            return false;
        char name[100];
        const int32_t number = GX_getModeName(name, &info, mode, useLinear) & 0xFFFF;
        if (!number)
            return false;
        return GX_setMode(number | MODE_SET_BY_TEST_RUN, 0, useLinear, info.modeSetValue) != 0;
    }
    // A scene that crosses bank boundaries, runs off every edge and writes text.
    void drawScene()
    {
        DisplayContext* dc = b->dc;
        GX_clear(1);
        GX_beginLine();
        for (int i = 0; i < 16; ++i)
            GX_lineFast(dc->maxX / 2, dc->maxY / 2, i * dc->maxX / 15, 0, uint32_t(i));
        GX_lineFast(0, 0, dc->maxX, dc->maxY, dc->defaultColor);
        GX_lineFast(dc->maxX, 0, 0, dc->maxY, 4);
        GX_lineFast(5, -100000, 5, 100000, 2);
        GX_lineFast(-2147483647, dc->maxY - 3, 2147483647, dc->maxY - 3, 14);
        GX_endLine();
        GX_writeText(20, 200, "Bank switching test", dc->defaultColor);
        GX_writeText(dc->maxX - 30, dc->maxY - 8, "past the corner", 12);
    }
    std::unique_ptr<Booted> b;
};

TEST_P(DisplayOnEachVbe, DetectsTheControllerAndCopiesItsModeList)
{
    DisplayContext* dc = b->dc;
    EXPECT_GE(dc->vbeVersion, 0x0200);
    EXPECT_EQ(dc->videoMemoryKb, 4096);
    EXPECT_EQ(dc->lfbAddress, 0xE0000000u);
    EXPECT_NE(dc->virtualLfbAvailable, 0);
    EXPECT_NE(dc->wideDacAvailable, 0);
    int n = 0;
    while (dc->modeList[n] != 0xFFFF)
        ASSERT_LT(++n, 257);
    EXPECT_GT(n, 5);

    VbeInfoBlock info;
    std::memset(&info, 0xCC, sizeof info);
    ASSERT_NE(VBE_detect(&info), 0);
    EXPECT_EQ(std::string(info.VbeSignature, 4), "VESA");
    for (uint32_t field : {info.OemStringPtr, info.OemVendorNamePtr, info.OemProductNamePtr, info.OemProductRevPtr}) {
        ASSERT_NE(field, 0u);
        EXPECT_LT(std::strlen(vbeInfoString(field)), 256u);
    }
    EXPECT_GT(std::strlen(vbeInfoString(info.OemStringPtr)), 0u);
    if (GetParam().kestrel) {
        EXPECT_EQ(std::string(vbeInfoString(info.OemStringPtr)).rfind("Kestrel Video Core", 0), 0u);
    }
}

TEST_P(DisplayOnEachVbe, OffersModesByHowTheyAreDrawnAndFlagsThePackedLinearOnesAsAccelerated)
{
    for (const uint16_t* m = b->dc->modeList; *m != 0xFFFF; ++m) {
        ModeInfo info{};
        if (!GX_getModeInfo(*m, &info))
            continue;
        SCOPED_TRACE(*m);
        char name[100];
        const int32_t linear = GX_getModeName(name, &info, *m, 1) & 0xFFFF;
        const bool planar = info.bitsPerPixel == 4;
        EXPECT_EQ(linear, planar ? 0 : (*m & 0x1FF) | 0x4000) << name;
        EXPECT_EQ((info.attributes & MODE_ATTR_ACCELERATED) != 0, !planar);
        const int32_t banked = GX_getModeName(name, &info, *m, 0) & 0xFFFF;
        const std::string resolution =
            std::to_string(info.xResolution) + " x " + std::to_string(info.yResolution) + " ";
        EXPECT_EQ(std::string(name).rfind(resolution, 0), 0u) << name;
        EXPECT_EQ(banked, *m & 0x1FF);
    }
}

TEST_P(DisplayOnEachVbe, SetModeDescribesTheModeAndRestoreGoesBackToText)
{
    struct Case {
        Wanted mode;
        uint32_t maxColor, white;
    };
    const Case cases[] = {{{640, 480, 8}, 255, 15},
                          {{800, 600, 4}, 15, 15},
                          {{800, 600, 16}, 0xFFFF, 0xFFFF},
                          {{640, 480, 32}, 0xFFFFFF, 0xFFFFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode.text());
        ASSERT_TRUE(set(c.mode, c.mode.depth != 4));
        DisplayContext* dc = b->dc;
        EXPECT_EQ(dc->maxX, c.mode.width - 1);
        EXPECT_EQ(dc->maxY, c.mode.height - 1);
        EXPECT_EQ(dc->bitsPerPixel, c.mode.depth);
        EXPECT_EQ(dc->maxColor, c.maxColor);
        EXPECT_EQ(dc->defaultColor, c.white);
        EXPECT_GE(dc->maxPage, 1);
        EXPECT_EQ(dc->accel != nullptr, c.mode.depth != 4);
        const int32_t current = VBE_getVideoMode();
        EXPECT_EQ(current & 0x1FF, findMode(dc, c.mode));
        EXPECT_EQ((current & 0x4000) != 0, c.mode.depth != 4);
    }
    GX_restoreMode();
    EXPECT_EQ(VBE_getVideoMode() & 0xFF, 0x03);
}

// The same scene through the linear framebuffer and through the banked window (pixels of
// 24-bit modes straddle the bank boundaries) gives the same picture.
TEST_P(DisplayOnEachVbe, BankedDrawingMatchesLinearDrawing)
{
    for (Wanted w : {Wanted{640, 480, 8}, Wanted{800, 600, 24}, Wanted{640, 480, 32}}) {
        SCOPED_TRACE(w.text());
        std::vector<machine::Picture> pictures;
        for (bool linear : {true, false}) {
            ASSERT_TRUE(set(w, linear));
            // Nothing of the first picture may survive into the second.
            std::memset(machine::current().lfb(), 0x55, machine::current().videoMemoryBytes());
            drawScene();
            pictures.push_back(screen());
        }
        EXPECT_TRUE(pictures[0].pixels == pictures[1].pixels);
        const auto& p = pictures[0];
        EXPECT_EQ(at(p, 0, 0), at(p, p.width - 1, p.height - 1));  // both ends of the diagonal
        EXPECT_EQ(at(p, 5, 3), at(p, 5, p.height - 1));
        EXPECT_EQ(at(p, 0, p.height - 4), at(p, p.width - 1, p.height - 4));
        EXPECT_NE(at(p, 5, 3), at(p, 100, 50));
    }
}

// 4-bit planar drawing shows the same picture as 8-bit drawing in colours 0-15, with and
// without banks (1024 x 768 planes need two).
TEST_P(DisplayOnEachVbe, PlanarDrawingMatchesPackedDrawing)
{
    for (auto [width, height] : {std::pair{800, 600}, std::pair{1024, 768}}) {
        SCOPED_TRACE(width);
        ASSERT_TRUE(set({width, height, 4}, false));
        drawScene();
        const machine::Picture planar = screen();
        ASSERT_TRUE(set({width, height, 8}, false));
        std::memset(machine::current().lfb(), 0x55, machine::current().videoMemoryBytes());
        drawScene();
        const machine::Picture packed = screen();
        EXPECT_TRUE(planar.pixels == packed.pixels);
    }
}

// Glyphs come from the ROM's own 8x16 font.
TEST_P(DisplayOnEachVbe, TextUsesTheRomFont)
{
    machine::CpuRegs regs;
    regs.ax = 0x1130;
    regs.bx = 0x0600;
    ASSERT_TRUE(machine::current().interrupt(0x10, regs).ok);
    const uint8_t* font = machine::current().memory() + regs.es * 16 + regs.bp;
    for (Wanted w : {Wanted{640, 480, 8}, Wanted{640, 480, 16}, Wanted{640, 480, 32}, Wanted{1024, 768, 4}}) {
        SCOPED_TRACE(w.text());
        ASSERT_TRUE(set(w, w.depth != 4));
        GX_clear(0);
        GX_writeText(100, 700 - 16 * 40, "Ag", b->dc->defaultColor);
        const machine::Picture p = screen();
        const uint32_t white = at(p, 0, 0) ^ 0xFFFFFF;  // the screen is black
        for (int ch = 0; ch < 2; ++ch)
            for (int row = 0; row < 16; ++row)
                for (int col = 0; col < 8; ++col) {
                    const bool on = font[("Ag"[ch] & 0xFF) * 16 + row] & (0x80 >> col);
                    ASSERT_EQ(at(p, 100 + 8 * ch + col, 60 + row), on ? white : 0u) << ch << " " << row << " " << col;
                }
    }
}

TEST_P(DisplayOnEachVbe, PagesAreDrawnAndShownIndependently)
{
    for (bool retrace : {false, true}) {
        ASSERT_TRUE(set({640, 480, 8}, true));
        GX_clear(4);
        GX_setActivePage(1);
        GX_clear(2);
        EXPECT_EQ(at(screen(), 320, 240), at(screen(), 0, 0));
        const uint32_t red = at(screen(), 10, 10);
        GX_setVisualPage(1, retrace);
        const uint32_t green = at(screen(), 10, 10);
        EXPECT_NE(red, green);
        for (int bad : {-1, b->dc->maxPage + 1, 1 << 30}) {
            GX_setVisualPage(bad, retrace);
            GX_setActivePage(bad);
            GX_clear(9);  // still page 1, shown
        }
        EXPECT_EQ(at(screen(), 10, 10), at(screen(), 600, 400));
        EXPECT_NE(at(screen(), 10, 10), green);
        GX_setVisualPage(0, retrace);
        EXPECT_EQ(at(screen(), 10, 10), red);
    }
}

TEST_P(DisplayOnEachVbe, DisplayStartAndScanLineLengthMoveThePicture)
{
    ASSERT_TRUE(set({640, 480, 8}, true));
    GX_clear(0);
    GX_lineFast(10, 10, 10, 10, 14);
    ASSERT_NE(VBE_setDisplayStart(10, 10, 0), 0);
    EXPECT_NE(at(screen(), 0, 0), 0u);
    // A start past the end of video memory is refused and changes nothing.
    for (auto [x, y] : {std::pair{0, 100000}, std::pair{-1, 0}, std::pair{0, 8000}, std::pair{70000, 0}})
        EXPECT_EQ(VBE_setDisplayStart(x, y, 0), 0) << x << "," << y;
    EXPECT_NE(at(screen(), 0, 0), 0u);

    int32_t bytes = 0, pixels = 0, lines = 0;
    ASSERT_NE(VBE_setPixelsPerLine(1024, &bytes, &pixels, &lines), 0);
    EXPECT_EQ(bytes, 1024);
    EXPECT_EQ(pixels, 1024);
    EXPECT_EQ(lines, 4096);
    GX_clear(0);
    GX_lineFast(1000, 0, 1000, 4095, 14);
    GX_lineFast(0, 4095, 1023, 4095, 14);
    EXPECT_EQ(VBE_setDisplayStart(400, 4095 - 479, 0), 0);  // its last line would run past the end
    ASSERT_NE(VBE_setDisplayStart(384, 4095 - 479, 0), 0);
    const machine::Picture p = screen();
    EXPECT_NE(at(p, 616, 0), 0u);
    EXPECT_NE(at(p, 0, 479), 0u);
    EXPECT_EQ(at(p, 615, 0), 0u);

    for (int32_t bad : {0, -5, 70000})
        EXPECT_EQ(VBE_setBytesPerLine(bad, &bytes, &pixels, &lines), 0) << bad;
    ASSERT_NE(VBE_setBytesPerLine(640, &bytes, &pixels, &lines), 0);
    EXPECT_EQ(bytes, 640);
    EXPECT_EQ(lines, 4096 * 1024 / 640);
}

// Palettes: GX_setPalette scales 8-bit intensities to the DAC; VBE_setPalette hands the
// values on unchanged, so a 6-bit DAC drops their top bits and an 8-bit one keeps them.
TEST_P(DisplayOnEachVbe, PalettesReachTheDacAtItsWidth)
{
    ASSERT_TRUE(set({640, 480, 8}, true));
    GX_clear(0);
    GX_lineFast(0, 0, 9, 0, 1);
    const PaletteEntry dark[1] = {{0x41, 0x41, 0x41, 0}};  // grey: the same whichever byte a BIOS starts at
    struct Case {
        int dacBits;
        bool scaled;
        int red;
    };
    for (const Case& c : {Case{6, true, 0x41}, Case{6, false, 0x04}, Case{8, true, 0x41}, Case{8, false, 0x41}}) {
        SCOPED_TRACE(std::to_string(c.dacBits) + (c.scaled ? " scaled" : " unchanged"));
        ASSERT_NE(VBE_setDACWidth(c.dacBits), 0);
        if (c.scaled)
            GX_setPalette(1, 1, dark, -1);
        else
            VBE_setPalette(1, 1, dark, 0);
        EXPECT_EQ(red(at(screen(), 5, 0)), c.red);
    }
    ASSERT_NE(VBE_setDACWidth(6), 0);
    EXPECT_EQ(VBE_setDACWidth(7), 0);
    // A whole palette, paced by the retrace.
    PaletteEntry ramp[256];
    for (int i = 0; i < 256; ++i)
        ramp[i] = PaletteEntry{0, 0, uint8_t(i), 0};
    GX_setPalette(0, 256, ramp, 256);
    GX_clear(200);
    EXPECT_EQ(red(at(screen(), 320, 240)), 200 / 4 * 4 + 200 / 64);
    const PaletteEntry* def = GX_getDefPalette();
    GX_setPalette(0, 256, def, -1);
    EXPECT_EQ(at(screen(), 320, 240), uint32_t(def[200].red << 16 | def[200].green << 8 | def[200].blue));
}

// Drawing costs virtual time at the bus bandwidth, so headless frame rates are a real card's.
TEST_P(DisplayOnEachVbe, DrawingSpendsVirtualTimeAtTheBusBandwidth)
{
    struct Case {
        Wanted mode;
        uint64_t clearMicros;  // the page's bytes at 100 MB/s
    };
    for (const Case& c : {Case{{640, 480, 8}, 3072}, Case{{1024, 768, 32}, 31457}}) {
        SCOPED_TRACE(c.mode.text());
        ASSERT_TRUE(set(c.mode, true));
        const uint64_t before = b->clock->nowMicros();
        GX_clear(0);
        EXPECT_NEAR(double(b->clock->nowMicros() - before), double(c.clearMicros), 1.0);
    }
}

// Out-of-range input never writes outside video memory or crashes (AddressSanitizer
// watches the host side); lines wholly off screen change nothing.
TEST_P(DisplayOnEachVbe, BadInputIsClippedOrRefused)
{
    for (Wanted w : {Wanted{640, 480, 8}, Wanted{800, 600, 4}, Wanted{1024, 768, 32}}) {
        SCOPED_TRACE(w.text());
        ASSERT_TRUE(set(w, w.depth != 4));
        GX_clear(0);
        GX_setActivePage(b->dc->maxPage);
        const machine::Picture before = screen();
        GX_beginLine();
        for (auto [x1, y1, x2, y2] : std::vector<std::array<int32_t, 4>>{{-2147483647 - 1, -5, 2147483647, -5},
                                                                         {-10, -10, -10, 100000},
                                                                         {5000, 0, 5000, 10},
                                                                         {0, 2000000000, 10, 2000000001}})
            GX_lineFast(x1, y1, x2, y2, 15);
        GX_endLine();
        GX_writeText(-2147483647, -2147483647, "text far away", 15);
        GX_writeText(100000, 100, "off the right", 15);
        GX_writeText(10, 10, nullptr, 15);
        EXPECT_TRUE(screen().pixels == before.pixels);
        GX_clear(3);  // the last page, right up to the end of video memory
        GX_lineFast(0, 0, 100000, 100000, 7);
        GX_setPalette(-1, 10, GX_getDefPalette(), -1);
        GX_setPalette(250, 100, GX_getDefPalette(), -1);
        VBE_setPalette(300, 1, GX_getDefPalette(), 0);
        GX_setPalette(0, 10, nullptr, -1);
        int32_t x = 0;
        EXPECT_EQ(VBE_setPixelsPerLine(0x7FFFFFFF, &x, &x, &x), 0);
        EXPECT_EQ(VBE_setDisplayStart(0x7FFFFFFF, 0x7FFFFFFF, 0), 0);
    }
}

TEST_P(DisplayOnEachVbe, AcceleratorDrawsOnTheScreenAndMovesTheCursor)
{
    ASSERT_TRUE(set({800, 600, 8}, true));
    AccelContext* a = b->dc->accel;
    ASSERT_NE(a, nullptr);
    for (uint32_t entry : {a->setCursor, a->setClipRect, a->drawRect, a->drawLine, a->bitBlt, a->dstTransBltLin})
        EXPECT_NE(entry, 0u);
    AF_setMix(a, AF_REPLACE_MIX, AF_REPLACE_MIX);
    AF_setClipRect(a, 0, 0, b->dc->maxX, b->dc->maxY);
    AF_drawRect(a, 0, 0, 0, 800, 600);
    AF_drawRect(a, 40, 782, 12, 34, 24);  // runs 16 pixels past the right edge
    machine::Picture p = screen();
    EXPECT_NE(at(p, 799, 12), 0u);
    EXPECT_EQ(at(p, 0, 13), 0u);  // no wrap onto the next line
    AF_bitBlt(a, 782, 12, 18, 24, 100, 100, AF_REPLACE_MIX);
    AF_setMix(a, AF_XOR_MIX, AF_XOR_MIX);
    AF_drawRect(a, 40, 100, 100, 9, 24);
    p = screen();
    EXPECT_EQ(at(p, 105, 110), 0u);
    EXPECT_EQ(at(p, 115, 110), at(p, 799, 12));

    AF_CursorImage arrow{};
    for (int row = 0; row < 8; ++row) {
        arrow.firstMask[row * 4] = 0xFF;
        arrow.secondMask[row * 4] = 0xFF;
    }
    AF_setCursor(a, &arrow);
    AF_setCursorColor(a, 255, 0, 255);
    AF_setCursorPos(a, 300, 300);
    AF_showCursor(a, 1);
    EXPECT_EQ(at(screen(), 302, 302), 0xFF00FFu);
    AF_setCursorPos(a, -100000, 100000);
    AF_showCursor(a, 0);
    EXPECT_EQ(at(screen(), 302, 302), 0u);
}

// The copy of video memory the library keeps for a verdict holds what a sound card holds after
// the same drawing: through the planes' bit mask, across bank boundaries (24-bit pixels
// straddle them), through the framebuffer and the accelerator.
TEST_P(DisplayOnEachVbe, KeepsTheVideoMemoryItMeansAsASoundCardHoldsIt)
{
    display::keepMeantMemory(true);
    struct Case {
        Wanted mode;
        bool linear;
    };
    for (const Case& c : {Case{{800, 600, 4}, false}, Case{{800, 600, 24}, false}, Case{{800, 600, 8}, true}}) {
        SCOPED_TRACE(c.mode.text());
        ASSERT_TRUE(set(c.mode, c.linear));
        drawScene();
        if (AccelContext* a = b->dc->accel) {
            AF_setMix(a, AF_XOR_MIX, AF_XOR_MIX);
            AF_drawRect(a, 40, 782, 12, 34, 24);
            AF_bitBlt(a, 0, 190, 300, 40, 400, 401, AF_REPLACE_MIX);
            AF_putMonoImage(a, 1, 2, 5, 560, 1, 8, reinterpret_cast<const uint8_t*>("ABCDEFGH"));
        }
        const uint32_t bytes = machine::current().videoMemoryBytes();
        ASSERT_EQ(display::meantMemoryBytes(), bytes);
        EXPECT_EQ(std::memcmp(display::meantMemory(), machine::current().lfb(), bytes), 0);
    }
    display::keepMeantMemory(false);
}

INSTANTIATE_TEST_SUITE_P(Vbes, DisplayOnEachVbe, ::testing::ValuesIn(vbes()),
                         [](const auto& info) { return std::string(info.param.name); });

// Which accelerator entries a mode's context offers follows the card.
TEST(AcceleratorEntries, FollowTheCardsAccelerator)
{
    struct Case {
        const char* preset;
        bool accelerated;
        bool clip, cursor, rect;
    };
    for (const Case& c : {Case{"default", true, true, true, true}, Case{"partaccel", true, false, false, true},
                          Case{"noaccel", false, false, false, false}}) {
        SCOPED_TRACE(c.preset);
        auto b = boot({c.preset, c.preset, false});
        ASSERT_NE(b->dc, nullptr);
        ModeInfo info{};
        const int32_t mode = findMode(b->dc, {640, 480, 8}, &info);
        ASSERT_NE(mode, 0);
        EXPECT_EQ((info.attributes & MODE_ATTR_ACCELERATED) != 0, c.accelerated);
        ASSERT_NE(GX_setMode(mode | 0x4000 | MODE_SET_BY_TEST_RUN, 0, 1, info.modeSetValue), 0);
        AccelContext* a = b->dc->accel;
        EXPECT_EQ(a != nullptr, c.accelerated);
        if (a) {
            EXPECT_EQ(a->setClipRect != 0, c.clip);
            EXPECT_EQ(a->setCursor != 0, c.cursor);
            EXPECT_EQ(a->drawRect != 0, c.rect);
        }
        GX_restoreMode();
        machine::setCurrent(nullptr);
    }
}

// A card whose window shows the bank after the one selected holds what the program drew 64 KB
// further on than the library's copy of it.
TEST(MeantMemory, ShowsWhereAWindowMappingTheWrongBankPutThePixels)
{
    machine::MachineConfig config = machine::presetConfig("default");
    config.cardFault = machine::CardFault::BankOffByOne;
    auto clock = machine::makeVirtualClock();
    machine::Machine pc(config, *clock);
    machine::setCurrent(&pc);
    display_bus::connectCurrentMachine();
    DisplayContext* dc = GX_init(0);
    ASSERT_NE(dc, nullptr);
    display::keepMeantMemory(true);
    ModeInfo info{};
    const int32_t mode = findMode(dc, {640, 480, 8}, &info);
    ASSERT_NE(mode, 0);
    ASSERT_NE(GX_setMode(mode, 0, 0, info.modeSetValue), 0);
    GX_clear(3);
    GX_writeText(0, 0, "bank 0", 15);
    constexpr uint32_t BANK = 65536;
    const uint8_t* meant = display::meantMemory();
    EXPECT_EQ(meant[0], 3);
    EXPECT_EQ(pc.lfb()[0], 0);
    EXPECT_EQ(std::memcmp(meant, pc.lfb() + BANK, BANK), 0);
    display::keepMeantMemory(false);
    GX_restoreMode();
    machine::setCurrent(nullptr);
}

// The Bochs mode list offers modes larger than a 1 MB card holds (and its 4F02 reports
// success for them although the card refuses): drawing in them, by the library and by the
// accelerator, reaches the end of video memory and stops there.
TEST(SmallVideoMemory, ModesLargerThanVideoMemoryDrawOnlyIntoIt)
{
    auto b = boot({"smallvram", "smallvram", false});
    ASSERT_NE(b->dc, nullptr);
    ModeInfo info{};
    const int32_t mode = findMode(b->dc, {1024, 768, 32}, &info);
    ASSERT_NE(mode, 0);
    EXPECT_EQ(info.numberOfPages, 1);
    ASSERT_NE(GX_setMode(mode | 0x4000, 0, 1, info.modeSetValue), 0);
    EXPECT_EQ(b->dc->maxPage, 0);
    GX_clear(b->dc->defaultColor);
    const uint32_t size = machine::current().videoMemoryBytes();
    EXPECT_EQ(machine::current().lfb()[size - 2], 0xFF);  // red of the last pixel
    GX_lineFast(0, 767, 1023, 0, 0xFF0000);
    GX_writeText(500, 750, "bottom line", 0xFF);
    AccelContext* a = b->dc->accel;
    ASSERT_NE(a, nullptr);
    AF_drawRect(a, 0x00FF00, 0, 0, 1024, 768);
    EXPECT_EQ(machine::current().lfb()[size - 3], 0xFF);  // green of the last pixel
    AF_bitBlt(a, 0, 0, 1024, 700, 0, 68, AF_REPLACE_MIX);
    AF_bitBltLin(a, 0, 0, 700, 1024, 68, AF_XOR_MIX);
    AF_putMonoImage(a, 1, 2, 0, 760, 1, 8, reinterpret_cast<const uint8_t*>("ABCDEFGH"));
    EXPECT_EQ(VBE_setDisplayStart(0, 1, 0), 0);
    GX_restoreMode();
    machine::setCurrent(nullptr);
}

// 512 MB: pages and scan lines as far as the display start reaches (4F07 takes the line in
// 16 bits), the last page shown, and the meant copy of video memory where the drawing went.
TEST(LargeVideoMemory, PagesAndLinesEndWhereTheDisplayStartReaches)
{
    auto b = boot({"Kestrel", "bigvram", true});
    ASSERT_NE(b->dc, nullptr);
    EXPECT_EQ(b->dc->videoMemoryKb, 512 * 1024);
    struct Case {
        Wanted mode;
        int pages;
    };
    // 1747 pages of 640x480 fit, 137 can be shown; 320x200 is held to the 256 a byte reports.
    for (const Case& c : {Case{{640, 480, 8}, 137}, Case{{640, 480, 32}, 137}, Case{{320, 200, 8}, 256}}) {
        SCOPED_TRACE(c.mode.text());
        ModeInfo info{};
        const int32_t mode = findMode(b->dc, c.mode, &info);
        ASSERT_NE(mode, 0);
        EXPECT_EQ(info.numberOfPages, c.pages);
        ASSERT_NE(GX_setMode(mode | 0x4000, 0, 1, info.modeSetValue), 0);
        EXPECT_EQ(b->dc->maxPage, c.pages - 1);
    }

    display::keepMeantMemory(true);
    ModeInfo info{};
    ASSERT_NE(GX_setMode(findMode(b->dc, {640, 480, 8}, &info) | 0x4000, 0, 1, info.modeSetValue), 0);
    GX_setActivePage(136);
    GX_clear(3);
    GX_setVisualPage(136, 0);
    const machine::Picture shown = screen();
    EXPECT_EQ(at(shown, 10, 10), at(shown, 630, 470));
    EXPECT_NE(at(shown, 10, 10), 0u);
    const uint64_t lastPage = 136ull * 640 * 480;
    EXPECT_EQ(machine::current().lfb()[lastPage + 640 * 480 - 1], 3);
    ASSERT_EQ(display::meantMemoryBytes(), 512ull << 20);
    EXPECT_EQ(std::memcmp(display::meantMemory() + lastPage, machine::current().lfb() + lastPage, 640 * 480), 0);
    display::keepMeantMemory(false);

    // 524288 lines of 1024 bytes fit; 65535 can be reported and started at.
    int32_t bytes = 0, pixels = 0, lines = 0;
    ASSERT_NE(VBE_setPixelsPerLine(1024, &bytes, &pixels, &lines), 0);
    EXPECT_EQ(lines, 65535);
    EXPECT_NE(VBE_setDisplayStart(0, 65535 - 479, 0), 0);
    GX_restoreMode();
    machine::setCurrent(nullptr);
}

// SeaVGABIOS lists the VGA's own mode 13h: its 64 KB window needs no bank switch, and the
// BIOS offers none there, so drawing through it must not ask for one.
TEST(VgaModes, Mode13hDrawsThroughItsWindow)
{
    auto b = boot({"SeaVGABIOS", "seavgabios", false});
    ASSERT_NE(b->dc, nullptr);
    bool listed = false;
    for (const uint16_t* m = b->dc->modeList; *m != 0xFFFF; ++m)
        listed = listed || *m == 0x13;
    ModeInfo info{};
    ASSERT_TRUE(listed && GX_getModeInfo(0x13, &info));
    std::vector<machine::Picture> pictures;
    for (int32_t number : {0x13, 0x4013}) {
        ASSERT_NE(GX_setMode(number, 0, 0, info.modeSetValue), 0);
        std::memset(machine::current().lfb(), 0x55, machine::current().videoMemoryBytes());
        GX_clear(1);
        GX_lineFast(0, 0, 319, 199, 15);
        GX_writeText(100, 100, "13h", 14);
        pictures.push_back(screen());
    }
    EXPECT_TRUE(pictures[0].pixels == pictures[1].pixels);
    EXPECT_EQ(at(pictures[0], 0, 0), at(pictures[0], 319, 199));
    EXPECT_NE(at(pictures[0], 0, 0), at(pictures[0], 0, 199));
    GX_restoreMode();
    machine::setCurrent(nullptr);
}

TEST(Detection, NoVbeGivesNoContext)
{
    auto b = boot({"novbe", "novbe", false});
    EXPECT_EQ(b->dc, nullptr);
    VbeInfoBlock info;
    std::memset(&info, 0xCC, sizeof info);
    EXPECT_EQ(VBE_detect(&info), 0);
    EXPECT_STREQ(vbeInfoString(info.OemStringPtr), "");
    EXPECT_STREQ(vbeInfoString(info.OemProductRevPtr), "");
    machine::setCurrent(nullptr);
}

}  // namespace
