// Every accelerator operation against a plain per-pixel reference, in each pixel size,
// mix and clip rectangle, with coordinates far outside the screen and video memory that
// ends before the screen does. The whole memory block is compared, guard bytes included.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "display/accel_backend.h"
#include "display/raster.h"

using namespace display;

namespace {

constexpr size_t GUARD = 23;  // bytes of memory before the screen (another page)

struct Canvas {
    int width = 0, height = 0, bpp = 1, pitch = 0;
    size_t memoryBytes = 0;      // where video memory ends
    std::vector<uint8_t> bytes;  // video memory, then a tail nobody may touch

    Surface surface()
    {
        Surface s;
        s.memory = bytes.data();
        s.memoryBytes = memoryBytes;
        s.origin = GUARD;
        s.width = width;
        s.height = height;
        s.bytesPerLine = pitch;
        s.bytesPerPixel = bpp;
        return s;
    }
};

const uint32_t COLOURS[3] = {0x11223344, 0xA5A5A5A5, 0x00FF00FF};

uint32_t maskOf(int bpp)
{
    return bpp == 4 ? 0xFFFFFFFFu : (1u << (8 * bpp)) - 1;
}

// Screen pixels take one of three colours so that transparency and XOR have something to
// find; everything else is noise.
Canvas makeCanvas(int width, int height, int bpp, int padding, int64_t memoryCut, unsigned seed)
{
    Canvas c;
    c.width = width, c.height = height, c.bpp = bpp, c.pitch = width * bpp + padding;
    const size_t screenEnd = GUARD + size_t(c.pitch) * size_t(height);
    c.memoryBytes = memoryCut < 0 ? screenEnd : size_t(memoryCut);
    c.bytes.resize(std::max(screenEnd, c.memoryBytes) + 64);
    std::mt19937 rng(seed);
    for (auto& b : c.bytes)
        b = uint8_t(rng());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t v = COLOURS[rng() % 3];
            for (int k = 0; k < bpp; ++k)
                c.bytes[GUARD + size_t(y) * c.pitch + size_t(x) * bpp + k] = uint8_t(v >> (8 * k));
        }
    return c;
}

// The reference: one pixel at a time, by the definitions.
struct Reference {
    Canvas& c;
    const AccelState& st;
    std::vector<uint8_t> before;  // memory as it was before the operation

    Reference(Canvas& canvas, const AccelState& state) : c(canvas), st(state), before(canvas.bytes) {}

