// What testing QEMU's PC costs against the virtual PC, as wall time in the same run: the VBE
// conformance table (both columns, each on a PC of its own), and the 640x480 8-bit sequence of
// the palisade executable, headless, with every screen pictured. The reference is the virtual
// PC with the same card and ROM (default for qemu-vga, cirrus for qemu-cirrus). The goals: the
// table under 10 s on QEMU; the sequence under three times the virtual PC's time plus the
// real-time waits QEMU cannot skip (the script's `wait` lines; the virtual PC's headless clock
// is virtual and skips them).
//   engine_bench PALISADE SCRIPT
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/boot.h"
#include "judge/conformance.h"

namespace {

double seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double conformanceSeconds(const std::string& machine)
{
    const auto start = std::chrono::steady_clock::now();
    std::string kestrelAbsent;
    judge::conformanceTable(engine::loadMachine(machine), kestrelAbsent);
    return seconds(std::chrono::steady_clock::now() - start);
}

// One headless run of the script in a fresh folder, pictures included; negative when it failed.
double sequenceSeconds(const std::string& palisade, const std::string& script, const std::string& machine)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("engine-bench-" + machine);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const std::string shots = (folder / "shots").string();
        execl(palisade.c_str(), palisade.c_str(), "--headless", "--machine", machine.c_str(), "--script",
              script.c_str(), "--shots", shots.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = -1;
    waitpid(child, &status, 0);
    const double taken = seconds(std::chrono::steady_clock::now() - start);
    std::filesystem::remove_all(folder);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? taken : -1;
}

// The seconds the script's `wait MS` lines spend.
double scriptWaitSeconds(const std::string& script)
{
    std::ifstream file(script);
    std::string line, word;
    double ms = 0;
    while (std::getline(file, line)) {
        std::istringstream words(line);
        double value = 0;
        if (words >> word && word == "wait" && words >> value)
            ms += value;
    }
    return ms / 1000;
}

void report(const char* what, const std::string& machine, double qemu, const std::string& reference, double virt)
{
    if (qemu < 0 || virt < 0) {
        std::printf("%-34s %-22s failed\n", what, machine.c_str());
        return;
    }
    std::printf("%-34s %-22s %7.2f s   reference %-10s %6.2f s   ratio %5.1fx\n", what, machine.c_str(), qemu,
                reference.c_str(), virt, qemu / virt);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: engine_bench PALISADE SCRIPT\n");
        return 2;
    }
    const std::string palisade = argv[1], script = argv[2];
    const double waits = scriptWaitSeconds(script);
    std::printf("wall time on QEMU's PC (TCG) against the reference, the virtual PC with the same card and ROM\n");
    for (const auto& [qemu, reference] : {std::pair<std::string, std::string>{"qemu-vga", "default"},
                                          std::pair<std::string, std::string>{"qemu-cirrus", "cirrus"}}) {
        const double table = conformanceSeconds(qemu);
        report("conformance table (BIOS, Kestrel)", qemu, table, reference, conformanceSeconds(reference));
        std::printf("  goal: under 10 s on QEMU: %s\n", table >= 0 && table < 10 ? "met" : "missed");
        const double onQemu = sequenceSeconds(palisade, script, qemu);
        const double onVirtual = sequenceSeconds(palisade, script, reference);
        report("640x480x8 sequence, pictured", qemu, onQemu, reference, onVirtual);
        if (onQemu >= 0 && onVirtual >= 0) {
            const double goal = 3 * onVirtual + waits;
            std::printf("  goal: under 3 x %.2f s + %.1f s of real-time waits = %.2f s: %s\n", onVirtual, waits, goal,
                        onQemu < goal ? "met" : "missed");
        }
    }
    return 0;
}
