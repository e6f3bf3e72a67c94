// Little-endian words in byte buffers: how the PC's records, the agent's frames and the code
// lists written into a PC's memory lay out their numbers.
#pragma once

#include <cstdint>
#include <vector>

namespace pc {

inline void putLe16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

inline void putLe32(std::vector<uint8_t>& out, uint32_t value)
{
    putLe16(out, value);
    putLe16(out, value >> 16);
}

inline uint16_t le16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

inline uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace pc
