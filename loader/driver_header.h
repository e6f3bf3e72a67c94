// The fixed fields at the start of a Kestrel driver image ("kestrel.drv"): reading them,
// judging an image against the library and a resident driver, and filling the fields the
// installer owns. Works on an in-memory copy only; the file itself is never changed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace DriverHeader {
// Byte offsets in the image (little-endian fields).
constexpr size_t signature = 0;         // 18 characters, no terminator
constexpr size_t checkEntry = 95;       // 16-bit offset of the check entry
constexpr size_t int10Handler = 99;     // 16-bit offset of the interrupt 10h handler
constexpr size_t int2FHandler = 101;    // 16-bit offset of the interrupt 2Fh handler
constexpr size_t savedInt10 = 103;      // 32-bit vector, filled by the installer
constexpr size_t savedInt2F = 107;      // 32-bit vector, filled by the installer
constexpr size_t scaledQuantity = 129;  // 16-bit, filled by the installer: word at 153 / 64
constexpr size_t loadSegment = 145;     // 16-bit, filled by the installer
constexpr size_t needsVbeBios = 147;    // 16-bit, nonzero: a VBE BIOS must already be there
constexpr size_t hardwareCode = 149;    // 16-bit
constexpr size_t quantity = 153;        // 16-bit
constexpr size_t infoBlock = 341;       // 292 bytes, the same layout as ResidentDriverInfo
constexpr size_t string1 = 341;         // 80 bytes
constexpr size_t string2 = 421;         // 50 bytes
constexpr size_t string3 = 471;         // 50 bytes
constexpr size_t majorVersion = 604;    // character, such as '5'
constexpr size_t minorVersion = 605;    // character, such as '2'

// An image shorter than this cannot hold the fields above.
constexpr size_t minimumLength = 606;
constexpr uint16_t noHardware = 38;
}  // namespace DriverHeader

// The signature of a driver file, also the prefix of a resident driver's OEM string.
inline constexpr char kestrelSignature[] = "Kestrel Video Core";
constexpr size_t kestrelSignatureLength = 18;
static_assert(sizeof(kestrelSignature) == kestrelSignatureLength + 1);

constexpr size_t driverString1Size = 80;
constexpr size_t driverString2Size = 50;
constexpr size_t driverString3Size = 50;

#pragma pack(push, 1)
// What a resident Kestrel driver hands out through its query: the image's bytes 341 to 632.
struct ResidentDriverInfo {
    char string1[driverString1Size];
    char string2[driverString2Size];
    char string3[driverString3Size];
    uint8_t driverData[83];
    char majorVersion;
    char minorVersion;
    uint8_t moreDriverData[27];
};
#pragma pack(pop)
static_assert(sizeof(ResidentDriverInfo) == 292);
static_assert(offsetof(ResidentDriverInfo, majorVersion) == 263);
static_assert(offsetof(ResidentDriverInfo, minorVersion) == 264);
static_assert(DriverHeader::infoBlock + offsetof(ResidentDriverInfo, majorVersion) == DriverHeader::majorVersion);

// Little-endian fields of an image, or of any real-mode block copied into program memory.
uint16_t readDriverWord(const uint8_t* image, size_t offset);
uint32_t readDriverLong(const uint8_t* image, size_t offset);

// Judges an image of `length` bytes, the first failure deciding: signature (and a length that
// cannot hold the header) 6, older than the library 7, no supported hardware 1, a resident
// driver of the same or a later version 3. 0 when the image may be loaded. `resident` is null
// when no resident driver answered. Reads nothing past `length`.
int judgeDriverImage(const uint8_t* image, size_t length, char libraryMajor, char libraryMinor,
                     const ResidentDriverInfo* resident);

// Fills the installer's fields of a judged image (at least minimumLength bytes): the saved
// vectors, the word at 153 divided by 64, and the load segment.
void patchDriverImage(uint8_t* image, uint32_t savedInt10, uint32_t savedInt2F, uint32_t loadSegment);

// Copies the three strings of a judged image, each cut to fit and always terminated.
void copyDriverStrings(const uint8_t* image, char (&string1)[driverString1Size], char (&string2)[driverString2Size],
                       char (&string3)[driverString3Size]);
