// The VBE conformance table: every VBE function a program needs, called through int 10h on a
// freshly booted machine and checked against what the card shows and does (the scan-out's
// mode, display start and line length, video memory, the DAC), not against the BIOS's own
// word nor one chip's registers, so that every card is judged alike. Rows run in order on one
// machine, as a program would call them.
#include "judge/conformance.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "hw/dispi.h"
#include "hw/vbe.h"
#include "hw/vga.h"
#include "judge/vbe_rig.h"
#include "kestrel/resident.h"

namespace judge {
namespace {

using pc::CpuRegs;

// What a row found: pass, what went wrong with the values, or n/a with why.
using Verdict = RowVerdict;

Verdict fail(std::string why)
{
    return {RowVerdict::Kind::Fail, std::move(why)};
}

Verdict notApplicable(std::string why)
{
    return {RowVerdict::Kind::NotApplicable, std::move(why)};
}

struct Row {
    const char* name;
    std::function<Verdict(VbeRig&)> run;
};

#define REQUIRE(condition, ...)                                                                                        \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            char why[200];                                                                                             \
            std::snprintf(why, sizeof why, __VA_ARGS__);                                                               \
            return fail(why);                                                                                          \
        }                                                                                                              \
    } while (0)

Verdict call(VbeRig& rig, CpuRegs& regs, bool withBuffer = false)
{
    const uint16_t function = regs.ax;
    const auto result = withBuffer ? rig.int10WithBuffer(regs) : rig.int10(regs);
    if (!result.ok) {
        char name[8];
        std::snprintf(name, sizeof name, "%04Xh", function);
        return fail(std::string("call ") + name + " did not return: " + result.error);
    }
    return {};
}

// Ends the row with what a helper found, unless it passed.
#define PASSES(verdict)                                                                                                \
    do {                                                                                                               \
        Verdict found = (verdict);                                                                                     \
        if (found.kind != RowVerdict::Kind::Pass)                                                                      \
            return found;                                                                                              \
    } while (0)

#define CALL(regs, ...) PASSES(call(rig, regs, ##__VA_ARGS__))

#define SET_MODE(mode)                                                                                                 \
    do {                                                                                                               \
        const uint16_t status = rig.setMode(mode);                                                                     \
        REQUIRE(status == vbe::STATUS_OK, "4F02 %04Xh gave AX=%04Xh", mode, status);                                   \
    } while (0)

constexpr uint32_t TEXT_BUFFER = 0xB8000;  // colour text mode's first character, where the cursor starts

uint32_t totalMemory(VbeRig& rig)
{
    return rig.machine().videoMemoryBytes();
}

// Past 16 MB the counts a BIOS keeps in a byte or 16 bits start to overflow: 64 KB banks
// past 255, more than 256 image pages, lines longer than 65535 bytes at the height of a mode.
constexpr uint32_t LARGE_MEMORY = 16u << 20;

#define LARGE_CARD_ONLY()                                                                                              \
    do {                                                                                                               \
        if (totalMemory(rig) <= LARGE_MEMORY)                                                                          \
            return notApplicable("the card has 16 MB of video memory or less");                                        \
    } while (0)

vbe::ControllerInfo controllerInfo(VbeRig& rig)
{
    vbe::ControllerInfo info;
    std::memcpy(&info, rig.buffer(), sizeof info);
    return info;
}

// The modes of the 4F00 list. A 4F00 that does not return, or refuses, fails the row: a
// row that needs the list cannot be judged without it, and must not pass for n/a.
Verdict modeList(VbeRig& rig, std::vector<uint16_t>& modes)
{
    CpuRegs regs;
    regs.ax = vbe::CONTROLLER_INFO;
    std::memcpy(rig.buffer(), "VBE2", 4);
    modes.clear();
    PASSES(call(rig, regs, true));
    REQUIRE(regs.ax == vbe::STATUS_OK, "4F00 for the mode list gave AX=%04Xh", regs.ax);
    const uint32_t list = controllerInfo(rig).VideoModePtr;
    const uint8_t* p = rig.at(static_cast<uint16_t>(list >> 16), static_cast<uint16_t>(list));
    for (int i = 0; i < 512 && rig.word(p + 2 * i) != 0xFFFF; ++i)
        modes.push_back(rig.word(p + 2 * i));
    return {};
}

#define MODE_LIST(modes)                                                                                               \
    std::vector<uint16_t> modes;                                                                                       \
    PASSES(modeList(rig, modes))

struct ModeBlock {
    uint16_t ax = 0;
    vbe::ModeInfo m{};
};

ModeBlock modeInfo(VbeRig& rig, uint16_t mode)
{
    ModeBlock block;
    CpuRegs regs;
    regs.ax = vbe::MODE_INFO;
    regs.cx = mode;
    std::memset(rig.buffer(), 0, 256);
    block.ax = rig.int10WithBuffer(regs).ok ? regs.ax : 0xFFFF;
    std::memcpy(&block.m, rig.buffer(), sizeof block.m);
    return block;
}

uint32_t screenBytes(const vbe::ModeInfo& m)
{
    return uint32_t(m.BytesPerScanLine) * m.YResolution * (m.NumberOfPlanes == 4 ? 4 : 1);
}

// Pass when the mode is in the 4F00 list, n/a when it is not, fail when there is no list.
Verdict listed(VbeRig& rig, uint16_t mode)
{
    MODE_LIST(modes);
    if (std::find(modes.begin(), modes.end(), mode) != modes.end())
        return {};
    char why[40];
    std::snprintf(why, sizeof why, "%03Xh is not in the mode list", mode);
    return notApplicable(why);
}

// Video memory bytes per bank of the mode's window, as its 4F01 block gives them.
uint32_t granularity(VbeRig& rig, uint16_t mode)
{
    return modeInfo(rig, mode).m.WinGranularity * 1024u;
}

