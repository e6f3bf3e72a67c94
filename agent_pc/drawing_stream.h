// Drawing as the agent's expander (agent/expand.asm) takes it: the changed runs of the host's
// copy of video memory as fills, copies of what lies a line back, literal bytes and skips over
// what stays, cut into pieces that each fit the agent's upload area behind the expander.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pc/changed_runs.h"

namespace agent_pc {

// The records (expand.asm holds the agent's copy).
constexpr uint8_t EXPAND_LITERAL = 0x00;  // n:dw, n bytes
constexpr uint8_t EXPAND_FILL = 0x01;     // n:dd, the byte
constexpr uint8_t EXPAND_COPY = 0x02;     // n:dd, d:dd: n bytes from d back
constexpr uint8_t EXPAND_SKIP = 0x03;     // n:dd
constexpr uint8_t EXPAND_END = 0xFF;

struct StreamPiece {
    uint32_t at = 0;             // the offset in video memory its first record lands at
    std::vector<uint8_t> bytes;  // records, EXPAND_END last
    uint64_t expanded = 0;       // the bytes it writes
};

// The runs of `shadow`, in order, as pieces of at most `pieceBytes` each. Between the runs
// shadow equals what video memory holds, so a copy from one of `copyDistances` bytes back (a
// line, eight lines, a pattern's row; none while the host's copy may not be the card's) reads
// what the pieces before it have written or left, as the expander meets it.
std::vector<StreamPiece> encodeDrawing(const uint8_t* shadow, std::span<const pc::ByteRun> runs,
                                       std::span<const uint32_t> copyDistances, size_t pieceBytes);

// The distances worth trying in a mode of `lineBytes` a line (0: unknown): the line above, the
// line eight above and eight-pixel pattern rows repeated across, at 1, 2 and 4 bytes a pixel.
std::vector<uint32_t> copyDistancesFor(uint32_t lineBytes);

// What the expander does with one piece, on the host's copy of video memory `memory` of `bytes`.
// False, with memory as far as it got, on a record that reaches outside it or a stream without
// its end.
bool expandPiece(const StreamPiece& piece, uint8_t* memory, uint32_t bytes);

}  // namespace agent_pc
