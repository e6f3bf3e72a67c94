// The two probes of the video BIOS: the VBE version (with the "VORT" case) and the query of a
// resident Kestrel driver.
#include <gtest/gtest.h>

#include "checks/loader/loader_fixture.h"
#include "loader/vbe_probe.h"

namespace loader_checks {
namespace {

class ProbeTest : public LoaderTest {
protected:
    void SetUp() override
    {
        LoaderTest::SetUp();
        RealModeBlock& block = probeScratchBlock;
        ASSERT_TRUE(
            RM_allocRealSeg(probeScratchSize, &block.selector, &block.offset, &block.realSegment, &block.realOffset));
        fake::calls().clear();
    }
    void TearDown() override
    {
        RM_freeRealSeg(probeScratchBlock.selector, probeScratchBlock.offset);
        probeScratchBlock = RealModeBlock{};
        LoaderTest::TearDown();
    }
};

TEST_F(ProbeTest, HandsTheBiosAScratchBlockThatAsksForVbe2)
{
    std::vector<uint8_t> seen;
    RealModeSegRegs segmentsSeen{};
    RealModeRegs regsSeen{};
    auto bios = fake::realMode().onInterrupt;
    fake::realMode().onInterrupt = [&](int interrupt, RealModeRegs& regs, RealModeSegRegs& segments) {
        const uint8_t* block = fake::realPointer(segments.es, regs.di);
        seen.assign(block, block + probeScratchSize);
        segmentsSeen = segments;
        regsSeen = regs;
        bios(interrupt, regs, segments);
    };

    EXPECT_EQ(getVBEVersion(), 0x0200);

    EXPECT_EQ(regsSeen.ax, 0x4F00);
    EXPECT_EQ(segmentsSeen.es, probeScratchBlock.realSegment);
    EXPECT_EQ(regsSeen.di, probeScratchBlock.realOffset);
    ASSERT_EQ(seen.size(), probeScratchSize);
    EXPECT_EQ(std::string(seen.begin(), seen.begin() + 4), "VBE2");
    EXPECT_EQ(std::count(seen.begin() + 4, seen.end(), 0), static_cast<long>(probeScratchSize - 4));
    const std::vector<std::string> copies = {"RM_memcpyfn", "RM_int86x", "RM_memcpynf"};
    EXPECT_EQ(fake::callNames(copies), copies);
    EXPECT_EQ(fake::callsNamed("RM_memcpyfn")[0].args[2], probeScratchSize);
    EXPECT_EQ(fake::callsNamed("RM_memcpynf")[0].args[2], probeScratchSize);
}

struct VersionCase {
    const char* name;
    friend void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.name; }
    bool answers;
    uint16_t status;
    const char* signature;
    uint16_t version;
    const char* oem;
    int expected;
    bool readsOemString;
};

class VersionProbe : public ProbeTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionProbe, ReportsTheVersionOrZero)
{
    const VersionCase& c = GetParam();
    bios.answers = c.answers;
    bios.status = c.status;
    bios.signature = c.signature;
    bios.version = c.version;
    bios.oem = c.oem;

    EXPECT_EQ(getVBEVersion(), c.expected);
    EXPECT_EQ(fake::countOf("RM_getLong"), c.readsOemString ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Bioses, VersionProbe,
    ::testing::Values(VersionCase{"NoVbe", false, 0x004F, "VESA", 0x0200, "x", 0, false},
                      VersionCase{"CallFailed", true, 0x014F, "VESA", 0x0200, "x", 0, false},
                      VersionCase{"NotSupported", true, 0x0000, "VESA", 0x0200, "x", 0, false},
                      VersionCase{"SignatureLeftAsVbe2", true, 0x004F, "", 0x0200, "x", 0, false},
                      VersionCase{"Vbe12", true, 0x004F, "VESA", 0x0102, "Bochs", 0x0102, false},
                      VersionCase{"Vbe20Vort", true, 0x004F, "VESA", 0x0200, "VORTEX BIOS", 0x0200, false},
                      VersionCase{"Vbe30Vort", true, 0x004F, "VESA", 0x0300, "VORTEX BIOS", 0x0102, true},
                      VersionCase{"Vbe30Other", true, 0x004F, "VESA", 0x0300, "SeaBIOS VBE", 0x0300, true},
                      VersionCase{"Vbe30Vor", true, 0x004F, "VESA", 0x0300, "VOR", 0x0300, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct ResidentCase {
    const char* name;
    friend void PrintTo(const ResidentCase& c, std::ostream* os) { *os << c.name; }
    uint16_t status;  // of 4F00h
    const char* oem;
    uint16_t queryStatus;  // of 4F0Fh
    bool queries;
    bool found;
};

class ResidentQuery : public ProbeTest, public ::testing::WithParamInterface<ResidentCase> {};

TEST_P(ResidentQuery, FindsOnlyAKestrelDriverThatAnswers)
{
    const ResidentCase& c = GetParam();
    bios.status = c.status;
    bios.oem = c.oem;
    bios.queryStatus = c.queryStatus;
    bios.residentMajor = '6';
    bios.residentMinor = '1';

    const ResidentDriverInfo* record = queryResidentDriver();

    const auto queries = fake::callsNamed("RM_int86");
    ASSERT_EQ(queries.size(), c.queries ? 1u : 0u);
    if (c.queries) {
        // ax, bx set for the query; cx as the 4F00h call left it.
        EXPECT_EQ(queries[0].args, (std::vector<int64_t>{0x10, 0x4F0F, 0x1234, bios.cxAfter4F00, 0}));
    }
    ASSERT_EQ(record != nullptr, c.found);
    if (c.found) {
        EXPECT_EQ(record->majorVersion, '6');
        EXPECT_EQ(record->minorVersion, '1');
        EXPECT_STREQ(record->string1, "resident Kestrel");
        const auto copied = fake::callsNamed("RM_memcpynf").back();
        EXPECT_EQ(copied.args[1], FakeBios::dataSegment * 16 + FakeBios::recordOffset);
        EXPECT_EQ(copied.args[2], 292);
    }
}

INSTANTIATE_TEST_SUITE_P(
    OemStrings, ResidentQuery,
    ::testing::Values(ResidentCase{"Exact", 0x004F, "Kestrel Video Core", 0x004F, true, true},
                      ResidentCase{"WithMoreText", 0x004F, "Kestrel Video Core 5.2 (DISPI)", 0x004F, true, true},
                      ResidentCase{"OnlyAPart", 0x004F, "Kestrel Video Cor", 0x004F, false, false},
                      ResidentCase{"Shorter", 0x004F, "Kestrel", 0x004F, false, false},
                      ResidentCase{"LastCharacterDiffers", 0x004F, "Kestrel Video Corx", 0x004F, false, false},
                      ResidentCase{"OtherCase", 0x004F, "kestrel video core", 0x004F, false, false},
                      ResidentCase{"OtherBios", 0x004F, "Bochs VBE Adapter", 0x004F, false, false},
                      ResidentCase{"QueryFails", 0x004F, "Kestrel Video Core", 0x014F, true, false},
                      ResidentCase{"VbeCallFails", 0x014F, "Kestrel Video Core", 0x004F, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace loader_checks
