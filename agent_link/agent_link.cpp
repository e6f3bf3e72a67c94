// The agent's commands over a byte link, with numbered frames sent again until answered.
#include "agent_link/agent_link.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "pc/little_endian.h"

namespace agent_link {
namespace {

using pc::putLe16;
using pc::putLe32;

constexpr int ATTEMPTS = 4;          // a command's tries share its time limit
constexpr int HELLO_ATTEMPT_MS = 250;
constexpr int MAX_CATCHING_UP = 8;   // late answers that may each keep a try waiting
constexpr size_t MEASURED_WRITE = 1024;  // smaller writes say more about the round trip than the line

using Clock = std::chrono::steady_clock;

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

}  // namespace

AgentLink::AgentLink(std::unique_ptr<ByteLink> link, int answerMs) : link_(std::move(link)), answerMs_(answerMs)
{
    agent_.maxPayload = 256;  // until the agent says
}

void AgentLink::fail(const std::string& what) const
{
    throw AgentError("the agent at " + link_->name() + " " + what);
}

std::vector<uint8_t> AgentLink::transact(uint8_t type, const std::vector<uint8_t>& payload, int extraMs,
                                         size_t replyBytes)
{
    const uint8_t sequence = ++sequence_;
    const std::vector<uint8_t> frame = encodeFrame(Frame{PROTOCOL_VERSION, type, sequence, payload});
    // Each try waits for its share of the limit, and never less than the bytes take on the line.
    const double lineMs = link_->microsPerByte() * double(frame.size() + replyBytes + FRAME_OVERHEAD) / 1000.0;
    const int attemptMs = std::max(answerMs_ / ATTEMPTS, 1) + int(lineMs) + extraMs;
    size_t bytesSeen = 0;
    int catchingUp = 0;
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        if (attempt > 0)
            ++resent_;
        if (attempt == 1 && extraMs > 0 && rescue_)
            rescue_();
        if (!link_->send(frame))
            fail("closed the link");
        auto deadline = Clock::now() + std::chrono::milliseconds(attemptMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                break;
            const std::vector<uint8_t> bytes = link_->receive(int(left));
            if (bytes.empty()) {
                if (link_->closed())
                    fail("closed the link");
                continue;
            }
            bytesSeen += bytes.size();
            reader_.feed(bytes);
            while (std::optional<Frame> reply = reader_.next()) {
                if (reply->version != PROTOCOL_VERSION)
                    fail("speaks protocol version " + std::to_string(reply->version) + ", this Palisade version " +
                         std::to_string(PROTOCOL_VERSION) + ": start the agent built with this Palisade");
                if (reply->sequence != sequence) {
                    // A late answer to an earlier try: the agent is alive and catching up on
                    // the copies it was sent, so this try waits on (a little while).
                    if (catchingUp++ < MAX_CATCHING_UP)
                        deadline = Clock::now() + std::chrono::milliseconds(attemptMs);
                    continue;
                }
                if (reply->type == TYPE_ERROR) {
                    const int code = reply->payload.empty() ? 0 : reply->payload[0];
                    switch (code) {
                    case ERR_NO_ROOM:
                        fail("has no room for the uploaded code (its upload area holds " +
                             std::to_string(agent_.uploadBytes) + " bytes)");
                    case ERR_PROTECTED:
                        fail("runs in virtual 8086 mode (a memory manager such as EMM386 is loaded) and cannot "
                             "reach memory: start DOS without one");
                    case ERR_VERSION:
                        fail("refuses protocol version " + std::to_string(PROTOCOL_VERSION) +
                             ": start the agent built with this Palisade");
                    default:
                        fail("refused command " + std::to_string(type) + " (error " + std::to_string(code) +
                             "): agent and Palisade are not from the same build");
                    }
                }
                if (reply->type != (type | REPLY_BIT))
                    fail("answered command " + std::to_string(type) + " with a reply of type " +
                         std::to_string(reply->type));
                return std::move(reply->payload);
            }
        }
    }
    silent_ = bytesSeen == 0;
    const double seconds = double(attemptMs) * ATTEMPTS / 1000.0;
    char limit[32];
    std::snprintf(limit, sizeof limit, "%.1f s", seconds);
    if (bytesSeen > 0)
        fail("answers garbage: " + std::to_string(bytesSeen) + " bytes in " + limit + " and no good frame");
    fail(std::string("does not answer (nothing within ") + limit + ")");
}

