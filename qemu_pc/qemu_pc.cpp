// QEMU's PC, driven through its gdbstub and QMP.
//
// Real-mode memory is QEMU's own RAM, shared with us through a memory-backend file in the
// private folder and mapped below 4 GB: nothing to keep in step. Code we place for the CPU (the
// stubs) still goes through the gdbstub, so that QEMU drops what it translated from there before.
// Video memory lives inside QEMU's card, so lfb() is a host shadow: before a call, a picture, a
// window access or a port write that may start the card's own drawing, the bytes the host changed
// (those that differ from the copy last exchanged) go to the card, a few through the gdbstub,
// many through a staging area in RAM that QEMU's CPU copies into the card. After a call
// that may change video memory (an int 10h other than the VBE functions that leave it alone) it
// is read back at once (QMP pmemsave), so a pointer the host keeps stays true; after a window
// write or a graphics-controller write on cirrus-vga, the next lfb() or framebuffer access does.
#include "qemu_pc/qemu_pc.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <span>
#include <thread>

#include "card_reading/shown_card.h"
#include "hw/cirrus.h"
#include "hw/dispi.h"
#include "hw/pci.h"
#include "hw/vga.h"
#include "pc/changed_runs.h"
#include "qemu_pc/cirrus_departures.h"
#include "qemu_pc/dispi_departures.h"
#include "qemu_pc/gdb_remote.h"
#include "qemu_pc/guest_code.h"
#include "qemu_pc/io_batch.h"
#include "qemu_pc/ppm.h"
#include "qemu_pc/qemu_process.h"
#include "qemu_pc/qmp.h"

namespace qemu_pc {
namespace {

// The first megabyte and the HMA, as on the virtual PC.
constexpr uint32_t MEMORY_BYTES = 0x110000;
constexpr uint32_t WINDOW_START = 0xA0000, WINDOW_END = 0xC0000;
constexpr uint32_t BOOT_SECTOR = 0x7C00;
// Our own area below the program's memory: the code, on the page of the vectors and the BIOS
// data area (written only during calls), then the stack (SS=0080h) on a page of its own.
// It is guest_code.asm, written once at INT_STUB; these are its addresses.
constexpr uint32_t INT_STUB = 0x600;     // int N
constexpr uint32_t CALL_RETURN = 0x602;  // where calls return: the registers into REGISTERS
constexpr uint32_t RETURN_STOP = 0x650;  // every run of our code ends at this breakpoint
// The batch runner: entered at RUNNER while DS and ES have the flat limits it gave them, else
// at FLAT_RUNNER.
constexpr uint32_t RUNNER = 0x660;
constexpr uint32_t FLAT_RUNNER = RUNNER + 2;
// What a call returned (EAX, EBX, ECX, EDX, ESI, EDI, EBP as dwords, then DS, ES and the
// flags as words), and CALL_DONE after them once they are there; in the stack's room.
constexpr uint32_t REGISTERS = 0x1C20;
constexpr uint32_t REGISTERS_DONE = REGISTERS + 34;
constexpr uint16_t CALL_DONE = 0xA55A;
constexpr uint16_t STACK_SEGMENT = 0x0080;
constexpr uint16_t STACK_TOP = 0x1800;
constexpr uint32_t FREE_START = 0x2000;
constexpr uint32_t RAM_MB = 32;
// RAM above what real mode reaches and below what SeaBIOS keeps at the top, shared with us:
// where the host stages video memory for the CPU to copy into the card, and the runner's list
// with what it reports (the sequence of the last list it ran to its end, the value read).
constexpr uint32_t STAGING = 16u << 20;
constexpr uint32_t STAGING_BYTES = 8u << 20;
constexpr uint32_t LIST = 24u << 20;  // as guest_code.asm has it
constexpr uint32_t LIST_BYTES = 1u << 20;
constexpr uint32_t LIST_SEQUENCE = 0, LIST_VALUE = 4, LIST_OPERATIONS = 16;
// Pushes of fewer bytes, when no list is waiting, go through the gdbstub with its next request.
constexpr uint32_t MIN_STAGED_PUSH = 16 * 1024;
constexpr size_t MAX_POSTED = 1024;  // bytes of posted writes that go out as one packet
// Unchanged bytes a push writes rather than start a new packet (one packet costs as much as
// writing some hundred bytes).
constexpr uint32_t MAX_BRIDGED_GAP = 256;

constexpr int ANSWER_MS = 5000;   // any single reply of the gdbstub or QMP
constexpr int START_MS = 10000;   // QEMU's sockets appear
constexpr int BOOT_MS = 60000;    // SeaBIOS runs the video BIOS and reaches the boot sector

struct QemuCard {
    const char* card;    // the machine description's name
    const char* device;  // QEMU's
};
constexpr QemuCard QEMU_CARDS[] = {{"stdvga", "VGA"}, {"cirrus", "cirrus-vga"}};

std::string hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

bool readFile(const std::string& path, uint8_t* into, size_t bytes)
{
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(into), std::streamsize(bytes));
    return size_t(file.gcount()) == bytes;
}

// A block of QEMU's RAM file that we map too.
struct Unmap {
    size_t bytes = 0;
    void operator()(uint8_t* block) const { munmap(block, bytes); }
};
using Mapping = std::unique_ptr<uint8_t, Unmap>;

class QemuPc final : public pc::Pc {
public:
    QemuPc(const pc::MachineConfig& config, pc::Clock& clock, std::function<void(const std::string&)> ioLog)
        : config_(config), clock_(clock), ioLog_(std::move(ioLog)), gdb_(ANSWER_MS), qmp_(ANSWER_MS)
    {
        static uint64_t serials = 0;
        serial_ = ++serials | (uint64_t{1} << 63);
        start();
    }

