// palisade --conformance and --verdict, run as a user runs them: the conformance table of
// both BIOSes, the verdict of the demo, of a mode the BIOS lists but the card cannot show,
// and of cards made wrong on purpose.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checks/support/headless_palisade.h"

namespace fs = std::filesystem;

namespace {

using harness::readFile;

// 640 x 480 at 8 bit: the moire screen, then Esc back to the dialog and Quit; through the
// linear framebuffer, or through the banked window.
const char* const MOIRE_8_BIT = "click 116\nselect 114 640 x 480\nclick 121\nkey Esc\nclick 2\n";
const char* const MOIRE_8_BIT_BANKED = "click 116\nclick 112\nselect 114 640 x 480\nclick 121\nkey Esc\nclick 2\n";

class Judge : public ::testing::Test {
protected:
    void SetUp() override
    {
        work = harness::checkFolder("palisade-judge");
        harness::installProgram(work / "bin");
    }
    void TearDown() override
    {
        if (!HasFailure())
            fs::remove_all(work);
    }

    harness::Exit run(const std::string& arguments, const std::string& script = {})
    {
        harness::Launch launch;
        launch.program = (work / "bin" / "palisade").string();
        launch.folder = work.string();
        std::istringstream words(arguments);
        for (std::string word; words >> word;)
            launch.arguments.push_back(word);
        if (!script.empty()) {
            std::ofstream(work / "run.script") << script;
            launch.arguments.insert(launch.arguments.end(), {"--script", "run.script"});
        }
        return harness::runProgram(launch);
    }

    void machineFile(const std::string& name, const std::string& text) { std::ofstream(work / name) << text; }

    fs::path work;
};

// Each stdout line: check, BIOS verdict, Kestrel verdict.
std::vector<std::vector<std::string>> rows(const std::string& out)
{
    std::vector<std::vector<std::string>> table;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');)
            cells.push_back(cell);
        table.push_back(cells);
    }
    return table;
}

std::string verdictOf(const std::vector<std::vector<std::string>>& table, const std::string& check, int column)
{
    for (const auto& row : table)
        if (row.size() == 3 && row[0] == check)
            return row[size_t(column)];
    return "<no row " + check + ">";
}

