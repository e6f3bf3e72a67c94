// The real-mode services over the current PC.
//
// Addressing: selector 0 stands for the machine's first megabyte (and the HMA), and an offset
// with selector 0 is a linear address in it (segment * 16 + offset). Blocks come from the free
// conventional memory above the machine's own area; their real-mode offset is always 0.
// Because the PC's memory lies below 4 GB of the host, pc::current().memory() +
// offset is also a plain host pointer that fits in 32 bits.
#include <algorithm>
#include <cstring>
#include <optional>

#include "pc/pc.h"
#include "platform/realmode.h"
#include "realmode/bios_call.h"
#include "realmode/call_log.h"
#include "realmode/conventional_allocator.h"

namespace realmode {
namespace {

constexpr uint32_t FIRST_MEGABYTE = 0;
constexpr uint16_t CARRY = 0x0001;

std::FILE* callLog = nullptr;
uint64_t callLogLines = 0;
std::function<void(const std::string&)> callMarks;

// "(vbe-log line N)" for the call that is to be the log's next line; empty without a log.
std::string callLogLine()
{
    return callLog ? " (vbe-log line " + std::to_string(callLogLines + 1) + ")" : "";
}

void markEntry(int interrupt, const RealModeRegs& in, uint16_t es, const std::string& where)
{
    char line[96];
    std::snprintf(line, sizeof line, "# INT %02X enters: AX=%04X BX=%04X CX=%04X DX=%04X ES=%04X DI=%04X", interrupt & 0xFF,
                  in.ax, in.bx, in.cx, in.dx, es, in.di);
    callMarks(line + where);
}

void markReturn(int interrupt, const RealModeRegs& out, bool returned, const std::string& where)
{
    char line[96];
    if (returned)
        std::snprintf(line, sizeof line, "# INT %02X returns: AX=%04X BX=%04X CX=%04X DX=%04X", interrupt & 0xFF, out.ax,
                      out.bx, out.cx, out.dx);
    else
        std::snprintf(line, sizeof line, "# INT %02X did not return", interrupt & 0xFF);
    callMarks(line + where);
}

// The allocator belongs to the machine it was made for; a new machine starts afresh.
struct AllocatorState {
    uint64_t owner = 0;
    std::optional<ConventionalAllocator> allocator;
};

ConventionalAllocator* allocatorFor(pc::Pc& m)
{
    static AllocatorState state;
    if (state.owner != m.serial() || !state.allocator) {
        state.owner = m.serial();
        state.allocator.emplace(m.freeConventionalStart(), m.conventionalBytes());
    }
    return &*state.allocator;
}

pc::Pc* machineOrNull()
{
    return pc::hasCurrent() ? &pc::current() : nullptr;
}

// Whether [offset, offset + count) lies in the memory that selector reaches.
bool reachable(const pc::Pc& m, uint32_t selector, uint32_t offset, uint32_t count)
{
    return selector == FIRST_MEGABYTE && offset <= m.memoryBytes() && count <= m.memoryBytes() - offset;
}

// Above conventional memory the bus decides: the VGA window goes to the card, and the ROMs
// ignore writes, as they would for a protected-mode program on a PC.
bool throughTheBus(uint32_t address)
{
    return address >= 0xA0000;
}

pc::CpuRegs toCpu(const RealModeRegs& in)
{
    pc::CpuRegs regs;
    regs.ax = in.ax;
    regs.bx = in.bx;
    regs.cx = in.cx;
    regs.dx = in.dx;
    regs.si = in.si;
    regs.di = in.di;
    regs.flags = (in.cflag & 1) ? CARRY : 0;
    return regs;
}

void fromCpu(const pc::CpuRegs& regs, const pc::CallResult& result, RealModeRegs& out)
{
    out.ax = regs.ax;
    out.bx = regs.bx;
    out.cx = regs.cx;
    out.dx = regs.dx;
    out.si = regs.si;
    out.di = regs.di;
    out.cflag = regs.flags & CARRY;
    if (!result.ok) {
        out.ax = 0xFFFF;
        out.cflag = 1;
    }
}

void failedWithoutMachine(RealModeRegs* out)
{
    if (!out)
        return;
    out->ax = 0xFFFF;
    out->cflag = 1;
}

int32_t interruptCall(int32_t interrupt, RealModeRegs* in, RealModeRegs* out, RealModeSegRegs* segments)
{
    pc::Pc* m = machineOrNull();
    if (!m || !in || !out || interrupt < 0 || interrupt > 0xFF) {
        failedWithoutMachine(out);
        return 0;
    }
    const RealModeRegs input = *in;
    pc::CpuRegs regs = toCpu(input);
    if (segments) {
        regs.es = segments->es;
        regs.ds = segments->ds;
    }
    const std::string where = callLogLine();
    if (callMarks)
        markEntry(interrupt, input, regs.es, where);
    const pc::CallResult result = m->interrupt(static_cast<uint8_t>(interrupt), regs);
    fromCpu(regs, result, *out);
    if (callMarks)
        markReturn(interrupt, *out, result.ok, where);
    if (segments) {
        segments->es = regs.es;
        segments->ds = regs.ds;
    }
    if (callLog) {
        const std::string line =
            formatCallLine(interrupt, input, segments ? segments->es : 0, *out, result.instructions);
        std::fprintf(callLog, "%s\n", line.c_str());
        std::fflush(callLog);
        ++callLogLines;
    }
    return result.ok ? 1 : 0;
}

}  // namespace

void setCallLog(std::FILE* file)
{
    callLog = file;
    callLogLines = 0;
}

void setCallMarks(std::function<void(const std::string&)> marks)
{
    callMarks = std::move(marks);
}

bool biosInterrupt(uint8_t number, BiosRegs& regs)
{
    pc::Pc* m = machineOrNull();
    if (!m)
        return false;
    pc::CpuRegs cpu;
    cpu.ax = regs.ax, cpu.bx = regs.bx, cpu.cx = regs.cx, cpu.dx = regs.dx;
    cpu.si = regs.si, cpu.di = regs.di, cpu.bp = regs.bp;
    cpu.ds = regs.ds, cpu.es = regs.es;
    cpu.flags = regs.carry ? CARRY : 0;
    // The display library's own calls are not in the call log; the io log marks them all the same.
    RealModeRegs in{};
    in.ax = regs.ax, in.bx = regs.bx, in.cx = regs.cx, in.dx = regs.dx, in.di = regs.di;
    if (callMarks)
        markEntry(number, in, regs.es, " (display library, not in the vbe log)");
    const bool ok = m->interrupt(number, cpu).ok;
    regs.ax = cpu.ax, regs.bx = cpu.bx, regs.cx = cpu.cx, regs.dx = cpu.dx;
    regs.si = cpu.si, regs.di = cpu.di, regs.bp = cpu.bp;
    regs.ds = cpu.ds, regs.es = cpu.es;
    regs.carry = cpu.flags & CARRY;
    if (callMarks) {
        RealModeRegs out{};
        out.ax = regs.ax, out.bx = regs.bx, out.cx = regs.cx, out.dx = regs.dx;
        markReturn(number, out, ok, " (display library, not in the vbe log)");
    }
    return ok;
}

std::string formatCallLine(int interrupt, const RealModeRegs& in, uint16_t es, const RealModeRegs& out,
                           uint64_t instructions)
{
    char line[160];
    std::snprintf(line, sizeof line,
                  "INT %02X in AX=%04X BX=%04X CX=%04X DX=%04X ES=%04X DI=%04X out AX=%04X BX=%04X CX=%04X DX=%04X "
                  "instr=%llu",
                  interrupt & 0xFF, in.ax, in.bx, in.cx, in.dx, es, in.di, out.ax, out.bx, out.cx, out.dx,
                  static_cast<unsigned long long>(instructions));
    return line;
}

}  // namespace realmode

