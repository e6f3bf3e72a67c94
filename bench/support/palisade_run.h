// One run of the palisade binary as a benchmark measures it: its exit and what it cost.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct PalisadeRun {
    bool exitedZero = false;  // ended by itself with status 0
    double cpuSeconds = 0;    // user and system
    double peakMb = 0;        // peak resident set
};

// Runs `program` with `arguments` in `folder` (empty: this process's folder), its output and
// errors thrown away, and waits for it.
PalisadeRun runPalisade(const std::string& program, const std::vector<std::string>& arguments,
                        const std::string& folder = {});

}  // namespace bench
