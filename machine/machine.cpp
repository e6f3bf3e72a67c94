#include "machine/machine.h"

#include <sys/mman.h>
#include <x86emu.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "machine/card.h"
#include "machine/host_bridge.h"
#include "machine/pci_bus.h"
#include "machine/rom_image.h"
#include "machine/scan_out.h"
#include "machine/system_bios.h"

namespace machine {
namespace {

// The first megabyte and the HMA, one block of host memory below 2 GB.
constexpr uint32_t MEMORY_BYTES = 0x110000;
constexpr uint32_t WINDOW_START = vga::WINDOW_START;
constexpr uint32_t ROM_START = vga::WINDOW_END;
constexpr uint32_t SYSTEM_BIOS_START = SystemBios::START;

// Our real-mode stack sits below the memory the allocator hands out.
constexpr uint16_t STACK_SEGMENT = 0x0080;
constexpr uint16_t STACK_TOP = 0x1800;
constexpr uint32_t FREE_CONVENTIONAL_START = 0x2000;

constexpr uint16_t BIOS_SEGMENT = SystemBios::SEGMENT;
constexpr uint16_t RETURN_STUB = SystemBios::RETURN_STUB;

// Where the video card sits on the PCI bus, as the ROM's start-up is told in AX.
constexpr uint16_t CARD_BDF = pci::bdf(0, 2, 0);

// Emulated instructions per microsecond charged to the clock while real-mode code runs.
constexpr uint64_t INSTRUCTIONS_PER_MICROSECOND = 25;

// Reads of input status 1 this close together, with no other port access between them, are a
// loop polling it (in, test, jump, count down, jump).
constexpr uint64_t POLL_LOOP_INSTRUCTIONS = 8;

constexpr uint16_t BOCHS_DEBUG_PORT = 0x500;
constexpr uint16_t SEABIOS_DEBUG_PORT = 0x402;

std::string hex4(uint32_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

// A machine that cannot exist is refused before anything is built, whoever made the config.
const MachineConfig& checked(const MachineConfig& config)
{
    const std::string name = "machine " + config.name + ": ";
    if (config.videoMemoryKb < MIN_VIDEO_MEMORY_KB || config.videoMemoryKb > MAX_VIDEO_MEMORY_KB ||
        config.videoMemoryKb % VIDEO_MEMORY_UNIT_KB != 0)
        throw MachineError(name + "video memory must be a multiple of 64 KB from 256 KB to 512 MB");
    if (config.conventionalKb < FREE_CONVENTIONAL_START / 1024 || config.conventionalKb > 640)
        throw MachineError(name + "conventional memory must be 8 to 640 KB");
    if (config.refreshHz < 30 || config.refreshHz > 240)
        throw MachineError(name + "refresh must be 30 to 240 Hz");
    if (config.instructionBudget == 0)
        throw MachineError(name + "the instruction budget must not be 0");
    uint64_t barSize = 0x10000;
    while (barSize < config.videoMemoryKb * 1024ull)
        barSize <<= 1;
    if (config.lfbAddress < MEMORY_BYTES || config.lfbAddress % barSize != 0)
        throw MachineError(name + "the framebuffer address must lie above the HMA, aligned to the video memory size");
    return config;
}

}  // namespace

struct Machine::Impl {
    Impl(const MachineConfig& cfg, Clock& clk) : config(cfg), clock(clk), card(makeCard(cfg, [this] { return now(); }))
    {
        pci.attach(HOST_BRIDGE_BDF, hostBridge);
        pci.attach(CARD_BDF, card->pciFunction());
        card->setEngineTime([this](uint64_t micros) { chargeEngine(micros); });
    }

    ~Impl()
    {
        if (emu)
            x86emu_done(emu);
        if (memory)
            munmap(memory, MEMORY_BYTES);
    }

    MachineConfig config;
    Clock& clock;
    uint8_t* memory = nullptr;
    uint32_t romBytes = 0;
    bool romWritable = false;
    std::unique_ptr<Card> card;
    ConfigSpace hostBridge = hostBridgeConfig();
    PciBus pci;
    std::function<void(const std::string&)> ioLog;
    std::unique_ptr<SystemBios> bios;
    x86emu_t* emu = nullptr;
    std::string biosLog;
    std::string fault;
    uint64_t chargedInstructions = 0;
    uint64_t callStart = 0;           // the instruction count when the running call began
    uint64_t engineInstructions = 0;  // the card engine's work in the running call, as instructions
    bool running = false;
    pc::CpuPace pace;
    uint32_t toggle61 = 0;
    uint64_t lastStatusPoll = 0;  // instruction count at the last emulated read of input status 1
    uint8_t lastStatus = 0;       // what it read
    bool polling = false;         // no other port access since
    uint64_t serial = nextSerial++;
    static inline uint64_t nextSerial = 1;

