// The S3 Trio64's modes read from its registers: the register values are those DOSBox 0.74's
// S3 card held after its own VBE set each mode (measured through the agent), on a bus that
// answers the VGA's indexed registers and nothing else.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "card_reading/shown_card.h"
#include "hw/s3.h"
#include "hw/vga.h"

namespace {

// The CRTC, sequencer and graphics controller as index/data pairs, the attribute controller's
// index with the picture on, and an S3's register locks.
class RegisterBus final : public pc::Pc {
public:
    explicit RegisterBus(std::map<uint8_t, uint8_t> crtc, uint8_t gcMisc = vga::gc::MISC_GRAPHICS)
    {
        config_.card = "s3";
        config_.dispi = false;
        for (const auto& [index, value] : crtc)
            crtc_[index] = value;
        gc_[vga::gc::MISC] = gcMisc;
    }

    std::array<uint8_t, 256> crtc_{}, seq_{}, gc_{};
    uint8_t crtcIndex = 0x11;

    const pc::MachineConfig& config() const override { return config_; }
    pc::Clock& clock() override { throw std::logic_error("no clock"); }
    uint64_t serial() const override { return 1; }
    uint8_t* memory() override { return nullptr; }
    uint32_t memoryBytes() const override { return 0; }
    uint32_t conventionalBytes() const override { return 0; }
    uint32_t freeConventionalStart() const override { return 0; }
    pc::CallResult interrupt(uint8_t, pc::CpuRegs&) override { return {}; }
    pc::CallResult farCall(uint16_t, uint16_t, pc::CpuRegs&) override { return {}; }
    uint8_t in8(uint16_t port) override
    {
        switch (port) {
        case vga::crtc::INDEX_PORT: return crtcIndex;
        case vga::crtc::DATA_PORT: return crtc_[crtcIndex];
        case vga::seq::INDEX_PORT: return seqIndex_;
        case vga::seq::DATA_PORT: return seq_[seqIndex_];
        case vga::gc::INDEX_PORT: return gcIndex_;
        case vga::gc::DATA_PORT: return gc_[gcIndex_];
        case vga::attr::WRITE_PORT: return vga::attr::INDEX_PICTURE_ON;
        default: return 0;
        }
    }
    uint16_t in16(uint16_t) override { return 0xFFFF; }
    void out8(uint16_t port, uint8_t value) override
    {
        switch (port) {
        case vga::crtc::INDEX_PORT: crtcIndex = value; break;
        case vga::crtc::DATA_PORT: crtc_[crtcIndex] = value; break;
        case vga::seq::INDEX_PORT: seqIndex_ = value; break;
        case vga::seq::DATA_PORT: seq_[seqIndex_] = value; break;
        case vga::gc::INDEX_PORT: gcIndex_ = value; break;
        case vga::gc::DATA_PORT: gc_[gcIndex_] = value; break;
        default: break;
        }
    }
    void out16(uint16_t, uint16_t) override {}
    uint8_t readPhys8(uint32_t) override { return 0; }
    void writePhys8(uint32_t, uint8_t) override {}
    uint8_t* lfb() override { return nullptr; }
    uint32_t videoMemoryBytes() const override { return 2u << 20; }
    void scanOut(pc::Picture& picture) override { picture = {}; }
    void setIoLog(std::function<void(const std::string&)>) override {}
    const std::string& biosLog() const override { return log_; }

private:
    pc::MachineConfig config_;
    uint8_t seqIndex_ = 0, gcIndex_ = 0;
    std::string log_;
};

using namespace vga::crtc;
using namespace s3::crtc;

TEST(S3Reading, ModesAsDosboxsVbeLeavesTheRegisters)
{
    const struct {
        const char* mode;
        std::map<uint8_t, uint8_t> crtc;
        int width, height, bitsPerPixel;
        uint32_t lineBytes;
        uint64_t start;
    } cases[] = {
        {"101h", {{H_DISPLAY_END, 0x4F}, {OVERFLOW, 0x3E}, {V_DISPLAY_END, 0xDF}, {OFFSET, 0x50}, {MISC_1, 0x15}},
         640, 480, 8, 640, 0},
        {"110h", {{H_DISPLAY_END, 0x9F}, {OVERFLOW, 0x3E}, {V_DISPLAY_END, 0xDF}, {OFFSET, 0xA0}, {MISC_1, 0x15},
                  {EXT_MISC_CONTROL_2, 0x30}},
         640, 480, 15, 1280, 0},
        {"112h, lines past 2 KB",
         {{H_DISPLAY_END, 0x4F}, {OVERFLOW, 0x3E}, {V_DISPLAY_END, 0xDF}, {OFFSET, 0x40}, {MISC_1, 0x15},
          {EXT_MODE, 0x04}, {EXT_SYSTEM_CONTROL_2, 0x10}, {EXT_MISC_CONTROL_2, 0xD0}},
         640, 480, 32, 2560, 0},
        {"114h, display end past 255 characters",
         {{H_DISPLAY_END, 0xC7}, {OVERFLOW, 0xF0}, {V_DISPLAY_END, 0x57}, {OFFSET, 0xC8}, {MISC_1, 0x15},
          {EXT_H_OVERFLOW, 0x01}, {EXT_MISC_CONTROL_2, 0x50}},
         800, 600, 16, 1600, 0},
        {"107h, 1024 lines", {{H_DISPLAY_END, 0x9F}, {OVERFLOW, 0x52}, {V_DISPLAY_END, 0xFF}, {OFFSET, 0xA0},
                              {MISC_1, 0x15}, {EXT_V_OVERFLOW, 0x55}},
         1280, 1024, 8, 1280, 0},
        {"101h started at line 3000 (CR69)",
         {{H_DISPLAY_END, 0x4F}, {OVERFLOW, 0x3E}, {V_DISPLAY_END, 0xDF}, {OFFSET, 0x50}, {MISC_1, 0x15},
          {START_ADDRESS_HIGH, 0x53}, {START_ADDRESS_LOW, 0x01}, {EXT_SYSTEM_CONTROL_2, 0x03},
          {EXT_SYSTEM_CONTROL_3, 0x07}},
         640, 480, 8, 640, 0x75301 * 4},
        {"101h started at line 1000 (CR51 alone)",
         {{H_DISPLAY_END, 0x4F}, {OVERFLOW, 0x3E}, {V_DISPLAY_END, 0xDF}, {OFFSET, 0x50}, {MISC_1, 0x15},
          {START_ADDRESS_HIGH, 0x71}, {EXT_SYSTEM_CONTROL_2, 0x02}},
         640, 480, 8, 640, 0x27100 * 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        RegisterBus bus(c.crtc);
        const card_reading::ShownCard shown = card_reading::readShownCard(bus);
        EXPECT_TRUE(shown.graphics && shown.extended);
        EXPECT_EQ(shown.width, c.width);
        EXPECT_EQ(shown.height, c.height);
        EXPECT_EQ(shown.bitsPerPixel, c.bitsPerPixel);
        EXPECT_EQ(shown.lineBytes, c.lineBytes);
        EXPECT_EQ(shown.start, c.start);
    }
}

TEST(S3Reading, LeavesTheLocksAndTheIndexAsItFoundThem)
{
    RegisterBus bus({{MISC_1, 0x15}, {REGISTER_LOCK_1, 0x00}, {REGISTER_LOCK_2, 0x5A}});
    bus.crtcIndex = 0x13;
    card_reading::readShownCard(bus);
    EXPECT_EQ(bus.crtc_[REGISTER_LOCK_1], 0x00);
    EXPECT_EQ(bus.crtc_[REGISTER_LOCK_2], 0x5A);
    EXPECT_EQ(bus.crtcIndex, 0x13);
}

TEST(S3Reading, AVgaModeIsNotTheS3s)
{
    // 102h, planar: CR3A without its enhanced 256-colour bit.
    RegisterBus bus({{H_DISPLAY_END, 0x63}, {MISC_1, 0x05}});
    EXPECT_FALSE(card_reading::readShownCard(bus).extended);
}

}  // namespace
