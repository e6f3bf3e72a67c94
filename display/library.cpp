// The display library's operations over real VBE calls.
//
// Decisions of this library:
// - GX_init's option is reserved: any value is accepted and ignored.
// - GX_setMode sets the mode number it is given: bit 0x4000 asks for the hardware linear
//   framebuffer, bit 0x2000 is accepted and ignored; its second and fourth arguments are
//   not needed (the fourth repeats the plain number). With use-linear and no hardware
//   framebuffer bit, the library draws through the banked window as a virtual linear
//   framebuffer (virtualLfbActive).
// - GX_setPalette's fourth argument paces a fade: below 0 the entries load at once;
//   0 or more, the library first waits for the start of the next vertical retrace.
// - GX_getModeName offers no planar mode with use-linear: VGA planes have no linear form.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "display/bus_clock.h"
#include "display/hardware_bus.h"
#include "display/library_state.h"
#include "display/meant_memory.h"
#include "display/palette.h"
#include "display/reference.h"
#include "display/screen_contents.h"
#include "hw/vbe.h"
#include "hw/vga.h"
#include "platform/display.h"

namespace display {

namespace {

constexpr uint32_t SCRATCH_BYTES = 1024;  // a 256-entry palette is the largest record
constexpr uint32_t MODE_LIST_MAX = 256;   // longer lists are cut here
constexpr uint32_t STRING_MAX = 255;
constexpr uint32_t STABLE_BYTES = (MODE_LIST_MAX + 1) * 2 + 4 * (STRING_MAX + 1);
constexpr uint32_t STRINGS_AT = (MODE_LIST_MAX + 1) * 2;
constexpr uint32_t MAX_START_LINE = 0xFFFF;  // 4F07 takes the display start's line in DX

// One state for the process, so that the DisplayContext handed out keeps its address.
LibraryState* state = nullptr;

LibraryState& storage()
{
    static LibraryState* instance = new LibraryState;
    return *instance;
}

// Waits for the start of the next vertical retrace on the status port, spending the time
// of each read so that a virtual clock moves; bounded to a few frames whatever happens.
void waitForRetrace(HardwareBus& b)
{
    const int maxPolls = 100000;
    int polls = 0;
    auto inRetrace = [&] { return (b.in8(vga::status1::PORT) & vga::status1::VERTICAL_RETRACE) != 0; };
    while (inRetrace() && polls++ < maxPolls)
        b.spend(1);
    while (!inRetrace() && polls++ < maxPolls)
        b.spend(1);
}

uint32_t componentMask(uint8_t size)
{
    return size >= 32 ? 0xFFFFFFFFu : (1u << size) - 1;
}

uint32_t packComponent(int value, uint8_t size, uint8_t position)
{
    value = std::clamp(value, 0, 255);
    if (size == 0 || position >= 32)
        return 0;
    const uint32_t v = size >= 8 ? uint32_t(value) << (size - 8) : uint32_t(value) >> (8 - size);
    return (v & componentMask(size)) << position;
}

bool validPalette(int32_t first, int32_t count, const PaletteEntry* entries)
{
    return entries && first >= 0 && first < 256 && count > 0;
}

void loadDacPorts(int32_t first, int32_t count, const PaletteEntry* entries, int dacBits, bool scale)
{
    HardwareBus* b = bus();
    if (!b)
        return;
    b->out8(vga::dac::WRITE_INDEX_PORT, uint8_t(first));
    for (int32_t i = 0; i < count; ++i) {
        const PaletteEntry& e = entries[i];
        b->out8(vga::dac::DATA_PORT, scale ? scaleToDac(e.red, dacBits) : e.red);
        b->out8(vga::dac::DATA_PORT, scale ? scaleToDac(e.green, dacBits) : e.green);
        b->out8(vga::dac::DATA_PORT, scale ? scaleToDac(e.blue, dacBits) : e.blue);
    }
}

// A controller that keeps the VGA DAC at its ports (capabilities bit 1 clear); the modes'
// own "not VGA compatible" bit speaks of their CRTC, not of the DAC.
bool vgaCompatible(const LibraryState& lib)
{
    return !(lib.capabilities & vbe::CAP_NOT_VGA);
}

// Copies a BIOS string into the program's area; an empty string when it is missing.
uint32_t keepString(LibraryState& lib, int slot, uint32_t farPointer)
{
    char* out = reinterpret_cast<char*>(lib.stable.host + STRINGS_AT + slot * (STRING_MAX + 1));
    uint32_t n = 0;
    if (farPointer) {
        const uint32_t linear = (farPointer >> 16) * 16 + (farPointer & 0xFFFF);
        for (; n < STRING_MAX; ++n) {
            const uint8_t* c = bios::realLinear(linear + n, 1);
            if (!c || *c == 0)
                break;
            out[n] = char(*c);
        }
    }
    out[n] = 0;
    return uint32_t(reinterpret_cast<uintptr_t>(out));
}

uint32_t hostAddress(const void* p)
{
    return uint32_t(reinterpret_cast<uintptr_t>(p));
}

void loadFont(LibraryState& lib)
{
    const uint32_t address = bios::romFont8x16();
    if (!address)
        return;
    const uint8_t* font = bios::realPointer(address, sizeof lib.font);
    if (!font)
        return;
    std::memcpy(lib.font, font, sizeof lib.font);
    lib.fontLoaded = true;
}

// The whole mode walk of GX_init: lfbAddress, and whether any mode has a banked window.
void surveyModes(LibraryState& lib)
{
    for (const uint16_t* m = lib.context.modeList; *m != vbe::MODE_LIST_END; ++m) {
        vbe::ModeInfo block;
        ModeFacts facts;
        if (!bios::modeInfo(lib.scratch, *m, block) || !describeMode(block, facts))
            continue;
        if (facts.banked && !facts.planar)
            lib.context.virtualLfbAvailable = 1;
        if (lib.context.vbeVersion >= 0x0200 && facts.hardwareLinear && !lib.context.lfbAddress)
            lib.context.lfbAddress = block.PhysBasePtr;
    }
}

// Pages: what the BIOS reports (a byte: 256 at most), no more than video memory holds, and no
// more than the display start reaches. Page p is shown from line p x height, and 4F07 takes
// the line in 16 bits, so on a large card the pages past line 65535 could be drawn but never
// shown (640x480 reaches 137 pages, whatever the memory).
int32_t pagesOf(const LibraryState& lib, const vbe::ModeInfo& block, const ModeFacts& facts)
{
    uint64_t memory = lib.videoMemoryBytes;
    if (facts.planar)
        memory /= 4;
    const uint64_t page = uint64_t(block.BytesPerScanLine) * block.YResolution;
    const int64_t fit = page ? int64_t(memory / page) : 1;
    const int64_t shown = block.YResolution ? int64_t(MAX_START_LINE / block.YResolution) + 1 : 1;
    return int32_t(std::max<int64_t>(1, std::min({int64_t(block.NumberOfImagePages) + 1, fit, shown})));
}

FrameLayout layoutFor(const LibraryState& lib, const CurrentMode& mode)
{
    FrameLayout l;
    const ModeFacts& f = mode.facts;
    l.kind = f.planar ? FrameLayout::PLANAR : mode.hardwareLinear ? FrameLayout::LINEAR : FrameLayout::BANKED;
    l.width = f.width;
    l.height = f.height;
    l.lines = f.height;
    l.bytesPerLine = mode.block.BytesPerScanLine;
    l.bytesPerPixel = f.planar ? 1 : (f.depth + 7) / 8;
    l.memoryBytes = lib.videoMemoryBytes / (f.planar ? 4 : 1);
    l.origin = 0;
    // Draw through a window the program may write; A if it can, else B.
    constexpr uint8_t WRITABLE_WINDOW = vbe::WIN_ATTR_EXISTS | vbe::WIN_ATTR_WRITABLE;
    const bool aWritable = (mode.block.WinAAttributes & WRITABLE_WINDOW) == WRITABLE_WINDOW;
    l.window = aWritable ? 0 : 1;
    const uint16_t segment = aWritable ? mode.block.WinASegment : mode.block.WinBSegment;
    l.windowAddress = segment ? uint32_t(segment) << 4 : vga::WINDOW_START;
    l.granularity = std::max<uint32_t>(1, uint32_t(mode.block.WinGranularity) * 1024);
    l.windowSize = std::max<uint32_t>(1, uint32_t(mode.block.WinSize) * 1024);
    return l;
}

// The two conventional-memory blocks: one for records passed to the BIOS, one for what the
// program is handed (the mode list, then the strings). Kept until the next GX_init.
bool ensureBuffers(LibraryState& lib)
{
    if (lib.scratch.host && lib.stable.host)
        return true;
    bios::release(lib.scratch);
    bios::release(lib.stable);
    if (!bios::allocate(lib.scratch, SCRATCH_BYTES) || !bios::allocate(lib.stable, STABLE_BYTES)) {
        bios::release(lib.scratch);
        return false;
    }
    std::memset(lib.stable.host, 0, STABLE_BYTES);
    uint16_t* list = reinterpret_cast<uint16_t*>(lib.stable.host);
    list[0] = vbe::MODE_LIST_END;
    lib.context.modeList = list;
    return true;
}

void charge(LibraryState& lib)
{
    chargeBus(lib.writer.takeBytes());
}

}  // namespace

LibraryState* library()
{
    HardwareBus* b = bus();
    if (!b)
        return nullptr;
    const void* memory = b->realModeMemory();
    if (!state || state->machineMemory != memory) {
        forgetAccelerator();
        state = &storage();
        *state = LibraryState{};
        state->machineMemory = memory;
    }
    return state;
}

bool describeMode(const vbe::ModeInfo& b, ModeFacts& f)
{
    if (!(b.ModeAttributes & vbe::MODE_ATTR_SUPPORTED) || !(b.ModeAttributes & vbe::MODE_ATTR_GRAPHICS) ||
        !b.XResolution || !b.YResolution || !b.BytesPerScanLine)
        return false;
    f = ModeFacts{};
    f.width = b.XResolution;
    f.height = b.YResolution;
    f.planar = b.MemoryModel == vbe::MEMORY_PLANAR;
    f.hardwareLinear = (b.ModeAttributes & vbe::MODE_ATTR_LINEAR) && b.PhysBasePtr;
    f.banked = !(b.ModeAttributes & vbe::MODE_ATTR_NO_WINDOW);
    if (f.planar) {
        if (b.BitsPerPixel != 4)
            return false;
        f.depth = 4;
        f.hardwareLinear = false;
        return true;
    }
    switch (b.BitsPerPixel) {
    case 8: f.depth = 8; break;
    case 15: f.depth = 15; break;
    case 16: f.depth = b.RedMaskSize + b.GreenMaskSize + b.BlueMaskSize == 15 ? 15 : 16; break;
    case 24: f.depth = 24; break;
    case 32: f.depth = 32; break;
    default: return false;
    }
    return b.MemoryModel == vbe::MEMORY_PACKED || b.MemoryModel == vbe::MEMORY_DIRECT;
}

bool modeIsAccelerated(const LibraryState& lib, const ModeFacts& f)
{
    return lib.accel && !f.planar && f.depth >= 8 && f.hardwareLinear;
}

}  // namespace display

