// The agent's frames, as Palisade sees them; agent/protocol.inc is the agent's copy, value for value.
//
// A frame: A5h 5Ah, then the header (version, type, sequence number, payload length as a
// little-endian word), the payload, and the CRC-32 of header and payload (little-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace agent_link {

constexpr uint8_t PROTOCOL_VERSION = 1;
constexpr uint32_t AGENT_MAGIC = 0x414C4150;  // "PALA" as the agent stores it
constexpr uint16_t MAX_PAYLOAD = 4096;
constexpr uint32_t HASH_MULTIPLIER = 0x01000193;
constexpr unsigned PAGE_SHIFT = 10;  // the pages the agent watches in the first megabyte
constexpr uint32_t PAGE_BYTES = 1u << PAGE_SHIFT;
constexpr uint32_t WATCHED_BYTES = 0x110000;

constexpr uint8_t FRAME_SYNC0 = 0xA5, FRAME_SYNC1 = 0x5A;
constexpr size_t FRAME_HEADER_BYTES = 5;
constexpr size_t FRAME_OVERHEAD = 2 + FRAME_HEADER_BYTES + 4;

enum Command : uint8_t {
    CMD_PING = 1,
    CMD_READ = 2,
    CMD_WRITE = 3,
    CMD_IN = 4,
    CMD_OUT = 5,
    CMD_INT = 6,
    CMD_CALL = 7,
    CMD_UPLOAD = 8,
    CMD_RUN = 9,
    CMD_HASH = 10,
    CMD_SYNC = 11,
    CMD_QUIT = 12,
};
constexpr uint8_t REPLY_BIT = 0x80;
constexpr uint8_t TYPE_ERROR = 0x7F;

enum AgentErrorCode : uint8_t {
    ERR_UNKNOWN = 1,
    ERR_LENGTH = 2,
    ERR_NO_ROOM = 3,
    ERR_PROTECTED = 4,
    ERR_VERSION = 5,
};

// The register file of INT, CALL and RUN, in and out (38 bytes on the line).
struct AgentRegs {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0, esi = 0, edi = 0, ebp = 0;
    uint16_t ds = 0, es = 0, fs = 0, gs = 0;
    uint16_t flags = 0;
};
constexpr size_t REGS_BYTES = 38;
constexpr size_t OUTCOME_BYTES = 6;  // after the registers: stopped db, 0 db, ip dw, cs dw
constexpr uint32_t TICK_MICROS = 54925;  // the PC's timer tick, which counts a call's budget
void putRegs(std::vector<uint8_t>& out, const AgentRegs& regs);
AgentRegs getRegs(std::span<const uint8_t> bytes);  // at least REGS_BYTES

// What the agent says about itself.
struct PingRecord {
    uint32_t magic = 0;
    uint16_t version = 0;
    uint8_t kind = 0;  // 0 booted from its image, 1 a DOS program
    uint8_t flags = 0;  // bit 0: A20 open; bit 1: the CPU is in virtual 8086 mode
    uint32_t agentFirst = 0, agentEnd = 0;  // the agent's own memory, linear
    uint16_t conventionalKb = 0;
    uint16_t maxPayload = 0;
    uint16_t uploadBytes = 0;
    uint16_t port = 0, divisor = 0;
    uint8_t pageShift = 0;
};
constexpr size_t PING_BYTES = 28;
std::optional<PingRecord> parsePing(std::span<const uint8_t> payload);

// CRC-32 as zlib computes it.
uint32_t crc32(std::span<const uint8_t> bytes, uint32_t crc = 0);
// The agent's hash of whole dwords (a tail of fewer than four bytes is not hashed).
uint32_t pageHash(const uint8_t* bytes, size_t count);

struct Frame {
    uint8_t version = PROTOCOL_VERSION;
    uint8_t type = 0;
    uint8_t sequence = 0;
    std::vector<uint8_t> payload;
};
std::vector<uint8_t> encodeFrame(const Frame& frame);

// Finds frames in a byte stream: bytes that are not a whole frame with a good CRC are dropped.
class FrameReader {
public:
    // Takes more bytes; true when a frame is ready (take it with next()).
    void feed(std::span<const uint8_t> bytes);
    std::optional<Frame> next();
    size_t damagedFrames() const { return damaged_; }

private:
    std::vector<uint8_t> buffer_;
    size_t damaged_ = 0;
};

}  // namespace agent_link
