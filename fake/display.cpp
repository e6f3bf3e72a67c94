// The fake display library: a DisplayContext, a mode table and a picture of two pages.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <sys/mman.h>

#include "fake/fake.h"

namespace fake {
namespace {

Display& state()
{
    static Display d;
    return d;
}

int bytesPerPixel(int32_t bitsPerPixel)
{
    return bitsPerPixel <= 8 ? 1 : (bitsPerPixel + 7) / 8;
}

void plot(int32_t x, int32_t y, uint32_t color)
{
    Display& d = state();
    if (x < 0 || y < 0 || x >= d.width || y >= d.height || d.activePage < 0 || d.activePage > 1)
        return;
    d.pages[d.activePage][static_cast<size_t>(y) * d.width + x] = color;
}

const FakeMode* findMode(int32_t mode)
{
    Display& d = state();
    for (int32_t candidate : {mode, mode & ~0x2000, mode & ~0x6000}) {
        auto found = d.modes.find(candidate);
        if (found != d.modes.end())
            return &found->second;
    }
    return nullptr;
}

}  // namespace

Display& display()
{
    return state();
}

uint32_t Display::pixel(int32_t x, int32_t y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height || visualPage < 0 || visualPage > 1)
        return 0;
    return pages[visualPage][static_cast<size_t>(y) * width + x];
}

void resetDisplay()
{
    state() = Display{};
    Display& d = state();
    d.context.vbeVersion = 0x0200;
    d.context.videoMemoryKb = 4096;
    d.context.modeList = d.modeList.data();
    // Distinct, recognisable components per entry.
    for (int i = 0; i < 256; ++i)
        d.defaultPalette[i] =
            PaletteEntry{static_cast<uint8_t>(i), static_cast<uint8_t>(i * 2), static_cast<uint8_t>(i * 3), 0};
    for (uint32_t* entry : {&d.accelContext.setCursor, &d.accelContext.setClipRect, &d.accelContext.drawPattScan,
                            &d.accelContext.drawRect, &d.accelContext.drawPattRect, &d.accelContext.drawLine,
                            &d.accelContext.drawStippleLine, &d.accelContext.putMonoImage, &d.accelContext.bitBlt,
                            &d.accelContext.bitBltLin, &d.accelContext.srcTransBlt, &d.accelContext.srcTransBltLin,
                            &d.accelContext.dstTransBlt, &d.accelContext.dstTransBltLin})
        *entry = 1;
}

void addMode(uint16_t number, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t pages, bool accelerated)
{
    Display& d = state();
    d.modeList.insert(d.modeList.end() - 1, number);
    d.context.modeList = d.modeList.data();
    FakeMode mode;
    mode.info.modeNumber = number;
    mode.info.attributes = static_cast<uint16_t>(0x01 | (accelerated ? MODE_ATTR_ACCELERATED : 0));
    mode.info.xResolution = static_cast<uint16_t>(width);
    mode.info.yResolution = static_cast<uint16_t>(height);
    mode.info.bitsPerPixel = static_cast<uint16_t>(bitsPerPixel);
    mode.info.modeSetValue = number;
    mode.info.numberOfPages = static_cast<uint16_t>(pages);
    mode.name = std::to_string(width) + " x " + std::to_string(height) + " " + std::to_string(bitsPerPixel) + " bit";
    mode.setWith = number;
    mode.setWithLinear = number | 0x4000;
    mode.width = width;
    mode.height = height;
    mode.bitsPerPixel = bitsPerPixel;
    mode.pages = pages;
    d.modes[number] = mode;
}

void setModeShape(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t pages)
{
    Display& d = state();
    DisplayContext& c = d.context;
    c.maxX = width - 1;
    c.maxY = height - 1;
    c.bitsPerPixel = bitsPerPixel;
    c.maxPage = pages - 1;
    c.bytesPerLine = bitsPerPixel == 4 ? width / 2 : width * bytesPerPixel(bitsPerPixel);
    switch (bitsPerPixel) {
    case 4:
        c.maxColor = 15;
        c.defaultColor = 15;
        break;
    case 8:
        c.maxColor = 255;
        c.defaultColor = 15;
        break;
    case 15:
        c.maxColor = 0x7FFF;
        c.defaultColor = 0x7FFF;
        break;
    case 16:
        c.maxColor = 0xFFFF;
        c.defaultColor = 0xFFFF;
        break;
    default:
        c.maxColor = 0xFFFFFF;
        c.defaultColor = 0xFFFFFF;
        break;
    }
    d.width = width;
    d.height = height;
    for (auto& page : d.pages)
        page.assign(static_cast<size_t>(width) * height, 0);
    d.activePage = 0;
    d.visualPage = 0;
}

