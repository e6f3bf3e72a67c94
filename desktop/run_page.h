// The pages a person reads after a run: the facts and counts at the top, then what differs,
// then every picture as a thumbnail in a grid that opens at full size.
#pragma once

#include <string>
#include <vector>

#include "desktop/run_record.h"

namespace desktop {

// The head every page of a run shares: machine, ROM and its SHA-256, Palisade's version, the
// date, the command line, the exit status, and the counts.
std::string factsHeader(const std::string& title, const RunFacts& facts, const std::string& counts);
// The style sheet of the pages.
std::string pageStyle();

// index.html of a shots folder: the hints grouped by reason with the number of screens each
// appears on, the differing screens first as meant | shown | diff, then the grid of every
// picture, each captioned with what was shown and its verdict.
std::string indexPage(const RunFacts& facts, const std::vector<ScreenEntry>& screens);

std::string escapeHtml(const std::string& text);

}  // namespace desktop
