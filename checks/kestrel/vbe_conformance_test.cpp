// The product's VBE conformance table on the Kestrel driver over the Bochs ROM, on the Kestrel
// driver over a BIOS without VBE, and on every ROM alone, on the DISPI and the Cirrus card.
// Kestrel must pass every row. A ROM's failed rows are its known faults: the tables below hold
// them, so a ROM that starts passing a row, or fails a new one, shows up here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "judge/conformance.h"
#include "machine/machine.h"

namespace judge {
namespace {

struct Target {
    const char* name;
    const char* machine;
    bool kestrel;
    bool screenOffIgnored = false;  // svga_screen_off = ignored: a Cirrus card shows its modes as QEMU does
    bool seaVgaBios = false;        // the machine's card under SeaVGABIOS instead of its own ROM
};

const Target TARGETS[] = {
    {"Kestrel/Bochs", "default", true, false},
    {"Kestrel/noVBE", "novbe", true, false},
    {"Kestrel/Cirrus LGPL", "cirrus", true, false},
    {"Kestrel/Cirrus Sea", "cirrus-seavgabios", true, false},
    {"Bochs ROM", "default", false, false},
    {"SeaVGABIOS", "seavgabios", false, false},
    {"Bochs ROM 1 MB", "smallvram", false, false},
    {"Cirrus LGPL", "cirrus", false, false},
    {"Cirrus LGPL shown", "cirrus", false, true},
    {"Cirrus Sea", "cirrus-seavgabios", false, false},
    {"Cirrus Sea shown", "cirrus-seavgabios", false, true},
    {"Kestrel/Bochs 512 MB", "bigvram", true, false},
    {"Bochs ROM 512 MB", "bigvram", false, false},
    {"SeaVGABIOS 512 MB", "bigvram", false, false, true},
    {"no VBE", "novbe", false, false},
};

// What each ROM is known to get wrong, as observed on this machine, and the rows that do not
// apply to it; every other row must pass.
struct Expected {
    std::set<std::string> faults;
    std::set<std::string> notApplicable;
};

const Expected BOCHS_ROM = {
    {
        "4F00 mode list fits video memory",       // lists 1600x1200x24 with 4 MB (1280x1024x8 and more with 1 MB)
        "4F01 mode blocks complete",              // 65 image pages of 640x400 in 4 MB
        "4F02 linear 4111h, 4F03",                // 4F03 drops bit 14
        "4F05 window function (far call)",        // the far call runs into an invalid opcode
        "4F06 maximum",                           // BL=03h unsupported
        "4F07 set in vertical retrace",           // BL=80h does not wait
        "4F09 set: blue, green, red, all bytes",  // skips byte 0 of each entry
        "4F09 past entry 255 fails and changes nothing",
        "4F09 get",
    },
    {}};

// Both Cirrus ROMs leave the sequencer's screen-off bit set in every mode they set: the card
// shows nothing. With the bit ignored the same rows pass.
const std::set<std::string> CIRRUS_SCREEN_OFF = {"4F02 banked 101h, 4F03", "4F02 linear 4111h, 4F03"};

const std::set<std::string> CIRRUS_LGPL = {
    "4F04 state size",  // 4F04 unsupported (014Fh)
    "4F04 save and restore SVGA state",
    "4F05 banks in a mode set with bits 14 and 15",  // after C101h the window moves in 4 KB, not 16 KB
    "4F06 maximum",                                  // BL=03h unsupported (0100h)
    "4F06 a line of 8192 pixels: shown or refused",  // divide error at C000:7CD7: a line past CR13's 9 bits wraps
    "4F07 set in vertical retrace",                  // BL=80h does not wait
    "4F08 DAC width",                                // unsupported (014Fh), also a plain get
    "4F09 set: blue, green, red, all bytes",         // unsupported (014Fh)
    "4F09 get",
};

const std::set<std::string> CIRRUS_SEA = {
    "4F01 mode blocks complete",  // 2 image pages of 1024x768x24 in 4 MB
    "4F04 state size",            // 4F04 unsupported (014Fh)
    "4F04 save and restore SVGA state",
    "4F05 banks in a mode set with bits 14 and 15",  // AX=0305h in a mode set with the linear framebuffer
    "4F06 maximum",                                  // BL=03h fails (014Fh)
    "4F06 a line of 8192 pixels: shown or refused",  // divide error at C000:41DA: the line wraps to 0 bytes
    "4F07 set and get",                              // start bits 8-11 (in dwords) written where bits 16-19 belong
    "4F07 set in vertical retrace",                  // the same, and BL=80h does not wait
    "4F08 DAC width",                                // unsupported (014Fh)
    "4F09 set: blue, green, red, all bytes",         // no 4F09 (0100h)
    "4F09 get",
};

std::set<std::string> with(std::set<std::string> rows, const std::set<std::string>& more)
{
    rows.insert(more.begin(), more.end());
    return rows;
}

const std::set<std::string> NO_PLANAR_800 = {"4F02 planar 102h"};  // not in the mode list

std::set<std::string> without(std::set<std::string> rows, const std::set<std::string>& fewer)
{
    for (const std::string& row : fewer)
        rows.erase(row);
    return rows;
}

// The rows that judge what large video memory breaks: n/a on a card of 16 MB or less.
const std::set<std::string> LARGE_MEMORY_ROWS = {
    "4F00 TotalMemory past 16 MB",
    "4F01 image pages past 256 screens",
    "4F05 banks past 16 MB",
    "4F06 maximum on a card past 16 MB",
};

// Every row of the table but these.
std::set<std::string> allRowsBut(const std::set<std::string>& fewer)
{
    const std::vector<std::string> names = conformanceRowNames();
    return without(std::set<std::string>(names.begin(), names.end()), fewer);
}

// Built on first use: the rows' names come from the table.
const std::map<std::string, Expected>& expectations()
{
    static const std::map<std::string, Expected> expected = {
        {"Bochs ROM", BOCHS_ROM},
        {"SeaVGABIOS",
         {{
              "4F01 mode blocks complete",                     // one image page too many at 1024x768x24
              "4F04 save and restore SVGA state",              // the DISPI mode is not restored
              "4F05 banks in a mode set with bits 14 and 15",  // AX=0305h in a mode set with the linear framebuffer
              "4F06 maximum",                                  // BL=03h fails
              "4F07 set in vertical retrace",                  // BL=80h does not wait
              "4F09 set: blue, green, red, all bytes",         // no 4F09
              "4F09 get",
          },
          {}}},
        {"Bochs ROM 1 MB",
         {with(BOCHS_ROM.faults, {"4F06 a line of 8192 pixels: shown or refused"}),  // 004Fh, but the line stays 640
          {}}},
        // On 512 MB both ROMs report TotalMemory right and bank past 16 MB; neither has a 4F06
        // maximum, and their image pages are not the count that fits. The Bochs ROM's mode list and
        // page counts are those of a 16 MB card, which 512 MB holds; SeaVGABIOS's 4F06 DX is the
        // line count cut to 16 bits (0 for 524288 lines of 1024 bytes).
        {"Bochs ROM 512 MB",
         {with(without(BOCHS_ROM.faults, {"4F00 mode list fits video memory", "4F01 mode blocks complete"}),
               {"4F01 image pages past 256 screens",    // 64 image pages of 640x400 (65 fit in 16 MB)
                "4F06 maximum on a card past 16 MB"}),  // BL=03h unsupported (0100h)
          {}}},
        {"SeaVGABIOS 512 MB",
         {{
              "4F01 mode blocks complete",                     // lists text mode 0 among its modes
              "4F04 save and restore SVGA state",              // the DISPI mode is not restored
              "4F05 banks in a mode set with bits 14 and 15",  // AX=0305h in a mode set with the linear framebuffer
              "4F06 set and get in pixels",                    // DX = 0 lines: 524288 cut to 16 bits
              "4F06 maximum",                                  // BL=03h fails
              "4F06 maximum on a card past 16 MB",
              "4F01 image pages past 256 screens",      // 127 image pages of 640x400
              "4F07 set in vertical retrace",           // BL=80h does not wait
              "4F09 set: blue, green, red, all bytes",  // no 4F09
              "4F09 get",
          },
          {}}},
        {"Cirrus LGPL", {with(CIRRUS_LGPL, CIRRUS_SCREEN_OFF), NO_PLANAR_800}},
        {"Cirrus LGPL shown", {CIRRUS_LGPL, NO_PLANAR_800}},
        {"Cirrus Sea", {with(CIRRUS_SEA, CIRRUS_SCREEN_OFF), NO_PLANAR_800}},
        {"Cirrus Sea shown", {CIRRUS_SEA, NO_PLANAR_800}},
        // Kestrel has no fault anywhere; on the GD5446 it offers no planar mode.
        {"Kestrel/Cirrus LGPL", {{}, NO_PLANAR_800}},
        {"Kestrel/Cirrus Sea", {{}, NO_PLANAR_800}},
        // A BIOS without VBE passes only the rows that ask unknown calls to fail: a row that needs
        // the mode list fails without it rather than passing or being n/a.
        {"no VBE",
         {allRowsBut(with(LARGE_MEMORY_ROWS, {"4F01 unknown mode fails", "Unknown 4Fxx function fails"})), {}}},
    };
    return expected;
}

TEST(VbeConformance, KestrelPassesEveryRowAndTheRomsOnlyTheirKnownFaults)
{
    const std::vector<std::string> names = conformanceRowNames();
    std::map<std::string, std::vector<RowVerdict>> results;
    std::set<std::string> largeCards;
    for (const Target& target : TARGETS) {
        machine::MachineConfig config = machine::loadMachine(target.machine);
        config.svgaScreenOffBlanks = !target.screenOffIgnored;
        if (target.seaVgaBios)
            config.romPath = machine::presetConfig("seavgabios").romPath;
        results[target.name] = runConformance(config, target.kestrel);
        if (config.videoMemoryKb > 16 * 1024)
            largeCards.insert(target.name);
    }

    std::printf("\n");
    for (size_t column = 0; column < std::size(TARGETS); ++column)
        std::printf("%zu: %s\n", column + 1, TARGETS[column].name);
    std::printf("%-46s", "VBE function");
    for (size_t column = 0; column < std::size(TARGETS); ++column)
        std::printf(" %-4zu", column + 1);
    std::printf("\n");
    for (size_t row = 0; row < names.size(); ++row) {
        std::printf("%-46.46s", names[row].c_str());
        for (const Target& target : TARGETS)
            std::printf(" %-4s", results[target.name][row].text().substr(0, 4).c_str());
        std::printf("\n");
    }

    for (const Target& target : TARGETS) {
        const auto known = expectations().find(target.name);
        const Expected none;
        Expected expected = known == expectations().end() ? none : known->second;
        if (!largeCards.count(target.name))
            expected.notApplicable.insert(LARGE_MEMORY_ROWS.begin(), LARGE_MEMORY_ROWS.end());
        for (size_t row = 0; row < names.size(); ++row) {
            const RowVerdict& verdict = results[target.name][row];
            if (expected.faults.count(names[row]))
                EXPECT_EQ(verdict.kind, RowVerdict::Kind::Fail)
                    << target.name << " now gives " << verdict.text() << " on \"" << names[row]
                    << "\": take it off its known faults";
            else if (expected.notApplicable.count(names[row]))
                EXPECT_EQ(verdict.kind, RowVerdict::Kind::NotApplicable)
                    << target.name << " " << verdict.text() << " on \"" << names[row] << "\"";
            else
                EXPECT_EQ(verdict.kind, RowVerdict::Kind::Pass)
                    << target.name << " " << verdict.text() << " on \"" << names[row] << "\"";
        }
    }
}

TEST(VbeConformance, RowsSayWhatTheCardShows)
{
    // The ROM faults that only the card shows, in the row's own words.
    machine::MachineConfig config = machine::loadMachine("cirrus-seavgabios");
    const std::vector<std::string> names = conformanceRowNames();
    const std::vector<RowVerdict> verdicts = runConformance(config, false);
    const auto verdictOf = [&](const std::string& name) {
        const size_t row = static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
        return row < verdicts.size() ? verdicts[row].text() : "no such row";
    };
    EXPECT_EQ(
        verdictOf("4F02 banked 101h, 4F03"),
        "FAIL: the card has the screen off: 640x480x8, start 0, line 640, screen off by the sequencer (SR01 bit 5 "
        "set)");
    EXPECT_EQ(verdictOf("4F07 set and get"), "FAIL: pixel 8 of line 20 is byte 3208h, the card starts at 303208h");
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
