// JSON and JUnit XML reports of a run's screens or of a conformance table.
#include "desktop/run_report.h"

#include <cstdio>

namespace desktop {

namespace {

// Calls put for each code point of text; a byte that does not start valid UTF-8 is U+FFFD.
template <class Put>
void eachCodePoint(const std::string& text, Put&& put)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool valid = length > 0 && i + length <= n;
        for (size_t k = 1; valid && k < length; ++k)
            valid = (s[i + k] & 0xC0) == 0x80;
        if (valid && length == 2 && c < 0xC2)
            valid = false;  // overlong
        if (!valid) {
            put(0xFFFD, std::string("\xEF\xBF\xBD"));
            ++i;
            continue;
        }
        uint32_t point = length == 1 ? c : c & (0xFF >> (length + 1));
        for (size_t k = 1; k < length; ++k)
            point = point << 6 | (s[i + k] & 0x3F);
        put(point, text.substr(i, length));
        i += length;
    }
}

std::string path(const std::string& shotsDir, const std::string& file)
{
    return file.empty() || shotsDir.empty() ? std::string() : shotsDir + "/" + file;
}

std::string jsonPath(const std::string& shotsDir, const std::string& file)
{
    const std::string p = path(shotsDir, file);
    return p.empty() ? "null" : jsonString(p);
}

std::string factsJson(const RunFacts& facts)
{
    return "  \"palisade_version\": " + jsonString(facts.version) + ",\n  \"machine\": " + jsonString(facts.machine) +
           ",\n  \"rom\": {\"path\": " + jsonString(facts.romPath) +
           ", \"sha256\": " + (facts.romSha256.empty() ? "null" : jsonString(facts.romSha256)) +
           "},\n  \"date\": " + jsonString(facts.date) + ",\n  \"command_line\": " + jsonString(facts.commandLine) +
           ",\n  \"exit_status\": " + std::to_string(facts.exitStatus) +
           ",\n  \"ending\": " + (facts.ending.empty() ? "null" : jsonString(facts.ending)) + ",\n";
}

std::string kindWord(ScreenEntry::Kind kind)
{
    switch (kind) {
    case ScreenEntry::Kind::Snap: return "snap";
    case ScreenEntry::Kind::Shot: return "shot";
    case ScreenEntry::Kind::Wait: break;
    }
    return "wait";
}

std::string property(const std::string& name, const std::string& value)
{
    return "      <property name=\"" + xmlText(name) + "\" value=\"" + xmlText(value) + "\"/>\n";
}

std::string junitHead(const RunFacts& facts, const std::string& suite, int tests, int failures, int skipped)
{
    const std::string counts = " tests=\"" + std::to_string(tests) + "\" failures=\"" + std::to_string(failures) +
                               "\" errors=\"0\" skipped=\"" + std::to_string(skipped) + "\"";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"palisade\"" + counts +
           ">\n  <testsuite name=\"" + xmlText(suite) + "\"" + counts + " timestamp=\"" + xmlText(facts.date) +
           "\">\n    <properties>\n" + property("machine", facts.machine) + property("rom", facts.romPath) +
           property("rom_sha256", facts.romSha256) + property("palisade_version", facts.version) +
           property("command_line", facts.commandLine) + property("exit_status", std::to_string(facts.exitStatus)) +
           "    </properties>\n";
}

const char* junitTail = "  </testsuite>\n</testsuites>\n";

// A run that ended otherwise than by the program's own end, or with a verdict to give.
bool endedAbnormally(const RunFacts& facts)
{
    return facts.exitStatus != 0 && !(facts.exitStatus == 4 && facts.ending.empty());
}

}  // namespace

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    eachCodePoint(text, [&out](uint32_t point, const std::string& bytes) {
        switch (point) {
        case '"': out += "\\\""; return;
        case '\\': out += "\\\\"; return;
        case '\n': out += "\\n"; return;
        case '\t': out += "\\t"; return;
        default: break;
        }
        if (point < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(point));
            out += escaped;
        } else {
            out += bytes;
        }
    });
    return out + "\"";
}

std::string xmlText(const std::string& text)
{
    std::string out;
    eachCodePoint(text, [&out](uint32_t point, const std::string& bytes) {
        switch (point) {
        case '&': out += "&amp;"; return;
        case '<': out += "&lt;"; return;
        case '>': out += "&gt;"; return;
        case '"': out += "&quot;"; return;
        case '\n': out += "&#10;"; return;
        default: break;
        }
        // XML 1.0 has no place for the other control characters, nor for U+FFFE and U+FFFF.
        if ((point < 0x20 && point != '\t') || point == 0xFFFE || point == 0xFFFF)
            out += "\xEF\xBF\xBD";
        else
            out += bytes;
    });
    return out;
}

