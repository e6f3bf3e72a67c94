// The block-copy tests: five scrolling phases, then the source block stamped along a diagonal
// by the linear and transparent copies.
#include "accel/blit_tests.h"

#include "accel/accel_suite.h"
#include "accel/suite_context.h"
#include "platform/accel.h"
#include "tests/test_run.h"

namespace {

struct ScreenSize {
    int32_t width;
    int32_t height;
};

ScreenSize screenSize()
{
    const DisplayContext& dc = suiteDisplay();
    return ScreenSize{dc.maxX + 1, dc.maxY + 1};
}

struct BlockSize {
    int32_t width;
    int32_t height;
};

BlockSize blockSize()
{
    const ScreenSize screen = screenSize();
    return BlockSize{screen.width / 8, screen.height / 6};
}

// The linear-source copies read video memory from here: where line 100 starts in an 8-bit
// mode whose scan line is W bytes, the same byte offset at every depth.
int32_t linearSourceOffset()
{
    return 100 * screenSize().width;
}

constexpr uint32_t DESTINATION_TRANSPARENT = 0;  // a literal pixel value: black at every depth
constexpr int SOURCE_TRANSPARENT_INDEX = 9;      // the source block's inner square

// Copy i lands at ((i + 1)·bw, i·bw): the vertical step is the block's width too.
struct Destination {
    int32_t x;
    int32_t y;
};

Destination diagonalDestination(int copy)
{
    const int32_t bw = blockSize().width;
    return Destination{(copy + 1) * bw, copy * bw};
}

using CopyBlock = void (*)(AccelContext* accel, BlockSize block, Destination to);

// Grid, source block, a key (Esc stops before any copy), six copies, a key.
int runDiagonalCopies(uint32_t entry, CopyBlock copy)
{
    if (!entry)
        return 0;
    AccelContext* accel = suiteAccel();
    drawRectGrid(0);
    drawBlitSource();
    if (waitKey() == KEY_ESC)
        return KEY_ESC;
    const BlockSize block = blockSize();
    for (int i = 0; i < BLIT_COPIES; ++i)
        copy(accel, block, diagonalDestination(i));
    return waitKey();
}

struct ScrollPhase {
    int32_t left, top;
    int32_t widthLessMaxX, heightLessMaxY;  // width = maxX + this, height = maxY + this
    int32_t dstX, dstY;
};

// Up 5, down 5, right 4, left 4, then right and down 5; source and destination overlap.
constexpr ScrollPhase scrollPhases[] = {
    {0, 5, 1, -4, 0, 0}, {0, 0, 1, -4, 0, 5}, {0, 0, -3, 1, 4, 0}, {4, 0, -3, 1, 0, 0}, {0, 0, -4, -4, 5, 5},
};

constexpr int32_t SCROLL_ROW_STEP = 8;

}  // namespace

void drawBlitSource(void)
{
    AccelContext* accel = suiteAccel();
    const ScreenSize screen = screenSize();
    const BlockSize block = blockSize();
    const int32_t ringX = screen.width / 64, ringY = screen.height / 48;
    const int32_t innerX = screen.width / 32, innerY = screen.height / 24;
    AF_drawRect(accel, mapColor(15), 0, 0, block.width, block.height);
    AF_drawRect(accel, mapColor(12), ringX, ringY, block.width - 2 * ringX, block.height - 2 * ringY);
    AF_drawRect(accel, mapColor(SOURCE_TRANSPARENT_INDEX), innerX, innerY, block.width - 2 * innerX,
                block.height - 2 * innerY);
}

int testBitBlt(void)
{
    AccelContext* accel = suiteAccel();
    if (!accel->bitBlt)
        return 0;
    const DisplayContext& dc = suiteDisplay();
    for (const ScrollPhase& phase : scrollPhases) {
        drawRectGrid(1);  // only moves on: Esc here does not stop the test
        for (int32_t y = 0; y < dc.maxY; y += SCROLL_ROW_STEP)
            AF_bitBlt(accel, phase.left, phase.top, dc.maxX + phase.widthLessMaxX, dc.maxY + phase.heightLessMaxY,
                      phase.dstX, phase.dstY, AF_REPLACE_MIX);
    }
    return waitKey();
}

int testBitBltLin(void)
{
    return runDiagonalCopies(suiteAccel()->bitBltLin, [](AccelContext* accel, BlockSize block, Destination to) {
        AF_bitBltLin(accel, linearSourceOffset(), to.x, to.y, block.width, block.height, AF_REPLACE_MIX);
    });
}

int testSrcTransBlt(void)
{
    return runDiagonalCopies(suiteAccel()->srcTransBlt, [](AccelContext* accel, BlockSize block, Destination to) {
        AF_srcTransBlt(accel, 0, 0, block.width, block.height, to.x, to.y, AF_REPLACE_MIX,
                       mapColor(SOURCE_TRANSPARENT_INDEX));
    });
}

int testSrcTransBltLin(void)
{
    return runDiagonalCopies(suiteAccel()->srcTransBltLin, [](AccelContext* accel, BlockSize block, Destination to) {
        AF_srcTransBltLin(accel, linearSourceOffset(), to.x, to.y, block.width, block.height, AF_REPLACE_MIX,
                          mapColor(SOURCE_TRANSPARENT_INDEX));
    });
}

int testDstTransBlt(void)
{
    return runDiagonalCopies(suiteAccel()->dstTransBlt, [](AccelContext* accel, BlockSize block, Destination to) {
        AF_dstTransBlt(accel, 0, 0, block.width, block.height, to.x, to.y, AF_REPLACE_MIX, DESTINATION_TRANSPARENT);
    });
}

int testDstTransBltLin(void)
{
    return runDiagonalCopies(suiteAccel()->dstTransBltLin, [](AccelContext* accel, BlockSize block, Destination to) {
        AF_dstTransBltLin(accel, linearSourceOffset(), to.x, to.y, block.width, block.height, AF_REPLACE_MIX,
                          DESTINATION_TRANSPARENT);
    });
}
