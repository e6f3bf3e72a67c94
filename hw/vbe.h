// VBE 2.0: function numbers, status, named bits, and the records the BIOS fills as packed
// structs (controller information, mode information), with the Kestrel driver's own record.
// hw/vbe.inc has the same names for nasm (VBE_NAME, and a struc per record with the same fields).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vbe {

// Functions: int 10h with AX = the function.
constexpr uint16_t CONTROLLER_INFO = 0x4F00;
constexpr uint16_t MODE_INFO = 0x4F01;
constexpr uint16_t SET_MODE = 0x4F02;
constexpr uint16_t GET_MODE = 0x4F03;
constexpr uint16_t SAVE_RESTORE_STATE = 0x4F04;
constexpr uint16_t WINDOW_CONTROL = 0x4F05;
constexpr uint16_t SCAN_LINE_LENGTH = 0x4F06;
constexpr uint16_t DISPLAY_START = 0x4F07;
constexpr uint16_t DAC_PALETTE_FORMAT = 0x4F08;
constexpr uint16_t PALETTE_DATA = 0x4F09;
constexpr uint16_t PROTECTED_MODE_INTERFACE = 0x4F0A;
constexpr uint16_t DDC = 0x4F15;

// AX on return: AL = 4Fh (supported), AH = 0 (successful).
constexpr uint16_t STATUS_OK = 0x004F;
constexpr uint16_t STATUS_FAILED = 0x014F;
constexpr uint16_t STATUS_NOT_IN_HARDWARE = 0x024F;  // not supported in this hardware configuration
constexpr uint16_t STATUS_NOT_IN_MODE = 0x034F;      // invalid in the current video mode
constexpr uint8_t STATUS_SUPPORTED = 0x4F;

// Mode numbers as 4F02 takes them.
constexpr uint16_t MODE_NUMBER = 0x01FF;
constexpr uint16_t MODE_LINEAR = 0x4000;
constexpr uint16_t MODE_NO_CLEAR = 0x8000;
constexpr uint16_t MODE_LIST_END = 0xFFFF;

// 4F04 CX: the parts of the state to size, save or restore.
constexpr uint16_t STATE_CONTROLLER = 0x1;
constexpr uint16_t STATE_BIOS_DATA = 0x2;
constexpr uint16_t STATE_DAC = 0x4;
constexpr uint16_t STATE_SUPERVGA = 0x8;

// 4F07 BL.
constexpr uint8_t DISPLAY_START_SET = 0x00;
constexpr uint8_t DISPLAY_START_GET = 0x01;
constexpr uint8_t DISPLAY_START_SET_IN_RETRACE = 0x80;

// ControllerInfo::Capabilities.
constexpr uint32_t CAP_DAC_SWITCHABLE = 0x1;
constexpr uint32_t CAP_NOT_VGA = 0x2;
constexpr uint32_t CAP_RAMDAC_BLANK = 0x4;

// ModeInfo::ModeAttributes.
constexpr uint16_t MODE_ATTR_SUPPORTED = 0x0001;
constexpr uint16_t MODE_ATTR_EXTENDED_INFO = 0x0002;  // always set from VBE 1.2 on
constexpr uint16_t MODE_ATTR_TTY = 0x0004;
constexpr uint16_t MODE_ATTR_COLOR = 0x0008;
constexpr uint16_t MODE_ATTR_GRAPHICS = 0x0010;
constexpr uint16_t MODE_ATTR_NOT_VGA = 0x0020;
constexpr uint16_t MODE_ATTR_NO_WINDOW = 0x0040;
constexpr uint16_t MODE_ATTR_LINEAR = 0x0080;

// ModeInfo::WinAAttributes and WinBAttributes.
constexpr uint8_t WIN_ATTR_EXISTS = 0x01;
constexpr uint8_t WIN_ATTR_READABLE = 0x02;
constexpr uint8_t WIN_ATTR_WRITABLE = 0x04;

// ModeInfo::MemoryModel.
constexpr uint8_t MEMORY_TEXT = 0x00;
constexpr uint8_t MEMORY_CGA = 0x01;
constexpr uint8_t MEMORY_HERCULES = 0x02;
constexpr uint8_t MEMORY_PLANAR = 0x03;
constexpr uint8_t MEMORY_PACKED = 0x04;
constexpr uint8_t MEMORY_NON_CHAIN4 = 0x05;
constexpr uint8_t MEMORY_DIRECT = 0x06;
constexpr uint8_t MEMORY_YUV = 0x07;

#pragma pack(push, 1)

