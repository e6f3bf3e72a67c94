// The GD5446's accelerator back end on the real machine against the software path: each
// case draws on the card (through its BitBLT engine where it can) and on a copy of video
// memory in software, from the same random screen, and video memory must come out the same.
// The I/O log tells whether the engine did the work. The cursor is read back from the card.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "accel/cursor_test.h"
#include "display/accel_backend.h"
#include "display_accel/cirrus_accel.h"
#include "display/hardware_bus.h"
#include "display_bus/pc_bus.h"
#include "machine/card.h"
#include "machine/machine.h"
#include "platform/display.h"

namespace {

using display::AccelBackend;
using display::AccelState;
using display::Surface;
using display::Transparency;

// Software drawing: the back end's defaults.
class SoftwareBackend : public AccelBackend {
public:
    uint32_t entries() const override { return 0; }
};

struct Case {
    const char* name;
    bool engine;  // every operation runs on the engine; otherwise none does
    std::function<void(AccelBackend&, const Surface&, AccelState&)> draw;
};

constexpr uint8_t PATTERN[8] = {0xF8, 0x74, 0x22, 0x47, 0x8F, 0x17, 0x22, 0x71};
// A mono image whose rows are not symmetric, so that a reversed bit order shows.
constexpr uint8_t IMAGE[3][5] = {
    {0x80, 0x01, 0xC3, 0x5A, 0x0F}, {0x7F, 0xFE, 0x3C, 0xA5, 0xF0}, {0x12, 0x34, 0x56, 0x78, 0x9A}};

void setMix(AccelState& st, int32_t fg, int32_t bg)
{
    st.foregroundMix = fg;
    st.backgroundMix = bg;
}

// Pixel values that the random screen is made of, so that a transparent key matches often.
constexpr uint32_t SCREEN_COLOURS[4] = {0x00000000, 0x0000A512, 0x00003C34, 0x000000AB};
constexpr uint32_t KEY = SCREEN_COLOURS[1];

const std::vector<Case>& cases()
{
    static const std::vector<Case> list = {
        {"rectangles and scans in every mix", true,
         [](AccelBackend& b, const Surface& s, AccelState& st) {
             for (int32_t mix = 0; mix <= 4; ++mix) {
                 setMix(st, mix, mix);
                 b.drawRect(s, st, 0x5AC3 + uint32_t(mix), 17 + 50 * mix, 21, 45, 13);
                 b.drawScan(s, st, 0x0F0F, 40 + mix, 300, 211);  // given right to left
             }
             const int16_t scans[] = {10, 30, 25, 5, 7, 8};
             setMix(st, 3, 3);
             b.drawScanList(s, st, 0x1234, 60, 3, scans);
         }},
        {"pattern rectangles and scans at odd corners in two mixes", true,
         [](AccelBackend& b, const Surface& s, AccelState& st) {
             std::memcpy(st.pattern, PATTERN, 8);
             const int32_t mixes[][2] = {{0, 0}, {3, 4}, {4, 1}, {2, 3}};
             int x = 13;
             for (const auto& m : mixes) {
                 setMix(st, m[0], m[1]);
                 b.drawPattRect(s, st, 0xC0DE, 0x0BAD, x, 7, 61, 19);
                 b.drawPattScan(s, st, 0xC0DE, 0x0BAD, 31, x + 3, x + 40);
                 x += 70;
             }
         }},
        {"mono images cut by the clip on the left, in two mixes", true,
         [](AccelBackend& b, const Surface& s, AccelState& st) {
             st.clip = {101, 0, 500, 479};
             const int32_t mixes[][2] = {{0, 0}, {0, 4}, {4, 3}, {3, 1}};
             int y = 33;
             for (const auto& m : mixes) {
                 setMix(st, m[0], m[1]);
                 b.putMonoImage(s, st, 0xBEEF, 0x0F00, 97, y, 5, 3, &IMAGE[0][0]);
                 b.putMonoImage(s, st, 0xBEEF, 0x0F00, 131, y + 5, 5, 3, &IMAGE[0][0]);
                 y += 10;
             }
         }},
        {"overlapping copies in every direction, replace and XOR", true,
         [](AccelBackend& b, const Surface& s, AccelState& st) {
             const int moves[][2] = {{0, 3}, {0, -3}, {5, 0}, {-5, 0}, {7, 2}, {-7, -2}, {4, -6}, {-4, 6}};
             for (int32_t mix : {0, 3})
                 for (const auto& m : moves)
                     b.bitBlt(s, st, 100, 100, 120, 80, 100 + m[0], 100 + m[1], mix, Transparency::NONE, 0);
         }},
        {"linear-source copies forwards and backwards", true,
         [](AccelBackend& b, const Surface& s, AccelState& st) {
             const int64_t line = s.bytesPerLine;
             b.bitBltLin(s, st, 200 * line + 8 * s.bytesPerPixel, 10, 190, 50, 30, 0, Transparency::NONE, 0);
             b.bitBltLin(s, st, 250 * line, 30, 260, 50, 30, 1, Transparency::NONE, 0);
         }},
        {"source-transparent copies in replace", true,
         [](AccelBackend& b, const Surface& s, AccelState& st) {
             b.bitBlt(s, st, 100, 100, 120, 80, 300, 50, 0, Transparency::SOURCE, KEY);
             b.bitBlt(s, st, 100, 100, 120, 80, 103, 101, 0, Transparency::SOURCE, KEY);
             b.bitBltLin(s, st, 150 * s.bytesPerLine, 400, 300, 64, 40, 0, Transparency::SOURCE, KEY);
         }},
        {"source-transparent copies in XOR and destination-transparent ones", false,
         [](AccelBackend& b, const Surface& s, AccelState& st) {
             b.bitBlt(s, st, 100, 100, 120, 80, 300, 50, 3, Transparency::SOURCE, KEY);
             b.bitBlt(s, st, 100, 100, 120, 80, 103, 101, 0, Transparency::DESTINATION, KEY);
             b.bitBltLin(s, st, 150 * s.bytesPerLine, 400, 300, 64, 40, 0, Transparency::DESTINATION, KEY);
         }},
    };
    return list;
}

class CirrusAccelerator : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        machine::MachineConfig config = machine::presetConfig("cirrus");
        config.svgaScreenOffBlanks = false;  // the cursor shows although the BIOS sets SR01 bit 5
        pc_ = std::make_unique<machine::Machine>(config, *clock_);
        machine::setCurrent(pc_.get());
        display_bus::connectCurrentMachine();
        DisplayContext* dc = GX_init(0);
        ASSERT_NE(dc, nullptr);
        int32_t mode = 0;
        ModeInfo info{};
        for (const uint16_t* m = dc->modeList; *m != 0xFFFF && !mode; ++m)
            if (GX_getModeInfo(*m, &info) && info.xResolution == 640 && info.yResolution == 480 &&
                info.bitsPerPixel == GetParam())
                mode = *m;
        ASSERT_NE(mode, 0);
        ASSERT_TRUE(GX_getModeInfo(mode, &info));
        ASSERT_TRUE(GX_setMode(mode | MODE_LINEAR_FRAMEBUFFER, 0, 1, info.modeSetValue));
        backend_ = display::probeCirrusAccel(*display::bus());
        ASSERT_NE(backend_, nullptr);
        screen_.memory = pc_->lfb();
        screen_.memoryBytes = pc_->videoMemoryBytes();
        screen_.width = 640;
        screen_.height = 480;
        screen_.bytesPerLine = info.bytesPerScanLine;
        screen_.bytesPerPixel = (GetParam() + 7) / 8;
        pc_->setIoLog([this](const std::string& line) { engineRuns_ += line.rfind("blt ", 0) == 0; });
    }

    void TearDown() override
    {
        pc_->setIoLog({});
        machine::setCurrent(nullptr);
    }

    // Random pixels of SCREEN_COLOURS over the screen and the lines below it.
    void randomScreen()
    {
        std::mt19937 random(7);
        const size_t pixels = size_t(screen_.bytesPerLine) * 600 / size_t(screen_.bytesPerPixel);
        for (size_t i = 0; i < pixels; ++i) {
            const uint32_t colour = SCREEN_COLOURS[random() % 4];
            for (int k = 0; k < screen_.bytesPerPixel; ++k)
                screen_.memory[i * size_t(screen_.bytesPerPixel) + size_t(k)] = uint8_t(colour >> (8 * k));
        }
    }

    std::unique_ptr<machine::Clock> clock_ = machine::makeVirtualClock();
    std::unique_ptr<machine::Machine> pc_;
    std::unique_ptr<AccelBackend> backend_;
    Surface screen_;
    int engineRuns_ = 0;
};

