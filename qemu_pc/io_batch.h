// Port writes, writes through the VGA window and copies between physical addresses, queued
// for QEMU's stopped CPU as a list the batch runner (guest_code.asm) walks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qemu_pc {

// The writes in the order the host made them. A run of byte writes to one port (a palette
// load at 3C9h) becomes one `rep outsb` over its bytes, a run of window bytes to consecutive
// addresses one `rep movsb`, and a run to one address (a BitBLT engine's data port) one
// `movsb` loop; anything else is an operation each. The list is data in QEMU's RAM: running
// it costs one continue, and QEMU translates no new code for it.
class IoBatch {
public:
    // The runner's operations, in its table's order. Operands are little-endian and follow
    // the operation's byte: a port is a word, an address, a count or a sequence a dword.
    enum Operation : uint8_t {
        END,            // sequence: stored where the host looks for it, then the stop
        OUT8,           // port, byte
        OUT16,          // port, word
        OUT32,          // port, dword
        OUTS,           // port, count, the bytes
        WINDOW_RISING,  // address, count, the bytes to it and the addresses after it
        WINDOW_SAME,    // address, count, the bytes, each to the address
        IN8,            // port: the value read is stored where the host looks for it
        IN16,
        IN32,
        COPY,        // from, to, bytes: physical addresses below 4 GB
        WAIT_CLEAR,  // index port, index (byte), bits (byte), polls, writes (byte), the
                     // words written to the index port when the bits never read clear
    };

    void add(uint16_t port, uint32_t value, unsigned bytes);  // bytes: 1, 2 or 4
    // A byte to physical `address` in A0000h-BFFFFh, through the card.
    void addWindowWrite(uint32_t address, uint8_t value);
    // A copy between physical addresses (QEMU's RAM into video memory).
    void addCopy(uint32_t from, uint32_t to, uint32_t bytes);
    // A busy-wait on an indexed register (pc::Pc::waitIndexedClear), run by the PC's CPU.
    void addWait(uint16_t indexPort, uint8_t index, uint8_t bits, uint32_t polls,
                 std::span<const uint16_t> timeoutWrites);
    // A port read after the writes (bytes: 1, 2 or 4): the batch's last entry.
    void addRead(uint16_t port, unsigned bytes);
    bool empty() const { return entries_.empty(); }
    bool endsWithRead() const { return !entries_.empty() && entries_.back().kind == Kind::Read; }
    void clear()
    {
        entries_.clear();
        bound_ = END_BYTES;
    }

    // The list, ending with END and `sequence`.
    std::vector<uint8_t> operations(uint32_t sequence) const;
    // At least the size of operations(), kept as entries come, for seeing whether another
    // still fits.
    size_t listBytes() const { return bound_; }
    // The most one more entry adds to listBytes().
    static constexpr size_t MAX_GROWTH = 18;
    // At most this many writes follow a wait that runs out.
    static constexpr size_t MAX_TIMEOUT_WRITES = 4;

private:
    enum class Kind : uint8_t { Out, Read, Window, Copy, Wait };
    struct Entry {
        Kind kind;
        uint8_t bytes;  // of a port access
        uint16_t port;
        uint32_t value;                              // written to the port or the window; a copy's source
        uint32_t address;                            // of a window byte; a copy's destination
        uint32_t count;                              // of a copy's bytes; a wait's polls
        uint16_t timeoutWrites[MAX_TIMEOUT_WRITES];  // of a wait, `bytes` of them
    };

    void grow(const Entry& next);

    static constexpr size_t END_BYTES = 5;
    std::vector<Entry> entries_;
    size_t bound_ = END_BYTES;
    // The window run the last entry ends, as operations() groups them.
    enum class Run : uint8_t { Single, Rising, Same };
    Run windowRun_ = Run::Single;
    size_t windowRunLength_ = 0;
};

}  // namespace qemu_pc
