// The GD5446 BitBLT engine on its own, against a per-pixel reference of what each operation
// draws, driven through its registers as a driver would.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "hw/cirrus.h"
#include "machine/cirrus_blt.h"

namespace checks {
namespace {

using namespace cirrus;

constexpr uint32_t MEMORY = 64 * 1024;

struct Blt {
    uint8_t mode = 0, rop = rop::SRC, ext = 0, skip = 0;
    uint32_t width = 1, height = 1;  // bytes, lines
    uint32_t dstPitch = 0, srcPitch = 0, dst = 0, src = 0;
    uint32_t fg = 0, bg = 0;
    uint16_t key = 0;
};

uint8_t referenceRop(uint8_t rop, uint8_t s, uint8_t d)
{
    switch (rop) {
    case 0x00: return 0;
    case 0x05: return s & d;
    case 0x06: return d;
    case 0x09: return s & ~d;
    case 0x0B: return ~d;
    case 0x0D: return s;
    case 0x0E: return 0xFF;
    case 0x50: return ~s & d;
    case 0x59: return s ^ d;
    case 0x6D: return s | d;
    case 0x90: return ~(s | d);
    case 0x95: return ~(s ^ d);
    case 0xAD: return s | ~d;
    case 0xD0: return ~s;
    case 0xD6: return ~s | d;
    case 0xDA: return ~(s & d);
    default: return d;
    }
}

// What the operation draws, pixel by pixel, into a copy of memory.
void reference(const Blt& b, std::vector<uint8_t>& m, const std::vector<uint8_t>& host)
{
    const unsigned bpp = ((b.mode & gc::BLT_MODE_DEPTH) >> 4) + 1;
    const bool fromHost = b.mode & gc::BLT_MODE_SRC_SYSTEM, transparent = b.mode & gc::BLT_MODE_TRANSPARENT;
    const bool expand = b.mode & gc::BLT_MODE_COLOUR_EXPAND, pattern = b.mode & gc::BLT_MODE_PATTERN;
    const uint32_t pixels = b.width / bpp;
    const uint32_t skip = bpp == 3 ? (b.skip & 0x1F) : (b.skip & 7) * bpp;
    const auto put = [&](uint32_t at, uint32_t colour) {
        for (unsigned i = 0; i < bpp; ++i)
            m[at + i] = referenceRop(b.rop, static_cast<uint8_t>(colour >> (8 * i)), m[at + i]);
    };
    if (!expand && !pattern) {  // plain copy, row by row, each row read before it is written
        const bool back = b.mode & gc::BLT_MODE_BACKWARDS;
        const uint32_t hostRow = (b.width + 3) & ~3u;
        for (uint32_t y = 0; y < b.height; ++y) {
            std::vector<uint8_t> s(b.width);
            for (uint32_t i = 0; i < b.width; ++i)
                s[i] = fromHost ? host[y * hostRow + i]
                       : back   ? m[b.src - y * b.srcPitch - (b.width - 1) + i]
                                : m[b.src + y * b.srcPitch + i];
            const uint32_t row = back ? b.dst - y * b.dstPitch - (b.width - 1) : b.dst + y * b.dstPitch;
            for (uint32_t x = 0; x + (transparent ? bpp : 1) <= b.width; x += transparent ? bpp : 1) {
                if (!transparent) {
                    m[row + x] = referenceRop(b.rop, s[x], m[row + x]);
                    continue;
                }
                uint32_t result = 0;
                for (unsigned i = 0; i < bpp; ++i)
                    result |= uint32_t(referenceRop(b.rop, s[x + i], m[row + x + i])) << (8 * i);
                if (result != (bpp == 1 ? b.key & 0xFFu : b.key))
                    for (unsigned i = 0; i < bpp; ++i)
                        m[row + x + i] = static_cast<uint8_t>(result >> (8 * i));
            }
        }
        return;
    }
    uint32_t monoRow = (pixels + 7) / 8;
    if (fromHost && (b.ext & gc::BLT_MODE_EXTENSION_DWORD_ROWS))
        monoRow = (monoRow + 3) / 4 * 4;
    const uint32_t line = bpp == 3 ? 32 : 8 * bpp;
    const uint8_t* patternBytes = fromHost ? host.data() : &m[b.src & ~((expand ? 8u : 8u * line) - 1)];
    const std::vector<uint8_t> patternCopy(patternBytes, patternBytes + (expand ? 8 : 8 * line));
    const uint32_t firstLine = fromHost ? b.src & 7 : 0;
    for (uint32_t y = 0; y < b.height; ++y)
        for (uint32_t x = 0; x < pixels; ++x) {
            if (x * bpp < skip)
                continue;
            const uint32_t at = b.dst + y * b.dstPitch + x * bpp;
            if (expand && pattern && (b.ext & gc::BLT_MODE_EXTENSION_SOLID_FILL) && !transparent) {
                put(at, b.fg);
                continue;
            }
            if (!expand) {  // colour pattern
                uint32_t colour = 0;
                for (unsigned i = 0; i < bpp; ++i)
                    colour |= uint32_t(patternCopy[((firstLine + y) & 7) * line + (x & 7) * bpp + i]) << (8 * i);
                put(at, colour);
                continue;
            }
            const uint8_t bits = pattern    ? patternCopy[(firstLine + y) & 7]
                                 : fromHost ? host[y * monoRow + x / 8]
                                            : m[b.src + y * monoRow + x / 8];
            const bool bit = bits & (0x80 >> (x % 8));
            if (!transparent)
                put(at, bit ? b.fg : b.bg);
            else if (b.ext & gc::BLT_MODE_EXTENSION_INVERT) {
                if (!bit)
                    put(at, b.bg);
            } else if (bit) {
                put(at, b.fg);
            }
        }
}

struct Engine {
    Engine() : memory(MEMORY), blt(memory)
    {
        std::mt19937 random(5446);
        for (auto& byte : memory)
            byte = static_cast<uint8_t>(random());
    }
    void program(const Blt& b, bool mmio)
    {
        const auto set = [&](uint8_t index, uint8_t mmioOffset, uint32_t value) {
            if (mmio)
                blt.writeMmio(mmioOffset, static_cast<uint8_t>(value));
            else
                blt.writeRegister(index, static_cast<uint8_t>(value));
        };
        const uint8_t fgRegs[4] = {gc::FOREGROUND0, gc::FOREGROUND1, gc::FOREGROUND2, gc::FOREGROUND3};
        const uint8_t bgRegs[4] = {gc::BACKGROUND0, gc::BACKGROUND1, gc::BACKGROUND2, gc::BACKGROUND3};
        for (uint8_t i = 0; i < 4; ++i) {
            set(fgRegs[i], mmio::FOREGROUND + i, b.fg >> (8 * i));
            set(bgRegs[i], mmio::BACKGROUND + i, b.bg >> (8 * i));
        }
        const auto field = [&](uint8_t index, uint8_t offset, uint32_t value, int bytes) {
            for (int i = 0; i < bytes; ++i)
                set(index + i, offset + i, value >> (8 * i));
        };
        field(gc::BLT_WIDTH, mmio::WIDTH, b.width - 1, 2);
        field(gc::BLT_HEIGHT, mmio::WIDTH + 2, b.height - 1, 2);
        field(gc::BLT_DST_PITCH, mmio::WIDTH + 4, b.dstPitch, 2);
        field(gc::BLT_SRC_PITCH, mmio::WIDTH + 6, b.srcPitch, 2);
        field(gc::BLT_DST_ADDRESS, mmio::WIDTH + 8, b.dst, 3);
        field(gc::BLT_SRC_ADDRESS, mmio::WIDTH + 12, b.src, 3);
        set(gc::BLT_LEFT_SKIP, mmio::LEFT_SKIP, b.skip);
        set(gc::BLT_MODE, mmio::MODE, b.mode);
        set(gc::BLT_ROP, mmio::ROP, b.rop);
        set(gc::BLT_MODE_EXTENSION, mmio::MODE_EXTENSION, b.ext);
        field(gc::BLT_TRANSPARENT_COLOUR, mmio::TRANSPARENT_COLOUR, b.key, 2);
    }
    void run(const Blt& b, const std::vector<uint8_t>& host = {}, bool mmio = false)
    {
        program(b, mmio);
        if (mmio)
            blt.writeMmio(mmio::STATUS, gc::BLT_STATUS_START);
        else
            blt.writeRegister(gc::BLT_STATUS, gc::BLT_STATUS_START);
        for (uint8_t byte : host)
            blt.hostData(byte);
    }
    std::vector<uint8_t> memory;
    machine::CirrusBlt blt;
};

std::vector<uint8_t> hostBytes(size_t count)
{
    std::vector<uint8_t> bytes(count);
    std::mt19937 random(static_cast<uint32_t>(count));
    for (auto& byte : bytes)
        byte = static_cast<uint8_t>(random());
    return bytes;
}

uint8_t depth(unsigned bpp)
{
    return static_cast<uint8_t>((bpp - 1) << 4);
}

struct Case {
    const char* name;
    Blt blt;
    size_t hostCount = 0;
};

std::vector<Case> cases()
{
    std::vector<Case> all;
    // Every ROP on a plain copy.
    for (uint8_t rop : {0x00, 0x05, 0x06, 0x09, 0x0B, 0x0D, 0x0E, 0x50, 0x59, 0x6D, 0x90, 0x95, 0xAD, 0xD0, 0xD6, 0xDA})
        all.push_back(
            {"rop",
             Blt{.rop = rop, .width = 13, .height = 5, .dstPitch = 40, .srcPitch = 32, .dst = 1000, .src = 5000}});
    const auto add = [&](const char* name, Blt b, size_t host = 0) { all.push_back({name, b, host}); };
    // Overlap: forwards with the destination above, backwards with it below.
    add("forward overlap",
        {.width = 30, .height = 12, .dstPitch = 64, .srcPitch = 64, .dst = 2000, .src = 2000 + 64 * 3 + 5});
    add("backward overlap", {.mode = gc::BLT_MODE_BACKWARDS,
                             .width = 30,
                             .height = 12,
                             .dstPitch = 64,
                             .srcPitch = 64,
                             .dst = 3000 + 64 * 11 + 29 + 64 * 3 + 5,
                             .src = 3000 + 64 * 11 + 29});
    add("backward overlap rop", {.mode = gc::BLT_MODE_BACKWARDS,
                                 .rop = rop::SRC_XOR_DST,
                                 .width = 9,
                                 .height = 4,
                                 .dstPitch = 16,
                                 .srcPitch = 16,
                                 .dst = 600,
                                 .src = 598});
    // Odd sizes.
    add("1x1", {.width = 1, .height = 1, .dstPitch = 1, .srcPitch = 1, .dst = 7, .src = 9000});
    add("width 7 pitch 100", {.width = 7, .height = 9, .dstPitch = 100, .srcPitch = 100, .dst = 123, .src = 20001});
    add("16 bit width 6 pitch 50",
        {.mode = depth(2), .width = 6, .height = 3, .dstPitch = 50, .srcPitch = 70, .dst = 7000, .src = 100});
    // Transparent copies.
    add("transparent 8", {.mode = gc::BLT_MODE_TRANSPARENT,
                          .width = 40,
                          .height = 6,
                          .dstPitch = 64,
                          .srcPitch = 64,
                          .dst = 100,
                          .src = 10000,
                          .key = 0x40});
    add("transparent 16 xor", {.mode = uint8_t(gc::BLT_MODE_TRANSPARENT | depth(2)),
                               .rop = rop::SRC_XOR_DST,
                               .width = 40,
                               .height = 6,
                               .dstPitch = 64,
                               .srcPitch = 64,
                               .dst = 100,
                               .src = 10000,
                               .key = 0x1234});
    // Colour expansion from video memory and from system memory, 8 to 32 bits.
    for (unsigned bpp : {1u, 2u, 3u, 4u}) {
        const uint8_t d = depth(bpp);
        add("expand", {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | d),
                       .width = 21 * bpp,
                       .height = 7,
                       .dstPitch = 200,
                       .dst = 300,
                       .src = 30000,
                       .fg = 0x11223344,
                       .bg = 0x55667788});
        add("expand transparent", {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_TRANSPARENT | d),
                                   .rop = rop::SRC_XOR_DST,
                                   .width = 21 * bpp,
                                   .height = 7,
                                   .dstPitch = 200,
                                   .dst = 301,
                                   .src = 30000,
                                   .fg = 0xA5C3E1F0});
        add("expand transparent inverted", {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_TRANSPARENT | d),
                                            .ext = gc::BLT_MODE_EXTENSION_INVERT,
                                            .width = 21 * bpp,
                                            .height = 7,
                                            .dstPitch = 200,
                                            .dst = 301,
                                            .src = 30000,
                                            .bg = 0x0F0E0D0C});
        add("expand from system",
            {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_SRC_SYSTEM | d),
             .width = 19 * bpp,
             .height = 5,
             .dstPitch = 160,
             .dst = 700,
             .fg = 0x01020304,
             .bg = 0xF1F2F3F4},
            3 * 5);
        add("expand from system dword rows",
            {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_SRC_SYSTEM | gc::BLT_MODE_TRANSPARENT | d),
             .ext = gc::BLT_MODE_EXTENSION_DWORD_ROWS,
             .width = 19 * bpp,
             .height = 5,
             .dstPitch = 160,
             .dst = 700,
             .fg = 0x01020304},
            4 * 5);
        add("expand with left skip", {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | d),
                                      .skip = uint8_t(bpp == 3 ? 6 : 3),
                                      .width = 16 * bpp,
                                      .height = 3,
                                      .dstPitch = 128,
                                      .dst = 900,
                                      .src = 31000,
                                      .fg = 0x99,
                                      .bg = 0x66});
        // Patterns and fills.
        add("mono pattern", {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN | d),
                             .width = 20 * bpp,
                             .height = 19,
                             .dstPitch = 256,
                             .dst = 1200,
                             .src = 40000 + 3,
                             .fg = 0xCAFEBABE,
                             .bg = 0x12345678});
        add("mono pattern transparent",
            {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN | gc::BLT_MODE_TRANSPARENT | d),
             .width = 20 * bpp,
             .height = 19,
             .dstPitch = 256,
             .dst = 1200,
             .src = 40000,
             .fg = 0xCAFEBABE});
        add("mono pattern from system line 5",
            {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN | gc::BLT_MODE_SRC_SYSTEM | d),
             .width = 11 * bpp,
             .height = 10,
             .dstPitch = 100,
             .dst = 50,
             .src = 5,
             .fg = 0x0A0B0C0D,
             .bg = 0x01010101},
            8);
        add("colour pattern", {.mode = uint8_t(gc::BLT_MODE_PATTERN | d),
                               .rop = rop::SRC_OR_DST,
                               .width = 17 * bpp,
                               .height = 11,
                               .dstPitch = 300,
                               .dst = 4000,
                               .src = 8192 + 77});
        add("colour pattern from system",
            {.mode = uint8_t(gc::BLT_MODE_PATTERN | gc::BLT_MODE_SRC_SYSTEM | d),
             .width = 9 * bpp,
             .height = 9,
             .dstPitch = 64,
             .dst = 64,
             .src = 2},
            8 * (bpp == 3 ? 32 : 8 * bpp));
        add("solid fill", {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN | d),
                           .ext = gc::BLT_MODE_EXTENSION_SOLID_FILL,
                           .width = 33 * bpp,
                           .height = 4,
                           .dstPitch = 1024,
                           .dst = 12345,
                           .fg = 0x7F6E5D4C});
        add("solid fill of one run", {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN | d),
                                      .ext = gc::BLT_MODE_EXTENSION_SOLID_FILL,
                                      .width = 40 * bpp,
                                      .height = 30,
                                      .dstPitch = 40 * bpp,
                                      .dst = 20001,
                                      .fg = 0x8899AABB});
        add("copy of one run", {.mode = d,
                                .width = 40 * bpp,
                                .height = 30,
                                .dstPitch = 40 * bpp,
                                .srcPitch = 40 * bpp,
                                .dst = 20001,
                                .src = 20001 + 40 * bpp * 7});
        add("solid fill rop skip", {.mode = uint8_t(gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN | d),
                                    .rop = rop::NOT_SRC_AND_DST,
                                    .ext = gc::BLT_MODE_EXTENSION_SOLID_FILL,
                                    .skip = 2,
                                    .width = 10 * bpp + 1,
                                    .height = 4,
                                    .dstPitch = 99,
                                    .dst = 54321,
                                    .fg = 0x3C3C3C3C});
    }
    add("copy from system",
        {.mode = gc::BLT_MODE_SRC_SYSTEM,
         .rop = rop::SRC_AND_DST,
         .width = 6,
         .height = 3,
         .dstPitch = 10,
         .dst = 60000},
        8 * 3);
    add("copy from system 16",
        {.mode = uint8_t(gc::BLT_MODE_SRC_SYSTEM | depth(2)), .width = 12, .height = 2, .dstPitch = 640, .dst = 640},
        12 * 2);
    return all;
}

