// The name of a full-screen picture, from what the program put on it: the texts it wrote (the
// tests say on the screen what they are), else the accelerator operations it drew with, the
// clip rectangle and the hardware cursor. Never from a script's position in the run.
#pragma once

#include <string>

#include "display/reference.h"
#include "display/screen_contents.h"

namespace desktop {

// "Bank switching test / Video mode: 640 x 480 8 bit / ...", or "AF_drawRect ×257,
// AF_drawPattRect ×6; clipped to (50,50)-(589,429); hardware cursor at (320,240)"; empty when
// the program has put nothing the library can name on the screen.
std::string screenName(const display::ScreenContents& contents, const display::MeantScreen& meant);

}  // namespace desktop
