// The drawing expander (expand.asm), embedded at build time: uploaded to the agent with a
// stream of drawing behind it and run there.
#pragma once

#include <cstdint>
#include <span>

namespace agent {

// Far-called with EDI the physical address the stream lands at and SI the stream's offset from
// the routine's first byte.
std::span<const uint8_t> expander();

}  // namespace agent
