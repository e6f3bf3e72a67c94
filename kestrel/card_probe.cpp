#include "kestrel/card_probe.h"

#include <algorithm>

#include "kestrel/driver_image.h"

namespace kestrel {

namespace {
constexpr uint32_t OPTION_ROM = 0xC0000;      // the video BIOS: 55AAh, then its size in 512-byte blocks
constexpr uint32_t UPPER_MEMORY_END = 0xF0000;
}  // namespace

uint16_t upperMemorySegment(machine::Machine& machine)
{
    const uint32_t imageBytes = static_cast<uint32_t>(assembledImage().size());
    const uint32_t base = (UPPER_MEMORY_END - imageBytes) & ~0x3FFu;
    const uint32_t romEnd = OPTION_ROM + machine.memory()[OPTION_ROM + 2] * 512u;
    if (base < romEnd)
        throw machine::MachineError("no upper memory left above the video BIOS for the Kestrel driver");
    return static_cast<uint16_t>(base >> 4);
}

CardAnalysis probeCard(machine::Machine& machine, uint16_t segment)
{
    const auto image = assembledImage();
    const uint32_t base = static_cast<uint32_t>(segment) << 4;
    if (base + image.size() > UPPER_MEMORY_END)
        throw machine::MachineError("no room for the Kestrel driver below the system BIOS");
    std::copy(image.begin(), image.end(), machine.memory() + base);

    machine::CpuRegs regs;
    const auto result = machine.farCall(segment, readWord(image, field::PROBE_ENTRY), regs);
    if (!result.ok)
        throw machine::MachineError("the Kestrel card probe did not return: " + result.error);

    CardAnalysis card;
    card.machine = machine.config().name;
    card.dispiId = regs.ax;
    card.hardwareCode = regs.ax ? HARDWARE_DISPI : HARDWARE_NONE;
    card.videoMemoryKb = regs.ax ? static_cast<uint32_t>(regs.bx) * 64 : 0;
    if (regs.di == 1) {
        card.pciDevice = regs.si;
        card.lfbAddress = static_cast<uint32_t>(regs.dx) << 16 | regs.cx;
    }
    return card;
}

}  // namespace kestrel
