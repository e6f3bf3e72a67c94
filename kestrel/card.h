// What the generator learned about the card it writes a driver for.
#pragma once

#include <cstdint>
#include <string>

namespace kestrel {

struct CardAnalysis {
    std::string machine;             // the machine description it was found on
    uint16_t hardwareCode = 38;      // HARDWARE_DISPI, or HARDWARE_NONE (38)
    uint16_t dispiId = 0;            // 0 when no DISPI card answered
    uint32_t videoMemoryKb = 0;
    int pciDevice = -1;              // bus 0: device << 3 | function; -1 when none answered
    uint32_t lfbAddress = 0;         // its BAR0 as found, 0 when none

    bool operator==(const CardAnalysis&) const = default;
};

}  // namespace kestrel
