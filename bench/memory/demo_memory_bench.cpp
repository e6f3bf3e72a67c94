// Peak resident memory of the headless demo (scripts/demo.script: an 8-bit and a 32-bit run)
// on `bigvram`, 512 MB of video memory, as a ratio to the same demo on `default` (4 MB)
// measured in the same run, with and without --verdict (which keeps a copy of video memory).
// Video memory costs host memory only where it is drawn, so the goal is at most twice the
// default's peak plus what the pictures need: the page-flip test draws every page it has, 137
// pages of 640x480x32 (the display start reaches no further), 168 MB, twice that with the
// verdict's copy.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/support/palisade_run.h"

namespace {

namespace fs = std::filesystem;

// The pages the 32-bit run of the demo draws on a 512 MB card, in MB.
constexpr double PAGE_MB = 640.0 * 480 * 4 / (1 << 20);
constexpr int FLIP_PAGES = 0xFFFF / 480 + 1;

// The peak resident set of one demo run in MB, or -1 when it did not end with status 0.
double demoPeakMb(const std::string& machine, bool verdict)
{
    const fs::path work = fs::temp_directory_path() / ("palisade-memory-bench-" + std::to_string(getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    // The program's own folder beside a copy of it, as a user's install.
    const fs::path binary = PALISADE_BINARY;
    fs::copy_file(binary, work / "palisade");
    fs::copy_file(binary.parent_path() / "KSWIN.EXE", work / "KSWIN.EXE");
    const std::string script = std::string(PALISADE_SOURCE_DIR) + "/scripts/demo.script";
    const std::string shots = (work / "shots").string();
    const std::string program = (work / "palisade").string();
    std::vector<std::string> arguments = {"--headless", "--machine", machine, "--script", script, "--shots", shots};
    if (verdict)
        arguments.push_back("--verdict");
    const bench::PalisadeRun run = bench::runPalisade(program, arguments);
    const double peak = run.exitedZero ? run.peakMb : -1;
    fs::remove_all(work);
    return peak;
}

// The reference: the default machine's peak, measured first in the same run.
std::map<bool, double>& defaultPeak()
{
    static std::map<bool, double> peaks;
    return peaks;
}

void demoOnDefault(benchmark::State& state)
{
    const bool verdict = state.range(0) != 0;
    for (auto _ : state)
        defaultPeak()[verdict] = demoPeakMb("default", verdict);
    state.counters["peak_MB"] = defaultPeak()[verdict];
    if (defaultPeak()[verdict] < 0)
        state.SkipWithError("the demo did not end with status 0");
}

void demoOnBigVram(benchmark::State& state)
{
    const bool verdict = state.range(0) != 0;
    double peak = -1;
    for (auto _ : state)
        peak = demoPeakMb("bigvram", verdict);
    const double reference = defaultPeak().count(verdict) ? defaultPeak()[verdict] : -1;
    if (peak < 0 || reference <= 0) {
        state.SkipWithError("a demo did not end with status 0");
        return;
    }
    const double pictures = FLIP_PAGES * PAGE_MB * (verdict ? 2 : 1);
    state.counters["peak_MB"] = peak;
    state.counters["vs_default"] = peak / reference;
    state.counters["pictures_MB"] = pictures;
    // The goal: at most 2.
    state.counters["vs_default_plus_pictures"] = peak / (reference + pictures);
}

BENCHMARK(demoOnDefault)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(demoOnBigVram)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
