// Drawing encoded for the agent's expander: expanded piece by piece over what video memory
// held, it gives the host's copy exactly, leaves the bytes between the runs alone, never
// outgrows a piece, and sends a screen of fills and repeated rows as a few records.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "agent_pc/drawing_stream.h"

namespace {

constexpr uint32_t PITCH = 640, LINES = 480, BYTES = PITCH * LINES;
constexpr size_t PIECE = 3800;  // what the agent's 4 KB area holds behind the expander

struct Case {
    const char* name;
    void (*draw)(std::vector<uint8_t>& screen);
    size_t mostStreamBytes;  // 0: no bound (incompressible)
};

const Case CASES[] = {
    {"a cleared screen", [](std::vector<uint8_t>& s) { std::fill(s.begin(), s.end(), 0x07); }, 64},
    {"rows of a pattern repeated down the screen",
     [](std::vector<uint8_t>& s) {
         for (uint32_t y = 0; y < LINES; ++y)
             for (uint32_t x = 0; x < PITCH; ++x)
                 s[y * PITCH + x] = uint8_t(x * 7 % 251);
     },
     PITCH + 64},
    {"rectangles on a cleared screen",
     [](std::vector<uint8_t>& s) {
         std::fill(s.begin(), s.end(), 0);
         for (uint32_t y = 50; y < 430; ++y)
             for (uint32_t x = 50; x < 590; ++x)
                 s[y * PITCH + x] = uint8_t(1 + (x / 34) + 16 * (y / 24 % 16));
     },
     16 * 1024},
    {"an 8x8 pattern over the screen",
     [](std::vector<uint8_t>& s) {
         for (uint32_t y = 0; y < LINES; ++y)
             for (uint32_t x = 0; x < PITCH; ++x)
                 s[y * PITCH + x] = uint8_t(((x ^ y) & 7) * 3);
     },
     1024},
    {"noise", [](std::vector<uint8_t>& s) {
         std::mt19937 random(7);
         for (uint8_t& b : s)
             b = uint8_t(random());
     },
     0},
    {"a few dots far apart (skips between runs)",
     [](std::vector<uint8_t>& s) {
         for (uint32_t at = 1000; at < BYTES; at += 37'123)
             s[at] ^= 0xFF;
     },
     256},
};

TEST(DrawingStream, ExpandsToTheHostsCopyAndLeavesTheRestAlone)
{
    for (const Case& c : CASES) {
        std::vector<uint8_t> card(BYTES);
        std::mt19937 random(1);
        for (uint8_t& b : card)
            b = uint8_t(random() % 4);  // what the card held: not what is drawn
        std::vector<uint8_t> shadow = card;
        c.draw(shadow);
        const std::vector<pc::ByteRun> runs = pc::findChangedRuns(shadow.data(), card.data(), BYTES, 64);  // as the PC sends them
        const std::vector<agent_pc::StreamPiece> pieces = agent_pc::encodeDrawing(shadow.data(), runs, agent_pc::copyDistancesFor(PITCH), PIECE);
        size_t streamBytes = 0;
        std::vector<uint8_t> expanded = card;
        for (const agent_pc::StreamPiece& piece : pieces) {
            EXPECT_LE(piece.bytes.size(), PIECE) << c.name;
            ASSERT_TRUE(agent_pc::expandPiece(piece, expanded.data(), BYTES)) << c.name;
            streamBytes += piece.bytes.size();
        }
        EXPECT_TRUE(expanded == shadow) << c.name;
        if (c.mostStreamBytes) {
            EXPECT_LE(streamBytes, c.mostStreamBytes) << c.name;
        }
    }
}

TEST(DrawingStream, TheHostsExpanderRefusesARecordOutsideVideoMemory)
{
    std::vector<uint8_t> memory(64, 0);
    struct Bad {
        const char* name;
        agent_pc::StreamPiece piece;
    };
    const Bad bad[] = {
        {"a fill past the end", {60, {agent_pc::EXPAND_FILL, 8, 0, 0, 0, 0xAA, agent_pc::EXPAND_END}, 8}},
        {"a copy from before the start", {4, {agent_pc::EXPAND_COPY, 2, 0, 0, 0, 8, 0, 0, 0, agent_pc::EXPAND_END}, 2}},
        {"a stream without its end", {0, {agent_pc::EXPAND_FILL, 2, 0, 0, 0, 0xAA}, 2}},
    };
    for (const Bad& b : bad)
        EXPECT_FALSE(agent_pc::expandPiece(b.piece, memory.data(), uint32_t(memory.size()))) << b.name;
}

}  // namespace
