// A client of Palisade's agent: each command a numbered frame, sent again when its reply is
// lost or damaged, until the link's time limit runs out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "agent_link/byte_link.h"
#include "agent_link/protocol.h"

namespace agent_link {

// The agent cannot be used: the message is one line that names the link and what went wrong.
struct AgentError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What a call left: its registers, or where the timer found it past its budget.
struct CallOutcome {
    AgentRegs regs;
    bool stopped = false;  // did not return within its budget (regs are those it was called with)
    uint16_t cs = 0, ip = 0;
};

class AgentLink {
public:
    // `answerMs`: the longest any command may go unanswered, all its tries together (a call
    // gets its own budget on top).
    AgentLink(std::unique_ptr<ByteLink> link, int answerMs);

    // Pings until the agent answers (it may still be booting), at most `timeoutMs`. Refuses an
    // agent of another protocol version or one that is no agent at all.
    const PingRecord& hello(int timeoutMs);
    const PingRecord& agent() const { return agent_; }

    std::vector<uint8_t> read(uint32_t address, uint32_t count);
    void write(uint32_t address, std::span<const uint8_t> bytes);
    uint32_t in(uint16_t port, unsigned width);
    void out(uint16_t port, unsigned width, uint32_t value);
    CallOutcome interrupt(uint8_t number, const AgentRegs& regs, int budgetMs);
    CallOutcome farCall(uint16_t segment, uint16_t offset, const AgentRegs& regs, int budgetMs);
    // Code into the agent's upload area at `offset`, and a far call to it.
    void upload(uint16_t offset, std::span<const uint8_t> code);
    CallOutcome run(uint16_t offset, const AgentRegs& regs, int budgetMs);
    // The agent's hash (pageHash) of `count` pieces of `pieceBytes` from `address`.
    std::vector<uint32_t> hashes(uint32_t address, uint32_t pieceBytes, uint32_t count);
    // The watched pages whose contents changed since the agent last looked or the host wrote them.
    std::vector<uint16_t> changedPages();
    void quit();
    // What to do once when a call's reply is overdue, before asking again: an emulator can
    // interrupt the guest (an NMI) to end a call that runs with interrupts off.
    void setRescue(std::function<void()> rescue) { rescue_ = std::move(rescue); }

    std::string name() const { return link_->name(); }
    uint64_t resent() const { return resent_; }          // commands sent again
    // Bytes a second the line has carried from host to PC, measured on the writes of at least
    // a kilobyte so far (each with its frame and reply, as drawing is sent); 0 before any.
    double hostToPcBytesPerSecond() const;
    uint64_t damagedFrames() const { return reader_.damagedFrames(); }

private:
    std::vector<uint8_t> transact(uint8_t type, const std::vector<uint8_t>& payload, int extraMs = 0,
                                  size_t replyBytes = 64);
    CallOutcome call(uint8_t type, std::vector<uint8_t> payload, const AgentRegs& regs, int budgetMs);
    [[noreturn]] void fail(const std::string& what) const;

    std::unique_ptr<ByteLink> link_;
    int answerMs_;
    FrameReader reader_;
    PingRecord agent_;
    uint8_t sequence_ = 0;
    uint64_t resent_ = 0;
    bool silent_ = false;  // the last command that failed heard nothing at all
    uint64_t measuredBytes_ = 0, measuredMicros_ = 0;  // the writes the line's speed is taken from
    std::function<void()> rescue_;
};

}  // namespace agent_link
