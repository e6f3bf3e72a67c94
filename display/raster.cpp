#include "display/raster.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace display {

bool isMix(int32_t code)
{
    return code >= MIX_REPLACE && code <= MIX_NOP;
}

ClipBox effectiveClip(const Surface& s, const AccelState& st)
{
    ClipBox c;
    c.left = std::max<int64_t>(st.clip.left, 0);
    c.top = std::max<int64_t>(st.clip.top, 0);
    c.right = std::min<int64_t>(st.clip.right, int64_t{s.width} - 1);
    c.bottom = std::min<int64_t>(st.clip.bottom, int64_t{s.height} - 1);
    if (!s.memory || s.bytesPerPixel < 1 || s.bytesPerPixel > 4 || s.bytesPerLine <= 0)
        c.right = c.left - 1;
    return c;
}

namespace {

inline uint32_t load(const uint8_t* p, int bpp)
{
    switch (bpp) {
    case 1: return p[0];
    case 2: return uint32_t(p[0]) | uint32_t(p[1]) << 8;
    case 3: return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    default: return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
}

inline void store(uint8_t* p, int bpp, uint32_t v)
{
    p[0] = uint8_t(v);
    if (bpp > 1)
        p[1] = uint8_t(v >> 8);
    if (bpp > 2)
        p[2] = uint8_t(v >> 16);
    if (bpp > 3)
        p[3] = uint8_t(v >> 24);
}

inline uint32_t mixed(int32_t mix, uint32_t dst, uint32_t src)
{
    switch (mix) {
    case MIX_REPLACE: return src;
    case MIX_AND: return dst & src;
    case MIX_OR: return dst | src;
    case MIX_XOR: return dst ^ src;
    default: return dst;
    }
}

inline void mixPixel(uint8_t* p, int bpp, int32_t mix, uint32_t src)
{
    if (mix == MIX_NOP)
        return;
    store(p, bpp, mix == MIX_REPLACE ? src : mixed(mix, load(p, bpp), src));
}

// The pixel at (x, y), or null where video memory ends. (x, y) lies inside the screen.
inline uint8_t* pixelAt(const Surface& s, int64_t x, int64_t y)
{
    uint64_t offset = s.origin + uint64_t(y) * uint64_t(s.bytesPerLine) + uint64_t(x) * uint64_t(s.bytesPerPixel);
    if (offset + uint64_t(s.bytesPerPixel) > s.memoryBytes)
        return nullptr;
    return s.memory + offset;
}

// Cuts the span [x1, x2) of line y to the clip and to video memory; false when nothing is left.
bool cutSpan(const Surface& s, const ClipBox& c, int64_t y, int64_t& x1, int64_t& x2)
{
    if (y < c.top || y > c.bottom)
        return false;
    x1 = std::max(x1, c.left);
    x2 = std::min(x2, c.right + 1);
    if (x1 >= x2)
        return false;
    uint64_t rowStart = s.origin + uint64_t(y) * uint64_t(s.bytesPerLine);
    if (rowStart >= s.memoryBytes)
        return false;
    int64_t fit = int64_t((s.memoryBytes - rowStart) / uint64_t(s.bytesPerPixel));
    x2 = std::min(x2, fit);
    return x1 < x2;
}

// Stores a pattern that repeats every 8 bytes (byte i is byte i mod 8 of the pattern): one
// unaligned 16-byte store at each end, aligned 16-byte stores between.
inline void fillPattern(uint8_t* p, size_t bytes, uint64_t pattern)
{
#if defined(__SSE2__)
    if (bytes >= 16) {
        auto phase = [&](size_t at) {
            const unsigned shift = unsigned(8 * (at % 8));
            return _mm_set1_epi64x(int64_t(shift ? (pattern >> shift) | (pattern << (64 - shift)) : pattern));
        };
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), phase(0));
        size_t i = (16 - reinterpret_cast<uintptr_t>(p) % 16) % 16;
        const __m128i wide = phase(i);
        for (; i + 64 <= bytes; i += 64) {
            _mm_store_si128(reinterpret_cast<__m128i*>(p + i), wide);
            _mm_store_si128(reinterpret_cast<__m128i*>(p + i + 16), wide);
            _mm_store_si128(reinterpret_cast<__m128i*>(p + i + 32), wide);
            _mm_store_si128(reinterpret_cast<__m128i*>(p + i + 48), wide);
        }
        for (; i + 16 <= bytes; i += 16)
            _mm_store_si128(reinterpret_cast<__m128i*>(p + i), wide);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + bytes - 16), phase(bytes - 16));
        return;
    }
