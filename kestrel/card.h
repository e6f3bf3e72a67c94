// What the generator learned about the card it writes a driver for.
#pragma once

#include <cstdint>
#include <string>

namespace kestrel {

struct CardAnalysis {
    std::string machine;         // the machine description it was found on
    uint16_t hardwareCode = 38;  // a chip this driver drives (HARDWARE_DISPI, _GD5446), else HARDWARE_NONE (38)
    uint16_t chipFamily = 0;     // CHIP_FAMILY_*: what was found, driven or not
    uint16_t dispiId = 0;        // 0 when no DISPI card answered
    uint8_t cirrusId = 0;        // CR27 of a Cirrus chip, 0 when none answered
    uint32_t videoMemoryKb = 0;  // as the chip reports it
    int pciDevice = -1;          // bus 0: device << 3 | function of the VGA function; -1 when none
    uint16_t pciVendor = 0;      // its ids
    uint16_t pciDeviceId = 0;
    uint32_t lfbAddress = 0;  // its BAR0 as found, 0 when none
    std::string found;        // one line: what the analysis found

    bool operator==(const CardAnalysis&) const = default;
};

}  // namespace kestrel