    ~QemuPc() override
    {
        if (pc::hasCurrent() && &pc::current() == this)
            pc::setCurrent(nullptr);
        process_.stop();
    }

    const pc::MachineConfig& config() const override { return config_; }
    pc::Clock& clock() override { return clock_; }
    uint64_t serial() const override { return serial_; }
    uint8_t* memory() override { return memory_; }
    uint32_t memoryBytes() const override { return MEMORY_BYTES; }
    uint32_t conventionalBytes() const override { return conventionalBytes_; }
    uint32_t freeConventionalStart() const override { return FREE_START; }

    pc::CallResult interrupt(uint8_t number, pc::CpuRegs& regs) override
    {
        if (intNumber_ != number) {
            const uint8_t stub[2] = {0xCD, number};
            poke(INT_STUB, stub, 2);
            intNumber_ = number;
        }
        const bool mayDraw = number == 0x10 && mayChangeVideoMemory(regs.ax);
        const bool clears = number == 0x10 && clearsVideoMemory(regs.ax, regs.bx);
        // The VBE functions that leave video memory alone do not read it either: the host's
        // drawing waits for the next crossing that may (a picture, a drawing call, the engine).
        const bool videoMemoryUsed = number != 0x10 || mayDraw;
        const pc::CallResult result = call(0, INT_STUB, regs, "INT " + hex(number, 2), 0, videoMemoryUsed);
        if (mayDraw)
            pullVideoMemory();
        if (clears && result.ok)
            departures_.videoMemoryCleared();
        return result;
    }

    pc::CallResult farCall(uint16_t segment, uint16_t offset, pc::CpuRegs& regs) override
    {
        // The far return lands on the stub that leaves the registers and stops.
        const uint8_t returnAddress[4] = {uint8_t(CALL_RETURN), uint8_t(CALL_RETURN >> 8), 0, 0};
        poke((uint32_t{STACK_SEGMENT} << 4) + STACK_TOP - 4, returnAddress, 4);
        return call(segment, offset, regs, "call " + hex(segment, 4) + ":" + hex(offset, 4), 4);
    }

    uint8_t in8(uint16_t port) override { return uint8_t(portIn(port, 1)); }
    uint16_t in16(uint16_t port) override { return uint16_t(portIn(port, 2)); }
    void out8(uint16_t port, uint8_t value) override { portOut(port, value, 1); }
    void out16(uint16_t port, uint16_t value) override { portOut(port, value, 2); }

    // The loop runs on QEMU's CPU, queued with the port writes: it asks the card each time, and
    // costs no round trip of its own.
    void waitIndexedClear(uint16_t indexPort, uint8_t index, uint8_t bits, int polls,
                          std::span<const uint16_t> timeoutWrites) override
    {
        if (polls <= 0 || timeoutWrites.size() > IoBatch::MAX_TIMEOUT_WRITES) {
            pc::Pc::waitIndexedClear(indexPort, index, bits, polls, timeoutWrites);
            return;
        }
        flushPostedWrites();
        if (ioLog_) {
            char line[64];
            std::snprintf(line, sizeof line, "port wait %04X index %02X until %02X clear", indexPort, index, bits);
            ioLog_(line);
        }
        bool mayStart = false;
        if (config_.card == "cirrus" && indexPort == vga::gc::INDEX_PORT) {
            // The writes made when the wait runs out may or may not have happened.
            for (uint16_t write : timeoutWrites) {
                const uint8_t written = uint8_t(write & 0x3F), value = uint8_t(write >> 8);
                mayStart |= (written == cirrus::gc::BLT_STATUS && (value & cirrus::gc::BLT_STATUS_START)) ||
                            written == cirrus::gc::BLT_DST_ADDRESS + 2;
                if (written == cirrus::gc::BLT_STATUS)
                    bltStatus_ = -1;
            }
            gcIndex_ = timeoutWrites.empty() || uint8_t(timeoutWrites.back()) == index ? index : -1;
        }
        queue([&] { batch_.addWait(indexPort, index, bits, uint32_t(polls), timeoutWrites); }, mayStart);
    }

