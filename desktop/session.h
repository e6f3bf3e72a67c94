// The run the desktop serves: its clock, the Windows version it reports, the desktop size,
// the mouse, the queue of input, the monitor it presents to, and the pictures it keeps.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "desktop/canvas.h"
#include "desktop/input.h"
#include "desktop/mode_run.h"
#include "desktop/real_time_meter.h"
#include "desktop/screen_verdict.h"
#include "pc/pc.h"

namespace desktop {

class Session;
class ShotWriter;

// The monitor a person looks at: a window. Headless runs have none.
class Monitor {
public:
    virtual ~Monitor() = default;
    virtual void present(const Picture& picture) = 0;
    // What the window's title says is shown.
    virtual void setCaption(const std::string& caption) = 0;
    // Moves what the person did since the last call into the session's queue.
    virtual void pump(Session& session) = 0;
    // Sleeps until something may have arrived, at most milliseconds.
    virtual void waitForEvents(int milliseconds) = 0;
};

// Exit statuses of a run that the desktop ends: the script ran out while the program waits
// for input, or a step of the script (or of --test) could not be done on the screen shown.
constexpr int EXIT_SCRIPT_RAN_OUT = 3;
constexpr int EXIT_STEP_NOT_DONE = 5;
// The run ended normally, no screen differs, but a test's drawing was skipped: the line to the
// PC could not carry it within the machine's limit, so not every test ran.
constexpr int EXIT_TESTS_SKIPPED = 6;

// Ends the run from inside the program: main returns status after printing message.
struct RunEnded {
    int status = 0;
    std::string message;
};

class Session {
public:
    // --- set-up ---------------------------------------------------------------------
    void reset();
    void setClock(pc::Clock* clock) { clock_ = clock; }
    pc::Clock& clock();
    void setVersion(int major, int minor)
    {
        major_ = major;
        minor_ = minor;
    }
    uint32_t version() const { return uint32_t(major_) | (uint32_t(minor_) << 8); }
    void setDesktopSize(int width, int height)
    {
        desktopWidth_ = width;
        desktopHeight_ = height;
    }
    int desktopWidth() const { return desktopWidth_; }
    int desktopHeight() const { return desktopHeight_; }
    // A scripted run: its input is all in the queue, and running out of it ends the run.
    void setScripted(bool scripted) { scripted_ = scripted; }
    // Waits for input pass on the clock instead of the wall (headless runs).
    void setVirtualTime(bool on) { virtualTime_ = on; }
    bool scripted() const { return scripted_; }
    void setMonitor(Monitor* monitor) { monitor_ = monitor; }
    void setShots(ShotWriter* shots) { shots_ = shots; }
    // Judges each full-screen picture at a wait for input (--verdict).
    void setJudge(ScreenJudge* judge) { judge_ = judge; }
    // The program's file as GetModuleFileNameA names it; empty: the running executable.
    void setProgramPath(std::string hostPath) { programPath_ = std::move(hostPath); }
    const std::string& programPath() const { return programPath_; }
    // The card's picture and a one-line description of its mode from that picture, for
    // full-screen runs.
    void setScreenSource(std::function<void(Picture&)> scanOut, std::function<std::string(const Picture&)> describe);
    // What the program put on the full screen, in words (the tests' own texts); empty: unknown.
    // Reads no port, so a snap in the middle of a real-mode call may ask it too.
    void setScreenNamer(std::function<std::string()> name) { nameScreen_ = std::move(name); }
    // Ends a test's drawing at each wait for input: what the PC was sent of it, and why the rest
    // was not (pc::Pc::finishDrawing); such a screen is skipped, never judged.
    void setDrawingFinisher(std::function<std::string()> finish) { finishDrawing_ = std::move(finish); }
    int skippedScreens() const { return skippedScreens_; }
    // The PC CPU's pace, which a window run compares with real time.
    void setCpuPace(std::function<pc::CpuPace()> pace) { cpuPace_ = std::move(pace); }

