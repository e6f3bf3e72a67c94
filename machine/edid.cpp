#include "machine/edid.h"

#include <cstring>

namespace machine {
namespace {

// Offsets in the base block.
constexpr size_t HEADER = 0;
constexpr size_t MANUFACTURER = 8;  // three letters, 5 bits each, big-endian
constexpr size_t PRODUCT = 10;
constexpr size_t WEEK = 16, YEAR = 17;  // year - 1990
constexpr size_t VERSION = 18, REVISION = 19;
constexpr size_t INPUT = 20;
constexpr size_t SIZE_CM = 21;
constexpr size_t GAMMA = 23;
constexpr size_t FEATURES = 24;
constexpr size_t CHROMATICITY = 25;
constexpr size_t ESTABLISHED = 35;
constexpr size_t STANDARD = 38;     // eight two-byte entries, 01 01 when unused
constexpr size_t DESCRIPTORS = 54;  // four 18-byte descriptors
constexpr size_t DESCRIPTOR_BYTES = 18;
constexpr size_t CHECKSUM = 127;

constexpr uint8_t INPUT_DIGITAL = 0x80;
constexpr uint8_t FEATURES_SRGB = 0x04, FEATURES_PREFERRED_TIMING = 0x02;
constexpr uint8_t ESTABLISHED_640X480_60 = 0x20, ESTABLISHED_800X600_60 = 0x01, ESTABLISHED_1024X768_60 = 0x08;
constexpr uint8_t DESCRIPTOR_RANGE_LIMITS = 0xFD, DESCRIPTOR_NAME = 0xFC, DESCRIPTOR_DUMMY = 0x10;

// A detailed timing: the mode and its timing as the VESA 1024 x 768 at 60 Hz has it.
struct Timing {
    uint32_t pixelClockKhz;
    uint16_t width, hBlank, hSyncOffset, hSyncWidth;
    uint16_t height, vBlank, vSyncOffset, vSyncWidth;
    uint16_t widthMm, heightMm;
};
constexpr Timing PREFERRED = {65000, 1024, 320, 24, 136, 768, 38, 3, 6, 400, 300};

void detailedTiming(uint8_t* d, const Timing& t)
{
    const uint16_t clock = static_cast<uint16_t>(t.pixelClockKhz / 10);
    d[0] = static_cast<uint8_t>(clock);
    d[1] = static_cast<uint8_t>(clock >> 8);
    d[2] = static_cast<uint8_t>(t.width);
    d[3] = static_cast<uint8_t>(t.hBlank);
    d[4] = static_cast<uint8_t>((t.width >> 8) << 4 | (t.hBlank >> 8));
    d[5] = static_cast<uint8_t>(t.height);
    d[6] = static_cast<uint8_t>(t.vBlank);
    d[7] = static_cast<uint8_t>((t.height >> 8) << 4 | (t.vBlank >> 8));
    d[8] = static_cast<uint8_t>(t.hSyncOffset);
    d[9] = static_cast<uint8_t>(t.hSyncWidth);
    d[10] = static_cast<uint8_t>((t.vSyncOffset & 0x0F) << 4 | (t.vSyncWidth & 0x0F));
    d[11] = static_cast<uint8_t>((t.hSyncOffset >> 8) << 6 | (t.hSyncWidth >> 8) << 4 | (t.vSyncOffset >> 4) << 2 |
                                 (t.vSyncWidth >> 4));
    d[12] = static_cast<uint8_t>(t.widthMm);
    d[13] = static_cast<uint8_t>(t.heightMm);
    d[14] = static_cast<uint8_t>((t.widthMm >> 8) << 4 | (t.heightMm >> 8));
    d[17] = 0x18;  // digital separate sync, both negative
}

uint8_t* descriptor(std::array<uint8_t, EDID_BYTES>& edid, int n, uint8_t tag)
{
    uint8_t* d = &edid[DESCRIPTORS + n * DESCRIPTOR_BYTES];
    d[3] = tag;
    return d;
}

}  // namespace

std::array<uint8_t, EDID_BYTES> monitorEdid()
{
    std::array<uint8_t, EDID_BYTES> edid{};
    constexpr uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::memcpy(&edid[HEADER], header, sizeof header);
    const uint16_t maker = ('P' - '@') << 10 | ('L' - '@') << 5 | ('S' - '@');  // "PLS"
    edid[MANUFACTURER] = static_cast<uint8_t>(maker >> 8);
    edid[MANUFACTURER + 1] = static_cast<uint8_t>(maker);
    edid[PRODUCT] = 0x01;
    edid[WEEK] = 1;
    edid[YEAR] = 2026 - 1990;
    edid[VERSION] = 1;
    edid[REVISION] = 4;
    edid[INPUT] = INPUT_DIGITAL;
    edid[SIZE_CM] = PREFERRED.widthMm / 10;
    edid[SIZE_CM + 1] = PREFERRED.heightMm / 10;
    edid[GAMMA] = 220 - 100;  // 2.2
    edid[FEATURES] = FEATURES_SRGB | FEATURES_PREFERRED_TIMING;
    // The sRGB primaries and white point, 10 bits each.
    constexpr uint8_t srgb[10] = {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54};
    std::memcpy(&edid[CHROMATICITY], srgb, sizeof srgb);
    edid[ESTABLISHED] = ESTABLISHED_640X480_60 | ESTABLISHED_800X600_60;
    edid[ESTABLISHED + 1] = ESTABLISHED_1024X768_60;
    for (size_t i = STANDARD; i < DESCRIPTORS; ++i)
        edid[i] = 0x01;

    detailedTiming(&edid[DESCRIPTORS], PREFERRED);
    uint8_t* limits = descriptor(edid, 1, DESCRIPTOR_RANGE_LIMITS);
    constexpr uint8_t range[] = {50, 75, 30, 80, 10, 0x00, 0x0A, ' ', ' ', ' ', ' ', ' ', ' '};  // Hz, kHz, MHz/10
    std::memcpy(limits + 5, range, sizeof range);
    uint8_t* name = descriptor(edid, 2, DESCRIPTOR_NAME);
    std::memcpy(name + 5, "Palisade\n    ", 13);
    descriptor(edid, 3, DESCRIPTOR_DUMMY);

    uint8_t sum = 0;
    for (size_t i = 0; i < CHECKSUM; ++i)
        sum = static_cast<uint8_t>(sum + edid[i]);
    edid[CHECKSUM] = static_cast<uint8_t>(0x100 - sum);
    return edid;
}

}  // namespace machine