#endif
    for (size_t i = 0; i < bytes; ++i)
        p[i] = uint8_t(pattern >> (8 * (i % 8)));
}

// Copies between byte ranges that do not overlap, in 16-byte moves.
inline void copyApart(uint8_t* to, const uint8_t* from, size_t bytes)
{
#if defined(__SSE2__)
    size_t i = 0;
    for (; i + 64 <= bytes; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 48));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 16), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 32), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 48), d);
    }
    for (; i + 16 <= bytes; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
    for (; i < bytes; ++i)
        to[i] = from[i];
#else
    std::memcpy(to, from, bytes);
#endif
}

// `count` pixels of one colour from p.
void fillReplace(uint8_t* p, int bpp, uint64_t count, uint32_t color)
{
    switch (bpp) {
    case 1: std::memset(p, uint8_t(color), size_t(count)); break;
    case 2: fillPattern(p, size_t(count) * 2, 0x0001000100010001ull * uint16_t(color)); break;
    case 4: fillPattern(p, size_t(count) * 4, 0x0000000100000001ull * color); break;
    default: {
        const uint8_t b0 = uint8_t(color), b1 = uint8_t(color >> 8), b2 = uint8_t(color >> 16);
        for (uint64_t i = 0; i < count; ++i) {
            p[i * 3] = b0;
            p[i * 3 + 1] = b1;
            p[i * 3 + 2] = b2;
        }
    }
    }
}

// A solid span in the given mix; the span is already cut.
uint64_t fillSpan(const Surface& s, int64_t y, int64_t x1, int64_t x2, uint32_t color, int32_t mix)
{
    if (mix == MIX_NOP)
        return 0;
    const int bpp = s.bytesPerPixel;
    uint8_t* p = s.memory + s.origin + uint64_t(y) * uint64_t(s.bytesPerLine) + uint64_t(x1) * uint64_t(bpp);
    const int64_t count = x2 - x1;
    if (mix == MIX_REPLACE) {
        fillReplace(p, bpp, uint64_t(count), color);
        return uint64_t(count) * uint64_t(bpp);
    }
    for (int64_t i = 0; i < count; ++i, p += bpp)
        store(p, bpp, mixed(mix, load(p, bpp), color));
    return 2 * uint64_t(count) * uint64_t(bpp);
}

uint64_t touched(int32_t mix, int bpp)
{
    return mix == MIX_NOP ? 0 : mix == MIX_REPLACE ? uint64_t(bpp) : 2 * uint64_t(bpp);
}

uint64_t pattSpan(const Surface& s, const AccelState& st, int64_t y, int64_t x1, int64_t x2, uint32_t fg, uint32_t bg)
{
    const int bpp = s.bytesPerPixel;
    const uint8_t row = st.pattern[y & 7];
    uint8_t* p = s.memory + s.origin + uint64_t(y) * uint64_t(s.bytesPerLine) + uint64_t(x1) * uint64_t(bpp);
    uint64_t bytes = 0;
    for (int64_t x = x1; x < x2; ++x, p += bpp) {
        if (row & (0x80 >> (x & 7))) {
            mixPixel(p, bpp, st.foregroundMix, fg);
            bytes += touched(st.foregroundMix, bpp);
        } else {
            mixPixel(p, bpp, st.backgroundMix, bg);
            bytes += touched(st.backgroundMix, bpp);
        }
    }
    return bytes;
}

// Rows [top, top + height) cut to the clip; false when none.
bool cutRows(const ClipBox& c, int64_t top, int64_t height, int64_t& y1, int64_t& y2)
{
    if (height <= 0)
        return false;
    y1 = std::max(top, c.top);
    y2 = std::min(top + height, c.bottom + 1);
    return y1 < y2;
}

int64_t roundFixed(int64_t v)
{
    return (v + 0x8000) >> 16;
}

