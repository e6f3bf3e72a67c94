// VBE calls: emulated instructions per call (exact, repeatable) and the time of a call as a
// ratio to an empty far call (a RETF) measured in the same run. Scan-out: pictures per second,
// and its time as a ratio to a memcpy of the same number of video memory bytes.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstring>
#include <memory>
#include <vector>

#include "checks/machine/machine_fixture.h"
#include "machine/machine.h"

namespace {

// CPU time of this thread: the machine is shared, and a ratio of two wall times measured
// under someone else's load says little.
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr uint16_t RETF_SEGMENT = 0x4000;

machine::MachineConfig withVideoMemory(const char* preset, uint32_t videoMemoryKb)
{
    machine::MachineConfig config = machine::presetConfig(preset);
    config.videoMemoryKb = videoMemoryKb;
    return config;
}

// The checks' booted machine, with a RETF to time an empty far call against.
struct Bench : checks::BootedMachine {
    explicit Bench(const char* preset, uint32_t videoMemoryKb = 4096)
        : BootedMachine(withVideoMemory(preset, videoMemoryKb))
    {
        pc->memory()[RETF_SEGMENT * 16] = 0xCB;
    }
    // The call's result rather than its registers: the benchmarks count its instructions.
    machine::CallResult call(uint16_t ax, uint16_t bx = 0, uint16_t cx = 0, uint16_t dx = 0)
    {
        if (ax == 0x4F00)
            std::memcpy(buffer(), "VBE2", 4);
        vbe(ax, bx, cx, dx);
        return lastResult;
    }
};

struct VbeCall {
    uint16_t ax, bx, cx, dx;
};

void vbeCall(benchmark::State& state, const char* preset, VbeCall call)
{
    Bench bench(preset);
    if (call.ax != 0x4F02 && call.ax != 0x4F00 && call.ax != 0x4F01)
        bench.call(0x4F02, 0x4101);
    double callSeconds = 0, emptySeconds = 0;
    uint64_t instructions = 0;
    bool ok = true;
    for (auto _ : state) {
        double start = cpuSeconds();
        const auto result = bench.call(call.ax, call.bx, call.cx, call.dx);
        callSeconds += cpuSeconds() - start;
        instructions = result.instructions;
        ok = ok && result.ok;
        machine::CpuRegs regs;
        start = cpuSeconds();
        bench.pc->farCall(RETF_SEGMENT, 0, regs);
        emptySeconds += cpuSeconds() - start;
    }
    if (!ok)
        state.SkipWithError("the call failed");
    state.counters["instructions"] = static_cast<double>(instructions);
    state.counters["x_empty_call"] = callSeconds / emptySeconds;
    state.counters["us_per_call"] = callSeconds * 1e6 / static_cast<double>(state.iterations());
}

void scanOut(benchmark::State& state, uint16_t mode, uint32_t videoMemoryKb)
{
    Bench bench("default", videoMemoryKb);
    if (bench.call(0x4F02, static_cast<uint16_t>(0x4000 | mode)).ok == false) {
        state.SkipWithError("mode not set");
        return;
    }
    uint8_t* lfb = bench.pc->lfb();
    for (uint32_t i = 0; i < bench.pc->videoMemoryBytes(); ++i)
        lfb[i] = static_cast<uint8_t>(i * 7);
    machine::Picture picture;
    bench.pc->scanOut(picture);
    const size_t bytes = picture.pixels.size() * (mode == 0x101 ? 1 : 4);
    std::vector<uint8_t> copy(bytes);
    double scanSeconds = 0, copySeconds = 0;
    for (auto _ : state) {
        double start = cpuSeconds();
        bench.pc->scanOut(picture);
        benchmark::DoNotOptimize(picture.pixels.data());
        scanSeconds += cpuSeconds() - start;
        start = cpuSeconds();
        std::memcpy(copy.data(), lfb, bytes);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
        copySeconds += cpuSeconds() - start;
    }
    state.counters["pictures_per_s"] = static_cast<double>(state.iterations()) / scanSeconds;
    state.counters["x_memcpy"] = scanSeconds / copySeconds;
}

void registerAll()
{
    const struct {
        const char* name;
        VbeCall call;
    } calls[] = {
        {"4F00_info", {0x4F00, 0, 0, 0}},
        {"4F01_mode_info", {0x4F01, 0, 0x101, 0}},
        {"4F02_set_mode", {0x4F02, 0x4101, 0, 0}},
        {"4F05_bank", {0x4F05, 0, 0, 3}},
        {"4F06_get_line", {0x4F06, 1, 0, 0}},
        {"4F07_start", {0x4F07, 0, 0, 100}},
        {"4F07_start_retrace", {0x4F07, 0x80, 0, 100}},
        {"4F08_dac", {0x4F08, 0x0800, 0, 0}},
        {"4F09_palette", {0x4F09, 0, 16, 0}},
    };
    for (const char* preset : {"default", "seavgabios"})
        for (const auto& c : calls)
            benchmark::RegisterBenchmark((std::string("vbe/") + preset + "/" + c.name).c_str(),
                                         [preset, call = c.call](benchmark::State& s) { vbeCall(s, preset, call); });
    benchmark::RegisterBenchmark("scan_out/640x480x8", [](benchmark::State& s) { scanOut(s, 0x101, 4096); });
    benchmark::RegisterBenchmark("scan_out/1280x1024x32", [](benchmark::State& s) { scanOut(s, 0x145, 8192); });
}

}  // namespace

int main(int argc, char** argv)
{
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
