// Drawing encoded for the agent's expander, and the expander's work on the host.
#include "agent_pc/drawing_stream.h"

#include <algorithm>
#include <cstring>

#include "pc/little_endian.h"

namespace agent_pc {
namespace {

using pc::le32;
using pc::putLe16;
using pc::putLe32;

// Shorter stretches cost fewer bytes as literals than as a record of their own.
constexpr uint32_t MIN_FILL = 8;
constexpr uint32_t MIN_COPY = 12;
constexpr size_t FILL_BYTES = 6, COPY_BYTES = 9, SKIP_BYTES = 5, LITERAL_HEAD = 3;
constexpr uint32_t MAX_LITERAL = 0xFFFF;

class PieceWriter {
public:
    PieceWriter(size_t pieceBytes, std::vector<StreamPiece>& pieces) : limit_(pieceBytes - 1), pieces_(pieces) {}

    // A record of `size` bytes that writes or passes `advance` bytes from `at`.
    std::vector<uint8_t>& record(uint32_t at, size_t size, uint32_t advance)
    {
        roomFor(at, size);
        piece().expanded += advance;
        end_ = at + advance;
        return piece().bytes;
    }

    // Room for `size` more bytes in the piece going on at `at` (a new piece starts there).
    void roomFor(uint32_t at, size_t size)
    {
        if (open_ && end_ == at && piece().bytes.size() + size <= limit_)
            return;
        if (open_ && end_ != at && piece().bytes.size() + SKIP_BYTES + size <= limit_) {
            std::vector<uint8_t>& bytes = piece().bytes;
            bytes.push_back(EXPAND_SKIP);
            putLe32(bytes, at - end_);
            end_ = at;
            return;
        }
        close();
        pieces_.push_back(StreamPiece{at, {}, 0});
        open_ = true;
        end_ = at;
    }

    size_t room() const { return open_ ? limit_ - piece().bytes.size() : limit_; }
    uint32_t end() const { return end_; }
    bool open() const { return open_; }

    void close()
    {
        if (open_)
            piece().bytes.push_back(EXPAND_END);
        open_ = false;
    }

private:
    StreamPiece& piece() { return pieces_.back(); }
    const StreamPiece& piece() const { return pieces_.back(); }

    size_t limit_;  // the end record always fits after
    std::vector<StreamPiece>& pieces_;
    bool open_ = false;
    uint32_t end_ = 0;
};

}  // namespace

std::vector<uint32_t> copyDistancesFor(uint32_t lineBytes)
{
    std::vector<uint32_t> distances;
    if (lineBytes != 0)
        distances = {lineBytes, 8 * lineBytes};
    for (uint32_t patternRow : {8u, 16u, 32u})
        distances.push_back(patternRow);
    return distances;
}

std::vector<StreamPiece> encodeDrawing(const uint8_t* shadow, std::span<const pc::ByteRun> runs,
                                       std::span<const uint32_t> copyDistances, size_t pieceBytes)
{
    std::vector<StreamPiece> pieces;
    PieceWriter out(pieceBytes, pieces);
    for (const pc::ByteRun& run : runs) {
        uint32_t literalFrom = run.at;
        auto flushLiteral = [&](uint32_t upTo) {
            while (literalFrom < upTo) {
                // What the piece going on holds after the skip to here, if one is needed.
                size_t room = 0;
                if (out.open())
                    room = out.end() == literalFrom ? out.room() : out.room() > SKIP_BYTES ? out.room() - SKIP_BYTES : 0;
                if (room < LITERAL_HEAD + 1) {
                    out.roomFor(literalFrom, out.room() + SKIP_BYTES + 1);  // too little: a new piece
                    room = out.room();
                }
                const uint32_t count =
                    std::min<uint32_t>({upTo - literalFrom, MAX_LITERAL, uint32_t(room - LITERAL_HEAD)});
                std::vector<uint8_t>& bytes = out.record(literalFrom, LITERAL_HEAD + count, count);
                bytes.push_back(EXPAND_LITERAL);
                putLe16(bytes, count);
                bytes.insert(bytes.end(), shadow + literalFrom, shadow + literalFrom + count);
                literalFrom += count;
            }
        };
        for (uint32_t p = run.at; p < run.end;) {
            uint32_t fill = 1;
            while (p + fill < run.end && shadow[p + fill] == shadow[p])
                ++fill;
            uint32_t copy = 0, copyBack = 0;
            for (const uint32_t back : copyDistances) {
                if (back == 0 || p < back)
                    continue;
                uint32_t length = 0;
                while (p + length < run.end && shadow[p + length] == shadow[p + length - back])
                    ++length;
                if (length > copy)
                    copy = length, copyBack = back;
            }
            if (fill >= MIN_FILL && fill >= copy) {
                flushLiteral(p);
                std::vector<uint8_t>& bytes = out.record(p, FILL_BYTES, fill);
                bytes.push_back(EXPAND_FILL);
                putLe32(bytes, fill);
                bytes.push_back(shadow[p]);
                p += fill;
                literalFrom = p;
            } else if (copy >= MIN_COPY) {
                flushLiteral(p);
                std::vector<uint8_t>& bytes = out.record(p, COPY_BYTES, copy);
                bytes.push_back(EXPAND_COPY);
                putLe32(bytes, copy);
                putLe32(bytes, copyBack);
                p += copy;
                literalFrom = p;
            } else {
                ++p;
            }
        }
        flushLiteral(run.end);
    }
    out.close();
    return pieces;
}

bool expandPiece(const StreamPiece& piece, uint8_t* memory, uint32_t bytes)
{
    const std::vector<uint8_t>& s = piece.bytes;
    uint64_t at = piece.at;
    size_t i = 0;
    auto fits = [&](uint64_t count) { return at + count <= bytes; };
    while (i < s.size()) {
        const uint8_t type = s[i++];
        if (type == EXPAND_END)
            return true;
        if (type == EXPAND_LITERAL && i + 2 <= s.size()) {
            const uint32_t n = uint32_t(s[i] | s[i + 1] << 8);
            i += 2;
            if (i + n > s.size() || !fits(n))
                return false;
            std::memcpy(memory + at, s.data() + i, n);
            i += n;
            at += n;
        } else if (type == EXPAND_FILL && i + 5 <= s.size()) {
            const uint32_t n = le32(&s[i]);
            if (!fits(n))
                return false;
            std::memset(memory + at, s[i + 4], n);
            i += 5;
            at += n;
        } else if (type == EXPAND_COPY && i + 8 <= s.size()) {
            const uint32_t n = le32(&s[i]), back = le32(&s[i + 4]);
            if (back == 0 || back > at || !fits(n))
                return false;
            for (uint32_t k = 0; k < n; ++k, ++at)  // in order: a short distance repeats
                memory[at] = memory[at - back];
            i += 8;
        } else if (type == EXPAND_SKIP && i + 4 <= s.size()) {
            at += le32(&s[i]);
            i += 4;
        } else {
            return false;
        }
    }
    return false;
}

}  // namespace agent_pc
