// QEMU's PC behind the PC interface: booted to the boot sector, driven through int 10h, its
// ports, shared memory and video memory, pictured by its screendump, and gone afterwards.
// Bad descriptions end in one line without a QEMU left behind.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/boot.h"
#include "hw/cirrus.h"
#include "hw/vga.h"
#include "checks/support/child_processes.h"

namespace {

bool processExists(pid_t pid)
{
    return pid > 0 && kill(pid, 0) == 0;
}

// The QEMU processes that are children of this one.
std::vector<pid_t> qemuChildren()
{
    return harness::childProcesses(getpid(), "qemu");
}

// A budget no call that returns comes near, however loaded the machine: QEMU runs in real
// time, and its first calls translate the ROM's code.
constexpr uint32_t GENEROUS_BUDGET_MS = 30000;

TEST(QemuPc, RunsTheRomsVbeAndShowsWhatWasDrawn)
{
    auto clock = pc::makeRealClock();
    pid_t qemu = 0;
    {
        pc::MachineConfig config = engine::loadMachine("qemu-vga");
        config.callBudgetMs = GENEROUS_BUDGET_MS;
        const std::unique_ptr<pc::Pc> pc = engine::boot(config, *clock);
        ASSERT_EQ(qemuChildren().size(), 1u);
        qemu = qemuChildren().front();

        // 4F00 into shared conventional memory.
        std::memcpy(pc->memory() + 0x3000, "VBE2", 4);
        pc::CpuRegs regs;
        regs.ax = 0x4F00;
        regs.es = 0x0300;
        ASSERT_TRUE(pc->interrupt(0x10, regs).ok);
        EXPECT_EQ(regs.ax, 0x004F);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(pc->memory() + 0x3000), 4), "VESA");

        // 640x480x8 with the linear framebuffer; a palette entry and a pixel, drawn from the host.
        regs = {};
        regs.ax = 0x4F02;
        regs.bx = 0x4101;
        ASSERT_TRUE(pc->interrupt(0x10, regs).ok);
        ASSERT_EQ(regs.ax, 0x004F);
        pc->out8(vga::dac::WRITE_INDEX_PORT, 7);
        for (uint8_t component : {0x3F, 0x00, 0x20})
            pc->out8(vga::dac::DATA_PORT, component);
        pc->lfb()[640 * 10 + 20] = 7;
        pc::Picture picture;
        pc->scanOut(picture);
        ASSERT_EQ(picture.width, 640);
        ASSERT_EQ(picture.height, 480);
        EXPECT_EQ(picture.bitsPerPixel, 8);
        // QEMU widens 6-bit values as v<<2 | (v&1)<<1 | (v&1): 3Fh -> FFh, 20h -> 80h.
        EXPECT_EQ(picture.pixels[640 * 10 + 20], 0xFF0080u);
        EXPECT_EQ(picture.pixels[0], 0u);
    }
    EXPECT_FALSE(processExists(qemu)) << "QEMU outlived its PC";
}

// QEMU's VGA starts the display at a multiple of 4 bytes: an x offset of 497 at 8 bits shows
// from pixel 496, and the PC names that departure while the offset is in force.
TEST(QemuPc, NamesTheDisplayStartItsVgaRoundsDown)
{
    auto clock = pc::makeRealClock();
    pc::MachineConfig config = engine::loadMachine("qemu-vga");
    config.callBudgetMs = GENEROUS_BUDGET_MS;
    const std::unique_ptr<pc::Pc> pc = engine::boot(config, *clock);
    pc::CpuRegs regs;
    regs.ax = 0x4F02;
    regs.bx = 0x4101;  // 640x480x8, linear
    ASSERT_TRUE(pc->interrupt(0x10, regs).ok);
    ASSERT_EQ(regs.ax, 0x004F);
    // Palette entry v is grey v mod 64; each byte of the first line holds its own offset.
    pc->out8(vga::dac::WRITE_INDEX_PORT, 0);
    for (int entry = 0; entry < 256; ++entry)
        for (int component = 0; component < 3; ++component)
            pc->out8(vga::dac::DATA_PORT, uint8_t(entry & 0x3F));
    for (uint32_t x = 0; x < 1280; ++x)
        pc->lfb()[x] = uint8_t(x);
    for (const uint16_t start : {496, 497}) {
        regs = {};
        regs.ax = 0x4F07;
        regs.cx = start;
        ASSERT_TRUE(pc->interrupt(0x10, regs).ok);
        pc::Picture shown;
        pc->scanOut(shown);
        ASSERT_EQ(shown.width, 640);
        EXPECT_EQ(shown.pixels[0] >> 18, 496u % 64) << "start " << start << ": shows from pixel 496";
        EXPECT_EQ(pc->departuresMet().size(), start % 4 ? 1u : 0u) << start;
    }
    ASSERT_EQ(pc->departuresMet().size(), 1u);
    EXPECT_NE(pc->departuresMet().front().find("x offset 497 at 8 bits shows from pixel 496"), std::string::npos)
        << pc->departuresMet().front();
}

