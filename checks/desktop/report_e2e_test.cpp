// The reports and pages of a run, read as CI and people read them: the JSON by Python's json,
// the JUnit XML by Python's XML parser, the pages rendered by headless Chromium; and the paths
// and modes a run must refuse, with nothing half-written left behind.

#include <algorithm>
#include <chrono>
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

constexpr const char* PYTHON = "/usr/bin/python3";
constexpr const char* CHROMIUM = "/usr/bin/chromium";

class Reports : public ::testing::Test {
protected:
    void SetUp() override
    {
        work = harness::checkFolder("palisade-reports");
        harness::installProgram(work / "bin");
    }
    void TearDown() override
    {
        if (!HasFailure())
            fs::remove_all(work);
    }

    harness::Exit run(const std::vector<std::string>& arguments, uint64_t fileSizeLimit = 0)
    {
        harness::Launch launch;
        launch.program = (work / "bin" / "palisade").string();
        launch.folder = work.string();
        launch.arguments = arguments;
        launch.fileSizeLimit = fileSizeLimit;
        return harness::runProgram(launch);
    }

    harness::Exit check(const std::vector<std::string>& arguments)
    {
        harness::Launch launch;
        launch.program = PYTHON;
        launch.folder = work.string();
        launch.arguments = {std::string(PALISADE_SOURCE_DIR) + "/checks/desktop/report_check.py"};
        launch.arguments.insert(launch.arguments.end(), arguments.begin(), arguments.end());
        return harness::runProgram(launch);
    }

    // The files left in the work folder besides the program's own.
    std::vector<std::string> leftOver() const
    {
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(work))
            if (entry.path().filename() != "bin")
                files.push_back(entry.path().filename().string());
        return files;
    }

    fs::path work;
};

// One mode's whole sequence from the command line, judged: every screen is in the JSON with its
// caption, verdict and PNG, and the JUnit XML has a test case for each.
TEST_F(Reports, ATestedModesReportsListEveryScreenForJsonAndJunitReaders)
{
    for (const char* machine : {"default", "cirrus"}) {
        SCOPED_TRACE(machine);
        const std::string shots = std::string("shots-") + machine;
        const std::string json = std::string("r-") + machine + ".json", junit = std::string("r-") + machine + ".xml";
        const harness::Exit r = run({"--headless", "--machine", machine, "--test", "640x480x8", "--verdict", "--report",
                                     json, "--junit", junit, "--shots", shots});
        ASSERT_EQ(r.status, 0) << r.err;
        const harness::Exit read = check({"screens", json, junit});
        EXPECT_EQ(read.status, 0) << read.out << read.err;
        const std::string report = readFile(work / json);
        EXPECT_NE(report.find("\"caption\": \"Bank switching test / Video mode: 640 x 480 8 bit"), std::string::npos);
        EXPECT_NE(report.find("\"command_line\": "), std::string::npos);
        EXPECT_NE(report.find(std::string("\"machine\": \"") + machine + "\""), std::string::npos);
    }
}

// The JSON rows of --conformance are the table's rows, on each ROM.
TEST_F(Reports, ConformanceReportsAreTheTablesRowsOnEveryRom)
{
    for (const char* machine : {"default", "seavgabios", "cirrus", "cirrus-seavgabios"}) {
        SCOPED_TRACE(machine);
        const std::string json = std::string("c-") + machine + ".json", junit = std::string("c-") + machine + ".xml";
        const harness::Exit r = run({"--conformance", "--machine", machine, "--report", json, "--junit", junit});
        ASSERT_TRUE(r.status == 0 || r.status == 1) << r.err;
        std::ofstream(work / "table.txt") << r.out;
        const harness::Exit read = check({"table", json, junit, "table.txt"});
        EXPECT_EQ(read.status, 0) << read.out << read.err;
        EXPECT_NE(readFile(work / json).find("\"exit_status\": " + std::to_string(r.status)), std::string::npos);
    }
}

