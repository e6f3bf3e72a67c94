// The generator's hardware analysis on a fake bus and fake registers: which chip each PCI
// display function and chip test leads to, the memory each chip reports, and that every
// register the tests touch is put back.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "hw/cirrus.h"
#include "hw/dispi.h"
#include "hw/vga.h"
#include "kestrel/driver_image.h"
#include "kestrel/hardware_analysis.h"

namespace kestrel {
namespace {

constexpr uint32_t VGA_CLASS = 0x03000000;  // class code dword: class 03h, subclass 00h

// A PCI bus 0 and the registers of one card: DISPI behind 1CEh/1CFh, a VGA sequencer and
// CRTC with the Cirrus unlock as QEMU has it (SR06 reads 12h after 12h is written, else 0Fh;
// without it SR06 ignores writes).
struct FakeCard : HardwarePorts {
    std::map<int, std::map<uint8_t, uint32_t>> pci;  // device << 3 | function -> offset -> dword
    bool dispi = false;
    uint16_t dispiId = 0xB0C5, dispiMemory64k = 64, dispiIndex = 3;
    bool cirrusChip = false;
    uint8_t seq[256] = {}, crtc[256] = {}, seqIndex = 1, crtcIndex = 0x11;

    uint8_t in8(uint16_t port) override
    {
        switch (port) {
        case vga::seq::INDEX_PORT: return seqIndex;
        case vga::seq::DATA_PORT: return seq[seqIndex];
        case vga::crtc::INDEX_PORT: return crtcIndex;
        case vga::crtc::DATA_PORT: return crtc[crtcIndex];
        default: return 0xFF;
        }
    }
    void out8(uint16_t port, uint8_t value) override
    {
        switch (port) {
        case vga::seq::INDEX_PORT: seqIndex = value; break;
        case vga::seq::DATA_PORT:
            if (seqIndex != cirrus::seq::UNLOCK)
                seq[seqIndex] = value;
            else if (cirrusChip)
                seq[cirrus::seq::UNLOCK] =
                    value == cirrus::seq::UNLOCK_KEY ? cirrus::seq::UNLOCK_KEY : cirrus::seq::UNLOCK_LOCKED;
            break;
        case vga::crtc::INDEX_PORT: crtcIndex = value; break;
        case vga::crtc::DATA_PORT: crtc[crtcIndex] = value; break;
        default: break;
        }
    }
    uint16_t in16(uint16_t port) override
    {
        if (!dispi)
            return 0xFFFF;
        if (port == dispi::INDEX_PORT)
            return dispiIndex;
        if (port == dispi::DATA_PORT)
            return dispiIndex == dispi::ID ? dispiId : dispiIndex == dispi::VIDEO_MEMORY_64K ? dispiMemory64k : 0;
        return 0xFFFF;
    }
    void out16(uint16_t port, uint16_t value) override
    {
        if (dispi && port == dispi::INDEX_PORT)
            dispiIndex = value;
    }
    uint32_t pciRead32(int deviceFunction, uint8_t offset) override
    {
        const auto device = pci.find(deviceFunction);
        if (device == pci.end())
            return 0xFFFFFFFF;
        const auto value = device->second.find(offset);
        return value == device->second.end() ? 0 : value->second;
    }

