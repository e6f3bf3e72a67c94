// The Kestrel driver's own entries on the real machine: the check entry a loader calls,
// the private 4F0Fh query, its int 2Fh installation check and the chains to the vectors it
// was loaded over, and the resident loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "hw/cirrus.h"
#include "hw/dispi.h"
#include "hw/vga.h"
#include "judge/vbe_rig.h"
#include "kestrel/card_probe.h"
#include "kestrel/driver_build.h"
#include "kestrel/driver_image.h"
#include "kestrel/resident.h"
#include "machine/machine.h"

namespace kestrel::checks {
namespace {

using judge::VbeRig;

constexpr uint16_t LOAD_SEGMENT = 0x3000;

struct Loaded {
    std::vector<uint8_t> image;  // as patched and copied in
    uint16_t checkAx = 0;
    bool returned = false;
};

constexpr std::size_t UNDAMAGED = ~std::size_t{0};

// Loads a driver built for `card` at LOAD_SEGMENT as a loader would and calls its check entry;
// with damageAt, one bit of the file's byte there flipped first.
Loaded loadAndCheck(VbeRig& rig, const CardAnalysis& card, std::size_t damageAt = UNDAMAGED)
{
    Loaded loaded;
    loaded.image = buildDriver(card);
    if (damageAt != UNDAMAGED)
        loaded.image[damageAt] ^= 0x10;
    uint32_t int10, int2f;
    std::memcpy(&int10, rig.machine().memory() + 0x40, 4);
    std::memcpy(&int2f, rig.machine().memory() + 0xBC, 4);
    patchForLoad(loaded.image, int10, int2f, LOAD_SEGMENT);
    std::memcpy(rig.at(LOAD_SEGMENT, 0), loaded.image.data(), loaded.image.size());
    machine::CpuRegs regs;
    loaded.returned = rig.machine().farCall(LOAD_SEGMENT, readWord(loaded.image, field::CHECK_ENTRY), regs).ok;
    loaded.checkAx = regs.ax;
    return loaded;
}

CardAnalysis analysed(const char* preset)
{
    VbeRig rig(preset, false);
    return probeCard(rig.machine(), LOAD_SEGMENT);
}

TEST(KestrelDriver, ProbeFindsTheCardThroughItsPorts)
{
    const CardAnalysis card = analysed("default");
    EXPECT_EQ(HARDWARE_DISPI, card.hardwareCode);
    EXPECT_EQ(0xB0C0, card.dispiId & 0xFFF0);
    EXPECT_EQ(4096u, card.videoMemoryKb);
    EXPECT_GE(card.pciDevice, 0);
    EXPECT_EQ(0xE0000000u, card.lfbAddress);

    const CardAnalysis none = analysed("plainvga");
    EXPECT_EQ(HARDWARE_NONE, none.hardwareCode);
    EXPECT_EQ(0u, none.videoMemoryKb);
}

TEST(KestrelDriver, CheckEntryAnswersOneOnlyForTheCardItWasGeneratedFor)
{
    const CardAnalysis dispi = analysed("default");
    CardAnalysis moreMemory = dispi;
    moreMemory.videoMemoryKb = 8192;
    const CardAnalysis gd5446 = analysed("cirrus");
    CardAnalysis moreCirrusMemory = gd5446;
    moreCirrusMemory.videoMemoryKb = 8192;
    struct Case {
        const char* preset;
        CardAnalysis card;
        bool usable;
    };
    const Case cases[] = {
        {"default", dispi, true},
        {"novbe", dispi, true},
        {"seavgabios", dispi, true},
        {"plainvga", dispi, false},      // the card is gone
        {"default", moreMemory, false},  // less memory than generated for
        {"plainvga", analysed("plainvga"), false},
        {"default", analysed("plainvga"), false},  // generated with hardware code 38
        {"cirrus", gd5446, true},
        {"cirrus-seavgabios", gd5446, true},
        {"cirrus", moreCirrusMemory, false},
        {"default", gd5446, false},  // a GD5446 driver on another chip
        {"cirrus", dispi, false},    // and the other way round
    };
    for (const Case& c : cases) {
        VbeRig rig(c.preset, false);
        std::vector<uint8_t> vectorsBefore(rig.machine().memory(), rig.machine().memory() + 0x400);
        // Indices the check must put back.
        rig.machine().out16(dispi::INDEX_PORT, 0x0003);
        rig.machine().out8(vga::seq::INDEX_PORT, vga::seq::MAP_MASK);
        rig.machine().out8(vga::crtc::INDEX_PORT, vga::crtc::OFFSET);
        const uint8_t lock = rig.vgaIndexed(vga::seq::INDEX_PORT, cirrus::seq::UNLOCK);
        rig.machine().out8(vga::seq::INDEX_PORT, vga::seq::MAP_MASK);
        const Loaded loaded = loadAndCheck(rig, c.card);
        ASSERT_TRUE(loaded.returned) << c.preset;
        EXPECT_EQ(c.usable, loaded.checkAx == 1) << c.preset << " memory " << c.card.videoMemoryKb << " code "
                                                 << c.card.hardwareCode << ": AX=" << loaded.checkAx;
        EXPECT_EQ(0, std::memcmp(rig.at(LOAD_SEGMENT, 0), loaded.image.data(), loaded.image.size()))
            << c.preset << ": the check wrote into its image";
        EXPECT_EQ(0, std::memcmp(rig.machine().memory(), vectorsBefore.data(), 0x400)) << c.preset << ": vectors moved";
        const std::string preset = c.preset;
        if (preset == "default" || preset == "novbe" || preset == "seavgabios") {
            EXPECT_EQ(0x0003, rig.machine().in16(dispi::INDEX_PORT)) << c.preset << ": DISPI index not put back";
        }
        EXPECT_EQ(vga::seq::MAP_MASK, rig.machine().in8(vga::seq::INDEX_PORT)) << c.preset;
        EXPECT_EQ(vga::crtc::OFFSET, rig.machine().in8(vga::crtc::INDEX_PORT)) << c.preset;
        EXPECT_EQ(lock, rig.vgaIndexed(vga::seq::INDEX_PORT, cirrus::seq::UNLOCK)) << c.preset << ": SR06 changed";
    }
}

// A damaged file fails its check, so the loader generates it again instead of running it.
TEST(KestrelDriver, CheckEntryRefusesADamagedImage)
{
    const CardAnalysis dispi = analysed("default");
    const std::vector<uint8_t> image = buildDriver(dispi);
    struct Case {
        const char* what;
        std::size_t at;
    };
    std::vector<Case> cases = {
        {"signature", field::SIGNATURE + 3},
        {"hardware code", field::HARDWARE_CODE},
        {"memory", field::MEMORY_KB + 1},
        {"memory in 64 KB units", field::MEMORY_64K},
        {"string 2", field::STRING2 + 5},
        {"interrupt 10h entry", readWord(image, field::INT10_ENTRY) + 1u},
        {"interrupt 2Fh entry", std::size_t{readWord(image, field::INT2F_ENTRY)}},
        {"probe entry", readWord(image, field::PROBE_ENTRY) + 2u},
        {"checksum", checksumOffset(image) + 3},
        {"last byte before the checksum", checksumOffset(image) - 1},
    };
    for (std::size_t at = field::INFO_RECORD + field::INFO_RECORD_SIZE; at < checksumOffset(image); at += 97)
        cases.push_back({"code or data", at});
    VbeRig rig("default", false);
    for (const Case& c : cases) {
        const Loaded loaded = loadAndCheck(rig, dispi, c.at);
        // A check that cannot return (its own code damaged) is a failed check to the loader.
        EXPECT_TRUE(!loaded.returned || loaded.checkAx == 0) << c.what << " at " << c.at;
    }
    // The fields the installer fills are left out: the loader's values there still pass.
    EXPECT_EQ(1, loadAndCheck(rig, dispi).checkAx);
}

TEST(KestrelDriver, ResidentQueryHandsOutTheInformationRecord)
{
    VbeRig rig("default", true);
    machine::CpuRegs regs;
    regs.ax = 0x4F00;
    std::memcpy(rig.buffer(), "VBE2", 4);
    ASSERT_TRUE(rig.int10WithBuffer(regs).ok);
    EXPECT_EQ(0x004F, regs.ax);
    EXPECT_EQ(0, rig.farString(rig.dword(rig.buffer() + 6)).find("Kestrel Video Core"));

    regs = {};
    regs.ax = 0x4F0F;
    regs.bx = 0x1234;
    ASSERT_TRUE(rig.int10(regs).ok);
    ASSERT_EQ(0x004F, regs.ax);
    const uint8_t* record = rig.at(regs.dx, regs.bx);
    const std::vector<uint8_t> expected = buildDriver(probeCard(rig.machine(), LOAD_SEGMENT));
    EXPECT_EQ(0, std::memcmp(record, expected.data() + field::INFO_RECORD, field::INFO_RECORD_SIZE));
    EXPECT_EQ('5', record[263]);
    EXPECT_EQ('2', record[264]);

    for (uint16_t bx : {0x0000, 0x1235}) {
        regs = {};
        regs.ax = 0x4F0F;
        regs.bx = bx;
        ASSERT_TRUE(rig.int10(regs).ok);
        EXPECT_NE(0x004F, regs.ax) << "BX=" << bx;
    }
}

// A handler of our own under the driver: MOV AX,5A5Ah / IRET.
void hookMarker(VbeRig& rig, int interrupt, uint16_t segment)
{
    const uint8_t stub[] = {0xB8, 0x5A, 0x5A, 0xCF};
    std::memcpy(rig.at(segment, 0), stub, sizeof stub);
    const uint32_t vector = static_cast<uint32_t>(segment) << 16;
    std::memcpy(rig.machine().memory() + interrupt * 4, &vector, 4);
}

TEST(KestrelDriver, ChainsWhatIsNotItsOwnToTheVectorsItWasLoadedOver)
{
    VbeRig rig("default", false);
    hookMarker(rig, 0x10, 0x6000);
    hookMarker(rig, 0x2F, 0x6010);
    kestrel::installResident(rig.machine());

    struct Case {
        uint8_t interrupt;
        uint16_t ax;
        bool chained;
    };
    const Case cases[] = {
        {0x10, 0x0E41, true},
        {0x10, 0x1130, true},
        {0x10, 0x4F03, false},
        {0x2F, 0x1600, true},
        {0x2F, 0xC501, true},  // its multiplex number, another function
        {0x2F, static_cast<uint16_t>(MULTIPLEX_ID << 8), false},
    };
    for (const Case& c : cases) {
        machine::CpuRegs regs;
        regs.ax = c.ax;
        ASSERT_TRUE(rig.machine().interrupt(c.interrupt, regs).ok);
        EXPECT_EQ(c.chained, regs.ax == 0x5A5A) << std::hex << "int " << int(c.interrupt) << " AX=" << c.ax;
    }

    machine::CpuRegs regs;
    regs.ax = static_cast<uint16_t>(MULTIPLEX_ID << 8);
    ASSERT_TRUE(rig.machine().interrupt(0x2F, regs).ok);
    EXPECT_EQ(0xFF, regs.ax & 0xFF);
    EXPECT_EQ(0x4B53, regs.bx);
    EXPECT_EQ(0x0502, regs.cx);
    EXPECT_EQ(0, std::memcmp(rig.at(regs.es, regs.di), "Kestrel Video Core", 18));
}

TEST(KestrelDriver, ResidentLoaderLoadsHighAndLeavesConventionalMemoryAlone)
{
    VbeRig rig("default", false);
    const uint32_t free = rig.machine().freeConventionalStart();  // below: the machine's own stack
    const std::vector<uint8_t> lowBefore(rig.machine().memory() + free, rig.machine().memory() + 0xA0000);
    kestrel::installResident(rig.machine());
    uint16_t offset, segment;
    std::memcpy(&offset, rig.machine().memory() + 0x40, 2);
    std::memcpy(&segment, rig.machine().memory() + 0x42, 2);
    EXPECT_EQ(residentSegment(rig.machine()), segment);
    EXPECT_GE(segment, 0xC000 + rig.machine().memory()[0xC0002] * 32) << "over the video BIOS";
    EXPECT_LE((segment << 4) + assembledImage(HARDWARE_DISPI).size(), 0xF0000u) << "over the system BIOS";
    EXPECT_EQ(readWord(assembledImage(HARDWARE_DISPI), field::INT10_ENTRY), offset);
    EXPECT_TRUE(std::equal(lowBefore.begin(), lowBefore.end(), rig.machine().memory() + free))
        << "conventional memory changed";

    VbeRig plain("plainvga", false);
    EXPECT_THROW(kestrel::installResident(plain.machine()), machine::MachineError);
}

// Calls the driver cannot do are refused with the status that says why, and change nothing.
TEST(KestrelDriver, RefusesWhatItCannotDoAndChangesNothing)
{
    struct Case {
        const char* what;
        uint16_t mode;
        uint16_t ax, bx, cx, dx;
        uint16_t status;
    };
    const Case cases[] = {
        {"palette past entry 255", 0x101, 0x4F09, 0x0000, 10, 250, 0x014F},
        {"palette count wrapping round", 0x101, 0x4F09, 0x0000, 0xFFFF, 2, 0x014F},
        {"palette of a direct-colour mode", 0x112, 0x4F09, 0x0000, 1, 0, 0x034F},
        {"secondary palette", 0x101, 0x4F09, 0x0002, 1, 0, 0x024F},
        {"DAC width of a direct-colour mode", 0x112, 0x4F08, 0x0800, 0, 0, 0x034F},
        {"bank beyond video memory", 0x101, 0x4F05, 0x0000, 0, 64, 0x014F},
        {"window B", 0x101, 0x4F05, 0x0001, 0, 1, 0x014F},
        {"scan line wider than memory", 0x111, 0x4F06, 0x0000, 5000, 0, 0x024F},
        {"scan line narrower than the screen", 0x101, 0x4F06, 0x0000, 320, 0, 0x024F},
        {"display start in a VGA mode", 0x003, 0x4F07, 0x0000, 0, 8, 0x034F},
        {"linear framebuffer of a planar mode", 0x003, 0x4F02, 0x4102, 0, 0, 0x014F},
        {"mode that does not fit in memory", 0x003, 0x4F02, 0x0000, 0, 0, 0x014F},
    };
    for (const Case& c : cases) {
        VbeRig rig(c.ax == 0x4F02 && c.bx == 0 ? "default" : "novbe", true);
        ASSERT_EQ(0x004F, rig.setMode(c.mode)) << c.what;
        rig.buffer()[0] = 63;
        uint8_t dacBefore[6];
        rig.readDac(0, dacBefore, 2);
        const uint16_t registersBefore[] = {rig.dispi(4), rig.dispi(5), rig.dispi(6), rig.dispi(8), rig.dispi(9)};
        machine::CpuRegs regs;
        regs.ax = c.ax;
        regs.bx = c.bx;
        regs.cx = c.cx;
        regs.dx = c.dx;
        if (c.ax == 0x4F02 && c.bx == 0) {
            // 1280x1024 in 32 bits needs 5 MB: a card with 4 MB has no room for it.
            regs.bx = 0x164;
        }
        ASSERT_TRUE(rig.int10WithBuffer(regs).ok) << c.what;
        EXPECT_EQ(c.status, regs.ax) << c.what;
        uint8_t dacAfter[6];
        rig.readDac(0, dacAfter, 2);
        EXPECT_EQ(0, std::memcmp(dacBefore, dacAfter, 6)) << c.what << ": palette changed";
        const uint16_t registersAfter[] = {rig.dispi(4), rig.dispi(5), rig.dispi(6), rig.dispi(8), rig.dispi(9)};
        EXPECT_EQ(0, std::memcmp(registersBefore, registersAfter, sizeof registersAfter)) << c.what << ": card changed";
    }
}

// Drawing in a mode Kestrel set, on a BIOS without VBE, shows on the monitor (the scan-out).
TEST(KestrelDriver, ModesItSetsShowOnTheMonitorWithoutAVbeBios)
{
    struct Case {
        const char* what;
        uint16_t mode;
        int width, height;
        std::function<void(VbeRig&)> draw;  // puts something at (0, 1), leaves (1, 1) black
        uint32_t expected;                  // at (0, 1)
    };
    const auto pokeLfb = [](std::vector<uint8_t> bytes, uint32_t at) {
        return [bytes, at](VbeRig& rig) { std::copy(bytes.begin(), bytes.end(), rig.machine().lfb() + at); };
    };
    const Case cases[] = {
        {"8-bit, default palette white", 0x4101, 640, 480, pokeLfb({15}, 640), 0xFFFFFF},
        {"8-bit, default palette red", 0x4101, 640, 480, pokeLfb({4}, 640), 0xAA0000},
        {"16-bit", 0x4111, 640, 480, pokeLfb({0x00, 0xF8}, 640 * 2), 0xFF0000},
        {"24-bit", 0x4112, 640, 480, pokeLfb({0x10, 0x20, 0x30}, 640 * 3), 0x302010},
        {"32-bit", 0x4161, 640, 480, pokeLfb({0x40, 0x50, 0x60, 0}, 640 * 4), 0x605040},
        {"4-bit planes through the window", 0x102, 800, 600,
         [](VbeRig& rig) { rig.machine().writePhys8(0xA0000 + 100, 0x80); }, 0xFFFFFF},
        {"8-bit through bank 1 of the window", 0x101, 640, 480,
         [](VbeRig& rig) {
             machine::CpuRegs regs;
             regs.ax = 0x4F05;
             regs.dx = 1;
             rig.int10(regs);
             rig.machine().writePhys8(0xA0000, 15);  // linear 65536
         },
         0xFFFFFF},
    };
    for (const Case& c : cases) {
        VbeRig rig("novbe", true);
        ASSERT_EQ(0x004F, rig.setMode(c.mode)) << c.what;
        c.draw(rig);
        machine::Picture picture;
        rig.machine().scanOut(picture);
        ASSERT_EQ(c.width, picture.width) << c.what;
        ASSERT_EQ(c.height, picture.height) << c.what;
        const auto pixel = [&](int x, int y) { return picture.pixels[static_cast<size_t>(y) * picture.width + x]; };
        if (c.mode == 0x101) {
            EXPECT_EQ(c.expected, pixel(65536 % 640, 65536 / 640)) << c.what;
            continue;
        }
        EXPECT_EQ(c.expected, pixel(0, 1)) << c.what << std::hex << " got " << pixel(0, 1);
        EXPECT_EQ(0u, pixel(1, 1)) << c.what;
    }
}

}  // namespace
}  // namespace kestrel::checks
