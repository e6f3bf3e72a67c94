// The display library's own drawing (clear, lines, text) straight into video memory, the
// way a protected-mode program reaches it: through the linear framebuffer, through the
// 64 KB window at A0000 with VBE bank switching, or through the VGA planes in 4-bit modes.
// Every write is clipped to the screen and to video memory, and recorded in the meant video
// memory when a copy is kept (meant_memory.h).
#pragma once

#include <cstdint>

namespace display {

struct FrameLayout {
    enum Kind { NONE, LINEAR, BANKED, PLANAR } kind = NONE;
    int32_t width = 0;          // pixels per scan line the library draws on
    int32_t height = 0;         // scan lines of one page
    int32_t lines = 0;          // scan lines the screen has (height, or more after a longer start)
    int32_t bytesPerLine = 0;   // per plane in planar modes
    int32_t bytesPerPixel = 1;  // packed modes
    uint64_t memoryBytes = 0;   // video memory (per plane in planar modes)
    uint64_t origin = 0;        // byte offset of the active page
    // The window, for banked and planar modes.
    uint32_t windowAddress = 0xA0000;
    uint32_t granularity = 65536;
    uint32_t windowSize = 65536;
    uint8_t window = 0;  // 0 = window A, 1 = window B
};

class FrameWriter {
public:
    void configure(const FrameLayout& layout);  // a new mode: forgets the bank in force
    void setOrigin(uint64_t origin);
    void setLines(int32_t width, int32_t lines, int32_t bytesPerLine);
    const FrameLayout& layout() const { return layout_; }

    // Planar modes set the VGA write mode once around a run of drawing.
    void begin();
    void end();

    void clear(uint32_t color);
    void plot(int64_t x, int64_t y, uint32_t color);
    void line(int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t color);
    void span(int64_t y, int64_t x1, int64_t x2, uint32_t color);  // x2 exclusive
    // An 8 x 16 character cell from (x, y): the set bits of each row byte (bit 7 leftmost)
    // in the colour, the clear ones left as they are.
    void glyph(int64_t x, int64_t y, const uint8_t (&rows)[16], uint32_t color);

    // Bytes of video memory touched since the last call.
    uint64_t takeBytes();

private:
    // Runs a drawing on the framebuffer, counting its bytes, and on the meant copy if kept.
    template <class Draw>
    void drawLinear(Draw&& draw);
    uint8_t* framebuffer();
    bool inside(int64_t x, int64_t y) const;
    void writeWindow(uint64_t offset, uint8_t value);
    uint8_t readWindow(uint64_t offset);
    bool reachWindow(uint64_t offset);
    void writePacked(uint64_t offset, uint32_t color);
    void planarByte(uint64_t offset, uint8_t mask, uint8_t color);

    FrameLayout layout_;
    int64_t bank_ = -1;        // bank in force in the window, -1 unknown
    int64_t failedBank_ = -1;  // the BIOS refused this bank: skip its writes
    int depth_ = 0;            // nesting of begin/end
    uint64_t bytes_ = 0;
};

}  // namespace display