using namespace realmode;

int32_t RM_allocRealSeg(uint32_t size, uint32_t* selector, uint32_t* offset, uint32_t* realSegment,
                        uint32_t* realOffset)
{
    pc::Pc* m = machineOrNull();
    if (!m)
        return 0;
    const std::optional<uint32_t> block = allocatorFor(*m)->allocate(size);
    if (!block)
        return 0;
    if (selector)
        *selector = FIRST_MEGABYTE;
    if (offset)
        *offset = *block;
    if (realSegment)
        *realSegment = *block >> 4;
    if (realOffset)
        *realOffset = 0;
    return 1;
}

void RM_freeRealSeg(uint32_t selector, uint32_t offset)
{
    pc::Pc* m = machineOrNull();
    if (m && selector == FIRST_MEGABYTE)
        allocatorFor(*m)->release(offset);
}

void RM_memcpyfn(uint32_t selector, uint32_t offset, const void* source, uint32_t count)
{
    pc::Pc* m = machineOrNull();
    if (!m || !source || !reachable(*m, selector, offset, count))
        return;
    const auto* bytes = static_cast<const uint8_t*>(source);
    for (uint32_t i = 0; i < count;) {
        const uint32_t address = offset + i;
        if (throughTheBus(address)) {
            m->writePhys8(address, bytes[i++]);
            continue;
        }
        const uint32_t run = std::min(count - i, 0xA0000 - address);  // plain memory up to the window
        std::memcpy(m->memory() + address, bytes + i, run);
        i += run;
    }
}

