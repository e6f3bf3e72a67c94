// Pictures written as PNG files: decoded again they are the same pixels, whatever form the
// file takes, and a file is only ever created new.
#include <algorithm>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include "checks/support/picture.h"
#include "desktop/png_file.h"

namespace {

std::string scratchPath(const char* name)
{
    return testing::TempDir() + "png-file-" + std::to_string(getpid()) + "-" + name + ".png";
}

// The colour type the file was written with.
int colourTypeOf(const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return -1;
    const int type = (image.format & PNG_FORMAT_FLAG_COLORMAP) ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB;
    png_image_free(&image);
    return type;
}

desktop::Picture pictureWithColours(int colours)
{
    desktop::Picture picture;
    picture.width = 97;  // not a multiple of anything a row might be packed by
    picture.height = 61;
    for (int i = 0; i < picture.width * picture.height; ++i) {
        // Runs of one colour, as screens have, each colour a different spread of bits.
        const uint32_t n = uint32_t(i / 7 % colours);
        picture.pixels.push_back((n * 0x9E3779B1u) & 0xFFFFFF);
    }
    return picture;
}

// Pixels deflate cannot shrink: the stream takes more room than the rows.
desktop::Picture noisePicture()
{
    desktop::Picture picture;
    picture.width = 320;
    picture.height = 200;
    uint32_t state = 1;
    for (int i = 0; i < picture.width * picture.height; ++i) {
        state = state * 1664525u + 1013904223u;
        picture.pixels.push_back(state >> 8);
    }
    return picture;
}

TEST(PngFile, DecodesToTheSamePixelsIndexedUpTo256ColoursAndRgbAbove)
{
    const struct {
        int colours;
        int colourType;
    } cases[] = {{1, PNG_COLOR_TYPE_PALETTE}, {256, PNG_COLOR_TYPE_PALETTE}, {257, PNG_COLOR_TYPE_RGB}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.colours);
        const desktop::Picture picture = pictureWithColours(c.colours);
        const std::string path = scratchPath(std::to_string(c.colours).c_str());
        std::remove(path.c_str());
        desktop::writePng(path, picture);
        EXPECT_EQ(colourTypeOf(path), c.colourType);
        const harness::Picture back = harness::readPng(path);
        EXPECT_EQ(back.width, picture.width);
        EXPECT_EQ(back.height, picture.height);
        EXPECT_EQ(back.pixels, picture.pixels);
        std::remove(path.c_str());
    }
    // Rows that repeat the row above, as flat areas do, between rows that do not.
    desktop::Picture repeats = pictureWithColours(40);
    for (int y = 1; y < repeats.height; y += 2)
        std::copy_n(&repeats.pixels[size_t(y - 1) * repeats.width], repeats.width, &repeats.pixels[size_t(y) * repeats.width]);
    for (const desktop::Picture& picture : {noisePicture(), repeats}) {
        const std::string path = scratchPath("hard");
        std::remove(path.c_str());
        desktop::writePng(path, picture);
        EXPECT_EQ(harness::readPng(path).pixels, picture.pixels);
        std::remove(path.c_str());
    }
}

TEST(PngFile, AFileOrLinkOfThatNameIsRefusedAndLeftAlone)
{
    const std::string path = scratchPath("taken");
    const std::string target = scratchPath("target");
    for (bool link : {false, true}) {
        SCOPED_TRACE(link ? "a link" : "a file");
        std::remove(path.c_str());
        std::remove(target.c_str());
        if (link) {
            ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
        } else {
            std::FILE* file = std::fopen(path.c_str(), "w");
            ASSERT_NE(file, nullptr);
            std::fputs("mine", file);
            std::fclose(file);
        }
        EXPECT_THROW(desktop::writePng(path, pictureWithColours(3)), std::runtime_error);
        EXPECT_NE(access(target.c_str(), F_OK), 0) << "written through the link";
        if (!link) {
            std::FILE* file = std::fopen(path.c_str(), "r");
            char text[8] = {};
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(std::fread(text, 1, sizeof text, file), 4u);
            std::fclose(file);
            EXPECT_STREQ(text, "mine");
        }
    }
    std::remove(path.c_str());
}

}  // namespace

namespace {

TEST(PngFile, NumberedPicturesTakeTheFirstFreeNumberPastFilesAndLinks)
{
    const std::string folder = testing::TempDir() + "png-numbered-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    std::FILE* file = std::fopen((folder + "/screen-0001.png").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    ASSERT_EQ(symlink((folder + "/elsewhere").c_str(), (folder + "/screen-0002.png").c_str()), 0);

    EXPECT_EQ(desktop::writeNumberedPng(folder, "screen", pictureWithColours(5)), folder + "/screen-0003.png");
    EXPECT_EQ(harness::readPng(folder + "/screen-0003.png").pixels, pictureWithColours(5).pixels);
    EXPECT_NE(access((folder + "/elsewhere").c_str(), F_OK), 0) << "written through the link";
    for (const char* name : {"/screen-0001.png", "/screen-0002.png", "/screen-0003.png"})
        std::remove((folder + name).c_str());
    rmdir(folder.c_str());
}

}  // namespace