    // Time as the machine sees it, with the instructions run so far charged to the clock.
    uint64_t now()
    {
        chargeInstructions();
        return clock.nowMicros();
    }

    void chargeInstructions()
    {
        if (!emu)
            return;
        const uint64_t executed = emu->x86.R_TSC - chargedInstructions;
        const uint64_t micros = executed / INSTRUCTIONS_PER_MICROSECOND;
        if (micros) {
            pace.emulatedMicros += micros;
            clock.spend(micros);
            chargedInstructions += micros * INSTRUCTIONS_PER_MICROSECOND;
        }
    }

    // Work the card's own engine did: it takes machine time, and inside a call it counts
    // against the call's budget at the CPU's rate, so a guest that loops on big operations
    // is stopped as one that loops on instructions is.
    void chargeEngine(uint64_t micros)
    {
        chargeInstructions();
        clock.spend(micros);
        if (!running)
            return;
        engineInstructions += micros * INSTRUCTIONS_PER_MICROSECOND;
        if (emu->x86.R_TSC - callStart + engineInstructions >= config.instructionBudget)
            x86emu_stop(emu);
    }

    uint8_t readByte(uint32_t address)
    {
        if (address < WINDOW_START)
            return memory[address];
        if (address < ROM_START)
            return card->readWindow(address);
        if (address < MEMORY_BYTES)
            return memory[address];
        return static_cast<uint8_t>(card->readBus(address, 1));
    }

    void writeByte(uint32_t address, uint8_t value)
    {
        if (address < WINDOW_START) {
            memory[address] = value;
        } else if (address < ROM_START) {
            card->writeWindow(address, value);
        } else if (address < ROM_START + romBytes) {
            if (romWritable)
                memory[address] = value;  // SeaVGABIOS keeps data in its own segment during init
        } else if (address < SYSTEM_BIOS_START) {
            memory[address] = value;  // upper memory
        } else if (address < 0x100000) {
            // our system BIOS is ROM
        } else if (address < MEMORY_BYTES) {
            memory[address] = value;
        } else {
            card->writeBus(address, 1, value);
        }
    }

    // Plain memory the access lies in whole: below the VGA window, or from the ROM to the
    // end of the HMA. 32-bit addressing reaches any address, so nothing here may wrap.
    static bool plainRam(uint32_t address, unsigned bytes)
    {
        if (address >= MEMORY_BYTES || bytes > MEMORY_BYTES - address)
            return false;
        return address + bytes <= WINDOW_START || address >= ROM_START;
    }

    // Above the first megabyte an access goes to the card whole, as a bus cycle of its width.
    static bool onTheBus(uint32_t address, unsigned bytes)
    {
        return address >= MEMORY_BYTES && bytes - 1 <= 0xFFFFFFFFu - address;
    }

    // A load of a width known at compile time: a copy of a run-time width would go through
    // the stack byte by byte, and every instruction fetch would wait on it.
    uint32_t loadRam(uint32_t address, unsigned bytes) const
    {
        const uint8_t* at = memory + address;
        if (bytes == 1)
            return *at;
        if (bytes == 2) {
            uint16_t value;
            std::memcpy(&value, at, 2);
            return value;
        }
        uint32_t value;
        std::memcpy(&value, at, 4);
        return value;
    }

    void storeRam(uint32_t address, uint32_t value, unsigned bytes)
    {
        uint8_t* at = memory + address;
        if (bytes == 1) {
            *at = static_cast<uint8_t>(value);
        } else if (bytes == 2) {
            const uint16_t word = static_cast<uint16_t>(value);
            std::memcpy(at, &word, 2);
        } else {
            std::memcpy(at, &value, 4);
        }
    }

    // Everything but plain memory: the VGA window, the ROM, the card's BARs.
    [[gnu::noinline]] uint32_t readDevice(uint32_t address, unsigned bytes)
    {
        uint32_t value = 0;
        if (onTheBus(address, bytes))
            value = card->readBus(address, bytes);
        else
            for (unsigned i = 0; i < bytes; ++i)
                value |= static_cast<uint32_t>(readByte(address + i)) << (8 * i);
        if (ioLog && card->registersAt(address))
            logAccess("mmio read", address, bytes, value);
        return value;
    }