// Shared by both copies: the source starts at a byte offset of video memory and has the
// screen's bytes per line; the area is already cut.
uint64_t copyBlock(const Surface& s, const CopyArea& area, int32_t mix, Transparency mode, uint32_t transparent)
{
    const int bpp = s.bytesPerPixel;
    const int64_t pitch = s.bytesPerLine;
    const int64_t srcStart = area.srcStart, dstX = area.dstX, dstY = area.dstY, width = area.width,
                  height = area.height;
    if (mix == MIX_NOP)
        return 0;
    const int64_t memory = int64_t(s.memoryBytes);
    const int64_t dstStart = int64_t(s.origin) + dstY * pitch + dstX * bpp;
    // Rows go bottom up only when a destination row would overwrite a source row that is
    // still to be read: some later source row k lines down overlaps it.
    const int64_t delta = dstStart - srcStart;
    const int64_t laterRow = std::max<int64_t>(1, (delta - width * bpp) / pitch + 1);
    const bool bottomUp = delta > 0 && laterRow <= height - 1 && laterRow * pitch < delta + width * bpp;
    const uint32_t mask = bpp == 4 ? 0xFFFFFFFFu : (1u << (8 * bpp)) - 1;
    transparent &= mask;
    const int64_t rowBytes = width * bpp;
    const int64_t lastOffset = (height - 1) * pitch + rowBytes;
    if (mix == MIX_REPLACE && mode == Transparency::NONE && srcStart >= 0 && dstStart >= 0 &&
        srcStart + lastOffset <= memory && dstStart + lastOffset <= memory) {
        // Wholly inside video memory: plain row copies, in the order overlap needs.
        for (int64_t k = 0; k < height; ++k) {
            const int64_t r = bottomUp ? height - 1 - k : k;
            uint8_t* to = s.memory + dstStart + r * pitch;
            const uint8_t* from = s.memory + srcStart + r * pitch;
            if (to + rowBytes <= from || from + rowBytes <= to)
                copyApart(to, from, size_t(rowBytes));
            else
                std::memmove(to, from, size_t(rowBytes));
        }
        return 2 * uint64_t(rowBytes) * uint64_t(height);
    }
    std::vector<uint8_t> row;
    uint64_t bytes = 0;
    for (int64_t k = 0; k < height; ++k) {
        const int64_t r = bottomUp ? height - 1 - k : k;
        const int64_t src = srcStart + r * pitch, dst = dstStart + r * pitch;
        // Pixels whose source and destination bytes both lie inside video memory.
        auto firstInside = [&](int64_t start) { return start >= 0 ? int64_t{0} : (-start + bpp - 1) / bpp; };
        auto endInside = [&](int64_t start) {
            return start >= memory ? int64_t{0} : std::min(width, (memory - start) / bpp);
        };
        const int64_t a = std::max(firstInside(src), firstInside(dst));
        const int64_t b = std::min(endInside(src), endInside(dst));
        if (a >= b)
            continue;
        const size_t n = size_t(b - a) * size_t(bpp);
        const uint8_t* from = s.memory + (src + a * bpp);
        uint8_t* to = s.memory + (dst + a * bpp);
        if (mix == MIX_REPLACE && mode == Transparency::NONE) {
            std::memmove(to, from, n);
            bytes += 2 * n;
            continue;
        }
        row.assign(from, from + n);
        for (size_t i = 0; i < n; i += size_t(bpp)) {
            const uint32_t sv = load(row.data() + i, bpp);
            if (mode == Transparency::SOURCE && sv == transparent)
                continue;
            if (mode == Transparency::DESTINATION && load(to + i, bpp) != transparent)
                continue;
            mixPixel(to + i, bpp, mix, sv);
        }
        bytes += 3 * n;
    }
    return bytes;
}

// Cuts a copy's destination to the clip, moving the source with it.
bool cutDestination(const ClipBox& c, int64_t& srcX, int64_t& srcY, int64_t& dstX, int64_t& dstY, int64_t& width,
                    int64_t& height)
{
    if (width <= 0 || height <= 0 || c.empty())
        return false;
    if (dstX < c.left) {
        int64_t d = c.left - dstX;
        srcX += d, dstX += d, width -= d;
    }
    if (dstY < c.top) {
        int64_t d = c.top - dstY;
        srcY += d, dstY += d, height -= d;
    }
    width = std::min(width, c.right + 1 - dstX);
    height = std::min(height, c.bottom + 1 - dstY);
    return width > 0 && height > 0;
}

}  // namespace

