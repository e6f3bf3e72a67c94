// palisade --conformance: the conformance table of one machine on stdout, a summary on stderr.
#pragma once

#include <functional>
#include <string>

#include "machine/machine.h"

namespace judge {

// One tab-separated line per row (name, BIOS verdict, Kestrel verdict) on stdout, the summary
// on stderr and, with a folder, DIR/conformance.html (the folder checked new or empty by the
// caller, made here). The machines' register accesses go to `ioLog` when one is given. Returns
// the exit status: 0 when every verdict is pass or n/a, 1 when any fails, 2 when the page
// cannot be written.
int conformanceCommand(const machine::MachineConfig& config, const std::string& shotsDir,
                       const std::function<void(const std::string&)>& ioLog = {});

}  // namespace judge
