// What the accelerator driver needs of a card: which VBE/AF entries it offers, its drawing,
// and its hardware cursor. One back end per kind of card; the driver finds the card's own.
// Drawing defaults to software into the framebuffer: a card with a 2D engine overrides the
// operations its engine does. A surface's memory is the framebuffer as the library asked for it
// before any engine drew: a back end whose engine draws asks the bus again before it draws
// with the CPU (HardwareBus::framebuffer).
#pragma once

#include <cstdint>
#include <memory>

#include "display/hardware_bus.h"
#include "display/raster.h"
#include "platform/accel.h"

namespace display {

// The optional VBE/AF entries a back end can offer, a bit each.
enum AccelEntry : uint32_t {
    ACCEL_SET_CURSOR = 1u << 0,
    ACCEL_SET_CLIP_RECT = 1u << 1,
    ACCEL_DRAW_PATT_SCAN = 1u << 2,
    ACCEL_DRAW_RECT = 1u << 3,
    ACCEL_DRAW_PATT_RECT = 1u << 4,
    ACCEL_DRAW_LINE = 1u << 5,
    ACCEL_DRAW_STIPPLE_LINE = 1u << 6,
    ACCEL_PUT_MONO_IMAGE = 1u << 7,
    ACCEL_BIT_BLT = 1u << 8,
    ACCEL_BIT_BLT_LIN = 1u << 9,
    ACCEL_SRC_TRANS_BLT = 1u << 10,
    ACCEL_SRC_TRANS_BLT_LIN = 1u << 11,
    ACCEL_DST_TRANS_BLT = 1u << 12,
    ACCEL_DST_TRANS_BLT_LIN = 1u << 13,
};

class AccelBackend {
public:
    virtual ~AccelBackend() = default;

    // AccelEntry bits of what the card offers.
    virtual uint32_t entries() const = 0;

    // Each returns the bytes of video memory touched, which the driver charges to the bus.
    virtual uint64_t drawRect(const Surface& s, const AccelState& st, uint32_t color, int64_t left, int64_t top,
                              int64_t width, int64_t height)
    {
        return display::drawRect(s, st, color, left, top, width, height);
    }
    virtual uint64_t drawPattRect(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t left,
                                  int64_t top, int64_t width, int64_t height)
    {
        return display::drawPattRect(s, st, fg, bg, left, top, width, height);
    }
    virtual uint64_t drawScan(const Surface& s, const AccelState& st, uint32_t color, int64_t y, int64_t x1, int64_t x2)
    {
        return display::drawScan(s, st, color, y, x1, x2);
    }
    virtual uint64_t drawPattScan(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t y,
                                  int64_t x1, int64_t x2)
    {
        return display::drawPattScan(s, st, fg, bg, y, x1, x2);
    }
    virtual uint64_t drawScanList(const Surface& s, const AccelState& st, uint32_t color, int64_t y, int64_t count,
                                  const int16_t* pairs)
    {
        // One scan per line, so that a back end drawing scans on its engine draws lists there too.
        if (!pairs || count <= 0)
            return 0;
        uint64_t bytes = 0;
        for (int64_t i = 0; i < count; ++i)
            bytes += drawScan(s, st, color, y + i, pairs[2 * i], pairs[2 * i + 1]);
        return bytes;
    }
    virtual uint64_t drawTrap(const Surface& s, const AccelState& st, uint32_t color, int64_t y, int64_t count,
                              int32_t x1, int32_t x2, int32_t slope1, int32_t slope2)
    {
        return display::drawTrap(s, st, color, y, count, x1, x2, slope1, slope2);
    }
    virtual uint64_t drawLine(const Surface& s, const AccelState& st, uint32_t color, int32_t x1, int32_t y1,
                              int32_t x2, int32_t y2)
    {
        return display::drawLine(s, st, color, x1, y1, x2, y2);
    }
    virtual uint64_t drawStippleLine(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int32_t x1,
                                     int32_t y1, int32_t x2, int32_t y2)
    {
        return display::drawStippleLine(s, st, fg, bg, x1, y1, x2, y2);
    }
    virtual uint64_t putMonoImage(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t x,
                                  int64_t y, int64_t bytesPerRow, int64_t rows, const uint8_t* image)
    {
        return display::putMonoImage(s, st, fg, bg, x, y, bytesPerRow, rows, image);
    }
    virtual uint64_t bitBlt(const Surface& s, const AccelState& st, int64_t left, int64_t top, int64_t width,
                            int64_t height, int64_t dstX, int64_t dstY, int32_t mix, Transparency mode,
                            uint32_t transparent)
    {
        return display::bitBlt(s, st, left, top, width, height, dstX, dstY, mix, mode, transparent);
    }
    virtual uint64_t bitBltLin(const Surface& s, const AccelState& st, int64_t srcOffset, int64_t dstX, int64_t dstY,
                               int64_t width, int64_t height, int32_t mix, Transparency mode, uint32_t transparent)
    {
        return display::bitBltLin(s, st, srcOffset, dstX, dstY, width, height, mix, mode, transparent);
    }

    // The hardware cursor, when the back end offers ACCEL_SET_CURSOR.
    virtual void setCursorImage(const AF_CursorImage&) {}
    virtual void setCursorColor(uint8_t /*red*/, uint8_t /*green*/, uint8_t /*blue*/) {}
    virtual void setCursorPosition(int32_t /*x*/, int32_t /*y*/) {}
    virtual void showCursor(bool /*visible*/) {}
};

// The back end of the card on the bus, or null when it has no accelerator.
std::unique_ptr<AccelBackend> findAccelBackend(HardwareBus& bus);

}  // namespace display
