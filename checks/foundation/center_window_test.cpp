// CenterWindow asks the window system for its rectangles and moves the window once.
#include <gtest/gtest.h>

#include "app/center_window.h"
#include "fake/fake.h"

namespace {

struct Case {
    const char* what;
    int desktopW, desktopH, windowW, windowH;
    int expectX, expectY;
};

class CenterWindowTest : public ::testing::TestWithParam<Case> {};

TEST_P(CenterWindowTest, MovesOnceToTheCentreOfTheDesktop)
{
    const Case& c = GetParam();
    fake::reset();
    fake::setDesktopSize(c.desktopW, c.desktopH);
    fake::setDialogSize(c.windowW, c.windowH);
    fake::onDialog(1, [](fake::Dialog& d) { CenterWindow(d.handle(), nullptr, FALSE); });
    DialogBoxParamA(
        nullptr, MAKEINTRESOURCEA(1), nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return TRUE; }, 0);

    auto moves = fake::callsNamed("MoveWindow");
    ASSERT_EQ(moves.size(), 1u) << c.what;
    EXPECT_EQ(moves[0].args, (std::vector<int64_t>{c.expectX, c.expectY, c.windowW, c.windowH, FALSE})) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Desktops, CenterWindowTest,
                         ::testing::Values(Case{"fits", 1024, 768, 300, 200, 362, 284},
                                           Case{"odd remainder truncates", 1024, 768, 301, 201, 361, 283},
                                           Case{"wider than the desktop", 1024, 768, 1100, 200, 0, 284},
                                           Case{"taller than the desktop", 640, 480, 300, 500, 170, 0}));

}  // namespace