    // Memory is shared; video memory goes to the shadow when it is fresh, else straight to the
    // card (a byte does not need all of video memory read back); anything else through the card.
    uint8_t readPhys8(uint32_t address) override
    {
        if (uint8_t* shared = ramAt(address))
            return *shared;
        if (!inFramebuffer(address) || videoMemoryStale_)
            sendHostWrites();
        else
            flushWrites();
        if (inFramebuffer(address) && !videoMemoryStale_)
            return vram_[address - config_.lfbAddress];
        uint8_t value = 0;
        guard([&] { value = gdb_.readMemory(address, 1)[0]; });
        return value;
    }

    void writePhys8(uint32_t address, uint8_t value) override
    {
        if (uint8_t* shared = ramAt(address)) {
            *shared = value;
            return;
        }
        if (inFramebuffer(address) && !videoMemoryStale_) {
            vram_[address - config_.lfbAddress] = value;
            return;
        }
        // Through the window, posted as on a PC: queued with the port writes, in order.
        if (address >= WINDOW_START && address < WINDOW_END) {
            queue([&] { batch_.addWindowWrite(address, value); }, true);
            return;
        }
        // Into a stale framebuffer: consecutive bytes go out as one run at the next crossing,
        // after what the host drew before them.
        if (!pending_.empty() && address == pendingStart_ + pending_.size() && pending_.size() < MAX_POSTED) {
            pending_.push_back(value);
            return;
        }
        sendHostWrites();
        pendingStart_ = address;
        pending_.push_back(value);
    }

    uint8_t* lfb() override
    {
        flushWrites();
        if (videoMemoryStale_) {
            sendHostWrites();
            pullVideoMemory();
        }
        return vram_.data();
    }
    uint32_t videoMemoryBytes() const override { return uint32_t(vram_.size()); }

    void scanOut(pc::Picture& picture) override
    {
        sendHostWrites();
        const std::string file = process_.path("screen.ppm");
        guard([&] {
            gdb_.sync();
            qmp_.screendump(file);
        });
        if (!readPpm(file, picture))
            throw pc::MachineError("QEMU's screendump " + file + " is not a picture");
        std::remove(file.c_str());
        picture.bitsPerPixel = card_reading::readShownCard(*this, &picture).bitsPerPixel;
    }

    void setIoLog(std::function<void(const std::string&)> sink) override { ioLog_ = std::move(sink); }
    const std::string& biosLog() const override { return notes_; }
    std::vector<std::string> departuresMet() override
    {
        std::vector<std::string> met = departures_.met();
        if (config_.card == "stdvga" && (dispi(dispi::ENABLE) & dispi::ENABLE_ON)) {
            const std::string start = dispiStartDeparture(dispi(dispi::X_OFFSET), dispi(dispi::BPP));
            if (!start.empty())
                met.push_back(start);
        }
        return met;
    }

private:
    void start()
    {
        const QemuCard* card = std::find_if(std::begin(QEMU_CARDS), std::end(QEMU_CARDS),
                                            [&](const QemuCard& c) { return config_.card == c.card; });
        if (card == std::end(QEMU_CARDS) || (config_.card == "stdvga" && !config_.dispi))
            throw pc::MachineError("machine " + config_.name + ": QEMU has no card like " + config_.card +
                                   (config_.dispi ? "" : " without DISPI") + " (engine = qemu offers stdvga and cirrus)");
        if (config_.cardFault != pc::CardFault::None)
            throw pc::MachineError("machine " + config_.name + ": card_fault needs engine = virtual (QEMU's card is QEMU's)");
        if (config_.videoMemoryKb % 1024 != 0)
            throw pc::MachineError("machine " + config_.name + ": QEMU's cards take video memory in whole MB");
        writeBootSector();
        const std::string gdbSocket = process_.path("gdb"), qmpSocket = process_.path("qmp");
        mapRam();
        const std::vector<std::string> arguments = {
            "-nodefaults", "-machine", "pc,memory-backend=ram", "-m", std::to_string(RAM_MB),
            "-object", "memory-backend-file,id=ram,size=" + std::to_string(RAM_MB) + "M,mem-path=" + process_.path("ram") + ",share=on",
            "-display", "none", "-no-reboot", "-device",
            std::string(card->device) + ",romfile=" + config_.romPath +
                ",vgamem_mb=" + std::to_string(config_.videoMemoryKb / 1024) + ",addr=02.0",
            "-drive", "file=" + process_.path("boot.img") + ",format=raw,if=ide", "-boot", "c", "-S",
            "-gdb", "unix:" + gdbSocket + ",server=on,wait=off", "-qmp", "unix:" + qmpSocket + ",server=on,wait=off"};
        process_.start(config_.qemuBinary, arguments, "qemu-system-x86");
        try {
            connectBoth(gdbSocket, qmpSocket);
            bootToBootSector();
            installStubs();
            conventionalBytes_ = std::min<uint32_t>((memory_[0x413] | memory_[0x414] << 8) * 1024u, WINDOW_START);
            findFramebuffer();
        } catch (const LinkError& error) {
            fail(error.what());
        }
    }

