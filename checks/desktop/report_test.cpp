// The pieces of a run's reports: the ROM's digest, files written whole or not at all, the
// refusal of one file named twice, text made safe for JSON and XML, the modes a test step
// takes, and the names of full-screen pictures.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "desktop/mode_run.h"
#include "desktop/output_files.h"
#include "desktop/report_files.h"
#include "desktop/run_page.h"
#include "desktop/run_report.h"
#include "desktop/screen_name.h"
#include "desktop/sha256.h"
#include "desktop/whole_file.h"

namespace fs = std::filesystem;

namespace {

TEST(Sha256, KnownDigestsAcrossTheBlockBoundary)
{
    struct Case {
        std::string text;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(desktop::sha256Hex(c.text), c.digest) << c.text.size() << " bytes";
}

class Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("palisade-whole-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string read(const fs::path& path)
    {
        std::ifstream file(path);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }
    fs::path folder;
};

TEST_F(Files, AReportReplacesALinkOfItsNameWithoutWritingThroughIt)
{
    std::ofstream(folder / "victim") << "keep me";
    fs::create_symlink(folder / "victim", folder / "r.json");
    desktop::writeWhole({{(folder / "r.json").string(), "{}\n"}});
    EXPECT_FALSE(fs::is_symlink(folder / "r.json"));
    EXPECT_EQ(read(folder / "r.json"), "{}\n");
    EXPECT_EQ(read(folder / "victim"), "keep me");
}

TEST_F(Files, WhenOneReportCannotBeWrittenNeitherIsAndNoTemporaryIsLeft)
{
    std::ofstream(folder / "r.json") << "the last run's";
    EXPECT_THROW(
        desktop::writeWhole({{(folder / "r.json").string(), "new"}, {(folder / "missing" / "r.xml").string(), "<x/>"}}),
        std::runtime_error);
    EXPECT_EQ(read(folder / "r.json"), "the last run's");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(Files, AReportAndALogNamingOneFileAreRefused)
{
    std::ofstream(folder / "log") << "";
    fs::create_symlink(folder / "log", folder / "link");
    const std::string f = folder.string();
    struct Case {
        std::string first, second;
        bool refused;
    };
    const Case cases[] = {
        {f + "/r.json", f + "/./r.json", true},
        {f + "/log", f + "/link", true},
        {f + "/r.json", f + "/r.xml", false},
    };
    using Kind = desktop::NamedPath::Kind;
    for (const Case& c : cases) {
        bool refused = false;
        try {
            desktop::checkNamedPaths(
                {{Kind::OutputFile, "--io-log", c.first}, {Kind::OutputFile, "--report", c.second}});
        } catch (const std::runtime_error& error) {
            refused = true;
            EXPECT_NE(std::string(error.what()).find("name the same file"), std::string::npos) << error.what();
        }
        EXPECT_EQ(refused, c.refused) << c.first << " " << c.second;
    }
}

TEST(ReportText, BytesThatAreNotUtf8AndControlCharactersAreMadeSafe)
{
    const std::string oem = std::string("Bochs \"VBE\"\t\x01 caf\xC3\xA9 \xFF\xC3");
    EXPECT_EQ(desktop::jsonString(oem), "\"Bochs \\\"VBE\\\"\\t\\u0001 caf\xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(desktop::xmlText(oem), "Bochs &quot;VBE&quot;\t\xEF\xBF\xBD caf\xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(desktop::xmlText("a < b & c > d\n"), "a &lt; b &amp; c &gt; d&#10;");
}

TEST(ModeRequest, WhatATestStepTakes)
{
    struct Case {
        const char* text;
        bool valid;
        int width, height, depth;
        const char* access;
    };
    const Case cases[] = {
        {"640x480x8", true, 640, 480, 8, ""},
        {"640x480x8 linear", true, 640, 480, 8, "linear"},
        {"1024x768x16 virtual linear", true, 1024, 768, 16, "virtual linear"},
        {"320x200x4 planar", true, 320, 200, 4, "planar"},
        {"640x480", false, 0, 0, 0, ""},
        {"640x480x9", false, 0, 0, 0, ""},
        {"640x480x8 fast", false, 0, 0, 0, ""},
        {"x480x8", false, 0, 0, 0, ""},
        {"640x-480x8", false, 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        desktop::ModeRequest request;
        std::string error;
        ASSERT_EQ(desktop::parseModeRequest(c.text, request, error), c.valid) << c.text << ": " << error;
        if (!c.valid) {
            EXPECT_FALSE(error.empty()) << c.text;
            continue;
        }
        EXPECT_EQ(request.width, c.width);
        EXPECT_EQ(request.height, c.height);
        EXPECT_EQ(request.depth, c.depth);
        EXPECT_EQ(request.access, c.access);
    }
    desktop::ModeRequest all;
    std::string error;
    ASSERT_TRUE(desktop::parseModeRequest("all", all, error));
    EXPECT_TRUE(all.all);
}

TEST(ScreenName, FromTheTextsElseTheAcceleratorOperationsTheClipAndTheCursor)
{
    display::ScreenContents texts;
    texts.texts = {" 59.8 fps", "Page flipping - should be no flicker", "   "};
    display::ScreenContents drawn;
    drawn.operations = {{"AF_drawRect", 257}, {"AF_drawRect (XOR)", 1}};
    drawn.clipped = true;
    drawn.clipLeft = drawn.clipTop = 50;
    drawn.clipRight = 589;
    drawn.clipBottom = 429;
    display::MeantScreen cursor;
    cursor.modeSet = true;
    cursor.cursor.shown = true;
    cursor.cursor.x = 320;
    cursor.cursor.y = 240;
    EXPECT_EQ(desktop::screenName(texts, {}), "59.8 fps / Page flipping - should be no flicker");
    EXPECT_EQ(desktop::screenName(drawn, cursor),
              "AF_drawRect \u00d7257, AF_drawRect (XOR) \u00d71; clipped to (50,50)-(589,429); hardware cursor at "
              "(320,240)");
    EXPECT_EQ(desktop::screenName({}, {}), "");
}

// A page that explains itself: the facts and counts first, a hint repeated on many screens
// once with its count, the differing screens as meant | shown | diff, then the grid.
TEST(IndexPage, GroupsRepeatedHintsAndShowsWhatDiffersBeforeTheGrid)
{
    desktop::RunFacts facts;
    facts.machine = "swap";
    facts.romPath = "/usr/share/vgabios/vgabios-stdvga.bin";
    facts.romSha256 = std::string(64, 'a');
    facts.exitStatus = 4;
    std::vector<desktop::ScreenEntry> screens;
    for (int i = 1; i <= 4; ++i) {
        desktop::ScreenEntry s;
        s.number = i;
        s.png = "000" + std::to_string(i) + ".png";
        s.caption = "screen " + std::to_string(i);
        s.judged = i > 1;
        s.differs = i > 1;
        s.hint =
            std::to_string(100 * i) + " pixels differ; " +
            (i < 4 ? "palette entry 2: asked 00 2A 00, shows 2A 00 00" : "display start: asked line 0, shows line 1");
        s.diffPng = s.differs ? "000" + std::to_string(i) + "-diff.png" : "";
        s.meantPng = s.differs ? "000" + std::to_string(i) + "-meant.png" : "";
        screens.push_back(s);
    }
    const std::string page = desktop::indexPage(facts, screens);
    const size_t counts = page.find("<p id=\"counts\">4 screens: 3 judged, 0 pass, 3 differ</p>");
    const size_t grouped = page.find("palette entry 2: asked 00 2A 00, shows 2A 00 00 \u2014 on 2 screens");
    const size_t single = page.find("display start: asked line 0, shows line 1 \u2014 on 1 screen");
    const size_t triple = page.find("<div class=\"what\">meant</div><a href=\"0002-meant.png\">");
    const size_t grid = page.find("<div class=\"grid\">");
    ASSERT_NE(counts, std::string::npos) << page;
    ASSERT_NE(grouped, std::string::npos) << page;
    EXPECT_NE(single, std::string::npos);
    ASSERT_NE(triple, std::string::npos) << page;
    EXPECT_LT(counts, grouped);
    EXPECT_LT(grouped, triple);
    EXPECT_LT(triple, grid);
    EXPECT_NE(page.find("<dd>" + std::string(64, 'a') + "</dd>"), std::string::npos);

    // A PC that brings its own video BIOS (DOSBox, a PC on a line) names no file.
    facts.romPath.clear();
    facts.romSha256.clear();
    EXPECT_NE(desktop::indexPage(facts, screens).find("<dt>ROM</dt><dd>the PC's own</dd>"), std::string::npos);
}

}  // namespace
