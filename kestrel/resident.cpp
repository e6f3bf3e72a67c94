#include "kestrel/resident.h"

#include <algorithm>
#include <cstring>

#include "kestrel/card_probe.h"
#include "kestrel/driver_build.h"
#include "kestrel/driver_image.h"

namespace kestrel {

namespace {

constexpr uint32_t BIOS_MEMORY_KB = 0x413;    // BIOS data area: conventional memory in KB

uint32_t vectorOf(const uint8_t* memory, int interrupt)
{
    uint32_t vector;
    std::memcpy(&vector, memory + interrupt * 4, 4);
    return vector;
}

void setVector(uint8_t* memory, int interrupt, uint16_t segment, uint16_t offset)
{
    const uint32_t vector = static_cast<uint32_t>(segment) << 16 | offset;
    std::memcpy(memory + interrupt * 4, &vector, 4);
}

}  // namespace

// Like a driver loaded from the start-up files: it takes the top of conventional memory
// and lowers the BIOS's memory size below itself, so nothing else hands that memory out.
void installResident(machine::Machine& machine)
{
    uint8_t* memory = machine.memory();
    uint16_t topKb;
    std::memcpy(&topKb, memory + BIOS_MEMORY_KB, 2);
    topKb = static_cast<uint16_t>(std::min<uint32_t>(topKb, machine.conventionalBytes() / 1024));
    const uint32_t neededKb = static_cast<uint32_t>((assembledImage().size() + 1023) / 1024);
    if (topKb < neededKb + 64)
        throw machine::MachineError("too little conventional memory for the resident Kestrel driver");
    const uint16_t newTopKb = static_cast<uint16_t>(topKb - neededKb);
    const uint16_t segment = static_cast<uint16_t>(newTopKb * 64);

    const CardAnalysis card = probeCard(machine, segment);
    if (card.hardwareCode == HARDWARE_NONE)
        throw machine::MachineError("the resident Kestrel driver needs a DISPI SuperVGA card; machine \"" +
                                    machine.config().name + "\" has none");
    std::vector<uint8_t> image = buildDriver(card);
    patchForLoad(image, vectorOf(memory, 0x10), vectorOf(memory, 0x2F), segment);
    const uint32_t base = static_cast<uint32_t>(segment) << 4;
    std::copy(image.begin(), image.end(), memory + base);

    machine::CpuRegs regs;
    const auto result = machine.farCall(segment, readWord(image, field::CHECK_ENTRY), regs);
    if (!result.ok || regs.ax != 1)
        throw machine::MachineError("the resident Kestrel driver's check failed on machine \"" +
                                    machine.config().name + "\"" + (result.ok ? "" : ": " + result.error));

    std::copy(image.begin(), image.end(), memory + base);  // clean again after the check
    setVector(memory, 0x10, segment, readWord(image, field::INT10_ENTRY));
    setVector(memory, 0x2F, segment, readWord(image, field::INT2F_ENTRY));
    std::memcpy(memory + BIOS_MEMORY_KB, &newTopKb, 2);
}

}  // namespace kestrel
