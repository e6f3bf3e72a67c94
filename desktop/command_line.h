// The palisade command line: which machine, how the monitor is shown, where input comes
// from and where pictures and logs go. The program itself is given no command line.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "desktop/output_files.h"

namespace desktop {

struct Options {
    std::string machine = "default";
    bool machineGiven = false;
    std::string romPath;  // --rom: this video BIOS instead of the machine's
    std::string card;     // --card: the preset of this card ("" when not given)
    bool noKestrel = false;
    bool listMachines = false;
    bool headless = false;
    std::string scriptPath;
    std::string shotsDir;
    std::string vbeLogPath;
    std::string ioLogPath;
    int versionMajor = 4;
    int versionMinor = 0;
    int desktopWidth = 1024;
    int desktopHeight = 768;
    bool conformance = false;            // the VBE conformance table instead of a run
    bool verdict = false;                // headless: judge each full-screen picture against the program's own
    std::vector<std::string> testModes;  // --test MODE: modes whose whole sequence runs, in order
    bool allModes = false;               // --all-modes: every listed mode's sequence
    std::string reportPath;              // --report FILE.json
    std::string junitPath;               // --junit FILE.xml
    bool help = false;
    bool helpMachineFile = false;
    bool version = false;
    // Every file and folder the options name, in order, for checkNamedPaths.
    std::vector<NamedPath> paths;
};

// A command line that cannot be used; the message is one line.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads "--opt value" and "--opt=value"; "--" ends the options (palisade takes no other
// arguments). Throws UsageError for an unknown, repeated or missing option, or one the chosen
// mode does not take.
Options parseCommandLine(int argc, const char* const* argv);

// The machine the options name: --card's preset, else --machine (a preset or a file).
std::string machineName(const Options& options);

}  // namespace desktop
