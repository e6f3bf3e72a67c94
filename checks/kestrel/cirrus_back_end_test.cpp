// Kestrel's GD5446 back end on both Cirrus ROMs, judged by the picture the card scans out:
// every listed mode shows what is drawn through the banked window and through the linear
// framebuffer, and the display start, the line length, the palette, the DAC width, the
// state calls and the way back to a VGA mode do what they answer.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "hw/vbe.h"
#include "judge/vbe_rig.h"
#include "machine/card.h"
#include "machine/machine.h"

namespace kestrel::checks {
namespace {

using judge::VbeRig;
using machine::CpuRegs;

const char* const PRESETS[] = {"cirrus", "cirrus-seavgabios"};

CpuRegs vbe(VbeRig& rig, uint16_t ax, uint16_t bx = 0, uint16_t cx = 0, uint16_t dx = 0)
{
    CpuRegs regs;
    regs.ax = ax;
    regs.bx = bx;
    regs.cx = cx;
    regs.dx = dx;
    EXPECT_TRUE(rig.int10WithBuffer(regs).ok) << std::hex << ax;
    return regs;
}

std::vector<uint16_t> modeList(VbeRig& rig)
{
    std::memcpy(rig.buffer(), "VBE2", 4);
    vbe(rig, vbe::CONTROLLER_INFO);
    vbe::ControllerInfo info;
    std::memcpy(&info, rig.buffer(), sizeof info);
    std::vector<uint16_t> modes;
    const uint8_t* list =
        rig.at(static_cast<uint16_t>(info.VideoModePtr >> 16), static_cast<uint16_t>(info.VideoModePtr));
    for (int i = 0; rig.word(list + 2 * i) != vbe::MODE_LIST_END; ++i)
        modes.push_back(rig.word(list + 2 * i));
    return modes;
}

vbe::ModeInfo modeInfo(VbeRig& rig, uint16_t mode)
{
    EXPECT_EQ(vbe::STATUS_OK, vbe(rig, vbe::MODE_INFO, 0, mode).ax);
    vbe::ModeInfo info;
    std::memcpy(&info, rig.buffer(), sizeof info);
    return info;
}

// A pixel value that differs from its neighbours in every direction and from line to line.
uint32_t pattern(int bpp, int x, int y)
{
    const uint32_t v = static_cast<uint32_t>(x) * 0x010203u + static_cast<uint32_t>(y) * 0x0307F1u + 1;
    return bpp == 8 ? v & 0xFF : bpp == 24 ? v & 0xFFFFFF : v & 0xFFFF;
}

// The colour a pixel value shows at a depth: the DAC at 8 bits, the colour fields above.
uint32_t shown(VbeRig& rig, int bpp, uint32_t v)
{
    const auto five = [](uint32_t c) { return (c << 3) | (c >> 2); };
    switch (bpp) {
    case 8: return dynamic_cast<machine::Machine&>(rig.machine()).card().vga().dac.colours()[v];
    case 15: return five((v >> 10) & 31) << 16 | five((v >> 5) & 31) << 8 | five(v & 31);
    case 16: return five((v >> 11) & 31) << 16 | (((v >> 5) & 63) << 2 | ((v >> 5) & 63) >> 4) << 8 | five(v & 31);
    default: return v;
    }
}

void putPixel(uint8_t* memory, const vbe::ModeInfo& m, int x, int y, uint32_t v)
{
    const int bytes = (m.BitsPerPixel + 7) / 8;
    std::memcpy(memory + static_cast<size_t>(y) * m.BytesPerScanLine + static_cast<size_t>(x) * bytes, &v, bytes);
}

machine::Picture picture(VbeRig& rig)
{
    machine::Picture p;
    rig.machine().scanOut(p);
    return p;
}

uint32_t at(const machine::Picture& p, int x, int y)
{
    return p.pixels[static_cast<size_t>(y) * p.width + x];
}

TEST(KestrelOnGd5446, ListsTheChipsDepthsAndNoModeItCannotScanOut)
{
    for (const char* preset : PRESETS) {
        VbeRig rig(preset, true);
        const std::vector<uint16_t> modes = modeList(rig);
        std::set<int> depths;
        for (uint16_t mode : modes)
            depths.insert(modeInfo(rig, mode).BitsPerPixel);
        EXPECT_EQ((std::set<int>{8, 15, 16, 24}), depths) << preset;
        EXPECT_EQ(21u, modes.size()) << preset << ": 320x200 to 1280x1024 at each depth";
        EXPECT_NE(vbe::STATUS_OK, rig.setMode(0x162)) << preset << ": 640x480x32 set";
        EXPECT_NE(vbe::STATUS_OK, rig.setMode(0x102)) << preset << ": planar 800x600 set";
    }
}

// Every pixel drawn through the linear framebuffer shows; a few drawn through the window in
// their banks show, on a screen cleared black.
TEST(KestrelOnGd5446, EveryListedModeShowsWhatIsDrawnLinearAndBanked)
{
    for (const char* preset : PRESETS) {
        VbeRig rig(preset, true);
        for (uint16_t mode : modeList(rig)) {
            SCOPED_TRACE(std::string(preset) + " mode " + std::to_string(mode));
            const vbe::ModeInfo m = modeInfo(rig, mode);
            const int bpp = m.BitsPerPixel;
            ASSERT_EQ(vbe::STATUS_OK, rig.setMode(mode | vbe::MODE_LINEAR));
            for (int y = 0; y < m.YResolution; ++y)
                for (int x = 0; x < m.XResolution; ++x)
                    putPixel(rig.machine().lfb(), m, x, y, pattern(bpp, x, y));
            machine::Picture p = picture(rig);
            ASSERT_EQ(m.XResolution, p.width);
            ASSERT_EQ(m.YResolution, p.height);
            ASSERT_EQ(bpp, p.bitsPerPixel);
            int wrong = 0;
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < p.width; ++x)
                    wrong += at(p, x, y) != shown(rig, bpp, pattern(bpp, x, y));
            EXPECT_EQ(0, wrong) << "pixels not as drawn through the linear framebuffer";

            ASSERT_EQ(vbe::STATUS_OK, rig.setMode(mode));
            const int points[][2] = {{0, 0},
                                     {m.XResolution - 1, 0},
                                     {m.XResolution / 2, m.YResolution / 2},
                                     {0, m.YResolution - 1},
                                     {m.XResolution - 1, m.YResolution - 1}};
            const int bytes = (bpp + 7) / 8;
            for (const auto& point : points) {
                const uint32_t offset = point[1] * m.BytesPerScanLine + point[0] * bytes;
                const uint32_t v = pattern(bpp, point[0], point[1]);
                for (int i = 0; i < bytes; ++i) {
                    ASSERT_EQ(vbe::STATUS_OK, vbe(rig, vbe::WINDOW_CONTROL, 0, 0, (offset + i) >> 16).ax);
                    rig.machine().writePhys8(0xA0000 + ((offset + i) & 0xFFFF), static_cast<uint8_t>(v >> (8 * i)));
                }
            }
            p = picture(rig);
            ASSERT_EQ(m.XResolution, p.width);
            for (const auto& point : points)
                EXPECT_EQ(shown(rig, bpp, pattern(bpp, point[0], point[1])), at(p, point[0], point[1]))
                    << "banked pixel " << point[0] << "," << point[1];
            EXPECT_EQ(shown(rig, bpp, 0), at(p, 1, 1)) << "not cleared";
        }
    }
}

// The display start reaches every bit of the chip's start address (in dwords, up to bit 19)
// with a line length 4F06 set, and 4F07 reads back what the chip shows.
TEST(KestrelOnGd5446, DisplayStartAndLineLengthMoveThePicture)
{
    for (const char* preset : PRESETS) {
        SCOPED_TRACE(preset);
        VbeRig rig(preset, true);
        ASSERT_EQ(vbe::STATUS_OK, rig.setMode(0x4111));
        CpuRegs r = vbe(rig, vbe::SCAN_LINE_LENGTH, 0, 1024);
        ASSERT_EQ(vbe::STATUS_OK, r.ax);
        EXPECT_EQ(2048, r.bx);
        EXPECT_EQ(1024, r.cx);
        EXPECT_EQ(4080, vbe(rig, vbe::SCAN_LINE_LENGTH, 3).bx) << "the chip holds at most 4088 bytes a line";
        // Lines go by 8-pixel groups, down where up is more than the chip holds.
        for (const auto& [asked, granted] : {std::pair{2043, 2040}, std::pair{1001, 1008}}) {
            r = vbe(rig, vbe::SCAN_LINE_LENGTH, 0, asked);
            ASSERT_EQ(vbe::STATUS_OK, r.ax) << asked;
            EXPECT_EQ(granted, r.cx) << asked;
            EXPECT_EQ(granted * 2, r.bx) << asked;
            rig.machine().lfb()[r.bx] = 0xFF;
            rig.machine().lfb()[r.bx + 1] = 0xFF;
            EXPECT_EQ(0xFFFFFFu, at(picture(rig), 0, 1) & 0xFFFFFF) << asked << ": line 1 is not where 4F06 says";
            rig.machine().lfb()[r.bx] = rig.machine().lfb()[r.bx + 1] = 0;
        }
        ASSERT_EQ(vbe::STATUS_OK, vbe(rig, vbe::SCAN_LINE_LENGTH, 0, 1024).ax);
        for (const auto& [x, y] : {std::pair{8, 20}, std::pair{2, 1500}, std::pair{0, 1300}}) {
            vbe::ModeInfo m{};
            m.BitsPerPixel = 16;
            m.BytesPerScanLine = 2048;
            putPixel(rig.machine().lfb(), m, x, y, 0xF800);        // red at the start
            putPixel(rig.machine().lfb(), m, x + 1, y + 1, 0x1F);  // blue one line below
            ASSERT_EQ(vbe::STATUS_OK, vbe(rig, vbe::DISPLAY_START, vbe::DISPLAY_START_SET, x, y).ax);
            const machine::Picture p = picture(rig);
            EXPECT_EQ(0xFF0000u, at(p, 0, 0)) << x << "," << y;
            EXPECT_EQ(0x0000FFu, at(p, 1, 1)) << x << "," << y;
            r = vbe(rig, vbe::DISPLAY_START, vbe::DISPLAY_START_GET);
            EXPECT_EQ(x, r.cx);
            EXPECT_EQ(y, r.dx);
        }
    }
}

TEST(KestrelOnGd5446, PaletteDacWidthStateAndTheWayBackToText)
{
    for (const char* preset : PRESETS) {
        SCOPED_TRACE(preset);
        VbeRig rig(preset, true);
        ASSERT_EQ(vbe::STATUS_OK, rig.setMode(0x101));
        // A 6-bit DAC: 4F08 answers the width it really uses.
        EXPECT_EQ(6, vbe(rig, vbe::DAC_PALETTE_FORMAT, 0x0800).bx >> 8);
        EXPECT_EQ(6, vbe(rig, vbe::DAC_PALETTE_FORMAT, 0x0001).bx >> 8);
        const uint8_t entry[4] = {0x3F, 0x00, 0x15, 0};  // blue, green, red
        std::memcpy(rig.buffer(), entry, 4);
        ASSERT_EQ(vbe::STATUS_OK, vbe(rig, vbe::PALETTE_DATA, 0, 1, 7).ax);
        rig.machine().lfb()[0] = 7;
        EXPECT_EQ(0x5500FFu, at(picture(rig), 0, 0));

        // The state comes back over another mode: the SuperVGA part alone, and with the
        // BIOS's standard parts.
        machine::Picture p;
        for (const uint16_t parts : {vbe::STATE_SUPERVGA, uint16_t{0x0F}}) {
            std::memcpy(rig.buffer(), entry, 4);
            ASSERT_EQ(vbe::STATUS_OK, vbe(rig, vbe::PALETTE_DATA, 0, 1, 7).ax);
            ASSERT_EQ(vbe::STATUS_OK, vbe(rig, vbe::SAVE_RESTORE_STATE, 0, parts, 1).ax);
            ASSERT_EQ(vbe::STATUS_OK, rig.setMode(0x117 | vbe::MODE_NO_CLEAR));
            ASSERT_EQ(vbe::STATUS_OK, vbe(rig, vbe::SAVE_RESTORE_STATE, 0, parts, 2).ax);
            p = picture(rig);
            EXPECT_EQ(640, p.width) << parts;
            EXPECT_EQ(480, p.height) << parts;
            EXPECT_EQ(8, p.bitsPerPixel) << parts;
            if (parts & vbe::STATE_DAC) {
                EXPECT_EQ(0x5500FFu, at(p, 0, 0)) << "the DAC not restored";
            }
        }

        vbe(rig, 0x0003);
        p = picture(rig);
        EXPECT_EQ(0, p.bitsPerPixel) << "not text after AX=0003h";
        EXPECT_EQ(720, p.width);
    }
}

}  // namespace
}  // namespace kestrel::checks
