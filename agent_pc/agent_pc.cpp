// The PC behind the agent.
//
// Memory lives in the PC; the host holds shadows. memory() is the first megabyte and the HMA:
// before a call or a port access the bytes the host changed there (those that differ from the
// copy last exchanged) are written to the PC, and after it the agent names the 1 KB pages
// whose contents changed (it keeps a hash of each) and only those are read back. Video memory
// is a shadow too: pushed the same way, and read back after a call that may draw by comparing
// the agent's hash of each 4 KB piece with the hash of the host's copy. Port writes wait in a
// queue and run together as uploaded code.
#include "agent_pc/agent_pc.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "agent/expander.h"
#include "agent_link/agent_link.h"
#include "agent_pc/client.h"
#include "agent_pc/drawing_stream.h"
#include "agent_pc/read_back.h"
#include "card_reading/shown_card.h"
#include "hw/pci.h"
#include "pc/changed_runs.h"

namespace agent_pc {
namespace {

using agent_link::AgentError;
using agent_link::AgentRegs;
using agent_link::PAGE_BYTES;
using agent_link::PAGE_SHIFT;

constexpr uint32_t MEMORY_BYTES = agent_link::WATCHED_BYTES;
constexpr uint32_t WINDOW_START = 0xA0000, WINDOW_END = 0xC0000;
constexpr uint32_t VRAM_PIECE = 4096;
constexpr uint32_t BIOS_MEMORY_KB = 0x413;
constexpr uint8_t INT_OPCODE = 0xCD, RETF_OPCODE = 0xCB;  // the BIOS data area's conventional memory size (int 12h)
constexpr uint32_t MAX_BRIDGED_GAP = 64;  // unchanged bytes a push sends rather than start a new write
constexpr size_t MAX_POSTED = 4000;
constexpr uint16_t FLAGS_INTERRUPTS = 0x0202;  // a program's calls run with interrupts on
constexpr uint16_t FLAGS_QUIET = 0x0002;
constexpr int BOOT_MS = 60000;  // the BIOS boots the agent
constexpr size_t MIN_UPLOAD_ROOM = 64;  // a few queued port writes and the return
// What one write of a run costs beyond its bytes (address, frame, reply and the wait for it),
// in bytes of the line's time, for the drawing limit.
constexpr uint64_t WRITE_OVERHEAD_BYTES = 32;
// A piece of drawing sent to the expander costs the expander itself, an upload and a call.
constexpr uint64_t EXPAND_OVERHEAD_BYTES = 128;
// Drawing this large is worth reading the line length for (a few port reads), so that rows
// repeated from the line above go as copies.
constexpr uint64_t LINE_LENGTH_WORTH = 16384;
// The slowest guest CPU met (Bochs at a million instructions a second) expands this much in a
// millisecond at worst, which sets the expander's budget.
constexpr uint64_t EXPANDED_BYTES_PER_MS = 20;

std::string hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

class AgentPc final : public pc::Pc {
public:
    AgentPc(const pc::MachineConfig& config, pc::Clock& clock, std::function<void(const std::string&)> ioLog)
        : config_(config), clock_(clock), ioLog_(std::move(ioLog))
    {
        static uint64_t serials = 0;
        serial_ = ++serials | (uint64_t{3} << 62);
        if (config_.cardFault != pc::CardFault::None)
            throw pc::MachineError("machine " + config_.name + ": card_fault needs engine = virtual");
        void* block = mmap(nullptr, MEMORY_BYTES, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (block == MAP_FAILED)
            throw pc::MachineError("cannot map the PC's memory shadow below 4 GB");
        memory_ = static_cast<uint8_t*>(block);
        synced_.assign(MEMORY_BYTES, 0);
        if (config_.agentClient == "qemu")
            client_ = startQemuClient(config_);
        else if (config_.agentClient == "bochs")
            client_ = startBochsClient(config_);
        else if (config_.agentClient == "dosbox")
            client_ = startDosboxClient(config_);
        try {
            if (client_)
                link_ = std::make_unique<agent_link::AgentLink>(client_->connect(), int(config_.linkTimeoutMs));
            else
                link_ = std::make_unique<agent_link::AgentLink>(agent_link::openLink(config_.link), int(config_.linkTimeoutMs));
            if (client_)
                link_->setRescue([this] { client_->interruptCall(); });
            guard([&] { start(); });
        } catch (...) {
            if (client_)
                client_->stop();
            munmap(memory_, MEMORY_BYTES);
            throw;
        }
    }

    ~AgentPc() override
    {
        if (pc::hasCurrent() && &pc::current() == this)
            pc::setCurrent(nullptr);
        if (client_)
            client_->stop();
        munmap(memory_, MEMORY_BYTES);
    }

    const pc::MachineConfig& config() const override { return config_; }
    pc::Clock& clock() override { return clock_; }
    uint64_t serial() const override { return serial_; }
    uint8_t* memory() override { return memory_; }
    uint32_t memoryBytes() const override { return MEMORY_BYTES; }
    // As the BIOS's memory size (40:13h) says now: a resident program may take the top.
    uint32_t conventionalBytes() const override
    {
        return std::min<uint32_t>(conventionalBytes_, uint32_t(memory_[BIOS_MEMORY_KB] | memory_[BIOS_MEMORY_KB + 1] << 8) * 1024);
    }
    uint32_t freeConventionalStart() const override { return freeStart_; }

    pc::CallResult interrupt(uint8_t number, pc::CpuRegs& regs) override
    {
        const bool mayDraw = number == 0x10 && mayChangeVideoMemory(regs.ax);
        return call("INT " + hex(number, 2), regs, mayDraw, [&](const AgentRegs& in) {
            return link_->interrupt(number, in, int(config_.callBudgetMs));
        });
    }

    pc::CallResult farCall(uint16_t segment, uint16_t offset, pc::CpuRegs& regs) override
    {
        // A call to "int N; retf" in memory the host keeps is that interrupt, and may draw only
        // as it may; any other far call may (and 16 MB of video memory takes seconds to check).
        const uint32_t target = (uint32_t(segment) << 4) + offset;
        const uint8_t* code = ramAt(target) && ramAt(target + 2) ? memory_ + target : nullptr;
        const bool interruptStub = code != nullptr && code[0] == INT_OPCODE && code[2] == RETF_OPCODE;
        const bool mayDraw = !interruptStub || (code[1] == 0x10 && mayChangeVideoMemory(regs.ax));
        return call("call " + hex(segment, 4) + ":" + hex(offset, 4), regs, mayDraw, [&](const AgentRegs& in) {
            return link_->farCall(segment, offset, in, int(config_.callBudgetMs));
        });
    }

    uint8_t in8(uint16_t port) override { return uint8_t(portIn(port, 1)); }
    uint16_t in16(uint16_t port) override { return uint16_t(portIn(port, 2)); }
    void out8(uint16_t port, uint8_t value) override { portOut(port, value, 1); }
    void out16(uint16_t port, uint16_t value) override { portOut(port, value, 2); }

    uint8_t readPhys8(uint32_t address) override
    {
        if (uint8_t* shadow = ramAt(address))
            return *shadow;
        flushWrites();
        if (inFramebuffer(address)) {
            if (videoMemoryStale_)
                guard([&] { pullVideoMemory(); });
            return vram_[address - lfbAddress_];
        }
        guard([&] { pushVideoMemory(); });
        uint8_t value = 0;
        guard([&] { value = link_->read(address, 1)[0]; });
        return value;
    }

    void writePhys8(uint32_t address, uint8_t value) override
    {
        if (uint8_t* shadow = ramAt(address)) {
            *shadow = value;
            return;
        }
        if (inFramebuffer(address) && !videoMemoryStale_) {
            vram_[address - lfbAddress_] = value;
            return;
        }
        // Through the card, posted: consecutive bytes go out as one write at the next crossing.
        if (!posted_.empty() && address == postedStart_ + posted_.size() && posted_.size() < MAX_POSTED) {
            posted_.push_back(value);
            return;
        }
        flushWrites();
        guard([&] { pushVideoMemory(); });
        postedStart_ = address;
        posted_.push_back(value);
    }

    uint8_t* lfb() override
    {
        flushWrites();
        if (videoMemoryStale_)
            guard([&] {
                pushVideoMemory();
                pullVideoMemory();
            });
        return vram_.data();
    }
    uint32_t videoMemoryBytes() const override { return uint32_t(vram_.size()); }

    std::string finishDrawing() override
    {
        flushWrites();
        guard([&] { pushVideoMemory(); });
        std::string why = std::move(skipped_);
        skipped_.clear();
        drawingBytes_ = 0;
        return why;
    }

    void scanOut(pc::Picture& picture) override
    {
        flushWrites();
        guard([&] { pushVideoMemory(); });
        // The emulator's picture, unless its window does not show the mode the card is in
        // (an emulator that has not redrawn yet, or draws a mode at another size).
        if (client_ && client_->screendump(picture)) {
            const card_reading::ShownCard shown = card_reading::readShownCard(*this, &picture);
            if (!shown.extended || (shown.width == picture.width && shown.height == picture.height)) {
                picture.bitsPerPixel = shown.bitsPerPixel;
                picture.readBack = false;
                return;
            }
        }
        readBackPicture(*this, picture);
        picture.readBack = true;
    }

    void setIoLog(std::function<void(const std::string&)> sink) override { ioLog_ = std::move(sink); }
    const std::string& biosLog() const override { return notes_; }

private:
    void start()
    {
        // An emulator boots the agent first; an agent on a line is running already.
        const agent_link::PingRecord& agent = link_->hello(client_ ? BOOT_MS : int(config_.linkTimeoutMs));
        agentFirstPage_ = agent.agentFirst >> PAGE_SHIFT;
        agentLastPage_ = (agent.agentEnd - 1) >> PAGE_SHIFT;
        freeStart_ = (agentLastPage_ + 1) << PAGE_SHIFT;
        conventionalBytes_ = std::min<uint32_t>(uint32_t(agent.conventionalKb) * 1024u, WINDOW_START);
        if (freeStart_ >= conventionalBytes_)
            throw AgentError("the agent at " + link_->name() + " leaves no conventional memory free (it ends at " +
                             hex(agent.agentEnd, 5) + "h)");
        if (agent.uploadBytes < MIN_UPLOAD_ROOM)
            throw AgentError("the agent at " + link_->name() + " has room for only " +
                             std::to_string(agent.uploadBytes) + " bytes of uploaded code (at least " +
                             std::to_string(MIN_UPLOAD_ROOM) + " needed)");
        pullMemory();
        findFramebuffer();
        if (config_.drawingLimitMs != 0)
            measureLine();
    }

    // The line's speed from host to PC, which the drawing limit needs before the first drawing:
    // one write as large as a frame takes, of bytes the PC holds already (free conventional
    // memory as just read).
    void measureLine()
    {
        const uint32_t bytes = std::min<uint32_t>(link_->agent().maxPayload - 4u, conventionalBytes_ - freeStart_);
        link_->write(freeStart_, std::span<const uint8_t>(memory_ + freeStart_, bytes));
    }

    // Whether a test's drawing of `bytes` more goes over the line within the description's
    // limit, with what it sent already; when not, the test's drawing is skipped from here on and
    // skipped_ says why.
    bool drawingFits(uint64_t bytes)
    {
        if (!skipped_.empty())
            return false;
        const double perSecond = link_->hostToPcBytesPerSecond();
        if (config_.drawingLimitMs == 0 || perSecond <= 0)
            return true;
        const uint64_t total = drawingBytes_ + bytes;
        const double seconds = double(total) / perSecond;
        if (seconds * 1000.0 <= double(config_.drawingLimitMs)) {
            drawingBytes_ = total;
            return true;
        }
        char why[256];
        std::snprintf(why, sizeof why,
                      "its drawing, %llu bytes, would take %.1f s over %s at %.1f kB/s, past drawing_limit_ms = %u",
                      static_cast<unsigned long long>(total), seconds, link_->name().c_str(), perSecond / 1000.0,
                      config_.drawingLimitMs);
        skipped_ = why;
        return false;
    }

    // A failure of the link or the agent, as one line; with a client, what it said last.
    template <typename Work>
    void guard(Work work)
    {
        if (!broken_.empty())
            throw pc::MachineError(broken_);
        try {
            work();
        } catch (const AgentError& error) {
            broken_ = client_ ? client_->explain(error.what()) : std::string(error.what());
            if (client_)
                client_->stop();
            throw pc::MachineError(broken_);
        }
    }

    bool watchedPage(uint32_t page) const
    {
        if (page >= MEMORY_BYTES >> PAGE_SHIFT)
            return false;
        if (page >= (WINDOW_START >> PAGE_SHIFT) && page < (WINDOW_END >> PAGE_SHIFT))
            return false;
        return page < agentFirstPage_ || page > agentLastPage_;
    }

    uint8_t* ramAt(uint32_t address)
    {
        return address < MEMORY_BYTES && watchedPage(address >> PAGE_SHIFT) ? memory_ + address : nullptr;
    }

    bool inFramebuffer(uint32_t address) const
    {
        return lfbAddress_ != 0 && address >= lfbAddress_ && address - lfbAddress_ < vram_.size();
    }

    // The host's changes to memory, as one write per page that has any.
    void pushMemory()
    {
        for (uint32_t page = 0; page < MEMORY_BYTES >> PAGE_SHIFT; ++page) {
            if (!watchedPage(page))
                continue;
            const uint32_t base = page << PAGE_SHIFT;
            if (std::memcmp(memory_ + base, synced_.data() + base, PAGE_BYTES) == 0)
                continue;
            uint32_t first = 0, last = PAGE_BYTES - 1;
            while (memory_[base + first] == synced_[base + first])
                ++first;
            while (memory_[base + last] == synced_[base + last])
                --last;
            const uint32_t count = last - first + 1;
            link_->write(base + first, std::span<const uint8_t>(memory_ + base + first, count));
            std::memcpy(synced_.data() + base + first, memory_ + base + first, count);
            // Upper memory may be ROM or an empty bus that drops writes: the shadow shows what stayed.
            if (base >= WINDOW_END) {
                const std::vector<uint8_t> kept = link_->read(base + first, count);
                std::memcpy(memory_ + base + first, kept.data(), count);
                std::memcpy(synced_.data() + base + first, kept.data(), count);
            }
        }
    }

    // The pages the PC changed, read back in runs.
    void pullMemory()
    {
        std::vector<uint16_t> pages = link_->changedPages();
        std::sort(pages.begin(), pages.end());
        for (size_t i = 0; i < pages.size();) {
            size_t j = i + 1;
            while (j < pages.size() && pages[j] == pages[j - 1] + 1 && j - i < 4)
                ++j;
            const uint32_t base = uint32_t(pages[i]) << PAGE_SHIFT;
            const uint32_t count = uint32_t(j - i) * PAGE_BYTES;
            if (base + count > MEMORY_BYTES)
                throw AgentError("the agent at " + link_->name() + " named page " + std::to_string(pages[i]) +
                                 ", beyond the first megabyte and the HMA");
            const std::vector<uint8_t> bytes = link_->read(base, count);
            std::memcpy(memory_ + base, bytes.data(), count);
            std::memcpy(synced_.data() + base, bytes.data(), count);
            i = j;
        }
    }

    // Writes the bytes of the video memory shadow that differ from the copy last exchanged;
    // while that copy is what the card holds, runs a few bytes apart go out as one. Drawing past
    // the limit is not sent: the shadow is put back to that copy.
    void pushVideoMemory()
    {
        uint8_t* shadow = vram_.data();
        const uint32_t bridge = videoMemoryStale_ ? 0 : MAX_BRIDGED_GAP;
        const std::vector<pc::ByteRun> runs =
            pc::findChangedRuns(shadow, vramSynced_.data(), uint32_t(vram_.size()), bridge);
        if (runs.empty())
            return;
        uint64_t bytes = 0;
        for (const pc::ByteRun& run : runs)
            bytes += run.end - run.at + WRITE_OVERHEAD_BYTES;
        if (!skipped_.empty()) {
            putBack(runs);
            return;
        }
        // Sent as a stream for the expander in the guest, where that is shorter than the bytes.
        std::vector<StreamPiece> pieces;
        uint64_t packed = UINT64_MAX;
        const size_t routine = agent::expander().size();
        const size_t area = std::min<size_t>(link_->agent().uploadBytes, link_->agent().maxPayload - 2u);
        if (bytes >= EXPAND_OVERHEAD_BYTES * 2 && area > routine + 256) {
            // Copies read what video memory holds: only while the host's copy is that.
            std::vector<uint32_t> distances;
            if (!videoMemoryStale_)
                distances = copyDistancesFor(bytes >= LINE_LENGTH_WORTH ? lineLength() : 0);
            pieces = encodeDrawing(shadow, runs, distances, area - routine);
            packed = 0;
            for (const StreamPiece& piece : pieces)
                packed += piece.bytes.size() + routine + EXPAND_OVERHEAD_BYTES;
        }
        const bool expand = packed < bytes;
        if (!drawingFits(expand ? packed : bytes)) {
            putBack(runs);
            return;
        }
        sentRaw_ += bytes;
        if (expand) {
            sendExpanded(pieces);
            sentPacked_ += packed;
        } else {
            for (const pc::ByteRun& run : runs)
                link_->write(lfbAddress_ + run.at, std::span<const uint8_t>(shadow + run.at, run.end - run.at));
            sentPacked_ += bytes;
        }
        for (const pc::ByteRun& run : runs)
            std::memcpy(vramSynced_.data() + run.at, shadow + run.at, run.end - run.at);
    }

    // The shadow over drawing that is not sent, as the card holds it.
    void putBack(const std::vector<pc::ByteRun>& runs)
    {
        for (const pc::ByteRun& run : runs)
            std::memcpy(vram_.data() + run.at, vramSynced_.data() + run.at, run.end - run.at);
    }

    // Each piece uploaded behind the expander and run there.
    void sendExpanded(const std::vector<StreamPiece>& pieces)
    {
        const std::span<const uint8_t> routine = agent::expander();
        for (const StreamPiece& piece : pieces) {
            std::vector<uint8_t> code(routine.begin(), routine.end());
            code.insert(code.end(), piece.bytes.begin(), piece.bytes.end());
            link_->upload(0, code);
            AgentRegs regs;
            regs.edi = lfbAddress_ + piece.at;
            regs.esi = uint32_t(routine.size());
            regs.flags = FLAGS_INTERRUPTS;
            const uint64_t budget = config_.callBudgetMs + piece.expanded / EXPANDED_BYTES_PER_MS;
            const agent_link::CallOutcome outcome = link_->run(0, regs, int(std::min<uint64_t>(budget, 3600000)));
            if (outcome.stopped)
                throw AgentError("the agent at " + link_->name() + " did not finish writing drawing to video memory within " +
                                 std::to_string(budget) + " ms (stopped at " + hex(outcome.cs, 4) + ":" +
                                 hex(outcome.ip, 4) + ")");
        }
    }

    // The bytes of a line of the mode the card shows, 0 in a mode that is not packed pixels.
    // Not on a GD5446: its graphics-controller writes may start the BitBLT engine, so they
    // push the host's drawing first, which is what is being sent now.
    uint32_t lineLength()
    {
        if (config_.card == "cirrus")
            return 0;
        const card_reading::ShownCard shown = card_reading::readShownCard(*this);
        return shown.graphics && shown.bitsPerPixel >= 8 ? uint32_t(shown.lineBytes) : 0;
    }

    // The pieces of video memory whose hash in the card differs from the host's copy. A piece
    // that hashes as zeros do is taken as zeros without reading it (a mode set clears them), and
    // one that hashes as FFh bytes do as FFh bytes (Bochs's framebuffer reads so outside its
    // packed-pixel modes, as an empty bus does).
    void pullVideoMemory()
    {
        static const uint32_t onesHash = [] {
            const std::vector<uint8_t> ones(VRAM_PIECE, 0xFF);
            return agent_link::pageHash(ones.data(), VRAM_PIECE);
        }();
        auto filled = [&](uint32_t hash) { return hash == 0 || hash == onesHash; };
        const uint32_t pieces = uint32_t(vram_.size() / VRAM_PIECE);
        const std::vector<uint32_t> hashes = link_->hashes(lfbAddress_, VRAM_PIECE, pieces);
        for (uint32_t i = 0; i < pieces;) {
            const uint32_t at = i * VRAM_PIECE;
            if (hashes[i] == agent_link::pageHash(vramSynced_.data() + at, VRAM_PIECE)) {
                ++i;
                continue;
            }
            if (filled(hashes[i])) {
                std::memset(vramSynced_.data() + at, hashes[i] == 0 ? 0 : 0xFF, VRAM_PIECE);
                ++i;
                continue;
            }
            uint32_t run = 1;
            while (i + run < pieces && run < 16 && !filled(hashes[i + run]) &&
                   hashes[i + run] != agent_link::pageHash(vramSynced_.data() + at + run * VRAM_PIECE, VRAM_PIECE))
                ++run;
            const std::vector<uint8_t> bytes = link_->read(lfbAddress_ + at, run * VRAM_PIECE);
            std::memcpy(vramSynced_.data() + at, bytes.data(), bytes.size());
            i += run;
        }
        std::memcpy(vram_.data(), vramSynced_.data(), vram_.size());
        videoMemoryStale_ = false;
    }

    // The display controller's BAR 0 on bus 0 is the framebuffer, wherever the BIOS put it;
    // without one the description's lfb address stands.
    void findFramebuffer()
    {
        lfbAddress_ = config_.lfbAddress;
        for (uint32_t device = 0; device < 32; ++device) {
            const uint32_t base = pci::CONFIG_ADDRESS_ENABLE | uint32_t{pci::bdf(0, uint8_t(device), 0)}
                                                                   << pci::CONFIG_ADDRESS_BDF_SHIFT;
            link_->out(pci::CONFIG_ADDRESS_PORT, 4, base | pci::VENDOR_ID);
            if ((link_->in(pci::CONFIG_DATA_PORT, 4) & 0xFFFF) == 0xFFFF)
                continue;
            link_->out(pci::CONFIG_ADDRESS_PORT, 4, base | pci::REVISION_ID);
            if ((link_->in(pci::CONFIG_DATA_PORT, 4) >> 8) != pci::CLASS_DISPLAY_VGA)
                continue;
            link_->out(pci::CONFIG_ADDRESS_PORT, 4, base | pci::BAR0);
            const uint32_t bar = link_->in(pci::CONFIG_DATA_PORT, 4);
            if ((bar & pci::BAR_IO) == 0 && (bar & pci::BAR_MEMORY_ADDRESS) != 0)
                lfbAddress_ = bar & pci::BAR_MEMORY_ADDRESS;
            break;
        }
        config_.lfbAddress = lfbAddress_;
        vram_.assign(size_t(config_.videoMemoryKb) * 1024, 0);
        vramSynced_ = vram_;
        videoMemoryStale_ = true;
    }

    template <typename Run>
    pc::CallResult call(const std::string& what, pc::CpuRegs& regs, bool mayDraw, Run run)
    {
        flushWrites();
        AgentRegs in;
        in.eax = regs.ax;
        in.ebx = regs.bx;
        in.ecx = regs.cx;
        in.edx = regs.dx;
        in.esi = regs.si;
        in.edi = regs.di;
        in.ebp = regs.bp;
        in.ds = regs.ds;
        in.es = regs.es;
        in.flags = uint16_t(FLAGS_INTERRUPTS | (regs.flags & 1u));
        agent_link::CallOutcome outcome;
        guard([&] {
            pushMemory();
            pushVideoMemory();
            outcome = run(in);
            pullMemory();
            if (mayDraw) {
                videoMemoryStale_ = true;
                pullVideoMemory();
            }
        });
        pc::CallResult result;
        result.ok = !outcome.stopped;
        if (outcome.stopped) {
            result.error = "no return within " + std::to_string(config_.callBudgetMs) + " ms (stopped at " +
                           hex(outcome.cs, 4) + ":" + hex(outcome.ip, 4) + ")";
            const std::string note = "agent: " + what + " failed: " + result.error;
            notes_ += note + "\n";
            std::fprintf(stderr, "%s\n", note.c_str());
        }
        const AgentRegs& out = outcome.regs;
        regs.ax = uint16_t(out.eax);
        regs.bx = uint16_t(out.ebx);
        regs.cx = uint16_t(out.ecx);
        regs.dx = uint16_t(out.edx);
        regs.si = uint16_t(out.esi);
        regs.di = uint16_t(out.edi);
        regs.bp = uint16_t(out.ebp);
        regs.ds = out.ds;
        regs.es = out.es;
        regs.flags = out.flags;
        return result;
    }

    // Video BIOS functions that may write video memory: every one but the VBE functions that
    // only report or move the display (4F00, 4F01, 4F03, 4F05-4F0B).
    static bool mayChangeVideoMemory(uint16_t ax)
    {
        if ((ax >> 8) != 0x4F)
            return true;
        const uint8_t function = uint8_t(ax);
        return function == 0x02 || function == 0x04 || function > 0x0B;
    }

    uint32_t portIn(uint16_t port, unsigned bytes)
    {
        flushWrites();
        uint32_t value = 0;
        guard([&] { value = link_->in(port, bytes); });
        log("port read", port, bytes, value);
        return value;
    }

    // Port writes wait as code (mov dx; mov al/ax; out) and run together as one upload.
    void portOut(uint16_t port, uint32_t value, unsigned bytes)
    {
        flushWindowWrites();
        log("port write", port, bytes, value);
        // A GD5446 may start its BitBLT engine on a graphics-controller write: the host's
        // drawing goes first, and the shadow is stale after.
        const bool engine = config_.card == "cirrus" && (port == 0x3CE || port == 0x3CF);
        if (engine) {
            flushPortWrites();
            guard([&] {
                pushVideoMemory();
                link_->out(port, bytes, value);
            });
            videoMemoryStale_ = true;
            return;
        }
        uint8_t code[7] = {0xBA, uint8_t(port), uint8_t(port >> 8)};  // mov dx, port
        size_t length = 3;
        if (bytes == 1) {
            code[length++] = 0xB0;  // mov al, value; out dx, al
            code[length++] = uint8_t(value);
            code[length++] = 0xEE;
        } else {
            code[length++] = 0xB8;  // mov ax, value; out dx, ax
            code[length++] = uint8_t(value);
            code[length++] = uint8_t(value >> 8);
            code[length++] = 0xEF;
        }
        if (queuedPortCode_.size() + length + 1 > link_->agent().uploadBytes)
            flushPortWrites();
        queuedPortCode_.insert(queuedPortCode_.end(), code, code + length);
        lastQueued_ = {port, value, bytes};
        ++queuedPortWrites_;
    }

    void flushWrites()
    {
        flushPortWrites();
        flushWindowWrites();
    }

    void flushPortWrites()
    {
        if (queuedPortCode_.empty())
            return;
        std::vector<uint8_t> code = std::move(queuedPortCode_);
        queuedPortCode_.clear();
        const unsigned writes = queuedPortWrites_;
        queuedPortWrites_ = 0;
        guard([&] {
            if (writes == 1) {
                link_->out(lastQueued_.port, lastQueued_.bytes, lastQueued_.value);
                return;
            }
            code.push_back(0xCB);  // retf
            link_->upload(0, code);
            AgentRegs quiet;
            quiet.flags = FLAGS_QUIET;
            if (link_->run(0, quiet, int(config_.callBudgetMs)).stopped)
                throw AgentError("the agent at " + link_->name() + " did not come back from queued port writes");
        });
    }

    void flushWindowWrites()
    {
        if (posted_.empty())
            return;
        const uint32_t start = postedStart_;
        const std::vector<uint8_t> bytes = std::move(posted_);
        posted_.clear();
        // Drawing past the limit never reaches the card; the card is read through the window.
        if (!drawingFits(bytes.size() + WRITE_OVERHEAD_BYTES))
            return;
        guard([&] { link_->write(start, bytes); });
        if (inFramebuffer(start) && inFramebuffer(start + uint32_t(bytes.size()) - 1)) {
            const uint32_t at = start - lfbAddress_;
            std::memcpy(vram_.data() + at, bytes.data(), bytes.size());
            std::memcpy(vramSynced_.data() + at, bytes.data(), bytes.size());
        } else {
            videoMemoryStale_ = true;  // the window reaches video memory
        }
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

    struct QueuedWrite {
        uint16_t port = 0;
        uint32_t value = 0;
        unsigned bytes = 0;
    };

    pc::MachineConfig config_;
    pc::Clock& clock_;
    std::function<void(const std::string&)> ioLog_;
    uint64_t serial_ = 0;
    std::unique_ptr<Client> client_;
    std::unique_ptr<agent_link::AgentLink> link_;
    uint8_t* memory_ = nullptr;  // the shadow of the first megabyte and the HMA, below 4 GB
    std::vector<uint8_t> synced_;
    std::vector<uint8_t> vram_, vramSynced_;
    uint32_t lfbAddress_ = 0;
    bool videoMemoryStale_ = true;
    uint32_t agentFirstPage_ = 0, agentLastPage_ = 0;
    uint32_t freeStart_ = 0;
    uint32_t conventionalBytes_ = WINDOW_START;
    std::vector<uint8_t> posted_;
    uint32_t postedStart_ = 0;
    std::vector<uint8_t> queuedPortCode_;
    unsigned queuedPortWrites_ = 0;
    QueuedWrite lastQueued_;
    std::string broken_;  // the line the PC failed with: nothing more reaches it
    uint64_t drawingBytes_ = 0;  // what the test drawing now has sent of video memory
    std::string skipped_;        // why the rest of that test's drawing is not sent
    uint64_t sentRaw_ = 0, sentPacked_ = 0;  // video memory pushed: its bytes, and what the line carried
    std::string notes_;
};

}  // namespace

std::unique_ptr<pc::Pc> bootAgentPc(const pc::MachineConfig& config, pc::Clock& clock,
                                    std::function<void(const std::string&)> ioLog)
{
    return std::make_unique<AgentPc>(config, clock, std::move(ioLog));
}

}  // namespace agent_pc
