// palisade --conformance: the table on stdout, its summary on stderr, its page in the shots folder.
#include "judge/conformance_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <sys/stat.h>

#include "desktop/run_page.h"
#include "desktop/whole_file.h"
#include "judge/conformance.h"

namespace judge {
namespace {

struct Tally {
    int pass = 0, fail = 0;
    void count(const RowVerdict& verdict)
    {
        pass += verdict.kind == RowVerdict::Kind::Pass;
        fail += verdict.kind == RowVerdict::Kind::Fail;
    }
    std::string text() const { return std::to_string(pass) + " pass, " + std::to_string(fail) + " fail"; }
};

desktop::TableCell cellOf(const RowVerdict& verdict)
{
    switch (verdict.kind) {
    case RowVerdict::Kind::Pass: return {"pass", ""};
    case RowVerdict::Kind::Fail: return {"fail", verdict.why};
    case RowVerdict::Kind::NotApplicable: break;
    }
    return {"n/a", ""};
}

// DIR/conformance.html, whole or not at all; false after one line on stderr.
bool writePage(const std::string& shotsDir, const desktop::RunFacts& facts, const std::vector<ConformanceRow>& table,
               const std::vector<desktop::TableRow>& rows)
{
    const std::string path = shotsDir + "/conformance.html";
    try {
        if (mkdir(shotsDir.c_str(), 0777) != 0 && errno != EEXIST)
            throw std::runtime_error("cannot make the folder " + shotsDir + ": " + std::strerror(errno));
        const std::string head = desktop::factsHeader("VBE conformance of " + facts.machine, facts,
                                                      desktop::countsText(desktop::countRows(rows)));
        desktop::writeWhole({{path, conformancePage(head, table)}});
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "palisade: %s\n", error.what());
        return false;
    }
    std::fprintf(stderr, "palisade: the conformance table as a page: %s\n", path.c_str());
    return true;
}

}  // namespace

int conformanceCommand(const pc::MachineConfig& config, const desktop::ReportFiles& outputs,
                       desktop::RunFacts facts, const std::function<void(const std::string&)>& ioLog)
{
    std::string kestrelAbsent;
    std::vector<ConformanceRow> table;
    try {
        table = conformanceTable(config, kestrelAbsent, ioLog);
    } catch (const pc::MachineError& error) {
        std::fprintf(stderr, "palisade: machine: %s\n", error.what());
        return 2;
    }
    Tally bios, kestrel;
    std::vector<desktop::TableRow> rows;
    for (const ConformanceRow& row : table) {
        std::printf("%s\t%s\t%s\n", row.name.c_str(), row.bios.text().c_str(), row.kestrel.text().c_str());
        bios.count(row.bios);
        kestrel.count(row.kestrel);
        rows.push_back({row.name, cellOf(row.bios), cellOf(row.kestrel)});
    }
    std::fflush(stdout);
    std::fprintf(stderr, "palisade: conformance of %s: BIOS %s; Kestrel %s\n", config.name.c_str(), bios.text().c_str(),
                 kestrelAbsent.empty() ? kestrel.text().c_str() : ("n/a (" + kestrelAbsent + ")").c_str());
    facts.exitStatus = bios.fail + kestrel.fail > 0 ? 1 : 0;
    if (!outputs.shotsDir.empty() && !writePage(outputs.shotsDir, facts, table, rows)) {
        facts.exitStatus = 2;
        facts.ending = "the conformance page could not be written";
    }
    if (outputs.wanted() && !desktop::writeTableReports(outputs, facts, rows))
        return 2;
    return facts.exitStatus;
}

}  // namespace judge
