// The agent's frames: encoding, finding them in a stream, the CRC and the page hash.
#include "agent_link/protocol.h"

#include <array>
#include <cstring>

#include "pc/little_endian.h"

namespace agent_link {
namespace {

using pc::le16;
using pc::le32;
using pc::putLe16;
using pc::putLe32;

const std::array<uint32_t, 256>& crcTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int bit = 0; bit < 8; ++bit)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

}  // namespace

void putRegs(std::vector<uint8_t>& out, const AgentRegs& regs)
{
    for (uint32_t value : {regs.eax, regs.ebx, regs.ecx, regs.edx, regs.esi, regs.edi, regs.ebp})
        putLe32(out, value);
    for (uint16_t value : {regs.ds, regs.es, regs.fs, regs.gs, regs.flags})
        putLe16(out, value);
}

AgentRegs getRegs(std::span<const uint8_t> bytes)
{
    AgentRegs r;
    const uint8_t* p = bytes.data();
    uint32_t* wide[] = {&r.eax, &r.ebx, &r.ecx, &r.edx, &r.esi, &r.edi, &r.ebp};
    for (uint32_t* field : wide) {
        *field = le32(p);
        p += 4;
    }
    uint16_t* narrow[] = {&r.ds, &r.es, &r.fs, &r.gs, &r.flags};
    for (uint16_t* field : narrow) {
        *field = le16(p);
        p += 2;
    }
    return r;
}

std::optional<PingRecord> parsePing(std::span<const uint8_t> payload)
{
    if (payload.size() != PING_BYTES)
        return std::nullopt;
    const uint8_t* p = payload.data();
    PingRecord r;
    r.magic = le32(p);
    r.version = le16(p + 4);
    r.kind = p[6];
    r.flags = p[7];
    r.agentFirst = le32(p + 8);
    r.agentEnd = le32(p + 12);
    r.conventionalKb = le16(p + 16);
    r.maxPayload = le16(p + 18);
    r.uploadBytes = le16(p + 20);
    r.port = le16(p + 22);
    r.divisor = le16(p + 24);
    r.pageShift = p[26];
    return r;
}

uint32_t crc32(std::span<const uint8_t> bytes, uint32_t crc)
{
    const auto& table = crcTable();
    crc = ~crc;
    for (uint8_t byte : bytes)
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t pageHash(const uint8_t* bytes, size_t count)
{
    uint32_t hash = 0;
    for (size_t at = 0; at + 4 <= count; at += 4)
        hash = (hash + le32(bytes + at)) * HASH_MULTIPLIER;
    return hash;
}

std::vector<uint8_t> encodeFrame(const Frame& frame)
{
    std::vector<uint8_t> out = {FRAME_SYNC0, FRAME_SYNC1, frame.version, frame.type, frame.sequence};
    putLe16(out, uint16_t(frame.payload.size()));
    out.insert(out.end(), frame.payload.begin(), frame.payload.end());
    putLe32(out, crc32(std::span<const uint8_t>(out).subspan(2)));
    return out;
}

void FrameReader::feed(std::span<const uint8_t> bytes)
{
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

namespace {

// The whole frame at `at` when one is there with a good CRC: its size, else 0. `incomplete`
// tells a frame still arriving from one that is damaged.
size_t wholeFrameAt(const std::vector<uint8_t>& buffer, size_t at, bool& incomplete)
{
    incomplete = false;
    if (buffer.size() < at + 2 + FRAME_HEADER_BYTES) {
        incomplete = true;
        return 0;
    }
    const size_t length = le16(buffer.data() + at + 5);
    if (length > MAX_PAYLOAD + 16)
        return 0;
    const size_t whole = FRAME_OVERHEAD + length;
    if (buffer.size() < at + whole) {
        incomplete = true;
        return 0;
    }
    const std::span<const uint8_t> checked(buffer.data() + at + 2, FRAME_HEADER_BYTES + length);
    return crc32(checked) == le32(buffer.data() + at + 2 + FRAME_HEADER_BYTES + length) ? whole : 0;
}

bool syncAt(const std::vector<uint8_t>& buffer, size_t at)
{
    return at + 1 < buffer.size() && buffer[at] == FRAME_SYNC0 && buffer[at + 1] == FRAME_SYNC1;
}

}  // namespace

std::optional<Frame> FrameReader::next()
{
    for (;;) {
        // Hunt for the sync bytes; what comes before them is noise.
        size_t start = 0;
        while (start + 1 < buffer_.size() && !syncAt(buffer_, start))
            ++start;
        buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(start));
        bool incomplete = false;
        size_t whole = wholeFrameAt(buffer_, 0, incomplete);
        if (whole == 0 && incomplete) {
            // A false start (a damaged length, noise that looks like a sync) would hold back
            // every frame behind it: a whole good frame further on wins.
            size_t later = 1;
            bool laterIncomplete = false;
            while (later < buffer_.size() &&
                   !(syncAt(buffer_, later) && (whole = wholeFrameAt(buffer_, later, laterIncomplete)) != 0))
                ++later;
            if (whole == 0)
                return std::nullopt;
            ++damaged_;
            buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(later));
        } else if (whole == 0) {
            ++damaged_;
            buffer_.erase(buffer_.begin());  // look again from the next byte
            continue;
        }
        Frame frame;
        frame.version = buffer_[2];
        frame.type = buffer_[3];
        frame.sequence = buffer_[4];
        frame.payload.assign(buffer_.begin() + 2 + FRAME_HEADER_BYTES, buffer_.begin() + std::ptrdiff_t(whole - 4));
        buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(whole));
        return frame;
    }
}

}  // namespace agent_link
