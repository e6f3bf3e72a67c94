#include <gtest/gtest.h>

#include "display/mode_name.h"

using namespace display;

namespace {

struct NameCase {
    ModeFacts mode;
    bool useLinear, virtualLinear;
    uint32_t number, setWith;
    const char* name;
};

TEST(ModeOffer, NumberAndNameFollowTheWayTheModeIsDrawn)
{
    const ModeFacts linear8{640, 480, 8, false, true, true};
    const ModeFacts bankedOnly16{800, 600, 16, false, false, true};
    const ModeFacts planar4{800, 600, 4, true, false, true};
    const ModeFacts lfbOnly32{1024, 768, 32, false, true, false};
    const NameCase cases[] = {
        {linear8, true, true, 0x101, 0x4101, "640 x 480 256 colours (linear)"},
        {linear8, false, true, 0x101, 0x101, "640 x 480 256 colours (banked)"},
        {linear8, true, true, 0x6101, 0x4101, "640 x 480 256 colours (linear)"},
        {bankedOnly16, true, true, 0x114, 0x114, "800 x 600 64K colours (virtual linear)"},
        {bankedOnly16, true, false, 0x114, 0, ""},
        {planar4, false, true, 0x102, 0x102, "800 x 600 16 colours (planar)"},
        {planar4, true, true, 0x102, 0, ""},
        {lfbOnly32, false, true, 0x140, 0, ""},
        {lfbOnly32, true, false, 0x140, 0x4140, "1024 x 768 16M colours 32 bit (linear)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Access access = chooseAccess(c.mode, c.useLinear, c.virtualLinear);
        EXPECT_EQ(setNumber(c.number, access), c.setWith);
        if (access != Access::NONE) {
            EXPECT_EQ(modeName(c.mode, access), c.name);
        }
    }
}

TEST(ModeOffer, ColourCountsNameEveryDepth)
{
    const std::pair<int, const char*> cases[] = {{4, "16 colours"},   {8, "256 colours"},  {15, "32K colours"},
                                                 {16, "64K colours"}, {24, "16M colours"}, {32, "16M colours 32 bit"}};
    for (auto [depth, text] : cases)
        EXPECT_EQ(colourCount(depth), text);
}

}  // namespace