// The card shows a graphics mode of this size and depth.
Verdict showsMode(VbeRig& rig, int width, int height, int bitsPerPixel)
{
    const Screen shown = rig.screen();
    REQUIRE(shown.graphics && shown.width == width && shown.height == height && shown.bitsPerPixel == bitsPerPixel,
            "the card shows %s", shown.text().c_str());
    return {};
}

#define SHOWS_MODE(width, height, bitsPerPixel) PASSES(showsMode(rig, width, height, bitsPerPixel))

// Where the card itself departs from the VGA, a failing row says which register does: these
// read the register as a diagnostic program would.

// A VGA's input status 1 follows the beam: its retrace bit is set for a few lines a frame, so
// eight reads in a row never alternate it. Some emulated cards flip it on every read.
std::string retraceDeparture(VbeRig& rig)
{
    int flips = 0;
    bool last = rig.machine().in8(vga::status1::PORT) & vga::status1::VERTICAL_RETRACE;
    for (int i = 0; i < 8; ++i) {
        const bool now = rig.machine().in8(vga::status1::PORT) & vga::status1::VERTICAL_RETRACE;
        flips += now != last;
        last = now;
    }
    return flips == 8 ? " (the card's input status 1, 3DAh, flips its retrace bit on every read instead of "
                        "following the beam)"
                      : "";
}

// What the DISPI bank register holds after a bank past video memory, when it is not the bank
// the window showed before: the card took the bank in part (wrapped it) instead of refusing it.
std::string bankDeparture(VbeRig& rig, uint16_t before, uint16_t asked)
{
    if (!rig.machine().config().dispi)
        return "";
    const uint16_t held = rig.dispi(dispi::BANK);
    if (held == before)
        return "";
    char text[160];
    std::snprintf(text, sizeof text,
                  " (the card's DISPI bank register, index 5, holds %u after %u: it wraps a bank "
                  "past video memory instead of refusing it)",
                  held, asked);
    return text;
}

// The S3 keeps a line length's low byte (CR13, in 8-byte units) and a start's low word (CR0C and
// CR0D, in 4-byte units) in the VGA's registers and the high bits in its own (CR51, CR43, CR69):
// a BIOS that sets the high bits alone leaves a card that shows the right value above the VGA
// register and the old one in it.
std::string s3LowBitsDeparture(VbeRig& rig, const char* registers, uint64_t askedBytes, uint64_t shownBytes,
                               uint32_t unit, uint32_t lowMask)
{
    if (rig.machine().config().card != "s3" || askedBytes % unit != 0)
        return "";
    const uint64_t asked = askedBytes / unit, shown = shownBytes / unit;
    if (asked == shown || ((asked ^ shown) & ~uint64_t{lowMask}) != 0)
        return "";
    char text[200];
    std::snprintf(text, sizeof text, " (%s, the VGA's low bits of it, read back %llXh where %llXh was asked)",
                  registers, static_cast<unsigned long long>(shown & lowMask),
                  static_cast<unsigned long long>(asked & lowMask));
    return text;
}

std::string lineDeparture(VbeRig& rig, uint64_t askedBytes)
{
    constexpr uint64_t S3_LONGEST_LINE = 0x3FF * 8;  // ten bits of 8-byte units: CR13 and CR51 bits 5:4
    if (rig.machine().config().card == "s3" && askedBytes > S3_LONGEST_LINE)
        return " (the S3's line length, CR13 with CR51 bits 5:4, holds at most 8184 bytes)";
    return s3LowBitsDeparture(rig, "CR13", askedBytes, rig.screen().lineBytes, 8, 0xFF);
}

std::string startDeparture(VbeRig& rig, uint64_t askedByte)
{
    return s3LowBitsDeparture(rig, "CR0C and CR0D", askedByte, rig.screen().start, 4, 0xFFFF);
}

#define SCREEN_ON() REQUIRE(!rig.screen().off, "the card has the screen off: %s", rig.screen().text().c_str())

// 4F02 sets the mode, the card shows it with the screen on, and 4F03 gives it back.
Verdict setsAndReports(VbeRig& rig, uint16_t mode, int width, int height, int bitsPerPixel)
{
    SET_MODE(mode);
    SHOWS_MODE(width, height, bitsPerPixel);
    CpuRegs regs;
    regs.ax = vbe::GET_MODE;
    CALL(regs);
    REQUIRE(regs.ax == vbe::STATUS_OK && (regs.bx & 0x7FFF) == mode, "4F03 AX=%04Xh BX=%04Xh", regs.ax, regs.bx);
    SCREEN_ON();
    return {};
}

