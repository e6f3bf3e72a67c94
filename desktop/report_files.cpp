// Where a run's reports go: checked before the run, written at its end.
#include "desktop/report_files.h"

#include <cstdio>
#include <stdexcept>

#include "desktop/run_report.h"
#include "desktop/whole_file.h"

namespace desktop {

namespace {

bool writeAll(const std::vector<OutputFile>& files)
{
    try {
        writeWhole(files);
        return true;
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "palisade: %s (no report was written)\n", error.what());
        return false;
    }
}

}  // namespace

void checkReportFiles(const ReportFiles& files)
{
    if (!files.json.empty())
        checkOutputPath("--report", files.json);
    if (!files.junit.empty())
        checkOutputPath("--junit", files.junit);
}

bool writeScreenReports(const ReportFiles& files, const RunFacts& facts, const std::vector<ScreenEntry>& screens)
{
    std::vector<OutputFile> out;
    if (!files.json.empty())
        out.push_back({files.json, screensJson(facts, screens, files.shotsDir)});
    if (!files.junit.empty())
        out.push_back({files.junit, screensJunit(facts, screens, files.shotsDir)});
    return writeAll(out);
}

bool writeTableReports(const ReportFiles& files, const RunFacts& facts, const std::vector<TableRow>& rows)
{
    std::vector<OutputFile> out;
    if (!files.json.empty())
        out.push_back({files.json, tableJson(facts, rows)});
    if (!files.junit.empty())
        out.push_back({files.junit, tableJunit(facts, rows)});
    return writeAll(out);
}

}  // namespace desktop