    bool inClip(int64_t x, int64_t y) const
    {
        return x >= 0 && y >= 0 && x < c.width && y < c.height && x >= st.clip.left && x <= st.clip.right &&
               y >= st.clip.top && y <= st.clip.bottom;
    }
    int64_t offsetOf(int64_t x, int64_t y) const { return int64_t(GUARD) + y * c.pitch + x * c.bpp; }
    bool inMemory(int64_t offset) const { return offset >= 0 && offset + c.bpp <= int64_t(c.memoryBytes); }
    uint32_t read(const std::vector<uint8_t>& m, int64_t offset) const
    {
        uint32_t v = 0;
        for (int k = 0; k < c.bpp; ++k)
            v |= uint32_t(m[size_t(offset + k)]) << (8 * k);
        return v;
    }
    void paint(int64_t x, int64_t y, uint32_t colour, int32_t mix)
    {
        if (!inClip(x, y) || !inMemory(offsetOf(x, y)))
            return;
        const int64_t o = offsetOf(x, y);
        const uint32_t d = read(c.bytes, o);
        uint32_t v = d;
        switch (mix) {
        case MIX_REPLACE: v = colour; break;
        case MIX_AND: v = d & colour; break;
        case MIX_OR: v = d | colour; break;
        case MIX_XOR: v = d ^ colour; break;
        default: break;
        }
        v &= maskOf(c.bpp);
        for (int k = 0; k < c.bpp; ++k)
            c.bytes[size_t(o + k)] = uint8_t(v >> (8 * k));
    }
    template <class F>
    void eachScreenPixel(F&& f)
    {
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                f(int64_t(x), int64_t(y));
    }
    void rect(uint32_t colour, int64_t l, int64_t t, int64_t w, int64_t h)
    {
        eachScreenPixel([&](int64_t x, int64_t y) {
            if (x >= l && x < l + w && y >= t && y < t + h)
                paint(x, y, colour, st.foregroundMix);
        });
    }
    void scan(uint32_t colour, int64_t y, int64_t a, int64_t b)
    {
        for (int64_t x = std::max<int64_t>(std::min(a, b), -1); x < std::min<int64_t>(std::max(a, b), c.width + 1); ++x)
            paint(x, y, colour, st.foregroundMix);
    }
    bool patternBit(int64_t x, int64_t y) const
    {
        return (st.pattern[((y % 8) + 8) % 8] >> (7 - ((x % 8) + 8) % 8)) & 1;
    }
    void pattPixel(int64_t x, int64_t y, uint32_t fg, uint32_t bg)
    {
        if (patternBit(x, y))
            paint(x, y, fg, st.foregroundMix);
        else
            paint(x, y, bg, st.backgroundMix);
    }
    static int64_t toPixel(int32_t fixed) { return int64_t(std::floor(double(fixed) / 65536.0 + 0.5)); }
    // The line's pixels by the closed formula, in order from the first end point.
    static std::vector<std::pair<int64_t, int64_t>> linePixels(int64_t x1, int64_t y1, int64_t x2, int64_t y2)
    {
        std::vector<std::pair<int64_t, int64_t>> out;
        const int64_t dx = x2 - x1, dy = y2 - y1, n = std::max(std::llabs(dx), std::llabs(dy));
        if (n == 0)
            return {{x1, y1}};
        for (int64_t i = 0; i <= n; ++i) {
            auto along = [&](int64_t d) { return (d < 0 ? -1 : 1) * ((2 * i * std::llabs(d) + n) / (2 * n)); };
            out.push_back({x1 + along(dx), y1 + along(dy)});
        }
        return out;
    }
    void copyFrom(std::function<int64_t(int64_t, int64_t)> sourceOffset, int64_t dx, int64_t dy, int64_t w, int64_t h,
                  int32_t mix, Transparency mode, uint32_t key)
    {
        key &= maskOf(c.bpp);
        eachScreenPixel([&](int64_t x, int64_t y) {
            if (x < dx || y < dy || x >= dx + w || y >= dy + h)
                return;
            const int64_t so = sourceOffset(x - dx, y - dy);
            if (so < 0 || !inMemory(so) || !inClip(x, y) || !inMemory(offsetOf(x, y)))
                return;
            const uint32_t v = read(before, so);
            if (mode == Transparency::SOURCE && v == key)
                return;
            if (mode == Transparency::DESTINATION && read(c.bytes, offsetOf(x, y)) != key)
                return;
            paint(x, y, v, mix);
        });
    }
    void blit(int64_t l, int64_t t, int64_t w, int64_t h, int64_t dx, int64_t dy, int32_t mix,
              Transparency mode = Transparency::NONE, uint32_t key = 0)
    {
        copyFrom(
            [&](int64_t col, int64_t row) {
                const int64_t sx = l + col, sy = t + row;
                return sx < 0 || sy < 0 || sx >= c.width || sy >= c.height ? -1 : offsetOf(sx, sy);
            },
            dx, dy, w, h, mix, mode, key);
    }
    void blitLin(int64_t offset, int64_t dx, int64_t dy, int64_t w, int64_t h, int32_t mix,
                 Transparency mode = Transparency::NONE, uint32_t key = 0)
    {
        copyFrom([&](int64_t col, int64_t row) { return offset + row * c.pitch + col * c.bpp; }, dx, dy, w, h, mix,
                 mode, key);
    }
};

const uint8_t PATTERN[8] = {0xF8, 0x74, 0x22, 0x47, 0x8F, 0x17, 0x22, 0x71};
const uint8_t IMAGE[24] = {0xFF, 0xDE, 0x7B, 0x81, 0x42, 0x24, 0x18, 0x00, 0xF0, 0x0F, 0xAA, 0x55,
                           0xFF, 0xCC, 0x31, 0x8C, 0x4C, 0x31, 0x0C, 0x0C, 0x31, 0xC3, 0x3C, 0x99};
// A back end's scan list, one scan per line, as every back end without its own has it.
struct SoftwareBackend final : AccelBackend {
    uint32_t entries() const override { return 0; }
};

const int16_t SCANS[20] = {10, 20, 5, 30, 40, 2, -9, 70, 3, 3, 60, 55, -30000, 30000, 0, 1, 59, 61, 20, 21};

struct Op {
    std::string name;
    std::function<uint64_t(const Surface&, const AccelState&)> run;
    std::function<void(Reference&)> expect;
};

constexpr int32_t FX = 65536;

