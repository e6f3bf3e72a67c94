// The palisade command line: which machine, how the monitor is shown, where input comes
// from and where pictures and logs go. The program itself is given no command line.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace desktop {

struct Options {
    std::string machine = "default";
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
    bool version = false;
};

// A command line that cannot be used; the message is one line.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

Options parseCommandLine(int argc, const char* const* argv);  // throws UsageError
std::string helpText();

}  // namespace desktop