TEST_F(Judge, ConformanceTableShowsEachBiosFaultsWhileKestrelPassesEveryRow)
{
    struct Case {
        const char* machine;
        std::vector<std::pair<std::string, std::string>> biosFaults;  // check, start of its verdict
    };
    const Case cases[] = {
        {"default",
         {{"4F09 set: blue, green, red, all bytes", "FAIL: BL=00h, 2 entries: entry 10 reads"},
          {"4F05 window function (far call)", "FAIL: far call did not return"},
          {"4F02 linear 4111h, 4F03", "FAIL: 4F03 AX=004Fh BX=0111h"},
          {"4F06 maximum", "FAIL: BL=03h"},
          {"4F07 set in vertical retrace", "FAIL: returned outside the vertical retrace"},
          {"4F00 mode list fits video memory", "FAIL: mode 11Fh (1600x1200x24)"}}},
        {"seavgabios",
         {{"4F09 get", "FAIL: BL=01h: AX=0100h"},
          {"4F06 maximum", "FAIL: BL=03h: AX=014Fh"},
          {"4F04 save and restore SVGA state", "FAIL: restored, the card shows"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine);
        // Each page in a folder of its own: a folder to fill is new or empty.
        const harness::Exit r = run(std::string("--conformance --shots pages-") + c.machine + " --machine " + c.machine);
        EXPECT_EQ(r.status, 1) << r.err;
        const auto table = rows(r.out);
        ASSERT_GE(table.size(), 20u) << r.out;
        size_t applicable = 0;
        for (const auto& row : table) {
            ASSERT_EQ(row.size(), 3u) << "not three tab-separated fields";
            // The large-memory rows do not apply to a 4 MB card, for either column.
            if (row[0].find("16 MB") != std::string::npos || row[0].find("256 screens") != std::string::npos) {
                EXPECT_EQ(row[1] + row[2], "n/an/a") << row[0];
                continue;
            }
            ++applicable;
            EXPECT_EQ(row[2], "pass") << "Kestrel on " << row[0];
            EXPECT_TRUE(row[1] == "pass" || row[1].rfind("FAIL: ", 0) == 0) << row[1];
        }
        for (const auto& [check, verdict] : c.biosFaults)
            EXPECT_EQ(verdictOf(table, check, 1).rfind(verdict, 0), 0u) << check << ": " << verdictOf(table, check, 1);
        EXPECT_NE(r.err.find(std::string("conformance of ") + c.machine + ": BIOS "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Kestrel " + std::to_string(applicable) + " pass, 0 fail"), std::string::npos) << r.err;
        const std::string page = readFile(work / ("pages-" + std::string(c.machine)) / "conformance.html");
        EXPECT_NE(page.find("<td class=\"fail\">FAIL: "), std::string::npos);
    }

    // Without Kestrel only the BIOS is judged; the Bochs BIOS on 1 MB lists modes that do not fit.
    machineFile("bochs-1mb.machine", "base = smallvram\nkestrel = no\n");
    const harness::Exit small = run("--conformance --machine bochs-1mb.machine");
    EXPECT_EQ(small.status, 1) << small.err;
    const auto table = rows(small.out);
    for (const auto& row : table)
        EXPECT_EQ(row.size() == 3 ? row[2] : "", "n/a") << row[0];
    EXPECT_EQ(verdictOf(table, "4F00 mode list fits video memory", 1).rfind("FAIL: mode 107h (1280x1024x8)", 0), 0u)
        << verdictOf(table, "4F00 mode list fits video memory", 1);

    // Kestrel needs a chip it drives: on a plain VGA its column is n/a, and the summary says why.
    const harness::Exit plain = run("--conformance --machine plainvga");
    EXPECT_EQ(plain.status, 1) << plain.err;
    EXPECT_EQ(verdictOf(rows(plain.out), "4F00 controller block (VBE2)", 2), "n/a");
    EXPECT_NE(plain.err.find("Kestrel n/a (the resident Kestrel driver needs a DISPI SuperVGA or a GD5446"),
              std::string::npos)
        << plain.err;

    EXPECT_EQ(run("--conformance --headless").status, 2);
}

TEST_F(Judge, EveryScreenOfTheDemoWithKestrelIsWhatTheProgramMeant)
{
    std::ifstream demo(std::string(PALISADE_SOURCE_DIR) + "/scripts/demo.script");
    std::stringstream script;
    script << demo.rdbuf();
    const harness::Exit r = run("--headless --verdict --shots shots", script.str());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("verdict: 116 screens, 0 differ\n"), std::string::npos) << r.err;
    const std::string index = readFile(work / "shots" / "index.html");
    EXPECT_NE(index.find("verdict: pass"), std::string::npos);
    EXPECT_EQ(index.find("verdict: differs"), std::string::npos);
}

TEST_F(Judge, AModeTheBiosListsButTheCardCannotShowIsFlaggedWithoutChangingTheRun)
{
    // The Bochs BIOS alone on a 1 MB card: it lists 1280 x 1024 at 8 bit and says it set it.
    machineFile("bochs-1mb.machine", "base = smallvram\nkestrel = no\n");
    const std::string script = "click 116\nselect 114 1280 x 1024\nclick 121\nkey Esc\nclick 2\n";
    const harness::Exit judged = run("--headless --verdict --shots judged --machine bochs-1mb.machine", script);
    EXPECT_EQ(judged.status, 4) << judged.err;
    EXPECT_NE(judged.err.find("the program asked for 1280 x 1024 8 bit"), std::string::npos) << judged.err;
    EXPECT_NE(judged.err.find("verdict: 1 screens, 1 differ\n"), std::string::npos) << judged.err;
    EXPECT_NE(readFile(work / "judged" / "index.html").find("verdict: differs"), std::string::npos);
    EXPECT_TRUE(fs::exists(work / "judged" / "0004-diff.png"));

    // Without the option the run is the same, screen for screen, and ends normally.
    const harness::Exit plain = run("--headless --shots plain --machine bochs-1mb.machine", script);
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err.find("verdict"), std::string::npos);
    for (const char* screen : {"0001.png", "0002.png", "0003.png", "0004.png", "0005.png"})
        EXPECT_TRUE(readFile(work / "plain" / screen) == readFile(work / "judged" / screen)) << screen;
}

TEST_F(Judge, ACardMadeWrongOnPurposeIsFlaggedWithTheRightHint)
{
    struct Case {
        const char* base;
        const char* fault;
        const char* script;
        const char* hint;
    };
    for (const Case& c : {
             Case{"default", "dac_swaps_red_green", MOIRE_8_BIT, "; palette entry 2: asked 00 2A 00, shows 2A 00 00\n"},
             Case{"default", "display_start_late", MOIRE_8_BIT, "; display start: asked line 0, shows line 1\n"},
             Case{"default", "bank_off_by_one", MOIRE_8_BIT_BANKED,
                  "; pixels land elsewhere: what the program wrote at byte 0 of video memory (pixel 0, 0) is at byte "
                  "65536, 65536 bytes further\n"},
             Case{"cirrus", "dac_swaps_red_green", MOIRE_8_BIT, "; palette entry 2: asked 00 2A 00, shows 2A 00 00\n"},
             // The GD5446's start address reads back as written, so the judge, which reads the
             // card's registers, sees a picture that differs without a register to blame.
             Case{"cirrus", "display_start_late", MOIRE_8_BIT, "pixels differ; first at 1, 0"},
             Case{"cirrus", "bank_off_by_one", MOIRE_8_BIT_BANKED,
                  "; pixels land elsewhere: what the program wrote at byte 0 of video memory (pixel 0, 0) is at byte "
                  "16384, 16384 bytes further\n"},
         }) {
        SCOPED_TRACE(std::string(c.base) + " " + c.fault);
        const std::string file = std::string(c.base) + "-" + c.fault + ".machine";
        machineFile(file, std::string("base = ") + c.base + "\ncard_fault = " + c.fault + "\n");
        const harness::Exit r = run("--headless --verdict --machine " + file, c.script);
        EXPECT_EQ(r.status, 4) << r.err;
        EXPECT_NE(r.err.find(c.hint), std::string::npos) << r.err;
    }
    for (const char* script : {MOIRE_8_BIT, MOIRE_8_BIT_BANKED}) {
        const harness::Exit sound = run("--headless --verdict", script);
        EXPECT_EQ(sound.status, 0) << sound.err;
        EXPECT_NE(sound.err.find("verdict: 1 screens, 0 differ\n"), std::string::npos) << sound.err;
    }
}

}  // namespace
