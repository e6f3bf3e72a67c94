// The product's VBE conformance table on the Kestrel driver over the Bochs ROM, on the Kestrel
// driver over a BIOS without VBE, and on both ROMs alone. Kestrel must pass every row. A ROM's
// failed rows are its known faults: the table below holds them, so a ROM that starts passing
// a row, or fails a new one, shows up here.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "judge/conformance.h"

namespace judge {
namespace {

struct Target {
    const char* name;
    const char* machine;
    bool kestrel;
};

const Target TARGETS[] = {
    {"Kestrel/Bochs", "default", true},  {"Kestrel/noVBE", "novbe", true},       {"Bochs ROM", "default", false},
    {"SeaVGABIOS", "seavgabios", false}, {"Bochs ROM 1 MB", "smallvram", false},
};

// What each ROM is known to get wrong, as observed on this machine.
const std::map<std::string, std::set<std::string>> KNOWN_FAULTS = {
    {"Bochs ROM",
     {
         "4F00 mode list fits video memory",       // lists 1600x1200x24 with 4 MB
         "4F01 mode blocks complete",              // 65 image pages of 640x400 in 4 MB
         "4F02 linear 4111h, 4F03",                // 4F03 drops bit 14
         "4F05 window function (far call)",        // the far call runs into an invalid opcode
         "4F06 maximum",                           // BL=03h unsupported
         "4F07 set in vertical retrace",           // BL=80h does not wait
         "4F09 set: blue, green, red, all bytes",  // skips byte 0 of each entry
         "4F09 past entry 255 fails and changes nothing",
         "4F09 get",
     }},
    {"SeaVGABIOS",
     {
         "4F01 mode blocks complete",              // one image page too many at 1024x768x24
         "4F04 save and restore SVGA state",       // the DISPI mode is not restored
         "4F06 maximum",                           // BL=03h fails
         "4F07 set in vertical retrace",           // BL=80h does not wait
         "4F09 set: blue, green, red, all bytes",  // no 4F09
         "4F09 get",
     }},
    {"Bochs ROM 1 MB",
     {
         "4F00 mode list fits video memory",  // lists 1280x1024x8 and more with 1 MB
         "4F01 mode blocks complete",
         "4F02 linear 4111h, 4F03",
         "4F05 window function (far call)",
         "4F06 maximum",
         "4F07 set in vertical retrace",
         "4F09 set: blue, green, red, all bytes",
         "4F09 past entry 255 fails and changes nothing",
         "4F09 get",
     }},
};

TEST(VbeConformance, KestrelPassesEveryRowAndTheRomsOnlyTheirKnownFaults)
{
    const std::vector<std::string> names = conformanceRowNames();
    std::map<std::string, std::vector<RowVerdict>> results;
    for (const Target& target : TARGETS)
        results[target.name] = runConformance(machine::loadMachine(target.machine), target.kestrel);

    std::printf("\n%-40s", "VBE function");
    for (const Target& target : TARGETS)
        std::printf(" %-14s", target.name);
    std::printf("\n");
    for (size_t row = 0; row < names.size(); ++row) {
        std::printf("%-40s", names[row].c_str());
        for (const Target& target : TARGETS)
            std::printf(" %-14s", results[target.name][row].kind == RowVerdict::Kind::Pass ? "pass" : "FAIL");
        std::printf("\n");
    }

    for (const Target& target : TARGETS) {
        const auto known = KNOWN_FAULTS.find(target.name);
        for (size_t row = 0; row < names.size(); ++row) {
            const RowVerdict& verdict = results[target.name][row];
            const bool expectedFault = !target.kestrel && known->second.count(names[row]);
            if (expectedFault)
                EXPECT_EQ(verdict.kind, RowVerdict::Kind::Fail)
                    << target.name << " now passes \"" << names[row] << "\": take it off its known faults";
            else
                EXPECT_EQ(verdict.kind, RowVerdict::Kind::Pass)
                    << target.name << " " << verdict.text() << " on \"" << names[row] << "\"";
        }
    }
}

TEST(VbeConformance, AMachineWithoutKestrelHasOnlyTheBiosColumn)
{
    machine::MachineConfig config = machine::loadMachine("default");
    config.kestrel = false;
    std::string why;
    for (const ConformanceRow& row : conformanceTable(config, why))
        EXPECT_EQ(row.kestrel.text(), "n/a") << row.name;
    EXPECT_EQ(why, "kestrel = no");
}

}  // namespace
}  // namespace judge
