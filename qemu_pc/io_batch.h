// Port writes and writes through the VGA window, queued for QEMU's stopped CPU and turned into
// one piece of straight real-mode code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qemu_pc {

// The writes in the order the host made them. A run of byte writes to one port (a palette
// load at 3C9h) becomes a single `rep outsb` over its bytes, a run of window bytes to
// consecutive addresses a `rep movsb`, and a run to one address (a BitBLT engine's data
// port) a `movsb` loop; anything else is one `out` each. A whole palette or an engine's
// image data costs one round trip and a few hundred bytes of code.
class IoBatch {
public:
    void add(uint16_t port, uint16_t value, unsigned bytes);  // bytes: 1 or 2
    // A byte to physical `address` in A0000h-BFFFFh, through the card.
    void addWindowWrite(uint32_t address, uint8_t value);
    // A port read after the writes, its value left in AL, AX or EAX (bytes: 1, 2 or 4): the
    // batch's last entry.
    void addRead(uint16_t port, unsigned bytes);
    bool empty() const { return entries_.empty(); }
    bool endsWithRead() const { return !entries_.empty() && entries_.back().kind == Kind::Read; }
    void clear()
    {
        entries_.clear();
        bound_ = JUMP_BYTES;
    }

    // Code and data to be placed at linear `origin` (below 64 KB, run with CS = DS = 0 and the
    // direction flag clear), ending in a near jump to `exit`; the code reaches `exit` with every
    // write done in order.
    std::vector<uint8_t> code(uint16_t origin, uint16_t exit) const;
    // At least the size of code(), kept as entries come, for seeing whether another still fits.
    size_t codeBytes() const { return bound_; }
    // The most one more entry adds to codeBytes().
    static constexpr size_t MAX_GROWTH = 19;

private:
    enum class Kind : uint8_t { Out, Read, Window };
    struct Entry {
        Kind kind;
        uint8_t bytes;     // of a port access
        uint16_t port;     // or the window segment
        uint16_t value;    // or the window byte
        uint16_t offset;   // within the window segment
    };

    void grow(const Entry& next);

    static constexpr size_t JUMP_BYTES = 3;
    std::vector<Entry> entries_;
    size_t bound_ = JUMP_BYTES;
    // The window run the last entry ends, as code() groups them.
    enum class Run : uint8_t { Single, Rising, Same };
    Run windowRun_ = Run::Single;
    size_t windowRunLength_ = 0;
};

}  // namespace qemu_pc
