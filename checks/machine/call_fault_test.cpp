// Real-mode calls the machine has to stop: they end with an error, never a hang.
#include <gtest/gtest.h>

#include "checks/machine/machine_fixture.h"

namespace checks {
namespace {

constexpr uint16_t CODE_SEGMENT = 0x5000;

struct BadHandler {
    const char* name;
    std::vector<uint8_t> code;
    const char* error;
};

TEST(CallFaults, BadHandlersEndTheirCallWithAnErrorAndTheMachineCarriesOn)
{
    const std::vector<BadHandler> cases = {
        {"endless loop", {0xEB, 0xFE}, "no return within 200000 instructions"},
        {"divide by zero", {0x31, 0xC0, 0xF7, 0xF0}, "CPU fault: exception 0 at 5000:0002"},  // the DIV
        {"halt", {0xF4}, "CPU stopped at 5000:0001"},
        {"protected mode left on", {0x0F, 0x20, 0xC0, 0x0C, 0x01, 0x0F, 0x22, 0xC0, 0xEB, 0xFE}, "no return within"},
    };
    machine::MachineConfig config = machine::presetConfig("default");
    config.instructionBudget = 200'000;
    BootedMachine pc(config);
    for (const auto& c : cases) {
        std::memcpy(pc->memory() + CODE_SEGMENT * 16u, c.code.data(), c.code.size());
        const uint32_t vector = static_cast<uint32_t>(CODE_SEGMENT) << 16;
        std::memcpy(pc->memory() + 0x60 * 4, &vector, 4);
        machine::CpuRegs regs;
        const auto viaInterrupt = pc->interrupt(0x60, regs);
        EXPECT_FALSE(viaInterrupt.ok) << c.name;
        EXPECT_NE(viaInterrupt.error.find(c.error), std::string::npos) << c.name << ": " << viaInterrupt.error;
        EXPECT_LE(viaInterrupt.instructions, config.instructionBudget) << c.name;
        const auto viaFarCall = pc->farCall(CODE_SEGMENT, 0, regs);
        EXPECT_FALSE(viaFarCall.ok) << c.name;
        EXPECT_NE(pc->biosLog().find(viaFarCall.error), std::string::npos) << c.name << ": logged";

        std::memcpy(pc.buffer(), "VBE2", 4);
        EXPECT_EQ(pc.vbe(0x4F00).ax, 0x004F) << c.name << ": the machine still works";
    }
}

// A guest that keeps the GD5446's BitBLT engine busy with 8192 x 8192 fills (pitch 1, so each
// fits video memory) runs only two instructions per operation: the engine's time has to count
// against the call's budget, or the call would run for days.
TEST(CallFaults, ALoopOfHugeBitBltOperationsIsStoppedByTheBudget)
{
    std::vector<uint8_t> code = {0xBA, 0xC4, 0x03, 0xB8, 0x06, 0x12, 0xEF,  // SR06 = 12h: unlock
                                 0xBA, 0xCE, 0x03};                         // mov dx, 3CEh
    const uint8_t registers[][2] = {
        {0x20, 0xFF}, {0x21, 0x1F}, {0x22, 0xFF}, {0x23, 0x1F},  // 8192 bytes x 8192 lines
        {0x24, 0x01}, {0x25, 0x00}, {0x28, 0x00}, {0x29, 0x00},  // destination pitch 1, at 0
        {0x2A, 0x00}, {0x30, 0xC0}, {0x32, 0x0D}, {0x33, 0x04},  // solid fill, ROP source
        {0x01, 0x77}};
    for (const auto& r : registers)
        code.insert(code.end(), {0xB8, r[0], r[1], 0xEF});          // mov ax, value:index ; out dx, ax
    code.insert(code.end(), {0xB8, 0x31, 0x02, 0xEF, 0xEB, 0xFA});  // again: GR31 = 02h (start) ; jmp again
    machine::MachineConfig config = machine::presetConfig("cirrus");
    config.instructionBudget = 20'000'000;
    BootedMachine pc(config);
    std::memcpy(pc->memory() + CODE_SEGMENT * 16u, code.data(), code.size());
    const uint64_t before = pc->clock().nowMicros();
    machine::CpuRegs regs;
    const auto result = pc->farCall(CODE_SEGMENT, 0, regs);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("no return within 20000000 instructions"), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("the card engine's work"), std::string::npos) << result.error;
    EXPECT_LT(result.instructions, 1000u) << "a few instructions, the rest engine time";
    // 20 M instructions at 25 a microsecond: some 0.8 s of machine time, nearly all the engine's.
    EXPECT_GE(pc->clock().nowMicros() - before, 20'000'000u / 25);
    EXPECT_EQ(pc->lfb()[8192 + 8190], 0x77);