    void addPci(int device, uint32_t ids, uint32_t classCode, uint32_t bar0)
    {
        pci[device << 3] = {{0x00, ids}, {0x08, classCode}, {0x10, bar0 | 0x8}};
    }
};

FakeCard hostBridgeAnd(uint32_t ids, uint32_t classCode = VGA_CLASS)
{
    FakeCard card;
    card.addPci(0, 0x12378086, 0x06000000, 0);
    card.addPci(2, ids, classCode, 0xE0000000);
    return card;
}

FakeCard dispiCard()
{
    FakeCard card = hostBridgeAnd(0x11111234);
    card.dispi = true;
    return card;
}

FakeCard cirrusCard(uint8_t dram = 0x98, uint8_t cr27 = 0xB8)
{
    FakeCard card = hostBridgeAnd(0x00B81013);
    card.cirrusChip = true;
    card.seq[cirrus::seq::UNLOCK] = cirrus::seq::UNLOCK_LOCKED;
    card.seq[cirrus::seq::DRAM_CONTROL] = dram;
    card.crtc[cirrus::crtc::ID] = cr27;
    return card;
}

TEST(HardwareAnalysis, EachDisplayFunctionLeadsToItsChipsTest)
{
    FakeCard noDispiBehindQemuVga = hostBridgeAnd(0x11111234);
    FakeCard isaDispi;
    isaDispi.dispi = true;
    FakeCard otherCirrus = cirrusCard(0x98, 0xA8);  // a GD5434
    FakeCard locked = cirrusCard();
    locked.cirrusChip = false;  // SR06 does not take the key
    struct Case {
        const char* name;
        FakeCard card;
        uint16_t hardwareCode, family;
        uint32_t memoryKb;
        int pciDevice;
        const char* foundSays;
    } cases[] = {
        {"DISPI on PCI", dispiCard(), HARDWARE_DISPI, CHIP_FAMILY_DISPI, 4096, 2 << 3, "DISPI SuperVGA (ID B0C5)"},
        {"DISPI without PCI", isaDispi, HARDWARE_DISPI, CHIP_FAMILY_DISPI, 4096, -1, "4096 KB"},
        {"QEMU VGA without DISPI", noDispiBehindQemuVga, HARDWARE_NONE, CHIP_FAMILY_NONE, 0, 2 << 3,
         "without the DISPI interface"},
        {"GD5446", cirrusCard(), HARDWARE_GD5446, CHIP_FAMILY_CIRRUS, 4096, 2 << 3, "GD5446 (CR27 B8h)"},
        {"Cirrus ids, another chip", otherCirrus, HARDWARE_NONE, CHIP_FAMILY_NONE, 0, 2 << 3,
         "does not answer as a GD5446"},
        {"Cirrus ids, no unlock", locked, HARDWARE_NONE, CHIP_FAMILY_NONE, 0, 2 << 3, "does not answer as a GD5446"},
        {"unknown display chip", hostBridgeAnd(0x002010DE), HARDWARE_NONE, CHIP_FAMILY_NONE, 0, 2 << 3,
         "10DE:0020 at 00:02.0"},
        {"nothing", FakeCard{}, HARDWARE_NONE, CHIP_FAMILY_NONE, 0, -1, "no PCI display function"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CardAnalysis card = analyseHardware(c.card);
        EXPECT_EQ(c.hardwareCode, card.hardwareCode);
        EXPECT_EQ(c.family, card.chipFamily);
        EXPECT_EQ(c.memoryKb, card.videoMemoryKb);
        EXPECT_EQ(c.pciDevice, card.pciDevice);
        EXPECT_NE(std::string::npos, card.found.find(c.foundSays)) << card.found;
    }
}

TEST(HardwareAnalysis, TheGd5446sMemoryComesFromItsDramConfiguration)
{
    for (const auto& [dram, kb] : {std::pair<uint8_t, uint32_t>{0x98, 4096}, {0x18, 2048}, {0x10, 1024}, {0x00, 256}}) {
        FakeCard card = cirrusCard(dram);
        EXPECT_EQ(kb, analyseHardware(card).videoMemoryKb) << "SR0F " << int(dram);
    }
}

TEST(HardwareAnalysis, PutsBackEveryIndexAndTheCirrusLock)
{
    FakeCard gd5446 = cirrusCard();
    analyseHardware(gd5446);
    EXPECT_EQ(cirrus::seq::UNLOCK_LOCKED, gd5446.seq[cirrus::seq::UNLOCK]) << "SR06 locked again";
    EXPECT_EQ(1, gd5446.seqIndex);
    EXPECT_EQ(0x11, gd5446.crtcIndex);

    FakeCard bochs = dispiCard();
    analyseHardware(bochs);
    EXPECT_EQ(3, bochs.dispiIndex);
}

}  // namespace
}  // namespace kestrel
