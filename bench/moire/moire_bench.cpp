// drawMoire, the fan and border that the moire, palette and scrolling screens start from, on
// the default machine through the real display library, timed alternately in the same run
// against the same lines drawn by a plain Bresenham loop into host memory of the same size.
// x_plain_lines is ours over the plain loop's time: 1.0 would be drawing as fast as writing
// the pixels can be; the rest is the library's per-line and per-pixel path (banks, planes).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/globals.h"
#include "display_bus/pc_bus.h"
#include "machine/machine.h"
#include "platform/display.h"
#include "tests/moire.h"

namespace {

using WallClock = std::chrono::steady_clock;

double since(WallClock::time_point start)
{
    return std::chrono::duration<double>(WallClock::now() - start).count();
}

struct Screen {
    Screen(uint16_t mode, bool linear)
    {
        pc = std::make_unique<machine::Machine>(machine::presetConfig("default"), *clock);
        machine::setCurrent(pc.get());
        display_bus::connectCurrentMachine();
        displayContext = GX_init(0);
        ModeInfo info{};
        ok = displayContext && GX_getModeInfo(mode, &info) &&
             GX_setMode(mode | (linear ? MODE_LINEAR_FRAMEBUFFER : 0) | MODE_SET_BY_TEST_RUN, 0, linear,
                        info.modeSetValue);
    }
    ~Screen()
    {
        displayContext = nullptr;
        machine::setCurrent(nullptr);
    }

    std::unique_ptr<machine::Clock> clock = machine::makeVirtualClock();
    std::unique_ptr<machine::Machine> pc;
    bool ok = false;
};

// The reference: every fan line and the border, one pixel of bytesPerPixel bytes at a time.
struct PlainCanvas {
    int width, height, bytesPerPixel;
    std::vector<uint8_t> bytes;

    PlainCanvas(int w, int h, int bpp) : width(w), height(h), bytesPerPixel(bpp), bytes(size_t(w) * h * bpp) {}

    void line(int x1, int y1, int x2, int y2, uint32_t color)
    {
        const int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
        const int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            std::memcpy(&bytes[(size_t(y1) * width + x1) * bytesPerPixel], &color, bytesPerPixel);
            if (x1 == x2 && y1 == y2)
                return;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x1 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y1 += sy;
            }
        }
    }

    // The same geometry as the moire fan: step 5 in palette modes, 1 in direct-colour modes.
    void fan(bool palette)
    {
        const int maxX = width - 1, maxY = height - 1, cx = maxX / 2, cy = maxY / 2;
        const int step = palette ? 5 : 1;
        for (int i = 0; i < maxX; i += step) {
            line(cx, cy, i, 0, uint32_t(i));
            line(cx, cy, i, maxY, uint32_t(i + 1));
        }
        for (int i = 0; i < maxY; i += step) {
            line(cx, cy, 0, i, uint32_t(i + 2));
            line(cx, cy, maxX, i, uint32_t(i + 3));
        }
        line(0, 0, maxX, 0, 15);
        line(0, 0, 0, maxY, 15);
        line(maxX, 0, maxX, maxY, 15);
        line(0, maxY, maxX, maxY, 15);
    }
};

void moireFan(benchmark::State& state, uint16_t mode, bool linear)
{
    Screen screen(mode, linear);
    if (!screen.ok) {
        state.SkipWithError("mode not set");
        return;
    }
    const DisplayContext& dc = *displayContext;
    const int bytesPerPixel = dc.bitsPerPixel <= 8 ? 1 : (dc.bitsPerPixel + 7) / 8;
    PlainCanvas plain(dc.maxX + 1, dc.maxY + 1, bytesPerPixel);
    const bool palette = dc.maxColor < 0x7FFF;

    double ours = 0, reference = 0;
    for (auto _ : state) {
        auto start = WallClock::now();
        drawMoire(dc.defaultColor);
        ours += since(start);

        start = WallClock::now();
        plain.fan(palette);
        benchmark::DoNotOptimize(plain.bytes.data());
        benchmark::ClobberMemory();
        reference += since(start);
    }
    state.counters["screens_per_second"] = double(state.iterations()) / ours;
    state.counters["x_plain_lines"] = ours / reference;
}

BENCHMARK_CAPTURE(moireFan, 800x600x4_planar, 0x102, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(moireFan, 640x480x8_banked, 0x101, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(moireFan, 640x480x8_linear, 0x101, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(moireFan, 1024x768x32_linear, 0x144, true)->Unit(benchmark::kMillisecond);

}  // namespace
