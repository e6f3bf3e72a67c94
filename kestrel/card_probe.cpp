#include "kestrel/card_probe.h"

#include <algorithm>

#include "kestrel/driver_image.h"

namespace kestrel {

CardAnalysis probeCard(machine::Machine& machine, uint16_t segment)
{
    const auto image = assembledImage();
    const uint32_t base = static_cast<uint32_t>(segment) << 4;
    if (base + image.size() > machine.conventionalBytes())
        throw machine::MachineError("no room for the Kestrel driver in conventional memory");
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
