#include "loader/vbe_probe.h"

#include <cstring>

RealModeBlock probeScratchBlock;

static ResidentDriverInfo residentDriverInfo;

namespace {

constexpr uint16_t vbeSupported = 0x004F;
constexpr uint32_t oemStringPointer = 6;   // far pointer in the controller block
constexpr uint32_t vortMark = 0x54524F56;  // "VORT" as it lies in memory
constexpr size_t oemCopyLength = 80;

// VBE function 4F00h into `block`; true when it answered with a "VESA" block.
bool askController(RealModeRegs& regs, uint8_t (&block)[probeScratchSize])
{
    regs = RealModeRegs{};
    regs.ax = 0x4F00;
    std::memset(block, 0, sizeof block);
    std::memcpy(block, "VBE2", 4);
    vbeCallWithBuffer(&regs, block, sizeof block);
    return regs.ax == vbeSupported && std::memcmp(block, "VESA", 4) == 0;
}

void mapFarPointer(uint32_t farPointer, uint32_t* selector, uint32_t* offset)
{
    RM_mapRealPointer(selector, offset, farPointer >> 16, farPointer & 0xFFFF);
}

}  // namespace

void vbeCallWithBuffer(RealModeRegs* regs, void* buffer, uint32_t length)
{
    RealModeSegRegs segments{};
    segments.es = static_cast<uint16_t>(probeScratchBlock.realSegment);
    regs->di = static_cast<uint16_t>(probeScratchBlock.realOffset);
    RM_memcpyfn(probeScratchBlock.selector, probeScratchBlock.offset, buffer, length);
    RM_int86x(0x10, regs, regs, &segments);
    RM_memcpynf(buffer, probeScratchBlock.selector, probeScratchBlock.offset, length);
}

int getVBEVersion()
{
    RealModeRegs regs;
    uint8_t block[probeScratchSize];
    if (!askController(regs, block))
        return 0;

    const int16_t version = static_cast<int16_t>(readDriverWord(block, 4));
    if (version <= 0x0200)
        return version;

    // A BIOS above 2.0 whose OEM string begins "VORT" is taken for VBE 1.2.
    uint32_t selector = 0, offset = 0;
    mapFarPointer(readDriverLong(block, oemStringPointer), &selector, &offset);
    return RM_getLong(selector, offset) == vortMark ? 0x0102 : version;
}

ResidentDriverInfo* queryResidentDriver()
{
    RealModeRegs regs;
    uint8_t block[probeScratchSize];
    if (!askController(regs, block))
        return nullptr;

    char oemString[oemCopyLength];
    uint32_t selector = 0, offset = 0;
    mapFarPointer(readDriverLong(block, oemStringPointer), &selector, &offset);
    RM_memcpynf(oemString, selector, offset, sizeof oemString);
    if (std::strncmp(oemString, kestrelSignature, kestrelSignatureLength) != 0)
        return nullptr;

    // The resident driver's private query; the other registers keep what 4F00h left.
    regs.ax = 0x4F0F;
    regs.bx = 0x1234;
    RM_int86(0x10, &regs, &regs);
    if (regs.ax != vbeSupported)
        return nullptr;

    mapFarPointer((static_cast<uint32_t>(regs.dx) << 16) | regs.bx, &selector, &offset);
    RM_memcpynf(&residentDriverInfo, selector, offset, sizeof residentDriverInfo);
    return &residentDriverInfo;
}