    // QEMU will not go on: one line with what QEMU said last, and no QEMU left.
    [[noreturn]] void fail(const std::string& what)
    {
        const bool died = !process_.running();
        const std::string said = process_.lastErrorLine();
        process_.stop();
        std::string line = "QEMU (machine " + config_.name + ") ";
        line += died ? "ended" : what;
        if (!said.empty())
            line += ": " + said;
        else if (died)
            line += ": " + what;
        throw pc::MachineError(line);
    }

    template <typename Work>
    void guard(Work work)
    {
        try {
            work();
        } catch (const LinkError& error) {
            fail(error.what());
        }
    }

    // QEMU's RAM as a file we map too; QEMU maps the same file.
    void mapRam()
    {
        const std::string file = process_.path("ram");
        const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || ftruncate(fd, off_t{RAM_MB} << 20) != 0) {
            if (fd >= 0)
                close(fd);
            throw pc::MachineError("cannot make QEMU's memory file " + file);
        }
        void* block = mmap(nullptr, MEMORY_BYTES, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_32BIT, fd, 0);
        void* staging = mmap(nullptr, STAGING_BYTES, PROT_READ | PROT_WRITE, MAP_SHARED, fd, STAGING);
        void* list = mmap(nullptr, LIST_BYTES, PROT_READ | PROT_WRITE, MAP_SHARED, fd, LIST);
        close(fd);
        if (block != MAP_FAILED)
            ram_ = Mapping(static_cast<uint8_t*>(block), Unmap{MEMORY_BYTES});
        if (staging != MAP_FAILED)
            staging_ = Mapping(static_cast<uint8_t*>(staging), Unmap{STAGING_BYTES});
        if (list != MAP_FAILED)
            list_ = Mapping(static_cast<uint8_t*>(list), Unmap{LIST_BYTES});
        if (!ram_ || !staging_ || !list_)
            throw pc::MachineError("cannot map QEMU's memory below 4 GB");
        memory_ = ram_.get();
    }

    void writeBootSector()
    {
        std::vector<uint8_t> image(64 * 1024, 0);
        image[0] = 0xEB;  // jmp $: never run, the CPU stops before it
        image[1] = 0xFE;
        image[510] = 0x55;
        image[511] = 0xAA;
        std::ofstream file(process_.path("boot.img"), std::ios::binary);
        file.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
        if (!file)
            throw pc::MachineError("cannot write QEMU's boot disk in " + process_.folder());
    }

    void connectBoth(const std::string& gdbSocket, const std::string& qmpSocket)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(START_MS);
        while (!gdb_.socket().connected() || !qmp_.socket().connected()) {
            if (!process_.running())
                fail("ended");
            if (std::chrono::steady_clock::now() > deadline)
                fail("did not open its sockets within " + std::to_string(START_MS / 1000) + " s");
            if (!gdb_.socket().connected())
                gdb_.socket().connect(gdbSocket);
            if (!qmp_.socket().connected())
                qmp_.socket().connect(qmpSocket);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        qmp_.start();
        gdb_.ping();
        gdb_.usePhysicalMemory();
    }

