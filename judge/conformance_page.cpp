// The conformance table as an HTML page: a row per check, failures in red with their reasons.
#include <string>

#include "desktop/run_page.h"
#include "judge/conformance.h"

namespace judge {
namespace {

std::string cell(const RowVerdict& verdict)
{
    const char* style = verdict.kind == RowVerdict::Kind::Fail ? " class=\"fail\"" : "";
    return std::string("<td") + style + ">" + desktop::escapeHtml(verdict.text()) + "</td>";
}

}  // namespace

std::string conformancePage(const std::string& head, const std::vector<ConformanceRow>& table)
{
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>VBE conformance</title>\n" +
                       desktop::pageStyle() + "</head><body>\n" + head +
                       "<table id=\"conformance\">\n<tr><th>check</th><th>BIOS</th><th>Kestrel</th></tr>\n";
    for (const ConformanceRow& row : table)
        page += "<tr><td>" + desktop::escapeHtml(row.name) + "</td>" + cell(row.bios) + cell(row.kestrel) + "</tr>\n";
    return page + "</table>\n</body></html>\n";
}

}  // namespace judge
