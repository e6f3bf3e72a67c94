// Runs the real palisade binary from a check: fork and exec (no shell), a working folder,
// a time limit, and stdout and stderr read back. runHeadless adds a script, a machine and a
// folder of its own for the program and its pictures.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "checks/support/picture.h"

namespace harness {

// The whole of a file the program left, as bytes; empty when there is none.
std::string readFile(const std::filesystem::path& path);

// The palisade built beside the checks; KSWIN.EXE sits in the same folder.
std::string palisadeBinary();

// A new, empty folder for the check that is running, named after it: PREFIX-TEST-PID under
// the temporary folder.
std::filesystem::path checkFolder(const std::string& prefix);

// Copies palisade and, unless asked otherwise, KSWIN.EXE into folder (made if need be), which
// becomes the program a check runs: the program folders it makes are that check's alone.
// Returns the copy of palisade.
std::filesystem::path installProgram(const std::filesystem::path& folder, bool withGenerator = true);

struct Launch {
    std::string program = palisadeBinary();
    std::vector<std::string> arguments;
    std::string folder;                         // the working folder; empty: the check's own
    std::vector<std::string> unsetEnvironment;  // e.g. DISPLAY, for a run without a display
    std::vector<std::pair<std::string, std::string>> setEnvironment;
    // Non-zero: no file may grow beyond this many bytes, as on a disk that fills up (a write
    // past it fails with EFBIG instead of ending the program).
    uint64_t fileSizeLimit = 0;
    std::chrono::seconds limit{300};  // a run still going then is killed and throws
};

struct Exit {
    int status = -1;  // 128 + the signal when a signal ended it
    std::string out;
    std::string err;
};

Exit runProgram(const Launch& launch);

struct HeadlessOptions {
    std::string machine = "default";
    std::string script;  // its text, written to FOLDER/run.script
    std::vector<std::string> extraArguments;
    bool withGenerator = true;  // KSWIN.EXE beside the program
    bool vbeLog = false;        // --vbe-log FOLDER/vbe.log
    // Empty: a fresh folder, removed afterwards unless a test has failed. Otherwise this
    // folder, emptied first and kept, for a look at the pictures after the checks.
    std::string folder;
    std::chrono::seconds limit{300};
};

// One headless run. The program and, unless asked otherwise, its generator are copied into
// the run's folder, so that the driver one machine leaves behind never reaches another run.
class HeadlessRun {
public:
    HeadlessRun() = default;
    HeadlessRun(HeadlessRun&& other) noexcept;
    HeadlessRun& operator=(HeadlessRun&& other) noexcept;
    ~HeadlessRun();

    int exitStatus = -1;
    std::string out;
    std::string err;
    std::string dir;  // the program's folder

    std::string shots() const { return dir + "/shots"; }
    std::string vbeLog() const { return dir + "/vbe.log"; }
    Picture shot(const std::string& name) const;  // shots/NAME.png; throws when missing
    // The index page's pictures in order: what each showed, after the script's names for it
    // ("moire \u2014 Bank switching test / ... (full screen 640 x 480, 8 bit)").
    std::vector<std::string> captions() const;

private:
    friend HeadlessRun runHeadless(const HeadlessOptions& options);
    void removeFolder();
    bool removeAfterwards_ = false;
};

// palisade --headless --machine MACHINE --script FOLDER/run.script --shots FOLDER/shots ...
HeadlessRun runHeadless(const HeadlessOptions& options);

}  // namespace harness
