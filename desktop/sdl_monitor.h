// The monitor as an SDL2 window: the picture at a whole-number zoom, centred (1:1 when that is
// all that fits, the window grown to hold a larger mode); keys and mouse from it become the
// session's input, and F12 saves the screen as a PNG in the current folder.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "desktop/session.h"

namespace desktop {

// There is no display to open a window on.
struct NoDisplay : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class SdlMonitor : public Monitor {
public:
    // title: the window's name, before the caption the session gives it.
    SdlMonitor(const std::string& title, int width, int height);  // throws NoDisplay
    ~SdlMonitor() override;
    void present(const Picture& picture) override;
    void setCaption(const std::string& caption) override;
    void pump(Session& session) override;
    void waitForEvents(int milliseconds) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace desktop
