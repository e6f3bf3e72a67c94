// What testing QEMU's PC costs against the virtual PC, as wall time in the same run: the VBE
// conformance table (both columns, each on a PC of its own), and the 640x480 8-bit sequence of
// the palisade executable, headless, with every screen pictured. The reference is the virtual
// PC with the same card and ROM (default for qemu-vga, cirrus for qemu-cirrus).
//   engine_bench PALISADE SCRIPT
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
    std::printf("wall time on QEMU's PC (TCG) against the virtual PC with the same card and ROM\n");
    for (const auto& [qemu, reference] : {std::pair<std::string, std::string>{"qemu-vga", "default"},
                                          std::pair<std::string, std::string>{"qemu-cirrus", "cirrus"}}) {
        report("conformance table (BIOS, Kestrel)", qemu, conformanceSeconds(qemu), reference,
               conformanceSeconds(reference));
        report("640x480x8 sequence, pictured", qemu, sequenceSeconds(palisade, script, qemu), reference,
               sequenceSeconds(palisade, script, reference));
    }
    return 0;
}
