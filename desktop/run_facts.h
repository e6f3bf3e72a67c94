// The facts that head a run's reports and pages, gathered as the run starts.
#pragma once

#include <string>

#include "desktop/run_record.h"

namespace desktop {

// Palisade's version, as --version says it and every report names it.
constexpr const char* PALISADE_VERSION = "6.0";

// The machine, its ROM with the ROM's SHA-256, Palisade's version, now (UTC) and the command
// line as a shell would take it back; the exit status is set when the run ends.
RunFacts startingFacts(const std::string& machine, const std::string& romPath, int argc, const char* const* argv);

// One argument as a POSIX shell reads it back: bare when it is plain, else in single quotes.
std::string shellQuoted(const std::string& argument);

}  // namespace desktop
