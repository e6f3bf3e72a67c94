// palisade --conformance: the conformance table of one machine on stdout, a summary on stderr.
#pragma once

#include <string>

#include "pc/pc.h"

namespace judge {

// One tab-separated line per row (name, BIOS verdict, Kestrel verdict) on stdout, the summary
// on stderr and, with a folder, DIR/conformance.html. Returns the exit status: 0 when every
// verdict is pass or n/a, 1 when any fails, 2 when the page cannot be written.
int conformanceCommand(const pc::MachineConfig& config, const std::string& shotsDir);

}  // namespace judge
