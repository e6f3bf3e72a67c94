// The RM_ operations on a booted machine, used the way the driver loader uses them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <regex>

#include "machine/machine.h"
#include "platform/realmode.h"
#include "realmode/call_log.h"

namespace checks {
namespace {

class RealMode : public ::testing::Test {
protected:
    void boot(const char* preset)
    {
        machine::setCurrent(nullptr);
        pc = std::make_unique<machine::Machine>(machine::presetConfig(preset), *clock);
        machine::setCurrent(pc.get());
    }
    void SetUp() override { boot("default"); }
    void TearDown() override
    {
        realmode::setCallLog(nullptr);
        machine::setCurrent(nullptr);
    }

    struct Block {
        uint32_t selector = 0, offset = 0, segment = 0, realOffset = 0;
    };
    bool allocate(uint32_t size, Block& block)
    {
        return RM_allocRealSeg(size, &block.selector, &block.offset, &block.segment, &block.realOffset) != 0;
    }

    std::unique_ptr<machine::Clock> clock = machine::makeVirtualClock();
    std::unique_ptr<machine::Machine> pc;
};

TEST_F(RealMode, BlocksLieInFreeConventionalMemoryAndDoNotOverlap)
{
    Block a, b;
    ASSERT_TRUE(allocate(512, a));
    ASSERT_TRUE(allocate(1000, b));
    for (const Block& block : {a, b}) {
        EXPECT_EQ(block.realOffset, 0u);
        EXPECT_EQ(block.segment * 16, block.offset);
        EXPECT_GE(block.offset, pc->freeConventionalStart());
        EXPECT_LE(block.offset + 512, pc->conventionalBytes());
    }
    EXPECT_TRUE(b.offset >= a.offset + 512 || a.offset >= b.offset + 1000);
    RM_freeRealSeg(a.selector, a.offset);
    Block again;
    ASSERT_TRUE(allocate(512, again));
    EXPECT_EQ(again.offset, a.offset);
}

TEST_F(RealMode, LowMemoryMachineRefusesTheScratchBlock)
{
    boot("lowmem");
    Block block;
    EXPECT_FALSE(allocate(512, block));
    EXPECT_FALSE(allocate(16, block));
}

TEST_F(RealMode, CopiesGoBothWaysAndStayInsideTheFirstMegabyte)
{
    Block block;
    ASSERT_TRUE(allocate(64, block));
    const char text[] = "Kestrel Video Core";
    RM_memcpyfn(block.selector, block.offset, text, sizeof text);
    EXPECT_STREQ(reinterpret_cast<const char*>(pc->memory() + block.offset), text);
    char back[sizeof text] = {};
    RM_memcpynf(back, block.selector, block.offset, sizeof back);
    EXPECT_STREQ(back, text);

    char outside[8];
    std::memset(outside, 'x', sizeof outside);
    RM_memcpynf(outside, 0, pc->memoryBytes() - 4, sizeof outside);  // runs past the end
    EXPECT_EQ(std::string(outside, sizeof outside), std::string(sizeof outside, '\0'));
    RM_memcpyfn(0, pc->memoryBytes() - 4, text, sizeof text);  // refused, no write past the end
    RM_memcpynf(outside, 7, block.offset, 4);                  // an unknown selector reaches nothing
    EXPECT_EQ(outside[0], 0);

    // The video BIOS is read-only; text memory is reached through the card.
    const uint8_t rom = pc->memory()[0xC0000];
    RM_memcpyfn(0, 0xC0000, text, 4);
    EXPECT_EQ(pc->memory()[0xC0000], rom);
    RM_memcpyfn(0, 0xB8000, "H\x1FI\x1F", 4);
    char screen[4];
    RM_memcpynf(screen, 0, 0xB8000, 4);
    EXPECT_EQ(std::string(screen, 4), std::string("H\x1FI\x1F", 4));
    EXPECT_EQ(pc->readPhys8(0xB8002), 'I');
}

TEST_F(RealMode, VectorsReadAndWriteTheInterruptTable)
{
    uint32_t video = 0;
    RM_getRMvect(0x10, &video);
    EXPECT_EQ(video >> 16, 0xC000u) << "the ROM's handler";
    uint32_t saved = 0;
    RM_getRMvect(0x2F, &saved);
    RM_setRMvect(0x2F, 0x12345678);
    uint32_t now = 0;
    RM_getRMvect(0x2F, &now);
    EXPECT_EQ(now, 0x12345678u);
    EXPECT_EQ(pc->memory()[0x2F * 4], 0x78);
    EXPECT_EQ(pc->memory()[0x2F * 4 + 3], 0x12);
    RM_setRMvect(0x2F, saved);
}

TEST_F(RealMode, FarCallRunsCodeInABlockWithItsRegistersAndSegments)
{
    Block block;
    ASSERT_TRUE(allocate(16, block));
    // mov ax, es ; add ax, bx ; mov cx, ds ; retf
    const uint8_t code[] = {0x8C, 0xC0, 0x01, 0xD8, 0x8C, 0xD9, 0xCB};
    RM_memcpyfn(block.selector, block.offset, code, sizeof code);
    RealModeRegs regs{};
    regs.bx = 0x0100;
    RealModeSegRegs segments{};
    segments.es = 0x1200;
    segments.ds = 0x4321;
    EXPECT_NE(RM_callRealMode(block.segment, 0, &regs, &segments), 0);
    EXPECT_EQ(regs.ax, 0x1300);
    EXPECT_EQ(regs.cx, 0x4321);
    EXPECT_EQ(regs.cflag, 0);
}

TEST_F(RealMode, StoppedCallReturnsZeroWithAllOnesAndCarry)
{
    machine::MachineConfig config = machine::presetConfig("default");
    config.instructionBudget = 1'000'000;  // enough for the ROM's start-up
    machine::setCurrent(nullptr);
    pc = std::make_unique<machine::Machine>(config, *clock);
    machine::setCurrent(pc.get());
    Block block;
    ASSERT_TRUE(allocate(16, block));
    const uint8_t loop[] = {0xEB, 0xFE};
    RM_memcpyfn(block.selector, block.offset, loop, sizeof loop);
    RealModeRegs regs{};
    RealModeSegRegs segments{};
    EXPECT_EQ(RM_callRealMode(block.segment, 0, &regs, &segments), 0);
    EXPECT_EQ(regs.ax, 0xFFFF);
    EXPECT_EQ(regs.cflag, 1);
    RM_setRMvect(0x61, block.segment << 16);
    RealModeRegs in{}, out{};
    EXPECT_EQ(RM_int86(0x61, &in, &out), 0);
    EXPECT_EQ(out.ax, 0xFFFF);
}

TEST_F(RealMode, VbeProbeThroughABlockAndAMappedOemPointer)
{
    Block block;
    ASSERT_TRUE(allocate(512, block));
    uint8_t info[512] = {'V', 'B', 'E', '2'};
    RM_memcpyfn(block.selector, block.offset, info, sizeof info);
    RealModeRegs regs{};
    regs.ax = 0x4F00;
    regs.di = static_cast<uint16_t>(block.realOffset);
    RealModeSegRegs segments{};
    segments.es = static_cast<uint16_t>(block.segment);
    EXPECT_NE(RM_int86x(0x10, &regs, &regs, &segments), 0);  // one record as input and output
    EXPECT_EQ(regs.ax, 0x004F);
    RM_memcpynf(info, block.selector, block.offset, sizeof info);
    ASSERT_EQ(std::memcmp(info, "VESA", 4), 0);

    uint32_t oem;
    std::memcpy(&oem, info + 6, 4);
    uint32_t selector = 1, offset = 0;
    RM_mapRealPointer(&selector, &offset, oem >> 16, oem & 0xFFFF);
    EXPECT_EQ(offset, (oem >> 16) * 16 + (oem & 0xFFFF));
    const uint32_t first = RM_getLong(selector, offset);
    EXPECT_EQ(std::memcmp(&first, pc->memory() + offset, 4), 0);
    // The program can read the string through a plain pointer that fits in 32 bits.
    const auto host = reinterpret_cast<uintptr_t>(pc->memory() + offset);
    EXPECT_LT(host, uintptr_t{1} << 32);
    EXPECT_GT(std::strlen(reinterpret_cast<const char*>(host)), 4u);
}

TEST_F(RealMode, CallLogWritesOneExactLinePerInterrupt)
{
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    realmode::setCallLog(log);
    RealModeRegs regs{};
    regs.ax = 0x4F02;
    regs.bx = 0x4101;
    RealModeSegRegs segments{};
    RM_int86x(0x10, &regs, &regs, &segments);
    regs = {};
    regs.ax = 0x4F03;
    RM_int86(0x10, &regs, &regs);
    realmode::setCallLog(nullptr);
    RM_int86(0x10, &regs, &regs);  // not logged

    std::rewind(log);
    char text[1024] = {};
    const size_t length = std::fread(text, 1, sizeof text - 1, log);
    std::fclose(log);
    const std::string lines(text, length);
    const std::regex expected(
        "INT 10 in AX=4F02 BX=4101 CX=0000 DX=0000 ES=0000 DI=0000 out AX=004F BX=[0-9A-F]{4} CX=[0-9A-F]{4} "
        "DX=[0-9A-F]{4} instr=[1-9][0-9]*\n"
        "INT 10 in AX=4F03 BX=0000 CX=0000 DX=0000 ES=0000 DI=0000 out AX=004F BX=[0-9A-F]{4} CX=[0-9A-F]{4} "
        "DX=[0-9A-F]{4} instr=[1-9][0-9]*\n");
    EXPECT_TRUE(std::regex_match(lines, expected)) << lines;
}

TEST(RealModeWithoutMachine, OperationsFailSafely)
{
    machine::setCurrent(nullptr);
    uint32_t selector = 0, offset = 0, segment = 0, realOffset = 0;
    EXPECT_EQ(RM_allocRealSeg(512, &selector, &offset, &segment, &realOffset), 0);
    RealModeRegs regs{};
    EXPECT_EQ(RM_int86(0x10, &regs, &regs), 0);
    EXPECT_EQ(regs.ax, 0xFFFF);
    EXPECT_EQ(regs.cflag, 1);
    uint32_t word = 1;
    RM_memcpynf(&word, 0, 0, 4);
    EXPECT_EQ(word, 0u);
}

}  // namespace
}  // namespace checks
