#include "display/frame_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "display/hardware_bus.h"
#include "display/line_walk.h"
#include "display/meant_memory.h"
#include "display/raster.h"
#include "display/vbe.h"
#include "hw/vga.h"

namespace display {

namespace {

// Write mode 2 (the graphics controller's mode field): the byte written is the colour of the
// pixels the bit mask lets through.
constexpr uint8_t WRITE_MODE_COLOR = 2;
constexpr uint8_t ALL_PIXELS = 0xFF;  // a bit mask keeping none of the latched pixels

void graphicsController(uint8_t index, uint8_t value)
{
    if (HardwareBus* b = bus()) {
        b->out8(vga::gc::INDEX_PORT, index);
        b->out8(vga::gc::DATA_PORT, value);
    }
}

void sequencer(uint8_t index, uint8_t value)
{
    if (HardwareBus* b = bus()) {
        b->out8(vga::seq::INDEX_PORT, index);
        b->out8(vga::seq::DATA_PORT, value);
    }
}

Surface linearSurface(const FrameLayout& l, uint8_t* memory, uint64_t memoryBytes)
{
    Surface s;
    s.memory = memory;
    s.memoryBytes = memoryBytes;
    s.origin = l.origin;
    s.width = l.width;
    s.height = l.lines;
    s.bytesPerLine = l.bytesPerLine;
    s.bytesPerPixel = l.bytesPerPixel;
    return s;
}

}  // namespace

// The framebuffer is asked of the bus for each drawing, never kept: the card may have drawn by
// itself since (an accelerator's engine, the BIOS), and a PC that keeps a host copy of video
// memory brings that copy up to date when asked.
uint8_t* FrameWriter::framebuffer()
{
    HardwareBus* b = bus();
    return b ? b->framebuffer() : nullptr;
}

template <class Draw>
void FrameWriter::drawLinear(Draw&& draw)
{
    if (uint8_t* memory = framebuffer())
        bytes_ += draw(linearSurface(layout_, memory, layout_.memoryBytes));
    // Only a copy made when this mode was set is sure to cover its memory.
    if (uint8_t* meant = meantMemory(); meant && meantMemoryBytes() >= layout_.memoryBytes)
        draw(linearSurface(layout_, meant, layout_.memoryBytes));
}

void FrameWriter::configure(const FrameLayout& layout)
{
    layout_ = layout;
    bank_ = 0;  // a mode set leaves the window at the start of video memory
    failedBank_ = -1;
    depth_ = 0;
}

void FrameWriter::setOrigin(uint64_t origin)
{
    layout_.origin = origin;
}

void FrameWriter::setLines(int32_t width, int32_t lines, int32_t bytesPerLine)
{
    layout_.width = width;
    layout_.lines = lines;
    layout_.bytesPerLine = bytesPerLine;
}

uint64_t FrameWriter::takeBytes()
{
    uint64_t b = bytes_;
    bytes_ = 0;
    return b;
}

void FrameWriter::begin()
{
    if (layout_.kind == FrameLayout::PLANAR && depth_++ == 0) {
        sequencer(vga::seq::MAP_MASK, vga::seq::MAP_MASK_PLANES);  // all four planes
        graphicsController(vga::gc::ENABLE_SET_RESET, 0);
        graphicsController(vga::gc::DATA_ROTATE, 0);  // replace, no rotation
        graphicsController(vga::gc::MODE, WRITE_MODE_COLOR);
    }
}

void FrameWriter::end()
{
    if (layout_.kind == FrameLayout::PLANAR && depth_ > 0 && --depth_ == 0) {
        graphicsController(vga::gc::MODE, 0);
        graphicsController(vga::gc::BIT_MASK, ALL_PIXELS);
    }
}

bool FrameWriter::inside(int64_t x, int64_t y) const
{
    return x >= 0 && y >= 0 && x < layout_.width && y < layout_.lines;
}

bool FrameWriter::reachWindow(uint64_t offset)
{
    const uint64_t gran = std::max<uint32_t>(layout_.granularity, 1);
    if (bank_ >= 0) {
        const uint64_t start = uint64_t(bank_) * gran;
        if (offset >= start && offset < start + layout_.windowSize)
            return true;
    }
    const int64_t wanted = int64_t(offset / gran);
    if (wanted == failedBank_ || wanted > 0xFFFF)
        return false;
    if (!bios::setBank(layout_.window, uint16_t(wanted))) {
        failedBank_ = wanted;
        bank_ = -1;
        return false;
    }
    bank_ = wanted;
    failedBank_ = -1;
    return true;
}

void FrameWriter::writeWindow(uint64_t offset, uint8_t value)
{
    HardwareBus* b = bus();
    if (!b || offset >= layout_.memoryBytes || !reachWindow(offset))
        return;
    const uint64_t start = uint64_t(bank_) * std::max<uint32_t>(layout_.granularity, 1);
    b->writePhys8(layout_.windowAddress + uint32_t(offset - start), value);
    ++bytes_;
}

uint8_t FrameWriter::readWindow(uint64_t offset)
{
    HardwareBus* b = bus();
    if (!b || offset >= layout_.memoryBytes || !reachWindow(offset))
        return 0;
    const uint64_t start = uint64_t(bank_) * std::max<uint32_t>(layout_.granularity, 1);
    ++bytes_;
    return b->readPhys8(layout_.windowAddress + uint32_t(offset - start));
}

void FrameWriter::writePacked(uint64_t offset, uint32_t color)
{
    const int bpp = layout_.bytesPerPixel;
    if (offset + uint64_t(bpp) > layout_.memoryBytes)
        return;
    meanPackedPixel(offset, color, bpp);
    if (layout_.kind == FrameLayout::LINEAR) {
        uint8_t* memory = framebuffer();
        if (!memory)
            return;
        uint8_t* p = memory + offset;
        for (int k = 0; k < bpp; ++k)
            p[k] = uint8_t(color >> (8 * k));
        bytes_ += uint64_t(bpp);
        return;
    }
    for (int k = 0; k < bpp; ++k)
        writeWindow(offset + uint64_t(k), uint8_t(color >> (8 * k)));
}

void FrameWriter::planarByte(uint64_t offset, uint8_t mask, uint8_t color)
{
    if (offset >= layout_.memoryBytes)
        return;
    meanPlanarPixels(offset, mask, color);
    graphicsController(vga::gc::BIT_MASK, mask);
    if (mask != ALL_PIXELS)
        readWindow(offset);  // fills the latches with the pixels the mask keeps
    writeWindow(offset, color & 0x0F);
}

void FrameWriter::plot(int64_t x, int64_t y, uint32_t color)
{
    if (!inside(x, y))
        return;
    const uint64_t row = layout_.origin + uint64_t(y) * uint64_t(layout_.bytesPerLine);
    switch (layout_.kind) {
    case FrameLayout::LINEAR:
    case FrameLayout::BANKED: writePacked(row + uint64_t(x) * uint64_t(layout_.bytesPerPixel), color); break;
    case FrameLayout::PLANAR:
        begin();
        planarByte(row + uint64_t(x >> 3), uint8_t(0x80 >> (x & 7)), uint8_t(color));
        end();
        break;
    case FrameLayout::NONE: break;
    }
}

void FrameWriter::span(int64_t y, int64_t x1, int64_t x2, uint32_t color)
{
    if (y < 0 || y >= layout_.lines)
        return;
    x1 = std::max<int64_t>(x1, 0);
    x2 = std::min<int64_t>(x2, layout_.width);
    if (x1 >= x2)
        return;
    const uint64_t row = layout_.origin + uint64_t(y) * uint64_t(layout_.bytesPerLine);
    switch (layout_.kind) {
    case FrameLayout::LINEAR:
        drawLinear([&](const Surface& s) { return drawScan(s, AccelState{}, color, y, x1, x2); });
        break;
    case FrameLayout::BANKED:
        for (int64_t x = x1; x < x2; ++x)
            writePacked(row + uint64_t(x) * uint64_t(layout_.bytesPerPixel), color);
        break;
    case FrameLayout::PLANAR: {
        begin();
        int64_t x = x1;
        while (x < x2) {
            const int64_t byteEnd = std::min<int64_t>((x | 7) + 1, x2);
            uint8_t mask = 0;
            for (int64_t k = x; k < byteEnd; ++k)
                mask |= uint8_t(0x80 >> (k & 7));
            planarByte(row + uint64_t(x >> 3), mask, uint8_t(color));
            x = byteEnd;
        }
        end();
        break;
    }
    case FrameLayout::NONE: break;
    }
}

namespace {

// Set bits of each glyph row byte (a table: the loop would become a library call on CPUs
// without a popcount instruction).
constexpr std::array<uint8_t, 256> BITS_SET = [] {
    std::array<uint8_t, 256> counts{};
    for (int bits = 0; bits < 256; ++bits)
        for (int x = 0; x < 8; ++x)
            counts[bits] += (bits >> x) & 1;
    return counts;
}();

// For each glyph row byte, eight byte masks in memory order: FFh where the bit is set (bit 7
// is the leftmost pixel, at the lowest address).
constexpr std::array<uint64_t, 256> ROW_MASKS = [] {
    std::array<uint64_t, 256> masks{};
    for (int bits = 0; bits < 256; ++bits)
        for (int x = 0; x < 8; ++x)
            if (bits & (0x80 >> x))
                masks[bits] |= uint64_t{0xFF} << (8 * x);
    return masks;
}();

// One byte a pixel: each row is its eight pixels at once, the set ones in the colour.
void glyphRows8(uint8_t* p, int64_t pitch, const uint8_t (&rows)[16], uint32_t color)
{
    const uint64_t paint = 0x0101010101010101ull * uint8_t(color);
    for (uint8_t bits : rows) {
        if (bits) {
            const uint64_t mask = ROW_MASKS[bits];
            uint64_t row;
            std::memcpy(&row, p, 8);
            row = (row & ~mask) | (paint & mask);
            std::memcpy(p, &row, 8);
        }
        p += pitch;
    }
}

// Wider pixels: each run of set bits of a row as a span.
template <int BPP>
void glyphSpans(uint8_t* p, int64_t pitch, const uint8_t (&rows)[16], uint32_t color)
{
    for (uint8_t bits : rows) {
        while (bits) {
            const int first = std::countl_zero(bits);
            const int end = first + std::countl_one(uint8_t(bits << first));
            for (int x = first; x < end; ++x)
                storePixel<BPP>(p + x * BPP, color);
            bits = uint8_t(bits & (0xFFu >> end));
        }
        p += pitch;
    }
}

}  // namespace

void FrameWriter::glyph(int64_t x, int64_t y, const uint8_t (&rows)[16], uint32_t color)
{
    const int64_t bpp = layout_.bytesPerPixel;
    const uint64_t pitch = uint64_t(layout_.bytesPerLine);
    const uint64_t lastRowEnd = layout_.origin + uint64_t(y + 15) * pitch + uint64_t(x + 8) * uint64_t(bpp);
    const bool whole =
        x >= 0 && y >= 0 && x + 8 <= layout_.width && y + 16 <= layout_.lines && lastRowEnd <= layout_.memoryBytes;
    if (layout_.kind == FrameLayout::LINEAR && whole) {
        drawLinear([&](const Surface& s) {
            uint8_t* p = s.memory + s.origin + uint64_t(y) * pitch + uint64_t(x * bpp);
            switch (bpp) {
            case 1: glyphRows8(p, s.bytesPerLine, rows, color); break;
            case 2: glyphSpans<2>(p, s.bytesPerLine, rows, color); break;
            case 3: glyphSpans<3>(p, s.bytesPerLine, rows, color); break;
            default: glyphSpans<4>(p, s.bytesPerLine, rows, color); break;
            }
            uint64_t touched = 0;
            for (uint8_t bits : rows)
                touched += uint64_t(BITS_SET[bits]) * uint64_t(bpp);
            return touched;
        });
        return;
    }
    // At an edge, and through the window or the planes: pixel by pixel.
    for (int row = 0; row < 16; ++row)
        for (int col = 0; col < 8; ++col)
            if (rows[row] & (0x80 >> col))
                plot(x + col, y + row, color);
}

void FrameWriter::clear(uint32_t color)
{
    if (layout_.kind == FrameLayout::LINEAR) {
        drawLinear(
            [&](const Surface& s) { return drawRect(s, AccelState{}, color, 0, 0, layout_.width, layout_.lines); });
        return;
    }
    begin();
    for (int64_t y = 0; y < layout_.lines; ++y)
        span(y, 0, layout_.width, color);
    end();
}

void FrameWriter::line(int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t color)
{
    if (layout_.kind == FrameLayout::LINEAR) {
        drawLinear([&](const Surface& s) { return drawPixelLine(s, AccelState{}, color, x1, y1, x2, y2); });
        return;
    }
    const ClipBox screen{0, 0, int64_t{layout_.width} - 1, int64_t{layout_.lines} - 1};
    begin();
    walkLine(x1, y1, x2, y2, screen, [&](int64_t x, int64_t y, int64_t) { plot(x, y, color); });
    end();
}

}  // namespace display
