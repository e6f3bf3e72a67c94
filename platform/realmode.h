// The real-mode services library: conventional memory, vectors, interrupts and far calls.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// One record serves as input and output of a call.
struct RealModeRegs {
    uint16_t ax;
    uint16_t bx;
    uint16_t cx;
    uint16_t dx;
    uint16_t si;
    uint16_t di;
    uint16_t cflag;  // carry flag after the call
    uint16_t reserved;
};

struct RealModeSegRegs {
    uint16_t es;
    uint16_t cs;
    uint16_t ss;
    uint16_t ds;
};

#pragma pack(pop)

static_assert(sizeof(RealModeRegs) == 16);
static_assert(offsetof(RealModeRegs, ax) == 0);
static_assert(offsetof(RealModeRegs, bx) == 2);
static_assert(offsetof(RealModeRegs, cx) == 4);
static_assert(offsetof(RealModeRegs, dx) == 6);
static_assert(offsetof(RealModeRegs, si) == 8);
static_assert(offsetof(RealModeRegs, di) == 10);
static_assert(sizeof(RealModeSegRegs) == 8);
static_assert(offsetof(RealModeSegRegs, es) == 0);

// Selectors, offsets and segments are unsigned 32-bit values. A real-mode vector or far
// pointer holds the segment in its high 16 bits and the offset in its low 16 bits.
int32_t RM_allocRealSeg(uint32_t size, uint32_t* selector, uint32_t* offset, uint32_t* realSegment,
                        uint32_t* realOffset);
void RM_freeRealSeg(uint32_t selector, uint32_t offset);
void RM_memcpyfn(uint32_t selector, uint32_t offset, const void* source, uint32_t count);
void RM_memcpynf(void* destination, uint32_t selector, uint32_t offset, uint32_t count);
void RM_getRMvect(int32_t interrupt, uint32_t* vector);
void RM_setRMvect(int32_t interrupt, uint32_t vector);
// The interrupt and far-call operations return nonzero when the call ran to its end. A call
// the machine had to stop (a CPU fault, or no return within its instruction budget) returns
// 0 with ax = 0xFFFF and the carry flag set in the output record.
int32_t RM_int86(int32_t interrupt, RealModeRegs* in, RealModeRegs* out);
int32_t RM_int86x(int32_t interrupt, RealModeRegs* in, RealModeRegs* out, RealModeSegRegs* segments);
int32_t RM_callRealMode(uint32_t segment, uint32_t offset, RealModeRegs* regs, RealModeSegRegs* segments);
void RM_mapRealPointer(uint32_t* selector, uint32_t* offset, uint32_t realSegment, uint32_t realOffset);
uint32_t RM_getLong(uint32_t selector, uint32_t offset);
