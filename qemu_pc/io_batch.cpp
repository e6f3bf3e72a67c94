// Queued port, window and copy writes as the batch runner's list: single operations, and
// string operations over the bytes of a run.
#include "qemu_pc/io_batch.h"

#include <algorithm>

#include "pc/little_endian.h"

namespace qemu_pc {
namespace {

using pc::putLe16;
using pc::putLe32;

// A run of port bytes this long is shorter as one OUTS (7 bytes and its data) than as OUT8s
// (4 bytes each).
constexpr size_t MIN_STRING_RUN = 3;
// What a byte that continues a run adds at most: its data byte, or an OUT8 of its own while
// its run is too short for OUTS.
constexpr size_t CONTINUING_GROWTH = 4;

}  // namespace

void IoBatch::add(uint16_t port, uint32_t value, unsigned bytes)
{
    grow({Kind::Out, uint8_t(bytes), port, value, 0, 0, {}});
}

void IoBatch::addWindowWrite(uint32_t address, uint8_t value)
{
    grow({Kind::Window, 1, 0, value, address, 0, {}});
}

void IoBatch::addCopy(uint32_t from, uint32_t to, uint32_t bytes)
{
    grow({Kind::Copy, 0, 0, from, to, bytes, {}});
}

void IoBatch::addRead(uint16_t port, unsigned bytes)
{
    grow({Kind::Read, uint8_t(bytes), port, 0, 0, 0, {}});
}

void IoBatch::addWait(uint16_t indexPort, uint8_t index, uint8_t bits, uint32_t polls,
                      std::span<const uint16_t> timeoutWrites)
{
    Entry wait{Kind::Wait, uint8_t(std::min(timeoutWrites.size(), MAX_TIMEOUT_WRITES)),
               indexPort,  uint32_t(index | bits << 8),
               0,          std::max(polls, 1u),
               {}};
    std::copy_n(timeoutWrites.begin(), wait.bytes, wait.timeoutWrites);
    grow(wait);
}

void IoBatch::grow(const Entry& next)
{
    const Entry* last = entries_.empty() ? nullptr : &entries_.back();
    bool continues = false;
    if (last && next.kind == Kind::Out && last->kind == Kind::Out)
        continues = next.bytes == 1 && last->bytes == 1 && next.port == last->port;
    if (last && next.kind == Kind::Window && last->kind == Kind::Window) {
        const uint32_t start = last->address - (windowRun_ == Run::Rising ? uint32_t(windowRunLength_ - 1) : 0);
        const bool same = next.address == start && windowRun_ != Run::Rising;
        const bool rising = next.address == start + windowRunLength_ && windowRun_ != Run::Same;
        continues = same || rising;
        if (continues) {
            windowRun_ = same ? Run::Same : Run::Rising;
            ++windowRunLength_;
        }
    }
    if (next.kind == Kind::Window && !continues) {
        windowRun_ = Run::Single;
        windowRunLength_ = 1;
    }
    bound_ += continues ? CONTINUING_GROWTH : MAX_GROWTH;
    entries_.push_back(next);
}

std::vector<uint8_t> IoBatch::operations(uint32_t sequence) const
{
    std::vector<uint8_t> list;
    list.reserve(bound_);
    for (size_t i = 0; i < entries_.size();) {
        const Entry& e = entries_[i];
        // How far a run like this entry goes: port bytes to its port, or window bytes to its
        // address (same) or to the addresses after it (rising).
        size_t same = i + 1, rising = i + 1;
        if ((e.kind == Kind::Out || e.kind == Kind::Window) && e.bytes == 1) {
            while (same < entries_.size() && entries_[same].kind == e.kind && entries_[same].bytes == 1 &&
                   entries_[same].port == e.port && entries_[same].address == e.address)
                ++same;
            while (e.kind == Kind::Window && rising < entries_.size() && entries_[rising].kind == Kind::Window &&
                   entries_[rising].address == e.address + (rising - i))
                ++rising;
        }
        switch (e.kind) {
        case Kind::Window: {
            const bool repeated = same - i > rising - i;
            const size_t end = repeated ? same : rising;
            list.push_back(repeated ? WINDOW_SAME : WINDOW_RISING);
            putLe32(list, e.address);
            putLe32(list, uint32_t(end - i));
            for (size_t k = i; k < end; ++k)
                list.push_back(uint8_t(entries_[k].value));
            i = end;
            break;
        }
        case Kind::Copy:
            list.push_back(COPY);
            putLe32(list, e.value);
            putLe32(list, e.address);
            putLe32(list, e.count);
            ++i;
            break;
        case Kind::Wait:
            list.push_back(WAIT_CLEAR);
            putLe16(list, e.port);
            putLe16(list, e.value);
            putLe32(list, e.count);
            list.push_back(e.bytes);
            for (size_t k = 0; k < e.bytes; ++k)
                putLe16(list, e.timeoutWrites[k]);
            ++i;
            break;
        case Kind::Read:
            list.push_back(e.bytes == 1 ? IN8 : e.bytes == 2 ? IN16 : IN32);
            putLe16(list, e.port);
            ++i;
            break;
        case Kind::Out:
            if (same - i >= MIN_STRING_RUN) {
                list.push_back(OUTS);
                putLe16(list, e.port);
                putLe32(list, uint32_t(same - i));
                for (size_t k = i; k < same; ++k)
                    list.push_back(uint8_t(entries_[k].value));
                i = same;
                break;
            }
            list.push_back(e.bytes == 1 ? OUT8 : e.bytes == 2 ? OUT16 : OUT32);
            putLe16(list, e.port);
            if (e.bytes == 4)
                putLe32(list, e.value);
            else if (e.bytes == 2)
                putLe16(list, e.value);
            else
                list.push_back(uint8_t(e.value));
            ++i;
            break;
        }
    }
    list.push_back(END);
    putLe32(list, sequence);
    return list;
}

}  // namespace qemu_pc
