// The page-flip test's frames per second without the retrace wait, on the default machine
// through the real display library, against the bound of a memset of the bytes each frame
// clears, measured alternately in the same run. Each frame shows its page with a 4F07 call:
// to Kestrel, as the program runs the test on this card, or to the Bochs BIOS alone. The
// reference memsets pages of host memory as many and as large as the test's, in the same
// turn, so that the page it clears is as cold as the one the frame clears (untouched for a
// whole cycle of pages). x_memset_bound is the frame's time over the memset's: 1.0 would be a
// frame as fast as clearing its page can be.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/globals.h"
#include "display_bus/pc_bus.h"
#include "kestrel/resident.h"
#include "machine/machine.h"
#include "platform/display.h"
#include "tests/page_flip.h"
#include "tests/test_run.h"

namespace {

using WallClock = std::chrono::steady_clock;

double since(WallClock::time_point start)
{
    return std::chrono::duration<double>(WallClock::now() - start).count();
}

// The default machine, with more video memory where the mode needs it for two pages, in a
// mode set as a test run sets it.
struct Screen {
    Screen(int width, int height, int depth, uint32_t videoMemoryKb, bool kestrel)
    {
        machine::MachineConfig config = machine::presetConfig("default");
        config.videoMemoryKb = videoMemoryKb;
        pc = std::make_unique<machine::Machine>(config, *clock);
        if (kestrel)
            kestrel::installResident(*pc);
        machine::setCurrent(pc.get());
        display_bus::connectCurrentMachine();
        displayContext = GX_init(0);
        if (!displayContext)
            return;
        for (const uint16_t* mode = displayContext->modeList; *mode != 0xFFFF; ++mode) {
            ModeInfo info{};
            if (GX_getModeInfo(*mode, &info) && info.xResolution == width && info.yResolution == height &&
                info.bitsPerPixel == depth) {
                ok = GX_setMode(*mode | MODE_LINEAR_FRAMEBUFFER | MODE_SET_BY_TEST_RUN, 0, 1, info.modeSetValue) &&
                     displayContext->maxPage > 0;
                return;
            }
        }
    }
    ~Screen()
    {
        displayContext = nullptr;
        machine::setCurrent(nullptr);
    }
    size_t pageBytes() const { return size_t(displayContext->bytesPerLine) * size_t(displayContext->maxY + 1); }

    std::unique_ptr<machine::Clock> clock = machine::makeVirtualClock();
    std::unique_ptr<machine::Machine> pc;
    bool ok = false;
};

void pageFlipFrames(benchmark::State& state, int width, int height, int depth, uint32_t videoMemoryKb, bool kestrel)
{
    Screen screen(width, height, depth, videoMemoryKb, kestrel);
    if (!screen.ok) {
        state.SkipWithError("mode with two pages not set");
        return;
    }
    const DisplayContext& dc = *displayContext;
    PageFlipAnimation animation = startPageFlip(dc);
    std::vector<uint8_t> referencePages(size_t(animation.pages) * screen.pageBytes(), 1);
    timerStart();
    double frames = 0, bound = 0;
    for (auto _ : state) {
        const int cleared = animation.active;
        auto start = WallClock::now();
        drawPageFlipFrame(animation, dc, 0);
        frames += since(start);

        start = WallClock::now();
        std::memset(referencePages.data() + size_t(cleared) * screen.pageBytes(), 0, screen.pageBytes());
        benchmark::ClobberMemory();
        bound += since(start);
    }
    state.SetLabel(std::string(kestrel ? "4F07 by Kestrel" : "4F07 by the Bochs BIOS") +
                   "; reference: memset of one of " + std::to_string(animation.pages) +
                   " host pages in turn, as cold as the page the frame clears");
    const double count = double(state.iterations());
    state.counters["flips_per_second"] = count / frames;
    state.counters["memset_bound_per_second"] = count / bound;
    state.counters["x_memset_bound"] = frames / bound;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(screen.pageBytes()));
}

BENCHMARK_CAPTURE(pageFlipFrames, 640x480x8, 640, 480, 8, 4096, true);
BENCHMARK_CAPTURE(pageFlipFrames, 640x480x8_bochs_bios, 640, 480, 8, 4096, false);
// Two pages of 1024 x 768 in 32 bits need more than the default 4 MB.
BENCHMARK_CAPTURE(pageFlipFrames, 1024x768x32_8MB, 1024, 768, 32, 8192, true);

}  // namespace
