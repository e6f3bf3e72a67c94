// The monitor's EDID (1.4): what the card's DDC channel answers, for a monitor whose
// preferred mode is 1024 x 768 at 60 Hz.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace machine {

constexpr size_t EDID_BYTES = 128;
std::array<uint8_t, EDID_BYTES> monitorEdid();

}  // namespace machine