    void bootToBootSector()
    {
        gdb_.setBreakpoint(BOOT_SECTOR);
        if (!gdb_.continueUntilStop(BOOT_MS))
            fail("did not reach the boot sector within " + std::to_string(BOOT_MS / 1000) + " s");
        const X86Registers r = gdb_.readRegisters();
        if (linear(r) != BOOT_SECTOR)
            fail("stopped at " + hex(r.r[X86Registers::CS], 4) + ":" + hex(r.r[X86Registers::EIP], 4) +
                 " instead of the boot sector");
        gdb_.clearBreakpoint(BOOT_SECTOR);
        gdb_.setBreakpoint(RETURN_STOP);
    }

    void installStubs()
    {
        const std::span<const uint8_t> code = guestCodeImage();
        gdb_.writeMemory(INT_STUB, code.data(), uint32_t(code.size()));
        intNumber_ = 0x10;  // as it is assembled
    }

    static uint32_t linear(const X86Registers& r)
    {
        return (r.r[X86Registers::CS] << 4) + (r.r[X86Registers::EIP] & 0xFFFF);
    }

    // Code and data for the CPU, written so that QEMU forgets what it translated there.
    void poke(uint32_t address, const uint8_t* bytes, uint32_t count)
    {
        guard([&] { gdb_.writeMemory(address, bytes, count); });
    }

    uint8_t* ramAt(uint32_t address)
    {
        return address < WINDOW_START || (address >= WINDOW_END && address < MEMORY_BYTES) ? memory_ + address
                                                                                             : nullptr;
    }

    bool inFramebuffer(uint32_t address) const
    {
        return address >= config_.lfbAddress && address - config_.lfbAddress < vram_.size();
    }

    // Writes the bytes of the video memory shadow that differ from the copy last exchanged,
    // run by run. While that copy is what the card holds, runs a few bytes apart go out as
    // one (the bytes between hold what the card holds already); once the card may have drawn
    // by itself (or will have, by the time the queued copies run), only the bytes the host
    // changed are written, so what the card drew survives.
    // They join the queue as copies from the staging area of QEMU's RAM, which we share, into
    // the card (where the gdbstub's hex packets carry 14 MB/s), after what is queued already;
    // a few, when nothing is queued, go with the gdbstub's next request instead.
    void pushVideoMemory()
    {
        uint8_t* shadow = vram_.data();
        // A queue that may draw by itself runs before these copies: then, as once the card has
        // drawn, only the bytes the host changed go.
        const bool cardMayDraw = videoMemoryStale_ || batchChangesVideoMemory_;
        const uint32_t bridge = cardMayDraw ? 0 : MAX_BRIDGED_GAP;
        const std::vector<pc::ByteRun> runs =
            pc::takeChangedRuns(shadow, vramSynced_.data(), uint32_t(vram_.size()), bridge);
        uint32_t changed = 0;
        for (const pc::ByteRun& run : runs)
            changed += run.end - run.at;
        if (changed < MIN_STAGED_PUSH && batch_.empty()) {
            for (const pc::ByteRun& run : runs)
                guard([&] { gdb_.writeMemory(config_.lfbAddress + run.at, shadow + run.at, run.end - run.at); });
            return;
        }
        for (pc::ByteRun run : runs) {
            while (run.at < run.end) {
                if (staged_ == STAGING_BYTES || !listHasRoom())
                    flushPortWrites();
                const uint32_t bytes = std::min(run.end - run.at, STAGING_BYTES - staged_);
                std::memcpy(staging_.get() + staged_, shadow + run.at, bytes);
                batch_.addCopy(STAGING + staged_, config_.lfbAddress + run.at, bytes);
                staged_ += bytes;
                run.at += bytes;
            }
        }
    }

    // What the host wrote, in its order: the writes posted or queued, then its drawing in the
    // video memory shadow, run by the PC now.
    void sendHostWrites()
    {
        flushPostedWrites();  // nothing is queued while writes are posted
        pushVideoMemory();
        flushPortWrites();
    }

    // Everything queued for the PC: the port and window writes, then the writes posted to
    // other physical addresses (the framebuffer while its shadow is stale). The two never
    // wait together: each kind sends the other's on before it queues.
    void flushWrites()
    {
        flushPortWrites();
        flushPostedWrites();
    }

    void flushPostedWrites()
    {
        if (pending_.empty())
            return;
        const uint32_t start = pendingStart_, count = uint32_t(pending_.size());
        guard([&] { gdb_.writeMemory(start, pending_.data(), count); });
        if (inFramebuffer(start) && inFramebuffer(start + count - 1)) {
            const uint32_t at = start - config_.lfbAddress;
            std::memcpy(vram_.data() + at, pending_.data(), count);
            std::memcpy(vramSynced_.data() + at, pending_.data(), count);
        } else {
            videoMemoryStale_ = true;  // the window reaches video memory
        }
        pending_.clear();
    }