std::string screensJson(const RunFacts& facts, const std::vector<ScreenEntry>& screens, const std::string& shotsDir)
{
    const ScreenCounts counts = countScreens(screens);
    std::string json = "{\n" + factsJson(facts) + "  \"counts\": {\"screens\": " + std::to_string(counts.screens) +
                       ", \"judged\": " + std::to_string(counts.judged) + ", \"pass\": " + std::to_string(counts.pass) +
                       ", \"differ\": " + std::to_string(counts.differ) +
                       ", \"skipped\": " + std::to_string(counts.skipped) + "},\n  \"screens\": [";
    for (size_t i = 0; i < screens.size(); ++i) {
        const ScreenEntry& s = screens[i];
        std::string names;
        for (const std::string& name : s.names)
            names += (names.empty() ? "" : ", ") + jsonString(name);
        json += std::string(i ? "," : "") + "\n    {\"number\": " + std::to_string(s.number) +
                ", \"kind\": " + jsonString(kindWord(s.kind)) + ", \"caption\": " + jsonString(s.caption) +
                ", \"verdict\": " + jsonString(verdictWord(s)) +
                ", \"words\": " + jsonString(s.skipped.empty() ? s.hint : s.skipped) +
                ", \"png\": " + jsonPath(shotsDir, s.png) + ", \"diff_png\": " + jsonPath(shotsDir, s.diffPng) +
                ", \"meant_png\": " + jsonPath(shotsDir, s.meantPng) + ", \"script_names\": [" + names +
                "], \"script_note\": " + jsonString(s.scriptNote) + "}";
    }
    return json + "\n  ]\n}\n";
}

std::string screensJunit(const RunFacts& facts, const std::vector<ScreenEntry>& screens, const std::string& shotsDir)
{
    const ScreenCounts counts = countScreens(screens);
    const bool abnormal = endedAbnormally(facts);
    const int tests = counts.screens + (abnormal ? 1 : 0);
    std::string xml = junitHead(facts, "palisade " + facts.machine, tests, counts.differ + (abnormal ? 1 : 0),
                                counts.screens - counts.judged);
    char number[16];
    for (const ScreenEntry& s : screens) {
        std::snprintf(number, sizeof number, "%04d", s.number);
        const std::string name =
            (s.kind == ScreenEntry::Kind::Wait ? std::string(number) : kindWord(s.kind)) + " " + s.caption;
        xml += "    <testcase classname=\"" + xmlText("palisade." + facts.machine) + "\" name=\"" + xmlText(name) +
               "\">\n";
        if (s.differs)
            xml += "      <failure message=\"" + xmlText(s.hint) + "\">" +
                   xmlText("shown: " + path(shotsDir, s.png) + "\ndiff: " + path(shotsDir, s.diffPng)) + "</failure>\n";
        else if (!s.skipped.empty())
            xml += "      <skipped message=\"" + xmlText("skipped: " + s.skipped) + "\"/>\n";
        else if (!s.judged)
            xml += "      <skipped message=\"not judged\"/>\n";
        if (!s.png.empty())
            xml += "      <system-out>" + xmlText(path(shotsDir, s.png)) + "</system-out>\n";
        xml += "    </testcase>\n";
    }
    if (abnormal)
        xml += "    <testcase classname=\"" + xmlText("palisade." + facts.machine) +
               "\" name=\"the run\">\n      <failure message=\"" +
               xmlText("exit status " + std::to_string(facts.exitStatus) +
                       (facts.ending.empty() ? "" : ": " + facts.ending)) +
               "\"/>\n    </testcase>\n";
    return xml + junitTail;
}

std::string tableJson(const RunFacts& facts, const std::vector<TableRow>& rows)
{
    const TableCounts counts = countRows(rows);
    auto cell = [](const TableCell& c) {
        return "{\"verdict\": " + jsonString(c.verdict) + ", \"words\": " + jsonString(c.words) + "}";
    };
    std::string json = "{\n" + factsJson(facts) + "  \"counts\": {\"rows\": " + std::to_string(counts.rows) +
                       ", \"bios_pass\": " + std::to_string(counts.biosPass) +
                       ", \"bios_fail\": " + std::to_string(counts.biosFail) +
                       ", \"kestrel_pass\": " + std::to_string(counts.kestrelPass) +
                       ", \"kestrel_fail\": " + std::to_string(counts.kestrelFail) +
                       ", \"kestrel_na\": " + std::to_string(counts.kestrelNotApplicable) + "},\n  \"rows\": [";
    for (size_t i = 0; i < rows.size(); ++i)
        json += std::string(i ? "," : "") + "\n    {\"check\": " + jsonString(rows[i].name) +
                ", \"bios\": " + cell(rows[i].bios) + ", \"kestrel\": " + cell(rows[i].kestrel) + "}";
    return json + "\n  ]\n}\n";
}

std::string tableJunit(const RunFacts& facts, const std::vector<TableRow>& rows)
{
    int failures = 0, skipped = 0;
    for (const TableRow& row : rows) {
        failures += row.bios.verdict == "fail" || row.kestrel.verdict == "fail";
        skipped += row.bios.verdict == "n/a" && row.kestrel.verdict == "n/a";
    }
    std::string xml = junitHead(facts, "conformance " + facts.machine, int(rows.size()), failures, skipped);
    for (const TableRow& row : rows) {
        xml += "    <testcase classname=\"" + xmlText("conformance." + facts.machine) + "\" name=\"" +
               xmlText(row.name) + "\">\n";
        std::string why;
        for (const auto& [column, cell] : {std::pair{"BIOS", &row.bios}, std::pair{"Kestrel", &row.kestrel}})
            if (cell->verdict == "fail")
                why += (why.empty() ? "" : "; ") + std::string(column) + ": " + cell->words;
        if (!why.empty())
            xml += "      <failure message=\"" + xmlText(why) + "\"/>\n";
        else if (row.bios.verdict == "n/a" && row.kestrel.verdict == "n/a")
            xml += "      <skipped message=\"n/a\"/>\n";
        xml += "    </testcase>\n";
    }
    return xml + junitTail;
}

}  // namespace desktop
