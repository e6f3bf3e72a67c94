// The verdict of a headless run: each full-screen picture the card shows, set against the
// picture the program meant (the display library's record over the video memory it drew into).
#pragma once

#include "desktop/screen_verdict.h"
#include "machine/machine.h"

namespace desktop {

class CardJudge : public ScreenJudge {
public:
    explicit CardJudge(const machine::Machine& machine) : machine_(machine) {}
    // Also writes a line on stderr for a screen that differs.
    ScreenVerdict judge(const Picture& shown, const std::string& onScreen) override;
    int screens() const { return screens_; }
    int differing() const { return differing_; }

private:
    const machine::Machine& machine_;
    int screens_ = 0;
    int differing_ = 0;
};

}  // namespace desktop
