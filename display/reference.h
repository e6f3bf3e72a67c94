// The screen the program means to show, kept by the display library as it works: the mode
// it set, the display start, line length, DAC width and palette it asked for, and the
// hardware cursor it placed. With the video memory the program drew into (meant_memory.h),
// this is the picture a correct card would show, whatever the card or its BIOS did with them.
#pragma once

#include <array>
#include <cstdint>

#include "display/mode_name.h"
#include "platform/accel.h"
#include "platform/display.h"

namespace display {

struct MeantCursor {
    bool shown = false;
    int32_t x = 0, y = 0;
    int32_t hotX = 0, hotY = 0;
    uint8_t red = 0xFF, green = 0xFF, blue = 0xFF;
    std::array<uint16_t, 128> image{};  // words 0-63 first mask, 64-127 second, 32 pixels per row pair
};

// Where each colour field of a direct-colour pixel lies (size and position in bits).
struct PixelFormat {
    uint8_t redSize = 0, redPos = 0, greenSize = 0, greenPos = 0, blueSize = 0, bluePos = 0;
};

struct MeantScreen {
    bool modeSet = false;  // false: the program holds no mode the library set
    uint16_t mode = 0;     // plain VBE number
    int32_t width = 0, height = 0;
    int32_t depth = 0;          // 4, 8, 15, 16, 24 or 32
    PixelFormat format;         // direct-colour depths
    uint32_t bytesPerLine = 0;  // per plane in 4-bit modes
    uint32_t startX = 0, startY = 0;
    int32_t dacBits = 6;
    std::array<uint8_t, 256 * 3> dac{};  // red, green, blue of each entry, in DAC units at dacBits
    MeantCursor cursor;
};

// What the program means the screen to show now.
const MeantScreen& meantScreen();

// The library's records, each called once the request succeeded.
void meanMode(uint16_t mode, const ModeFacts& facts, uint32_t bytesPerLine, const PixelFormat& format, int32_t dacBits);
void meanNoMode();
void meanStart(uint32_t x, uint32_t y);
void meanLineLength(uint32_t bytesPerLine);
void meanDacWidth(int32_t bits);
void meanPalette(int32_t first, int32_t count, const PaletteEntry* dacUnits);
void meanCursorImage(const AF_CursorImage& image);
void meanCursorColor(uint8_t red, uint8_t green, uint8_t blue);
void meanCursorPosition(int32_t x, int32_t y);
void meanCursorShown(bool shown);

}  // namespace display
