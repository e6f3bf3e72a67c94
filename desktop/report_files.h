// Where a run's reports go (--report FILE.json, --junit FILE.xml), checked before the run and
// written at its end, whole or not at all.
#pragma once

#include <string>
#include <vector>

#include "desktop/run_record.h"

namespace desktop {

struct ReportFiles {
    std::string json;   // --report
    std::string junit;  // --junit
    std::string shotsDir;
    bool wanted() const { return !json.empty() || !junit.empty(); }
};

// Before anything is made: each report's folder exists and the report is not a folder (that no
// two options name one file is checkNamedPaths's). Throws std::runtime_error, one line.
void checkReportFiles(const ReportFiles& files);

// Writes the reports of a run's screens, or of a conformance table: both whole, or neither.
// Returns false after one line on stderr saying which could not be written and why.
bool writeScreenReports(const ReportFiles& files, const RunFacts& facts, const std::vector<ScreenEntry>& screens);
bool writeTableReports(const ReportFiles& files, const RunFacts& facts, const std::vector<TableRow>& rows);

}  // namespace desktop