const PingRecord& AgentLink::hello(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const int savedAnswerMs = answerMs_;
    answerMs_ = HELLO_ATTEMPT_MS * ATTEMPTS;
    for (;;) {
        try {
            silent_ = false;
            const std::vector<uint8_t> reply = transact(CMD_PING, {}, 0, PING_BYTES);
            const std::optional<PingRecord> record = parsePing(reply);
            if (!record || record->magic != AGENT_MAGIC)
                fail("answers, but not as Palisade's agent");
            if (record->version != PROTOCOL_VERSION)
                fail("is version " + std::to_string(record->version) + ", this Palisade speaks " +
                     std::to_string(PROTOCOL_VERSION) + ": start the agent built with this Palisade");
            agent_ = *record;
            answerMs_ = savedAnswerMs;
            return agent_;
        } catch (const AgentError&) {
            // Silence may be an agent still booting; anything else it says is final.
            if (!silent_ || Clock::now() >= deadline || link_->closed())
                throw;
        }
    }
}

std::vector<uint8_t> AgentLink::read(uint32_t address, uint32_t count)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(count);
    while (count > 0) {
        const uint32_t piece = std::min<uint32_t>(count, agent_.maxPayload);
        std::vector<uint8_t> payload;
        putLe32(payload, address);
        putLe16(payload, piece);
        const std::vector<uint8_t> reply = transact(CMD_READ, payload, 0, piece);
        if (reply.size() != piece)
            fail("sent " + std::to_string(reply.size()) + " bytes for " + std::to_string(piece) + " at " + hex(address) + "h");
        bytes.insert(bytes.end(), reply.begin(), reply.end());
        address += piece;
        count -= piece;
    }
    return bytes;
}

void AgentLink::write(uint32_t address, std::span<const uint8_t> bytes)
{
    while (!bytes.empty()) {
        const size_t piece = std::min<size_t>(bytes.size(), agent_.maxPayload - 4u);
        std::vector<uint8_t> payload;
        payload.reserve(piece + 4);
        putLe32(payload, address);
        payload.insert(payload.end(), bytes.begin(), bytes.begin() + std::ptrdiff_t(piece));
        const auto start = Clock::now();
        transact(CMD_WRITE, payload);
        if (piece >= MEASURED_WRITE) {
            measuredBytes_ += piece;
            measuredMicros_ += uint64_t(
                std::max<int64_t>(1, std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count()));
        }
        address += uint32_t(piece);
        bytes = bytes.subspan(piece);
    }
}

uint32_t AgentLink::in(uint16_t port, unsigned width)
{
    std::vector<uint8_t> payload;
    putLe16(payload, port);
    payload.push_back(uint8_t(width));
    const std::vector<uint8_t> reply = transact(CMD_IN, payload);
    if (reply.size() != 4)
        fail("sent a port read of " + std::to_string(reply.size()) + " bytes");
    return uint32_t(reply[0]) | uint32_t(reply[1]) << 8 | uint32_t(reply[2]) << 16 | uint32_t(reply[3]) << 24;
}

void AgentLink::out(uint16_t port, unsigned width, uint32_t value)
{
    std::vector<uint8_t> payload;
    putLe16(payload, port);
    payload.push_back(uint8_t(width));
    putLe32(payload, value);
    transact(CMD_OUT, payload);
}