using namespace display;

DisplayContext* GX_init(int32_t /*option*/)
{
    HardwareBus* b = bus();
    if (!b)
        return nullptr;
    LibraryState* lib = library();
    // Detection starts afresh; the records handed to the BIOS before go back first.
    bios::release(lib->scratch);
    bios::release(lib->stable);
    state = nullptr;
    lib = library();
    if (!ensureBuffers(*lib))
        return nullptr;
    uint16_t* list = lib->context.modeList;

    vbe::ControllerInfo info{};
    if (!bios::controllerInfo(lib->scratch, info))
        return nullptr;
    lib->detected = true;
    lib->context.vbeVersion = info.VbeVersion;
    lib->capabilities = info.Capabilities;
    lib->context.videoMemoryKb = info.TotalMemory * 64;
    lib->framebuffer = b->framebuffer();
    lib->videoMemoryBytes = std::min<uint64_t>(uint64_t(info.TotalMemory) * 64 * 1024, b->framebufferMappedBytes());
    lib->context.wideDacAvailable = (lib->capabilities & vbe::CAP_DAC_SWITCHABLE) ? 1 : 0;

    // The mode list, copied while the block is fresh (it may live in the block's own
    // scratch area), cut at a sane length and at the end of real-mode memory.
    const uint8_t* block = reinterpret_cast<const uint8_t*>(&info);
    const uint32_t listPointer = info.VideoModePtr;
    const uint32_t listLinear = (listPointer >> 16) * 16 + (listPointer & 0xFFFF);
    const uint32_t scratchLinear = uint32_t(lib->scratch.segment) * 16 + lib->scratch.realOffset;
    uint32_t n = 0;
    for (; n < MODE_LIST_MAX; ++n) {
        uint16_t mode;
        if (listLinear >= scratchLinear && listLinear + 2 * n + 2 <= scratchLinear + sizeof info) {
            const uint8_t* p = block + (listLinear - scratchLinear) + 2 * n;
            mode = uint16_t(p[0] | p[1] << 8);
        } else {
            const uint8_t* p = bios::realLinear(listLinear + 2 * n, 2);
            if (!p)
                break;
            mode = uint16_t(p[0] | p[1] << 8);
        }
        if (mode == vbe::MODE_LIST_END)
            break;
        list[n] = mode;
    }
    list[n] = vbe::MODE_LIST_END;

    lib->accel = findAccelBackend(*b);

    surveyModes(*lib);
    loadFont(*lib);
    return &lib->context;
}

