// Physical copies as big-real-mode code: enter protected mode for two segment loads, leave it,
// copy with 32-bit addresses.
#include "qemu_pc/staged_copy.h"

namespace qemu_pc {
namespace {

constexpr size_t ENTRY_BYTES = 7 + 7 + 20 + 7;  // sgdt, lgdt, into protected mode and back, lgdt back
constexpr size_t COPY_BYTES = 6 + 6 + 6 + 4 + 6 + 3;                      // esi, edi, ecx, movsd, ecx, movsb
constexpr size_t TAIL_BYTES = 3 + 16 + 6 + 6;                              // jmp, GDT, its pointer, the old one

void put16(std::vector<uint8_t>& code, uint16_t value)
{
    code.push_back(uint8_t(value));
    code.push_back(uint8_t(value >> 8));
}

template <size_t N>
void putBytes(std::vector<uint8_t>& code, const uint8_t (&bytes)[N])
{
    for (uint8_t b : bytes)
        code.push_back(b);
}

void put32(std::vector<uint8_t>& code, uint32_t value)
{
    put16(code, uint16_t(value));
    put16(code, uint16_t(value >> 16));
}

}  // namespace

size_t stagedCopyCodeBytes(size_t copies)
{
    return ENTRY_BYTES + copies * COPY_BYTES + TAIL_BYTES;
}

std::vector<uint8_t> stagedCopyCode(uint16_t origin, uint16_t exit, const std::vector<PhysicalCopy>& copies)
{
    const size_t size = stagedCopyCodeBytes(copies.size());
    const uint16_t gdt = uint16_t(origin + size - 28), gdtPointer = uint16_t(gdt + 16), saved = uint16_t(gdtPointer + 6);
    std::vector<uint8_t> code;
    code.reserve(size);
    const uint8_t sgdt[] = {0x66, 0x2E, 0x0F, 0x01, 0x06};  // sgdt cs:[saved], all 32 bits of the base
    putBytes(code, sgdt);
    put16(code, saved);
    const uint8_t lgdt[] = {0x66, 0x2E, 0x0F, 0x01, 0x16};  // lgdt cs:[gdtPointer]
    putBytes(code, lgdt);
    put16(code, gdtPointer);
    const uint8_t enter[] = {
        0x0F, 0x20, 0xC0,  // mov eax, cr0
        0x0C, 0x01,        // or al, 1: protected mode
        0x0F, 0x22, 0xC0,  // mov cr0, eax
        0xBB, 0x08, 0x00,  // mov bx, 8: the flat data descriptor
        0x8E, 0xDB,        // mov ds, bx
        0x8E, 0xC3,        // mov es, bx
        0x24, 0xFE,        // and al, FEh: back to real mode, the flat limits kept
        0x0F, 0x22, 0xC0,  // mov cr0, eax
    };
    putBytes(code, enter);
    const uint8_t lgdtBack[] = {0x66, 0x2E, 0x0F, 0x01, 0x16};  // lgdt cs:[saved]
    putBytes(code, lgdtBack);
    put16(code, saved);
    for (const PhysicalCopy& c : copies) {
        code.push_back(0x66);  // mov esi, from
        code.push_back(0xBE);
        put32(code, c.from);
        code.push_back(0x66);  // mov edi, to
        code.push_back(0xBF);
        put32(code, c.to);
        code.push_back(0x66);  // mov ecx, dwords
        code.push_back(0xB9);
        put32(code, c.bytes / 4);
        const uint8_t movsd[] = {0x67, 0x66, 0xF3, 0xA5};  // a32 rep movsd
        putBytes(code, movsd);
        code.push_back(0x66);  // mov ecx, the bytes left
        code.push_back(0xB9);
        put32(code, c.bytes % 4);
        const uint8_t movsb[] = {0x67, 0xF3, 0xA4};  // a32 rep movsb
        putBytes(code, movsb);
    }
    const uint16_t afterJump = uint16_t(origin + code.size() + 3);
    code.push_back(0xE9);  // jmp near exit
    put16(code, uint16_t(exit - afterJump));
    // The GDT: the null descriptor, then data, base 0, limit 4 GB, writable.
    const uint8_t table[] = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x92, 0xCF, 0x00};
    putBytes(code, table);
    put16(code, 15);  // its pointer: limit, base
    put32(code, gdt);
    for (int i = 0; i < 6; ++i)
        code.push_back(0);  // the GDTR found, stored by sgdt
    return code;
}

}  // namespace qemu_pc