// A busy-wait runs on QEMU's CPU, queued with the writes: it asks the card, and makes its
// writes only when the bits never read clear.
TEST(QemuPc, AWaitMakesItsWritesOnlyWhenTheBitsNeverReadClear)
{
    auto clock = pc::makeRealClock();
    pc::MachineConfig config = engine::loadMachine("qemu-vga");
    config.callBudgetMs = GENEROUS_BUDGET_MS;
    const std::unique_ptr<pc::Pc> pc = engine::boot(config, *clock);
    struct Case {
        uint8_t held;      // in the set/reset register while the wait polls its bit 0
        uint8_t expected;  // there afterwards
    };
    const uint16_t writes[] = {uint16_t(0x05 << 8 | vga::gc::SET_RESET), uint16_t(0x06 << 8 | vga::gc::SET_RESET)};
    for (const Case c : {Case{0x0E, 0x0E}, Case{0x0F, 0x06}}) {
        pc->out16(vga::gc::INDEX_PORT, uint16_t(c.held << 8 | vga::gc::SET_RESET));
        pc->waitIndexedClear(vga::gc::INDEX_PORT, vga::gc::SET_RESET, 0x01, 50, writes);
        pc->out8(vga::gc::INDEX_PORT, vga::gc::SET_RESET);
        EXPECT_EQ(pc->in8(vga::gc::DATA_PORT), c.expected) << "held " << int(c.held);
    }
}

// The host draws into the shadow after a BitBLT operation it queued: its bytes go to the card
// after the engine's, and only its bytes, so the engine's drawing between them survives.
TEST(QemuPc, HostDrawingAfterAQueuedEngineOperationLeavesTheEnginesBytesBetween)
{
    using namespace cirrus;
    auto clock = pc::makeRealClock();
    pc::MachineConfig config = engine::loadMachine("qemu-cirrus");
    config.callBudgetMs = GENEROUS_BUDGET_MS;
    const std::unique_ptr<pc::Pc> pc = engine::boot(config, *clock);
    pc::CpuRegs regs;
    regs.ax = 0x4F02;
    regs.bx = 0x4101;  // 640x480x8, linear
    ASSERT_TRUE(pc->interrupt(0x10, regs).ok);
    uint8_t* shadow = pc->lfb();
    ASSERT_EQ(shadow[50], 0);
    pc->out16(vga::seq::INDEX_PORT, uint16_t(seq::UNLOCK_KEY << 8 | seq::UNLOCK));
    // A solid fill of the first 200 bytes in 33h, started and not waited for.
    const std::pair<uint8_t, uint8_t> fill[] = {{gc::BLT_STATUS, 0},
                                                {gc::FOREGROUND0, 0x33},
                                                {gc::BLT_WIDTH, 199},
                                                {gc::BLT_WIDTH + 1, 0},
                                                {gc::BLT_HEIGHT, 0},
                                                {gc::BLT_HEIGHT + 1, 0},
                                                {gc::BLT_DST_PITCH, 0x80},
                                                {gc::BLT_DST_PITCH + 1, 0x02},
                                                {gc::BLT_LEFT_SKIP, 0},
                                                {gc::BLT_MODE, gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_PATTERN},
                                                {gc::BLT_ROP, rop::SRC},
                                                {gc::BLT_MODE_EXTENSION, gc::BLT_MODE_EXTENSION_SOLID_FILL},
                                                {gc::BLT_DST_ADDRESS, 0},
                                                {gc::BLT_DST_ADDRESS + 1, 0},
                                                {gc::BLT_DST_ADDRESS + 2, 0},
                                                {gc::BLT_STATUS, gc::BLT_STATUS_START}};
    for (const auto& [index, value] : fill)
        pc->out16(vga::gc::INDEX_PORT, uint16_t(value << 8 | index));
    shadow[0] = 0x11;  // drawn after the fill, through the pointer kept from before it
    shadow[100] = 0x22;
    pc::Picture picture;
    pc->scanOut(picture);
    const uint8_t* vram = pc->lfb();
    EXPECT_EQ(vram[0], 0x11);
    EXPECT_EQ(vram[50], 0x33) << "the engine's byte between the host's two";
    EXPECT_EQ(vram[100], 0x22);
    EXPECT_EQ(vram[199], 0x33);
}

