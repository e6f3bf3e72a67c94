// The virtual SuperVGA PC: a real-mode x86 (libx86emu) with a memory map, port I/O, a
// Bochs-DISPI-compatible SuperVGA card with a real VGA BIOS ROM, and the scan-out that turns
// the card's state into the picture a monitor would show.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hw/palisade_ext.h"
#include "pc/pc.h"

namespace machine {

class Card;

// The description of a PC and the records of its calls are the engines' common language.
using pc::CallResult;
using pc::CardFault;
using pc::Clock;
using pc::CpuRegs;
using pc::MachineConfig;
using pc::MachineError;
using pc::makeRealClock;
using pc::makeVirtualClock;
using pc::Picture;
using pc::WideDac;

// Video memory a machine can have, in KB: 256 KB to 512 MB, as QEMU's VGA offers (its
// vgamem_mb is clamped at 512), in whole 64 KB units (the DISPI memory register's). A card
// may allow less: the GD5446 has 1, 2 or 4 MB.
constexpr uint32_t MIN_VIDEO_MEMORY_KB = 256;
constexpr uint32_t MAX_VIDEO_MEMORY_KB = 512 * 1024;
constexpr uint32_t VIDEO_MEMORY_UNIT_KB = 64;

// Named presets and machine files ("key = value" lines).
std::vector<std::string> presetNames();
MachineConfig presetConfig(const std::string& name);       // throws MachineError
MachineConfig loadMachine(const std::string& nameOrFile);  // preset name or file path

class Machine final : public pc::Pc {
public:
    // Boots the ROM, its register accesses going to `ioLog` when one is given (see setIoLog);
    // throws MachineError.
    Machine(const MachineConfig& config, Clock& clock, std::function<void(const std::string&)> ioLog = {});
    ~Machine() override;
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    const MachineConfig& config() const override;
    Clock& clock() override;
    uint64_t serial() const override;  // unique to this machine within the process
    pc::CpuPace cpuPace() const override;

    // Real mode. The first megabyte (plus the HMA) is one block of host memory below 4 GB:
    // guest address a is memory()[a], and host pointers into it fit in 32 bits.
    uint8_t* memory() override;
    uint32_t memoryBytes() const override;            // size of the memory() block (1 MB and the HMA)
    uint32_t conventionalBytes() const override;      // top of conventional memory
    uint32_t freeConventionalStart() const override;  // first byte the program may allocate (below is ours)
    CallResult interrupt(uint8_t number, CpuRegs& regs) override;
    CallResult farCall(uint16_t segment, uint16_t offset, CpuRegs& regs) override;

    // The bus as a protected-mode program on the host side sees it. Reading input status 1
    // (3DAh/3BAh) takes 1 us of machine time, so a retrace poll ends under a virtual clock too.
    uint8_t in8(uint16_t port) override;
    uint16_t in16(uint16_t port) override;
    void out8(uint16_t port, uint8_t value) override;
    void out16(uint16_t port, uint16_t value) override;
    uint8_t readPhys8(uint32_t address) override;  // A0000-BFFFF go through the card (banks, planes)
    void writePhys8(uint32_t address, uint8_t value) override;
    uint8_t* lfb() override;  // video memory, as mapped at config().lfbAddress
    uint32_t videoMemoryBytes() const override;

    // Scan-out: the picture the monitor shows now, hardware cursor included.
    void scanOut(Picture& picture) override;

    // Every access to a card register, port or memory-mapped, as one line to `sink`
    // ("port write 03C4 byte 07", "mmio read E2000140 byte 00"), and one "blt ..." line per
    // BitBLT operation the card runs. Video memory is not logged. An empty sink stops it.
    void setIoLog(std::function<void(const std::string&)> sink) override;

    // Lines the BIOS wrote to its debug ports, and the machine's own notes on failed calls.
    const std::string& biosLog() const override;

    // The card's registers as they stand, for tests and tools that look at the hardware.
    const Card& card() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The machine this process runs on, for the outside libraries built over it.
Machine& current();
bool hasCurrent();
void setCurrent(Machine* machine);

}  // namespace machine
