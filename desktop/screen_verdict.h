// The judgement of one full-screen picture against the picture the program meant, and the
// interface of whoever makes it.
#pragma once

#include <string>

#include "desktop/canvas.h"

namespace desktop {

struct ScreenVerdict {
    bool judged = false;  // false: nothing to judge against (a dialog, or no mode the program set)
    bool differs = false;
    std::string hint;  // when it differs: the number of pixels and the first reason, in words
    Picture diff;      // when it differs: the meant picture dimmed, the differing pixels red
    Picture meant;     // when it differs: the picture a correct card would show
    std::string skipped;  // why the screen's drawing never reached the card: then it is not judged
};

class ScreenJudge {
public:
    virtual ~ScreenJudge() = default;
    // shown is the card's scan-out; onScreen says in words what it is.
    virtual ScreenVerdict judge(const Picture& shown, const std::string& onScreen) = 0;
    // A screen's drawing was skipped: the card holds what it held before, the program's record
    // of video memory does not.
    virtual void drawingSkipped() {}
};

}  // namespace desktop
