// The machine-readable reports of a run: JSON for scripts, JUnit XML for CI.
#pragma once

#include <string>
#include <vector>

#include "desktop/run_record.h"

namespace desktop {

// A headless run: its facts, counts and every screen with its caption, verdict, words and
// pictures (paths as the shots folder was given).
std::string screensJson(const RunFacts& facts, const std::vector<ScreenEntry>& screens, const std::string& shotsDir);
// One test case per screen (a differing screen fails, one not judged is skipped), and one for
// the run itself when it did not end normally.
std::string screensJunit(const RunFacts& facts, const std::vector<ScreenEntry>& screens, const std::string& shotsDir);

// --conformance: its facts, counts and the table's rows in order, both columns.
std::string tableJson(const RunFacts& facts, const std::vector<TableRow>& rows);
// One test case per row: it fails when either column fails, and is skipped when neither applies.
std::string tableJunit(const RunFacts& facts, const std::vector<TableRow>& rows);

// Text made safe for the formats: bytes that are not UTF-8 become U+FFFD.
std::string jsonString(const std::string& text);  // with its quotes
std::string xmlText(const std::string& text);     // for attributes and character data

}  // namespace desktop