    [[gnu::noinline]] void writeDevice(uint32_t address, uint32_t value, unsigned bytes)
    {
        if (ioLog && card->registersAt(address))
            logAccess("mmio write", address, bytes, value);
        if (onTheBus(address, bytes))
            return card->writeBus(address, bytes, value);
        for (unsigned i = 0; i < bytes; ++i)
            writeByte(address + i, static_cast<uint8_t>(value >> (8 * i)));
    }

    uint32_t readMemory(uint32_t address, unsigned bytes)
    {
        return plainRam(address, bytes) ? loadRam(address, bytes) : readDevice(address, bytes);
    }

    void writeMemory(uint32_t address, uint32_t value, unsigned bytes)
    {
        if (address < WINDOW_START && bytes <= WINDOW_START - address)
            return storeRam(address, value, bytes);
        writeDevice(address, value, bytes);
    }

    // One line of the I/O log: "port write 03C4 byte 07", "mmio read E2000140 word 0000".
    void logAccess(const char* what, uint32_t where, unsigned bytes, uint32_t value)
    {
        char line[64];
        const char* width = bytes == 1 ? "byte" : bytes == 2 ? "word" : "dword";
        std::snprintf(line, sizeof line, "%s %0*X %s %0*X", what, where > 0xFFFF ? 8 : 4, where, width,
                      static_cast<int>(bytes * 2), value);
        ioLog(line);
    }

    // A port read by the emulated CPU. A loop polling input status 1 sees the same status
    // again and again until it changes: the clock moves on to that change at once, so the
    // loop sees what it would have seen, at the time it would have seen it, for a few
    // instructions instead of hundreds of thousands a frame.
    [[gnu::noinline]] uint32_t emulatedPortIn(uint16_t port, unsigned bytes)
    {
        const bool status = bytes == 1 && (port == vga::status1::PORT || port == vga::status1::MONO_PORT);
        if (!status) {
            polling = false;
            return portIn(port, bytes);
        }
        const uint64_t executed = emu->x86.R_TSC;
        if (polling && executed - lastStatusPoll <= POLL_LOOP_INSTRUCTIONS) {
            const uint64_t at = now();
            if (card->vga().status1At(at) == lastStatus) {
                pace.emulatedMicros += card->vga().nextStatus1Change(at) - at;
                clock.spend(card->vga().nextStatus1Change(at) - at);
            }
        }
        lastStatus = static_cast<uint8_t>(portIn(port, bytes));
        lastStatusPoll = executed;
        polling = true;
        return lastStatus;
    }

    uint32_t portIn(uint16_t port, unsigned bytes)
    {
        const uint32_t value = portRead(port, bytes);
        if (ioLog && card->decodesPort(port))
            logAccess("port read", port, bytes, value);
        return value;
    }

    void portOut(uint16_t port, uint32_t value, unsigned bytes)
    {
        if (ioLog && card->decodesPort(port))
            logAccess("port write", port, bytes, value);
        portWrite(port, value, bytes);
    }

    uint32_t portRead(uint16_t port, unsigned bytes)
    {
        if (PciBus::decodesPort(port))
            return pci.in(port, bytes);
        if (card->decodesPort(port)) {
            if (bytes == 1)
                return card->in8(port);
            if (bytes == 2)
                return card->in16(port);
            return card->in16(port) | (static_cast<uint32_t>(card->in16(static_cast<uint16_t>(port + 2))) << 16);
        }
        if (port == 0x61)
            return (++toggle61 & 1) ? 0x10 : 0x00;  // refresh toggle for delay loops
        return bytes == 4 ? 0xFFFFFFFF : (1u << (8 * bytes)) - 1;
    }

    void portWrite(uint16_t port, uint32_t value, unsigned bytes)
    {
        if (PciBus::decodesPort(port))
            return pci.out(port, value, bytes);
        if (card->decodesPort(port)) {
            if (bytes == 1)
                return card->out8(port, static_cast<uint8_t>(value));
            card->out16(port, static_cast<uint16_t>(value));
            if (bytes == 4)
                card->out16(static_cast<uint16_t>(port + 2), static_cast<uint16_t>(value >> 16));
            return;
        }
        if (port == BOCHS_DEBUG_PORT || port == SEABIOS_DEBUG_PORT) {
            for (unsigned i = 0; i < bytes; ++i)
                biosLog.push_back(static_cast<char>(value >> (8 * i)));
        }
    }