void RM_memcpynf(void* destination, uint32_t selector, uint32_t offset, uint32_t count)
{
    pc::Pc* m = machineOrNull();
    if (!destination)
        return;
    auto* bytes = static_cast<uint8_t*>(destination);
    if (!m || !reachable(*m, selector, offset, count)) {
        std::memset(bytes, 0, count);  // nothing readable there: never leave stale bytes
        return;
    }
    for (uint32_t i = 0; i < count;) {
        const uint32_t address = offset + i;
        if (throughTheBus(address)) {
            bytes[i++] = m->readPhys8(address);
            continue;
        }
        const uint32_t run = std::min(count - i, 0xA0000 - address);
        std::memcpy(bytes + i, m->memory() + address, run);
        i += run;
    }
}

void RM_getRMvect(int32_t interrupt, uint32_t* vector)
{
    pc::Pc* m = machineOrNull();
    if (!vector)
        return;
    if (!m || interrupt < 0 || interrupt > 0xFF) {
        *vector = 0;
        return;
    }
    const uint8_t* entry = m->memory() + interrupt * 4;
    const uint32_t offset = entry[0] | (entry[1] << 8);
    const uint32_t segment = entry[2] | (entry[3] << 8);
    *vector = (segment << 16) | offset;
}

void RM_setRMvect(int32_t interrupt, uint32_t vector)
{
    pc::Pc* m = machineOrNull();
    if (!m || interrupt < 0 || interrupt > 0xFF)
        return;
    uint8_t* entry = m->memory() + interrupt * 4;
    entry[0] = static_cast<uint8_t>(vector);
    entry[1] = static_cast<uint8_t>(vector >> 8);
    entry[2] = static_cast<uint8_t>(vector >> 16);
    entry[3] = static_cast<uint8_t>(vector >> 24);
}

int32_t RM_int86(int32_t interrupt, RealModeRegs* in, RealModeRegs* out)
{
    return interruptCall(interrupt, in, out, nullptr);
}

int32_t RM_int86x(int32_t interrupt, RealModeRegs* in, RealModeRegs* out, RealModeSegRegs* segments)
{
    return interruptCall(interrupt, in, out, segments);
}

int32_t RM_callRealMode(uint32_t segment, uint32_t offset, RealModeRegs* regs, RealModeSegRegs* segments)
{
    pc::Pc* m = machineOrNull();
    if (!m || !regs) {
        failedWithoutMachine(regs);
        return 0;
    }
    pc::CpuRegs cpu = toCpu(*regs);
    if (segments) {
        cpu.es = segments->es;
        cpu.ds = segments->ds;
    }
    const pc::CallResult result = m->farCall(static_cast<uint16_t>(segment), static_cast<uint16_t>(offset), cpu);
    fromCpu(cpu, result, *regs);
    if (segments) {
        segments->es = cpu.es;
        segments->ds = cpu.ds;
    }
    return result.ok ? 1 : 0;
}

void RM_mapRealPointer(uint32_t* selector, uint32_t* offset, uint32_t realSegment, uint32_t realOffset)
{
    if (selector)
        *selector = FIRST_MEGABYTE;
    if (offset)
        *offset = ((realSegment & 0xFFFF) << 4) + (realOffset & 0xFFFF);
}

uint32_t RM_getLong(uint32_t selector, uint32_t offset)
{
    uint32_t value = 0;
    RM_memcpynf(&value, selector, offset, 4);
    return value;
}
