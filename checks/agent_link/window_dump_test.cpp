// Xvfb's screen file read as a picture: the pixels in place and in colour, and files of another
// depth, layout or length refused rather than misread.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "agent_pc/xvfb_screen.h"

namespace {

// A dump of `width` x `height` pixels (blue, green, red, unused), with a two-entry colour map
// and lines padded to `lineBytes`; `field` entries override header words by index.
std::vector<uint8_t> windowDump(int width, int height, uint32_t lineBytes, std::vector<std::pair<int, uint32_t>> field = {})
{
    std::vector<uint32_t> header(25, 0);
    header[0] = 100 + 8;  // the header and a window name of 8 bytes
    header[1] = 7;        // file version
    header[2] = 2;        // ZPixmap
    header[3] = 24;
    header[4] = uint32_t(width);
    header[5] = uint32_t(height);
    header[7] = 0;  // LSBFirst
    header[11] = 32;
    header[12] = lineBytes;
    header[14] = 0xFF0000;
    header[15] = 0x00FF00;
    header[16] = 0x0000FF;
    header[19] = 2;  // colour map entries
    for (const auto& [index, value] : field)
        header[size_t(index)] = value;
    std::vector<uint8_t> bytes;
    for (uint32_t word : header)
        for (int shift : {24, 16, 8, 0})
            bytes.push_back(uint8_t(word >> shift));
    bytes.resize(bytes.size() + 8 + 2 * 12, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (uint8_t b : {uint8_t(x * 16), uint8_t(y * 16), uint8_t(0x80 + x), uint8_t(0xEE)})
                bytes.push_back(b);
        bytes.resize(bytes.size() + lineBytes - uint32_t(width) * 4, 0);
    }
    return bytes;
}

std::string written(const std::vector<uint8_t>& bytes)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("palisade-window-dump-" + std::to_string(getpid()))).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

TEST(WindowDump, PixelsComeOutInPlaceAsRgb)
{
    const std::string path = written(windowDump(3, 2, 16));
    pc::Picture picture;
    ASSERT_TRUE(agent_pc::readWindowDump(path, picture));
    std::filesystem::remove(path);
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.height, 2);
    ASSERT_EQ(picture.pixels.size(), 6u);
    EXPECT_EQ(picture.pixels[0], 0x800000u);
    EXPECT_EQ(picture.pixels[2], 0x820020u);  // red 80h+x, green y*16, blue x*16; the unused byte dropped
    EXPECT_EQ(picture.pixels[5], 0x821020u);  // the second line starts after the first line's padding
}

TEST(WindowDump, FilesItCannotReadAreRefused)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> cut = windowDump(3, 2, 12);
    cut.resize(cut.size() - 1);
    std::vector<uint8_t> headerAlone = windowDump(3, 2, 12);
    headerAlone.resize(100);
    const Case cases[] = {
        {"16-bit pixels", windowDump(3, 2, 12, {{11, 16}})},
        {"another file version", windowDump(3, 2, 12, {{1, 6}})},
        {"most significant byte first", windowDump(3, 2, 12, {{7, 1}})},
        {"blue and red swapped", windowDump(3, 2, 12, {{14, 0x0000FF}, {16, 0xFF0000}})},
        {"lines shorter than their pixels", windowDump(3, 2, 8)},
        {"a file cut short", cut},
        {"a header alone", headerAlone},
    };
    for (const Case& c : cases) {
        const std::string path = written(c.bytes);
        pc::Picture picture;
        EXPECT_FALSE(agent_pc::readWindowDump(path, picture)) << c.what;
        std::filesystem::remove(path);
    }
    pc::Picture picture;
    EXPECT_FALSE(agent_pc::readWindowDump("/nonexistent/Xvfb_screen0", picture));
}

}  // namespace