    // Every access of the emulated CPU, instruction fetches included. Plain memory is
    // answered here; ports and devices go out of line, so that this stays short.
    static unsigned memio(x86emu_t* emu, u32 address, u32* value, unsigned type)
    {
        auto* self = static_cast<Impl*>(emu->_private);
        const unsigned size = type & 0xFF;
        const unsigned bytes = size == X86EMU_MEMIO_16 ? 2 : size == X86EMU_MEMIO_32 ? 4 : 1;
        switch (type & ~0xFFu) {
        case X86EMU_MEMIO_R:
        case X86EMU_MEMIO_X: *value = self->readMemory(address, bytes); return 0;
        case X86EMU_MEMIO_W: self->writeMemory(address, *value, bytes); return 0;
        case X86EMU_MEMIO_I: *value = self->emulatedPortIn(static_cast<uint16_t>(address), bytes); return 0;
        case X86EMU_MEMIO_O: self->emulatedPortOut(static_cast<uint16_t>(address), *value, bytes); return 0;
        default: return 1;
        }
    }

    [[gnu::noinline]] void emulatedPortOut(uint16_t port, uint32_t value, unsigned bytes)
    {
        polling = false;
        portOut(port, value, bytes);
    }

    static int interruptHook(x86emu_t* emu, u8 number, unsigned type)
    {
        auto* self = static_cast<Impl*>(emu->_private);
        // A fault whose vector is still our IRET would return to the faulting instruction
        // and raise it again for ever: divide error, BOUND, invalid opcode, no coprocessor.
        const bool unhandledFault =
            (number == 0 || number == 5 || number == 6 || number == 7) && self->bios->vectorIsOurs(number);
        if ((type & 0xFF) == INTR_TYPE_FAULT || unhandledFault) {
            // At the faulting instruction, as the CPU reports it, not the one after.
            self->fault = "CPU fault: exception " + std::to_string(number) + " at " + hex4(emu->x86.saved_cs) + ":" +
                          hex4(static_cast<uint16_t>(emu->x86.saved_eip));
            x86emu_stop(emu);
            return 1;
        }
        return self->bios->answer(emu, number) ? 1 : 0;
    }

    void push16(uint16_t value)
    {
        emu->x86.R_SP = static_cast<uint16_t>(emu->x86.R_SP - 2);
        const uint32_t at = (static_cast<uint32_t>(emu->x86.R_SS) << 4) + emu->x86.R_SP;
        memory[at] = static_cast<uint8_t>(value);
        memory[at + 1] = static_cast<uint8_t>(value >> 8);
    }

    // How a call enters the real-mode code: the option ROM's start-up, an interrupt, a far call.
    enum class Entry { ROM_INIT, INTERRUPT, FAR_CALL };

    // The call's name in the line saying it failed, made only then.
    static std::string describe(Entry entry, uint8_t number, uint16_t segment, uint16_t offset)
    {
        switch (entry) {
        case Entry::ROM_INIT: return "video BIOS init";
        case Entry::INTERRUPT: return "INT " + hex4(number).substr(2);
        case Entry::FAR_CALL: break;
        }
        return "far call to " + hex4(segment) + ":" + hex4(offset);
    }

