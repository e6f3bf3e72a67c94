// The --io-log file: the machine's register accesses named as the chip's documents name them,
// a run of one line written once with its count, and the program's interrupts marked.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "machine/io_log_names.h"

class IoLogFile {
public:
    // Writes to `file`, which stays the caller's; `card` is the machine's card type.
    IoLogFile(std::FILE* file, const std::string& card);

    void access(const std::string& raw);  // a line of the machine's io log
    void note(const std::string& line);   // a "# " line of the run's own
    void flush();                         // writes what is held back, before the file is closed

private:
    void write(const std::string& line);
    void writeHeld();

    std::FILE* file_;
    machine::IoLogNamer namer_;
    std::string last_;  // the line last taken, not yet written
    uint64_t count_ = 0;
};