CallOutcome AgentLink::call(uint8_t type, std::vector<uint8_t> payload, const AgentRegs& regs, int budgetMs)
{
    // The agent's timer counts whole ticks, and the first may come at once.
    const uint32_t ticks = std::min<uint32_t>(uint32_t(uint64_t(budgetMs) * 1000 / TICK_MICROS) + 2, 0xFFFF);
    putLe16(payload, ticks);
    putRegs(payload, regs);
    const std::vector<uint8_t> reply =
        transact(type, payload, int(ticks * TICK_MICROS / 1000), REGS_BYTES + OUTCOME_BYTES);
    if (reply.size() != REGS_BYTES + OUTCOME_BYTES)
        fail("sent a call's outcome of " + std::to_string(reply.size()) + " bytes");
    CallOutcome outcome;
    outcome.regs = getRegs(reply);
    const uint8_t* after = reply.data() + REGS_BYTES;
    outcome.stopped = after[0] != 0;
    outcome.ip = uint16_t(after[2] | after[3] << 8);
    outcome.cs = uint16_t(after[4] | after[5] << 8);
    return outcome;
}

CallOutcome AgentLink::interrupt(uint8_t number, const AgentRegs& regs, int budgetMs)
{
    return call(CMD_INT, {number, 0}, regs, budgetMs);
}

CallOutcome AgentLink::farCall(uint16_t segment, uint16_t offset, const AgentRegs& regs, int budgetMs)
{
    std::vector<uint8_t> payload;
    putLe16(payload, offset);
    putLe16(payload, segment);
    return call(CMD_CALL, std::move(payload), regs, budgetMs);
}

void AgentLink::upload(uint16_t offset, std::span<const uint8_t> code)
{
    if (size_t(offset) + code.size() > agent_.uploadBytes)
        fail("has no room for " + std::to_string(code.size()) + " bytes of uploaded code at offset " +
             std::to_string(offset) + " (its upload area holds " + std::to_string(agent_.uploadBytes) + " bytes)");
    std::vector<uint8_t> payload;
    putLe16(payload, offset);
    payload.insert(payload.end(), code.begin(), code.end());
    transact(CMD_UPLOAD, payload);
}

CallOutcome AgentLink::run(uint16_t offset, const AgentRegs& regs, int budgetMs)
{
    std::vector<uint8_t> payload;
    putLe16(payload, offset);
    return call(CMD_RUN, std::move(payload), regs, budgetMs);
}

std::vector<uint32_t> AgentLink::hashes(uint32_t address, uint32_t pieceBytes, uint32_t count)
{
    std::vector<uint32_t> result;
    result.reserve(count);
    const uint32_t perRequest = agent_.maxPayload / 4u;
    while (count > 0) {
        const uint32_t n = std::min(count, perRequest);
        std::vector<uint8_t> payload;
        putLe32(payload, address);
        putLe16(payload, pieceBytes / 4);
        putLe16(payload, n);
        // The agent reads every byte it hashes: give it the time its CPU needs on a large piece.
        const std::vector<uint8_t> reply = transact(CMD_HASH, payload, int(uint64_t(pieceBytes) * n / 100000), n * 4);
        if (reply.size() != n * 4)
            fail("sent " + std::to_string(reply.size() / 4) + " hashes for " + std::to_string(n));
        for (uint32_t i = 0; i < n; ++i)
            result.push_back(uint32_t(reply[4 * i]) | uint32_t(reply[4 * i + 1]) << 8 |
                             uint32_t(reply[4 * i + 2]) << 16 | uint32_t(reply[4 * i + 3]) << 24);
        address += pieceBytes * n;
        count -= n;
    }
    return result;
}

std::vector<uint16_t> AgentLink::changedPages()
{
    const std::vector<uint8_t> reply = transact(CMD_SYNC, {}, 100, 2 * (WATCHED_BYTES / PAGE_BYTES));
    std::vector<uint16_t> pages;
    for (size_t at = 0; at + 1 < reply.size(); at += 2)
        pages.push_back(uint16_t(reply[at] | reply[at + 1] << 8));
    return pages;
}

double AgentLink::hostToPcBytesPerSecond() const
{
    return measuredMicros_ == 0 ? 0.0 : double(measuredBytes_) * 1e6 / double(measuredMicros_);
}

void AgentLink::quit()
{
    transact(CMD_QUIT, {});
}

}  // namespace agent_link
