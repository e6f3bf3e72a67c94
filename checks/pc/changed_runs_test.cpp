// The runs an engine sends from its host copy of the PC's memory.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pc/changed_runs.h"

namespace {

struct Case {
    const char* what;
    std::vector<uint32_t> changed;  // offsets written in the shadow
    uint32_t bridge;
    std::vector<pc::ByteRun> runs;
};

TEST(ChangedRuns, RunsCoverEveryChangeBridgeShortGapsAndBringTheCopyUpToDate)
{
    const Case cases[] = {
        {"nothing changed", {}, 4, {}},
        {"one byte", {100}, 4, {{100, 101}}},
        {"a gap within the bridge is sent", {10, 13}, 4, {{10, 14}}},
        {"a gap past the bridge starts a new run", {10, 20}, 4, {{10, 11}, {20, 21}}},
        {"without a bridge every gap splits", {10, 12}, 0, {{10, 11}, {12, 13}}},
        {"a run across the compare steps", {62, 63, 64, 65}, 0, {{62, 66}}},
        {"the first and the last byte", {0, 255}, 4, {{0, 1}, {255, 256}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> shadow(256, 0x55), synced(256, 0x55);
        for (const uint32_t at : c.changed)
            shadow[at] = 0xAA;
        const std::vector<pc::ByteRun> runs = pc::takeChangedRuns(shadow.data(), synced.data(), 256, c.bridge);
        ASSERT_EQ(runs.size(), c.runs.size());
        for (size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].at, c.runs[i].at);
            EXPECT_EQ(runs[i].end, c.runs[i].end);
        }
        EXPECT_EQ(synced, shadow);
        EXPECT_TRUE(pc::takeChangedRuns(shadow.data(), synced.data(), 256, c.bridge).empty());
    }
}

}  // namespace