    void pullVideoMemory()
    {
        const std::string file = process_.path("vram.bin");
        guard([&] {
            gdb_.sync();
            qmp_.savePhysicalMemory(config_.lfbAddress, uint32_t(vram_.size()), file);
        });
        if (!readFile(file, vram_.data(), vram_.size()))
            fail("saved no video memory at " + hex(config_.lfbAddress, 8) + "h");
        std::memcpy(vramSynced_.data(), vram_.data(), vram_.size());
        std::remove(file.c_str());
        videoMemoryStale_ = false;
    }

    // BAR 0 of the card at 00:02.0 is the framebuffer wherever SeaBIOS put it.
    void findFramebuffer()
    {
        const uint32_t address = pci::CONFIG_ADDRESS_ENABLE | uint32_t{pci::bdf(0, 2, 0)} << pci::CONFIG_ADDRESS_BDF_SHIFT |
                                 pci::BAR0;
        portOut(pci::CONFIG_ADDRESS_PORT, address, 4);
        const uint32_t bar = portIn(pci::CONFIG_DATA_PORT, 4);
        config_.lfbAddress = bar & pci::BAR_MEMORY_ADDRESS;
        vram_.assign(size_t(config_.videoMemoryKb) * 1024, 0);
        vramSynced_ = vram_;
        videoMemoryStale_ = true;
        if (config_.lfbAddress == 0)
            fail("shows no framebuffer in the card's BAR 0");
    }

    pc::CallResult call(uint16_t segment, uint16_t offset, pc::CpuRegs& regs, const std::string& what,
                        uint16_t pushed = 0, bool videoMemoryUsed = true)
    {
        if (videoMemoryUsed)
            sendHostWrites();
        else
            flushWrites();
        X86Registers r;
        r.r[X86Registers::EAX] = regs.ax;
        r.r[X86Registers::EBX] = regs.bx;
        r.r[X86Registers::ECX] = regs.cx;
        r.r[X86Registers::EDX] = regs.dx;
        r.r[X86Registers::ESI] = regs.si;
        r.r[X86Registers::EDI] = regs.di;
        r.r[X86Registers::EBP] = regs.bp;
        r.r[X86Registers::DS] = regs.ds;
        r.r[X86Registers::ES] = regs.es;
        r.r[X86Registers::SS] = STACK_SEGMENT;
        r.r[X86Registers::ESP] = STACK_TOP - pushed;
        r.r[X86Registers::CS] = segment;
        r.r[X86Registers::EIP] = offset;
        r.r[X86Registers::EFLAGS] = 0x0202u | (regs.flags & 1u);  // interrupts on, as for a program
        pc::CallResult result;
        bool returned = false;
        X86Registers after;
        std::memset(memory_ + REGISTERS_DONE, 0, 2);
        guard([&] {
            gdb_.writeRegisters(r);
            returned = gdb_.continueUntilStop(int(config_.callBudgetMs));
            // The stub leaves the registers in RAM on its way to the stop; anything else
            // (a call stopped from here, a stop elsewhere) asks the gdbstub where it is.
            if (returned && readWord(REGISTERS_DONE) == CALL_DONE)
                after = registersLeft();
            else
                after = gdb_.readRegisters();
        });
        gcIndex_ = bltStatus_ = -1;  // the call may have changed them
        flatSegments_ = false;
        departures_.forgetRegisters();
        const std::string at = hex(after.r[X86Registers::CS], 4) + ":" + hex(after.r[X86Registers::EIP] & 0xFFFF, 4);
        if (!returned) {
            result.error = "no return within " + std::to_string(config_.callBudgetMs) + " ms (stopped at " + at + ")";
        } else if (linear(after) != RETURN_STOP) {
            result.error = "stopped at " + at;
        } else {
            result.ok = true;
        }
        if (!result.ok) {
            const std::string note = "qemu: " + what + " failed: " + result.error;
            notes_ += note + "\n";
            std::fprintf(stderr, "%s\n", note.c_str());
        }
        regs.ax = uint16_t(after.r[X86Registers::EAX]);
        regs.bx = uint16_t(after.r[X86Registers::EBX]);
        regs.cx = uint16_t(after.r[X86Registers::ECX]);
        regs.dx = uint16_t(after.r[X86Registers::EDX]);
        regs.si = uint16_t(after.r[X86Registers::ESI]);
        regs.di = uint16_t(after.r[X86Registers::EDI]);
        regs.bp = uint16_t(after.r[X86Registers::EBP]);
        regs.ds = uint16_t(after.r[X86Registers::DS]);
        regs.es = uint16_t(after.r[X86Registers::ES]);
        regs.flags = uint16_t(after.r[X86Registers::EFLAGS]);
        return result;
    }

