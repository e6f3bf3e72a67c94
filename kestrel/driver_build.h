// Writes a driver image for an analysed card: the assembled image with the generator's
// header fields and strings filled in.
#pragma once

#include <cstdint>
#include <vector>

#include "kestrel/card.h"

namespace kestrel {

std::vector<uint8_t> buildDriver(const CardAnalysis& card);

}  // namespace kestrel