// QEMU's GD5446 takes the dword-padded rows of a colour expansion from system memory as a
// byte per dword: the engine ends early, the rest of the data goes through the window to video
// memory byte 0, and the PC names the departure until a mode set clears video memory.
TEST(QemuPc, NamesTheCirrusDepartureItsTrafficMeets)
{
    using namespace cirrus;
    auto clock = pc::makeRealClock();
    pc::MachineConfig config = engine::loadMachine("qemu-cirrus");
    config.callBudgetMs = GENEROUS_BUDGET_MS;
    const std::unique_ptr<pc::Pc> pc = engine::boot(config, *clock);
    pc::CpuRegs regs;
    regs.ax = 0x4F02;
    regs.bx = 0x4101;  // 640x480x8, linear
    ASSERT_TRUE(pc->interrupt(0x10, regs).ok);
    ASSERT_EQ(regs.ax, 0x004F);
    EXPECT_TRUE(pc->departuresMet().empty());

    auto graphics = [&](uint8_t index, uint8_t value) { pc->out16(vga::gc::INDEX_PORT, uint16_t(value << 8 | index)); };
    auto busy = [&] {
        pc->out8(vga::gc::INDEX_PORT, gc::BLT_STATUS);
        return (pc->in8(vga::gc::DATA_PORT) & (gc::BLT_STATUS_BUSY | gc::BLT_STATUS_START)) != 0;
    };
    pc->out16(vga::seq::INDEX_PORT, uint16_t(seq::UNLOCK_KEY << 8 | seq::UNLOCK));
    // An image 32 pixels wide, four rows of a dword each, in colour 0Fh on 00h at 4096.
    const std::pair<uint8_t, uint8_t> setUp[] = {{gc::BLT_STATUS, 0},
                                                 {gc::BACKGROUND0, 0x00},
                                                 {gc::FOREGROUND0, 0x0F},
                                                 {gc::BLT_WIDTH, 31},
                                                 {gc::BLT_WIDTH + 1, 0},
                                                 {gc::BLT_HEIGHT, 3},
                                                 {gc::BLT_HEIGHT + 1, 0},
                                                 {gc::BLT_DST_PITCH, 0x80},
                                                 {gc::BLT_DST_PITCH + 1, 0x02},
                                                 {gc::BLT_LEFT_SKIP, 0},
                                                 {gc::BLT_MODE, gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_SRC_SYSTEM},
                                                 {gc::BLT_ROP, rop::SRC},
                                                 {gc::BLT_MODE_EXTENSION, gc::BLT_MODE_EXTENSION_DWORD_ROWS},
                                                 {gc::BLT_DST_ADDRESS, 0},
                                                 {gc::BLT_DST_ADDRESS + 1, 0x10},
                                                 {gc::BLT_DST_ADDRESS + 2, 0},
                                                 {gc::BLT_STATUS, gc::BLT_STATUS_START}};
    for (const auto& [index, value] : setUp)
        graphics(index, value);
    int taken = 0;
    for (int i = 1; i <= 16; ++i) {
        pc->writePhys8(vga::WINDOW_START, uint8_t(0x11 * i));
        if (taken == 0 && !busy())
            taken = i;
    }
    EXPECT_EQ(taken, 4) << "QEMU's engine took the image's 16 bytes as the GD5446 does: the departure is gone";
    EXPECT_EQ(pc->lfb()[0], 0x10) << "the last byte left over, 110h, lands at byte 0";
    ASSERT_EQ(pc->departuresMet().size(), 1u);
    EXPECT_NE(pc->departuresMet().front().find("GR33 bit 0"), std::string::npos) << pc->departuresMet().front();

    regs = {};
    regs.ax = 0x4F02;
    regs.bx = 0x4101;
    ASSERT_TRUE(pc->interrupt(0x10, regs).ok);
    EXPECT_TRUE(pc->departuresMet().empty()) << "video memory was cleared";
}

