// Port writes queued for QEMU's stopped CPU, turned into one piece of straight real-mode code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qemu_pc {

// The writes in the order the host made them. A run of byte writes to one port (a palette
// load at 3C9h) becomes a single `rep outsb` over its bytes, anything else one `out` each, so
// a whole palette costs one round trip and a few hundred bytes of code.
class PortBatch {
public:
    void add(uint16_t port, uint16_t value, unsigned bytes);  // bytes: 1 or 2
    // A port read after the writes, its value left in AL, AX or EAX (bytes: 1, 2 or 4): the
    // batch's last entry.
    void addRead(uint16_t port, unsigned bytes);
    bool empty() const { return writes_.empty(); }
    bool endsWithRead() const { return !writes_.empty() && writes_.back().read; }
    void clear() { writes_.clear(); }

    // Code and data to be placed at linear `origin` (below 64 KB, run with CS = DS = 0 and the
    // direction flag clear), ending in a near jump to `exit`; the code reaches `exit` with every
    // write done in order. Its size, for seeing whether another write still fits.
    std::vector<uint8_t> code(uint16_t origin, uint16_t exit) const;
    size_t codeBytes() const;
    // The most one more write adds to codeBytes().
    static constexpr size_t MAX_GROWTH = 7;

private:
    struct Write {
        uint16_t port;
        uint16_t value;
        uint8_t bytes;
        bool read;
    };
    // Visits the writes run by run: f(first, count) with each run of byte writes to one port
    // long enough for a string output, and f(index, 0) for each write on its own.
    template <class Visit>
    void runs(Visit&& f) const;

    std::vector<Write> writes_;
};

}  // namespace qemu_pc
