// Queued port and window writes as straight real-mode code: mov dx / mov al / out, rep outsb
// for a port's byte runs, rep movsb or a movsb loop for window runs.
#include "qemu_pc/io_batch.h"

namespace qemu_pc {
namespace {

// A run of port bytes this long is cheaper as `mov si; mov cx; rep outsb` (8 bytes and its
// data) than as `mov al; out` pairs (3 bytes each).
constexpr size_t MIN_STRING_RUN = 4;
constexpr uint32_t NO_REGISTER = 0x10000;  // DX or ES not loaded yet

void put16(std::vector<uint8_t>& code, uint16_t value)
{
    code.push_back(uint8_t(value));
    code.push_back(uint8_t(value >> 8));
}

}  // namespace

void IoBatch::add(uint16_t port, uint16_t value, unsigned bytes)
{
    grow({Kind::Out, uint8_t(bytes), port, value, 0});
}

void IoBatch::addWindowWrite(uint32_t address, uint8_t value)
{
    grow({Kind::Window, 1, uint16_t((address >> 4) & 0xF000), value, uint16_t(address & 0xFFFF)});
}

void IoBatch::addRead(uint16_t port, unsigned bytes)
{
    grow({Kind::Read, uint8_t(bytes), port, 0, 0});
}

// A byte that continues a run as code() groups them costs its data byte, and at most 3 more
// where the run changes its encoding (three `out`s becoming a `rep outsb`, a window run of
// one becoming a repeated one); anything else at most a register load and its instruction.
void IoBatch::grow(const Entry& next)
{
    const Entry* last = entries_.empty() ? nullptr : &entries_.back();
    bool continues = false;
    if (last && next.kind == Kind::Out && last->kind == Kind::Out)
        continues = next.bytes == 1 && last->bytes == 1 && next.port == last->port;
    if (last && next.kind == Kind::Window && last->kind == Kind::Window && next.port == last->port) {
        const uint16_t start = uint16_t(last->offset - (windowRun_ == Run::Rising ? windowRunLength_ - 1 : 0));
        const bool same = next.offset == start && windowRun_ != Run::Rising;
        const bool rising = next.offset == uint16_t(start + windowRunLength_) && windowRun_ != Run::Same;
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
    bound_ += continues ? 3 : MAX_GROWTH;
    entries_.push_back(next);
}

std::vector<uint8_t> IoBatch::code(uint16_t origin, uint16_t exit) const
{
    std::vector<uint8_t> code, data;
    std::vector<size_t> dataFixups;  // where a `mov si` takes its data's offset within `data`
    uint32_t dx = NO_REGISTER, es = NO_REGISTER;
    auto loadDx = [&](uint16_t port) {
        if (port == dx)
            return;
        code.push_back(0xBA);  // mov dx, port
        put16(code, port);
        dx = port;
    };
    auto loadSiCx = [&](size_t count) {
        code.push_back(0xBE);  // mov si, data (fixed up below)
        dataFixups.push_back(code.size());
        put16(code, uint16_t(data.size()));
        code.push_back(0xB9);  // mov cx, count
        put16(code, uint16_t(count));
    };
    for (size_t i = 0; i < entries_.size();) {
        const Entry& e = entries_[i];
        // How far a run like this entry goes: port bytes to its port, or window bytes to its
        // address (same) or to the addresses after it (rising).
        size_t same = i + 1, rising = i + 1;
        if (e.kind != Kind::Read && e.bytes == 1) {
            while (same < entries_.size() && entries_[same].kind == e.kind && entries_[same].bytes == 1 &&
                   entries_[same].port == e.port && entries_[same].offset == e.offset)
                ++same;
            while (e.kind == Kind::Window && rising < entries_.size() && entries_[rising].kind == Kind::Window &&
                   entries_[rising].port == e.port && entries_[rising].offset == uint16_t(e.offset + (rising - i)))
                ++rising;
        }
        if (e.kind == Kind::Window) {
            if (e.port != es) {
                code.push_back(0xB8);  // mov ax, segment; mov es, ax
                put16(code, e.port);
                code.push_back(0x8E);
                code.push_back(0xC0);
                es = e.port;
            }
            const bool repeated = same - i > rising - i;
            const size_t end = repeated ? same : rising;
            code.push_back(0xBF);  // mov di, offset
            put16(code, e.offset);
            loadSiCx(end - i);
            for (size_t k = i; k < end; ++k)
                data.push_back(uint8_t(entries_[k].value));
            if (repeated) {
                const uint8_t loop[] = {0xA4, 0x4F, 0xE2, 0xFC};  // movsb; dec di; loop back
                code.insert(code.end(), loop, loop + sizeof loop);
            } else {
                code.push_back(0xF3);  // rep movsb
                code.push_back(0xA4);
            }
            i = end;
            continue;
        }
        loadDx(e.port);
        if (e.kind == Kind::Read) {
            if (e.bytes == 4)
                code.push_back(0x66);  // in eax, dx
            code.push_back(e.bytes == 1 ? 0xEC : 0xED);  // in al, dx / in ax, dx
            ++i;
        } else if (same - i >= MIN_STRING_RUN) {
            loadSiCx(same - i);
            code.push_back(0xF3);  // rep outsb
            code.push_back(0x6E);
            for (size_t k = i; k < same; ++k)
                data.push_back(uint8_t(entries_[k].value));
            i = same;
        } else if (e.bytes == 1) {
            code.push_back(0xB0);  // mov al, value; out dx, al
            code.push_back(uint8_t(e.value));
            code.push_back(0xEE);
            ++i;
        } else {
            code.push_back(0xB8);  // mov ax, value; out dx, ax
            put16(code, e.value);
            code.push_back(0xEF);
            ++i;
        }
    }
    const uint16_t afterJump = uint16_t(origin + code.size() + 3);
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
