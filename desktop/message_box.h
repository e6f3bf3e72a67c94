// The message box: a dialog laid out around its text, with an OK button and an optional icon.
#pragma once

#include <string>

#include "desktop/dialog_manager.h"

namespace desktop {

// The box for MessageBoxA's text, caption and type, centred on the desktop; OK, Enter, Esc
// and the close box end it with IDOK.
Dialog messageBox(const std::string& text, const std::string& caption, UINT type);

}  // namespace desktop
