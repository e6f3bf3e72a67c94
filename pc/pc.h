// The PC Palisade tests, as everything above the hardware sees it: real-mode calls, ports,
// physical memory, the framebuffer, the clock and the picture. Engines stand behind it: the
// virtual PC (machine/), QEMU's PC (qemu_pc/) and any PC running Palisade's agent (agent_pc/).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "hw/palisade_ext.h"

namespace pc {

// A machine description, ROM or engine that cannot be used: the message is one line that
// says what is wrong and how to fix it.
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

// Which kind of PC stands behind the interface.
enum class Engine : uint8_t {
    Virtual,  // libx86emu and Palisade's own card models
    Qemu,     // qemu-system-i386, driven through its gdbstub
    Agent,    // any PC running Palisade's agent, over a serial line or a socket
};

struct MachineConfig {
    std::string name;             // preset name, or the file it was read from
    std::string description;      // one line for --list-machines
    std::string romPath;          // video BIOS image
    std::string romPackage;       // Debian package that ships romPath
    std::string card = "stdvga";  // one of the card names (machine/card.h)
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
    Engine engine = Engine::Virtual;
    std::string qemuBinary = "qemu-system-i386";  // the QEMU engine's executable (a path or a name on PATH)
    uint32_t callBudgetMs = 1000;                 // per real-mode call on an engine that runs in real time
    // The agent engine: the line to an agent already running (unix:PATH, tcp:HOST:PORT,
    // serial:DEVICE[,BAUD]), or an emulator Palisade starts with the agent inside ("qemu").
    std::string link;
    std::string agentClient;
    uint32_t linkTimeoutMs = 2000;  // the longest one command to the agent may go unanswered
    // The longest one test's drawing may take to send over the line to the agent (0: no limit);
    // a test whose drawing would take longer is skipped.
    uint32_t drawingLimitMs = 60000;

    // Whether the video BIOS is ours to choose: the virtual PC, QEMU and the emulators that
    // boot the agent load `romPath`; a PC on a line, and DOSBox with its VBE built in, bring
    // their own.
    bool takesRom() const { return engine != Engine::Agent || agentClient == "qemu" || agentClient == "bochs"; }
};

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

// The CPU's pace so far: host time spent running emulated code, and the time the same work
// takes on the PC modelled (instructions and the waits it polled through). A window run
// compares them to say when the emulation falls behind real time.
struct CpuPace {
    uint64_t hostMicros = 0;
    uint64_t emulatedMicros = 0;
};

// An RGB picture, 0x00RRGGBB per pixel, row by row.
struct Picture {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;  // of the mode shown: 0 for text, 4 for planar, 8 to 32
    std::vector<uint32_t> pixels;
    bool readBack = false;  // Palisade's own scan-out of registers and memory read back from the PC
};

class Pc {
public:
    virtual ~Pc() = default;

    virtual const MachineConfig& config() const = 0;
    virtual Clock& clock() = 0;
    virtual uint64_t serial() const = 0;  // unique to this PC within the process

    // Real mode. The first megabyte (plus the HMA) is one block of host memory below 4 GB:
    // guest address a is memory()[a], and host pointers into it fit in 32 bits. What the host
    // writes there reaches the PC before its next call or port access; what a call writes is
    // there when the call returns.
    virtual uint8_t* memory() = 0;
    virtual uint32_t memoryBytes() const = 0;            // size of the memory() block (1 MB and the HMA)
    virtual uint32_t conventionalBytes() const = 0;      // top of conventional memory
    virtual uint32_t freeConventionalStart() const = 0;  // first byte the program may allocate (below is ours)
    virtual CallResult interrupt(uint8_t number, CpuRegs& regs) = 0;
    virtual CallResult farCall(uint16_t segment, uint16_t offset, CpuRegs& regs) = 0;

    // The bus as a protected-mode program on the host side sees it.
    virtual uint8_t in8(uint16_t port) = 0;
    virtual uint16_t in16(uint16_t port) = 0;
    virtual void out8(uint16_t port, uint8_t value) = 0;
    virtual void out16(uint16_t port, uint16_t value) = 0;
    virtual uint8_t readPhys8(uint32_t address) = 0;  // A0000-BFFFF go through the card (banks, planes)
    virtual void writePhys8(uint32_t address, uint8_t value) = 0;
    // A driver's busy-wait on an indexed register (the display bus's waitIndexedClear): the
    // host polls through in8 here; a PC driven from outside runs the loop on its own CPU.
    virtual void waitIndexedClear(uint16_t indexPort, uint8_t index, uint8_t bits, int polls,
                                  std::span<const uint16_t> timeoutWrites)
    {
        for (int i = 0; i < polls; ++i) {
            out8(indexPort, index);
            if (!(in8(uint16_t(indexPort + 1)) & bits))
                return;
        }
        for (uint16_t write : timeoutWrites)
            out16(indexPort, write);
    }
    // Video memory as mapped at config().lfbAddress. Like memory(), host writes reach the card
    // before the next call or port access, and the card's own changes are there when asked again.
    virtual uint8_t* lfb() = 0;
    virtual uint32_t videoMemoryBytes() const = 0;

    // The picture the monitor shows now, hardware cursor included.
    virtual void scanOut(Picture& picture) = 0;

    // A test's drawing is done (the program waits for input): what the host drew reaches the PC
    // now, and the next test's drawing counts from here. A PC behind a slow line sends a test's
    // drawing only while it fits the description's drawingLimitMs; past it nothing more of that
    // test's drawing is sent, the host's video memory is put back to what the card holds, and
    // the one line why is returned here. Empty: all of it was sent.
    virtual std::string finishDrawing() { return {}; }

    // An engine that runs in real time cannot fall behind it, and reports no pace (zeros).
    virtual CpuPace cpuPace() const { return {}; }

    // Every access to a card register as one line to `sink`, where the engine sees them; an
    // empty sink stops it.
    virtual void setIoLog(std::function<void(const std::string&)> sink) = 0;

    // Lines the BIOS wrote to its debug ports, and the engine's own notes on failed calls.
    virtual const std::string& biosLog() const = 0;

    // Where this PC's card is known to depart from the chip it models, in words: each departure
    // the host's traffic has met since the BIOS last cleared video memory, and each the card's
    // state shows now. A screen that differs may show one of these rather than a fault. None
    // where none is known.
    virtual std::vector<std::string> departuresMet() { return {}; }
};

// The PC this process runs on, for the outside libraries built over it.
Pc& current();  // throws MachineError when there is none
bool hasCurrent();
void setCurrent(Pc* pc);

}  // namespace pc
