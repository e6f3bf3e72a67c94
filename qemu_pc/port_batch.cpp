// Queued port writes as straight real-mode code: mov dx / mov al / out, and rep outsb for runs.
#include "qemu_pc/port_batch.h"

namespace qemu_pc {
namespace {

// A run this long is cheaper as `mov si; mov cx; rep outsb` (8 bytes and its data) than as
// `mov al; out` pairs (3 bytes each).
constexpr size_t MIN_STRING_RUN = 4;

constexpr size_t MOV_DX = 3, OUT8 = 3, OUT16 = 4, IN = 2, STRING = 8, JUMP = 3;

void put16(std::vector<uint8_t>& code, uint16_t value)
{
    code.push_back(uint8_t(value));
    code.push_back(uint8_t(value >> 8));
}

}  // namespace

void PortBatch::add(uint16_t port, uint16_t value, unsigned bytes)
{
    writes_.push_back({port, value, uint8_t(bytes), false});
}

void PortBatch::addRead(uint16_t port, unsigned bytes)
{
    writes_.push_back({port, 0, uint8_t(bytes), true});
}

template <class Visit>
void PortBatch::runs(Visit&& f) const
{
    for (size_t i = 0; i < writes_.size();) {
        size_t end = i;
        while (end < writes_.size() && !writes_[end].read && writes_[end].bytes == 1 &&
               writes_[end].port == writes_[i].port)
            ++end;
        if (end - i >= MIN_STRING_RUN) {
            f(i, end - i);
            i = end;
        } else {
            f(i, 0);
            ++i;
        }
    }
}

size_t PortBatch::codeBytes() const
{
    size_t bytes = JUMP;
    uint32_t dx = 0x10000;  // no port loaded yet
    runs([&](size_t first, size_t count) {
        const Write& w = writes_[first];
        bytes += (w.port != dx ? MOV_DX : 0) + (count ? STRING + count : w.read ? IN : w.bytes == 1 ? OUT8 : OUT16);
        dx = w.port;
    });
    return bytes;
}

std::vector<uint8_t> PortBatch::code(uint16_t origin, uint16_t exit) const
{
    std::vector<uint8_t> code, data;
    std::vector<size_t> dataFixups;  // where a `mov si` takes its data's offset within `data`
    uint32_t dx = 0x10000;
    runs([&](size_t first, size_t count) {
        const Write& w = writes_[first];
        if (w.port != dx) {
            code.push_back(0xBA);  // mov dx, port
            put16(code, w.port);
            dx = w.port;
        }
        if (count) {
            code.push_back(0xBE);  // mov si, data (fixed up below)
            dataFixups.push_back(code.size());
            put16(code, uint16_t(data.size()));
            code.push_back(0xB9);  // mov cx, count
            put16(code, uint16_t(count));
            code.push_back(0xF3);  // rep outsb
            code.push_back(0x6E);
            for (size_t i = first; i < first + count; ++i)
                data.push_back(uint8_t(writes_[i].value));
        } else if (w.read) {
            if (w.bytes == 4)
                code.push_back(0x66);  // in eax, dx
            code.push_back(w.bytes == 1 ? 0xEC : 0xED);  // in al, dx / in ax, dx
        } else if (w.bytes == 1) {
            code.push_back(0xB0);  // mov al, value; out dx, al
            code.push_back(uint8_t(w.value));
            code.push_back(0xEE);
        } else {
            code.push_back(0xB8);  // mov ax, value; out dx, ax
            put16(code, w.value);
            code.push_back(0xEF);
        }
    });
    const uint16_t afterJump = uint16_t(origin + code.size() + JUMP);
    code.push_back(0xE9);  // jmp near exit
    put16(code, uint16_t(exit - afterJump));
    for (size_t at : dataFixups) {
        const uint16_t offset = uint16_t(origin + code.size() + (code[at] | code[at + 1] << 8));
        code[at] = uint8_t(offset);
        code[at + 1] = uint8_t(offset >> 8);
    }
    code.insert(code.end(), data.begin(), data.end());
    return code;
}

}  // namespace qemu_pc