    uint16_t readWord(uint32_t at) const { return uint16_t(memory_[at] | memory_[at + 1] << 8); }

    X86Registers registersLeft() const
    {
        X86Registers r;
        const X86Registers::Index order[] = {X86Registers::EAX, X86Registers::EBX, X86Registers::ECX, X86Registers::EDX,
                                             X86Registers::ESI, X86Registers::EDI, X86Registers::EBP};
        for (size_t i = 0; i < std::size(order); ++i)
            std::memcpy(&r.r[order[i]], memory_ + REGISTERS + 4 * i, 4);
        r.r[X86Registers::DS] = readWord(REGISTERS + 28);
        r.r[X86Registers::ES] = readWord(REGISTERS + 30);
        r.r[X86Registers::EFLAGS] = readWord(REGISTERS + 32);
        r.r[X86Registers::EIP] = RETURN_STOP;
        return r;
    }

    uint16_t dispi(uint16_t index)
    {
        out16(dispi::INDEX_PORT, index);
        return in16(dispi::DATA_PORT);
    }

    // Mode sets that clear video memory: AH=00h without AL bit 7, 4F02h without BX bit 15.
    static bool clearsVideoMemory(uint16_t ax, uint16_t bx)
    {
        if ((ax >> 8) == 0x00)
            return !(ax & 0x80);
        return ax == 0x4F02 && !(bx & 0x8000);
    }

    // Video BIOS functions that may write video memory: every one but the VBE functions that
    // only report or move the display (4F00, 4F01, 4F03, 4F05-4F0B), which leave it alone.
    static bool mayChangeVideoMemory(uint16_t ax)
    {
        if ((ax >> 8) != 0x4F)
            return true;
        const uint8_t function = uint8_t(ax);
        return function == 0x02 || function == 0x04 || function > 0x0B;
    }

    // A read ends the queue: one round trip for it and the writes before it.
    uint32_t portIn(uint16_t port, unsigned bytes)
    {
        flushPostedWrites();
        queue([&] { batch_.addRead(port, bytes); }, false);
        const uint32_t raw = flushPortWrites();
        const uint32_t value = raw & (bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1);
        log("port read", port, bytes, value);
        return value;
    }

    // Port writes wait in a queue, in order, and run together as one piece of straight code
    // before anything else reaches the PC: a palette load costs one round trip, not three per
    // byte. A write that may start the card's own drawing goes with the queue at once, after
    // the host's drawing, and leaves the shadow stale.
    void portOut(uint16_t port, uint32_t value, unsigned bytes)
    {
        flushPostedWrites();
        log("port write", port, bytes, value);
        const bool engine = startsEngine(port, value, bytes);
        queue([&] { batch_.add(port, value, bytes); }, engine);
    }

    // Adds to the queue, sending it first when full. The host's drawing in the shadow reaches
    // the card before the first entry that may change video memory by itself (a window write,
    // an engine start) joins the queue, and the shadow is stale once that queue has run.
    template <class Add>
    void queue(Add&& add, bool changesVideoMemory)
    {
        if (!listHasRoom())
            flushPortWrites();
        if (changesVideoMemory && !batchChangesVideoMemory_) {
            pushVideoMemory();
            batchChangesVideoMemory_ = true;
        }
        add();
    }

    // Whether a port write may start a GD5446's BitBLT engine, which reads and writes video
    // memory: GR31 written with its start bit, or GR2Ah (the destination's top byte) while
    // GR31 asks for autostart. The graphics controller's index and GR31 are followed through
    // the host's writes; after a call, which may have changed them, any data write counts.
    bool startsEngine(uint16_t port, uint32_t value, unsigned bytes)
    {
        if (config_.card != "cirrus")
            return false;
        int data = -1;
        if (port == vga::gc::INDEX_PORT) {
            gcIndex_ = int(value & 0xFF);
            if (bytes == 1)
                return false;
            data = int(value >> 8);
        } else if (port == vga::gc::DATA_PORT && bytes == 1) {
            data = int(value & 0xFF);
        } else if (port != vga::gc::DATA_PORT) {
            return false;
        }
        if (gcIndex_ < 0 || data < 0)
            return true;
        departures_.graphicsWrite(uint8_t(gcIndex_ & 0x3F), uint8_t(data));
        switch (gcIndex_ & 0x3F) {
        case cirrus::gc::BLT_STATUS: {
            const bool starts = (data & cirrus::gc::BLT_STATUS_START) != 0;
            bltStatus_ = data;
            return starts;
        }
        case cirrus::gc::BLT_DST_ADDRESS + 2:
            return bltStatus_ < 0 || (bltStatus_ & cirrus::gc::BLT_STATUS_AUTOSTART);
        default:
            return false;
        }
    }

