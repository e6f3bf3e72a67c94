// The conformance table as an HTML page: a row per check, failures in red with their reasons.
#include <string>

#include "judge/conformance.h"

namespace judge {
namespace {

std::string escapeHtml(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string cell(const RowVerdict& verdict)
{
    const char* style = verdict.kind == RowVerdict::Kind::Fail ? " class=\"fail\"" : "";
    return std::string("<td") + style + ">" + escapeHtml(verdict.text()) + "</td>";
}

}  // namespace

std::string conformancePage(const std::string& machineName, const std::vector<ConformanceRow>& table)
{
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>VBE conformance of " + escapeHtml(machineName) +
        "</title>\n<style>body{font-family:sans-serif}td,th{border:1px solid #888;padding:2px 6px;"
        "text-align:left}table{border-collapse:collapse}.fail{background:#fcc}</style></head><body>\n"
        "<h1>VBE conformance of " +
        escapeHtml(machineName) + "</h1>\n<table>\n<tr><th>check</th><th>BIOS</th><th>Kestrel</th></tr>\n";
    for (const ConformanceRow& row : table)
        page += "<tr><td>" + escapeHtml(row.name) + "</td>" + cell(row.bios) + cell(row.kestrel) + "</tr>\n";
    return page + "</table>\n</body></html>\n";
}

}  // namespace judge