std::vector<Op> operations(int32_t mix)
{
    const uint32_t A = 0xC0FFEE42, B = 0x5A5A1234;
    std::vector<Op> ops;
    auto add = [&](std::string n, auto run, auto expect) { ops.push_back({std::move(n), run, expect}); };
    for (const auto& row :
         std::vector<std::array<int64_t, 4>>{{5, 4, 20, 10},
                                             {-100000, 3, 100010, 8},
                                             {50, -7, 100000, 9},
                                             {3, 3, 0, 5},
                                             {3, 3, 5, -2},
                                             {-2147483648LL, -2147483648LL, 4294967295LL, 4294967295LL},
                                             {70, 10, 5, 5}}) {
        const auto l = row[0], t = row[1], w = row[2], h = row[3];
        add(
            "rect " + std::to_string(l) + "," + std::to_string(t),
            [=](const Surface& s, const AccelState& st) { return drawRect(s, st, A, l, t, w, h); },
            [=](Reference& r) { r.rect(A, l, t, w, h); });
    }
    for (const auto& row :
         std::vector<std::array<int64_t, 3>>{{7, 40, 3}, {-1, 0, 10}, {10, -500000, 500000}, {36, 20, 20}}) {
        const auto y = row[0], a = row[1], b = row[2];
        add(
            "scan " + std::to_string(y),
            [=](const Surface& s, const AccelState& st) { return drawScan(s, st, A, y, a, b); },
            [=](Reference& r) { r.scan(A, y, a, b); });
    }
    add(
        "scan list past the bottom",
        [=](const Surface& s, const AccelState& st) { return SoftwareBackend{}.drawScanList(s, st, B, 28, 10, SCANS); },
        [=](Reference& r) {
            for (int i = 0; i < 10; ++i)
                r.scan(B, 28 + i, SCANS[2 * i], SCANS[2 * i + 1]);
        });
    for (const auto& row :
         std::vector<std::array<int32_t, 6>>{{2, 30, 10 * FX, 30 * FX, -FX / 2, FX / 4},
                                             {-5, 40, 50 * FX + FX / 2, 20 * FX, 3 * FX, -FX},
                                             {0, 2000000000, -30000 * FX, 30000 * FX, 0x7FFFFFFF, -0x7FFFFFFF}}) {
        const auto y = row[0], n = row[1], x1 = row[2], x2 = row[3], s1 = row[4], s2 = row[5];
        add(
            "trap " + std::to_string(y),
            [=](const Surface& s, const AccelState& st) { return drawTrap(s, st, A, y, n, x1, x2, s1, s2); },
            [=](Reference& r) {
                r.eachScreenPixel([&](int64_t x, int64_t py) {
                    const int64_t i = py - y;
                    if (i < 0 || i >= n)
                        return;
                    int64_t a = int64_t(std::floor((double(x1) + double(i) * s1) / FX + 0.5));
                    int64_t b = int64_t(std::floor((double(x2) + double(i) * s2) / FX + 0.5));
                    if (x >= std::min(a, b) && x < std::max(a, b))
                        r.paint(x, py, A, r.st.foregroundMix);
                });
            });
    }
    add(
        "pattern rect",
        [=](const Surface& s, const AccelState& st) { return drawPattRect(s, st, A, B, 3, 3, 50, 300); },
        [=](Reference& r) {
            r.eachScreenPixel([&](int64_t x, int64_t y) {
                if (x >= 3 && x < 53 && y >= 3)
                    r.pattPixel(x, y, A, B);
            });
        });
    add(
        "pattern scan", [=](const Surface& s, const AccelState& st) { return drawPattScan(s, st, A, B, 20, 70, -4); },
        [=](Reference& r) {
            r.eachScreenPixel([&](int64_t x, int64_t y) {
                if (y == 20)
                    r.pattPixel(x, y, A, B);
            });
        });
    for (const auto& row :
         std::vector<std::array<int32_t, 4>>{{2 * FX, 3 * FX, 58 * FX, 30 * FX},
                                             {40 * FX, 36 * FX, 45 * FX, 0},
                                             {58 * FX, 30 * FX, 2 * FX, 3 * FX},
                                             {-30000 * FX, -20000 * FX, 30000 * FX, 20001 * FX},
                                             {9 * FX, 9 * FX, 9 * FX, 9 * FX},
                                             {2 * FX + FX / 2, FX / 2 - 1, 20 * FX - FX / 2, 10 * FX + FX / 2},
                                             {30 * FX, 18 * FX, 32767 * FX, -32768 * FX}}) {
        const auto x1 = row[0], y1 = row[1], x2 = row[2], y2 = row[3];
        add(
            "line " + std::to_string(x1 / FX) + "," + std::to_string(y1 / FX),
            [=](const Surface& s, const AccelState& st) { return drawLine(s, st, A, x1, y1, x2, y2); },
            [=](Reference& r) {
                for (auto [x, y] : Reference::linePixels(r.toPixel(x1), r.toPixel(y1), r.toPixel(x2), r.toPixel(y2)))
                    r.paint(x, y, A, r.st.foregroundMix);
            });
        add(
            "stipple line " + std::to_string(x1 / FX) + "," + std::to_string(y1 / FX),
            [=](const Surface& s, const AccelState& st) { return drawStippleLine(s, st, A, B, x1, y1, x2, y2); },
            [=](Reference& r) {
                auto px = Reference::linePixels(r.toPixel(x1), r.toPixel(y1), r.toPixel(x2), r.toPixel(y2));
                for (size_t i = 0; i < px.size(); ++i) {
                    const bool on = (r.st.stipple >> (i % 16)) & 1;
                    r.paint(px[i].first, px[i].second, on ? A : B, on ? r.st.foregroundMix : r.st.backgroundMix);
                }
            });
    }
    for (const auto& row : std::vector<std::array<int64_t, 4>>{{-5, 30, 3, 8}, {20, 5, 2, 12}, {59, -3, 1, 24}}) {
        const auto x = row[0], y = row[1], bpr = row[2], rows = row[3];
        add(
            "mono image " + std::to_string(x) + "," + std::to_string(y),
            [=](const Surface& s, const AccelState& st) { return putMonoImage(s, st, A, B, x, y, bpr, rows, IMAGE); },
            [=](Reference& r) {
                r.eachScreenPixel([&](int64_t px, int64_t py) {
                    const int64_t col = px - x, row = py - y;
                    if (col < 0 || row < 0 || col >= bpr * 8 || row >= rows)
                        return;
                    const bool on = (IMAGE[row * bpr + col / 8] >> (7 - col % 8)) & 1;
                    r.paint(px, py, on ? A : B, on ? r.st.foregroundMix : r.st.backgroundMix);
                });
            });
    }
    for (const auto& row :
         std::vector<std::array<int64_t, 6>>{{0, 0, 61, 37, 3, 2},
                                             {5, 5, 30, 20, 2, 1},
                                             {0, 5, 61, 32, 0, 0},
                                             {4, 0, 57, 37, 0, 0},
                                             {-10, -10, 30, 30, 20, 10},
                                             {10, 10, 20, 20, -100000, 5},
                                             {0, 0, 1000000, 1000000, 0, 0},
                                             // Down and beside, down and across: which rows a copy must take bottom up.
                                             {2, 3, 20, 25, 30, 5},
                                             {10, 2, 30, 20, 0, 9},
                                             {30, 0, 25, 10, 0, 1},
                                             {30, 0, 31, 10, 0, 1}}) {
        const auto l = row[0], t = row[1], w = row[2], h = row[3], dx = row[4], dy = row[5];
        add(
            "blit " + std::to_string(l) + "," + std::to_string(t) + " to " + std::to_string(dx) + "," +
                std::to_string(dy),
            [=](const Surface& s, const AccelState& st) { return bitBlt(s, st, l, t, w, h, dx, dy, mix); },
            [=](Reference& r) { r.blit(l, t, w, h, dx, dy, mix); });
    }
    for (auto mode : {Transparency::SOURCE, Transparency::DESTINATION}) {
        const std::string kind = mode == Transparency::SOURCE ? "source" : "destination";
        add(
            kind + "-transparent blit",
            [=](const Surface& s, const AccelState& st) {
                return bitBlt(s, st, 2, 3, 25, 20, 20, 9, mix, mode, COLOURS[1]);
            },
            [=](Reference& r) { r.blit(2, 3, 25, 20, 20, 9, mix, mode, COLOURS[1]); });
        add(
            kind + "-transparent linear blit",
            [=](const Surface& s, const AccelState& st) {
                return bitBltLin(s, st, GUARD + 5 * s.bytesPerLine, 30, 14, 25, 30, mix, mode, COLOURS[2]);
            },
            [=](Reference& r) { r.blitLin(int64_t(GUARD) + 5 * r.c.pitch, 30, 14, 25, 30, mix, mode, COLOURS[2]); });
    }
    for (int64_t offset : {int64_t(GUARD) + 10 * 61, int64_t(-400), int64_t(GUARD) - 3, int64_t(1) << 40}) {
        add(
            "linear blit from " + std::to_string(offset),
            [=](const Surface& s, const AccelState& st) { return bitBltLin(s, st, offset, 4, 20, 40, 30, mix); },
            [=](Reference& r) { r.blitLin(offset, 4, 20, 40, 30, mix); });
    }
    return ops;
}

