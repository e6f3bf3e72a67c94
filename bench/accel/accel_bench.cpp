// The accelerator suite's two heaviest kinds of screen on the default machine through the
// real display library and accelerator driver, timed alternately in the same run against
// the same bytes written by plain loops into host memory of the screen's size:
//  - drawRectGrid: a full-screen clear and 256 cells; x_plain_fills is ours over memset
//    fills of the same rectangles.
//  - one scrolling phase of the blit test: 60 overlapping full-screen copies (up 5 lines);
//    x_memmove is ours over memmove of the same rows.
// 1.0 would be as fast as writing the pixels can be; the rest is the driver's path.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "accel/accel_suite.h"
#include "app/globals.h"
#include "display_bus/pc_bus.h"
#include "machine/machine.h"
#include "platform/accel.h"
#include "platform/display.h"

namespace {

using WallClock = std::chrono::steady_clock;

double since(WallClock::time_point start)
{
    return std::chrono::duration<double>(WallClock::now() - start).count();
}

struct AcceleratedScreen {
    explicit AcceleratedScreen(uint16_t mode)
    {
        pc = std::make_unique<machine::Machine>(machine::presetConfig("default"), *clock);
        machine::setCurrent(pc.get());
        display_bus::connectCurrentMachine();
        displayContext = GX_init(0);
        ModeInfo info{};
        ok = displayContext && GX_getModeInfo(mode, &info) &&
             GX_setMode(mode | MODE_LINEAR_FRAMEBUFFER | MODE_SET_BY_TEST_RUN, 0, 1, info.modeSetValue) &&
             displayContext->accel;
        if (ok) {
            blackColor = mapColor(0);
            whiteColor = mapColor(15);
        }
    }
    ~AcceleratedScreen()
    {
        displayContext = nullptr;
        machine::setCurrent(nullptr);
    }

    std::unique_ptr<machine::Clock> clock = machine::makeVirtualClock();
    std::unique_ptr<machine::Machine> pc;
    bool ok = false;
};

struct HostScreen {
    int width, height, bytesPerPixel;
    std::vector<uint8_t> bytes;

    HostScreen(const DisplayContext& dc)
        : width(dc.maxX + 1), height(dc.maxY + 1), bytesPerPixel(dc.bitsPerPixel <= 8 ? 1 : (dc.bitsPerPixel + 7) / 8),
          bytes(size_t(width) * height * bytesPerPixel)
    {
    }

    void fill(int left, int top, int w, int h, uint8_t value)
    {
        w = std::min(w, width - left);
        h = std::min(h, height - top);
        for (int y = top; y < top + h; ++y)
            std::memset(&bytes[(size_t(y) * width + left) * bytesPerPixel], value, size_t(w) * bytesPerPixel);
    }

    // The grid's geometry: a clear, then 16 by 16 cells of 2u by 2v at a pitch of 3u by 3v.
    void grid()
    {
        fill(0, 0, width, height, 0);
        const int u = width / 46, v = (height - 11) / 47;
        for (int r = 0; r < 16; ++r)
            for (int c = 0; c < 16; ++c)
                fill(u + 3 * u * c, v + 3 * v * r, 2 * u, 2 * v, uint8_t(1 + 16 * r + c));
    }

    void scrollUp5()
    {
        const size_t line = size_t(width) * bytesPerPixel;
        std::memmove(bytes.data(), bytes.data() + 5 * line, (height - 5) * line);
    }
};

void rectGrid(benchmark::State& state, uint16_t mode)
{
    AcceleratedScreen screen(mode);
    if (!screen.ok) {
        state.SkipWithError("accelerated mode not set");
        return;
    }
    HostScreen plain(*displayContext);
    double ours = 0, reference = 0;
    for (auto _ : state) {
        auto start = WallClock::now();
        drawRectGrid(0);
        ours += since(start);

        start = WallClock::now();
        plain.grid();
        benchmark::DoNotOptimize(plain.bytes.data());
        benchmark::ClobberMemory();
        reference += since(start);
    }
    state.counters["screens_per_second"] = double(state.iterations()) / ours;
    state.counters["x_plain_fills"] = ours / reference;
}

void scrollPhase(benchmark::State& state, uint16_t mode)
{
    AcceleratedScreen screen(mode);
    if (!screen.ok) {
        state.SkipWithError("accelerated mode not set");
        return;
    }
    const DisplayContext& dc = *displayContext;
    HostScreen plain(dc);
    drawRectGrid(0);
    plain.grid();
    double ours = 0, reference = 0;
    for (auto _ : state) {
        auto start = WallClock::now();
        for (int y = 0; y < dc.maxY; y += 8)
            AF_bitBlt(dc.accel, 0, 5, dc.maxX + 1, dc.maxY - 4, 0, 0, AF_REPLACE_MIX);
        ours += since(start);

        start = WallClock::now();
        for (int y = 0; y < dc.maxY; y += 8)
            plain.scrollUp5();
        benchmark::DoNotOptimize(plain.bytes.data());
        benchmark::ClobberMemory();
        reference += since(start);
    }
    state.counters["phases_per_second"] = double(state.iterations()) / ours;
    state.counters["x_memmove"] = ours / reference;
}

BENCHMARK_CAPTURE(rectGrid, 640x480x8, 0x101)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rectGrid, 1024x768x32, 0x144)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(scrollPhase, 640x480x8, 0x101)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(scrollPhase, 1024x768x32, 0x144)->Unit(benchmark::kMillisecond);

}  // namespace
