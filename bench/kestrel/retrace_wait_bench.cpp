// Host CPU time for ten seconds of virtual page flipping: Kestrel's 4F07 BL=80h (set the
// display start in the vertical retrace) on a headless machine, 60 frames a second. The
// reference, in the same run, is the same number of 4F07 BL=00h calls, which do not wait:
// wait_x_no_wait is the CPU time of the waiting calls over theirs.
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>

#include "hw/vbe.h"
#include "kestrel/resident.h"
#include "machine/machine.h"

namespace {

constexpr int FRAMES = 600;  // ten seconds at 60 Hz

// Host CPU seconds of the process so far: the machine is shared, so wall time would say little.
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

double flipSeconds(machine::Machine& m, uint8_t bl)
{
    const double start = cpuSeconds();
    for (int frame = 0; frame < FRAMES; ++frame) {
        machine::CpuRegs regs;
        regs.ax = vbe::DISPLAY_START;
        regs.bx = bl;
        regs.dx = static_cast<uint16_t>((frame & 1) * 480);
        m.interrupt(0x10, regs);
    }
    return cpuSeconds() - start;
}

void tenSecondsOfRetraceWaits(benchmark::State& state)
{
    auto clock = machine::makeVirtualClock();
    machine::Machine m(machine::loadMachine("default"), *clock);
    kestrel::installResident(m);
    machine::CpuRegs mode;
    mode.ax = vbe::SET_MODE;
    mode.bx = vbe::MODE_LINEAR | 0x101;  // 640 x 480 x 8, two pages
    m.interrupt(0x10, mode);
    double wait = 0, noWait = 0;
    uint64_t virtualMicros = 0;
    for (auto _ : state) {
        const uint64_t before = clock->nowMicros();
        wait += flipSeconds(m, vbe::DISPLAY_START_SET_IN_RETRACE);
        virtualMicros += clock->nowMicros() - before;
        noWait += flipSeconds(m, vbe::DISPLAY_START_SET);
    }
    state.counters["cpu_s_per_10_virtual_s"] = wait / state.iterations();
    state.counters["virtual_s"] = virtualMicros / 1e6 / state.iterations();
    state.counters["wait_x_no_wait"] = wait / noWait;
}
BENCHMARK(tenSecondsOfRetraceWaits)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