    CallResult call(uint16_t segment, uint16_t offset, CpuRegs& regs, Entry entry, uint8_t number = 0)
    {
        const bool asInterrupt = entry == Entry::INTERRUPT;
        const bool bigRealMode = entry == Entry::ROM_INIT;
        CallResult result;
        if (running) {
            result.error = "real-mode call made while another one runs";
            return result;
        }
        auto& r = emu->x86;
        // Every call starts in real mode, whatever the last one left behind.
        r.R_CR0 &= ~1u;
        r.R_IDT_BASE = 0;
        r.R_IDT_LIMIT = 0x3FF;
        r.R_EAX = regs.ax;
        r.R_EBX = regs.bx;
        r.R_ECX = regs.cx;
        r.R_EDX = regs.dx;
        r.R_ESI = regs.si;
        r.R_EDI = regs.di;
        r.R_EBP = regs.bp;
        x86emu_set_seg_register(emu, r.R_DS_SEL, regs.ds);
        x86emu_set_seg_register(emu, r.R_ES_SEL, regs.es);
        x86emu_set_seg_register(emu, r.R_FS_SEL, 0);
        x86emu_set_seg_register(emu, r.R_GS_SEL, 0);
        // A PC's firmware starts option ROMs in big real mode: data segments reach all 4 GB,
        // so a ROM's start-up can read its card's register window with 32-bit addresses.
        for (int data : {R_DS_INDEX, R_ES_INDEX, R_FS_INDEX, R_GS_INDEX})
            r.seg[data].limit = bigRealMode ? 0xFFFFFFFF : 0xFFFF;
        // The same stack either way; in big real mode from segment 0, as a PC's firmware calls
        // option ROMs, whose C code addresses flat memory through DS = SS.
        x86emu_set_seg_register(emu, r.R_SS_SEL, bigRealMode ? 0 : STACK_SEGMENT);
        r.R_ESP = bigRealMode ? STACK_SEGMENT * 16u + STACK_TOP : STACK_TOP;
        const uint16_t flags = static_cast<uint16_t>((regs.flags & 0x0CD5) | 0x0002);
        if (asInterrupt)
            push16(flags);
        push16(BIOS_SEGMENT);
        push16(RETURN_STUB);
        r.R_EFLG = flags;
        x86emu_set_seg_register(emu, r.R_CS_SEL, segment);
        r.R_EIP = offset;
        r.mode &= ~static_cast<u32>(_MODE_HALTED);
        fault.clear();
        polling = false;

        const uint64_t start = r.R_TSC;
        callStart = start;
        engineInstructions = 0;
        emu->max_instr = start + config.instructionBudget;
        running = true;
        const auto hostStart = std::chrono::steady_clock::now();
        x86emu_run(emu, X86EMU_RUN_MAX_INSTR);
        running = false;
        chargeInstructions();
        pace.hostMicros += uint64_t(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - hostStart).count());
        result.instructions = r.R_TSC - start;

        const bool returned = r.R_CS == BIOS_SEGMENT && r.R_IP == RETURN_STUB + 1;
        const auto where = [&r] { return hex4(r.R_CS) + ":" + hex4(r.R_IP); };
        if (!fault.empty())
            result.error = fault;
        else if (returned)
            result.ok = true;
        else if (result.instructions + engineInstructions >= config.instructionBudget)
            result.error = "no return within " + std::to_string(config.instructionBudget) + " instructions (at " +
                           where() +
                           (engineInstructions
                                ? ", " + std::to_string(engineInstructions) + " of them the card engine's work at " +
                                      std::to_string(INSTRUCTIONS_PER_MICROSECOND) + " a microsecond"
                                : std::string()) +
                           ")";
        else
            result.error = "CPU stopped at " + where();

        regs.ax = r.R_AX;
        regs.bx = r.R_BX;
        regs.cx = r.R_CX;
        regs.dx = r.R_DX;
        regs.si = r.R_SI;
        regs.di = r.R_DI;
        regs.bp = r.R_BP;
        regs.ds = r.R_DS;
        regs.es = r.R_ES;
        regs.flags = static_cast<uint16_t>(r.R_FLG);
        if (!result.ok) {
            const std::string line =
                "palisade: machine: " + describe(entry, number, segment, offset) + " failed: " + result.error + "\n";
            if (!biosLog.empty() && biosLog.back() != '\n')
                biosLog += '\n';  // after a BIOS's unfinished line
            biosLog += line;
            std::fputs(line.c_str(), stderr);
        }
        return result;
    }