    // --- input ----------------------------------------------------------------------
    void enqueue(Action action) { queue_.push_back(std::move(action)); }
    size_t queued() const { return queue_.size(); }
    int mouseX() const { return mouseX_; }
    int mouseY() const { return mouseY_; }
    void setMouse(int x, int y)
    {
        mouseX_ = x;
        mouseY_ = y;
    }
    // Applies mouse moves that are due (and, when the program asks for input, shots), and
    // refreshes the window now and then.
    void service(bool askingForInput = false);
    // Takes the snaps that are due, wherever the program is: called after every bit of work
    // charged to the run's clock. Reads no port and runs no CPU, so a real-mode call may be
    // under way.
    void serviceSnaps();
    // Why a snap could not be written, once the next input call has not yet ended the run.
    const std::string& snapError() const { return snapError_; }
    // The next due action without taking it, or null. A scripted run that has nothing left
    // ends here: the program is waiting for input that will never come.
    const Action* poll();
    Action take();
    // Blocks until an action is due and takes it.
    Action wait();

    // --- the monitor ----------------------------------------------------------------
    bool fullScreen() const { return fullScreen_; }
    void setFullScreen(bool on);
    // The program took input on a full screen: what it shows next is its next screen.
    void nextScreen();
    // The window's caption for picture: the screen's number in the run and its name, or the
    // dialog, and a note when the emulation falls behind real time.
    std::string caption(const Picture& picture);
    // The picture the person sees now: the card's scan-out, or the desktop and its dialogs.
    void compose(Picture& picture);
    // What the person sees, in words: the screen's own name and the mode of a full screen
    // (said from its picture), or the dialog.
    std::string describeScreen(const Picture& picture);
    void refresh(bool now);
    // How the run names where its steps come from: the script's path, for "PATH:LINE".
    void setScriptName(std::string name) { scriptName_ = std::move(name); }
    // A step that cannot be done on the screen shown ends a scripted run (EXIT_STEP_NOT_DONE)
    // with one line naming the step and the screen; no picture is taken after it. A person's
    // input (line 0) that the screen does not take is dropped, as Windows drops it.
    void cannotDo(const Action& action, const std::string& why);
    // Where a step came from: "PATH:LINE" for a script line, the option for --test.
    std::string stepName(const Action& action) const;

private:
    bool due();
    void shootOnce(Action& action);
    void snap(const Action& action);
    [[noreturn]] void endOfScript();
    // A `test` step at the head of the queue puts the next input it gives in front of itself,
    // or leaves the queue once its modes have run.
    void expandTest(bool polling);
    // The screen's own name before its mode, "NAME (MODE)", or the mode alone.
    std::string named(const std::string& mode);
    // The screen at the wait the program is at, composed once for all its shots, words and
    // verdict, and forgotten whenever the program may have drawn since (each service). A full
    // screen is always composed, its words come from it; a desktop only when wanted.
    const Picture& waitPicture(bool wanted);

    pc::Clock* clock_ = nullptr;
    int major_ = 4, minor_ = 0;
    int desktopWidth_ = 1024, desktopHeight_ = 768;
    bool scripted_ = false;
    bool virtualTime_ = false;
    Monitor* monitor_ = nullptr;
    ShotWriter* shots_ = nullptr;
    ScreenJudge* judge_ = nullptr;
    std::string programPath_;
    std::string scriptName_ = "script";
    std::function<void(Picture&)> scanOut_;
    std::function<std::string(const Picture&)> describeMode_;
    std::function<std::string()> nameScreen_;
    std::function<std::string()> finishDrawing_;
    int skippedScreens_ = 0;
    int screenNumber_ = 0;  // the full screens shown since the last dialog, this one included
    std::function<pc::CpuPace()> cpuPace_;
    RealTimeMeter meter_;
    Picture waitPicture_;
    Picture snapPicture_;
    bool waitPictureFresh_ = false;
    std::deque<Action> queue_;
    std::unique_ptr<ModeRun> modeRun_;  // the `test` step at the head of the queue
    std::optional<uint64_t> headDueAt_;
    bool headShot_ = false;
    int mouseX_ = 0, mouseY_ = 0;
    bool fullScreen_ = false;
    uint64_t lastRefreshMs_ = 0;
    bool refreshed_ = false;
    bool blocked_ = false;
    bool snapping_ = false;
    std::string snapError_;
};

// The clock a run hands to the machine: the given clock, with the run's snaps taken as soon
// as the work charged to it brings them due.
class SessionClock : public pc::Clock {
public:
    SessionClock(pc::Clock& inner, Session& session) : inner_(inner), session_(session) {}
    uint64_t nowMicros() override { return inner_.nowMicros(); }
    void spend(uint64_t micros) override
    {
        inner_.spend(micros);
        session_.serviceSnaps();
    }

private:
    pc::Clock& inner_;
    Session& session_;
};

Session& session();

}  // namespace desktop
