// The verdict of a headless run: each full-screen picture the card shows, set against the
// picture the program meant (the display library's record and its own copy of the video memory
// the program drew into).
#pragma once

#include <optional>

#include "desktop/screen_verdict.h"
#include "pc/pc.h"

namespace desktop {

class CardJudge : public ScreenJudge {
public:
    // From now on the display library keeps its copy of the video memory the program means.
    explicit CardJudge(pc::Pc& machine);
    // Also writes a line on stderr for a screen that differs.
    ScreenVerdict judge(const Picture& shown, const std::string& onScreen) override;
    // Later screens are judged by what the card holds where the drawing was skipped: in a
    // packed mode the meant copy of video memory takes the card's bytes; a 4-bit mode's planes
    // are not laid out alike, so its later screens are not judged until the next mode.
    void drawingSkipped() override;
    int screens() const { return screens_; }
    int differing() const { return differing_; }

private:
    pc::Pc& machine_;
    int screens_ = 0;
    int differing_ = 0;
    std::optional<uint16_t> unjudgedMode_;  // a 4-bit mode whose drawing was skipped
};

}  // namespace desktop