    std::memcpy(pc.buffer(), "VBE2", 4);
    EXPECT_EQ(pc.vbe(0x4F00).ax, 0x004F) << "the machine still works";
}

TEST(CallFaults, VirtualClockAdvancesWithTheWorkOfACall)
{
    BootedMachine pc("default");
    const uint64_t before = pc->clock().nowMicros();
    std::memcpy(pc.buffer(), "VBE2", 4);
    pc.vbe(0x4F00);
    ASSERT_TRUE(pc.lastResult.ok);
    const uint64_t spent = pc->clock().nowMicros() - before;
    EXPECT_GE(spent + 1, pc.lastResult.instructions / 25);
    EXPECT_LE(spent, pc.lastResult.instructions / 25 + 1);
}

// In unreal mode (DS with a 4 GB limit) 32-bit addressing reaches every address: the machine
// answers each one without touching host memory outside its own; reads of nothing give all
// ones and writes there are lost.
TEST(CallFaults, WildAddressesStayInsideTheMachine)
{
    BootedMachine pc("default");
    uint8_t* base = pc->memory() + CODE_SEGMENT * 16u;
    const uint8_t gdt[] = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0x92, 0xCF, 0};  // flat data
    std::memcpy(base + 0x100, gdt, sizeof gdt);
    const uint32_t gdtBase = CODE_SEGMENT * 16u + 0x100;
    const uint8_t gdtr[] = {
        15, 0, static_cast<uint8_t>(gdtBase), static_cast<uint8_t>(gdtBase >> 8), static_cast<uint8_t>(gdtBase >> 16),
        0};
    std::memcpy(base + 0x120, gdtr, sizeof gdtr);
    for (uint32_t address : {0xFFFFFFFEu, 0xFFFFFFFCu, 0x0010FFFEu, 0x0009FFFFu, 0x80000000u}) {
        uint8_t code[] = {0xFA, 0x2E, 0x0F, 0x01, 0x16, 0x20, 0x01,        // cli ; lgdt cs:[120h]
                          0x0F, 0x20, 0xC0, 0x0C, 0x01, 0x0F, 0x22, 0xC0,  // cr0.PE = 1
                          0xBB, 0x08, 0x00, 0x8E, 0xDB,                    // ds = flat selector
                          0x24, 0xFE, 0x0F, 0x22, 0xC0,                    // cr0.PE = 0, ds keeps its 4 GB limit
                          0x66, 0xBE, 0,    0,    0,    0,                 // mov esi, address
                          0x67, 0x66, 0x8B, 0x06,                          // mov eax, [esi]
                          0x67, 0x66, 0x89, 0x06,                          // mov [esi], eax
                          0x67, 0x66, 0x8B, 0x0E,                          // mov ecx, [esi]
                          0xCB};                                           // retf
        std::memcpy(code + 27, &address, 4);
        std::memcpy(base, code, sizeof code);
        machine::CpuRegs regs;
        const auto result = pc->farCall(CODE_SEGMENT, 0, regs);
        ASSERT_TRUE(result.ok) << std::hex << address << ": " << result.error;
        if (address >= 0x110000) {
            EXPECT_EQ(regs.cx, 0xFFFF) << std::hex << address;
        }
    }
}

// Real-mode code that waits for the retrace, as a driver's set-display-start does, must see
// time pass while it runs: its own instructions move the virtual clock.
TEST(CallFaults, RetracePollInRealModeEndsWithinAFrameUnderTheVirtualClock)
{
    BootedMachine pc("default");
    // mov dx,3DAh ; wait: in al,dx ; test al,8 ; jnz wait ; wait2: in al,dx ; test al,8 ; jz wait2 ; retf
    const uint8_t code[] = {0xBA, 0xDA, 0x03, 0xEC, 0xA8, 0x08, 0x75, 0xFB, 0xEC, 0xA8, 0x08, 0x74, 0xFB, 0xCB};
    std::memcpy(pc->memory() + CODE_SEGMENT * 16u, code, sizeof code);
    const uint64_t frame = 1'000'000 / pc->config().refreshHz;
    for (uint64_t offset : {uint64_t{0}, uint64_t{5000}, frame - 30}) {
        pc->clock().spend(offset);
        const uint64_t before = pc->clock().nowMicros();
        machine::CpuRegs regs;
        const auto result = pc->farCall(CODE_SEGMENT, 0, regs);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_LE(pc->clock().nowMicros() - before, frame + 100) << offset;
        const uint64_t phase = pc->clock().nowMicros() % frame;
        EXPECT_GE(phase, frame - 70) << "ended in the retrace";
    }
}

TEST(CallFaults, SameCallsGiveTheSameResultsUnderTheVirtualClock)
{
    const auto run = [] {
        BootedMachine pc("seavgabios");
        std::vector<uint64_t> trace;
        pc.vbe(0x4F02, 0x4101);
        for (uint16_t line : {10, 20, 30}) {
            pc.vbe(0x4F07, 0x0080, 0, line);
            trace.push_back(pc.lastResult.instructions);
            trace.push_back(pc->clock().nowMicros());
        }
        return trace;
    };
    EXPECT_EQ(run(), run());
}

}  // namespace
}  // namespace checks