    bool listHasRoom() const { return batch_.listBytes() + IoBatch::MAX_GROWTH <= LIST_BYTES - LIST_OPERATIONS; }

    // Runs the queue as the runner's list, written into shared RAM; returns what a read at its
    // end read. The runner reports both where we look, so no registers are read back.
    uint32_t flushPortWrites()
    {
        if (batch_.empty())
            return 0;
        const bool readsBack = batch_.endsWithRead();
        const uint32_t sequence = ++listSequence_;
        const std::vector<uint8_t> list = batch_.operations(sequence);
        batch_.clear();
        staged_ = 0;
        if (batchChangesVideoMemory_)
            videoMemoryStale_ = true;
        batchChangesVideoMemory_ = false;
        std::memcpy(list_.get() + LIST_OPERATIONS, list.data(), list.size());
        X86Registers r;
        r.r[X86Registers::SS] = STACK_SEGMENT;
        r.r[X86Registers::ESP] = STACK_TOP;
        r.r[X86Registers::EIP] = flatSegments_ ? RUNNER : FLAT_RUNNER;
        r.r[X86Registers::EFLAGS] = 0x0002;  // interrupts off, strings upwards
        guard([&] {
            gdb_.writeRegisters(r);
            if (!gdb_.continueUntilStop(ANSWER_MS))
                throw LinkError("queued port writes did not come back");
        });
        if (listWord(LIST_SEQUENCE) != sequence) {
            X86Registers at;
            guard([&] { at = gdb_.readRegisters(); });
            fail("ran queued port writes only up to " + hex(at.r[X86Registers::CS], 4) + ":" +
                 hex(at.r[X86Registers::EIP] & 0xFFFF, 4));
        }
        flatSegments_ = true;
        return readsBack ? listWord(LIST_VALUE) : 0;
    }

    uint32_t listWord(uint32_t at) const
    {
        uint32_t word;
        std::memcpy(&word, list_.get() + at, sizeof word);
        return word;
    }

    void log(const char* what, uint16_t port, unsigned bytes, uint32_t value)
    {
        if (!ioLog_)
            return;
        const char* width = bytes == 1 ? "byte" : bytes == 2 ? "word" : "dword";
        char line[64];
        std::snprintf(line, sizeof line, "%s %04X %s %0*X", what, port, width, int(bytes * 2), value);
        ioLog_(line);
    }

    pc::MachineConfig config_;
    pc::Clock& clock_;
    std::function<void(const std::string&)> ioLog_;
    uint64_t serial_ = 0;
    QemuProcess process_;
    GdbRemote gdb_;
    Qmp qmp_;
    Mapping ram_;      // QEMU's RAM, shared: its first megabyte and the HMA
    Mapping staging_;  // QEMU's RAM from STAGING
    Mapping list_;     // QEMU's RAM from LIST
    uint8_t* memory_ = nullptr;            // ram_, as a plain pointer
    std::vector<uint8_t> vram_, vramSynced_;
    std::vector<uint8_t> pending_;  // posted writes outside RAM and the window, from pendingStart_
    IoBatch batch_;  // port writes waiting to run
    uint32_t staged_ = 0;         // bytes of the staging area the queue copies from
    uint32_t listSequence_ = 0;   // of the last list run
    bool flatSegments_ = false;   // DS and ES have the runner's flat limits
    CirrusDepartures departures_;  // on cirrus-vga: QEMU's departures the host's BitBLT operations met
    bool batchChangesVideoMemory_ = false;  // the queue holds a window write or an engine start
    int gcIndex_ = -1;    // the graphics controller's index as the host last set it; -1: unknown
    int bltStatus_ = -1;  // GR31 as the host last wrote it; -1: unknown
    uint32_t pendingStart_ = 0;
    bool videoMemoryStale_ = false;
    uint32_t conventionalBytes_ = WINDOW_START;
    int intNumber_ = -1;
    std::string notes_;
};

}  // namespace

std::unique_ptr<pc::Pc> bootQemu(const pc::MachineConfig& config, pc::Clock& clock,
                                 std::function<void(const std::string&)> ioLog)
{
    return std::make_unique<QemuPc>(config, clock, std::move(ioLog));
}

}  // namespace qemu_pc