TEST_P(CirrusAccelerator, DrawsWhatTheSoftwarePathDraws)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        randomScreen();
        std::vector<uint8_t> expected(screen_.memory, screen_.memory + screen_.memoryBytes);
        Surface copy = screen_;
        copy.memory = expected.data();
        AccelState software, engine;
        SoftwareBackend reference;
        c.draw(reference, copy, software);
        engineRuns_ = 0;
        c.draw(*backend_, screen_, engine);
        if (c.engine)
            EXPECT_GT(engineRuns_, 0);
        else
            EXPECT_EQ(engineRuns_, 0);
        size_t differ = 0, first = 0;
        for (size_t i = 0; i < expected.size(); ++i)
            if (screen_.memory[i] != expected[i] && differ++ == 0)
                first = i;
        EXPECT_EQ(differ, 0u) << "first at byte " << first << " (line " << first / size_t(screen_.bytesPerLine) << ")";
    }
}

TEST_P(CirrusAccelerator, CursorIsTheChipsOwnWithItsHotSpotEvenPastTheTopLeft)
{
    randomScreen();
    const std::vector<uint8_t> before(screen_.memory, screen_.memory + 640 * 480 * screen_.bytesPerPixel);
    backend_->setCursorImage(arrowCursor);
    backend_->setCursorColor(255, 0, 255);
    backend_->showCursor(true);
    // The image pixel (column, row) as the chip must show it.
    auto expected = [](int column, int row) {
        if (column < 0 || row < 0 || column >= 32 || row >= 32)
            return machine::CursorSprite::TRANSPARENT;
        const int byte = row * 4 + column / 8, bit = 0x80 >> (column % 8);
        if (!(arrowCursor.secondMask[byte] & bit))
            return machine::CursorSprite::TRANSPARENT;
        return (arrowCursor.firstMask[byte] & bit) ? 0xFF00FFu : 0u;
    };
    const struct {
        int x, y;
    } places[] = {{300, 200}, {3, 2}, {300, 200}};  // the second leaves 5 columns and 6 rows off
    for (const auto& place : places) {
        SCOPED_TRACE(std::to_string(place.x) + ", " + std::to_string(place.y));
        backend_->setCursorPosition(place.x, place.y);
        machine::CursorSprite sprite;
        ASSERT_TRUE(pc_->card().cursorSprite(sprite));
        const int left = place.x - arrowCursor.hotX, top = place.y - arrowCursor.hotY;
        EXPECT_EQ(sprite.left, std::max(left, 0));
        EXPECT_EQ(sprite.top, std::max(top, 0));
        int differ = 0;
        for (int row = 0; row < sprite.size; ++row)
            for (int column = 0; column < sprite.size; ++column)
                differ += sprite.pixels[size_t(row * sprite.size + column)] !=
                          expected(sprite.left + column - left, sprite.top + row - top);
        EXPECT_EQ(differ, 0);
    }
    backend_->showCursor(false);
    machine::CursorSprite sprite;
    EXPECT_FALSE(pc_->card().cursorSprite(sprite));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), screen_.memory)) << "the cursor is not drawn into the screen";
}

INSTANTIATE_TEST_SUITE_P(Depths, CirrusAccelerator, ::testing::Values(8, 16),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

}  // namespace