int32_t VBE_detect(VbeInfoBlock* info)
{
    LibraryState* lib = library();
    if (!info || !lib)
        return 0;
    if (!ensureBuffers(*lib))
        return 0;
    vbe::ControllerInfo block{};
    const bool ok = bios::controllerInfo(lib->scratch, block);
    if (ok)
        std::memcpy(info, &block, sizeof *info);
    else
        std::memset(info, 0, sizeof *info);
    const bool v2 = ok && info->VbeVersion >= 0x0200;
    info->OemStringPtr = keepString(*lib, 0, ok ? info->OemStringPtr : 0);
    info->OemVendorNamePtr = keepString(*lib, 1, v2 ? info->OemVendorNamePtr : 0);
    info->OemProductNamePtr = keepString(*lib, 2, v2 ? info->OemProductNamePtr : 0);
    info->OemProductRevPtr = keepString(*lib, 3, v2 ? info->OemProductRevPtr : 0);
    info->VideoModePtr = hostAddress(lib->context.modeList);
    return ok ? 1 : 0;
}

int32_t GX_getModeInfo(int32_t mode, ModeInfo* info)
{
    LibraryState* lib = library();
    if (!lib || !lib->detected || !info)
        return 0;
    const uint16_t plain = uint16_t(plainMode(uint32_t(mode)));
    vbe::ModeInfo block;
    ModeFacts facts;
    if (!bios::modeInfo(lib->scratch, plain, block) || !describeMode(block, facts))
        return 0;
    std::memset(info, 0, sizeof *info);
    info->modeNumber = plain;
    info->attributes = MODE_ATTR_USABLE | (facts.hardwareLinear ? MODE_ATTR_HARDWARE_LINEAR : 0) |
                       (facts.banked ? MODE_ATTR_BANKED : 0) | (facts.planar ? MODE_ATTR_PLANAR : 0) |
                       (modeIsAccelerated(*lib, facts) ? MODE_ATTR_ACCELERATED : 0);
    info->xResolution = uint16_t(facts.width);
    info->yResolution = uint16_t(facts.height);
    info->bytesPerScanLine = block.BytesPerScanLine;
    info->bitsPerPixel = uint16_t(facts.depth);
    info->modeSetValue = plain;
    info->numberOfPages = uint16_t(pagesOf(*lib, block, facts));
    info->memoryModel = block.MemoryModel;
    return 1;
}

