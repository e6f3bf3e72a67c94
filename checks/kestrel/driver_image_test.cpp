// The driver image as built and as the generator fills it: the header a loader judges,
// the fields it patches, and the card analysis file the generator keeps beside it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kestrel/config_file.h"
#include "kestrel/driver_build.h"
#include "kestrel/driver_image.h"

namespace kestrel {
namespace {

CardAnalysis dispiCard()
{
    CardAnalysis card;
    card.machine = "default";
    card.hardwareCode = HARDWARE_DISPI;
    card.dispiId = 0xB0C5;
    card.videoMemoryKb = 4096;
    card.pciDevice = 2 << 3;
    card.lfbAddress = 0xE0000000;
    card.chipFamily = CHIP_FAMILY_DISPI;
    card.pciVendor = 0x1234;
    card.pciDeviceId = 0x1111;
    card.found = "Bochs DISPI SuperVGA (ID B0C5), 4096 KB, PCI 1234:1111 at 00:02.0";
    return card;
}

TEST(DriverImage, HeaderHasTheSignatureVersionAndEntriesInsideTheImage)
{
    const auto image = assembledImage(HARDWARE_DISPI);
    ASSERT_GT(image.size(), field::VERSION_MINOR);
    EXPECT_EQ(0, std::memcmp(image.data(), "Kestrel Video Core", field::SIGNATURE_LENGTH));
    EXPECT_EQ('5', image[field::VERSION_MAJOR]);
    EXPECT_EQ('2', image[field::VERSION_MINOR]);
    for (std::size_t entry : {field::CHECK_ENTRY, field::INT10_ENTRY, field::INT2F_ENTRY}) {
        const uint16_t offset = readWord(image, entry);
        EXPECT_GE(offset, field::INFO_RECORD + field::INFO_RECORD_SIZE) << "entry word at " << entry;
        EXPECT_LT(offset, image.size()) << "entry word at " << entry;
    }
    // Not generated for any card: a loader must refuse it.
    EXPECT_EQ(HARDWARE_NONE, readWord(image, field::HARDWARE_CODE));
}

CardAnalysis gd5446Card()
{
    CardAnalysis card;
    card.machine = "cirrus";
    card.hardwareCode = HARDWARE_GD5446;
    card.chipFamily = CHIP_FAMILY_CIRRUS;
    card.cirrusId = 0xB8;
    card.videoMemoryKb = 4096;
    card.pciDevice = 2 << 3;
    card.lfbAddress = 0xE0000000;
    card.pciVendor = 0x1013;
    card.pciDeviceId = 0x00B8;
    card.found = "Cirrus Logic GD5446 (CR27 B8h), 4096 KB, PCI 1013:00B8 at 00:02.0";
    return card;
}

TEST(DriverImage, GeneratorFillsItsFieldsAndStringsIntoTheChipsImageAndNothingElse)
{
    struct Case {
        CardAnalysis card;
        const char* string1;
        const char* string2;
    };
    const Case cases[] = {
        {dispiCard(), "Kestrel Video Core 5.2 for Bochs DISPI SuperVGA", "Bochs DISPI SuperVGA (ID B0C5)"},
        {gd5446Card(), "Kestrel Video Core 5.2 for Cirrus Logic GD5446", "Cirrus Logic GD5446 (CR27 B8h)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.card.machine);
        const auto built = buildDriver(c.card);
        const auto assembled = assembledImage(c.card.hardwareCode);
        ASSERT_EQ(assembled.size(), built.size());
        EXPECT_EQ(0, readWord(built, field::NEEDS_VBE_BIOS));
        EXPECT_EQ(c.card.hardwareCode, readWord(built, field::HARDWARE_CODE));
        EXPECT_EQ(c.card.chipFamily, readWord(built, field::CHIP_FAMILY));
        EXPECT_EQ(4096, readWord(built, field::MEMORY_KB));
        EXPECT_EQ(0x80001010u, readDword(built, field::PCI_BAR_ADDRESS));
        EXPECT_EQ(c.string1, readString(built, field::STRING1, field::STRING1_SIZE));
        EXPECT_EQ(c.string2, readString(built, field::STRING2, field::STRING2_SIZE));
        EXPECT_EQ("4096 KB, linear framebuffer at E0000000", readString(built, field::STRING3, field::STRING3_SIZE));
        EXPECT_EQ('5', built[field::VERSION_MAJOR]);
        EXPECT_EQ('2', built[field::VERSION_MINOR]);
        for (std::size_t i = field::INFO_RECORD + field::INFO_RECORD_SIZE; i < checksumOffset(built); ++i)
            ASSERT_EQ(assembled[i], built[i]) << "code byte " << i << " changed";
        EXPECT_EQ(imageChecksum(built), readDword(built, checksumOffset(built)));
    }
    EXPECT_NE(assembledImage(HARDWARE_DISPI).size(), assembledImage(HARDWARE_GD5446).size()) << "one image a back end";
}

// A KSCONFIG.DAT edited to name another chip's hardware code, or a chip found without a back
// end, must not give a driver that says it drives that chip.
TEST(DriverImage, OnlyTheChipOfTheBackEndGetsItsHardwareCode)
{
    CardAnalysis otherCirrus = gd5446Card();
    otherCirrus.hardwareCode = HARDWARE_NONE;
    CardAnalysis edited = dispiCard();
    edited.hardwareCode = HARDWARE_GD5446;
    CardAnalysis editedCirrus = gd5446Card();
    editedCirrus.hardwareCode = HARDWARE_DISPI;
    for (const CardAnalysis& card : {otherCirrus, edited, editedCirrus}) {
        const auto built = buildDriver(card);
        EXPECT_EQ(HARDWARE_NONE, readWord(built, field::HARDWARE_CODE));
        EXPECT_EQ(card.chipFamily, readWord(built, field::CHIP_FAMILY));
        EXPECT_EQ(0, readWord(built, field::MEMORY_KB));
    }
}

TEST(DriverImage, NoSupportedCardGivesHardwareCode38AndNoMemory)
{
    CardAnalysis none;
    none.machine = "plainvga";
    const auto built = buildDriver(none);
    EXPECT_EQ(HARDWARE_NONE, readWord(built, field::HARDWARE_CODE));
    EXPECT_EQ(0, readWord(built, field::MEMORY_KB));
    EXPECT_EQ("Kestrel Video Core 5.2: no supported graphics hardware",
              readString(built, field::STRING1, field::STRING1_SIZE));
}

TEST(DriverImage, LoaderPatchScalesMemoryDownBy64AndKeepsTheVectors)
{
    struct Case {
        uint16_t memoryKb;
        uint16_t total64k;
    };
    for (const Case c : {Case{1000, 15}, Case{64, 1}, Case{63, 0}, Case{16384, 256}}) {
        std::vector<uint8_t> image(assembledImage(HARDWARE_DISPI).begin(), assembledImage(HARDWARE_DISPI).end());
        writeWord(image, field::MEMORY_KB, c.memoryKb);
        patchForLoad(image, 0xC0001234, 0xF000ABCD, 0x9F00);
        EXPECT_EQ(c.total64k, readWord(image, field::TOTAL_64K)) << c.memoryKb << " KB";
        EXPECT_EQ(0xC0001234u, readDword(image, field::OLD_INT10));
        EXPECT_EQ(0xF000ABCDu, readDword(image, field::OLD_INT2F));
        EXPECT_EQ(0x9F00, readWord(image, field::LOAD_SEGMENT));
    }
}

// The driver reports the whole card in its own word of 64 KB units; the loader's word of KB
// cannot hold more than 64 MB.
TEST(DriverImage, MemoryWordsHoldTheCardInUnitsAndTheLoadersKbUpTo64Mb)
{
    struct Case {
        uint32_t cardKb;
        uint16_t memory64k, memoryKb;
    };
    for (const Case c : {Case{4096, 64, 4096}, Case{4100, 64, 4096}, Case{65536, 1024, 0xFFC0},
                         Case{512 * 1024, 8192, 0xFFC0}, Case{0xFFFFFF, 0xFFFF, 0xFFC0}}) {
        CardAnalysis card = dispiCard();
        card.videoMemoryKb = c.cardKb;
        const auto built = buildDriver(card);
        EXPECT_EQ(c.memory64k, readWord(built, field::MEMORY_64K)) << c.cardKb << " KB";
        EXPECT_EQ(c.memoryKb, readWord(built, field::MEMORY_KB)) << c.cardKb << " KB";
    }
}

TEST(DriverImage, StringsStayTerminatedWithinTheirFields)
{
    CardAnalysis card = dispiCard();
    card.videoMemoryKb = 0xFFFFFFu;  // more than the 16-bit KB field holds
    const auto built = buildDriver(card);
    EXPECT_EQ(0, built[field::STRING2 - 1]);  // string 1 ends inside its 80 bytes
    EXPECT_EQ(0xFFC0, readWord(built, field::MEMORY_KB));
}

TEST(ConfigFile, RoundTripsEveryField)
{
    CardAnalysis none;
    none.machine = "plainvga";
    for (const CardAnalysis& card : {dispiCard(), none})
        EXPECT_EQ(card, parseConfig(formatConfig(card))) << formatConfig(card);
}

TEST(ConfigFile, RejectsBadLinesWithTheirNumber)
{
    const std::string good = formatConfig(dispiCard());
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {good + "colour depth\n", "line 12: expected \"key: value\""},
        {good + "refresh: 60\n", "line 12: unknown key \"refresh\""},
        {good + "dispi-id: B0C0\n", "line 12: dispi-id given twice"},
        {"chip-family: s3\n", "line 1: bad value \"s3\" for chip-family"},
        {"pci-id: 1234-1111\n", "line 1: bad value \"1234-1111\" for pci-id"},
        {"hardware-code: lots\n", "line 1: bad value \"lots\" for hardware-code"},
        {"hardware-code: 70000\n", "line 1: bad value \"70000\" for hardware-code"},
        {"pci-device: 2\n", "line 1: bad value \"2\" for pci-device"},
        {"hardware-code: 1\ndispi-id: B0C5\n", "video-memory-kb is missing"},
    };
    for (const auto& c : cases) {
        try {
            parseConfig(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ConfigError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace kestrel