uint64_t drawScan(const Surface& s, const AccelState& st, uint32_t color, int64_t y, int64_t x1, int64_t x2)
{
    if (x1 > x2)
        std::swap(x1, x2);
    const ClipBox c = effectiveClip(s, st);
    if (!cutSpan(s, c, y, x1, x2))
        return 0;
    return fillSpan(s, y, x1, x2, color, st.foregroundMix);
}

bool cutRect(const Surface& s, const AccelState& st, int64_t left, int64_t top, int64_t width, int64_t height,
             PixelBox& box)
{
    const ClipBox c = effectiveClip(s, st);
    if (width <= 0 || !cutRows(c, top, height, box.y1, box.y2))
        return false;
    box.x1 = std::max(left, c.left);
    box.x2 = std::min(left + width, c.right + 1);
    return box.x1 < box.x2;
}

uint64_t drawRect(const Surface& s, const AccelState& st, uint32_t color, int64_t left, int64_t top, int64_t width,
                  int64_t height)
{
    const ClipBox c = effectiveClip(s, st);
    PixelBox box;
    if (!cutRect(s, st, left, top, width, height, box))
        return 0;
    const int64_t x1 = box.x1, x2 = box.x2, y1 = box.y1, y2 = box.y2;
    const uint64_t pitch = uint64_t(s.bytesPerLine), bpp = uint64_t(s.bytesPerPixel);
    // Lines that lie wholly inside video memory; the one after may be cut short.
    const uint64_t firstRow = s.origin + uint64_t(y1) * pitch;
    const uint64_t rowEnd = uint64_t(x2) * bpp;
    if (firstRow + rowEnd > s.memoryBytes && firstRow >= s.memoryBytes)
        return 0;
    const uint64_t whole = firstRow + rowEnd > s.memoryBytes ? 0 : (s.memoryBytes - firstRow - rowEnd) / pitch + 1;
    const int64_t wholeEnd = std::min<int64_t>(y2, y1 + int64_t(std::min<uint64_t>(whole, uint64_t(y2 - y1))));
    uint64_t bytes = 0;
    if (st.foregroundMix == MIX_REPLACE) {
        const uint64_t count = uint64_t(x2 - x1);
        uint8_t* p = s.memory + firstRow + uint64_t(x1) * bpp;
        if (count * bpp == pitch) {
            // Whole scan lines back to back are one block of memory: fill them at once.
            fillReplace(p, s.bytesPerPixel, count * uint64_t(wholeEnd - y1), color);
        } else {
            for (int64_t y = y1; y < wholeEnd; ++y, p += pitch)
                fillReplace(p, s.bytesPerPixel, count, color);
        }
        bytes = count * bpp * uint64_t(wholeEnd - y1);
    } else {
        for (int64_t y = y1; y < wholeEnd; ++y)
            bytes += fillSpan(s, y, x1, x2, color, st.foregroundMix);
    }
    if (wholeEnd < y2) {
        int64_t a = x1, b = x2;
        if (cutSpan(s, c, wholeEnd, a, b))
            bytes += fillSpan(s, wholeEnd, a, b, color, st.foregroundMix);
    }
    return bytes;
}

uint64_t drawTrap(const Surface& s, const AccelState& st, uint32_t color, int64_t y, int64_t count, int32_t x1,
                  int32_t x2, int32_t slope1, int32_t slope2)
{
    const ClipBox c = effectiveClip(s, st);
    int64_t y1, y2;
    if (!cutRows(c, y, count, y1, y2))
        return 0;
    uint64_t bytes = 0;
    for (int64_t line = y1; line < y2; ++line) {
        const int64_t i = line - y;
        int64_t left = roundFixed(int64_t{x1} + i * slope1);
        int64_t right = roundFixed(int64_t{x2} + i * slope2);
        if (left > right)
            std::swap(left, right);
        if (cutSpan(s, c, line, left, right))
            bytes += fillSpan(s, line, left, right, color, st.foregroundMix);
    }
    return bytes;
}

uint64_t drawPattRect(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t left, int64_t top,
                      int64_t width, int64_t height)
{
    const ClipBox c = effectiveClip(s, st);
    int64_t y1, y2;
    if (width <= 0 || !cutRows(c, top, height, y1, y2))
        return 0;
    uint64_t bytes = 0;
    for (int64_t y = y1; y < y2; ++y) {
        int64_t x1 = left, x2 = left + width;
        if (!cutSpan(s, c, y, x1, x2))
            break;
        bytes += pattSpan(s, st, y, x1, x2, fg, bg);
    }
    return bytes;
}

