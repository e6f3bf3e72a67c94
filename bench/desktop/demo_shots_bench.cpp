// What keeping the pictures of a run costs: the headless demo (scripts/demo.script) with
// --shots, in CPU time of the palisade process, against the same demo without --shots
// (x_no_shots: 1.0 would be free; the aim is at most 2).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/support/palisade_run.h"

namespace {

// CPU seconds of one palisade run with these arguments.
double cpuSecondsOf(const std::vector<std::string>& arguments)
{
    const bench::PalisadeRun run = bench::runPalisade(PALISADE_BINARY, arguments);
    if (!run.exitedZero)
        throw std::runtime_error("the demo did not end with status 0");
    return run.cpuSeconds;
}

void demoWithShots(benchmark::State& state)
{
    const std::string script = std::string(PALISADE_SOURCE_DIR) + "/scripts/demo.script";
    const std::filesystem::path shots =
        std::filesystem::temp_directory_path() / ("palisade-shots-bench-" + std::to_string(getpid()));
    double with = 0, without = 0;
    for (auto _ : state) {
        std::filesystem::remove_all(shots);
        without += cpuSecondsOf({"--headless", "--script", script});
        with += cpuSecondsOf({"--headless", "--script", script, "--shots", shots.string()});
    }
    std::filesystem::remove_all(shots);
    state.counters["x_no_shots"] = with / without;
    state.counters["cpu_s_no_shots"] = without / double(state.iterations());
}
BENCHMARK(demoWithShots)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