    void setUpMemory()
    {
        void* block =
            mmap(nullptr, MEMORY_BYTES, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (block == MAP_FAILED)
            throw MachineError("cannot map the machine's memory below 4 GB");
        memory = static_cast<uint8_t*>(block);

        bios = std::make_unique<SystemBios>(memory, config.conventionalKb, clock, pci);
        bios->install();
    }

    void setUpCpu()
    {
        emu = x86emu_new(X86EMU_PERM_RWX, X86EMU_PERM_RW);
        if (!emu)
            throw MachineError("cannot create the emulated CPU");
        emu->_private = this;
        x86emu_set_memio_handler(emu, &Impl::memio);
        x86emu_set_intr_handler(emu, &Impl::interruptHook);
        chargedInstructions = emu->x86.R_TSC;
    }

    void boot()
    {
        const std::vector<uint8_t> rom = loadVideoRom(config.romPath, config.romPackage);
        std::memcpy(memory + ROM_START, rom.data(), rom.size());
        romBytes = static_cast<uint32_t>(rom.size());
        romWritable = true;
        CpuRegs regs;
        regs.ax = CARD_BDF;
        CallResult init = call(0xC000, 0x0003, regs, Entry::ROM_INIT);
        romWritable = false;
        if (!init.ok)
            throw MachineError("video BIOS " + config.romPath + " did not initialise: " + init.error);
        // Text mode 3 without clearing the screen (bit 7), so the banner the ROM printed
        // during its start-up stays on the monitor, as after a PC's power-on self test.
        regs = CpuRegs{};
        regs.ax = 0x0083;
        CallResult text = interrupt(0x10, regs);
        if (!text.ok)
            throw MachineError("video BIOS " + config.romPath + " cannot set text mode: " + text.error);
    }

    CallResult interrupt(uint8_t number, CpuRegs& regs)
    {
        uint32_t vector;
        std::memcpy(&vector, memory + number * 4u, 4);
        return call(static_cast<uint16_t>(vector >> 16), static_cast<uint16_t>(vector), regs, Entry::INTERRUPT, number);
    }
};

Machine::Machine(const MachineConfig& config, Clock& clock, std::function<void(const std::string&)> ioLog)
    : impl_(std::make_unique<Impl>(checked(config), clock))
{
    impl_->setUpMemory();
    impl_->setUpCpu();
    if (ioLog)
        setIoLog(std::move(ioLog));
    impl_->boot();
}

Machine::~Machine()
{
    if (pc::hasCurrent() && &pc::current() == this)
        pc::setCurrent(nullptr);
}

const MachineConfig& Machine::config() const
{
    return impl_->config;
}
Clock& Machine::clock()
{
    return impl_->clock;
}
uint64_t Machine::serial() const
{
    return impl_->serial;
}
pc::CpuPace Machine::cpuPace() const
{
    return impl_->pace;
}
uint8_t* Machine::memory()
{
    return impl_->memory;
}
uint32_t Machine::memoryBytes() const
{
    return MEMORY_BYTES;
}
uint32_t Machine::conventionalBytes() const
{
    return impl_->config.conventionalKb * 1024u;
}
uint32_t Machine::freeConventionalStart() const
{
    return FREE_CONVENTIONAL_START;
}

CallResult Machine::interrupt(uint8_t number, CpuRegs& regs)
{
    return impl_->interrupt(number, regs);
}

CallResult Machine::farCall(uint16_t segment, uint16_t offset, CpuRegs& regs)
{
    return impl_->call(segment, offset, regs, Impl::Entry::FAR_CALL);
}

uint8_t Machine::in8(uint16_t port)
{
    if (port == vga::status1::PORT || port == vga::status1::MONO_PORT)
        impl_->clock.spend(1);  // a bus cycle: polling loops see time pass
    return static_cast<uint8_t>(impl_->portIn(port, 1));
}
uint16_t Machine::in16(uint16_t port)
{
    return static_cast<uint16_t>(impl_->portIn(port, 2));
}
void Machine::out8(uint16_t port, uint8_t value)
{
    impl_->portOut(port, value, 1);
}
void Machine::out16(uint16_t port, uint16_t value)
{
    impl_->portOut(port, value, 2);
}
uint8_t Machine::readPhys8(uint32_t address)
{
    return impl_->readByte(address);
}
void Machine::writePhys8(uint32_t address, uint8_t value)
{
    impl_->writeByte(address, value);
}
uint8_t* Machine::lfb()
{
    return impl_->card->videoMemory();
}
uint32_t Machine::videoMemoryBytes() const
{
    return impl_->card->videoMemoryBytes();
}
void Machine::scanOut(Picture& picture)
{
    machine::scanOut(*impl_->card, picture);
}
const std::string& Machine::biosLog() const
{
    return impl_->biosLog;
}

void Machine::setIoLog(std::function<void(const std::string&)> sink)
{
    impl_->ioLog = std::move(sink);
    impl_->card->setOperationLog(impl_->ioLog);
}
const Card& Machine::card() const
{
    return *impl_->card;
}

// The virtual PC as the current PC, for checks and tools that need the machine itself.
Machine& current()
{
    auto* machine = dynamic_cast<Machine*>(&pc::current());
    if (!machine)
        throw MachineError("the PC running is not the virtual PC");
    return *machine;
}
bool hasCurrent()
{
    return pc::hasCurrent() && dynamic_cast<Machine*>(&pc::current()) != nullptr;
}
void setCurrent(Machine* machine)
{
    pc::setCurrent(machine);
}

}  // namespace machine
