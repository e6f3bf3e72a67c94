// The GD5446 BitBLT engine: a full-screen solid fill and a full-screen screen-to-screen copy
// (1024 x 768 at 8 and 16 bits), each as a ratio to memset / memmove of the same bytes in the
// same run (goal: within 1.5x).
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstring>
#include <vector>

#include "hw/cirrus.h"
#include "machine/cirrus_blt.h"

namespace {

using namespace cirrus;

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr uint32_t VIDEO_MEMORY = 4u << 20;
constexpr uint32_t WIDTH = 1024, HEIGHT = 768;

void program(machine::CirrusBlt& blt, uint8_t mode, uint32_t lineBytes, uint32_t dst, uint32_t src)
{
    const auto field = [&](uint8_t index, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            blt.writeRegister(static_cast<uint8_t>(index + i), static_cast<uint8_t>(value >> (8 * i)));
    };
    field(gc::BLT_WIDTH, lineBytes - 1, 2);
    field(gc::BLT_HEIGHT, HEIGHT - 1, 2);
    field(gc::BLT_DST_PITCH, lineBytes, 2);
    field(gc::BLT_SRC_PITCH, lineBytes, 2);
    field(gc::BLT_DST_ADDRESS, dst, 3);
    field(gc::BLT_SRC_ADDRESS, src, 3);
    blt.writeRegister(gc::FOREGROUND0, 0x5A);
    blt.writeRegister(gc::FOREGROUND1, 0xA5);
    blt.writeRegister(gc::BLT_MODE, mode);
    blt.writeRegister(gc::BLT_ROP, rop::SRC);
    blt.writeRegister(gc::BLT_MODE_EXTENSION, (mode & gc::BLT_MODE_PATTERN) ? gc::BLT_MODE_EXTENSION_SOLID_FILL : 0);
}

void screen(benchmark::State& state, bool fill, unsigned bytesPerPixel)
{
    std::vector<uint8_t> vram(VIDEO_MEMORY, 1);
    machine::CirrusBlt blt(vram);
    const uint32_t line = WIDTH * bytesPerPixel, bytes = line * HEIGHT;
    const uint8_t depth = bytesPerPixel == 2 ? gc::BLT_MODE_DEPTH_16 : gc::BLT_MODE_DEPTH_8;
    program(blt, fill ? uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN | depth) : depth, line, 0,
            fill ? 0 : bytes);
    double bltSeconds = 0, referenceSeconds = 0;
    for (auto _ : state) {
        double start = cpuSeconds();
        blt.writeRegister(gc::BLT_STATUS, gc::BLT_STATUS_START);
        benchmark::ClobberMemory();
        bltSeconds += cpuSeconds() - start;
        start = cpuSeconds();
        if (fill)
            std::memset(vram.data(), 0x5A, bytes);
        else
            std::memmove(vram.data(), vram.data() + bytes, bytes);
        benchmark::ClobberMemory();
        referenceSeconds += cpuSeconds() - start;
    }
    state.counters["x_reference"] = bltSeconds / referenceSeconds;
    state.counters["screens_per_s"] = static_cast<double>(state.iterations()) / bltSeconds;
}

BENCHMARK_CAPTURE(screen, solid_fill_8bit_vs_memset, true, 1);
BENCHMARK_CAPTURE(screen, solid_fill_16bit_vs_memset, true, 2);
BENCHMARK_CAPTURE(screen, copy_8bit_vs_memmove, false, 1);
BENCHMARK_CAPTURE(screen, copy_16bit_vs_memmove, false, 2);

}  // namespace

BENCHMARK_MAIN();
