// palisade --conformance: the conformance table of one machine on stdout, a summary on stderr,
// and the page and reports of it that were asked for.
#pragma once

#include <functional>
#include <string>

#include "desktop/report_files.h"
#include "desktop/run_record.h"
#include "pc/pc.h"

namespace judge {

// One tab-separated line per row (name, BIOS verdict, Kestrel verdict) on stdout, the summary
// on stderr and, with a shots folder, DIR/conformance.html headed by the run's facts and
// counts; the reports with its rows. The machines' register accesses go to `ioLog` when one is
// given. Returns the exit status: 0 when every verdict is pass or n/a, 1 when any fails, 2 when
// the machine cannot start or the page or a report cannot be written.
int conformanceCommand(const pc::MachineConfig& config, const desktop::ReportFiles& outputs,
                       desktop::RunFacts facts, const std::function<void(const std::string&)>& ioLog = {});

}  // namespace judge