TEST(QemuPc, ACallThatNeverReturnsIsStoppedWithinItsBudgetAndSaysWhere)
{
    auto clock = pc::makeRealClock();
    pc::MachineConfig config = engine::loadMachine("qemu-vga");
    config.callBudgetMs = 300;
    const std::unique_ptr<pc::Pc> pc = engine::boot(config, *clock);
    const uint8_t loop[] = {0xEB, 0xFE};  // jmp $
    std::memcpy(pc->memory() + 0x4000, loop, sizeof loop);
    pc::CpuRegs regs;
    const auto start = std::chrono::steady_clock::now();
    const pc::CallResult stuck = pc->farCall(0x0400, 0, regs);
    const auto taken = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(stuck.ok);
    EXPECT_NE(stuck.error.find("no return within 300 ms"), std::string::npos) << stuck.error;
    EXPECT_NE(stuck.error.find("0400:0000"), std::string::npos) << stuck.error;
    EXPECT_GE(taken, std::chrono::milliseconds(300));
    // The budget and the stub's answer to the host's stop, which a loaded machine may delay.
    EXPECT_LT(taken, std::chrono::seconds(6));
    // The PC goes on after the stop.
    regs = {};
    regs.ax = 0x4F03;
    EXPECT_TRUE(pc->interrupt(0x10, regs).ok);
}

TEST(QemuPc, AGdbstubThatStopsAnsweringIsOneLineAndEndsItsQemu)
{
    auto clock = pc::makeRealClock();
    pc::MachineConfig config = engine::loadMachine("qemu-vga");
    config.callBudgetMs = GENEROUS_BUDGET_MS;
    const std::unique_ptr<pc::Pc> pc = engine::boot(config, *clock);
    ASSERT_EQ(qemuChildren().size(), 1u);
    kill(qemuChildren().front(), SIGSTOP);  // alive, but its gdbstub never answers again
    const auto start = std::chrono::steady_clock::now();
    try {
        pc::CpuRegs regs;
        regs.ax = 0x4F03;
        pc->interrupt(0x10, regs);
        ADD_FAILURE() << "a call on a stopped QEMU returned";
    } catch (const pc::MachineError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("stopped answering"), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    // The stub's answer is awaited 5 s, whatever the call's budget.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_TRUE(qemuChildren().empty()) << "the silent QEMU was left behind";
}

TEST(QemuPc, ADescriptionQemuCannotRunIsOneLineAndLeavesNoQemu)
{
    const std::string folder = ::testing::TempDir() + "qemu-pc-test";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/empty.rom").flush();
    struct Case {
        const char* why;
        std::function<void(pc::MachineConfig&)> change;
        const char* says;
    };
    const Case cases[] = {
        {"a card QEMU lacks", [](pc::MachineConfig& c) { c.dispi = false; }, "QEMU has no card like stdvga"},
        {"QEMU not installed", [](pc::MachineConfig& c) { c.qemuBinary = "/nonexistent/qemu-system-i386"; },
         "install the Debian package qemu-system-x86"},
        {"a ROM QEMU will not start with", [&](pc::MachineConfig& c) { c.romPath = folder + "/empty.rom"; }, "QEMU"},
        {"video memory QEMU's Cirrus refuses",
         [](pc::MachineConfig& c) {
             c.card = "cirrus";
             c.dispi = false;
             c.videoMemoryKb = 2048;
         },
         "QEMU"},
    };
    auto clock = pc::makeRealClock();
    for (const Case& c : cases) {
        pc::MachineConfig config = engine::loadMachine("qemu-vga");
        c.change(config);
        try {
            engine::boot(config, *clock);
            ADD_FAILURE() << c.why << ": booted";
        } catch (const pc::MachineError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.says), std::string::npos) << c.why << ": " << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << c.why << ": " << message;
        }
        EXPECT_TRUE(qemuChildren().empty()) << c.why << ": QEMU left behind";
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