// Each refusal is one line and a non-zero exit, and leaves no file: a report in a folder
// that does not exist, two options naming one file, a mode the machine does not list (its
// report says so, whole), and a disk that fills up while the reports are written.
TEST_F(Reports, ReportsThatCannotBeWrittenLeaveNothingAndSaySo)
{
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* says;
        std::vector<std::string> left;
        uint64_t fileSizeLimit = 0;
    };
    const Case cases[] = {
        {{"--conformance", "--report", "missing/r.json"}, 2, "the folder missing does not exist", {}},
        {{"--headless", "--test", "640x480x8", "--report", "r.json", "--junit", "./r.json"}, 2, "name the same file", {}},
        {{"--headless", "--test", "1600x1200x8", "--report", "r.json"},
         5,
         "--test 1600x1200x8: the machine lists no mode 1600 x 1200 at 8 bit",
         {"r.json"}},
        {{"--conformance", "--report", "r.json", "--junit", "r.xml"}, 2, "cannot write r.", {}, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const harness::Exit r = run(c.arguments, c.fileSizeLimit);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        std::vector<std::string> left = leftOver();
        left.erase(std::remove_if(left.begin(), left.end(), [](const std::string& f) { return f == "machines"; }),
                   left.end());
        EXPECT_EQ(left, c.left);
        for (const std::string& file : left)
            fs::remove_all(work / file);
    }
}

// The pages open in a browser with the run's facts and counts at the top and the pictures in
// a grid of thumbnails, each a link to the picture at full size.
TEST_F(Reports, PagesShowTheFactsCountsAndAThumbnailGridInChromium)
{
    if (!fs::exists(CHROMIUM))
        GTEST_SKIP() << CHROMIUM << " is not installed (Debian package chromium): the pages are not rendered";
    ASSERT_EQ(run({"--headless", "--test", "640x480x8", "--verdict", "--shots", "shots"}).status, 0);
    // Each run fills a new or empty folder of its own.
    ASSERT_LE(run({"--conformance", "--shots", "pages"}).status, 1);
    // One browser start renders both pages in frames and writes what it measured into its DOM.
    std::ofstream(work / "shots" / "look.html") << R"(<!DOCTYPE html><html><body>
<iframe id="index" src="index.html" width="1200" height="900"></iframe>
<iframe id="conformance" src="../pages/conformance.html" width="1200" height="900"></iframe>
<pre id="seen"></pre>
<script>
function look(frame) {
  const d = document.getElementById(frame).contentDocument;
  const facts = [...d.querySelectorAll('#facts dt')].map(e => e.textContent).join('|');
  const counts = (d.querySelector('#counts') || {}).textContent;
  const grid = d.querySelector('.grid');
  const columns = grid ? getComputedStyle(grid).gridTemplateColumns.split(' ').length : 0;
  const thumbs = [...d.querySelectorAll('.grid figure img')];
  const small = thumbs.filter(i => i.complete && i.naturalWidth > 0 && i.width < i.naturalWidth).length;
  const linked = thumbs.filter(i => i.parentElement.tagName == 'A' &&
                                    i.parentElement.getAttribute('href') == i.getAttribute('src')).length;
  return frame + ': facts=' + facts + ' counts=' + counts + ' columns=' + columns + ' thumbs=' + thumbs.length +
         ' small=' + small + ' linked=' + linked + '\n';
}
window.onload = () => { document.getElementById('seen').textContent = look('index') + look('conformance'); };
</script></body></html>)";
    harness::Launch browse;
    browse.program = CHROMIUM;
    browse.folder = work.string();
    browse.arguments = {"--headless",
                        "--no-sandbox",
                        "--disable-gpu",
                        "--allow-file-access-from-files",
                        "--virtual-time-budget=10000",
                        "--dump-dom",
                        "file://" + (work / "shots" / "look.html").string()};
    browse.setEnvironment = {{"HOME", work.string()}};
    browse.limit = std::chrono::seconds(120);
    const harness::Exit shown = harness::runProgram(browse);
    ASSERT_EQ(shown.status, 0) << shown.err;
    const size_t at = shown.out.find("<pre id=\"seen\">");
    ASSERT_NE(at, std::string::npos) << shown.out;
    const std::string seen = shown.out.substr(at, shown.out.find("</pre>", at) - at);
    const std::string facts = "facts=machine|ROM|ROM SHA-256|Palisade|date|command line|exit status";
    EXPECT_NE(seen.find("index: " + facts + " counts=63 screens: 59 judged, 59 pass, 0 differ"), std::string::npos)
        << seen;
    EXPECT_NE(seen.find("conformance: " + facts + " counts=32 rows: BIOS "), std::string::npos) << seen;
    // A grid of several columns, every picture a thumbnail smaller than the picture it links to.
    const size_t columns = seen.find("columns=", seen.find("index: ")) + 8;
    EXPECT_GT(std::stoi(seen.substr(columns)), 1) << seen;
    EXPECT_NE(seen.find("thumbs=63 small=63 linked=63"), std::string::npos) << seen;
}

}  // namespace
