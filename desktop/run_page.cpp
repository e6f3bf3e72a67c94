// The index page of a run's pictures, and the head it shares with the conformance page.
#include "desktop/run_page.h"

#include <algorithm>
#include <map>

namespace desktop {

namespace {

std::string fact(const std::string& name, const std::string& value)
{
    return "<dt>" + escapeHtml(name) + "</dt><dd>" + escapeHtml(value) + "</dd>";
}

std::string picture(const std::string& file, const std::string& alt)
{
    return "<a href=\"" + escapeHtml(file) + "\"><img src=\"" + escapeHtml(file) + "\" alt=\"" + escapeHtml(alt) +
           "\" loading=\"lazy\"></a>";
}

// The hints of the differing screens, by reason, most screens first; each with the numbers
// of its screens.
std::string hintGroups(const std::vector<ScreenEntry>& screens)
{
    std::map<std::string, std::vector<const ScreenEntry*>> byReason;
    for (const ScreenEntry& s : screens)
        if (s.differs)
            byReason[hintReason(s.hint)].push_back(&s);
    if (byReason.empty())
        return {};
    std::vector<std::pair<std::string, std::vector<const ScreenEntry*>>> groups(byReason.begin(), byReason.end());
    std::stable_sort(groups.begin(), groups.end(),
                     [](const auto& a, const auto& b) { return a.second.size() > b.second.size(); });
    std::string html = "<section id=\"hints\"><h2>Why screens differ</h2><ul>\n";
    for (const auto& [reason, group] : groups) {
        std::string numbers;
        for (const ScreenEntry* s : group)
            numbers += (numbers.empty() ? "" : ", ") + (s->png.empty() ? std::to_string(s->number) : s->png);
        html += "<li class=\"hint\">" + escapeHtml(reason) + " \u2014 on " + std::to_string(group.size()) +
                (group.size() == 1 ? " screen" : " screens") + " <span class=\"which\">(" + escapeHtml(numbers) +
                ")</span></li>\n";
    }
    return html + "</ul></section>\n";
}

std::string differingScreens(const std::vector<ScreenEntry>& screens)
{
    std::string html;
    for (const ScreenEntry& s : screens) {
        if (!s.differs)
            continue;
        html += "<div class=\"triple\" id=\"differs-" + std::to_string(s.number) + "\"><div class=\"label\">" +
                escapeHtml(s.png) + ": " + escapeHtml(s.caption) + "<br><span class=\"differs\">" + escapeHtml(s.hint) +
                "</span></div>\n";
        for (const auto& [what, file] :
             {std::pair{"meant", s.meantPng}, std::pair{"shown", s.png}, std::pair{"diff", s.diffPng}})
            html += "<div class=\"pane\"><div class=\"what\">" + std::string(what) + "</div>" +
                    (file.empty() ? std::string("<div class=\"none\">no picture</div>") : picture(file, what)) +
                    "</div>\n";
        html += "</div>\n";
    }
    return html.empty() ? html
                        : "<section id=\"differing\"><h2>Screens that differ: meant | shown | diff</h2>\n" + html +
                              "</section>\n";
}

std::string verdictClass(const ScreenEntry& s)
{
    return !s.skipped.empty() ? "skipped" : !s.judged ? "unjudged" : s.differs ? "differs" : "pass";
}

}  // namespace

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

std::string pageStyle()
{
    return "<style>body{font-family:sans-serif;background:#eee;margin:1em}"
           "header{background:#fff;border:1px solid #aaa;padding:.5em 1em}"
           "dl.facts{display:grid;grid-template-columns:max-content auto;gap:.1em 1em;margin:.5em 0}"
           "dl.facts dt{font-weight:bold}dl.facts dd{margin:0;font-family:monospace;word-break:break-all}"
           "#counts{font-size:1.2em;font-weight:bold}"
           ".grid{display:grid;grid-template-columns:repeat(auto-fill,minmax(240px,1fr));gap:.6em}"
           "figure{margin:0;background:#fff;border:1px solid #bbb;padding:.3em}"
           "figure img,.pane img{width:100%;height:auto;display:block;image-rendering:pixelated}"
           "figcaption{font-size:.8em}.triple{display:grid;grid-template-columns:repeat(3,1fr);gap:.4em;"
           "background:#fff;border:2px solid #c00;padding:.4em;margin-bottom:.8em}.triple .label{grid-column:1/4}"
           ".what{font-weight:bold}.pass{color:#060}.differs{color:#c00;font-weight:bold}.unjudged{color:#555}.skipped{color:#a60;font-weight:bold}"
           "figure.differs{border:2px solid #c00}.which{color:#555;font-size:.85em}"
           "td,th{border:1px solid #888;padding:2px 6px;text-align:left}table{border-collapse:collapse;background:#fff}"
           "td.fail{background:#fcc}</style>\n";
}

std::string factsHeader(const std::string& title, const RunFacts& facts, const std::string& counts)
{
    std::string status = std::to_string(facts.exitStatus);
    if (!facts.ending.empty())
        status += " \u2014 " + facts.ending;
    return "<header id=\"facts\"><h1>" + escapeHtml(title) + "</h1>\n<dl class=\"facts\">" +
           fact("machine", facts.machine) +
           (facts.romPath.empty()
                ? fact("ROM", "the PC's own")
                : fact("ROM", facts.romPath) +
                      fact("ROM SHA-256", facts.romSha256.empty() ? "(could not be read)" : facts.romSha256)) +
           fact("Palisade", facts.version) + fact("date", facts.date) + fact("command line", facts.commandLine) +
           fact("exit status", status) + "</dl>\n<p id=\"counts\">" + escapeHtml(counts) + "</p></header>\n";
}

std::string indexPage(const RunFacts& facts, const std::vector<ScreenEntry>& screens)
{
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Palisade run on " +
                       escapeHtml(facts.machine) + "</title>\n" + pageStyle() + "</head><body>\n" +
                       factsHeader("Palisade run on " + facts.machine, facts, countsText(countScreens(screens))) +
                       hintGroups(screens) + differingScreens(screens) +
                       "<section id=\"screens\"><h2>Every screen, in order</h2>\n<div class=\"grid\">\n";
    for (const ScreenEntry& s : screens) {
        if (s.png.empty())
            continue;
        std::string names;
        for (const std::string& name : s.names)
            names += " <span class=\"name\">" + escapeHtml(name) + "</span>";
        page += "<figure class=\"" + verdictClass(s) + "\">" + picture(s.png, s.caption) +
                "<figcaption><span class=\"file\">" + escapeHtml(s.png) + "</span>: <span class=\"caption\">" +
                escapeHtml(s.caption) + "</span>" + names;
        if (!s.scriptNote.empty())
            page += "<br><span class=\"note\">script: " + escapeHtml(s.scriptNote) + "</span>";
        if (s.judged || !s.skipped.empty())
            page += "<br><span class=\"" + verdictClass(s) + "\">verdict: " + escapeHtml(verdictWord(s)) +
                    (s.differs ? ": " + escapeHtml(s.hint) : "") +
                    (s.skipped.empty() ? "" : ": " + escapeHtml(s.skipped)) + "</span>";
        if (!s.diffPng.empty())
            page += " <a href=\"" + escapeHtml(s.diffPng) + "\">differing pixels</a>";
        page += "</figcaption></figure>\n";
    }
    return page + "</div></section>\n</body></html>\n";
}

}  // namespace desktop
