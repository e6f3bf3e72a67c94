// A byte link with a scripted agent at the other end, for the client's checks: each frame the
// client sends is decoded and answered by a function of the test's.
#pragma once

#include <deque>
#include <functional>
#include <optional>

#include "agent_link/byte_link.h"
#include "agent_link/protocol.h"

namespace agent_link_checks {

class ScriptedAgent final : public agent_link::ByteLink {
public:
    // Bytes to send back for a command frame (nothing: silence).
    using Answer = std::function<std::vector<uint8_t>(const agent_link::Frame&)>;
    explicit ScriptedAgent(Answer answer) : answer_(std::move(answer)) {}

    bool send(std::span<const uint8_t> bytes) override
    {
        reader_.feed(bytes);
        while (std::optional<agent_link::Frame> frame = reader_.next()) {
            ++commands_;
            const std::vector<uint8_t> reply = answer_(*frame);
            pending_.insert(pending_.end(), reply.begin(), reply.end());
        }
        return true;
    }

    std::vector<uint8_t> receive(int) override
    {
        std::vector<uint8_t> bytes(pending_.begin(), pending_.end());
        pending_.clear();
        return bytes;
    }

    bool closed() const override { return false; }
    std::string name() const override { return "scripted"; }
    int commands() const { return commands_; }

private:
    Answer answer_;
    agent_link::FrameReader reader_;
    std::deque<uint8_t> pending_;
    int commands_ = 0;
};

// A well-formed ping record of this protocol version.
inline std::vector<uint8_t> pingRecord(uint16_t version = agent_link::PROTOCOL_VERSION)
{
    std::vector<uint8_t> p(agent_link::PING_BYTES, 0);
    const uint32_t magic = agent_link::AGENT_MAGIC;
    for (int i = 0; i < 4; ++i)
        p[size_t(i)] = uint8_t(magic >> (8 * i));
    p[4] = uint8_t(version);
    p[5] = uint8_t(version >> 8);
    p[12] = 0x00;  // agent end 0x6000
    p[13] = 0x60;
    p[16] = 0x80;  // 640 KB
    p[17] = 0x02;
    p[19] = 0x10;  // max payload 4096
    p[21] = 0x01;  // upload area 256 bytes
    return p;
}

inline std::vector<uint8_t> reply(const agent_link::Frame& command, std::vector<uint8_t> payload,
                                  uint8_t version = agent_link::PROTOCOL_VERSION)
{
    return agent_link::encodeFrame(agent_link::Frame{version, uint8_t(command.type | agent_link::REPLY_BIT),
                                                     command.sequence, std::move(payload)});
}

}  // namespace agent_link_checks
