// QEMU's screendump files: a valid PPM becomes the picture, anything else is refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

#include "qemu_pc/ppm.h"

namespace {

bool readText(const std::string& content, pc::Picture& picture)
{
    // A file of this process's own: ctest runs the cases side by side.
    const std::string path = ::testing::TempDir() + "ppm-test-" + std::to_string(getpid()) + ".ppm";
    std::ofstream(path, std::ios::binary) << content;
    const bool ok = qemu_pc::readPpm(path, picture);
    std::remove(path.c_str());
    return ok;
}

TEST(Ppm, ReadsQemusScreendump)
{
    pc::Picture picture;
    ASSERT_TRUE(readText(std::string("P6\n2 1\n255\n") + std::string("\x01\x02\x03\xFF\x80\x00", 6), picture));
    EXPECT_EQ(picture.width, 2);
    EXPECT_EQ(picture.height, 1);
    EXPECT_EQ(picture.pixels, (std::vector<uint32_t>{0x010203, 0xFF8000}));
}

TEST(Ppm, RefusesWhatIsNotAWholeEightBitPpm)
{
    const struct {
        const char* why;
        std::string content;
    } cases[] = {
        {"ASCII PPM", "P3\n1 1\n255\n1 2 3\n"},
        {"16-bit components", std::string("P6\n1 1\n65535\n") + std::string(6, '\0')},
        {"pixels cut short", std::string("P6\n2 2\n255\n") + std::string(9, '\0')},
        {"no size", "P6\n\n"},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        pc::Picture picture;
        EXPECT_FALSE(readText(c.content, picture)) << c.why;
    }
}

}  // namespace
