// The display library's drawing, each timed against a reference in the same run on the same
// video memory: a full-screen clear against memset of the same bytes (x_memset), rectangle
// fills and screen-to-screen blits against pixman on the same sizes (x_pixman), lines per
// second, and page flips per second without the retrace against the memory bound of the page
// clear each flip makes (x_clear_bound). A ratio of 1.0 is parity; below 1.0 is faster.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <random>

#include "display_bus/pc_bus.h"
#include "machine/machine.h"
#include "platform/accel.h"
#include "platform/display.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A booted machine in a mode set through the display library, as the program sets it.
struct Screen {
    Screen(uint16_t mode, bool linear, uint32_t videoMemoryKb = 4096)
    {
        machine::MachineConfig config = machine::presetConfig("default");
        config.videoMemoryKb = videoMemoryKb;
        pc = std::make_unique<machine::Machine>(config, *clock);
        machine::setCurrent(pc.get());
        display_bus::connectCurrentMachine();
        dc = GX_init(0);
        ModeInfo info{};
        ok = dc && GX_getModeInfo(mode, &info) &&
             GX_setMode(mode | (linear ? 0x4000 : 0) | MODE_SET_BY_TEST_RUN, 0, linear, info.modeSetValue);
    }
    ~Screen() { machine::setCurrent(nullptr); }
    uint8_t* lfb() const { return pc->lfb(); }
    size_t pageBytes() const { return size_t(dc->bytesPerLine) * size_t(dc->maxY + 1); }
    int bytesPerPixel() const { return (dc->bitsPerPixel + 7) / 8; }

    std::unique_ptr<machine::Clock> clock = machine::makeVirtualClock();
    std::unique_ptr<machine::Machine> pc;
    DisplayContext* dc = nullptr;
    bool ok = false;
};

void clearScreen(benchmark::State& state, uint16_t mode)
{
    Screen s(mode, true);
    if (!s.ok) {
        state.SkipWithError("mode not set");
        return;
    }
    double ours = 0, reference = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        GX_clear(0x12345678);
        ours += since(start);
        start = Clock::now();
        std::memset(s.lfb(), 0x5A, s.pageBytes());
        benchmark::ClobberMemory();
        reference += since(start);
    }
    state.counters["x_memset"] = ours / reference;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.pageBytes()));
}

void fillRect(benchmark::State& state, uint16_t mode, int width, int height)
{
    Screen s(mode, true);
    if (!s.ok || !s.dc->accel) {
        state.SkipWithError("no accelerated mode");
        return;
    }
    AF_setMix(s.dc->accel, AF_REPLACE_MIX, AF_REPLACE_MIX);
    const int bpp = s.bytesPerPixel() * 8;
    uint32_t* bits = reinterpret_cast<uint32_t*>(s.lfb());
    const int stride = s.dc->bytesPerLine / 4;
    double ours = 0, reference = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        AF_drawRect(s.dc->accel, 0x00A0B0C0, 7, 5, width, height);
        ours += since(start);
        start = Clock::now();
        pixman_fill(bits, stride, bpp, 7, 5, width, height, 0x00C0B0A0);
        benchmark::ClobberMemory();
        reference += since(start);
    }
    state.counters["x_pixman"] = ours / reference;
}

void blit(benchmark::State& state, uint16_t mode, int width, int height)
{
    Screen s(mode, true);
    if (!s.ok || !s.dc->accel) {
        state.SkipWithError("no accelerated mode");
        return;
    }
    const int bpp = s.bytesPerPixel() * 8;
    uint32_t* bits = reinterpret_cast<uint32_t*>(s.lfb());
    const int stride = s.dc->bytesPerLine / 4;
    const int dstX = s.dc->maxX + 1 - width;  // beside the source, not over it
    double ours = 0, reference = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        AF_bitBlt(s.dc->accel, 0, 0, width, height, dstX, 0, AF_REPLACE_MIX);
        ours += since(start);
        start = Clock::now();
        const bool done = pixman_blt(bits, bits, stride, stride, bpp, bpp, 0, 0, dstX, 0, width, height);
        benchmark::ClobberMemory();
        reference += since(start);
        if (!done) {
            state.SkipWithError("pixman has no blit at this depth");
            return;
        }
    }
    state.counters["x_pixman"] = ours / reference;
}

void lines(benchmark::State& state, uint16_t mode, bool linear)
{
    Screen s(mode, linear);
    if (!s.ok) {
        state.SkipWithError("mode not set");
        return;
    }
    std::mt19937 rng(1);
    const int w = s.dc->maxX + 1, h = s.dc->maxY + 1;
    GX_beginLine();
    for (auto _ : state)
        GX_lineFast(int(rng() % w), int(rng() % h), int(rng() % w), int(rng() % h), rng() & 0xFF);
    GX_endLine();
    state.counters["lines_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void pageFlips(benchmark::State& state, uint16_t mode, uint32_t videoMemoryKb)
{
    Screen s(mode, true, videoMemoryKb);
    if (!s.ok || s.dc->maxPage < 1) {
        state.SkipWithError("no two pages");
        return;
    }
    int page = 0;
    double ours = 0, bound = 0;
    const uint64_t virtualStart = s.clock->nowMicros();
    for (auto _ : state) {
        auto start = Clock::now();
        GX_setActivePage(page);
        GX_clear(0);
        GX_setVisualPage(page, 0);
        ours += since(start);
        start = Clock::now();
        std::memset(s.lfb() + size_t(page) * s.pageBytes(), 0, s.pageBytes());
        benchmark::ClobberMemory();
        bound += since(start);
        page = 1 - page;
    }
    const double flips = double(state.iterations());
    state.counters["flips_per_second"] = flips / ours;
    state.counters["x_clear_bound"] = ours / bound;
    // What a headless run shows: the flips the virtual clock saw in a second of its time.
    const double virtualSeconds = double(s.clock->nowMicros() - virtualStart) / 1e6;
    state.counters["virtual_flips_per_second"] = virtualSeconds > 0 ? flips / virtualSeconds : 0;
}

BENCHMARK_CAPTURE(clearScreen, 640x480x8, 0x101);
BENCHMARK_CAPTURE(clearScreen, 1024x768x32, 0x144);
BENCHMARK_CAPTURE(fillRect, 64x64x32, 0x144, 64, 64);
BENCHMARK_CAPTURE(fillRect, 256x256x32, 0x144, 256, 256);
BENCHMARK_CAPTURE(fillRect, 1000x700x32, 0x144, 1000, 700);
BENCHMARK_CAPTURE(fillRect, 256x256x8, 0x105, 256, 256);
BENCHMARK_CAPTURE(blit, 64x64x32, 0x144, 64, 64);
BENCHMARK_CAPTURE(blit, 256x256x32, 0x144, 256, 256);
BENCHMARK_CAPTURE(blit, 500x700x32, 0x144, 500, 700);
BENCHMARK_CAPTURE(blit, 256x256x16, 0x117, 256, 256);
BENCHMARK_CAPTURE(lines, linear_640x480x8, 0x101, true);
BENCHMARK_CAPTURE(lines, banked_640x480x8, 0x101, false);
BENCHMARK_CAPTURE(lines, linear_1024x768x32, 0x144, true);
BENCHMARK_CAPTURE(pageFlips, 640x480x8, 0x101, 4096);
BENCHMARK_CAPTURE(pageFlips, 1024x768x32_8MB, 0x144, 8192);  // two pages need more than 4 MB

}  // namespace

BENCHMARK_MAIN();
