// Walks the pixels of a line clipped to a rectangle, visiting exactly the pixels the whole
// line would have inside it, whatever the distance of its end points.
//
// The pixel set: with n = max(|dx|, |dy|) steps along the major axis, step i (0..n, both
// ends included) lands on major = start + i and minor = start + sign * floor((2 i |d| + n) / 2n),
// that is the minor offset rounded half away from the start point. Visiting starts from the
// first step inside the rectangle, so a line far off screen costs nothing but its set-up.
#pragma once

#include <algorithm>
#include <cstdint>

namespace display {

struct ClipBox {
    int64_t left = 0, top = 0, right = -1, bottom = -1;  // inclusive; empty when right < left
    bool empty() const { return right < left || bottom < top; }
};

namespace line_detail {

using Wide = __int128;

// The minor-axis offset (unsigned magnitude) at step i.
inline Wide minorAt(Wide i, Wide d, Wide n)
{
    return (2 * i * d + n) / (2 * n);
}

// The first step in [lo, hi] whose minor coordinate start + sign * minorAt(i) is >= bound
// when rising, or <= bound when falling; hi + 1 when there is none. minorAt grows with i.
inline Wide firstStepReaching(Wide lo, Wide hi, Wide start, int sign, Wide d, Wide n, Wide bound)
{
    auto reached = [&](Wide i) {
        Wide m = start + sign * minorAt(i, d, n);
        return sign > 0 ? m >= bound : m <= bound;
    };
    Wide a = lo, b = hi + 1;
    while (a < b) {
        Wide mid = a + (b - a) / 2;
        if (reached(mid))
            b = mid;
        else
            a = mid + 1;
    }
    return a;
}

}  // namespace line_detail

// The part of a line inside a clip rectangle, ready to walk: `count` + 1 pixels from
// (x, y) = (major, minor) or (minor, major), `firstStep` being the first one's index along
// the whole line. Each step moves the major coordinate by majorSign; the minor one moves by
// minorSign whenever the remainder, grown by twoD, reaches twoN (at most once a step).
struct LineRun {
    bool xMajor = true;
    int majorSign = 1, minorSign = 1;
    int64_t major = 0, minor = 0;
    int64_t remainder = 0, twoD = 0, twoN = 1;
    int64_t firstStep = 0, count = -1;  // count < 0: nothing inside
    int64_t x() const { return xMajor ? major : minor; }
    int64_t y() const { return xMajor ? minor : major; }
};

inline LineRun clipLine(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const ClipBox& clip)
{
    using line_detail::Wide;
    LineRun run;
    if (clip.empty())
        return run;
    const int64_t dx = x2 - x1, dy = y2 - y1;
    const bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    const int64_t majorStart = xMajor ? x1 : y1, minorStart = xMajor ? y1 : x1;
    const int64_t majorDelta = xMajor ? dx : dy, minorDelta = xMajor ? dy : dx;
    const int majorSign = majorDelta < 0 ? -1 : 1, minorSign = minorDelta < 0 ? -1 : 1;
    const Wide n = majorDelta < 0 ? -Wide(majorDelta) : Wide(majorDelta);
    const Wide d = minorDelta < 0 ? -Wide(minorDelta) : Wide(minorDelta);
    const int64_t majorLo = xMajor ? clip.left : clip.top, majorHi = xMajor ? clip.right : clip.bottom;
    const int64_t minorLo = xMajor ? clip.top : clip.left, minorHi = xMajor ? clip.bottom : clip.right;
    run.xMajor = xMajor;
    run.majorSign = majorSign;
    run.minorSign = minorSign;

    if (n == 0) {
        if (x1 >= clip.left && x1 <= clip.right && y1 >= clip.top && y1 <= clip.bottom) {
            run.major = majorStart;
            run.minor = minorStart;
            run.count = 0;
        }
        return run;
    }

    // Steps whose major coordinate lies inside the clip.
    Wide first, last;
    if (majorSign > 0) {
        first = Wide(majorLo) - majorStart;
        last = Wide(majorHi) - majorStart;
    } else {
        first = Wide(majorStart) - majorHi;
        last = Wide(majorStart) - majorLo;
    }
    first = std::max<Wide>(first, 0);
    last = std::min<Wide>(last, n);
    if (first > last)
        return run;

    // Narrow to the steps whose minor coordinate lies inside too. It moves monotonically, so
    // a line whose ends both lie inside needs no narrowing.
    const int64_t minorEnd = minorStart + minorDelta;
    if (std::min(minorStart, minorEnd) < minorLo || std::max(minorStart, minorEnd) > minorHi) {
        if (minorSign > 0) {
            first = line_detail::firstStepReaching(first, last, minorStart, 1, d, n, minorLo);
            Wide beyond = line_detail::firstStepReaching(first, last, minorStart, 1, d, n, Wide(minorHi) + 1);
            last = beyond - 1;
        } else {
            first = line_detail::firstStepReaching(first, last, minorStart, -1, d, n, minorHi);
            Wide beyond = line_detail::firstStepReaching(first, last, minorStart, -1, d, n, Wide(minorLo) - 1);
            last = beyond - 1;
        }
        if (first > last)
            return run;
    }

    // num = 2 i d + n, split into quotient (minor offset) and remainder.
    const Wide twoN = 2 * n;
    const Wide num = 2 * first * d + n;
    const bool fromStart = first == 0;  // the common case, without a wide division
    run.minor = minorStart + minorSign * (fromStart ? 0 : static_cast<int64_t>(num / twoN));
    run.remainder = fromStart ? static_cast<int64_t>(n) : static_cast<int64_t>(num % twoN);
    run.twoD = static_cast<int64_t>(2 * d);
    run.twoN = static_cast<int64_t>(twoN);
    run.major = majorStart + majorSign * static_cast<int64_t>(first);
    run.firstStep = static_cast<int64_t>(first);
    run.count = static_cast<int64_t>(last - first);
    return run;
}

// plot(x, y, step) is called for every visited pixel in order from (x1, y1); step is the
// pixel's index along the whole line, so stipples keep their phase when the start is clipped.
template <class Plot>
void walkLine(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const ClipBox& clip, Plot&& plot)
{
    LineRun run = clipLine(x1, y1, x2, y2, clip);
    for (int64_t k = 0; k <= run.count; ++k) {
        if (run.xMajor)
            plot(run.major, run.minor, run.firstStep + k);
        else
            plot(run.minor, run.major, run.firstStep + k);
        run.major += run.majorSign;
        run.remainder += run.twoD;
        if (run.remainder >= run.twoN) {
            run.remainder -= run.twoN;
            run.minor += run.minorSign;
        }
    }
}

}  // namespace display
