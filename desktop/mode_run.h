// The `test MODE` step (and --test, --all-modes): one mode's whole test sequence, or every
// listed mode's, driven through the main dialog as a person drives it. The driver reads the
// labels on the screen ("8 bit", "Use linear framebuffer", the list's entries, "Test mode"),
// never the program: it picks the depth, the framebuffer option and the entry, presses
// "Test mode", then answers each test screen with Enter (a screen that animates until a key
// runs for a second first, with the mouse at its centre), until the dialog is back.
#pragma once

#include <string>
#include <vector>

#include "desktop/input.h"

namespace desktop {

struct ModeRequest {
    bool all = false;  // every mode the machine lists, in every depth, with and without linear
    int width = 0, height = 0, depth = 0;
    std::string access;  // empty (either), "linear", "virtual linear", "banked" or "planar"
};

// "640x480x8", "640x480x8 linear", "1024x768x16 banked", or "all". Returns false with the
// reason in error when the text is none of these.
bool parseModeRequest(const std::string& text, ModeRequest& request, std::string& error);

// "640 x 480 at 8 bit (linear)": the request in the words of the dialog.
std::string describeRequest(const ModeRequest& request);

// The input of --test MODE... and --all-modes: their steps in order, then Esc, which quits the
// program at its main dialog. Throws std::runtime_error naming the option of a malformed mode.
std::vector<Action> commandLineSteps(const std::vector<std::string>& modes, bool allModes);

// What the driver is told at each request for input.
struct InputRequest {
    bool fullScreen = false;
    bool polling = false;       // the program looks for input while it works (an animation)
    int width = 0, height = 0;  // the screen, in pixels
};

class ModeRun {
public:
    // step: the `test` action; its text is the request, checked by parseModeRequest.
    explicit ModeRun(const Action& step);
    // The next input for the program; empty once the step is done. A step that cannot be done
    // (no main dialog, no such mode, a mode the program cannot show) ends the run through
    // session().cannotDo.
    std::vector<Action> next(const InputRequest& request);

private:
    // At the main dialog: the clicks that bring it to the entry to test, or the press on
    // "Test mode"; empty when every mode of an "all" step has run.
    std::vector<Action> choose();
    Action input(Action::Kind kind, int id = 0) const;

    Action step_;
    ModeRequest request_;
    enum class Phase { Choosing, Started, Running } phase_ = Phase::Choosing;
    // An "all" step's place: depth button, framebuffer pass (0 linear, 1 not), list entry.
    int depthIndex_ = 0;
    int pass_ = 0;
    int entry_ = 0;
    std::string tested_;  // the entry being tested, for messages
};

}  // namespace desktop