int32_t GX_getModeName(char* name, ModeInfo* /*info*/, int32_t mode, int32_t useLinear)
{
    LibraryState* lib = library();
    if (name)
        name[0] = 0;
    if (!lib || !lib->detected || !name)
        return 0;
    vbe::ModeInfo block;
    ModeFacts facts;
    if (!bios::modeInfo(lib->scratch, uint16_t(plainMode(uint32_t(mode))), block) || !describeMode(block, facts))
        return 0;
    const Access access = chooseAccess(facts, useLinear != 0, lib->context.virtualLfbAvailable != 0);
    std::snprintf(name, 100, "%s", modeName(facts, access).c_str());
    return int32_t(setNumber(uint32_t(mode), access));
}

int32_t GX_setMode(int32_t mode, int32_t /*reserved*/, int32_t useLinear, int32_t /*modeSetValue*/)
{
    LibraryState* lib = library();
    if (!lib || !lib->detected)
        return 0;
    const uint16_t plain = uint16_t(plainMode(uint32_t(mode)));
    const bool linear = (uint32_t(mode) & MODE_LINEAR_FRAMEBUFFER) != 0;
    CurrentMode next;
    if (!bios::modeInfo(lib->scratch, plain, next.block) || !describeMode(next.block, next.facts))
        return 0;
    if (linear ? !next.facts.hardwareLinear : !next.facts.banked)
        return 0;  // the library could not draw in it

    if (!lib->restoreKnown) {
        uint16_t before;
        lib->modeBefore = bios::currentMode(before) ? uint16_t(before & ~vbe::MODE_NO_CLEAR) : bios::legacyMode();
        lib->restoreKnown = true;
    }
    if (!bios::setMode(uint16_t(plain | (linear ? vbe::MODE_LINEAR : 0))))
        return 0;
    stopAccelerator(*lib);

    next.set = true;
    next.number = plain;
    next.hardwareLinear = linear;
    next.pages = pagesOf(*lib, next.block, next.facts);
    uint8_t bits = 6;
    next.dacBits = lib->context.wideDacAvailable && bios::getDacWidth(bits) && bits == 8 ? 8 : 6;
    lib->mode = next;
    lib->writer.configure(layoutFor(*lib, next));
    const vbe::ModeInfo& b = next.block;
    meanMode(
        plain, next.facts, b.BytesPerScanLine,
        {b.RedMaskSize, b.RedFieldPosition, b.GreenMaskSize, b.GreenFieldPosition, b.BlueMaskSize, b.BlueFieldPosition},
        next.dacBits);
    meanClearedMemory(lib->videoMemoryBytes);
    contentsCleared();

    const ModeFacts& f = next.facts;
    DisplayContext& c = lib->context;
    c.maxX = f.width - 1;
    c.maxY = f.height - 1;
    c.bitsPerPixel = f.depth;
    c.bytesPerLine = next.block.BytesPerScanLine;
    c.maxPage = next.pages - 1;
    if (f.depth <= 8) {
        c.maxColor = f.depth == 4 ? 15 : 255;
        c.defaultColor = 15;
    } else {
        const vbe::ModeInfo& b = next.block;
        c.maxColor = componentMask(uint8_t(b.RedMaskSize + b.GreenMaskSize + b.BlueMaskSize));
        c.defaultColor = GX_rgbColor(255, 255, 255);
    }
    c.virtualLfbActive = useLinear && !linear && !f.planar ? 1 : 0;
    c.accel = startAccelerator(*lib);
    if (!lib->fontLoaded)
        loadFont(*lib);
    return 1;
}

