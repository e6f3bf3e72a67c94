// Fuzzes the judging and patching of a driver image with arbitrary file contents: nothing may
// be read or written past the image, and what the judge accepts must patch and copy cleanly.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "loader/driver_header.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void checkAccepted(const std::vector<uint8_t>& file)
{
    // An exact-size copy, so that a sanitizer sees any access past its end.
    std::vector<uint8_t> image(file);
    const uint32_t segment = 0x1A2B;
    patchDriverImage(image.data(), 0x11223344, 0x55667788, segment);
    for (size_t i = 0; i < image.size(); ++i) {
        const bool patched = (i >= 103 && i < 111) || i == 129 || i == 130 || i == 145 || i == 146;
        if (!patched)
            require(image[i] == file[i]);
    }
    require(readDriverLong(image.data(), DriverHeader::savedInt10) == 0x11223344);
    require(readDriverLong(image.data(), DriverHeader::savedInt2F) == 0x55667788);
    require(readDriverWord(image.data(), DriverHeader::scaledQuantity) ==
            readDriverWord(file.data(), DriverHeader::quantity) / 64);
    require(readDriverWord(image.data(), DriverHeader::loadSegment) == segment);

    char string1[driverString1Size], string2[driverString2Size], string3[driverString3Size];
    copyDriverStrings(image.data(), string1, string2, string3);
    require(std::strlen(string1) < sizeof string1 && std::strlen(string2) < sizeof string2 &&
            std::strlen(string3) < sizeof string3);
    require(std::memcmp(string1, &file[DriverHeader::string1], std::strlen(string1)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> file(data, data + size);
    // The last two bytes also serve as a resident driver's version.
    ResidentDriverInfo resident{};
    if (size >= 2) {
        resident.majorVersion = static_cast<char>(data[size - 2]);
        resident.minorVersion = static_cast<char>(data[size - 1]);
    }
    const int alone = judgeDriverImage(file.data(), file.size(), '5', '2', nullptr);
    const int withResident = judgeDriverImage(file.data(), file.size(), '5', '2', &resident);

    require(alone == 0 || alone == 1 || alone == 6 || alone == 7);
    require(withResident == alone || (alone == 0 && withResident == 3));
    if (size < DriverHeader::minimumLength)
        require(alone == 6);
    if (alone == 0) {
        require(std::memcmp(data, kestrelSignature, kestrelSignatureLength) == 0);
        require(readDriverWord(data, DriverHeader::hardwareCode) != DriverHeader::noHardware);
        checkAccepted(file);
    }
    return 0;
}
