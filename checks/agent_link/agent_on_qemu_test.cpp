// The real agent, booted by QEMU from its floppy image: a link that flips a byte of a command
// or loses a byte of a reply is recovered from, and the agent acts on each command once; a
// link gone dead ends in one line within the time limit, with no QEMU left; the PC behind the
// agent runs the ROM's VBE, and its read-back picture is QEMU's own.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "agent_link/agent_link.h"
#include "agent_pc/client.h"
#include "agent_pc/read_back.h"
#include "engine/boot.h"
#include "checks/support/child_processes.h"

namespace {

using agent_link::AgentLink;

// The QEMU processes that are children of this one.
std::vector<pid_t> qemuChildren()
{
    return harness::childProcesses(getpid(), "qemu");
}

// Passes bytes through, but harms the frame sent as command number `harmAt` (counted from 1):
// flips one of its bytes, or loses one byte of the reply that comes back to it.
class FaultyLink final : public agent_link::ByteLink {
public:
    enum class Fault { FlipCommandByte, LoseReplyByte };
    FaultyLink(std::unique_ptr<agent_link::ByteLink> inner, Fault fault) : inner_(std::move(inner)), fault_(fault) {}

    void harm(int commandNumber) { harmAt_ = sent_ + commandNumber; }
    int harmed() const { return harmed_; }

    bool send(std::span<const uint8_t> bytes) override
    {
        ++sent_;
        if (sent_ == harmAt_ && fault_ == Fault::FlipCommandByte) {
            std::vector<uint8_t> copy(bytes.begin(), bytes.end());
            copy[copy.size() - 6] ^= 0x40;  // the payload's last byte
            ++harmed_;
            return inner_->send(copy);
        }
        if (sent_ == harmAt_)
            loseNext_ = true;
        return inner_->send(bytes);
    }

    std::vector<uint8_t> receive(int timeoutMs) override
    {
        std::vector<uint8_t> bytes = inner_->receive(timeoutMs);
        if (loseNext_ && bytes.size() > 8) {
            bytes.erase(bytes.begin() + 8);
            loseNext_ = false;
            ++harmed_;
        }
        return bytes;
    }

