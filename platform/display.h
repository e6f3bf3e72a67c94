// The display library: VBE detection, modes, drawing, palettes and display pages.
// Records keep the byte layouts the program was written against; the layouts are
// pinned below so that a change to any listed offset breaks the build.
#pragma once

#include <cstddef>
#include <cstdint>

struct AccelContext;

#pragma pack(push, 1)

// One per run, owned by the library; byte-packed. Bytes not named are the library's.
struct DisplayContext {
    int32_t vbeVersion;     // BCD: 0x0102 = 1.2, 0x0200 = 2.0
    int32_t maxX;           // mode width - 1
    int32_t maxY;           // mode height - 1
    uint32_t maxColor;      // largest pixel value
    uint32_t defaultColor;  // white
    int32_t maxPage;        // display pages - 1
    int32_t bytesPerLine;
    int32_t bitsPerPixel;  // 4, 8, 15, 16, 24 or 32
    uint8_t libraryData32[4];
    int32_t videoMemoryKb;
    uint32_t lfbAddress;  // physical address of the hardware framebuffer, 0 if none
    uint16_t* modeList;   // VBE mode numbers ended by 0xFFFF (8 bytes in this build)
    uint8_t libraryData52[4];
    int32_t virtualLfbAvailable;
    uint8_t libraryData60[8];
    int32_t wideDacAvailable;
    uint8_t libraryData72[8];
    int32_t virtualLfbActive;
    uint8_t libraryData84[37];
    AccelContext* accel;  // null when the mode has no accelerator
};

// Filled by GX_getModeInfo into the caller's 24 bytes.
struct ModeInfo {
    uint16_t modeNumber;        // library: the VBE mode described
    uint16_t attributes;        // MODE_ATTR_* below
    uint16_t xResolution;       // library
    uint16_t yResolution;       // library
    uint16_t bytesPerScanLine;  // library
    uint16_t bitsPerPixel;
    uint16_t modeSetValue;   // handed on unchanged to GX_setMode
    uint16_t numberOfPages;  // library
    uint8_t memoryModel;     // library: VBE memory model
    uint8_t libraryData17[7];
};

struct PaletteEntry {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t alignment;
};

// The VBE 2.0 controller information block (function 4F00h), as VBE_detect returns it.
// The four string fields hold addresses the program reads directly (see vbeInfoString).
struct VbeInfoBlock {
    char VbeSignature[4];
    uint16_t VbeVersion;
    uint32_t OemStringPtr;
    uint32_t Capabilities;
    uint32_t VideoModePtr;
    uint16_t TotalMemory;  // 64 KB blocks
    uint16_t OemSoftwareRev;
    uint32_t OemVendorNamePtr;
    uint32_t OemProductNamePtr;
    uint32_t OemProductRevPtr;
    uint8_t Reserved[222];
    uint8_t OemData[256];
};

#pragma pack(pop)

static_assert(offsetof(DisplayContext, vbeVersion) == 0);
static_assert(offsetof(DisplayContext, maxX) == 4);
static_assert(offsetof(DisplayContext, maxY) == 8);
static_assert(offsetof(DisplayContext, maxColor) == 12);
static_assert(offsetof(DisplayContext, defaultColor) == 16);
static_assert(offsetof(DisplayContext, maxPage) == 20);
static_assert(offsetof(DisplayContext, bytesPerLine) == 24);
static_assert(offsetof(DisplayContext, bitsPerPixel) == 28);
static_assert(offsetof(DisplayContext, videoMemoryKb) == 36);
static_assert(offsetof(DisplayContext, lfbAddress) == 40);
static_assert(offsetof(DisplayContext, modeList) == 44);
static_assert(offsetof(DisplayContext, virtualLfbAvailable) == 56);
static_assert(offsetof(DisplayContext, wideDacAvailable) == 68);
static_assert(offsetof(DisplayContext, virtualLfbActive) == 80);
static_assert(offsetof(DisplayContext, accel) == 121);
static_assert(sizeof(DisplayContext) == 129);

static_assert(sizeof(ModeInfo) == 24);
static_assert(offsetof(ModeInfo, attributes) == 2);
static_assert(offsetof(ModeInfo, bitsPerPixel) == 10);
static_assert(offsetof(ModeInfo, modeSetValue) == 12);

static_assert(sizeof(PaletteEntry) == 4);
static_assert(offsetof(PaletteEntry, blue) == 0);
static_assert(offsetof(PaletteEntry, green) == 1);
static_assert(offsetof(PaletteEntry, red) == 2);

static_assert(sizeof(VbeInfoBlock) == 512);
static_assert(offsetof(VbeInfoBlock, VbeVersion) == 4);
static_assert(offsetof(VbeInfoBlock, OemStringPtr) == 6);
static_assert(offsetof(VbeInfoBlock, Capabilities) == 10);
static_assert(offsetof(VbeInfoBlock, VideoModePtr) == 14);
static_assert(offsetof(VbeInfoBlock, TotalMemory) == 18);
static_assert(offsetof(VbeInfoBlock, OemSoftwareRev) == 20);
static_assert(offsetof(VbeInfoBlock, OemVendorNamePtr) == 22);
static_assert(offsetof(VbeInfoBlock, OemProductNamePtr) == 26);
static_assert(offsetof(VbeInfoBlock, OemProductRevPtr) == 30);
static_assert(offsetof(VbeInfoBlock, OemData) == 256);

// ModeInfo::attributes
constexpr uint16_t MODE_ATTR_ACCELERATED = 0x10;

// Mode number bits.
constexpr uint32_t MODE_LINEAR_FRAMEBUFFER = 0x4000;
constexpr uint32_t MODE_SET_BY_TEST_RUN = 0x2000;

// The library keeps every string of a VbeInfoBlock at an address below 4 GB.
inline const char* vbeInfoString(uint32_t field)
{
    return reinterpret_cast<const char*>(static_cast<uintptr_t>(field));
}

// Integers are 32-bit; "ok" results are nonzero on success and 0 on failure.
DisplayContext* GX_init(int32_t option);
int32_t VBE_detect(VbeInfoBlock* block);
int32_t GX_getModeInfo(int32_t mode, ModeInfo* info);
int32_t GX_getModeName(char* name100, ModeInfo* info, int32_t mode, int32_t useLinear);
int32_t GX_setMode(int32_t mode, int32_t reserved, int32_t useLinear, int32_t modeSetValue);
void GX_restoreMode(void);
int32_t VBE_getVideoMode(void);

void GX_clear(uint32_t color);
void GX_beginLine(void);
void GX_lineFast(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);
void GX_endLine(void);
void GX_writeText(int32_t x, int32_t y, const char* text, uint32_t color);
uint32_t GX_rgbColor(int32_t red, int32_t green, int32_t blue);

PaletteEntry* GX_getDefPalette(void);
void GX_setPalette(int32_t first, int32_t count, const PaletteEntry* palette, int32_t pace);
void VBE_setPalette(int32_t first, int32_t count, const PaletteEntry* palette, int32_t waitRetrace);
int32_t VBE_setDACWidth(int32_t bits);

void GX_setActivePage(int32_t page);
void GX_setVisualPage(int32_t page, int32_t waitRetrace);
int32_t VBE_setDisplayStart(int32_t x, int32_t y, int32_t waitRetrace);
int32_t VBE_setBytesPerLine(int32_t bytes, int32_t* newBytes, int32_t* newPixels, int32_t* scanLines);
int32_t VBE_setPixelsPerLine(int32_t pixels, int32_t* newBytes, int32_t* newPixels, int32_t* scanLines);
