// Emulated instructions and host CPU time per VBE call, Kestrel against the two ROMs of its
// chip, measured in the same run: on DISPI ("dispi/...") Kestrel over the Bochs ROM against the
// Bochs ROM and SeaVGABIOS alone; on the GD5446 ("gd5446/...") Kestrel over the LGPL Cirrus
// ROM against the LGPL Cirrus ROM ("bochs") and SeaVGABIOS's Cirrus build. The counts are exact and
// repeatable; the ratio vs_best_rom is Kestrel's count over the lowest count of a ROM that
// answered the call with success (0 when none did). libx86emu counts a REP string
// instruction once whatever its count, so the counts flatter string output: *_cpu_ns is the
// host CPU time of one call on each machine (the fastest of several interleaved rounds), and
// cpu_vs_best_rom is Kestrel's over the best ROM's. Wall time per call is Kestrel's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "kestrel/resident.h"
#include "machine/machine.h"

namespace {

constexpr uint16_t BUFFER_SEGMENT = 0x5000;

struct Booted {
    std::unique_ptr<machine::Clock> clock = machine::makeVirtualClock();
    std::unique_ptr<machine::Machine> machine;

    Booted(const char* preset, bool kestrel)
        : machine(std::make_unique<machine::Machine>(machine::loadMachine(preset), *clock))
    {
        if (kestrel)
            kestrel::installResident(*machine);
    }
};

// One VBE call, prepared on a machine (mode set, buffer filled) and then made.
struct Call {
    uint16_t mode;  // set first with 4F02 (0: none)
    std::function<void(machine::CpuRegs&, uint8_t* buffer)> prepare;
    bool farCallWindowFunction = false;  // through WinFuncPtr instead of int 10h
};

struct Outcome {
    uint64_t instructions = 0;
    bool succeeded = false;
};

// The call made once; windowFunction is the WinFuncPtr setUp found (segment high).
Outcome make(machine::Machine& m, const Call& call, uint32_t windowFunction)
{
    machine::CpuRegs regs;
    regs.es = BUFFER_SEGMENT;
    call.prepare(regs, m.memory() + (BUFFER_SEGMENT << 4));
    if (call.farCallWindowFunction) {
        const auto result =
            m.farCall(static_cast<uint16_t>(windowFunction >> 16), static_cast<uint16_t>(windowFunction), regs);
        return {result.instructions, result.ok};
    }
    const auto result = m.interrupt(0x10, regs);
    return {result.instructions, result.ok && regs.ax == 0x004F};
}

// Sets the call's mode; returns the mode's WinFuncPtr when the call goes through it.
uint32_t setUp(machine::Machine& m, const Call& call)
{
    if (!call.mode)
        return 0;
    machine::CpuRegs regs;
    regs.ax = 0x4F02;
    regs.bx = call.mode;
    m.interrupt(0x10, regs);
    if (!call.farCallWindowFunction)
        return 0;
    machine::CpuRegs info;
    info.ax = 0x4F01;
    info.cx = call.mode;
    info.es = BUFFER_SEGMENT;
    m.interrupt(0x10, info);
    uint32_t function;
    std::memcpy(&function, m.memory() + (BUFFER_SEGMENT << 4) + 12, 4);
    return function;
}

double cpuNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e9 + now.tv_nsec;
}

// Host CPU time of one call on each machine that answered it: rounds that take turns between
// the machines, so that a busy moment of the host does not fall on one of them alone; the
// fastest round counts. A round makes as many calls as take about 2 ms (a mode set that
// clears 4 MB takes one), at most 100.
void cpuTimes(machine::Machine* const (&machines)[3], const uint32_t (&windowFunctions)[3],
              const Outcome (&outcomes)[3], const Call& call, double (&perCall)[3])
{
    constexpr int ROUNDS = 15;
    constexpr int MOST_CALLS_PER_ROUND = 100;
    constexpr double ROUND_NS = 2e6;  // enough calls a round to take this long, as far as the most allow
    std::fill(std::begin(perCall), std::end(perCall), 0.0);
    int callsPerRound[3];
    for (int i = 0; i < 3; ++i) {
        const double start = cpuNanoseconds();
        make(*machines[i], call, windowFunctions[i]);
        const double once = std::max(1.0, cpuNanoseconds() - start);
        callsPerRound[i] = std::clamp(static_cast<int>(ROUND_NS / once), 1, MOST_CALLS_PER_ROUND);
    }
    for (int round = 0; round < ROUNDS; ++round)
        for (int i = 0; i < 3; ++i) {
            if (!outcomes[i].succeeded)
                continue;
            const double start = cpuNanoseconds();
            for (int n = 0; n < callsPerRound[i]; ++n)
                make(*machines[i], call, windowFunctions[i]);
            const double time = (cpuNanoseconds() - start) / callsPerRound[i];
            perCall[i] = round == 0 ? time : std::min(perCall[i], time);
        }
}

// A chip's machines: Kestrel over its Bochs ROM, that ROM alone, SeaVGABIOS alone.
struct Family {
    const char* name;
    const char* bochsPreset;
    const char* seabiosPreset;
};

const Family FAMILIES[] = {{"dispi", "default", "seavgabios"}, {"gd5446", "cirrus", "cirrus-seavgabios"}};

