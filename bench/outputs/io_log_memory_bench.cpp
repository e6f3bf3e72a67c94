// Peak memory of palisade writing the io log of a ROM that loops on OUT until its start-up's
// instruction budget runs out, against the same run without the log (the reference): the log
// goes to its file as the accesses come, so the ratio stays near 1 whatever the ROM does.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/support/palisade_run.h"

namespace fs = std::filesystem;

namespace {

// mov dx, 3C4h; mov al, 7; again: out dx, al; jmp again
void writeLoopingRom(const fs::path& path)
{
    std::string rom(512, '\0');
    const unsigned char start[] = {0x55, 0xAA, 0x01, 0xBA, 0xC4, 0x03, 0xB0, 0x07, 0xEE, 0xEB, 0xFD};
    std::copy(std::begin(start), std::end(start), rom.begin());
    unsigned char sum = 0;
    for (char c : rom)
        sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
    rom.back() = static_cast<char>(-sum);
    std::ofstream(path, std::ios::binary) << rom;
}

// Runs palisade with the arguments in `folder`; its peak resident set in KB.
long peakKb(const fs::path& folder, const std::vector<std::string>& arguments)
{
    const bench::PalisadeRun run = bench::runPalisade(PALISADE_BINARY, arguments, folder.string());
    return run.peakMb > 0 ? long(run.peakMb * 1024) : -1;
}

}  // namespace

int main()
{
    const fs::path folder = fs::temp_directory_path() / ("palisade-io-log-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    writeLoopingRom(folder / "loop.rom");
    // Four times the default budget: ten million log lines folded into one.
    std::ofstream(folder / "loop.machine") << "rom = loop.rom\ninstruction_budget = 20000000\n";
    std::ofstream(folder / "quit.script") << "click 2\n";
    const std::vector<std::string> run = {"--headless", "--script", "quit.script", "--machine", "loop.machine"};
    std::vector<std::string> logged = run;
    logged.insert(logged.end(), {"--io-log", "io.log"});

    const long without = peakKb(folder, run);
    const long with = peakKb(folder, logged);
    std::error_code error;
    const auto logBytes = fs::file_size(folder / "io.log", error);
    std::printf("a ROM looping on OUT for 20,000,000 instructions (10,000,000 writes to 3C4h)\n");
    std::printf("reference: peak RSS without --io-log  %8ld KB\n", without);
    std::printf("peak RSS with --io-log                %8ld KB  x%.2f of the reference\n", with,
                without > 0 ? double(with) / double(without) : 0.0);
    std::printf("io log written                        %8llu bytes\n",
                static_cast<unsigned long long>(error ? 0 : logBytes));
    fs::remove_all(folder);
    return without > 0 && with > 0 ? 0 : 1;
}
