// The agent's frames: the CRC is zlib's, and a frame is taken only whole and unharmed, found
// again after noise, a flipped byte or a lost one.
#include <gtest/gtest.h>

#include <string>

#include "agent_link/protocol.h"

namespace {

using agent_link::Frame;
using agent_link::FrameReader;

std::vector<uint8_t> bytesOf(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(AgentFrames, CrcIsZlibs)
{
    EXPECT_EQ(agent_link::crc32(bytesOf("123456789")), 0xCBF43926u);
    EXPECT_EQ(agent_link::crc32({}), 0u);
}

TEST(AgentFrames, PageHashIsTheAgentsDwordHash)
{
    const uint8_t zeros[8] = {};
    EXPECT_EQ(agent_link::pageHash(zeros, sizeof zeros), 0u);
    const uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(agent_link::pageHash(one, 4), agent_link::HASH_MULTIPLIER);
    // Two dwords swapped make another hash: the order counts.
    const uint8_t ab[8] = {1, 0, 0, 0, 2, 0, 0, 0}, ba[8] = {2, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_NE(agent_link::pageHash(ab, 8), agent_link::pageHash(ba, 8));
}

TEST(AgentFrames, AFrameComesBackAsSent)
{
    const Frame sent{agent_link::PROTOCOL_VERSION, agent_link::CMD_WRITE, 200, bytesOf("payload")};
    FrameReader reader;
    reader.feed(agent_link::encodeFrame(sent));
    const std::optional<Frame> got = reader.next();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->type, sent.type);
    EXPECT_EQ(got->sequence, 200);
    EXPECT_EQ(got->payload, sent.payload);
    EXPECT_FALSE(reader.next());
}

struct Damage {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> harm;
};

// The first frame is harmed; the reader drops it and still finds the good one after it.
TEST(AgentFrames, AHarmedFrameIsDroppedAndTheNextOneFound)
{
    const Frame first{agent_link::PROTOCOL_VERSION, agent_link::CMD_READ, 1, bytesOf("first frame")};
    const Frame second{agent_link::PROTOCOL_VERSION, agent_link::CMD_READ, 2, bytesOf("second")};
    const Damage cases[] = {
        {"a payload byte flipped", [](std::vector<uint8_t>& f) { f[9] ^= 0x10; }},
        {"a length byte flipped", [](std::vector<uint8_t>& f) { f[5] ^= 0x01; }},
        {"the length made huge", [](std::vector<uint8_t>& f) { f[6] = 0xFF; }},
        {"a payload byte lost", [](std::vector<uint8_t>& f) { f.erase(f.begin() + 8); }},
        {"the CRC cut short", [](std::vector<uint8_t>& f) { f.pop_back(); }},
        {"noise before it, like a sync and a long length", [](std::vector<uint8_t>& f) {
             f.insert(f.begin(), {0xA5, 0x00, 0xA5, 0x5A, 0x01});
         }},
    };
    for (const Damage& d : cases) {
        std::vector<uint8_t> stream = agent_link::encodeFrame(first);
        d.harm(stream);
        const std::vector<uint8_t> good = agent_link::encodeFrame(second);
        stream.insert(stream.end(), good.begin(), good.end());
        FrameReader reader;
        // Byte by byte, as a slow line delivers them.
        std::vector<Frame> found;
        for (uint8_t byte : stream) {
            reader.feed(std::span<const uint8_t>(&byte, 1));
            while (std::optional<Frame> f = reader.next())
                found.push_back(*f);
        }
        if (std::string(d.name).find("noise") == 0) {
            ASSERT_EQ(found.size(), 2u) << d.name;
            EXPECT_EQ(found[0].sequence, 1) << d.name;
            continue;
        }
        ASSERT_EQ(found.size(), 1u) << d.name;
        EXPECT_EQ(found[0].sequence, 2) << d.name;
        EXPECT_EQ(found[0].payload, second.payload) << d.name;
        EXPECT_GE(reader.damagedFrames(), 1u) << d.name;
    }
}

}  // namespace
