// What keeping the pictures of a run costs: the headless demo (scripts/demo.script) with
// --shots, in CPU time of the palisade process, against the same demo without --shots
// (x_no_shots: 1.0 would be free; the aim is at most 2).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// CPU seconds (user and system) of one palisade run with these arguments.
double cpuSecondsOf(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), PALISADE_BINARY);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (failed)
        throw std::runtime_error("cannot start " + arguments[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the demo did not end with status 0");
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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
