// The monitor as an SDL2 window: scaled to the window's size and resizable; keys and mouse
// from it become the session's input.
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
    SdlMonitor(const std::string& title, int width, int height);  // throws NoDisplay
    ~SdlMonitor() override;
    void present(const Picture& picture) override;
    void pump(Session& session) override;
    void waitForEvents(int milliseconds) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace desktop