uint32_t lowString(const std::string& text)
{
    // One low block, filled front to back; never freed.
    constexpr size_t BLOCK_SIZE = 1 << 16;
    static char* block = nullptr;
    static size_t used = 0;
    if (!block) {
        void* mapped =
            mmap(nullptr, BLOCK_SIZE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::runtime_error("no memory below 4 GB for VbeInfoBlock strings");
        block = static_cast<char*>(mapped);
    }
    if (text.size() + 1 > BLOCK_SIZE - used)
        throw std::runtime_error("the low string block is full");
    char* copy = block + used;
    std::memcpy(copy, text.c_str(), text.size() + 1);
    used += text.size() + 1;
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(copy));
}

}  // namespace fake

using fake::log;
using fake::resultFor;

DisplayContext* GX_init(int32_t option)
{
    log("GX_init", {option});
    fake::Display& d = fake::display();
    return d.initFails ? nullptr : &d.context;
}

int32_t VBE_detect(VbeInfoBlock* block)
{
    log("VBE_detect");
    *block = fake::display().info;
    return static_cast<int32_t>(resultFor("VBE_detect", 1));
}

int32_t GX_getModeInfo(int32_t mode, ModeInfo* info)
{
    log("GX_getModeInfo", {mode});
    const fake::FakeMode* found = fake::findMode(mode);
    const int32_t ok = static_cast<int32_t>(resultFor("GX_getModeInfo", found ? 1 : 0));
    if (ok && found)
        *info = found->info;
    return ok;
}

int32_t GX_getModeName(char* name100, ModeInfo* info, int32_t mode, int32_t useLinear)
{
    (void)info;
    log("GX_getModeName", {mode, useLinear});
    const fake::FakeMode* found = fake::findMode(mode);
    if (!found)
        return static_cast<int32_t>(resultFor("GX_getModeName", 0));
    std::snprintf(name100, 100, "%s", found->name.c_str());
    return static_cast<int32_t>(resultFor("GX_getModeName", useLinear ? found->setWithLinear : found->setWith));
}

int32_t GX_setMode(int32_t mode, int32_t reserved, int32_t useLinear, int32_t modeSetValue)
{
    log("GX_setMode", {mode, reserved, useLinear, modeSetValue});
    fake::Display& d = fake::display();
    const fake::FakeMode* found = fake::findMode(mode);
    const int32_t ok = static_cast<int32_t>(resultFor("GX_setMode", found ? 1 : 0));
    if (!ok)
        return 0;
    if (found)
        fake::setModeShape(found->width, found->height, found->bitsPerPixel, found->pages);
    d.context.accel = d.hasAccel ? &d.accelContext : nullptr;
    d.lastModeSet = mode & ~0x2000;
    return ok;
}

void GX_restoreMode(void)
{
    log("GX_restoreMode");
}

int32_t VBE_getVideoMode(void)
{
    log("VBE_getVideoMode");
    return static_cast<int32_t>(resultFor("VBE_getVideoMode", fake::display().lastModeSet));
}

void GX_clear(uint32_t color)
{
    log("GX_clear", {color});
    fake::Display& d = fake::display();
    if (d.activePage >= 0 && d.activePage <= 1)
        std::fill(d.pages[d.activePage].begin(), d.pages[d.activePage].end(), color);
}

void GX_beginLine(void)
{
    log("GX_beginLine");
    fake::display().inLineBracket = true;
}

void GX_endLine(void)
{
    log("GX_endLine");
    fake::display().inLineBracket = false;
}

