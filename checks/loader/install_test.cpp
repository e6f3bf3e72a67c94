// KS_install on a present driver file: judging, loading, patching, the check entry, hooking;
// KS_exit; the memory failures; the loader's own fatal message; the status texts.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "checks/loader/loader_fixture.h"
#include "loader/fatal_no_vbe.h"

namespace loader_checks {
namespace {

using InstallTest = LoaderTest;

// Where the fake allocator puts the driver block: after the 512-byte scratch block, which is
// freed but not reused.
uint32_t driverSegment()
{
    return fake::callsNamed("RM_callRealMode").at(0).args[0];
}

std::vector<uint8_t> blockContents(uint32_t segment, size_t length)
{
    const uint8_t* start = fake::realPointer(static_cast<uint16_t>(segment), 0);
    return std::vector<uint8_t>(start, start + length);
}

TEST_F(InstallTest, LoadsThePatchedImageChecksItAndHooksBothInterrupts)
{
    DriverImage image;
    putDriver(image);
    RealModeRegs checkRegs{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    fake::realMode().onFarCall = [&](uint32_t segment, uint32_t, RealModeRegs& regs) {
        checkRegs = regs;
        // The check entry works in its own data; the hooked image must not keep that.
        std::memset(fake::realPointer(static_cast<uint16_t>(segment), 0x200), 0xEE, 64);
        regs.ax = 1;
    };

    ASSERT_EQ(KS_install(driverDir, 1, 1), KS_OK);

    const uint32_t segment = driverSegment();
    EXPECT_EQ(fake::callsNamed("RM_callRealMode")[0].args[1], 0x0300);
    EXPECT_EQ(std::memcmp(&checkRegs, "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", sizeof checkRegs), 0)
        << "the check entry is called with zeroed registers";

    DriverImage patched = image;
    patched.word(103, 0x1234);
    patched.word(105, 0xC000);
    patched.word(107, 0x5678);
    patched.word(109, 0xF000);
    patched.word(129, 15);
    patched.word(145, static_cast<uint16_t>(segment));
    EXPECT_EQ(blockContents(segment, image.bytes.size()), patched.bytes);
    EXPECT_EQ(fake::files()[driverPath], image.bytes) << "the file on disk is never changed";

    EXPECT_EQ(vector(0x10), (segment << 16) | 0x0310);
    EXPECT_EQ(vector(0x2F), (segment << 16) | 0x0320);
    // The scratch block and the probes' copies into it, then the driver block.
    const std::vector<std::string> order = {"RM_allocRealSeg", "RM_memcpyfn",    "RM_int86x",       "RM_memcpyfn",
                                            "RM_int86x",       "RM_freeRealSeg", "RM_allocRealSeg", "RM_getRMvect",
                                            "RM_getRMvect",    "RM_memcpyfn",    "RM_callRealMode", "RM_memcpyfn",
                                            "RM_setRMvect",    "RM_setRMvect"};
    const auto rmCalls = fake::callNames({"RM_allocRealSeg", "RM_freeRealSeg", "RM_int86x", "RM_getRMvect",
                                          "RM_memcpyfn", "RM_callRealMode", "RM_setRMvect"});
    EXPECT_EQ(rmCalls, order);
    EXPECT_EQ(fake::callsNamed("RM_allocRealSeg")[1].args[0], 1024) << "the driver block has the file's length";
    EXPECT_EQ(fake::callsNamed("RM_getRMvect")[0].args[0], 0x10);
    EXPECT_EQ(fake::callsNamed("RM_setRMvect")[0].args[0], 0x10);
    EXPECT_EQ(fake::realMode().liveBlocks.size(), 1u) << "only the driver block stays";
    EXPECT_EQ(fake::countOf("CreateProcessA"), 0u);

    EXPECT_STREQ(KS_getDriverString1(), "Kestrel for DISPI");
    EXPECT_STREQ(KS_getDriverString2(), "Bochs DISPI");
    EXPECT_STREQ(KS_getDriverString3(), "4096 KB");
}

TEST_F(InstallTest, ExitRestoresTheVectorsInReverseOrderOnce)
{
    putDriver(DriverImage());
    ASSERT_EQ(KS_install(driverDir, 1, 1), KS_OK);
    fake::calls().clear();

    KS_exit();
    EXPECT_EQ(fake::callNames(), (std::vector<std::string>{"RM_setRMvect", "RM_setRMvect", "RM_freeRealSeg"}));
    EXPECT_EQ(fake::callsNamed("RM_setRMvect")[0].args, (std::vector<int64_t>{0x2F, biosInt2F}));
    EXPECT_EQ(fake::callsNamed("RM_setRMvect")[1].args, (std::vector<int64_t>{0x10, biosInt10}));
    EXPECT_EQ(vector(0x10), biosInt10);
    EXPECT_EQ(vector(0x2F), biosInt2F);
    EXPECT_TRUE(fake::realMode().liveBlocks.empty());

    fake::calls().clear();
    KS_exit();
    EXPECT_TRUE(fake::calls().empty()) << "a second KS_exit does nothing";
}

TEST_F(InstallTest, ExitWithoutAnInstallDoesNothing)
{
    KS_exit();
    EXPECT_TRUE(fake::calls().empty());
}

class ScaledQuantity : public LoaderTest, public ::testing::WithParamInterface<std::pair<uint16_t, uint16_t>> {};

TEST_P(ScaledQuantity, IsTheWordAt153DividedBy64)
{
    DriverImage image;
    image.word(DriverHeader::quantity, GetParam().first);
    putDriver(image);
    ASSERT_EQ(KS_install(driverDir, 1, 1), KS_OK);
    const auto block = blockContents(driverSegment(), image.bytes.size());
    EXPECT_EQ(block[129] | (block[130] << 8), GetParam().second);
    EXPECT_EQ(block[153] | (block[154] << 8), GetParam().first);
}

INSTANTIATE_TEST_SUITE_P(Words, ScaledQuantity,
                         ::testing::Values(std::pair<uint16_t, uint16_t>{1000, 15},
                                           std::pair<uint16_t, uint16_t>{64, 1}, std::pair<uint16_t, uint16_t>{63, 0},
                                           std::pair<uint16_t, uint16_t>{0, 0},
                                           std::pair<uint16_t, uint16_t>{0xFFFF, 1023}));

TEST_F(InstallTest, DriverStringsAreCutToTheirFieldsAndTerminated)
{
    DriverImage image;
    std::memset(&image.bytes[DriverHeader::string1], 'a', 80);
    std::memset(&image.bytes[DriverHeader::string2], 'b', 50);
    std::memset(&image.bytes[DriverHeader::string3], 'c', 50);
    image.bytes[DriverHeader::string3 + 50] = 'X';  // no zero byte for a while after the field
    putDriver(image);

    ASSERT_EQ(KS_install(driverDir, 1, 1), KS_OK);
    EXPECT_EQ(std::string(KS_getDriverString1()), std::string(79, 'a'));
    EXPECT_EQ(std::string(KS_getDriverString2()), std::string(49, 'b'));
    EXPECT_EQ(std::string(KS_getDriverString3()), std::string(49, 'c'));
}

// ---- Judging the file ---------------------------------------------------------------------

struct JudgeCase {
    const char* name;
    friend void PrintTo(const JudgeCase& c, std::ostream* os) { *os << c.name; }
    std::function<void(DriverImage&)> edit;
    const char* resident;  // version of a resident Kestrel driver, or null
    int expected;
};

class Judging : public LoaderTest, public ::testing::WithParamInterface<JudgeCase> {};

TEST_P(Judging, DecidesByTheFirstFailingCheck)
{
    const JudgeCase& c = GetParam();
    if (c.resident) {
        bios.oem = "Kestrel Video Core";
        bios.residentMajor = c.resident[0];
        bios.residentMinor = c.resident[1];
    }
    DriverImage image;
    c.edit(image);
    putDriver(image);
    fake::files()[generatorPath] = {};

    EXPECT_EQ(KS_install(driverDir, 1, 1), c.expected);

    EXPECT_EQ(fake::files()[driverPath], image.bytes);
    EXPECT_EQ(fake::countOf("CreateProcessA"), 0u) << "a rejected file is not regenerated";
    EXPECT_EQ(fake::countOf("DeleteFileA"), 0u);
    if (c.expected == KS_OK) {
        EXPECT_EQ(fake::countOf("RM_setRMvect"), 2u);
    } else {
        EXPECT_EQ(fake::countOf("RM_allocRealSeg"), 1u) << "no driver block for a rejected file";
        EXPECT_EQ(fake::countOf("RM_callRealMode"), 0u);
        EXPECT_EQ(vector(0x10), biosInt10);
        EXPECT_EQ(vector(0x2F), biosInt2F);
        EXPECT_TRUE(fake::realMode().liveBlocks.empty());
    }
}

auto version(char major, char minor)
{
    return [=](DriverImage& image) { image.version(major, minor); };
}
auto resize(size_t length)
{
    return [=](DriverImage& image) { image.bytes.resize(length); };
}
void noHardware(DriverImage& image)
{
    image.word(DriverHeader::hardwareCode, 38);
}
void unchanged(DriverImage&) {}

INSTANTIATE_TEST_SUITE_P(
    Files, Judging,
    ::testing::Values(
        JudgeCase{"Valid", unchanged, nullptr, KS_OK},
        JudgeCase{"SignatureFirstByte", [](DriverImage& i) { i.bytes[0] = 'k'; }, nullptr, KS_FILE_INVALID},
        JudgeCase{"SignatureLastByte", [](DriverImage& i) { i.bytes[17] = 'E'; }, nullptr, KS_FILE_INVALID},
        JudgeCase{"ZeroInSignature", [](DriverImage& i) { i.bytes[9] = 0; }, nullptr, KS_FILE_INVALID},
        JudgeCase{"Empty", resize(0), nullptr, KS_FILE_INVALID},
        JudgeCase{"SignatureOnly", resize(18), nullptr, KS_FILE_INVALID},
        JudgeCase{"OneByteShortOfTheHeader", resize(605), nullptr, KS_FILE_INVALID},
        JudgeCase{"ExactlyTheHeader", resize(606), nullptr, KS_OK},
        JudgeCase{"Version51", version('5', '1'), nullptr, KS_FILE_OLDER},
        JudgeCase{"Version49", version('4', '9'), nullptr, KS_FILE_OLDER},
        JudgeCase{"Version53", version('5', '3'), nullptr, KS_OK},
        JudgeCase{"Version60", version('6', '0'), nullptr, KS_OK},
        JudgeCase{"VersionAbove127IsNegative", version('\x80', '0'), nullptr, KS_FILE_OLDER},
        JudgeCase{"NoHardware", noHardware, nullptr, KS_NO_HARDWARE},
        JudgeCase{"NoHardwareAndOlder",
                  [](DriverImage& i) {
                      noHardware(i);
                      i.version('5', '1');
                  },
                  nullptr, KS_FILE_OLDER},
        JudgeCase{"AllWrong",
                  [](DriverImage& i) {
                      noHardware(i);
                      i.version('4', '0');
                      i.bytes[3] = '?';
                  },
                  "99", KS_FILE_INVALID},
        JudgeCase{"ResidentSameVersion", unchanged, "52", KS_LATER_RESIDENT},
        JudgeCase{"ResidentOlder", unchanged, "51", KS_OK},
        JudgeCase{"ResidentLaterMinor", unchanged, "53", KS_LATER_RESIDENT},
        JudgeCase{"ResidentLaterMajor", version('5', '9'), "60", KS_LATER_RESIDENT},
        JudgeCase{"ResidentOlderMajor", version('6', '0'), "59", KS_OK},
        JudgeCase{"ResidentAndNoHardware", noHardware, "52", KS_NO_HARDWARE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallTest, AResidentDriverThatDoesNotAnswerItsQueryIsIgnored)
{
    bios.oem = "Kestrel Video Core";
    bios.residentMajor = '9';
    bios.queryStatus = 0x024F;
    putDriver(DriverImage());
    EXPECT_EQ(KS_install(driverDir, 1, 1), KS_OK);
}

TEST_F(InstallTest, AFileThatCannotBeReadIsNotLoaded)
{
    putDriver(DriverImage());
    fake::setResult("ReadFile", 0);
    EXPECT_EQ(KS_install(driverDir, 1, 1), KS_FILE_INVALID);
    EXPECT_EQ(fake::countOf("CloseHandle"), 1u);
    EXPECT_EQ(fake::countOf("RM_callRealMode"), 0u);
    EXPECT_EQ(fake::countOf("CreateProcessA"), 0u);
}

// ---- ignoreVBE ----------------------------------------------------------------------------

struct IgnoreVbeCase {
    const char* name;
    friend void PrintTo(const IgnoreVbeCase& c, std::ostream* os) { *os << c.name; }
    int ignoreVBE;
    bool vbe;
    uint16_t version;
    const char* oem;
    int expected;
};

class IgnoreVbe : public LoaderTest, public ::testing::WithParamInterface<IgnoreVbeCase> {};

TEST_P(IgnoreVbe, StopsBeforeTheDiskOnlyForVbe20WhenNotIgnored)
{
    const IgnoreVbeCase& c = GetParam();
    bios.answers = c.vbe;
    bios.version = c.version;
    bios.oem = c.oem;
    putDriver(DriverImage());

    EXPECT_EQ(KS_install(driverDir, c.ignoreVBE, 1), c.expected);
    EXPECT_EQ(touchedDisk(), c.expected != KS_VBE20_PRESENT);
    if (c.expected == KS_VBE20_PRESENT) {
        EXPECT_TRUE(fake::realMode().liveBlocks.empty()) << "the scratch block is freed";
    }
}

INSTANTIATE_TEST_SUITE_P(Bioses, IgnoreVbe,
                         ::testing::Values(IgnoreVbeCase{"Vbe20", 0, true, 0x0200, "Bochs", KS_VBE20_PRESENT},
                                           IgnoreVbeCase{"Vbe30", 0, true, 0x0300, "SeaBIOS", KS_VBE20_PRESENT},
                                           IgnoreVbeCase{"Vbe30Vort", 0, true, 0x0300, "VORT", KS_OK},
                                           IgnoreVbeCase{"Vbe12", 0, true, 0x0102, "Bochs", KS_OK},
                                           IgnoreVbeCase{"NoVbe", 0, false, 0, "", KS_OK},
                                           IgnoreVbeCase{"Vbe20Ignored", 1, true, 0x0200, "Bochs", KS_OK}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Real-mode memory ---------------------------------------------------------------------

TEST_F(InstallTest, NoRealModeMemoryForTheScratchBlockStopsBeforeTheProbes)
{
    fake::realMode().failAllocationNumber = 0;
    putDriver(DriverImage());
    EXPECT_EQ(KS_install(driverDir, 1, 1), KS_NO_REAL_MODE_MEMORY);
    EXPECT_EQ(fake::countOf("RM_int86x"), 0u);
    EXPECT_FALSE(touchedDisk());
}

TEST_F(InstallTest, NoRealModeMemoryForTheDriverLeavesEverythingAsItWas)
{
    fake::realMode().failAllocationNumber = 1;
    DriverImage image;
    putDriver(image);
    EXPECT_EQ(KS_install(driverDir, 1, 1), KS_NO_REAL_MODE_MEMORY);
    EXPECT_EQ(fake::countOf("RM_callRealMode"), 0u);
    EXPECT_EQ(fake::countOf("RM_setRMvect"), 0u);
    EXPECT_TRUE(fake::realMode().liveBlocks.empty());
    EXPECT_EQ(fake::files()[driverPath], image.bytes);
}

// ---- A driver that needs a VBE BIOS -------------------------------------------------------

TEST_F(InstallTest, ADriverThatNeedsAVbeBiosWhereNoneAnsweredEndsTheProgram)
{
    bios.answers = false;
    DriverImage image;
    image.word(DriverHeader::needsVbeBios, 1);
    putDriver(image);

    EXPECT_EXIT(
        {
            // Reports from the dying process what it showed.
            std::atexit([] {
                const auto& boxes = fake::messageBoxes();
                std::fprintf(stderr, "boxes=%zu\n", boxes.size());
                for (const auto& box : boxes)
                    std::fprintf(stderr, "caption=[%s] type=%u text=%s owner=%lld\n", box.caption.c_str(), box.type,
                                 box.text == fatalNoVBEText ? "exact" : "other",
                                 static_cast<long long>(fake::callsNamed("MessageBoxA").at(0).args.at(0)));
            });
            KS_install(driverDir, 1, 1);
        },
        ::testing::ExitedWithCode(1), "boxes=1\ncaption=\\[KestrelLib Fatal Error!\\] type=48 text=exact owner=0");
}

class NeedsVbe : public LoaderTest, public ::testing::WithParamInterface<std::pair<uint16_t, bool>> {};

TEST_P(NeedsVbe, InstallsWhenNotNeededOrPresent)
{
    bios.answers = GetParam().second;
    DriverImage image;
    image.word(DriverHeader::needsVbeBios, GetParam().first);
    putDriver(image);
    EXPECT_EQ(KS_install(driverDir, 1, 1), KS_OK);
    EXPECT_TRUE(fake::messageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, NeedsVbe,
                         ::testing::Values(std::pair<uint16_t, bool>{1, true}, std::pair<uint16_t, bool>{0, false},
                                           std::pair<uint16_t, bool>{0, true}));

// ---- Status texts and constants -----------------------------------------------------------

TEST(StatusText, EachCodeHasItsText)
{
    const std::pair<int, const char*> texts[] = {
        {0, "Ok"},
        {1, "Graphics hardware not detected"},
        {2, "VBE 2.0 detected and ignoreVBE was false"},
        {3, "A later version of Kestrel TSR is installed"},
        {4, "Unknown error code from KS_install!"},
        {5, "Could not find KESTREL.DRV driver file!"},
        {6, "KESTREL.DRV is not a valid driver file!"},
        {7, "KESTREL.DRV driver file is older version!"},
        {8, "Could not allocate memory to load driver!"},
        {9, "Could not allocate real mode memory!"},
        {10, "Could not generate KESTREL.DRV driver (could not run KSCONFIG.EXE)"},
        {11, "Check install failed repeatedly! Please report immediately!"},
        {12, "Unknown error code from KS_install!"},
        {-1, "Unknown error code from KS_install!"},
        {INT_MIN, "Unknown error code from KS_install!"},
        {INT_MAX, "Unknown error code from KS_install!"},
    };
    for (const auto& [code, text] : texts)
        EXPECT_STREQ(KS_getErrorString(code), text) << "code " << code;
}

TEST(StatusText, LibraryConstants)
{
    EXPECT_STREQ(KS_getMajorVersion(), "5");
    EXPECT_STREQ(KS_getMinorVersion(), "2");
    EXPECT_STREQ(KS_getReleaseDate(), "May  5 1996");
    EXPECT_GT(std::strlen(KS_getCopyright()), 0u);
}

}  // namespace
}  // namespace loader_checks