const std::vector<Row>& rows()
{
    static const std::vector<Row> table = {
        {"4F00 controller block (VBE2)",
         [](VbeRig& rig) -> Verdict {
             CpuRegs regs;
             regs.ax = vbe::CONTROLLER_INFO;
             std::memset(rig.buffer(), 0, 512);
             std::memcpy(rig.buffer(), "VBE2", 4);
             CALL(regs, true);
             const vbe::ControllerInfo b = controllerInfo(rig);
             REQUIRE(regs.ax == vbe::STATUS_OK, "AX=%04Xh", regs.ax);
             REQUIRE(std::memcmp(b.VbeSignature, "VESA", 4) == 0, "signature is not VESA");
             REQUIRE(b.VbeVersion >= 0x0200, "version %04Xh", b.VbeVersion);
             REQUIRE(b.TotalMemory * 65536u == totalMemory(rig), "TotalMemory %u x 64 KB", b.TotalMemory);
             const struct {
                 const char* name;
                 uint32_t pointer;
             } strings[] = {{"OemStringPtr", b.OemStringPtr},
                            {"OemVendorNamePtr", b.OemVendorNamePtr},
                            {"OemProductNamePtr", b.OemProductNamePtr},
                            {"OemProductRevPtr", b.OemProductRevPtr}};
             for (const auto& string : strings)
                 REQUIRE(rig.farString(string.pointer) != "<bad>", "%s %08Xh is bad", string.name, string.pointer);
             REQUIRE(!rig.farString(b.OemStringPtr).empty(), "empty OEM string");
             return {};
         }},
        {"4F00 old 256-byte block",
         [](VbeRig& rig) -> Verdict {
             CpuRegs regs;
             regs.ax = vbe::CONTROLLER_INFO;
             std::memset(rig.buffer(), 0xAA, 512);
             CALL(regs, true);
             REQUIRE(regs.ax == vbe::STATUS_OK, "AX=%04Xh", regs.ax);
             REQUIRE(std::memcmp(rig.buffer(), "VESA", 4) == 0, "signature is not VESA");
             for (int i = 256; i < 512; ++i)
                 REQUIRE(rig.buffer()[i] == 0xAA, "wrote byte %d of a 256-byte block", i);
             return {};
         }},
        {"4F00 mode list fits video memory",
         [](VbeRig& rig) -> Verdict {
             MODE_LIST(modes);
             REQUIRE(!modes.empty(), "no modes");
             for (uint16_t mode : modes) {
                 const ModeBlock info = modeInfo(rig, mode);
                 REQUIRE(info.ax == vbe::STATUS_OK, "4F01 of listed mode %03Xh: AX=%04Xh", mode, info.ax);
                 REQUIRE(screenBytes(info.m) <= totalMemory(rig), "mode %03Xh (%ux%ux%u) needs %u bytes", mode,
                         info.m.XResolution, info.m.YResolution, info.m.BitsPerPixel, screenBytes(info.m));
             }
             return {};
         }},
        {"4F01 mode blocks complete",
         [](VbeRig& rig) -> Verdict {
             MODE_LIST(modes);
             for (uint16_t mode : modes) {
                 const ModeBlock info = modeInfo(rig, mode);
                 const vbe::ModeInfo& b = info.m;
                 if (info.ax != vbe::STATUS_OK || screenBytes(b) > totalMemory(rig))
                     continue;  // the row above speaks for those
                 const uint16_t attributes = b.ModeAttributes;
                 const unsigned bpp = b.BitsPerPixel;
                 constexpr uint16_t usable = vbe::MODE_ATTR_SUPPORTED | vbe::MODE_ATTR_COLOR | vbe::MODE_ATTR_GRAPHICS;
                 REQUIRE((attributes & usable) == usable, "mode %03Xh attributes %04Xh", mode, attributes);
                 constexpr uint8_t window = vbe::WIN_ATTR_EXISTS | vbe::WIN_ATTR_READABLE | vbe::WIN_ATTR_WRITABLE;
                 REQUIRE((b.WinAAttributes & window) == window && b.WinASegment == 0xA000,
                         "mode %03Xh window A %02Xh at %04Xh", mode, b.WinAAttributes, b.WinASegment);
                 REQUIRE(b.WinSize == 64 && b.WinGranularity > 0 && b.WinGranularity <= b.WinSize &&
                             (b.WinGranularity & (b.WinGranularity - 1)) == 0,
                         "mode %03Xh window granularity %u KB, size %u KB", mode, b.WinGranularity, b.WinSize);
                 REQUIRE(b.WinFuncPtr != 0, "mode %03Xh has no WinFuncPtr", mode);
                 const uint32_t minPitch = bpp == 4 ? b.XResolution / 8u : b.XResolution * ((bpp + 7) / 8u);
                 REQUIRE(b.BytesPerScanLine >= minPitch, "mode %03Xh bytes per line %u", mode, b.BytesPerScanLine);
                 const unsigned pages = b.NumberOfImagePages + 1u;
                 REQUIRE(pages * screenBytes(b) <= totalMemory(rig), "mode %03Xh %u image pages", mode, pages);
                 if (bpp == 4)
                     REQUIRE(b.NumberOfPlanes == 4 && b.MemoryModel == vbe::MEMORY_PLANAR,
                             "mode %03Xh planar: %u planes, model %u", mode, b.NumberOfPlanes, b.MemoryModel);
                 if (bpp == 8)
                     REQUIRE(b.MemoryModel == vbe::MEMORY_PACKED, "mode %03Xh model %u", mode, b.MemoryModel);
                 if (bpp > 8) {
                     REQUIRE(b.MemoryModel == vbe::MEMORY_DIRECT, "mode %03Xh model %u", mode, b.MemoryModel);
                     const unsigned colourBits = b.RedMaskSize + b.GreenMaskSize + b.BlueMaskSize;
                     REQUIRE(colourBits == (bpp == 32 ? 24u : bpp), "mode %03Xh masks %u bits", mode, colourBits);
                     REQUIRE(b.RedFieldPosition == b.GreenFieldPosition + b.GreenMaskSize &&
                                 b.GreenFieldPosition == b.BlueFieldPosition + b.BlueMaskSize,
                             "mode %03Xh field positions", mode);
                 }
                 if (attributes & vbe::MODE_ATTR_LINEAR)
                     REQUIRE(b.PhysBasePtr == rig.machine().config().lfbAddress, "mode %03Xh PhysBasePtr %08Xh", mode,
                             b.PhysBasePtr);
                 else
                     REQUIRE(bpp <= 4, "mode %03Xh offers no linear framebuffer", mode);
             }
             return {};
         }},
        {"4F01 unknown mode fails",
         [](VbeRig& rig) -> Verdict {
             const ModeBlock info = modeInfo(rig, 0x1FF);
             REQUIRE(info.ax != vbe::STATUS_OK, "mode 1FFh accepted");
             return {};
         }},
        {"4F02 banked 101h, 4F03",
         [](VbeRig& rig) -> Verdict {
             PASSES(setsAndReports(rig, 0x101, 640, 480, 8));
             REQUIRE(rig.attribute(vga::attr::MODE_CONTROL) & vga::attr::MODE_CONTROL_GRAPHICS,
                     "attribute controller not in graphics");
             return {};
         }},
        {"4F02 linear 4111h, 4F03", [](VbeRig& rig) { return setsAndReports(rig, 0x4111, 640, 480, 16); }},
        {"4F02 clears, bit 15 keeps memory",
         [](VbeRig& rig) -> Verdict {
             // Video memory as the card holds it, asked for anew after each call.
             rig.machine().lfb()[4000] = 0x5A;
             SET_MODE(0x4101);
             REQUIRE(rig.machine().lfb()[4000] == 0, "video memory not cleared");
             rig.machine().lfb()[4000] = 0x5A;
             SET_MODE(0xC101);
             REQUIRE(rig.machine().lfb()[4000] == 0x5A, "video memory cleared despite bit 15");
             return {};
         }},
        {"4F02 planar 102h",
         [](VbeRig& rig) -> Verdict {
             PASSES(listed(rig, 0x102));
             SET_MODE(0x102);
             SHOWS_MODE(800, 600, 4);
             REQUIRE((rig.vgaIndexed(vga::seq::INDEX_PORT, vga::seq::MEMORY_MODE) & vga::seq::MEMORY_MODE_CHAIN4) == 0,
                     "sequencer still chains 4");
             REQUIRE(rig.vgaIndexed(vga::seq::INDEX_PORT, vga::seq::MAP_MASK) == vga::seq::MAP_MASK_PLANES,
                     "map mask %02Xh", rig.vgaIndexed(vga::seq::INDEX_PORT, vga::seq::MAP_MASK));
             REQUIRE((rig.vgaIndexed(vga::gc::INDEX_PORT, vga::gc::MODE) &
                      (vga::gc::MODE_SHIFT_256 | vga::gc::MODE_WRITE_MODE)) == 0,
                     "graphics mode %02Xh", rig.vgaIndexed(vga::gc::INDEX_PORT, vga::gc::MODE));
             REQUIRE(rig.vgaIndexed(vga::gc::INDEX_PORT, vga::gc::MISC) & vga::gc::MISC_GRAPHICS,
                     "graphics controller in text mode");
             REQUIRE(rig.attribute(vga::attr::MODE_CONTROL) & vga::attr::MODE_CONTROL_GRAPHICS,
                     "attribute controller not in graphics");
             SCREEN_ON();
             return {};
         }},
        {"4F02 unknown mode fails and changes nothing",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             const Screen before = rig.screen();
             REQUIRE(rig.setMode(0x1FF) != vbe::STATUS_OK, "mode 1FFh accepted");
             REQUIRE(rig.screen() == before, "refused, but the card shows %s instead of %s",
                     rig.screen().text().c_str(), before.text().c_str());
             return {};
         }},
        {"4F04 state size",
         [](VbeRig& rig) -> Verdict {
             CpuRegs regs;
             regs.ax = vbe::SAVE_RESTORE_STATE;
             regs.dx = 0x0000;
             regs.cx = 0x000F;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK && regs.bx >= 1, "AX=%04Xh BX=%u", regs.ax, regs.bx);
             return {};
         }},
        {"4F04 save and restore SVGA state",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             const Screen saved = rig.screen();
             CpuRegs regs;
             regs.ax = vbe::SAVE_RESTORE_STATE;
             regs.dx = 0x0000;
             regs.cx = 0x000F;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK && regs.bx * 64u <= 0x8000, "size AX=%04Xh BX=%u", regs.ax, regs.bx);
             regs = {};
             regs.ax = vbe::SAVE_RESTORE_STATE;
             regs.dx = 0x0001;
             regs.cx = 0x000F;
             regs.es = BUFFER_SEGMENT;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK, "save AX=%04Xh", regs.ax);
             SET_MODE(0x111);
             regs = {};
             regs.ax = vbe::SAVE_RESTORE_STATE;
             regs.dx = 0x0002;
             regs.cx = 0x000F;
             regs.es = BUFFER_SEGMENT;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK, "restore AX=%04Xh", regs.ax);
             REQUIRE(rig.screen() == saved, "restored, the card shows %s instead of %s", rig.screen().text().c_str(),
                     saved.text().c_str());
             return {};
         }},
        {"4F05 set and get bank",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             const uint32_t bank = granularity(rig, 0x101);
             REQUIRE(bank != 0, "4F01 101h gives no window granularity");
             CpuRegs regs;
             regs.ax = vbe::WINDOW_CONTROL;
             regs.bx = 0x0000;
             regs.dx = 3;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK, "set AX=%04Xh", regs.ax);
             rig.machine().writePhys8(0xA0005, 0x77);
             REQUIRE(rig.machine().lfb()[3 * bank + 5] == 0x77, "window write not in bank 3 (%u KB banks)",
                     bank / 1024);
             regs = {};
             regs.ax = vbe::WINDOW_CONTROL;
             regs.bx = 0x0100;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK && regs.dx == 3, "get AX=%04Xh DX=%u", regs.ax, regs.dx);
             return {};
         }},
        {"4F05 banks in a mode set with bits 14 and 15",
         [](VbeRig& rig) -> Verdict {
             // The window stays usable in a linear mode unless 4F01 says it is not there.
             const ModeBlock info = modeInfo(rig, 0x101);
             if (info.m.ModeAttributes & vbe::MODE_ATTR_NO_WINDOW)
                 return notApplicable("101h has no window with its linear framebuffer");
             const uint32_t bank = info.m.WinGranularity * 1024u;
             REQUIRE(bank != 0, "4F01 101h gives no window granularity");
             SET_MODE(0xC101);
             CpuRegs regs;
             regs.ax = vbe::WINDOW_CONTROL;
             regs.bx = 0x0000;
             regs.dx = 1;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK, "set AX=%04Xh", regs.ax);
             rig.machine().writePhys8(0xA0007, 0x3C);
             const uint8_t* vram = rig.machine().lfb();
             if (vram[bank + 7] != 0x3C) {
                 for (uint32_t at = 7; at < 64 * 1024; at += 1024)
                     REQUIRE(vram[at] != 0x3C, "window write to bank 1 (%u KB banks) landed at byte %Xh, not %Xh",
                             bank / 1024, at, bank + 7);
                 return fail("window write not in bank 1");
             }
             return {};
         }},
        {"4F05 window function (far call)",
         [](VbeRig& rig) -> Verdict {
             const ModeBlock info = modeInfo(rig, 0x101);
             SET_MODE(0x101);
             const uint32_t function = info.m.WinFuncPtr;
             REQUIRE(function != 0, "no WinFuncPtr");
             CpuRegs regs;
             regs.bx = 0x0000;
             regs.dx = 2;
             const auto result =
                 rig.machine().farCall(static_cast<uint16_t>(function >> 16), static_cast<uint16_t>(function), regs);
             REQUIRE(result.ok, "far call did not return: %s", result.error.c_str());
             const uint32_t bank = info.m.WinGranularity * 1024u;
             REQUIRE(bank != 0, "4F01 101h gives no window granularity");
             rig.machine().writePhys8(0xA0009, 0x66);
             REQUIRE(rig.machine().lfb()[2 * bank + 9] == 0x66, "window write not in bank 2 (%u KB banks)",
                     bank / 1024);
             return {};
         }},
        {"4F06 set and get in pixels",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             CpuRegs regs;
             regs.ax = vbe::SCAN_LINE_LENGTH;
             regs.bx = 0x0000;
             regs.cx = 1024;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK && regs.bx == 1024 && regs.cx == 1024, "set AX=%04Xh BX=%u CX=%u",
                     regs.ax, regs.bx, regs.cx);
             REQUIRE(regs.dx == std::min<uint32_t>(totalMemory(rig) / 1024, 0xFFFF), "set DX=%u lines", regs.dx);
             REQUIRE(rig.screen().lineBytes == 1024, "the card shows lines of %u bytes%s", rig.screen().lineBytes,
                     lineDeparture(rig, 1024).c_str());
             regs = {};
             regs.ax = vbe::SCAN_LINE_LENGTH;
             regs.bx = 0x0001;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK && regs.bx == 1024 && regs.cx == 1024, "get AX=%04Xh BX=%u CX=%u",
                     regs.ax, regs.bx, regs.cx);
             return {};
         }},
        {"4F06 set in bytes",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x111);
             CpuRegs regs;
             regs.ax = vbe::SCAN_LINE_LENGTH;
             regs.bx = 0x0002;
             regs.cx = 2048;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK && regs.bx == 2048 && regs.cx == 1024, "AX=%04Xh BX=%u CX=%u", regs.ax,
                     regs.bx, regs.cx);
             REQUIRE(rig.screen().lineBytes == 2048, "the card shows lines of %u bytes%s", rig.screen().lineBytes,
                     lineDeparture(rig, 2048).c_str());
             return {};
         }},
        {"4F06 maximum",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             CpuRegs regs;
             regs.ax = vbe::SCAN_LINE_LENGTH;
             regs.bx = 0x0003;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK, "BL=03h: AX=%04Xh", regs.ax);
             REQUIRE(regs.bx >= 640 && regs.bx * 480u <= totalMemory(rig) && regs.cx == regs.bx, "BX=%u CX=%u", regs.bx,
                     regs.cx);
             return {};
         }},
        {"4F06 a line of 8192 pixels: shown or refused",
         [](VbeRig& rig) -> Verdict {
             // Longer than some cards' line registers hold: a BIOS either sets a line that
             // long (or longer), or refuses and changes nothing.
             constexpr uint16_t LONG_LINE = 8192;
             SET_MODE(0x101);
             const Screen before = rig.screen();
             CpuRegs regs;
             regs.ax = vbe::SCAN_LINE_LENGTH;
             regs.bx = 0x0000;
             regs.cx = LONG_LINE;
             CALL(regs);
             if (regs.ax != vbe::STATUS_OK) {
                 REQUIRE(rig.screen() == before, "refused, but the card shows %s instead of %s",
                         rig.screen().text().c_str(), before.text().c_str());
                 return {};
             }
             REQUIRE(regs.cx >= LONG_LINE && regs.bx == regs.cx, "BX=%u CX=%u for %u pixels", regs.bx, regs.cx,
                     LONG_LINE);
             REQUIRE(rig.screen().lineBytes == regs.bx, "4F06 says %u bytes, the card shows lines of %u%s", regs.bx,
                     rig.screen().lineBytes, lineDeparture(rig, regs.bx).c_str());
             REQUIRE(uint64_t{regs.dx} * regs.bx <= totalMemory(rig), "DX=%u lines of %u bytes", regs.dx, regs.bx);
             return {};
         }},
        {"4F07 set and get",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             const uint64_t line = rig.screen().lineBytes;
             CpuRegs regs;
             regs.ax = vbe::DISPLAY_START;
             regs.bx = 0x0000;
             regs.cx = 8;
             regs.dx = 20;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK, "set AX=%04Xh", regs.ax);
             REQUIRE(rig.screen().start == 20 * line + 8,
                     "pixel 8 of line 20 is byte %llXh, the card starts at %llXh%s",
                     static_cast<unsigned long long>(20 * line + 8),
                     static_cast<unsigned long long>(rig.screen().start), startDeparture(rig, 20 * line + 8).c_str());
             regs = {};
             regs.ax = vbe::DISPLAY_START;
             regs.bx = 0x0001;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK && regs.cx == 8 && regs.dx == 20 && (regs.bx >> 8) == 0,
                     "get AX=%04Xh BX=%04Xh CX=%u DX=%u", regs.ax, regs.bx, regs.cx, regs.dx);
             return {};
         }},
        {"4F07 set in vertical retrace",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             if (const std::string departure = retraceDeparture(rig); !departure.empty())
                 return fail("no retrace to wait for" + departure);
             const uint64_t line = rig.screen().lineBytes;
             for (int attempt = 0; attempt < 3; ++attempt) {
                 CpuRegs regs;
                 regs.ax = vbe::DISPLAY_START;
                 regs.bx = 0x0080;
                 regs.dx = static_cast<uint16_t>(40 + attempt);
                 CALL(regs);
                 REQUIRE(regs.ax == vbe::STATUS_OK, "AX=%04Xh", regs.ax);
                 const uint64_t start = (40u + static_cast<unsigned>(attempt)) * line;
                 REQUIRE(rig.screen().start == start, "line %d is byte %llXh, the card starts at %llXh%s", 40 + attempt,
                         static_cast<unsigned long long>(start), static_cast<unsigned long long>(rig.screen().start),
                         startDeparture(rig, start).c_str());
                 REQUIRE(rig.machine().in8(vga::status1::PORT) & vga::status1::VERTICAL_RETRACE,
                         "returned outside the vertical retrace");
             }
             return {};
         }},
        {"4F08 DAC width",
         [](VbeRig& rig) -> Verdict {
             // A DAC that cannot show 8 bits is set to the next width it has, 6 bits.
             CpuRegs info;
             info.ax = vbe::CONTROLLER_INFO;
             std::memcpy(rig.buffer(), "VBE2", 4);
             CALL(info, true);
             const bool switchable = controllerInfo(rig).Capabilities & vbe::CAP_DAC_SWITCHABLE;
             SET_MODE(0x101);
             for (uint8_t bits : {8, 6}) {
                 CpuRegs regs;
                 regs.ax = vbe::DAC_PALETTE_FORMAT;
                 regs.bx = static_cast<uint16_t>(bits << 8);
                 CALL(regs);
                 const int expected = switchable ? bits : 6;
                 REQUIRE(regs.ax == vbe::STATUS_OK && (regs.bx >> 8) == expected, "set %u: AX=%04Xh BH=%u%s", bits,
                         regs.ax, regs.bx >> 8, switchable ? "" : " (capabilities: the DAC does not switch)");
                 const int shown = rig.dacBitsShown();
                 REQUIRE(shown == regs.bx >> 8, "set %u: 4F08 says %u bits, the DAC shows %d", bits, regs.bx >> 8,
                         shown);
                 regs = {};
                 regs.ax = vbe::DAC_PALETTE_FORMAT;
                 regs.bx = 0x0001;
                 CALL(regs);
                 REQUIRE(regs.ax == vbe::STATUS_OK && regs.bx >> 8 == shown, "get: AX=%04Xh BH=%u, the DAC shows %d",
                         regs.ax, regs.bx >> 8, shown);
             }
             return {};
         }},
        {"4F09 set: blue, green, red, all bytes",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             struct Load {
                 uint8_t subfunction;
                 int count;
                 int first;
             };
             for (const Load load : {Load{0x00, 2, 10}, Load{0x80, 3, 40}, Load{0x00, 11, 200}, Load{0x00, 256, 0}}) {
                 uint8_t* entries = rig.buffer();
                 for (int i = 0; i < load.count; ++i) {
                     entries[4 * i] = static_cast<uint8_t>((i + 1) % 64);      // blue
                     entries[4 * i + 1] = static_cast<uint8_t>((i + 2) % 64);  // green
                     entries[4 * i + 2] = static_cast<uint8_t>((i + 3) % 64);  // red
                     entries[4 * i + 3] = 0;
                 }
                 CpuRegs regs;
                 regs.ax = vbe::PALETTE_DATA;
                 regs.bx = load.subfunction;
                 regs.cx = static_cast<uint16_t>(load.count);
                 regs.dx = static_cast<uint16_t>(load.first);
                 CALL(regs, true);
                 REQUIRE(regs.ax == vbe::STATUS_OK, "BL=%02Xh, %d entries: AX=%04Xh", load.subfunction, load.count,
                         regs.ax);
                 std::vector<uint8_t> rgb(static_cast<size_t>(load.count) * 3);
                 rig.readDac(static_cast<uint8_t>(load.first), rgb.data(), load.count);
                 for (int i = 0; i < load.count; ++i)
                     REQUIRE(rgb[3 * i] == (i + 3) % 64 && rgb[3 * i + 1] == (i + 2) % 64 &&
                                 rgb[3 * i + 2] == (i + 1) % 64,
                             "BL=%02Xh, %d entries: entry %d reads %u,%u,%u, not %d,%d,%d", load.subfunction,
                             load.count, load.first + i, rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], (i + 3) % 64,
                             (i + 2) % 64, (i + 1) % 64);
             }
             return {};
         }},
        {"4F09 past entry 255 fails and changes nothing",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             uint8_t before[3];
             rig.readDac(255, before, 1);
             std::memset(rig.buffer(), 0x11, 8);
             CpuRegs regs;
             regs.ax = vbe::PALETTE_DATA;
             regs.bx = 0x0000;
             regs.cx = 2;
             regs.dx = 255;
             CALL(regs, true);
             uint8_t after[3];
             rig.readDac(255, after, 1);
             REQUIRE(regs.ax != vbe::STATUS_OK, "entries 255-256 accepted");
             REQUIRE(std::memcmp(before, after, 3) == 0, "refused, but entry 255 changed to %u,%u,%u", after[0],
                     after[1], after[2]);
             return {};
         }},
        {"4F05 bank past video memory fails and changes nothing",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             const uint32_t bank = granularity(rig, 0x101);
             REQUIRE(bank != 0, "4F01 101h gives no window granularity");
             const auto banks = static_cast<uint16_t>(totalMemory(rig) / bank);
             CpuRegs regs;
             regs.ax = vbe::WINDOW_CONTROL;
             regs.dx = 2;
             CALL(regs);
             regs = {};
             regs.ax = vbe::WINDOW_CONTROL;
             regs.dx = banks;
             CALL(regs);
             REQUIRE(regs.ax != vbe::STATUS_OK, "bank %u of %u accepted", banks, banks);
             rig.machine().writePhys8(0xA0003, 0x55);
             REQUIRE(
                 rig.machine().lfb()[2 * bank + 3] == 0x55, "refused, but the window no longer shows bank 2%s",
                 bankDeparture(rig, uint16_t(2 * bank / dispi::BANK_BYTES), uint16_t(banks * bank / dispi::BANK_BYTES))
                     .c_str());
             return {};
         }},
        {"4F09 get",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             rig.machine().out8(vga::dac::WRITE_INDEX_PORT, 20);
             for (uint8_t v : {7, 8, 9})
                 rig.machine().out8(vga::dac::DATA_PORT, v);
             std::memset(rig.buffer(), 0xEE, 8);
             CpuRegs regs;
             regs.ax = vbe::PALETTE_DATA;
             regs.bx = 0x0001;
             regs.cx = 1;
             regs.dx = 20;
             CALL(regs, true);
             const uint8_t* b = rig.buffer();
             REQUIRE(regs.ax == vbe::STATUS_OK, "BL=01h: AX=%04Xh", regs.ax);
             REQUIRE(b[0] == 9 && b[1] == 8 && b[2] == 7,
                     "entry 20 (red 7, green 8, blue 9) came back as blue %u, green %u, red %u", b[0], b[1], b[2]);
             REQUIRE(b[4] == 0xEE, "wrote past the entries");
             return {};
         }},
        {"4F00 TotalMemory past 16 MB",
         [](VbeRig& rig) -> Verdict {
             LARGE_CARD_ONLY();
             CpuRegs regs;
             regs.ax = vbe::CONTROLLER_INFO;
             std::memset(rig.buffer(), 0, 512);
             std::memcpy(rig.buffer(), "VBE2", 4);
             CALL(regs, true);
             REQUIRE(regs.ax == vbe::STATUS_OK, "AX=%04Xh", regs.ax);
             const uint32_t units = std::min<uint32_t>(totalMemory(rig) >> 16, 0xFFFF);
             const uint16_t said = controllerInfo(rig).TotalMemory;
             REQUIRE(said == units, "TotalMemory %u x 64 KB (%u MB), the card has %u MB", said, said / 16,
                     totalMemory(rig) >> 20);
             return {};
         }},
        {"4F01 image pages past 256 screens",
         [](VbeRig& rig) -> Verdict {
             LARGE_CARD_ONLY();
             int judged = 0;
             MODE_LIST(modes);
             for (uint16_t mode : modes) {
                 const ModeBlock info = modeInfo(rig, mode);
                 const uint32_t screen = screenBytes(info.m);
                 if (info.ax != vbe::STATUS_OK || screen == 0 || totalMemory(rig) / screen <= 256)
                     continue;
                 ++judged;
                 const uint32_t fit = totalMemory(rig) / screen;
                 REQUIRE(info.m.NumberOfImagePages == 255,
                         "mode %03Xh (%ux%ux%u): NumberOfImagePages %u where %u screens fit%s", mode,
                         info.m.XResolution, info.m.YResolution, info.m.BitsPerPixel, info.m.NumberOfImagePages, fit,
                         info.m.NumberOfImagePages == ((fit - 1) & 0xFF) ? ": the count wrapped at 256"
                                                                         : " (a byte says 255)");
             }
             if (judged == 0)
                 return notApplicable("no listed mode fits more than 256 times");
             return {};
         }},
        {"4F05 banks past 16 MB",
         [](VbeRig& rig) -> Verdict {
             LARGE_CARD_ONLY();
             SET_MODE(0x101);
             const uint32_t bank = granularity(rig, 0x101);
             REQUIRE(bank != 0, "4F01 101h gives no window granularity");
             const uint32_t last = std::min<uint32_t>(totalMemory(rig) / bank - 1, 0xFFFF);
             uint8_t marker = 0x41;
             for (const uint32_t number : {LARGE_MEMORY / bank + 1, last}) {
                 CpuRegs regs;
                 regs.ax = vbe::WINDOW_CONTROL;
                 regs.dx = static_cast<uint16_t>(number);
                 CALL(regs);
                 REQUIRE(regs.ax == vbe::STATUS_OK, "set bank %u: AX=%04Xh", number, regs.ax);
                 constexpr uint32_t OFFSET = 0x11;
                 rig.machine().writePhys8(vga::WINDOW_START + OFFSET, ++marker);
                 const uint8_t* vram = rig.machine().lfb();
                 const uint32_t wrapped = number % 256;
                 REQUIRE(vram[uint64_t(number) * bank + OFFSET] == marker,
                         "bank %u (%u KB banks): the window write is not at %u MB%s", number, bank / 1024,
                         uint32_t(uint64_t(number) * bank >> 20),
                         vram[uint64_t(wrapped) * bank + OFFSET] == marker ? ", it is in bank (number mod 256)" : "");
                 regs = {};
                 regs.ax = vbe::WINDOW_CONTROL;
                 regs.bx = 0x0100;
                 CALL(regs);
                 REQUIRE(regs.ax == vbe::STATUS_OK && regs.dx == number, "get after bank %u: AX=%04Xh DX=%u", number,
                         regs.ax, regs.dx);
             }
             return {};
         }},
        {"4F06 maximum on a card past 16 MB",
         [](VbeRig& rig) -> Verdict {
             // At 480 lines, memory past 31 MB holds lines longer than 16 bits of bytes: the
             // maximum is the longest line the BIOS then sets, not what is left of it in BX.
             LARGE_CARD_ONLY();
             SET_MODE(0x101);
             CpuRegs regs;
             regs.ax = vbe::SCAN_LINE_LENGTH;
             regs.bx = 0x0003;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK, "BL=03h: AX=%04Xh", regs.ax);
             const uint16_t maximum = regs.bx;
             REQUIRE(maximum >= 640, "BL=03h: BX=%u", maximum);
             regs = {};
             regs.ax = vbe::SCAN_LINE_LENGTH;
             regs.bx = 0x0002;
             regs.cx = maximum;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK && regs.bx == maximum, "a line of the maximum %u bytes: AX=%04Xh BX=%u",
                     maximum, regs.ax, regs.bx);
             REQUIRE(rig.screen().lineBytes == maximum, "a line of the maximum %u bytes: the card shows %u", maximum,
                     rig.screen().lineBytes);
             if (maximum <= 0xFFFF / 2) {
                 const uint16_t longer = static_cast<uint16_t>(2 * maximum);
                 regs = {};
                 regs.ax = vbe::SCAN_LINE_LENGTH;
                 regs.bx = 0x0002;
                 regs.cx = longer;
                 CALL(regs);
                 REQUIRE(regs.ax != vbe::STATUS_OK || rig.screen().lineBytes <= maximum,
                         "BL=03h says %u bytes at most, yet a line of %u is set and shown", maximum,
                         rig.screen().lineBytes);
             }
             return {};
         }},
        {"Unknown 4Fxx function fails",
         [](VbeRig& rig) -> Verdict {
             CpuRegs regs;
             regs.ax = 0x4F1F;
             CALL(regs);
             REQUIRE(regs.ax != vbe::STATUS_OK, "AX=004Fh");
             return {};
         }},
        {"Non-VBE calls reach the BIOS",
         [](VbeRig& rig) -> Verdict {
             SET_MODE(0x101);
             CpuRegs regs;
             regs.ax = 0x0003;
             CALL(regs);
             REQUIRE(rig.machine().memory()[0x449] == 3, "BIOS mode %02Xh after AX=0003h",
                     rig.machine().memory()[0x449]);
             REQUIRE(!rig.screen().graphics, "the card shows %s in text mode", rig.screen().text().c_str());
             regs = {};
             regs.ax = 0x0F00;
             CALL(regs);
             REQUIRE((regs.ax & 0x7F) == 3, "AH=0Fh gave AL=%02Xh", regs.ax & 0xFF);
             regs = {};
             regs.ax = 0x0E41;  // teletype 'A' lands in the text buffer
             CALL(regs);
             // In video memory, or at least in the text buffer through the VGA window (Bochs's
             // framebuffer shows no video memory in text modes).
             REQUIRE(std::memchr(rig.machine().lfb(), 'A', 4000 * 4) != nullptr ||
                         rig.machine().readPhys8(TEXT_BUFFER) == 'A',
                     "teletype wrote no A");
             regs = {};
             regs.ax = vbe::GET_MODE;
             CALL(regs);
             REQUIRE(regs.ax == vbe::STATUS_OK && regs.bx == 3, "4F03 in text mode AX=%04Xh BX=%04Xh", regs.ax,
                     regs.bx);
             return {};
         }},
    };
    return table;
}

}  // namespace