    bool closed() const override { return inner_->closed(); }
    std::string name() const override { return "faulty " + inner_->name(); }

private:
    std::unique_ptr<agent_link::ByteLink> inner_;
    Fault fault_;
    int sent_ = 0, harmAt_ = -1, harmed_ = 0;
    bool loseNext_ = false;
};

struct AgentOnQemu {
    explicit AgentOnQemu(FaultyLink::Fault fault)
        : client(agent_pc::startQemuClient(engine::loadMachine("qemu-serial")))
    {
        auto faulty = std::make_unique<FaultyLink>(client->connect(), fault);
        link = faulty.get();
        agent = std::make_unique<AgentLink>(std::move(faulty), 1000);
        agent->hello(60000);
    }
    std::unique_ptr<agent_pc::Client> client;
    FaultyLink* link = nullptr;
    std::unique_ptr<AgentLink> agent;
};

constexpr uint32_t SCRATCH = 0x30000;

TEST(AgentOnQemu, AFlippedCommandIsNeverActedOnAndIsSentAgain)
{
    AgentOnQemu q(FaultyLink::Fault::FlipCommandByte);
    const std::vector<uint8_t> data = {'p', 'a', 'l', 'i', 's', 'a', 'd', 'e'};
    q.agent->write(SCRATCH, std::vector<uint8_t>(8, 0));
    q.link->harm(1);
    q.agent->write(SCRATCH, data);
    EXPECT_EQ(q.link->harmed(), 1);
    EXPECT_GE(q.agent->resent(), 1u);
    EXPECT_EQ(q.agent->read(SCRATCH, 8), data);  // never the flipped byte, even for a moment
}

// Uploaded code counts its runs in memory: the lost reply is asked for again, and the agent
// answers with the reply it kept instead of running the code a second time.
TEST(AgentOnQemu, ALostReplyByteIsRecoveredWithoutRunningTheCommandTwice)
{
    AgentOnQemu q(FaultyLink::Fault::LoseReplyByte);
    const std::vector<uint8_t> countRuns = {
        0x1E,                    // push ds
        0x31, 0xC0,              // xor ax, ax
        0x8E, 0xD8,              // mov ds, ax... ds = 0
        0xB8, 0x00, 0x30,        // mov ax, 3000h
        0x8E, 0xD8,              // mov ds, ax
        0xFF, 0x06, 0x00, 0x00,  // inc word [0]
        0x1F,                    // pop ds
        0xCB,                    // retf
    };
    q.agent->write(SCRATCH, std::vector<uint8_t>(2, 0));
    q.agent->upload(0, countRuns);
    q.link->harm(1);
    EXPECT_FALSE(q.agent->run(0, agent_link::AgentRegs{}, 1000).stopped);
    EXPECT_EQ(q.link->harmed(), 1);
    EXPECT_GE(q.agent->resent(), 1u);
    EXPECT_EQ(q.agent->read(SCRATCH, 2), (std::vector<uint8_t>{1, 0}));
    EXPECT_GE(q.agent->damagedFrames(), 0u);
}

TEST(AgentOnQemu, ADeadLinkEndsInOneLineWithinTheTimeLimitAndLeavesNoQemu)
{
    auto clock = pc::makeRealClock();
    pc::MachineConfig config = engine::loadMachine("qemu-serial");
    config.linkTimeoutMs = 1000;
    {
        const std::unique_ptr<pc::Pc> pc = engine::boot(config, *clock);
        ASSERT_EQ(qemuChildren().size(), 1u);
        kill(qemuChildren().front(), SIGSTOP);  // the PC stops answering
        const auto start = std::chrono::steady_clock::now();
        try {
            pc->in8(0x3CC);
            ADD_FAILURE() << "a dead link answered";
        } catch (const pc::MachineError& error) {
            const std::string line = error.what();
            EXPECT_NE(line.find("does not answer"), std::string::npos) << line;
            EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
        EXPECT_TRUE(qemuChildren().empty());  // ended at once, not at the PC's end
    }
    EXPECT_TRUE(qemuChildren().empty());
}

TEST(AgentOnQemu, ThePcBehindTheAgentRunsTheRomAndItsReadBackPictureIsQemus)
{
    auto clock = pc::makeRealClock();
    const std::unique_ptr<pc::Pc> pc = engine::boot(engine::loadMachine("qemu-serial"), *clock);
    const uint32_t buffer = pc->freeConventionalStart();
    std::memcpy(pc->memory() + buffer, "VBE2", 4);
    pc::CpuRegs regs;
    regs.ax = 0x4F00;
    regs.es = uint16_t(buffer >> 4);
    ASSERT_TRUE(pc->interrupt(0x10, regs).ok);
    EXPECT_EQ(regs.ax, 0x004F);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pc->memory() + buffer), 4), "VESA");

    regs = {};
    regs.ax = 0x4F02;
    regs.bx = 0x4101;  // 640x480x8, linear
    ASSERT_TRUE(pc->interrupt(0x10, regs).ok);
    ASSERT_EQ(regs.ax, 0x004F);
    uint8_t* lfb = pc->lfb();
    // A band of the screen: a whole one would take most of a minute to send over the line.
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 640; ++x)
            lfb[y * 640 + x] = uint8_t((x / 8 + y / 8) & 0x3F);
    pc->out8(0x3C8, 5);
    for (uint8_t component : {0x3F, 0x20, 0x01})
        pc->out8(0x3C9, component);

    pc::Picture qemus, readBack;
    pc->scanOut(qemus);
    agent_pc::readBackPicture(*pc, readBack);
    ASSERT_EQ(qemus.width, 640);
    ASSERT_EQ(qemus.height, 480);
    EXPECT_EQ(readBack.width, 640);
    EXPECT_EQ(readBack.height, 480);
    EXPECT_EQ(readBack.bitsPerPixel, 8);
    ASSERT_EQ(readBack.pixels.size(), qemus.pixels.size());
    int differ = 0;
    for (size_t i = 0; i < qemus.pixels.size(); ++i)
        differ += (qemus.pixels[i] & 0xFCFCFC) != (readBack.pixels[i] & 0xFCFCFC);  // at the 6-bit DAC's precision
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(readBack.pixels[40], 0xFF8204u);  // pixel value 5 in the colour set above, bit-replicated
}

}  // namespace
