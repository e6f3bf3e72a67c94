#include "kestrel/resident.h"

#include <algorithm>
#include <cstring>

#include "kestrel/card_probe.h"
#include "kestrel/driver_build.h"
#include "kestrel/driver_image.h"

namespace kestrel {

namespace {

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

// Like a driver loaded high from the start-up files: it takes the top of the upper memory
// block between the video BIOS and the system BIOS, so it costs the program no conventional
// memory and no allocator can hand its memory out.
void installResident(pc::Pc& machine)
{
    uint8_t* memory = machine.memory();
    const uint16_t segment = residentSegment(machine);
    const uint32_t base = static_cast<uint32_t>(segment) << 4;

    const CardAnalysis card = probeCard(machine, segment);
    if (drivenChip(card) == HARDWARE_NONE)
        throw pc::MachineError("the resident Kestrel driver needs a DISPI SuperVGA or a GD5446; machine \"" +
                                    machine.config().name + "\" has none");
    std::vector<uint8_t> image = buildDriver(card);
    patchForLoad(image, vectorOf(memory, 0x10), vectorOf(memory, 0x2F), segment);
    std::copy(image.begin(), image.end(), memory + base);

    pc::CpuRegs regs;
    const auto result = machine.farCall(segment, readWord(image, field::CHECK_ENTRY), regs);
    if (!result.ok || regs.ax != 1)
        throw pc::MachineError("the resident Kestrel driver's check failed on machine \"" + machine.config().name +
                                    "\"" + (result.ok ? "" : ": " + result.error));

    std::copy(image.begin(), image.end(), memory + base);  // clean again after the check
    setVector(memory, 0x10, segment, readWord(image, field::INT10_ENTRY));
    setVector(memory, 0x2F, segment, readWord(image, field::INT2F_ENTRY));
}

}  // namespace kestrel