void measure(benchmark::State& state, const Family& family, const Call& call)
{
    struct Machines {
        Booted kestrel, bochs, seabios;
    };
    static std::unique_ptr<Machines> booted[std::size(FAMILIES)];
    auto& slot = booted[&family - FAMILIES];
    if (!slot)
        slot.reset(new Machines{Booted(family.bochsPreset, true), Booted(family.bochsPreset, false),
                                Booted(family.seabiosPreset, false)});
    Booted &kestrel = slot->kestrel, &bochs = slot->bochs, &seabios = slot->seabios;
    Outcome outcomes[3];
    uint32_t windowFunctions[3];
    machine::Machine* const machines[3] = {kestrel.machine.get(), bochs.machine.get(), seabios.machine.get()};
    for (int i = 0; i < 3; ++i) {
        windowFunctions[i] = setUp(*machines[i], call);
        outcomes[i] = make(*machines[i], call, windowFunctions[i]);
    }
    double cpu[3];
    cpuTimes(machines, windowFunctions, outcomes, call, cpu);
    for (auto _ : state)
        make(*kestrel.machine, call, windowFunctions[0]);

    uint64_t bestRom = 0;
    double bestRomCpu = 0;
    for (int i = 1; i < 3; ++i)
        if (outcomes[i].succeeded) {
            if (bestRom == 0 || outcomes[i].instructions < bestRom)
                bestRom = outcomes[i].instructions;
            if (bestRomCpu == 0 || cpu[i] < bestRomCpu)
                bestRomCpu = cpu[i];
        }
    state.counters["kestrel"] = static_cast<double>(outcomes[0].instructions);
    state.counters["bochs"] = outcomes[1].succeeded ? static_cast<double>(outcomes[1].instructions) : 0;
    state.counters["seabios"] = outcomes[2].succeeded ? static_cast<double>(outcomes[2].instructions) : 0;
    state.counters["vs_best_rom"] = bestRom ? static_cast<double>(outcomes[0].instructions) / bestRom : 0;
    state.counters["kestrel_cpu_ns"] = cpu[0];
    state.counters["bochs_cpu_ns"] = cpu[1];
    state.counters["seabios_cpu_ns"] = cpu[2];
    state.counters["cpu_vs_best_rom"] = bestRomCpu ? cpu[0] / bestRomCpu : 0;
    if (!outcomes[0].succeeded)
        state.SkipWithError("Kestrel failed the call");
}

void entries(uint8_t* buffer, int count)
{
    for (int i = 0; i < count * 4; ++i)
        buffer[i] = static_cast<uint8_t>(i & 0x3F);
}

const struct {
    const char* name;
    Call call;
} CALLS[] = {
    {"4F00_controller_info",
     {0,
      [](auto& r, uint8_t* b) {
          r.ax = 0x4F00;
          std::memcpy(b, "VBE2", 4);
      }}},
    {"4F01_mode_info_101h",
     {0,
      [](auto& r, uint8_t*) {
          r.ax = 0x4F01;
          r.cx = 0x101;
      }}},
    {"4F02_set_mode_C101h",
     {0,
      [](auto& r, uint8_t*) {
          r.ax = 0x4F02;
          r.bx = 0xC101;
      }}},
    {"4F02_set_mode_clearing_4101h",
     {0,
      [](auto& r, uint8_t*) {
          r.ax = 0x4F02;
          r.bx = 0x4101;
      }}},
    {"4F03_current_mode", {0x101, [](auto& r, uint8_t*) { r.ax = 0x4F03; }}},
    {"4F05_set_bank",
     {0x101,
      [](auto& r, uint8_t*) {
          r.ax = 0x4F05;
          r.bx = 0;
          r.dx = 3;
      }}},
    {"4F05_window_function",
     {0x101,
      [](auto& r, uint8_t*) {
          r.bx = 0;
          r.dx = 3;
      },
      true}},
    {"4F06_get_scan_line",
     {0x101,
      [](auto& r, uint8_t*) {
          r.ax = 0x4F06;
          r.bx = 1;
      }}},
    {"4F07_set_start",
     {0x101,
      [](auto& r, uint8_t*) {
          r.ax = 0x4F07;
          r.bx = 0;
          r.cx = 0;
          r.dx = 16;
      }}},
    {"4F07_get_start",
     {0x101,
      [](auto& r, uint8_t*) {
          r.ax = 0x4F07;
          r.bx = 1;
      }}},
    {"4F08_get_dac_width",
     {0x101,
      [](auto& r, uint8_t*) {
          r.ax = 0x4F08;
          r.bx = 1;
      }}},
    {"4F09_set_palette_1",
     {0x101,
      [](auto& r, uint8_t* b) {
          r.ax = 0x4F09;
          r.bx = 0;
          r.cx = 1;
          r.dx = 7;
          entries(b, 1);
      }}},
    {"4F09_set_palette_256",
     {0x101,
      [](auto& r, uint8_t* b) {
          r.ax = 0x4F09;
          r.bx = 0;
          r.cx = 256;
          r.dx = 0;
          entries(b, 256);
      }}},
};

const bool registered = [] {
    for (const Family& family : FAMILIES)
        for (const auto& c : CALLS)
            benchmark::RegisterBenchmark((std::string(family.name) + "/" + c.name).c_str(),
                                         [&family, &c](benchmark::State& state) { measure(state, family, c.call); });
    return true;
}();

}  // namespace
