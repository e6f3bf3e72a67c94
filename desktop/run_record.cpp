// Verdict words and counts of a run's screens and of a conformance table.
#include "desktop/run_record.h"

namespace desktop {

std::string verdictWord(const ScreenEntry& screen)
{
    if (!screen.skipped.empty())
        return "skipped";
    if (!screen.judged)
        return "not judged";
    return screen.differs ? "differs" : "pass";
}

std::string hintReason(const std::string& hint)
{
    const std::string counted = " pixels differ; ";
    const size_t at = hint.find(counted);
    return at == std::string::npos ? hint : hint.substr(at + counted.size());
}

ScreenCounts countScreens(const std::vector<ScreenEntry>& screens)
{
    ScreenCounts counts;
    for (const ScreenEntry& screen : screens) {
        ++counts.screens;
        counts.judged += screen.judged;
        counts.pass += screen.judged && !screen.differs;
        counts.differ += screen.differs;
        counts.skipped += !screen.skipped.empty();
    }
    return counts;
}

std::string countsText(const ScreenCounts& counts)
{
    return std::to_string(counts.screens) + " screens: " + std::to_string(counts.judged) + " judged, " +
           std::to_string(counts.pass) + " pass, " + std::to_string(counts.differ) + " differ" +
           (counts.skipped ? ", " + std::to_string(counts.skipped) + " skipped" : "");
}

TableCounts countRows(const std::vector<TableRow>& rows)
{
    TableCounts counts;
    for (const TableRow& row : rows) {
        ++counts.rows;
        counts.biosPass += row.bios.verdict == "pass";
        counts.biosFail += row.bios.verdict == "fail";
        counts.kestrelPass += row.kestrel.verdict == "pass";
        counts.kestrelFail += row.kestrel.verdict == "fail";
        counts.kestrelNotApplicable += row.kestrel.verdict == "n/a";
    }
    return counts;
}

std::string countsText(const TableCounts& counts)
{
    std::string text = std::to_string(counts.rows) + " rows: BIOS " + std::to_string(counts.biosPass) + " pass, " +
                       std::to_string(counts.biosFail) + " fail; Kestrel ";
    if (counts.kestrelNotApplicable == counts.rows && counts.rows > 0)
        return text + "n/a";
    return text + std::to_string(counts.kestrelPass) + " pass, " + std::to_string(counts.kestrelFail) + " fail";
}

}  // namespace desktop
