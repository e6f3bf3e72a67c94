#include "loader/driver_header.h"

#include <cstring>

uint16_t readDriverWord(const uint8_t* image, size_t offset)
{
    return static_cast<uint16_t>(image[offset] | (image[offset + 1] << 8));
}

uint32_t readDriverLong(const uint8_t* image, size_t offset)
{
    return static_cast<uint32_t>(readDriverWord(image, offset)) |
           (static_cast<uint32_t>(readDriverWord(image, offset + 2)) << 16);
}

static void writeDriverWord(uint8_t* image, size_t offset, uint16_t value)
{
    image[offset] = static_cast<uint8_t>(value);
    image[offset + 1] = static_cast<uint8_t>(value >> 8);
}

static void writeDriverLong(uint8_t* image, size_t offset, uint32_t value)
{
    writeDriverWord(image, offset, static_cast<uint16_t>(value));
    writeDriverWord(image, offset + 2, static_cast<uint16_t>(value >> 16));
}

// Version characters compare as signed 8-bit values, major first.
static int compareVersions(int8_t major, int8_t minor, int8_t otherMajor, int8_t otherMinor)
{
    if (major != otherMajor)
        return major < otherMajor ? -1 : 1;
    if (minor != otherMinor)
        return minor < otherMinor ? -1 : 1;
    return 0;
}

int judgeDriverImage(const uint8_t* image, size_t length, char libraryMajor, char libraryMinor,
                     const ResidentDriverInfo* resident)
{
    if (length < DriverHeader::minimumLength ||
        std::memcmp(image + DriverHeader::signature, kestrelSignature, kestrelSignatureLength) != 0)
        return 6;

    const auto fileMajor = static_cast<int8_t>(image[DriverHeader::majorVersion]);
    const auto fileMinor = static_cast<int8_t>(image[DriverHeader::minorVersion]);
    if (compareVersions(static_cast<int8_t>(libraryMajor), static_cast<int8_t>(libraryMinor), fileMajor, fileMinor) > 0)
        return 7;

    if (readDriverWord(image, DriverHeader::hardwareCode) == DriverHeader::noHardware)
        return 1;

    // A resident driver of the same version counts as later: loading over it gains nothing.
    if (resident && compareVersions(static_cast<int8_t>(resident->majorVersion),
                                    static_cast<int8_t>(resident->minorVersion), fileMajor, fileMinor) >= 0)
        return 3;
    return 0;
}

void patchDriverImage(uint8_t* image, uint32_t savedInt10, uint32_t savedInt2F, uint32_t loadSegment)
{
    writeDriverLong(image, DriverHeader::savedInt10, savedInt10);
    writeDriverLong(image, DriverHeader::savedInt2F, savedInt2F);
    writeDriverWord(image, DriverHeader::scaledQuantity,
                    static_cast<uint16_t>(readDriverWord(image, DriverHeader::quantity) >> 6));
    writeDriverWord(image, DriverHeader::loadSegment, static_cast<uint16_t>(loadSegment));
}

// Copies up to the zero byte, never more than size - 1 characters, and terminates.
template <size_t size>
static void copyDriverString(char (&target)[size], const uint8_t* source)
{
    const void* end = std::memchr(source, 0, size - 1);
    const size_t length = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - source) : size - 1;
    std::memcpy(target, source, length);
    target[length] = '\0';
}

void copyDriverStrings(const uint8_t* image, char (&string1)[driverString1Size], char (&string2)[driverString2Size],
                       char (&string3)[driverString3Size])
{
    copyDriverString(string1, image + DriverHeader::string1);
    copyDriverString(string2, image + DriverHeader::string2);
    copyDriverString(string3, image + DriverHeader::string3);
}
