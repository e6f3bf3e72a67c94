#include "kestrel/hardware_analysis.h"

#include <cstdio>
#include <string>

#include "hw/cirrus.h"
#include "hw/dispi.h"
#include "hw/pci.h"
#include "hw/vga.h"
#include "kestrel/driver_image.h"

namespace kestrel {

namespace {

std::string hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string pciName(const CardAnalysis& card)
{
    return "PCI " + hex(card.pciVendor, 4) + ":" + hex(card.pciDeviceId, 4) + " at 00:" + hex(card.pciDevice >> 3, 2) +
           "." + std::to_string(card.pciDevice & 7);
}

uint8_t indexedRead(HardwarePorts& ports, uint16_t indexPort, uint8_t index)
{
    ports.out8(indexPort, index);
    return ports.in8(static_cast<uint16_t>(indexPort + 1));
}

void indexedWrite(HardwarePorts& ports, uint16_t indexPort, uint8_t index, uint8_t value)
{
    ports.out8(indexPort, index);
    ports.out8(static_cast<uint16_t>(indexPort + 1), value);
}

// The DISPI ID and video memory; false when the ID register does not answer.
bool testDispi(HardwarePorts& ports, CardAnalysis& card)
{
    const uint16_t index = ports.in16(dispi::INDEX_PORT);
    ports.out16(dispi::INDEX_PORT, dispi::ID);
    const uint16_t id = ports.in16(dispi::DATA_PORT);
    const bool present = (id & 0xFFF0) == dispi::ID_0;
    if (present) {
        ports.out16(dispi::INDEX_PORT, dispi::VIDEO_MEMORY_64K);
        card.dispiId = id;
        card.videoMemoryKb = ports.in16(dispi::DATA_PORT) * 64u;
    }
    ports.out16(dispi::INDEX_PORT, index);
    return present;
}

// The Cirrus id in CR27 once SR06 is unlocked, and the memory SR0F describes; 0 when the
// sequencer does not take the key.
uint8_t testCirrus(HardwarePorts& ports, CardAnalysis& card)
{
    const uint8_t seqIndex = ports.in8(vga::seq::INDEX_PORT);
    const uint8_t crtcIndex = ports.in8(vga::crtc::INDEX_PORT);
    const uint8_t lock = indexedRead(ports, vga::seq::INDEX_PORT, cirrus::seq::UNLOCK);
    indexedWrite(ports, vga::seq::INDEX_PORT, cirrus::seq::UNLOCK, cirrus::seq::UNLOCK_KEY);
    uint8_t id = 0;
    if (indexedRead(ports, vga::seq::INDEX_PORT, cirrus::seq::UNLOCK) == cirrus::seq::UNLOCK_KEY) {
        id = indexedRead(ports, vga::crtc::INDEX_PORT, cirrus::crtc::ID);
        const uint8_t dram = indexedRead(ports, vga::seq::INDEX_PORT, cirrus::seq::DRAM_CONTROL);
        const unsigned width = (dram & cirrus::seq::DRAM_CONTROL_WIDTH) >> cirrus::seq::DRAM_CONTROL_WIDTH_SHIFT;
        card.videoMemoryKb = width == 3 && (dram & cirrus::seq::DRAM_CONTROL_SECOND_BANK) ? 4096 : 256u << width;
    }
    indexedWrite(ports, vga::seq::INDEX_PORT, cirrus::seq::UNLOCK, lock);
    ports.out8(vga::seq::INDEX_PORT, seqIndex);
    ports.out8(vga::crtc::INDEX_PORT, crtcIndex);
    return id;
}

}  // namespace

CardAnalysis analyseHardware(HardwarePorts& ports)
{
    CardAnalysis card;
    for (int device = 0; device < 32 && card.pciDevice < 0; ++device) {
        const uint32_t id = ports.pciRead32(device << 3, pci::VENDOR_ID);
        if ((id & 0xFFFF) == 0xFFFF)
            continue;
        if ((ports.pciRead32(device << 3, pci::REVISION_ID) >> 8) != pci::CLASS_DISPLAY_VGA)
            continue;
        card.pciDevice = device << 3;
        card.pciVendor = static_cast<uint16_t>(id);
        card.pciDeviceId = static_cast<uint16_t>(id >> 16);
        card.lfbAddress = ports.pciRead32(card.pciDevice, pci::BAR0) & pci::BAR_MEMORY_ADDRESS;
    }

    const bool qemuVga = card.pciVendor == pci::VENDOR_QEMU_VGA && card.pciDeviceId == pci::DEVICE_QEMU_VGA;
    const bool cirrus = card.pciVendor == pci::VENDOR_CIRRUS && card.pciDeviceId == pci::DEVICE_CIRRUS_GD5446;
    if (card.pciDevice < 0 || qemuVga) {
        if (testDispi(ports, card)) {
            card.chipFamily = CHIP_FAMILY_DISPI;
            card.hardwareCode = HARDWARE_DISPI;
            card.found =
                "Bochs DISPI SuperVGA (ID " + hex(card.dispiId, 4) + "), " + std::to_string(card.videoMemoryKb) + " KB";
            if (card.pciDevice >= 0)
                card.found += ", " + pciName(card);
        } else {
            card.found = card.pciDevice < 0 ? "no PCI display function and no DISPI interface"
                                            : pciName(card) + " without the DISPI interface";
        }
    } else if (cirrus) {
        const uint8_t id = testCirrus(ports, card);
        if ((id & cirrus::crtc::ID_CHIP) == cirrus::crtc::ID_GD5446) {
            card.chipFamily = CHIP_FAMILY_CIRRUS;
            card.hardwareCode = HARDWARE_GD5446;
            card.cirrusId = id;
            card.found = "Cirrus Logic GD5446 (CR27 " + hex(id, 2) + "h), " + std::to_string(card.videoMemoryKb) +
                         " KB, " + pciName(card);
        } else {
            card.videoMemoryKb = 0;
            card.found = pciName(card) + " does not answer as a GD5446 (SR06 unlock, CR27 " + hex(id, 2) + "h)";
        }
    } else {
        card.found = pciName(card) + ": a display chip this driver does not know";
    }
    return card;
}

}  // namespace kestrel
