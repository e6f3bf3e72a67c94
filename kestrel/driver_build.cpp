#include "kestrel/driver_build.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "kestrel/driver_image.h"

namespace kestrel {

namespace {

void writeString(std::vector<uint8_t>& image, std::size_t offset, std::size_t size, const std::string& text)
{
    std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(offset), size, uint8_t{0});
    const std::size_t length = std::min(text.size(), size - 1);  // always zero-terminated
    std::copy_n(text.begin(), length, image.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::string format(const char* pattern, unsigned a, unsigned b = 0)
{
    char text[96];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

}  // namespace

uint16_t drivenChip(const CardAnalysis& card)
{
    if (card.hardwareCode == HARDWARE_DISPI && card.chipFamily == CHIP_FAMILY_DISPI)
        return HARDWARE_DISPI;
    if (card.hardwareCode == HARDWARE_GD5446 && card.chipFamily == CHIP_FAMILY_CIRRUS)
        return HARDWARE_GD5446;
    return HARDWARE_NONE;
}

std::vector<uint8_t> buildDriver(const CardAnalysis& card)
{
    const uint16_t chip = drivenChip(card);
    const auto assembled = assembledImage(chip);
    std::vector<uint8_t> image(assembled.begin(), assembled.end());
    const bool supported = chip != HARDWARE_NONE;

    writeWord(image, field::NEEDS_VBE_BIOS, 0);
    writeWord(image, field::HARDWARE_CODE, chip);
    writeWord(image, field::CHIP_FAMILY, card.chipFamily);
    // Whole 64 KB units, as many as a 16-bit TotalMemory says (4 GB less 64 KB). The loader's
    // word of KB holds at most 64 MB less 64 KB; the driver reads its own word of units.
    const uint32_t memory64k = supported ? std::min<uint32_t>(card.videoMemoryKb / 64, 0xFFFF) : 0;
    const uint32_t memoryKb = memory64k * 64;
    writeWord(image, field::MEMORY_64K, static_cast<uint16_t>(memory64k));
    writeWord(image, field::MEMORY_KB, static_cast<uint16_t>(std::min<uint32_t>(memoryKb, 0xFFC0)));
    const uint32_t barAddress = card.pciDevice < 0 ? 0 : 0x80000010u | static_cast<uint32_t>(card.pciDevice) << 8;
    writeDword(image, field::PCI_BAR_ADDRESS, supported ? barAddress : 0);

    if (chip == HARDWARE_DISPI) {
        writeString(image, field::STRING1, field::STRING1_SIZE, "Kestrel Video Core 5.2 for Bochs DISPI SuperVGA");
        writeString(image, field::STRING2, field::STRING2_SIZE, format("Bochs DISPI SuperVGA (ID %04X)", card.dispiId));
    } else if (chip == HARDWARE_GD5446) {
        writeString(image, field::STRING1, field::STRING1_SIZE, "Kestrel Video Core 5.2 for Cirrus Logic GD5446");
        writeString(image, field::STRING2, field::STRING2_SIZE,
                    format("Cirrus Logic GD5446 (CR27 %02Xh)", card.cirrusId));
    } else {
        writeString(image, field::STRING1, field::STRING1_SIZE,
                    "Kestrel Video Core 5.2: no supported graphics hardware");
        writeString(image, field::STRING2, field::STRING2_SIZE, "No DISPI SuperVGA or GD5446 found");
    }
    writeString(image, field::STRING3, field::STRING3_SIZE,
                !supported        ? ""
                : card.lfbAddress ? format("%u KB, linear framebuffer at %08X", memoryKb, card.lfbAddress)
                                  : format("%u KB, no linear framebuffer", memoryKb));
    writeDword(image, checksumOffset(image), imageChecksum(image));
    return image;
}

}  // namespace kestrel