struct ClipCase {
    const char* name;
    ClipBox clip;
};
const ClipCase CLIPS[] = {
    {"whole screen", {0, 0, INT32_MAX, INT32_MAX}},
    {"inset", {7, 5, 50, 30}},
    {"empty", {10, 10, 5, 5}},
    {"beyond the screen", {-100, -100, 1000, 1000}},
};

struct Geometry {
    const char* name;
    int width, height, padding;
    int cutRow, cutColumn;  // video memory ends inside this row and column; -1: after the screen
};
const Geometry GEOMETRIES[] = {
    {"padded lines", 61, 37, 5, -1, -1},
    {"memory ends mid-screen", 61, 37, 0, 25, 17},
};

class RasterAgainstReference : public ::testing::TestWithParam<int> {};

TEST_P(RasterAgainstReference, EveryOperationMatchesInEveryMixAndClip)
{
    const int bpp = GetParam();
    for (const auto& g : GEOMETRIES)
        for (const auto& clip : CLIPS)
            for (auto [fgMix, bgMix] : {std::pair{MIX_REPLACE, MIX_REPLACE}, std::pair{MIX_XOR, MIX_NOP},
                                        std::pair{MIX_NOP, MIX_XOR}, std::pair{MIX_OR, MIX_AND}}) {
                AccelState st;
                st.clip = clip.clip;
                st.foregroundMix = fgMix;
                st.backgroundMix = bgMix;
                std::copy(PATTERN, PATTERN + 8, st.pattern);
                st.stipple = 0x0C3F;
                unsigned seed = 1;
                for (const auto& op : operations(fgMix)) {
                    SCOPED_TRACE(std::string(g.name) + ", clip " + clip.name + ", mixes " + std::to_string(fgMix) +
                                 "/" + std::to_string(bgMix) + ": " + op.name);
                    const int64_t pitch = g.width * bpp + g.padding;
                    const int64_t cut = g.cutRow < 0 ? -1 : int64_t(GUARD) + g.cutRow * pitch + g.cutColumn * bpp + 1;
                    Canvas actual = makeCanvas(g.width, g.height, bpp, g.padding, cut, seed);
                    Canvas expected = makeCanvas(g.width, g.height, bpp, g.padding, cut, seed++);
                    op.run(actual.surface(), st);
                    Reference ref(expected, st);
                    op.expect(ref);
                    size_t firstDiff = 0;
                    while (firstDiff < actual.bytes.size() && actual.bytes[firstDiff] == expected.bytes[firstDiff])
                        ++firstDiff;
                    if (firstDiff < actual.bytes.size()) {
                        const int64_t rel = int64_t(firstDiff) - int64_t(GUARD);
                        ADD_FAILURE() << "first difference at byte " << firstDiff << " (line " << rel / pitch << ", x "
                                      << (rel % pitch) / bpp << "): got " << int(actual.bytes[firstDiff]) << ", want "
                                      << int(expected.bytes[firstDiff]);
                    }
                }
            }
}