std::vector<std::string> conformanceRowNames()
{
    std::vector<std::string> names;
    for (const Row& row : rows())
        names.push_back(row.name);
    return names;
}

std::vector<RowVerdict> runConformance(const pc::MachineConfig& config, bool withKestrel,
                                       const std::function<void(const std::string&)>& ioLog)
{
    const std::string column = withKestrel ? "Kestrel over the BIOS" : "the BIOS alone";
    if (ioLog)
        ioLog("# " + column + ": power-on, the video BIOS starts the card");
    VbeRig rig(config, withKestrel, ioLog);
    std::vector<RowVerdict> verdicts;
    // A PC that stops answering (an emulator whose agent a runaway call took down) fails the
    // row it stopped in with its one line; the rows after it cannot run, and the rows before
    // it keep their verdicts.
    std::string lostAt;
    for (const Row& row : rows()) {
        if (!lostAt.empty()) {
            verdicts.push_back(
                {RowVerdict::Kind::NotApplicable, "not run: the PC stopped answering at \"" + lostAt + "\""});
            continue;
        }
        if (ioLog)
            ioLog("# " + column + ": row \"" + row.name + "\"");
        try {
            verdicts.push_back(row.run(rig));
        } catch (const pc::MachineError& error) {
            if (config.engine == pc::Engine::Virtual)
                throw;
            std::fprintf(stderr, "palisade: %s: %s\n", column.c_str(), error.what());
            verdicts.push_back({RowVerdict::Kind::Fail, std::string("the PC stopped answering: ") + error.what()});
            lostAt = row.name;
        }
    }
    return verdicts;
}

std::vector<ConformanceRow> conformanceTable(const pc::MachineConfig& config, std::string& kestrelAbsent,
                                             const std::function<void(const std::string&)>& ioLog)
{
    const std::vector<RowVerdict> bios = runConformance(config, false, ioLog);
    std::vector<RowVerdict> kestrel(bios.size(), RowVerdict{RowVerdict::Kind::NotApplicable, {}});
    kestrelAbsent = config.kestrel ? "" : "kestrel = no";
    if (config.kestrel) {
        try {
            kestrel = runConformance(config, true, ioLog);
        } catch (const pc::MachineError& error) {
            kestrelAbsent = error.what();
        }
    }
    std::vector<ConformanceRow> table;
    const std::vector<std::string> names = conformanceRowNames();
    for (size_t i = 0; i < names.size(); ++i)
        table.push_back({names[i], bios[i], kestrel[i]});
    return table;
}

std::string RowVerdict::text() const
{
    switch (kind) {
    case Kind::Pass: return "pass";
    case Kind::NotApplicable: return "n/a";
    case Kind::Fail: break;
    }
    return "FAIL: " + why;
}

}  // namespace judge