uint64_t drawPattScan(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t y, int64_t x1,
                      int64_t x2)
{
    if (x1 > x2)
        std::swap(x1, x2);
    const ClipBox c = effectiveClip(s, st);
    if (!cutSpan(s, c, y, x1, x2))
        return 0;
    return pattSpan(s, st, y, x1, x2, fg, bg);
}

namespace {

// A line in the replace mix whose pixels all lie in video memory: pointer steps, no checks.
template <int BPP>
void replaceRun(const Surface& s, LineRun run, uint32_t color)
{
    const int64_t pitch = s.bytesPerLine;
    uint8_t* p = s.memory + s.origin + uint64_t(run.y()) * uint64_t(pitch) + uint64_t(run.x()) * BPP;
    const int64_t majorStep = run.majorSign * (run.xMajor ? BPP : pitch);
    const int64_t minorStep = run.minorSign * (run.xMajor ? pitch : BPP);
    for (int64_t k = 0; k <= run.count; ++k) {
        storePixel<BPP>(p, color);
        p += majorStep;
        run.remainder += run.twoD;
        if (run.remainder >= run.twoN) {
            run.remainder -= run.twoN;
            p += minorStep;
        }
    }
}

// Whether every pixel of the run lies in video memory: the farthest one is no farther than
// the corner of the run's bounding box at its largest x and y.
bool runInsideMemory(const Surface& s, const LineRun& run)
{
    const int64_t majorEnd = run.major + run.majorSign * run.count;
    const int64_t minorEnd = run.minor + run.minorSign * ((run.remainder + run.count * run.twoD) / run.twoN);
    const int64_t maxX = std::max(run.xMajor ? run.major : run.minor, run.xMajor ? majorEnd : minorEnd);
    const int64_t maxY = std::max(run.xMajor ? run.minor : run.major, run.xMajor ? minorEnd : majorEnd);
    return s.origin + uint64_t(maxY) * uint64_t(s.bytesPerLine) + uint64_t(maxX + 1) * uint64_t(s.bytesPerPixel) <=
           s.memoryBytes;
}

}  // namespace

uint64_t drawPixelLine(const Surface& s, const AccelState& st, uint32_t color, int64_t x1, int64_t y1, int64_t x2,
                       int64_t y2)
{
    const int bpp = s.bytesPerPixel;
    const int32_t mix = st.foregroundMix;
    const ClipBox clip = effectiveClip(s, st);
    if (mix == MIX_REPLACE) {
        const LineRun run = clipLine(x1, y1, x2, y2, clip);
        if (run.count < 0)
            return 0;
        if (runInsideMemory(s, run)) {
            if (run.xMajor && run.twoD == 0) {  // horizontal: one span
                const int64_t left = run.majorSign > 0 ? run.major : run.major - run.count;
                fillReplace(s.memory + s.origin + uint64_t(run.minor) * uint64_t(s.bytesPerLine) +
                                uint64_t(left) * uint64_t(bpp),
                            bpp, uint64_t(run.count + 1), color);
                return uint64_t(run.count + 1) * uint64_t(bpp);
            }
            switch (bpp) {
            case 1: replaceRun<1>(s, run, color); break;
            case 2: replaceRun<2>(s, run, color); break;
            case 3: replaceRun<3>(s, run, color); break;
            default: replaceRun<4>(s, run, color); break;
            }
            return uint64_t(run.count + 1) * uint64_t(bpp);
        }
    }
    uint64_t bytes = 0;
    walkLine(x1, y1, x2, y2, clip, [&](int64_t x, int64_t y, int64_t) {
        if (uint8_t* p = pixelAt(s, x, y)) {
            mixPixel(p, bpp, mix, color);
            bytes += touched(mix, bpp);
        }
    });
    return bytes;
}

uint64_t drawLine(const Surface& s, const AccelState& st, uint32_t color, int32_t x1, int32_t y1, int32_t x2,
                  int32_t y2)
{
    return drawPixelLine(s, st, color, roundFixed(x1), roundFixed(y1), roundFixed(x2), roundFixed(y2));
}

