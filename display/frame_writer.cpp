#include "display/frame_writer.h"

#include <algorithm>

#include "display/line_walk.h"
#include "display/raster.h"
#include "display/vbe.h"
#include "machine/machine.h"

namespace display {

namespace {

constexpr uint16_t SEQ_INDEX = 0x3C4, SEQ_DATA = 0x3C5, GC_INDEX = 0x3CE, GC_DATA = 0x3CF;

void graphicsController(uint8_t index, uint8_t value)
{
    machine::current().out8(GC_INDEX, index);
    machine::current().out8(GC_DATA, value);
}

void sequencer(uint8_t index, uint8_t value)
{
    machine::current().out8(SEQ_INDEX, index);
    machine::current().out8(SEQ_DATA, value);
}

Surface linearSurface(const FrameLayout& l)
{
    Surface s;
    s.memory = machine::current().lfb();
    s.memoryBytes = l.memoryBytes;
    s.origin = l.origin;
    s.width = l.width;
    s.height = l.lines;
    s.bytesPerLine = l.bytesPerLine;
    s.bytesPerPixel = l.bytesPerPixel;
    return s;
}

}  // namespace

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
        sequencer(0x02, 0x0F);          // all four planes
        graphicsController(0x01, 0x00); // no set/reset
        graphicsController(0x03, 0x00); // replace, no rotation
        graphicsController(0x05, 0x02); // write mode 2: the byte written is the colour
    }
}

void FrameWriter::end()
{
    if (layout_.kind == FrameLayout::PLANAR && depth_ > 0 && --depth_ == 0) {
        graphicsController(0x05, 0x00);
        graphicsController(0x08, 0xFF);
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
    if (!vbe::setBank(layout_.window, uint16_t(wanted))) {
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
    if (offset >= layout_.memoryBytes || !reachWindow(offset))
        return;
    const uint64_t start = uint64_t(bank_) * std::max<uint32_t>(layout_.granularity, 1);
    machine::current().writePhys8(layout_.windowAddress + uint32_t(offset - start), value);
    ++bytes_;
}

uint8_t FrameWriter::readWindow(uint64_t offset)
{
    if (offset >= layout_.memoryBytes || !reachWindow(offset))
        return 0;
    const uint64_t start = uint64_t(bank_) * std::max<uint32_t>(layout_.granularity, 1);
    ++bytes_;
    return machine::current().readPhys8(layout_.windowAddress + uint32_t(offset - start));
}

void FrameWriter::writePacked(uint64_t offset, uint32_t color)
{
    const int bpp = layout_.bytesPerPixel;
    if (offset + uint64_t(bpp) > layout_.memoryBytes)
        return;
    if (layout_.kind == FrameLayout::LINEAR) {
        uint8_t* p = machine::current().lfb() + offset;
        for (int k = 0; k < bpp; ++k) p[k] = uint8_t(color >> (8 * k));
        bytes_ += uint64_t(bpp);
        return;
    }
    for (int k = 0; k < bpp; ++k) writeWindow(offset + uint64_t(k), uint8_t(color >> (8 * k)));
}

void FrameWriter::planarByte(uint64_t offset, uint8_t mask, uint8_t color)
{
    if (offset >= layout_.memoryBytes)
        return;
    graphicsController(0x08, mask);
    if (mask != 0xFF)
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
    case FrameLayout::LINEAR: {
        AccelState replace;
        bytes_ += drawScan(linearSurface(layout_), replace, color, y, x1, x2);
        break;
    }
    case FrameLayout::BANKED:
        for (int64_t x = x1; x < x2; ++x) writePacked(row + uint64_t(x) * uint64_t(layout_.bytesPerPixel), color);
        break;
    case FrameLayout::PLANAR: {
        begin();
        int64_t x = x1;
        while (x < x2) {
            const int64_t byteEnd = std::min<int64_t>((x | 7) + 1, x2);
            uint8_t mask = 0;
            for (int64_t k = x; k < byteEnd; ++k) mask |= uint8_t(0x80 >> (k & 7));
            planarByte(row + uint64_t(x >> 3), mask, uint8_t(color));
            x = byteEnd;
        }
        end();
        break;
    }
    case FrameLayout::NONE: break;
    }
}

void FrameWriter::clear(uint32_t color)
{
    if (layout_.kind == FrameLayout::LINEAR) {
        AccelState replace;
        bytes_ += drawRect(linearSurface(layout_), replace, color, 0, 0, layout_.width, layout_.lines);
        return;
    }
    begin();
    for (int64_t y = 0; y < layout_.lines; ++y) span(y, 0, layout_.width, color);
    end();
}

void FrameWriter::line(int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t color)
{
    if (layout_.kind == FrameLayout::LINEAR) {
        AccelState replace;
        bytes_ += drawPixelLine(linearSurface(layout_), replace, color, x1, y1, x2, y2);
        return;
    }
    const ClipBox screen{0, 0, int64_t{layout_.width} - 1, int64_t{layout_.lines} - 1};
    begin();
    walkLine(x1, y1, x2, y2, screen, [&](int64_t x, int64_t y, int64_t) { plot(x, y, color); });
    end();
}

}  // namespace display
