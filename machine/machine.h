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

namespace machine {

class Card;

// A machine description or ROM that cannot be used: the message is one line that says
// what is wrong and how to fix it.
struct MachineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What the card does with the DISPI 8-bit DAC switch.
enum class WideDac : uint8_t {
    Works,    // the DAC uses 8 bits per component once switched
    Ignored,  // the switch is accepted (it reads back set) but the DAC keeps using 6 bits
    Refused,  // the switch does not take: it reads back clear and the DAC stays at 6 bits
};

// A deliberate fault of the card, for checking that Palisade's verdict notices it.
enum class CardFault : uint8_t {
    None,
    DacSwapsRedGreen,  // the DAC stores the red and green components of each entry crossed
    DisplayStartLate,  // the display start (DISPI y offset) takes effect one line further down
    BankOffByOne,      // the banked window shows the bank after the one selected
};

struct MachineConfig {
    std::string name;             // preset name, or the file it was read from
    std::string description;      // one line for --list-machines
    std::string romPath;          // video BIOS image
    std::string romPackage;       // Debian package that ships romPath
    std::string card = "stdvga";  // one of cardTypes() (machine/card.h)
    bool dispi = true;            // the card has the DISPI extension
    uint32_t videoMemoryKb = 4096;
    uint32_t accelEntries = palisade_ext::ACCEL_CAPS_ALL;  // palisade_ext::AccelCaps bits, 0: none
    WideDac wideDac = WideDac::Works;
    uint32_t conventionalKb = 640;
    uint32_t refreshHz = 60;
    uint32_t lfbAddress = 0xE0000000;
    bool residentKestrel = false;  // a Kestrel driver is loaded before the program starts
    bool kestrel = true;           // the program folder holds KSWIN.EXE, so the loader can install Kestrel
    CardFault cardFault = CardFault::None;
    // A Cirrus card blanks its extended modes on the sequencer's screen-off bit as the chip
    // does; false shows them regardless, as QEMU and Bochs do (both Cirrus ROMs leave it set).
    bool svgaScreenOffBlanks = true;
    uint64_t instructionBudget = 5'000'000;  // per real-mode call: the slowest ROM call takes 320 000
};

// Named presets and machine files ("key = value" lines).
std::vector<std::string> presetNames();
MachineConfig presetConfig(const std::string& name);       // throws MachineError
MachineConfig loadMachine(const std::string& nameOrFile);  // preset name or file path

// Time as the machine sees it. Headless runs use a virtual clock that advances only by
// the work done, so the same script gives the same pictures.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t nowMicros() = 0;
    virtual void spend(uint64_t micros) = 0;  // work that took this long (virtual clocks advance)
};
std::unique_ptr<Clock> makeRealClock();
std::unique_ptr<Clock> makeVirtualClock();

// 16-bit register file of a real-mode call; what the call left there on return.
struct CpuRegs {
    uint16_t ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0, bp = 0;
    uint16_t ds = 0, es = 0;
    uint16_t flags = 0;  // bit 0: carry
};

struct CallResult {
    bool ok = false;    // returned normally
    std::string error;  // why not: "CPU fault ...", "no return within N instructions"
    uint64_t instructions = 0;
};

// An RGB picture, 0x00RRGGBB per pixel, row by row.
struct Picture {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;  // of the mode shown: 0 for text, 4 for planar, 8 to 32
    std::vector<uint32_t> pixels;
};

class Machine {
public:
    // Boots the ROM, its register accesses going to `ioLog` when one is given (see setIoLog);
    // throws MachineError.
    Machine(const MachineConfig& config, Clock& clock, std::function<void(const std::string&)> ioLog = {});
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    const MachineConfig& config() const;
    Clock& clock();
    uint64_t serial() const;  // unique to this machine within the process
    // The CPU's pace so far: host time spent running emulated code, and the time the same
    // work takes on the PC modelled (instructions and the waits it polled through). A window
    // run compares them to say when the emulation falls behind real time.
    struct CpuPace {
        uint64_t hostMicros = 0;
        uint64_t emulatedMicros = 0;
    };
    CpuPace cpuPace() const;

    // Real mode. The first megabyte (plus the HMA) is one block of host memory below 4 GB:
    // guest address a is memory()[a], and host pointers into it fit in 32 bits.
    uint8_t* memory();
    uint32_t memoryBytes() const;            // size of the memory() block (1 MB and the HMA)
    uint32_t conventionalBytes() const;      // top of conventional memory
    uint32_t freeConventionalStart() const;  // first byte the program may allocate (below is ours)
    CallResult interrupt(uint8_t number, CpuRegs& regs);
    CallResult farCall(uint16_t segment, uint16_t offset, CpuRegs& regs);

    // The bus as a protected-mode program on the host side sees it. Reading input status 1
    // (3DAh/3BAh) takes 1 us of machine time, so a retrace poll ends under a virtual clock too.
    uint8_t in8(uint16_t port);
    uint16_t in16(uint16_t port);
    void out8(uint16_t port, uint8_t value);
    void out16(uint16_t port, uint16_t value);
    uint8_t readPhys8(uint32_t address);  // A0000-BFFFF go through the card (banks, planes)
    void writePhys8(uint32_t address, uint8_t value);
    uint8_t* lfb();  // video memory, as mapped at config().lfbAddress
    uint32_t videoMemoryBytes() const;

    // Scan-out: the picture the monitor shows now, hardware cursor included.
    void scanOut(Picture& picture);

    // Every access to a card register, port or memory-mapped, as one line to `sink`
    // ("port write 03C4 byte 07", "mmio read E2000140 byte 00"), and one "blt ..." line per
    // BitBLT operation the card runs. Video memory is not logged. An empty sink stops it.
    void setIoLog(std::function<void(const std::string&)> sink);

    // Lines the BIOS wrote to its debug ports, and the machine's own notes on failed calls.
    const std::string& biosLog() const;

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
