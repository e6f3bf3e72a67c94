// The VBE conformance table: each row calls VBE functions through int 10h and checks what
// they did to the card, on the machine's BIOS alone and with Kestrel installed over it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "pc/pc.h"

namespace judge {

struct RowVerdict {
    enum class Kind { Pass, Fail, NotApplicable } kind = Kind::Pass;
    std::string why;           // for a failure: what went wrong, with the values
    std::string text() const;  // "pass", "FAIL: <why>" or "n/a"
};

struct ConformanceRow {
    std::string name;
    RowVerdict bios;     // the machine's own BIOS
    RowVerdict kestrel;  // Kestrel over it; n/a on a machine with kestrel = no
};

std::vector<std::string> conformanceRowNames();

// Every row in order on one freshly booted machine of this configuration. Throws
// pc::MachineError when the machine cannot boot or Kestrel cannot be installed.
// `ioLog`, when given, receives the machine's register accesses and a "# " line before each row.
std::vector<RowVerdict> runConformance(const pc::MachineConfig& config, bool withKestrel,
                                       const std::function<void(const std::string&)>& ioLog = {});

// Both columns, each on its own machine. Kestrel's column is n/a on a machine with kestrel = no
// and where the driver cannot be installed (a card without DISPI); kestrelAbsent then says why.
std::vector<ConformanceRow> conformanceTable(const pc::MachineConfig& config, std::string& kestrelAbsent,
                                             const std::function<void(const std::string&)>& ioLog = {});

// The table as an HTML page under head (the run's facts and counts), for a person to read
// beside the run's pictures.
std::string conformancePage(const std::string& head, const std::vector<ConformanceRow>& table);

}  // namespace judge
