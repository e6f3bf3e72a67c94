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

TEST(CallFaults, BadHandlersEndTheirCallWithAnErrorAndTheMachineCarriesOn) {
    const std::vector<BadHandler> cases = {
        {"endless loop", {0xEB, 0xFE}, "no return within 200000 instructions"},
        {"divide by zero", {0x31, 0xC0, 0xF7, 0xF0}, "CPU fault: exception 0"},
        {"halt", {0xF4}, "CPU stopped at 5000:0001"},
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

TEST(CallFaults, VirtualClockAdvancesWithTheWorkOfACall) {
    BootedMachine pc("default");
    const uint64_t before = pc->clock().nowMicros();
    std::memcpy(pc.buffer(), "VBE2", 4);
    pc.vbe(0x4F00);
    ASSERT_TRUE(pc.lastResult.ok);
    const uint64_t spent = pc->clock().nowMicros() - before;
    EXPECT_GE(spent + 1, pc.lastResult.instructions / 25);
    EXPECT_LE(spent, pc.lastResult.instructions / 25 + 1);
}

TEST(CallFaults, SameCallsGiveTheSameResultsUnderTheVirtualClock) {
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
