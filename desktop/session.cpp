#include "desktop/session.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "desktop/dialog_manager.h"
#include "desktop/shots.h"

namespace desktop {

namespace {

// The window is redrawn at most this often while the program polls.
constexpr uint64_t kRefreshMs = 16;

uint64_t wallMicros()
{
    return uint64_t(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

uint64_t wallMs()
{
    return wallMicros() / 1000;
}

// Below this share of real time the window says the timings it shows are the host's.
constexpr int kKeepingUpPercent = 90;

// Stands in until a run sets its clock: time as the wall measures it.
class WallClock : public pc::Clock {
public:
    uint64_t nowMicros() override
    {
        return uint64_t(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    }
    void spend(uint64_t) override {}
};

}  // namespace

Session& session()
{
    static Session instance;
    return instance;
}

void Session::reset()
{
    *this = Session();
}

pc::Clock& Session::clock()
{
    static WallClock wall;
    return clock_ ? *clock_ : wall;
}

void Session::setScreenSource(std::function<void(Picture&)> scanOut, std::function<std::string(const Picture&)> describe)
{
    scanOut_ = std::move(scanOut);
    describeMode_ = std::move(describe);
}

bool Session::due()
{
    if (queue_.empty())
        return false;
    const uint64_t now = clock().nowMicros();
    if (!headDueAt_)
        headDueAt_ = now + uint64_t(queue_.front().waitMs) * 1000;
    return now >= *headDueAt_;
}

void Session::service(bool askingForInput)
{
    if (!snapError_.empty())
        throw RunEnded{2, "palisade: " + snapError_};
    waitPictureFresh_ = false;
    if (monitor_)
        monitor_->pump(*this);
    // While the program blocks nothing changes on the screen; while it polls, it draws.
    if (!blocked_)
        refresh(false);
    while (due()) {
        Action& head = queue_.front();
        if (head.kind == Action::Kind::Mouse) {
            mouseX_ = head.x;
            mouseY_ = head.y;
        } else if (head.kind == Action::Kind::Snap) {
            snap(head);
        } else if (head.kind == Action::Kind::Shot && askingForInput) {
            if (shots_) {
                const Picture& picture = waitPicture(shots_->keepsPictures());
                shots_->named(head.text, head.caption, picture, describeScreen(picture));
            }
        } else {
            break;
        }
        take();
    }
}

void Session::serviceSnaps()
{
    if (snapping_)
        return;
    snapping_ = true;
    while (snapError_.empty() && !queue_.empty() && queue_.front().kind == Action::Kind::Snap && due()) {
        // No exception may leave here: the machine may be inside the CPU's own code.
        try {
            snap(queue_.front());
        } catch (const std::exception& error) {
            snapError_ = error.what();
        }
        take();
    }
    snapping_ = false;
}

void Session::snap(const Action& action)
{
    if (!shots_)
        return;
    // Kept from snap to snap: a fresh picture of a screen's size costs its page faults.
    Picture& picture = snapPicture_;
    if (shots_->keepsPictures())
        compose(picture);
    // Said from the picture alone: asking the card its depth would take port reads in the
    // middle of the program's own.
    const std::string onScreen =
        !fullScreen_    ? describeDesktop()
        : picture.width ? named("full screen " + std::to_string(picture.width) + " x " + std::to_string(picture.height))
                        : named("full screen");
    shots_->snapped(action.text, action.caption, picture, onScreen);
}

void Session::expandTest(bool polling)
{
    while (!queue_.empty() && queue_.front().kind == Action::Kind::Test) {
        if (!modeRun_)
            modeRun_ = std::make_unique<ModeRun>(queue_.front());
        InputRequest request;
        request.fullScreen = fullScreen_;
        request.polling = polling;
        if (fullScreen_ && polling) {
            Picture picture;
            compose(picture);
            request.width = picture.width;
            request.height = picture.height;
        }
        std::vector<Action> inputs;
        try {
            inputs = modeRun_->next(request);
        } catch (const RunEnded&) {
            // The screen the step could not be done on is the run's last picture.
            Action none;
            shootOnce(none);
            throw;
        }
        if (inputs.empty()) {
            modeRun_.reset();
            take();
            continue;
        }
        // A wait before the step delays its first input.
        inputs.front().waitMs += queue_.front().waitMs;
        queue_.front().waitMs = 0;
        queue_.insert(queue_.begin(), inputs.begin(), inputs.end());
        headDueAt_.reset();
        return;
    }
}

const Action* Session::poll()
{
    expandTest(true);
    service(true);
    if (queue_.empty()) {
        if (scripted_)
            endOfScript();
        return nullptr;
    }
    if (!due())
        return nullptr;
    shootOnce(queue_.front());
    return &queue_.front();
}

Action Session::take()
{
    Action action = std::move(queue_.front());
    queue_.pop_front();
    headDueAt_.reset();
    headShot_ = false;
    // A snap counts from the moment the event before it reached the program.
    if (!queue_.empty() && queue_.front().kind == Action::Kind::Snap)
        due();
    return action;
}

Action Session::wait()
{
    refresh(true);
    struct Blocked {
        bool& flag;
        explicit Blocked(bool& f) : flag(f) { flag = true; }
        ~Blocked() { flag = false; }
    } blocked(blocked_);
    for (;;) {
        expandTest(false);
        service(true);
        if (!queue_.empty() && due()) {
            shootOnce(queue_.front());
            return take();
        }
        if (queue_.empty() && (scripted_ || !monitor_))
            endOfScript();
        if (!queue_.empty() && virtualTime_) {
            const uint64_t now = clock().nowMicros();
            clock().spend(*headDueAt_ > now ? *headDueAt_ - now : 1);
        } else if (monitor_) {
            monitor_->waitForEvents(int(kRefreshMs));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

void Session::endOfScript()
{
    // The last picture shows where the script ran out.
    Action none;
    shootOnce(none);
    throw RunEnded{EXIT_SCRIPT_RAN_OUT, "palisade: the script ended while the program waits for input on: " +
                                            describeScreen(waitPicture(false))};
}

void Session::shootOnce(Action&)
{
    if (headShot_)
        return;
    headShot_ = true;
    const std::string skipped = finishDrawing_ ? finishDrawing_() : std::string();
    if (!skipped.empty()) {
        ++skippedScreens_;
        const std::string name = fullScreen_ && nameScreen_ ? nameScreen_() : std::string();
        std::fprintf(stderr, "palisade: skipped screen %d%s: %s\n", screenNumber_,
                     name.empty() ? "" : (" (" + name + ")").c_str(), skipped.c_str());
        if (judge_)
            judge_->drawingSkipped();
    }
    if (!shots_ && !judge_)
        return;
    const Picture& picture = waitPicture((judge_ && fullScreen_) || (shots_ && shots_->keepsPictures()));
    const std::string onScreen = describeScreen(picture);
    ScreenVerdict verdict =
        judge_ && fullScreen_ && skipped.empty() ? judge_->judge(picture, onScreen) : ScreenVerdict{};
    verdict.skipped = skipped;
    if (shots_)
        shots_->automatic(picture, onScreen, verdict);
}

void Session::setFullScreen(bool on)
{
    fullScreen_ = on;
    screenNumber_ = 0;
    if (on)
        nextScreen();
    refresh(true);
}

void Session::nextScreen()
{
    if (!fullScreen_)
        return;
    ++screenNumber_;
}

std::string Session::caption(const Picture& picture)
{
    std::string text;
    if (fullScreen_) {
        text = "screen " + std::to_string(screenNumber_) + ": " + describeScreen(picture);
    } else {
        text = describeDesktop();
    }
    const std::optional<int> speed = meter_.speedPercent();
    if (speed && *speed < kKeepingUpPercent)
        text += " - emulation at " + std::to_string(*speed) + "% of real time: timings shown are the host's";
    return text;
}

void Session::compose(Picture& picture)
{
    if (fullScreen_ && scanOut_) {
        scanOut_(picture);
        return;
    }
    picture.width = desktopWidth_;
    picture.height = desktopHeight_;
    picture.bitsPerPixel = 0;  // the desktop is no mode of the card's
    picture.pixels.assign(size_t(desktopWidth_) * size_t(desktopHeight_), 0);
    renderDesktop(picture);
}

std::string Session::named(const std::string& mode)
{
    const std::string name = nameScreen_ ? nameScreen_() : std::string();
    return name.empty() ? mode : name + " (" + mode + ")";
}

std::string Session::describeScreen(const Picture& picture)
{
    if (fullScreen_)
        return named(describeMode_ ? describeMode_(picture) : "full screen");
    return describeDesktop();
}

const Picture& Session::waitPicture(bool wanted)
{
    static const Picture none;
    if (!wanted && !fullScreen_)
        return none;
    if (!waitPictureFresh_) {
        compose(waitPicture_);
        waitPictureFresh_ = true;
    }
    return waitPicture_;
}

void Session::refresh(bool now)
{
    if (!monitor_)
        return;
    const uint64_t wall = wallMs();
    if (!now && refreshed_ && wall - lastRefreshMs_ < kRefreshMs)
        return;
    lastRefreshMs_ = wall;
    refreshed_ = true;
    if (cpuPace_) {
        const pc::CpuPace pace = cpuPace_();
        meter_.sample(pace.hostMicros, pace.emulatedMicros, wall * 1000);
    }
    Picture picture;
    compose(picture);
    monitor_->present(picture);
    monitor_->setCaption(caption(picture));
}

std::string Session::stepName(const Action& action) const
{
    if (action.line > 0)
        return scriptName_ + ":" + std::to_string(action.line);
    return action.option.empty() ? "the command line" : action.option;
}

void Session::cannotDo(const Action& action, const std::string& why)
{
    if (action.line == 0)
        return;
    throw RunEnded{EXIT_STEP_NOT_DONE,
                   "palisade: " + stepName(action) + ": " + why + "; the screen was: " + describeScreen(waitPicture(false))};
}

}  // namespace desktop