INSTANTIATE_TEST_SUITE_P(PixelSizes, RasterAgainstReference, ::testing::Values(1, 2, 3, 4),
                         [](const auto& info) { return std::to_string(info.param * 8) + "bit"; });

// The accelerator suite's grid on an 800 x 600 screen: the last column runs 16 pixels past
// the right edge and must not wrap onto the next line, which starts right after it.
TEST(RasterGrid, CellsPastTheRightEdgeStopAtTheEdge)
{
    Canvas c = makeCanvas(800, 600, 1, 0, -1, 7);
    AccelState st;
    Surface s = c.surface();
    drawRect(s, st, 0, 0, 0, 800, 600);
    const int u = 800 / 46, v = (599 - 10) / 47;
    for (int r = 0; r < 16; ++r)
        for (int col = 0; col < 16; ++col)
            drawRect(s, st, uint32_t(1 + 16 * r + col), u + 3 * u * col, v + 3 * v * r, 2 * u, 2 * v);
    const int lastX = u + 3 * u * 15;  // 782
    ASSERT_EQ(lastX, 782);
    for (int y = v; y < v + 2 * v; ++y) {
        EXPECT_EQ(c.bytes[GUARD + y * 800 + 799], 16) << "line " << y;     // the cell reaches the edge
        EXPECT_EQ(c.bytes[GUARD + (y + 1) * 800 + 0], 0) << "line " << y;  // and does not wrap
    }
    const Canvas untouched = makeCanvas(800, 600, 1, 0, -1, 7);
    for (size_t i = GUARD + 800 * 600; i < c.bytes.size(); ++i)
        ASSERT_EQ(c.bytes[i], untouched.bytes[i]);
}

}  // namespace