void GX_restoreMode(void)
{
    LibraryState* lib = library();
    if (!lib || !lib->restoreKnown)
        return;
    stopAccelerator(*lib);
    if (lib->modeBefore < 0x100)
        bios::setLegacyMode(uint8_t(lib->modeBefore));
    else
        bios::setMode(lib->modeBefore);
    lib->mode = CurrentMode{};
    meanNoMode();
    contentsCleared();
    lib->writer.configure(FrameLayout{});
    lib->context.accel = nullptr;
    lib->context.virtualLfbActive = 0;
}

int32_t VBE_getVideoMode(void)
{
    LibraryState* lib = library();
    if (!lib)
        return 0;
    uint16_t mode;
    if (!bios::currentMode(mode))
        return bios::legacyMode();
    mode &= uint16_t(~vbe::MODE_NO_CLEAR);
    // Some BIOSes forget the linear framebuffer bit: the library knows how it set the mode.
    if (lib->mode.set && plainMode(mode) == lib->mode.number && lib->mode.hardwareLinear)
        mode |= MODE_LINEAR_FRAMEBUFFER;
    return mode;
}

void GX_clear(uint32_t color)
{
    if (LibraryState* lib = library()) {
        lib->writer.clear(color);
        charge(*lib);
        contentsCleared();
    }
}