void GX_lineFast(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color)
{
    log("GX_lineFast", {x1, y1, x2, y2, color});
    const int32_t dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
    const int32_t dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
    int32_t err = dx + dy;
    for (;;) {
        fake::plot(x1, y1, color);
        if (x1 == x2 && y1 == y2)
            break;
        const int32_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x1 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y1 += sy;
        }
    }
}

void GX_writeText(int32_t x, int32_t y, const char* text, uint32_t color)
{
    log("GX_writeText", {x, y, color}, text);
    fake::Display& d = fake::display();
    d.texts.push_back(fake::TextItem{d.activePage, x, y, text, color});
}

uint32_t GX_rgbColor(int32_t red, int32_t green, int32_t blue)
{
    log("GX_rgbColor", {red, green, blue});
    const uint32_t r = static_cast<uint32_t>(red) & 0xFF, g = static_cast<uint32_t>(green) & 0xFF,
                   b = static_cast<uint32_t>(blue) & 0xFF;
    switch (fake::display().context.bitsPerPixel) {
    case 15: return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case 16: return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default: return (r << 16) | (g << 8) | b;
    }
}

PaletteEntry* GX_getDefPalette(void)
{
    log("GX_getDefPalette");
    return fake::display().defaultPalette.data();
}

static void loadPalette(int32_t first, int32_t count, const PaletteEntry* palette)
{
    fake::Display& d = fake::display();
    std::vector<PaletteEntry> loaded(palette, palette + count);
    for (int32_t i = 0; i < count && first + i < 256; ++i)
        if (first + i >= 0)
            d.palette[first + i] = palette[i];
    d.paletteLoads.push_back(std::move(loaded));
}

void GX_setPalette(int32_t first, int32_t count, const PaletteEntry* palette, int32_t pace)
{
    log("GX_setPalette", {first, count, pace});
    loadPalette(first, count, palette);
}

void VBE_setPalette(int32_t first, int32_t count, const PaletteEntry* palette, int32_t waitRetrace)
{
    log("VBE_setPalette", {first, count, waitRetrace});
    loadPalette(first, count, palette);
}

int32_t VBE_setDACWidth(int32_t bits)
{
    log("VBE_setDACWidth", {bits});
    const int32_t ok = static_cast<int32_t>(resultFor("VBE_setDACWidth", 1));
    if (ok)
        fake::display().dacBits = bits;
    return ok;
}

void GX_setActivePage(int32_t page)
{
    log("GX_setActivePage", {page});
    fake::display().activePage = page;
}

void GX_setVisualPage(int32_t page, int32_t waitRetrace)
{
    log("GX_setVisualPage", {page, waitRetrace});
    fake::display().visualPage = page;
}

int32_t VBE_setDisplayStart(int32_t x, int32_t y, int32_t waitRetrace)
{
    log("VBE_setDisplayStart", {x, y, waitRetrace});
    return static_cast<int32_t>(resultFor("VBE_setDisplayStart", 1));
}

static int32_t setScanLine(const char* name, bool inBytes, int32_t length, int32_t* bytes, int32_t* pixels,
                           int32_t* lines)
{
    log(name, {length});
    fake::Display& d = fake::display();
    if (d.onScanLine)
        return d.onScanLine(inBytes, length, bytes, pixels, lines);
    if (!resultFor(name, 1) || length <= 0)
        return 0;
    const int32_t bpp = d.context.bitsPerPixel;
    const int32_t perPixel = bpp <= 8 ? 1 : (bpp + 7) / 8;
    *bytes = inBytes ? length : length * perPixel;
    *pixels = inBytes ? length / perPixel : length;
    *lines = d.context.videoMemoryKb * 1024 / *bytes;
    return 1;
}

int32_t VBE_setBytesPerLine(int32_t bytes, int32_t* newBytes, int32_t* newPixels, int32_t* scanLines)
{
    return setScanLine("VBE_setBytesPerLine", true, bytes, newBytes, newPixels, scanLines);
}

int32_t VBE_setPixelsPerLine(int32_t pixels, int32_t* newBytes, int32_t* newPixels, int32_t* scanLines)
{
    return setScanLine("VBE_setPixelsPerLine", false, pixels, newBytes, newPixels, scanLines);
}