class BltReference : public testing::TestWithParam<Case> {};

TEST_P(BltReference, DrawsWhatThePerPixelReferenceDraws)
{
    for (bool mmio : {false, true}) {
        Engine engine;
        const Case& c = GetParam();
        const std::vector<uint8_t> host = hostBytes(c.hostCount);
        std::vector<uint8_t> expected = engine.memory;
        reference(c.blt, expected, host);
        engine.run(c.blt, host, mmio);
        EXPECT_EQ(engine.blt.readRegister(gc::BLT_STATUS) & (gc::BLT_STATUS_BUSY | gc::BLT_STATUS_START), 0) << c.name;
        for (uint32_t i = 0; i < MEMORY; ++i)
            if (engine.memory[i] != expected[i]) {
                ADD_FAILURE() << c.name << (mmio ? " (MMIO)" : " (ports)") << ": byte " << i << " is "
                              << int(engine.memory[i]) << ", expected " << int(expected[i]);
                break;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, BltReference, testing::ValuesIn(cases()), [](const auto& info) {
    std::string name = std::to_string(info.index) + "_" + info.param.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
});

// The ROP results the chip's register document gives for S = F0 CC AA 0F over D = FF 00 A5 3C.
TEST(Blt, EachRopGivesTheDocumentedBytes)
{
    struct RopCase {
        uint8_t rop;
        uint8_t result[4];
    };
    const RopCase table[] = {
        {0x00, {0x00, 0x00, 0x00, 0x00}}, {0x05, {0xF0, 0x00, 0xA0, 0x0C}}, {0x06, {0xFF, 0x00, 0xA5, 0x3C}},
        {0x09, {0x00, 0xCC, 0x0A, 0x03}}, {0x0B, {0x00, 0xFF, 0x5A, 0xC3}}, {0x0D, {0xF0, 0xCC, 0xAA, 0x0F}},
        {0x0E, {0xFF, 0xFF, 0xFF, 0xFF}}, {0x50, {0x0F, 0x00, 0x05, 0x30}}, {0x59, {0x0F, 0xCC, 0x0F, 0x33}},
        {0x6D, {0xFF, 0xCC, 0xAF, 0x3F}}, {0x90, {0x00, 0x33, 0x50, 0xC0}}, {0x95, {0xF0, 0x33, 0xF0, 0xCC}},
        {0xAD, {0xF0, 0xFF, 0xFA, 0xCF}}, {0xD0, {0x0F, 0x33, 0x55, 0xF0}}, {0xD6, {0xFF, 0x33, 0xF5, 0xFC}},
        {0xDA, {0x0F, 0xFF, 0x5F, 0xF3}},
    };
    for (const RopCase& c : table) {
        Engine engine;
        const uint8_t source[4] = {0xF0, 0xCC, 0xAA, 0x0F}, destination[4] = {0xFF, 0x00, 0xA5, 0x3C};
        std::memcpy(&engine.memory[100], source, 4);
        std::memcpy(&engine.memory[200], destination, 4);
        engine.run({.rop = c.rop, .width = 4, .height = 1, .dstPitch = 4, .srcPitch = 4, .dst = 200, .src = 100});
        EXPECT_EQ(0, std::memcmp(&engine.memory[200], c.result, 4)) << "ROP " << std::hex << int(c.rop);
    }
}

TEST(Blt, OperationsThatLeaveVideoMemoryDoNothing)
{
    const Blt bad[] = {
        {.width = 100, .height = 2, .dstPitch = 100, .srcPitch = 100, .dst = MEMORY - 150, .src = 0},  // destination
        {.width = 100, .height = 2, .dstPitch = 100, .srcPitch = 100, .dst = 0, .src = MEMORY - 150},  // source
        {.mode = gc::BLT_MODE_BACKWARDS,
         .width = 100,
         .height = 3,
         .dstPitch = 100,
         .srcPitch = 100,
         .dst = 250,
         .src = 5000},
        {.mode = gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN,
         .ext = gc::BLT_MODE_EXTENSION_SOLID_FILL,
         .width = 8192,
         .height = 8192,
         .dstPitch = 8191,
         .dst = 0x3FFFFF},
        {.mode = gc::BLT_MODE_COLOUR_EXPAND,
         .width = 8192,
         .height = 100,
         .dstPitch = 10,
         .dst = 0,
         .src = MEMORY - 10},
        {.mode = uint8_t(gc::BLT_MODE_PATTERN | depth(4)),
         .width = 8,
         .height = 1,
         .dstPitch = 8,
         .dst = 0,
         .src = 0x3FFF00},
        {.mode = uint8_t(gc::BLT_MODE_TRANSPARENT | depth(3)),
         .width = 9,
         .height = 1,
         .dstPitch = 9,
         .srcPitch = 9,
         .dst = 0,
         .src = 90},
    };
    for (const Blt& b : bad) {
        Engine engine;
        const std::vector<uint8_t> before = engine.memory;
        engine.run(b);
        EXPECT_EQ(engine.memory, before);
        EXPECT_EQ(engine.blt.readRegister(gc::BLT_STATUS) & (gc::BLT_STATUS_BUSY | gc::BLT_STATUS_START), 0);
    }
}

TEST(Blt, SystemSourceIsBusyUntilItsLastByteAndResetAbortsIt)
{
    Engine engine;
    const Blt glyph{.mode = gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_SRC_SYSTEM,
                    .width = 8,
                    .height = 16,
                    .dstPitch = 640,
                    .dst = 0,
                    .fg = 0x0F};
    engine.run(glyph);
    EXPECT_EQ(engine.blt.readRegister(gc::BLT_STATUS), gc::BLT_STATUS_BUSY | gc::BLT_STATUS_START);
    for (int i = 0; i < 15; ++i)
        engine.blt.hostData(0xFF);
    EXPECT_TRUE(engine.blt.awaitingHostData());
    EXPECT_NE(engine.memory[15 * 640], 0x0F);
    engine.blt.hostData(0xFF);
    EXPECT_EQ(engine.blt.readRegister(gc::BLT_STATUS), 0);
    EXPECT_EQ(engine.memory[15 * 640 + 7], 0x0F);

    engine.run(glyph);
    engine.blt.writeRegister(gc::BLT_STATUS, gc::BLT_STATUS_RESET);
    engine.blt.writeRegister(gc::BLT_STATUS, 0);
    EXPECT_FALSE(engine.blt.awaitingHostData());
    EXPECT_EQ(engine.blt.readRegister(gc::BLT_STATUS), 0);
}

// A guest that rewrites the registers while a system-memory operation waits for its data,
// as a hostile ROM does to make the engine read past the data it was given (the class of
// QEMU's CVE-2017-2620): the operation that runs is the one that started, on its own bytes.
TEST(Blt, RegisterWritesWhileDataIsPendingDoNotChangeTheOperation)
{
    struct Rewrite {
        const char* name;
        std::vector<std::pair<uint8_t, uint8_t>> writes;  // graphics-controller index, value
    };
    const Rewrite rewrites[] = {
        {"width and height 1FFFh, mode C8h",
         {{gc::BLT_WIDTH, 0xFF},
          {gc::BLT_WIDTH + 1, 0x1F},
          {gc::BLT_HEIGHT, 0xFF},
          {gc::BLT_HEIGHT + 1, 0x1F},
          {gc::BLT_MODE, 0xC8}}},
        {"one 4096-byte line", {{gc::BLT_WIDTH, 0xFF}, {gc::BLT_WIDTH + 1, 0x0F}}},
        {"32-bit colour pattern", {{gc::BLT_MODE, uint8_t(gc::BLT_MODE_PATTERN | gc::BLT_MODE_SRC_SYSTEM | depth(4))}}},
        {"destination, pitch and ROP",
         {{gc::BLT_DST_ADDRESS, 0x00},
          {gc::BLT_DST_ADDRESS + 1, 0x80},
          {gc::BLT_DST_PITCH, 0x40},
          {gc::BLT_ROP, 0x0E}}},
    };
    const Blt copy{.mode = gc::BLT_MODE_SRC_SYSTEM, .width = 1, .height = 1, .dstPitch = 1, .dst = 0x100};
    const std::vector<uint8_t> data = {0xA1, 0xB2, 0xC3, 0xD4};
    for (const Rewrite& rewrite : rewrites) {
        Engine engine;
        std::vector<uint8_t> expected = engine.memory;
        reference(copy, expected, data);
        engine.run(copy, {data.begin(), data.begin() + 3});
        for (const auto& [index, value] : rewrite.writes)
            engine.blt.writeRegister(index, value);
        engine.blt.hostData(data[3]);
        EXPECT_FALSE(engine.blt.awaitingHostData()) << rewrite.name;
        for (int extra = 0; extra < 64; ++extra)  // past what the operation needs: dropped
            engine.blt.hostData(0xEE);
        EXPECT_EQ(engine.memory, expected) << rewrite.name;
        EXPECT_EQ(engine.blt.readRegister(gc::BLT_STATUS) & (gc::BLT_STATUS_BUSY | gc::BLT_STATUS_START), 0)
            << rewrite.name;
    }
}

// GR31 while an operation waits: writing start again is no new start, taking the start bit
// away and back is one (the new operation replaces the old), and a reset abandons it.
TEST(Blt, StatusWritesWhileDataIsPendingFollowTheStartAndResetEdges)
{
    const Blt glyph{.mode = gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_SRC_SYSTEM,
                    .width = 8,
                    .height = 2,
                    .dstPitch = 8,
                    .dst = 0,
                    .fg = 0x5A,
                    .bg = 0x11};
    Engine engine;
    engine.run(glyph, {0xFF});
    engine.blt.writeRegister(gc::BLT_STATUS, gc::BLT_STATUS_START);  // no edge: the same operation
    EXPECT_EQ(engine.blt.pending().height, 2u);
    engine.blt.writeRegister(gc::BLT_HEIGHT, 0);  // the next operation is one line
    engine.blt.writeRegister(gc::BLT_STATUS, 0);
    EXPECT_TRUE(engine.blt.awaitingHostData());
    engine.blt.writeRegister(gc::BLT_STATUS, gc::BLT_STATUS_START);  // an edge: a new operation, one line
    EXPECT_EQ(engine.blt.pending().height, 1u);
    engine.blt.hostData(0x0F);
    EXPECT_FALSE(engine.blt.awaitingHostData());
    EXPECT_EQ(engine.memory[0], 0x11);
    EXPECT_EQ(engine.memory[7], 0x5A);

    engine.run(glyph, {0xFF});
    engine.blt.writeRegister(gc::BLT_STATUS, gc::BLT_STATUS_RESET);
    engine.blt.hostData(0xFF);  // the reset bit alone does not abandon it
    EXPECT_FALSE(engine.blt.awaitingHostData());
    engine.blt.writeRegister(gc::BLT_STATUS, 0);

    engine.run(glyph, {0xFF});
    const std::vector<uint8_t> before = engine.memory;
    engine.blt.writeRegister(gc::BLT_STATUS, gc::BLT_STATUS_RESET);
    engine.blt.writeRegister(gc::BLT_STATUS, 0);  // the reset's falling edge abandons it
    EXPECT_FALSE(engine.blt.awaitingHostData());
    engine.blt.hostData(0x00);
    EXPECT_EQ(engine.memory, before);
    EXPECT_EQ(engine.blt.readRegister(gc::BLT_STATUS), 0);
}

TEST(Blt, AutostartRunsOnTheDestinationsTopByteAndRegistersKeepTheirWidths)
{
    Engine engine;
    engine.program({.mode = gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN,
                    .ext = gc::BLT_MODE_EXTENSION_SOLID_FILL,
                    .width = 4,
                    .height = 1,
                    .dstPitch = 4,
                    .fg = 0x77},
                   false);
    engine.blt.writeRegister(gc::BLT_STATUS, gc::BLT_STATUS_AUTOSTART);
    engine.blt.writeRegister(gc::BLT_DST_ADDRESS, 0x10);
    EXPECT_NE(engine.memory[0x10], 0x77);
    engine.blt.writeRegister(gc::BLT_DST_ADDRESS + 2, 0);
    EXPECT_EQ(engine.memory[0x10], 0x77);
    EXPECT_EQ(engine.memory[0x13], 0x77);

    const std::vector<std::string> lines = [&] {
        std::vector<std::string> seen;
        engine.blt.setObserver([&](const machine::BltOperation& op) { seen.push_back(machine::describe(op)); });
        engine.blt.writeRegister(gc::BLT_DST_ADDRESS + 2, 0xFF);
        return seen;
    }();
    EXPECT_EQ(engine.blt.readRegister(gc::BLT_DST_ADDRESS + 2), 0x3F);
    engine.blt.writeRegister(gc::BLT_WIDTH + 1, 0xFF);
    EXPECT_EQ(engine.blt.readMmio(mmio::WIDTH + 1), 0x1F);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("blt mode=C0 rop=0D ext=04 width=4 height=1 dst=3F0010", 0), 0u) << lines[0];
}

}  // namespace
}  // namespace checks