void GX_beginLine(void)
{
    if (LibraryState* lib = library())
        lib->writer.begin();
}

void GX_lineFast(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color)
{
    if (LibraryState* lib = library()) {
        lib->writer.line(x1, y1, x2, y2, color);
        charge(*lib);
    }
}

void GX_endLine(void)
{
    if (LibraryState* lib = library())
        lib->writer.end();
}

void GX_writeText(int32_t x, int32_t y, const char* text, uint32_t color)
{
    LibraryState* lib = library();
    if (!lib || !text)
        return;
    if (!lib->fontLoaded)
        loadFont(*lib);
    contentsText(text);
    lib->writer.begin();
    int64_t penX = x;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c, penX += 8) {
        if (penX >= lib->writer.layout().width)
            break;
        lib->writer.glyph(penX, y, lib->font[*c], color);
    }
    lib->writer.end();
    charge(*lib);
}

uint32_t GX_rgbColor(int32_t red, int32_t green, int32_t blue)
{
    LibraryState* lib = library();
    if (!lib || !lib->mode.set)
        return 0;
    if (lib->mode.facts.depth <= 8)
        return nearestDefaultColor(red, green, blue, lib->mode.facts.depth == 4 ? 16 : 256);
    const vbe::ModeInfo& b = lib->mode.block;
    return packComponent(red, b.RedMaskSize, b.RedFieldPosition) |
           packComponent(green, b.GreenMaskSize, b.GreenFieldPosition) |
           packComponent(blue, b.BlueMaskSize, b.BlueFieldPosition);
}

PaletteEntry* GX_getDefPalette(void)
{
    // A copy, so that a caller writing into it cannot change the library's table.
    static PaletteEntry copy[256];
    std::memcpy(copy, defaultPalette(), sizeof copy);
    return copy;
}

void GX_setPalette(int32_t first, int32_t count, const PaletteEntry* palette, int32_t pace)
{
    LibraryState* lib = library();
    if (!lib || !validPalette(first, count, palette))
        return;
    count = std::min(count, 256 - first);
    if (pace >= 0)
        waitForRetrace(*bus());
    PaletteEntry scaled[256];
    for (int32_t i = 0; i < count; ++i) {
        scaled[i].red = scaleToDac(palette[i].red, lib->mode.dacBits);
        scaled[i].green = scaleToDac(palette[i].green, lib->mode.dacBits);
        scaled[i].blue = scaleToDac(palette[i].blue, lib->mode.dacBits);
        scaled[i].alignment = 0;
    }
    meanPalette(first, count, scaled);
    if (vgaCompatible(*lib)) {
        loadDacPorts(first, count, scaled, lib->mode.dacBits, false);
        return;
    }
    bios::setPalette(lib->scratch, uint16_t(first), uint16_t(count), scaled, false);
}

void VBE_setPalette(int32_t first, int32_t count, const PaletteEntry* palette, int32_t waitRetrace)
{
    LibraryState* lib = library();
    if (!lib || !validPalette(first, count, palette))
        return;
    count = std::min(count, 256 - first);
    meanPalette(first, count, palette);
    if (bios::setPalette(lib->scratch, uint16_t(first), uint16_t(count), palette, waitRetrace != 0))
        return;
    // A VGA-compatible controller need not offer 4F09: its DAC is programmed directly then.
    if (bios::lastCallUnsupported() && vgaCompatible(*lib))
        loadDacPorts(first, count, palette, 8, false);
}

int32_t VBE_setDACWidth(int32_t bits)
{
    LibraryState* lib = library();
    if (!lib || !lib->mode.set || (bits != 6 && bits != 8))
        return 0;
    uint8_t now = 0;
    if (!bios::setDacWidth(uint8_t(bits), now))
        return 0;
    if (now == 6 || now == 8) {
        lib->mode.dacBits = now;
        meanDacWidth(now);
    }
    return now == bits ? 1 : 0;
}

