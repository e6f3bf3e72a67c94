// The GD5446's accelerator back end.
//
// Each operation waits until the engine is idle, programs it through the graphics
// controller's ports (all of its registers, since the BIOS uses the engine too), starts it,
// feeds system-memory data through the VGA window at A0000h, and waits for the engine again
// before it returns: the AF_ interface has no call to wait later, and the library and the
// program touch video memory between calls. What the engine cannot do as the software path
// does it is drawn in software after the same wait, into the framebuffer asked of the bus again:
//  - destination-transparent copies: the engine compares only its own result with the key;
//  - source-transparent copies in a mix other than replace (the result is the source only
//    under replace), and at 24 and 32 bits, where the engine has no compare;
//  - areas that do not lie whole in video memory, or exceed the engine's 13-bit fields.
#include "display_accel/cirrus_accel.h"

#include <algorithm>
#include <vector>

#include "hw/cirrus.h"
#include "hw/vga.h"

namespace display {
namespace {

using namespace cirrus;

constexpr int64_t MAX_WIDTH_BYTES = 1 << 13, MAX_HEIGHT = 1 << 13, MAX_PITCH = (1 << 13) - 1;
constexpr uint32_t WINDOW = 0xA0000;
constexpr int IDLE_POLLS = 100000;
// The cursor pattern: the last 256-byte slot of the area at the top of video memory.
constexpr uint8_t CURSOR_SLOT = seq::CURSOR_PATTERN_SMALL;
constexpr int CURSOR_ROW_BYTES = cursor::SMALL / 8;

// VBE/AF mixes as GR32 raster operations (S: the source or expanded colour, D: the screen).
uint8_t ropFor(int32_t mix)
{
    switch (mix) {
    case MIX_AND: return rop::SRC_AND_DST;
    case MIX_OR: return rop::SRC_OR_DST;
    case MIX_XOR: return rop::SRC_XOR_DST;
    default: return rop::SRC;
    }
}

// The bytes of the screen an operation touches: twice when its raster operation reads them.
uint64_t touchedBytes(uint8_t rop, uint64_t bytes)
{
    return rop == rop::SRC ? bytes : 2 * bytes;
}

constexpr uint8_t DEPTH_BITS[] = {gc::BLT_MODE_DEPTH_8, gc::BLT_MODE_DEPTH_16, gc::BLT_MODE_DEPTH_24,
                                  gc::BLT_MODE_DEPTH_32};

// Video memory from SR0F as the chip's BIOS decodes it: 256 KB << width, or 4 MB with both
// the widest setting and the second bank.
uint32_t memoryFromDramControl(uint8_t dram)
{
    if ((dram & seq::DRAM_CONTROL_4MB) == seq::DRAM_CONTROL_4MB)
        return 4u << 20;
    return (256u << 10) << ((dram & seq::DRAM_CONTROL_WIDTH) >> 3);
}

// One engine operation as the registers take it.
struct Operation {
    uint8_t mode = 0, rop = rop::SRC, extension = 0;
    uint32_t widthBytes = 0, height = 0, dstPitch = 0, srcPitch = 0, dst = 0, src = 0;
    uint32_t foreground = 0, background = 0;
    uint16_t key = 0;
};

// A 32-pixel row of a mask, most significant bit leftmost.
uint32_t maskRow(const uint8_t* mask, int row)
{
    const uint8_t* p = mask + row * CURSOR_ROW_BYTES;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

class CirrusAccel : public AccelBackend {
public:
    CirrusAccel(HardwareBus& bus, uint32_t videoMemory) : bus_(bus), videoMemory_(videoMemory) {}

    uint32_t entries() const override
    {
        return ACCEL_SET_CURSOR | ACCEL_SET_CLIP_RECT | ACCEL_DRAW_PATT_SCAN | ACCEL_DRAW_RECT | ACCEL_DRAW_PATT_RECT |
               ACCEL_DRAW_LINE | ACCEL_DRAW_STIPPLE_LINE | ACCEL_PUT_MONO_IMAGE | ACCEL_BIT_BLT | ACCEL_BIT_BLT_LIN |
               ACCEL_SRC_TRANS_BLT | ACCEL_SRC_TRANS_BLT_LIN | ACCEL_DST_TRANS_BLT | ACCEL_DST_TRANS_BLT_LIN;
    }

    uint64_t drawRect(const Surface& s, const AccelState& st, uint32_t color, int64_t left, int64_t top, int64_t width,
                      int64_t height) override
    {
        PixelBox box;
        if (!cutRect(s, st, left, top, width, height, box))
            return 0;
        if (!fits(s, box))
            return software(
                s, [&](const Surface& card) { return display::drawRect(card, st, color, left, top, width, height); });
        return fill(s, st.foregroundMix, color, box);
    }

    uint64_t drawScan(const Surface& s, const AccelState& st, uint32_t color, int64_t y, int64_t x1,
                      int64_t x2) override
    {
        if (x1 > x2)
            std::swap(x1, x2);
        return drawRect(s, st, color, x1, y, x2 - x1, 1);
    }

    uint64_t drawPattRect(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t left, int64_t top,
                          int64_t width, int64_t height) override
    {
        PixelBox box;
        if (!cutRect(s, st, left, top, width, height, box))
            return 0;
        if (!fits(s, box))
            return software(s, [&](const Surface& card) {
                return display::drawPattRect(card, st, fg, bg, left, top, width, height);
            });
        // The engine starts the pattern at its first pixel and line: turn it to the screen's.
        std::vector<uint8_t> pattern(8);
        const unsigned turn = unsigned(box.x1 & 7);
        for (int row = 0; row < 8; ++row) {
            const uint8_t bits = st.pattern[(box.y1 + row) & 7];
            pattern[size_t(row)] = uint8_t(turn ? (bits << turn) | (bits >> (8 - turn)) : bits);
        }
        return expand(s, st, fg, bg, box, gc::BLT_MODE_PATTERN, pattern);
    }

    uint64_t drawPattScan(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t y, int64_t x1,
                          int64_t x2) override
    {
        if (x1 > x2)
            std::swap(x1, x2);
        return drawPattRect(s, st, fg, bg, x1, y, x2 - x1, 1);
    }

    uint64_t putMonoImage(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t x, int64_t y,
                          int64_t bytesPerRow, int64_t rows, const uint8_t* image) override
    {
        PixelBox box;
        if (!image || bytesPerRow <= 0 || !cutRect(s, st, x, y, bytesPerRow * 8, rows, box))
            return 0;
        if (!fits(s, box))
            return software(s, [&](const Surface& card) {
                return display::putMonoImage(card, st, fg, bg, x, y, bytesPerRow, rows, image);
            });
        // The visible part of each row from its first bit, in rows padded to 32 bits (GR33 bit 0).
        const int64_t pixels = box.x2 - box.x1, skip = box.x1 - x;
        const size_t rowBytes = size_t((pixels + 31) / 32 * 4);
        std::vector<uint8_t> data(rowBytes * size_t(box.y2 - box.y1), 0);
        for (int64_t line = box.y1; line < box.y2; ++line) {
            const uint8_t* bits = image + (line - y) * bytesPerRow;
            uint8_t* out = &data[size_t(line - box.y1) * rowBytes];
            for (int64_t i = 0; i < pixels; ++i) {
                const int64_t column = skip + i;
                if (bits[column >> 3] & (0x80 >> (column & 7)))
                    out[i >> 3] = uint8_t(out[i >> 3] | (0x80 >> (i & 7)));
            }
        }
        return expand(s, st, fg, bg, box, gc::BLT_MODE_SRC_SYSTEM, data);
    }

    uint64_t bitBlt(const Surface& s, const AccelState& st, int64_t left, int64_t top, int64_t width, int64_t height,
                    int64_t dstX, int64_t dstY, int32_t mix, Transparency mode, uint32_t transparent) override
    {
        CopyArea area;
        if (!cutScreenCopy(s, st, left, top, width, height, dstX, dstY, area))
            return 0;
        if (!copyOnEngine(s, area, mix, mode))
            return software(s, [&](const Surface& card) {
                return display::bitBlt(card, st, left, top, width, height, dstX, dstY, mix, mode, transparent);
            });
        return copy(s, area, mix, mode, transparent);
    }

    uint64_t bitBltLin(const Surface& s, const AccelState& st, int64_t srcOffset, int64_t dstX, int64_t dstY,
                       int64_t width, int64_t height, int32_t mix, Transparency mode, uint32_t transparent) override
    {
        CopyArea area;
        if (!cutLinearCopy(s, st, srcOffset, dstX, dstY, width, height, area))
            return 0;
        if (!copyOnEngine(s, area, mix, mode))
            return software(s, [&](const Surface& card) {
                return display::bitBltLin(card, st, srcOffset, dstX, dstY, width, height, mix, mode, transparent);
            });
        return copy(s, area, mix, mode, transparent);
    }

    // Lines and trapezoids: software, once the engine has let go of video memory.
    uint64_t drawTrap(const Surface& s, const AccelState& st, uint32_t color, int64_t y, int64_t count, int32_t x1,
                      int32_t x2, int32_t slope1, int32_t slope2) override
    {
        return software(s, [&](const Surface& card) {
            return display::drawTrap(card, st, color, y, count, x1, x2, slope1, slope2);
        });
    }
    uint64_t drawLine(const Surface& s, const AccelState& st, uint32_t color, int32_t x1, int32_t y1, int32_t x2,
                      int32_t y2) override
    {
        return software(s, [&](const Surface& card) { return display::drawLine(card, st, color, x1, y1, x2, y2); });
    }
    uint64_t drawStippleLine(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int32_t x1, int32_t y1,
                             int32_t x2, int32_t y2) override
    {
        return software(
            s, [&](const Surface& card) { return display::drawStippleLine(card, st, fg, bg, x1, y1, x2, y2); });
    }

    // The cursor: the image as the chip's 32 x 32 pattern (inside: foreground, outline:
    // background, elsewhere transparent), the colours in the extended DAC entries. The chip
    // has no hot spot and no negative position: the pattern is moved within itself instead.
    void setCursorImage(const AF_CursorImage& image) override
    {
        cursorImage_ = image;
        cursorImage_.hotX = std::clamp(image.hotX, 0, cursor::SMALL - 1);
        cursorImage_.hotY = std::clamp(image.hotY, 0, cursor::SMALL - 1);
        placeCursor(true);
    }

    void setCursorColor(uint8_t red, uint8_t green, uint8_t blue) override
    {
        const uint8_t attributes = sequencer(seq::CURSOR_ATTRIBUTES);
        setSequencer(seq::CURSOR_ATTRIBUTES, attributes | seq::CURSOR_ATTRIBUTES_DAC_ACCESS);
        auto entry = [&](int index, uint8_t r, uint8_t g, uint8_t b) {
            bus_.out8(vga::dac::WRITE_INDEX_PORT, uint8_t(index));
            for (uint8_t component : {r, g, b})
                bus_.out8(vga::dac::DATA_PORT, component >> 2);  // the DAC is 6 bits wide
        };
        entry(cursor::BACKGROUND_ENTRY, 0, 0, 0);
        entry(cursor::FOREGROUND_ENTRY, red, green, blue);
        setSequencer(seq::CURSOR_ATTRIBUTES, attributes & ~seq::CURSOR_ATTRIBUTES_DAC_ACCESS);
    }

    void setCursorPosition(int32_t x, int32_t y) override
    {
        cursorX_ = x;
        cursorY_ = y;
        placeCursor(false);
    }

    void showCursor(bool visible) override
    {
        cursorShown_ = visible;
        placeCursor(visible);  // a mode set may have cleared the pattern
    }

private:
    void setGraphics(uint8_t index, uint8_t value) { bus_.out16(vga::gc::INDEX_PORT, uint16_t(value << 8 | index)); }
    void setField(uint8_t index, uint32_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            setGraphics(uint8_t(index + i), uint8_t(value >> (8 * i)));
    }
    void setSequencer(uint8_t index, uint8_t value) { bus_.out16(vga::seq::INDEX_PORT, uint16_t(value << 8 | index)); }
    uint8_t sequencer(uint8_t index)
    {
        bus_.out8(vga::seq::INDEX_PORT, index);
        return bus_.in8(vga::seq::DATA_PORT);
    }

    // Waits until the engine has finished (GR31 busy and start clear); one that never does
    // is reset, so that the host never writes beside a running engine.
    void waitIdle()
    {
        static constexpr uint16_t RESET[] = {uint16_t(gc::BLT_STATUS_RESET << 8 | gc::BLT_STATUS), gc::BLT_STATUS};
        bus_.waitIndexedClear(vga::gc::INDEX_PORT, gc::BLT_STATUS, gc::BLT_STATUS_BUSY | gc::BLT_STATUS_START,
                              IDLE_POLLS, RESET);
    }

    // Drawing with the CPU once the engine is idle, into the framebuffer asked for afresh: the
    // engine has drawn since the library last asked, and a PC that keeps a host copy of video
    // memory brings it up to date only when asked.
    template <class Draw>
    uint64_t software(const Surface& s, Draw&& draw)
    {
        waitIdle();
        Surface card = s;
        card.memory = bus_.framebuffer();
        return card.memory ? draw(card) : 0;
    }

    // Whether the engine can reach every byte of the rectangle.
    bool fits(const Surface& s, const PixelBox& box) const
    {
        const int64_t bpp = s.bytesPerPixel, pitch = s.bytesPerLine;
        const int64_t widthBytes = (box.x2 - box.x1) * bpp, height = box.y2 - box.y1;
        const int64_t first = int64_t(s.origin) + box.y1 * pitch + box.x1 * bpp;
        return areaFits(s, first, widthBytes, height);
    }

    bool areaFits(const Surface& s, int64_t first, int64_t widthBytes, int64_t height) const
    {
        const int64_t pitch = s.bytesPerLine;
        const int64_t memory = std::min<int64_t>(int64_t(s.memoryBytes), videoMemory_);
        return s.bytesPerPixel >= 1 && s.bytesPerPixel <= 4 && pitch > 0 && pitch <= MAX_PITCH && widthBytes > 0 &&
               widthBytes <= MAX_WIDTH_BYTES && height > 0 && height <= MAX_HEIGHT && first >= 0 &&
               first + (height - 1) * pitch + widthBytes <= memory;
    }

    // The operation on the box of the screen: mode, depth, size, pitches and destination.
    Operation on(const Surface& s, const PixelBox& box, uint8_t mode) const
    {
        Operation op;
        op.mode = uint8_t(mode | DEPTH_BITS[s.bytesPerPixel - 1]);
        op.widthBytes = uint32_t((box.x2 - box.x1) * s.bytesPerPixel);
        op.height = uint32_t(box.y2 - box.y1);
        op.dstPitch = op.srcPitch = uint32_t(s.bytesPerLine);
        op.dst = uint32_t(s.origin + uint64_t(box.y1) * uint64_t(s.bytesPerLine) +
                          uint64_t(box.x1) * uint64_t(s.bytesPerPixel));
        return op;
    }

    uint64_t fill(const Surface& s, int32_t mix, uint32_t color, const PixelBox& box)
    {
        if (mix == MIX_NOP)
            return 0;
        Operation op = on(s, box, gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN);
        op.extension = gc::BLT_MODE_EXTENSION_SOLID_FILL;
        op.rop = ropFor(mix);
        op.foreground = color;
        return run(s, op, {});
    }

    // Colour expansion of mono data (an 8 x 8 pattern or an image from system memory): set bits
    // in the foreground colour and mix, clear bits in the background's. The engine has one
    // ROP per operation: with two mixes it takes two transparent passes, the second inverted.
    uint64_t expand(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, const PixelBox& box,
                    uint8_t source, const std::vector<uint8_t>& data)
    {
        Operation op = on(s, box, uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_SRC_SYSTEM | source));
        op.extension = gc::BLT_MODE_EXTENSION_DWORD_ROWS;
        op.foreground = fg;
        op.background = bg;
        const int32_t fgMix = st.foregroundMix, bgMix = st.backgroundMix;
        if (fgMix == bgMix) {
            if (fgMix == MIX_NOP)
                return 0;
            op.rop = ropFor(fgMix);
            return run(s, op, data);
        }
        uint64_t bytes = 0;
        op.mode |= gc::BLT_MODE_TRANSPARENT;
        if (fgMix != MIX_NOP) {
            op.rop = ropFor(fgMix);
            bytes += run(s, op, data);
        }
        if (bgMix != MIX_NOP) {
            op.rop = ropFor(bgMix);
            op.extension |= gc::BLT_MODE_EXTENSION_INVERT;
            bytes += run(s, op, data);
        }
        return bytes;
    }

    bool copyOnEngine(const Surface& s, const CopyArea& a, int32_t mix, Transparency mode) const
    {
        const int64_t bpp = s.bytesPerPixel, widthBytes = a.width * bpp;
        const int64_t dstStart = int64_t(s.origin) + a.dstY * s.bytesPerLine + a.dstX * bpp;
        if (!areaFits(s, a.srcStart, widthBytes, a.height) || !areaFits(s, dstStart, widthBytes, a.height))
            return false;
        switch (mode) {
        case Transparency::NONE: return true;
        case Transparency::SOURCE: return mix == MIX_REPLACE && bpp <= 2;
        case Transparency::DESTINATION: return false;
        }
        return false;
    }

    // A copy inside video memory, backwards (from the last byte up) when the destination lies
    // after the source, so that overlapping areas copy as if read whole first.
    uint64_t copy(const Surface& s, const CopyArea& a, int32_t mix, Transparency mode, uint32_t transparent)
    {
        if (mix == MIX_NOP)
            return 0;
        const PixelBox box{a.dstX, a.dstY, a.dstX + a.width, a.dstY + a.height};
        Operation op = on(s, box, 0);
        op.src = uint32_t(a.srcStart);
        op.rop = ropFor(mix);
        if (mode == Transparency::SOURCE) {
            op.mode |= gc::BLT_MODE_TRANSPARENT;
            op.key = uint16_t(s.bytesPerPixel == 1 ? transparent & 0xFF : transparent & 0xFFFF);
        }
        if (op.dst > op.src) {
            const uint32_t last = (op.height - 1) * op.dstPitch + op.widthBytes - 1;
            op.mode |= gc::BLT_MODE_BACKWARDS;
            op.dst += last;
            op.src += last;
        }
        return run(s, op, {}) + uint64_t(op.widthBytes) * op.height;  // and the source read
    }

    // Programs, starts and feeds one operation; returns the bytes of the screen it touched.
    uint64_t run(const Surface& s, const Operation& op, const std::vector<uint8_t>& data)
    {
        waitIdle();
        setGraphics(gc::BLT_STATUS, 0);  // no autostart left over from the BIOS
        const int bpp = s.bytesPerPixel;
        static constexpr uint8_t FOREGROUND[] = {gc::FOREGROUND0, gc::FOREGROUND1, gc::FOREGROUND2, gc::FOREGROUND3};
        static constexpr uint8_t BACKGROUND[] = {gc::BACKGROUND0, gc::BACKGROUND1, gc::BACKGROUND2, gc::BACKGROUND3};
        // A solid fill reads neither the background colour nor a source.
        const bool solid = op.extension & gc::BLT_MODE_EXTENSION_SOLID_FILL;
        for (int i = 0; i < bpp; ++i) {
            setGraphics(FOREGROUND[i], uint8_t(op.foreground >> (8 * i)));
            if (!solid)
                setGraphics(BACKGROUND[i], uint8_t(op.background >> (8 * i)));
        }
        setField(gc::BLT_WIDTH, op.widthBytes - 1, 2);
        setField(gc::BLT_HEIGHT, op.height - 1, 2);
        setField(gc::BLT_DST_PITCH, op.dstPitch, 2);
        if (!solid) {
            setField(gc::BLT_SRC_PITCH, op.srcPitch, 2);
            setField(gc::BLT_SRC_ADDRESS, op.src, 3);
        }
        setGraphics(gc::BLT_LEFT_SKIP, 0);
        setGraphics(gc::BLT_MODE, op.mode);
        setGraphics(gc::BLT_ROP, op.rop);
        setGraphics(gc::BLT_MODE_EXTENSION, op.extension);
        if (op.mode & gc::BLT_MODE_TRANSPARENT) {
            setField(gc::BLT_TRANSPARENT_COLOUR, op.key, 2);
            setField(gc::BLT_TRANSPARENT_MASK, 0, 2);  // every bit compared
        }
        setField(gc::BLT_DST_ADDRESS, op.dst, 3);
        setGraphics(gc::BLT_STATUS, gc::BLT_STATUS_START);
        for (uint8_t byte : data)
            bus_.writePhys8(WINDOW, byte);
        waitIdle();
        // GR00/GR01 are also the VGA's set/reset and its enable: leave them as the BIOS expects.
        setGraphics(gc::BACKGROUND0, 0);
        setGraphics(gc::FOREGROUND0, 0);
        return touchedBytes(op.rop, uint64_t(op.widthBytes) * op.height) + data.size();
    }

    // Loads the pattern, position and visibility the cursor needs now; the pattern only when
    // asked or when the part of the image that is off the screen's top or left has changed.
    void placeCursor(bool loadPattern)
    {
        const int64_t left = int64_t(cursorX_) - cursorImage_.hotX, top = int64_t(cursorY_) - cursorImage_.hotY;
        const int cutX = int(std::clamp<int64_t>(-left, 0, cursor::SMALL));
        const int cutY = int(std::clamp<int64_t>(-top, 0, cursor::SMALL));
        constexpr int64_t MAX_POSITION = 0x7FF;  // 11 bits
        const bool onScreen =
            cursorShown_ && cutX < cursor::SMALL && cutY < cursor::SMALL && left <= MAX_POSITION && top <= MAX_POSITION;
        if (onScreen && (loadPattern || cutX != patternCutX_ || cutY != patternCutY_))
            writePattern(cutX, cutY);
        const uint16_t x = uint16_t(std::max<int64_t>(left, 0)), y = uint16_t(std::max<int64_t>(top, 0));
        auto position = [&](uint8_t index, uint16_t value) {
            setSequencer(uint8_t(index | (value & 7) << seq::CURSOR_LOW_BITS_SHIFT), uint8_t(value >> 3));
        };
        position(seq::CURSOR_X, x);
        position(seq::CURSOR_Y, y);
        setSequencer(seq::CURSOR_PATTERN, CURSOR_SLOT);
        const uint8_t attributes =
            sequencer(seq::CURSOR_ATTRIBUTES) & uint8_t(~(seq::CURSOR_ATTRIBUTES_SHOW | seq::CURSOR_ATTRIBUTES_LARGE));
        setSequencer(seq::CURSOR_ATTRIBUTES, attributes | (onScreen ? seq::CURSOR_ATTRIBUTES_SHOW : 0));
    }

    // The 32 x 32 pattern: 128 bytes of plane 0 (the inside), then 128 of plane 1 (the whole
    // shape), moved up by cutY lines and left by cutX pixels.
    void writePattern(int cutX, int cutY)
    {
        const uint64_t at = videoMemory_ - cursor::AREA_BYTES + uint64_t(CURSOR_SLOT) * cursor::SLOT_BYTES;
        if (!bus_.framebuffer() || at + cursor::SLOT_BYTES > bus_.framebufferMappedBytes())
            return;
        waitIdle();
        uint8_t* plane0 = bus_.framebuffer() + at;
        uint8_t* plane1 = plane0 + cursor::SMALL * CURSOR_ROW_BYTES;
        for (int row = 0; row < cursor::SMALL; ++row) {
            const int from = row + cutY;
            uint32_t inside = 0, shape = 0;
            if (from < cursor::SMALL && cutX < cursor::SMALL) {
                shape = maskRow(cursorImage_.secondMask, from) << cutX;
                inside = (maskRow(cursorImage_.firstMask, from) << cutX) & shape;
            }
            for (int i = 0; i < CURSOR_ROW_BYTES; ++i) {
                const int shift = 24 - 8 * i;
                plane0[row * CURSOR_ROW_BYTES + i] = uint8_t(inside >> shift);
                plane1[row * CURSOR_ROW_BYTES + i] = uint8_t(shape >> shift);
            }
        }
        patternCutX_ = cutX;
        patternCutY_ = cutY;
    }

    HardwareBus& bus_;
    uint32_t videoMemory_;
    AF_CursorImage cursorImage_{};
    int32_t cursorX_ = 0, cursorY_ = 0;
    bool cursorShown_ = false;
    int patternCutX_ = -1, patternCutY_ = -1;
};

}  // namespace

std::unique_ptr<AccelBackend> probeCirrusAccel(HardwareBus& bus)
{
    const uint8_t seqIndex = bus.in8(vga::seq::INDEX_PORT);
    bus.out8(vga::seq::INDEX_PORT, seq::UNLOCK);
    const uint8_t lock = bus.in8(vga::seq::DATA_PORT);
    bus.out8(vga::seq::DATA_PORT, seq::UNLOCK_KEY);
    const bool unlocked = bus.in8(vga::seq::DATA_PORT) == seq::UNLOCK_KEY;
    const bool colour = bus.in8(vga::misc::READ_PORT) & vga::misc::COLOR_IO;
    const uint16_t crtcIndexPort = colour ? vga::crtc::INDEX_PORT : vga::crtc::MONO_INDEX_PORT;
    const uint8_t crtcIndex = bus.in8(crtcIndexPort);
    bus.out8(crtcIndexPort, crtc::ID);
    const bool gd5446 = unlocked && bus.in8(uint16_t(crtcIndexPort + 1)) == crtc::ID_GD5446;
    bus.out8(crtcIndexPort, crtcIndex);
    uint32_t memory = 0;
    if (gd5446) {
        bus.out8(vga::seq::INDEX_PORT, seq::DRAM_CONTROL);
        memory = memoryFromDramControl(bus.in8(vga::seq::DATA_PORT));
    } else {
        bus.out8(vga::seq::INDEX_PORT, seq::UNLOCK);
        bus.out8(vga::seq::DATA_PORT, lock);
    }
    bus.out8(vga::seq::INDEX_PORT, seqIndex);
    if (!gd5446)
        return nullptr;
    return std::make_unique<CirrusAccel>(bus, memory);
}

}  // namespace display
