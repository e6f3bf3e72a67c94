// The window's whole-number placement of the monitor picture, and the mouse mapped back.
#include <gtest/gtest.h>

#include "desktop/window_fit.h"

namespace {

TEST(WindowFit, PicturesAreZoomedByWholeNumbersOrShownOneToOne)
{
    const struct {
        const char* what;
        int width, height, areaWidth, areaHeight;
        int zoom, shrink, x, y, shownWidth, shownHeight;
    } cases[] = {
        {"a mode the size of the window is 1:1", 1024, 768, 1024, 768, 1, 1, 0, 0, 1024, 768},
        {"a mode that fits once is 1:1, centred", 640, 480, 1024, 768, 1, 1, 192, 144, 640, 480},
        {"a small mode is zoomed by the largest whole number", 320, 200, 1024, 768, 3, 1, 32, 84, 960, 600},
        {"the tighter side decides the zoom", 320, 240, 1280, 480, 2, 1, 320, 0, 640, 480},
        {"a mode larger than the window is never scaled by a fraction",
         1280, 1024, 1024, 768, 1, 2, 192, 128, 640, 512},
        {"an odd size shrinks by rounding up", 1601, 1200, 1024, 768, 1, 2, 111, 84, 801, 600},
        {"a 1600 x 1200 mode shrinks by two on a laptop screen", 1600, 1200, 1366, 700, 1, 2, 283, 50, 800, 600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const desktop::Placement p = desktop::placePicture(c.width, c.height, c.areaWidth, c.areaHeight);
        EXPECT_EQ(p.zoom, c.zoom);
        EXPECT_EQ(p.shrink, c.shrink);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
        EXPECT_EQ(p.width, c.shownWidth);
        EXPECT_EQ(p.height, c.shownHeight);
    }
}

TEST(WindowFit, WindowPointsMapBackToThePicturePixelUnderThem)
{
    const desktop::Placement zoomed = desktop::placePicture(320, 200, 1024, 768);  // 3x at 32, 84
    int x = -1, y = -1;
    ASSERT_TRUE(desktop::pictureAt(zoomed, 32, 84, x, y));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    ASSERT_TRUE(desktop::pictureAt(zoomed, 32 + 959, 84 + 599, x, y));
    EXPECT_EQ(x, 319);
    EXPECT_EQ(y, 199);
    EXPECT_FALSE(desktop::pictureAt(zoomed, 31, 100, x, y));
    EXPECT_FALSE(desktop::pictureAt(zoomed, 32 + 960, 100, x, y));

    const desktop::Placement shrunk = desktop::placePicture(1280, 1024, 1024, 768);  // 1/2 at 192, 128
    ASSERT_TRUE(desktop::pictureAt(shrunk, 192 + 639, 128 + 511, x, y));
    EXPECT_EQ(x, 1278);
    EXPECT_EQ(y, 1022);
}

TEST(WindowFit, AShrunkPictureAveragesEachBlockSoFineLinesBecomeAnEvenTint)
{
    // Alternate white and black columns, three rows, odd width: the last block is a half one.
    desktop::Picture picture;
    picture.width = 5;
    picture.height = 3;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            picture.pixels.push_back(x % 2 ? 0x000000 : 0xFFFFFF);
    desktop::Picture shown;
    desktop::shrinkPicture(picture, 2, shown);
    ASSERT_EQ(shown.width, 3);
    ASSERT_EQ(shown.height, 2);
    EXPECT_EQ(shown.pixels[0], 0x808080u);  // 255 / 2, rounded
    EXPECT_EQ(shown.pixels[1], 0x808080u);
    EXPECT_EQ(shown.pixels[2], 0xFFFFFFu);  // only the white fifth column
    EXPECT_EQ(shown.pixels[5], 0xFFFFFFu);  // the last row alone
}

}  // namespace
