// Drawing costs time on a real card: the library charges the bytes of video memory it
// touches to the machine's clock at a nominal bus bandwidth of 100 MB/s (a PCI card of the
// mid-1990s writing over the bus), so frame rates measured on a virtual clock are those of
// such a card rather than infinite.
#pragma once

#include <cstdint>

namespace display {

constexpr uint64_t BUS_BYTES_PER_SECOND = 100'000'000;

// The time for `bytes` at the bus bandwidth, carrying fractions of a microsecond over.
void chargeBus(uint64_t bytes);

}  // namespace display
