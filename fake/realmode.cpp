// The fake real-mode services: the first megabyte as a byte array, a paragraph allocator,
// the vector table, and handlers that stand in for interrupts and far calls.
// Selector 0 is the first megabyte; an offset is a linear address.
#include <cstring>
#include <stdexcept>

#include "fake/fake.h"

namespace fake {
namespace {

RealMode& state()
{
    static RealMode r;
    return r;
}

uint8_t* linear(uint32_t address, uint32_t count)
{
    RealMode& r = state();
    if (address > r.memory.size() || count > r.memory.size() - address)
        throw std::out_of_range("real-mode access past the first megabyte");
    return r.memory.data() + address;
}

}  // namespace

void resetRealMode()
{
    state() = RealMode{};
}

RealMode& realMode()
{
    return state();
}

uint8_t* realPointer(uint16_t segment, uint16_t offset)
{
    return linear(segment * 16u + offset, 1);
}

}  // namespace fake

using fake::log;

int32_t RM_allocRealSeg(uint32_t size, uint32_t* selector, uint32_t* offset, uint32_t* realSegment,
                        uint32_t* realOffset)
{
    log("RM_allocRealSeg", {size});
    fake::RealMode& r = fake::realMode();
    const int number = r.allocations++;
    const uint32_t paragraphs = (size + 15) / 16;
    if (r.allocationFails || number == r.failAllocationNumber || paragraphs > r.freeParagraphs)
        return 0;
    const uint32_t segment = r.nextFreeSegment;
    r.nextFreeSegment += paragraphs;
    r.freeParagraphs -= paragraphs;
    *selector = 0;
    *offset = segment * 16;
    *realSegment = segment;
    *realOffset = 0;
    r.liveBlocks[segment * 16] = size;
    return 1;
}

void RM_freeRealSeg(uint32_t selector, uint32_t offset)
{
    log("RM_freeRealSeg", {selector, offset});
    fake::realMode().liveBlocks.erase(offset);
}

void RM_memcpyfn(uint32_t selector, uint32_t offset, const void* source, uint32_t count)
{
    log("RM_memcpyfn", {selector, offset, count});
    std::memcpy(fake::linear(offset, count), source, count);
}

void RM_memcpynf(void* destination, uint32_t selector, uint32_t offset, uint32_t count)
{
    log("RM_memcpynf", {selector, offset, count});
    std::memcpy(destination, fake::linear(offset, count), count);
}

void RM_getRMvect(int32_t interrupt, uint32_t* vector)
{
    log("RM_getRMvect", {interrupt});
    const uint8_t* entry = fake::linear(static_cast<uint32_t>(interrupt) * 4, 4);
    const uint32_t off = entry[0] | (entry[1] << 8);
    const uint32_t seg = entry[2] | (entry[3] << 8);
    *vector = (seg << 16) | off;
}

void RM_setRMvect(int32_t interrupt, uint32_t vector)
{
    log("RM_setRMvect", {interrupt, vector});
    uint8_t* entry = fake::linear(static_cast<uint32_t>(interrupt) * 4, 4);
    entry[0] = static_cast<uint8_t>(vector);
    entry[1] = static_cast<uint8_t>(vector >> 8);
    entry[2] = static_cast<uint8_t>(vector >> 16);
    entry[3] = static_cast<uint8_t>(vector >> 24);
}

int32_t RM_int86x(int32_t interrupt, RealModeRegs* in, RealModeRegs* out, RealModeSegRegs* segments)
{
    log("RM_int86x", {interrupt, in->ax, in->bx, in->cx, in->dx, segments->es, in->di});
    RealModeRegs regs = *in;
    RealModeSegRegs segs = *segments;
    if (fake::realMode().onInterrupt)
        fake::realMode().onInterrupt(interrupt, regs, segs);
    *out = regs;
    *segments = segs;
    return 1;
}

int32_t RM_int86(int32_t interrupt, RealModeRegs* in, RealModeRegs* out)
{
    log("RM_int86", {interrupt, in->ax, in->bx, in->cx, in->dx});
    RealModeRegs regs = *in;
    RealModeSegRegs segs{};
    if (fake::realMode().onInterrupt)
        fake::realMode().onInterrupt(interrupt, regs, segs);
    *out = regs;
    return 1;
}

int32_t RM_callRealMode(uint32_t segment, uint32_t offset, RealModeRegs* regs, RealModeSegRegs*)
{
    log("RM_callRealMode", {segment, offset});
    // A scripted result of 0 is a call the machine had to stop: it never reaches the code.
    if (!fake::resultFor("RM_callRealMode", 1)) {
        regs->ax = 0xFFFF;
        regs->cflag = 1;
        return 0;
    }
    if (fake::realMode().onFarCall)
        fake::realMode().onFarCall(segment, offset, *regs);
    return 1;
}

void RM_mapRealPointer(uint32_t* selector, uint32_t* offset, uint32_t realSegment, uint32_t realOffset)
{
    log("RM_mapRealPointer", {realSegment, realOffset});
    *selector = 0;
    *offset = (realSegment & 0xFFFF) * 16 + (realOffset & 0xFFFF);
}

uint32_t RM_getLong(uint32_t selector, uint32_t offset)
{
    log("RM_getLong", {selector, offset});
    const uint8_t* p = fake::linear(offset, 4);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
