// The display library on the real machine, with each VGA BIOS: what reaches the screen is
// read back from the card's scan-out, the picture a monitor would show.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "platform/accel.h"
#include "platform/display.h"

namespace {

struct Booted {
    std::unique_ptr<machine::Clock> clock;
    std::unique_ptr<machine::Machine> machine;
    DisplayContext* dc = nullptr;
};

std::unique_ptr<Booted> boot(const std::string& preset)
{
    auto b = std::make_unique<Booted>();
    b->clock = machine::makeVirtualClock();
    b->machine = std::make_unique<machine::Machine>(machine::presetConfig(preset), *b->clock);
    machine::setCurrent(b->machine.get());
    b->dc = GX_init(0);
    return b;
}

struct Wanted {
    int width, height, depth;
};

// The mode number of a listed mode, or 0.
int32_t findMode(DisplayContext* dc, Wanted w, ModeInfo* out = nullptr)
{
    for (const uint16_t* m = dc->modeList; *m != 0xFFFF; ++m) {
        ModeInfo info{};
        if (GX_getModeInfo(*m, &info) && info.xResolution == w.width && info.yResolution == w.height &&
            info.bitsPerPixel == w.depth) {
            if (out) *out = info;
            return *m;
        }
    }
    return 0;
}

machine::Picture screen()
{
    machine::Picture p;
    machine::current().scanOut(p);
    return p;
}

uint32_t at(const machine::Picture& p, int x, int y)
{
    return p.pixels[size_t(y) * size_t(p.width) + size_t(x)];
}

class DisplayOnEachBios : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        b = boot(GetParam());
        ASSERT_NE(b->dc, nullptr) << "no VBE answered";
    }
    void TearDown() override
    {
        if (b && b->dc) GX_restoreMode();
        machine::setCurrent(nullptr);
    }
    // Sets a mode with the number GX_getModeName offers for it.
    bool set(Wanted w, bool useLinear)
    {
        ModeInfo info{};
        const int32_t mode = findMode(b->dc, w, &info);
        if (!mode) return false;
        char name[100];
        const int32_t number = GX_getModeName(name, &info, mode, useLinear) & 0xFFFF;
        if (!number) return false;
        return GX_setMode(number | MODE_SET_BY_TEST_RUN, 0, useLinear, info.modeSetValue) != 0;
    }
    std::unique_ptr<Booted> b;
};

TEST_P(DisplayOnEachBios, DetectsTheControllerAndCopiesItsModeList)
{
    DisplayContext* dc = b->dc;
    EXPECT_GE(dc->vbeVersion, 0x0200);
    EXPECT_EQ(dc->videoMemoryKb, 4096);
    EXPECT_EQ(dc->lfbAddress, 0xE0000000u);
    EXPECT_NE(dc->virtualLfbAvailable, 0);
    int n = 0;
    while (dc->modeList[n] != 0xFFFF) ASSERT_LT(++n, 257);
    EXPECT_GT(n, 5);

    VbeInfoBlock info;
    std::memset(&info, 0xCC, sizeof info);
    ASSERT_NE(VBE_detect(&info), 0);
    EXPECT_EQ(std::string(info.VbeSignature, 4), "VESA");
    for (uint32_t field : {info.OemStringPtr, info.OemVendorNamePtr, info.OemProductNamePtr, info.OemProductRevPtr}) {
        ASSERT_NE(field, 0u);
        EXPECT_LT(std::strlen(vbeInfoString(field)), 256u);
    }
    EXPECT_GT(std::strlen(vbeInfoString(info.OemStringPtr)), 0u);
}

TEST_P(DisplayOnEachBios, FlagsExactlyThePackedLinearModesAsAccelerated)
{
    for (const uint16_t* m = b->dc->modeList; *m != 0xFFFF; ++m) {
        ModeInfo info{};
        if (!GX_getModeInfo(*m, &info)) continue;
        SCOPED_TRACE(*m);
        char name[100];
        const int32_t linear = GX_getModeName(name, &info, *m, 1) & 0xFFFF;
        const std::string res = std::to_string(info.xResolution) + " x " + std::to_string(info.yResolution) + " ";
        const bool packed = info.bitsPerPixel >= 8;
        EXPECT_EQ((info.attributes & MODE_ATTR_ACCELERATED) != 0, packed && (linear & MODE_LINEAR_FRAMEBUFFER) != 0);
        const int32_t banked = GX_getModeName(name, &info, *m, 0) & 0xFFFF;
        EXPECT_EQ(std::string(name).rfind(res, 0), 0u) << name;
        EXPECT_EQ(banked, *m & 0x1FF);
    }
}

// The same drawing through the linear framebuffer and through the banked window gives the
// same picture: lines that cross bank boundaries, text, a clear.
TEST_P(DisplayOnEachBios, BankedDrawingMatchesLinearDrawing)
{
    for (Wanted w : {Wanted{640, 480, 8}, Wanted{800, 600, 24}, Wanted{640, 480, 32}}) {
        SCOPED_TRACE(std::to_string(w.width) + "x" + std::to_string(w.height) + "x" + std::to_string(w.depth));
        std::vector<machine::Picture> pictures;
        for (bool linear : {true, false}) {
            ASSERT_TRUE(set(w, linear));
            EXPECT_EQ(b->dc->virtualLfbActive, 0);
            GX_clear(GX_rgbColor(0, 0, 128));
            GX_beginLine();
            GX_lineFast(0, 0, b->dc->maxX, b->dc->maxY, b->dc->defaultColor);
            GX_lineFast(b->dc->maxX, 0, 0, b->dc->maxY, GX_rgbColor(255, 0, 0));
            GX_lineFast(5, -1000, 5, 100000, GX_rgbColor(0, 255, 0));
            GX_endLine();
            GX_writeText(20, 200, "Bank switching test", b->dc->defaultColor);
            pictures.push_back(screen());
        }
        ASSERT_EQ(pictures[0].pixels.size(), pictures[1].pixels.size());
        EXPECT_TRUE(pictures[0].pixels == pictures[1].pixels);
        const auto& p = pictures[0];
        EXPECT_EQ(at(p, 0, 0), at(p, p.width - 1, p.height - 1));  // both ends of the diagonal
        EXPECT_EQ(at(p, 5, 0), at(p, 5, p.height - 1));
        EXPECT_NE(at(p, 5, 0), at(p, 100, 50));
    }
}

INSTANTIATE_TEST_SUITE_P(Bioses, DisplayOnEachBios, ::testing::Values("default", "seavgabios"));

}  // namespace
