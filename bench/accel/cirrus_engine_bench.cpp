// The accelerator's fills and copies on the GD5446's BitBLT engine (the cirrus machine, its
// back end driving the card model through the ports), timed alternately in the same run
// against two references doing the same bytes:
//  - x_software: the same operations in software into the same framebuffer (the path the
//    DISPI card's back end draws by);
//  - x_memset / x_memmove: plain memset / memmove of the same rows in host memory.
// Fills: the suite's rectangle grid (a full-screen clear and 256 cells). Copies: one
// scrolling phase (60 overlapping full-screen copies, up 5 lines). Below 1.0 the engine is
// faster than the reference.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "display/accel_backend.h"
#include "display_accel/cirrus_accel.h"
#include "display/hardware_bus.h"
#include "display_bus/pc_bus.h"
#include "machine/machine.h"
#include "platform/display.h"

namespace {

using WallClock = std::chrono::steady_clock;

double since(WallClock::time_point start)
{
    return std::chrono::duration<double>(WallClock::now() - start).count();
}

class SoftwareBackend : public display::AccelBackend {
public:
    uint32_t entries() const override { return 0; }
};

// The cirrus machine in 640 x 480 at a depth, its engine's back end and the screen.
struct EngineScreen {
    explicit EngineScreen(int depth)
    {
        pc = std::make_unique<machine::Machine>(machine::presetConfig("cirrus"), *clock);
        machine::setCurrent(pc.get());
        display_bus::connectCurrentMachine();
        DisplayContext* dc = GX_init(0);
        ModeInfo info{};
        for (const uint16_t* m = dc ? dc->modeList : nullptr; m && *m != 0xFFFF && !ok; ++m)
            ok = GX_getModeInfo(*m, &info) && info.xResolution == 640 && info.yResolution == 480 &&
                 info.bitsPerPixel == depth && GX_setMode(*m | MODE_LINEAR_FRAMEBUFFER, 0, 1, info.modeSetValue);
        engine = ok ? display::probeCirrusAccel(*display::bus()) : nullptr;
        ok = ok && engine;
        screen.memory = pc->lfb();
        screen.memoryBytes = pc->videoMemoryBytes();
        screen.width = 640;
        screen.height = 480;
        screen.bytesPerLine = info.bytesPerScanLine;
        screen.bytesPerPixel = (depth + 7) / 8;
    }
    ~EngineScreen() { machine::setCurrent(nullptr); }

    std::unique_ptr<machine::Clock> clock = machine::makeVirtualClock();
    std::unique_ptr<machine::Machine> pc;
    std::unique_ptr<display::AccelBackend> engine;
    SoftwareBackend software;
    display::Surface screen;
    display::AccelState state;
    bool ok = false;
};

constexpr int U = 640 / 46, V = (480 - 11) / 47;

void grid(display::AccelBackend& b, const EngineScreen& e)
{
    b.drawRect(e.screen, e.state, 0, 0, 0, 640, 480);
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c)
            b.drawRect(e.screen, e.state, uint32_t(1 + 16 * r + c) * 0x0101u, U + 3 * U * c, V + 3 * V * r, 2 * U,
                       2 * V);
}

void scrollPhase(display::AccelBackend& b, const EngineScreen& e)
{
    for (int y = 0; y < 479; y += 8)
        b.bitBlt(e.screen, e.state, 0, 5, 640, 475, 0, 0, display::MIX_REPLACE, display::Transparency::NONE, 0);
}

// The same bytes in host memory.
struct HostScreen {
    size_t line;
    int bpp;
    std::vector<uint8_t> bytes;
    explicit HostScreen(int bytesPerPixel) : line(640u * size_t(bytesPerPixel)), bpp(bytesPerPixel), bytes(line * 480)
    {
    }
    void grid()
    {
        std::memset(bytes.data(), 0, bytes.size());
        for (int r = 0; r < 16; ++r)
            for (int c = 0; c < 16; ++c)
                for (int y = V + 3 * V * r; y < V + 3 * V * r + 2 * V; ++y)
                    std::memset(&bytes[size_t(y) * line + size_t(U + 3 * U * c) * size_t(bpp)], 1 + 16 * r + c,
                                size_t(2 * U * bpp));
    }
    void scrollPhase()
    {
        for (int y = 0; y < 479; y += 8)
            std::memmove(bytes.data(), bytes.data() + 5 * line, 475 * line);
    }
};

template <class Engine, class Software, class Host>
void compare(benchmark::State& state, int depth, const char* hostName, Engine onEngine, Software inSoftware,
             Host inHost)
{
    EngineScreen e(depth);
    if (!e.ok) {
        state.SkipWithError("640 x 480 not set on the cirrus machine");
        return;
    }
    HostScreen host(e.screen.bytesPerPixel);
    double engine = 0, software = 0, reference = 0;
    for (auto _ : state) {
        auto start = WallClock::now();
        onEngine(*e.engine, e);
        engine += since(start);

        start = WallClock::now();
        inSoftware(e.software, e);
        software += since(start);

        start = WallClock::now();
        inHost(host);
        benchmark::DoNotOptimize(host.bytes.data());
        benchmark::ClobberMemory();
        reference += since(start);
    }
    state.counters["x_software"] = engine / software;
    state.counters[hostName] = engine / reference;
    state.SetLabel(std::string("engine time over: software into the same framebuffer (x_software), ") + (hostName + 2) +
                   " of the same rows in host memory (" + hostName + ")");
}

void fills(benchmark::State& state, int depth)
{
    compare(state, depth, "x_memset", grid, grid, [](HostScreen& h) { h.grid(); });
}

void copies(benchmark::State& state, int depth)
{
    compare(state, depth, "x_memmove", scrollPhase, scrollPhase, [](HostScreen& h) { h.scrollPhase(); });
}

BENCHMARK_CAPTURE(fills, engine_grid_640x480x8, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fills, engine_grid_640x480x16, 16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(copies, engine_scroll_640x480x8, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(copies, engine_scroll_640x480x16, 16)->Unit(benchmark::kMillisecond);

}  // namespace