void GX_setActivePage(int32_t page)
{
    LibraryState* lib = library();
    if (!lib || !lib->mode.set || page < 0 || page >= lib->mode.pages)
        return;
    lib->mode.activePage = page;
    const FrameLayout& l = lib->writer.layout();
    lib->writer.setOrigin(uint64_t(page) * uint64_t(l.bytesPerLine) * uint64_t(l.height));
}

void GX_setVisualPage(int32_t page, int32_t waitRetrace)
{
    LibraryState* lib = library();
    if (!lib || !lib->mode.set || page < 0 || page >= lib->mode.pages)
        return;
    const uint32_t y = uint32_t(page) * uint32_t(lib->mode.facts.height);
    if (y > MAX_START_LINE)
        return;
    bool ok;
    if (waitRetrace) {
        ok = bios::setDisplayStart(0, uint16_t(y), true);
        if (!ok) {
            // No retrace-synchronised start in this BIOS: wait on the status port instead.
            waitForRetrace(*bus());
            ok = bios::setDisplayStart(0, uint16_t(y), false);
        }
    } else {
        ok = bios::setDisplayStart(0, uint16_t(y), false);
    }
    if (ok) {
        lib->mode.visualPage = page;
        meanStart(0, y);
    }
}

int32_t VBE_setDisplayStart(int32_t x, int32_t y, int32_t waitRetrace)
{
    LibraryState* lib = library();
    if (!lib || !lib->mode.set || x < 0 || y < 0 || x > 0xFFFF || y > int32_t(MAX_START_LINE))
        return 0;
    // A start that would show memory past the end of video memory is refused.
    const FrameLayout& l = lib->writer.layout();
    const ModeFacts& f = lib->mode.facts;
    const uint64_t lastLine = uint64_t(y) + uint64_t(f.height) - 1;
    const uint64_t lineEnd = f.planar ? (uint64_t(x) + f.width + 7) / 8 : (uint64_t(x) + f.width) * l.bytesPerPixel;
    if (lastLine * uint64_t(l.bytesPerLine) + lineEnd > l.memoryBytes)
        return 0;
    if (!bios::setDisplayStart(uint16_t(x), uint16_t(y), waitRetrace != 0))
        return 0;
    meanStart(uint32_t(x), uint32_t(y));
    return 1;
}

namespace {

int32_t setScanLine(uint8_t subfunction, int32_t value, int32_t* newBytes, int32_t* newPixels, int32_t* scanLines)
{
    LibraryState* lib = library();
    if (!lib || !lib->mode.set || value <= 0 || value > 0xFFFF)
        return 0;
    uint16_t bytes = 0, pixels = 0, lines = 0;
    if (!bios::scanLineLength(subfunction, uint16_t(value), bytes, pixels, lines) || bytes == 0 || pixels == 0)
        return 0;
    // Only as many scan lines as video memory holds, whatever the BIOS says.
    const FrameLayout& l = lib->writer.layout();
    // A BIOS that answers 0 lines leaves the memory to say; no more than the display start
    // reaches either way.
    const uint64_t fit = std::min<uint64_t>(l.memoryBytes / bytes, MAX_START_LINE);
    const int32_t usable = int32_t(std::min<uint64_t>(lines ? lines : fit, fit));
    lib->writer.setLines(pixels, usable, bytes);
    meanLineLength(bytes);
    if (newBytes)
        *newBytes = bytes;
    if (newPixels)
        *newPixels = pixels;
    if (scanLines)
        *scanLines = usable;
    return 1;
}

}  // namespace

int32_t VBE_setBytesPerLine(int32_t bytes, int32_t* newBytes, int32_t* newPixels, int32_t* scanLines)
{
    return setScanLine(bios::SCAN_LINE_SET_BYTES, bytes, newBytes, newPixels, scanLines);
}

int32_t VBE_setPixelsPerLine(int32_t pixels, int32_t* newBytes, int32_t* newPixels, int32_t* scanLines)
{
    return setScanLine(bios::SCAN_LINE_SET_PIXELS, pixels, newBytes, newPixels, scanLines);
}