uint64_t drawStippleLine(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int32_t x1, int32_t y1,
                         int32_t x2, int32_t y2)
{
    const int bpp = s.bytesPerPixel;
    uint64_t bytes = 0;
    walkLine(roundFixed(x1), roundFixed(y1), roundFixed(x2), roundFixed(y2), effectiveClip(s, st),
             [&](int64_t x, int64_t y, int64_t step) {
                 uint8_t* p = pixelAt(s, x, y);
                 if (!p)
                     return;
                 const bool on = (st.stipple >> (step & 15)) & 1;
                 const int32_t mix = on ? st.foregroundMix : st.backgroundMix;
                 mixPixel(p, bpp, mix, on ? fg : bg);
                 bytes += touched(mix, bpp);
             });
    return bytes;
}

uint64_t putMonoImage(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t x, int64_t y,
                      int64_t bytesPerRow, int64_t rows, const uint8_t* image)
{
    if (!image || bytesPerRow <= 0 || rows <= 0)
        return 0;
    const ClipBox c = effectiveClip(s, st);
    int64_t y1, y2;
    if (!cutRows(c, y, rows, y1, y2))
        return 0;
    const int bpp = s.bytesPerPixel;
    uint64_t bytes = 0;
    for (int64_t line = y1; line < y2; ++line) {
        int64_t x1 = x, x2 = x + bytesPerRow * 8;
        if (!cutSpan(s, c, line, x1, x2))
            break;
        const uint8_t* bits = image + (line - y) * bytesPerRow;
        uint8_t* p = s.memory + s.origin + uint64_t(line) * uint64_t(s.bytesPerLine) + uint64_t(x1) * uint64_t(bpp);
        for (int64_t px = x1; px < x2; ++px, p += bpp) {
            const int64_t col = px - x;
            const bool on = bits[col >> 3] & (0x80 >> (col & 7));
            const int32_t mix = on ? st.foregroundMix : st.backgroundMix;
            mixPixel(p, bpp, mix, on ? fg : bg);
            bytes += touched(mix, bpp);
        }
    }
    return bytes;
}

bool cutScreenCopy(const Surface& s, const AccelState& st, int64_t left, int64_t top, int64_t width, int64_t height,
                   int64_t dstX, int64_t dstY, CopyArea& area)
{
    const ClipBox c = effectiveClip(s, st);
    if (!cutDestination(c, left, top, dstX, dstY, width, height))
        return false;
    // The source is a rectangle of the screen: cut it to the screen, moving the destination.
    if (left < 0) {
        int64_t d = -left;
        left += d, dstX += d, width -= d;
    }
    if (top < 0) {
        int64_t d = -top;
        top += d, dstY += d, height -= d;
    }
    width = std::min(width, int64_t{s.width} - left);
    height = std::min(height, int64_t{s.height} - top);
    width = std::min<int64_t>(width, s.bytesPerLine / s.bytesPerPixel);
    area = CopyArea{int64_t(s.origin) + top * s.bytesPerLine + left * s.bytesPerPixel, dstX, dstY, width, height};
    return width > 0 && height > 0;
}

bool cutLinearCopy(const Surface& s, const AccelState& st, int64_t srcOffset, int64_t dstX, int64_t dstY, int64_t width,
                   int64_t height, CopyArea& area)
{
    const ClipBox c = effectiveClip(s, st);
    int64_t srcX = 0, srcY = 0;
    if (!cutDestination(c, srcX, srcY, dstX, dstY, width, height))
        return false;
    width = std::min<int64_t>(width, s.bytesPerLine / s.bytesPerPixel);
    area = CopyArea{srcOffset + srcY * s.bytesPerLine + srcX * s.bytesPerPixel, dstX, dstY, width, height};
    return width > 0;
}

uint64_t bitBlt(const Surface& s, const AccelState& st, int64_t left, int64_t top, int64_t width, int64_t height,
                int64_t dstX, int64_t dstY, int32_t mix, Transparency mode, uint32_t transparent)
{
    CopyArea area;
    if (!cutScreenCopy(s, st, left, top, width, height, dstX, dstY, area))
        return 0;
    return copyBlock(s, area, mix, mode, transparent);
}

uint64_t bitBltLin(const Surface& s, const AccelState& st, int64_t srcOffset, int64_t dstX, int64_t dstY, int64_t width,
                   int64_t height, int32_t mix, Transparency mode, uint32_t transparent)
{
    CopyArea area;
    if (!cutLinearCopy(s, st, srcOffset, dstX, dstY, width, height, area))
        return 0;
    return copyBlock(s, area, mix, mode, transparent);
}

}  // namespace display