// 4F00: filled at ES:DI. Pointers are real-mode segment:offset, offset in the low word.
struct ControllerInfo {
    char VbeSignature[4];  // "VESA"; the caller writes "VBE2" to ask for VBE 2.0 fields
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

// 4F01: filled at ES:DI.
struct ModeInfo {
    uint16_t ModeAttributes;
    uint8_t WinAAttributes;
    uint8_t WinBAttributes;
    uint16_t WinGranularity;  // KB
    uint16_t WinSize;         // KB
    uint16_t WinASegment;
    uint16_t WinBSegment;
    uint32_t WinFuncPtr;  // segment:offset of the window function (4F05 as a far call)
    uint16_t BytesPerScanLine;
    uint16_t XResolution;
    uint16_t YResolution;
    uint8_t XCharSize;
    uint8_t YCharSize;
    uint8_t NumberOfPlanes;
    uint8_t BitsPerPixel;
    uint8_t NumberOfBanks;
    uint8_t MemoryModel;
    uint8_t BankSize;            // KB
    uint8_t NumberOfImagePages;  // beyond the one shown
    uint8_t Reserved1;
    uint8_t RedMaskSize;
    uint8_t RedFieldPosition;
    uint8_t GreenMaskSize;
    uint8_t GreenFieldPosition;
    uint8_t BlueMaskSize;
    uint8_t BlueFieldPosition;
    uint8_t RsvdMaskSize;
    uint8_t RsvdFieldPosition;
    uint8_t DirectColorModeInfo;
    uint32_t PhysBasePtr;  // the linear framebuffer's physical address
    uint32_t OffScreenMemOffset;
    uint16_t OffScreenMemSize;  // KB
    uint8_t Reserved2[206];
};

// 4F09: one palette entry at ES:DI, in this order.
struct PaletteEntry {
    uint8_t Blue;
    uint8_t Green;
    uint8_t Red;
    uint8_t Alignment;
};

// What a resident Kestrel driver hands out through int 10h AX=4F0Fh BX=1234h (DX:BX): bytes
// 341-632 of its image.
struct KestrelDriverRecord {
    char string1[80];
    char string2[50];  // the product name
    char string3[50];
    uint8_t driverData[83];
    char majorVersion;  // such as '5'
    char minorVersion;  // such as '2'
    uint8_t moreDriverData[27];
};

#pragma pack(pop)

static_assert(sizeof(ControllerInfo) == 512);
static_assert(offsetof(ControllerInfo, VbeVersion) == 4);
static_assert(offsetof(ControllerInfo, OemStringPtr) == 6);
static_assert(offsetof(ControllerInfo, Capabilities) == 10);
static_assert(offsetof(ControllerInfo, VideoModePtr) == 14);
static_assert(offsetof(ControllerInfo, TotalMemory) == 18);
static_assert(offsetof(ControllerInfo, OemSoftwareRev) == 20);
static_assert(offsetof(ControllerInfo, OemVendorNamePtr) == 22);
static_assert(offsetof(ControllerInfo, OemProductNamePtr) == 26);
static_assert(offsetof(ControllerInfo, OemProductRevPtr) == 30);
static_assert(offsetof(ControllerInfo, OemData) == 256);

static_assert(sizeof(ModeInfo) == 256);
static_assert(offsetof(ModeInfo, WinAAttributes) == 2);
static_assert(offsetof(ModeInfo, WinGranularity) == 4);
static_assert(offsetof(ModeInfo, WinSize) == 6);
static_assert(offsetof(ModeInfo, WinASegment) == 8);
static_assert(offsetof(ModeInfo, WinFuncPtr) == 12);
static_assert(offsetof(ModeInfo, BytesPerScanLine) == 16);
static_assert(offsetof(ModeInfo, XResolution) == 18);
static_assert(offsetof(ModeInfo, YResolution) == 20);
static_assert(offsetof(ModeInfo, XCharSize) == 22);
static_assert(offsetof(ModeInfo, NumberOfPlanes) == 24);
static_assert(offsetof(ModeInfo, BitsPerPixel) == 25);
static_assert(offsetof(ModeInfo, MemoryModel) == 27);
static_assert(offsetof(ModeInfo, NumberOfImagePages) == 29);
static_assert(offsetof(ModeInfo, RedMaskSize) == 31);
static_assert(offsetof(ModeInfo, RsvdFieldPosition) == 38);
static_assert(offsetof(ModeInfo, DirectColorModeInfo) == 39);
static_assert(offsetof(ModeInfo, PhysBasePtr) == 40);
static_assert(offsetof(ModeInfo, OffScreenMemOffset) == 44);
static_assert(offsetof(ModeInfo, OffScreenMemSize) == 48);

static_assert(sizeof(PaletteEntry) == 4 && offsetof(PaletteEntry, Red) == 2);

static_assert(sizeof(KestrelDriverRecord) == 292);
static_assert(offsetof(KestrelDriverRecord, string2) == 80);
static_assert(offsetof(KestrelDriverRecord, string3) == 130);
static_assert(offsetof(KestrelDriverRecord, driverData) == 180);
static_assert(offsetof(KestrelDriverRecord, majorVersion) == 263);
static_assert(offsetof(KestrelDriverRecord, minorVersion) == 264);

// Where the record lies in a driver image, and the int 10h call that hands it out.
constexpr uint16_t KESTREL_RECORD_OFFSET = 341;
constexpr uint16_t KESTREL_RECORD_QUERY = 0x4F0F;  // with BX = KESTREL_RECORD_KEY
constexpr uint16_t KESTREL_RECORD_KEY = 0x1234;

}  // namespace vbe
