// The VBE/AF accelerator driver, reached through DisplayContext::accel.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// The driver's device context. The program reads only the optional entries below
// (nonzero = the operation is offered); every other byte is the driver's.
struct AccelContext {
    uint8_t driverData000[0x1D0];
    uint32_t setCursor;  // 0x1D0
    uint8_t driverData1D4[0x1C];
    uint32_t setClipRect;  // 0x1F0
    uint8_t driverData1F4[4];
    uint32_t drawPattScan;  // 0x1F8
    uint8_t driverData1FC[8];
    uint32_t drawRect;      // 0x204
    uint32_t drawPattRect;  // 0x208
    uint8_t driverData20C[4];
    uint32_t drawLine;         // 0x210
    uint32_t drawStippleLine;  // 0x214
    uint8_t driverData218[0xC];
    uint32_t putMonoImage;    // 0x224
    uint32_t bitBlt;          // 0x228
    uint32_t bitBltLin;       // 0x22C
    uint32_t srcTransBlt;     // 0x230
    uint32_t srcTransBltLin;  // 0x234
    uint32_t dstTransBlt;     // 0x238
    uint32_t dstTransBltLin;  // 0x23C
    uint8_t driverData240[0x40];
};

// The hardware cursor image handed to AF_setCursor.
struct AF_CursorImage {
    uint8_t firstMask[32 * 4];   // the inside, drawn in the cursor colour
    uint8_t secondMask[32 * 4];  // the whole shape; set here and clear above = outline
    int32_t hotX;
    int32_t hotY;
};

#pragma pack(pop)

static_assert(offsetof(AccelContext, setCursor) == 0x1D0);
static_assert(offsetof(AccelContext, setClipRect) == 0x1F0);
static_assert(offsetof(AccelContext, drawPattScan) == 0x1F8);
static_assert(offsetof(AccelContext, drawRect) == 0x204);
static_assert(offsetof(AccelContext, drawPattRect) == 0x208);
static_assert(offsetof(AccelContext, drawLine) == 0x210);
static_assert(offsetof(AccelContext, drawStippleLine) == 0x214);
static_assert(offsetof(AccelContext, putMonoImage) == 0x224);
static_assert(offsetof(AccelContext, bitBlt) == 0x228);
static_assert(offsetof(AccelContext, bitBltLin) == 0x22C);
static_assert(offsetof(AccelContext, srcTransBlt) == 0x230);
static_assert(offsetof(AccelContext, srcTransBltLin) == 0x234);
static_assert(offsetof(AccelContext, dstTransBlt) == 0x238);
static_assert(offsetof(AccelContext, dstTransBltLin) == 0x23C);
static_assert(sizeof(AF_CursorImage) == 264);
static_assert(offsetof(AF_CursorImage, hotX) == 256);

// VBE/AF mix codes.
constexpr int32_t AF_REPLACE_MIX = 0;
constexpr int32_t AF_XOR_MIX = 3;
constexpr int32_t AF_NOP_MIX = 4;

// Colours are pixel values; coordinates are pixels with (0, 0) top left; "fixed"
// arguments are signed 16.16. No result is examined by the caller.
void AF_setMix(AccelContext* dc, int32_t foregroundMix, int32_t backgroundMix);
void AF_setClipRect(AccelContext* dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
void AF_set8x8MonoPattern(AccelContext* dc, const uint8_t* pattern);
void AF_setLineStipple(AccelContext* dc, uint16_t stipple);
void AF_drawRect(AccelContext* dc, uint32_t color, int32_t left, int32_t top, int32_t width, int32_t height);
void AF_drawPattRect(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t left, int32_t top,
                     int32_t width, int32_t height);
void AF_drawScan(AccelContext* dc, uint32_t color, int32_t y, int32_t x1, int32_t x2);
void AF_drawPattScan(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t y, int32_t x1, int32_t x2);
void AF_drawScanList(AccelContext* dc, uint32_t color, int32_t y, int32_t count, const int16_t* scans);
void AF_drawTrap(AccelContext* dc, uint32_t color, int32_t y, int32_t count, int32_t x1, int32_t x2, int32_t slope1,
                 int32_t slope2);
void AF_drawLine(AccelContext* dc, uint32_t color, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void AF_drawStippleLine(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t x1, int32_t y1, int32_t x2,
                        int32_t y2);
void AF_putMonoImage(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t x, int32_t y,
                     int32_t bytesPerRow, int32_t rows, const uint8_t* image);
void AF_bitBlt(AccelContext* dc, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX, int32_t dstY,
               int32_t mix);
void AF_bitBltLin(AccelContext* dc, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                  int32_t mix);
void AF_srcTransBlt(AccelContext* dc, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX,
                    int32_t dstY, int32_t mix, uint32_t transparent);
void AF_srcTransBltLin(AccelContext* dc, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                       int32_t mix, uint32_t transparent);
void AF_dstTransBlt(AccelContext* dc, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX,
                    int32_t dstY, int32_t mix, uint32_t transparent);
void AF_dstTransBltLin(AccelContext* dc, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                       int32_t mix, uint32_t transparent);
void AF_setCursor(AccelContext* dc, const AF_CursorImage* cursor);
void AF_setCursorColor(AccelContext* dc, uint8_t red, uint8_t green, uint8_t blue);
void AF_setCursorPos(AccelContext* dc, int32_t x, int32_t y);
void AF_showCursor(AccelContext* dc, int32_t visible);
