// One mode's test sequence, or every listed mode's, driven through the main dialog.
#include "desktop/mode_run.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include "desktop/dialog_manager.h"
#include "desktop/session.h"

namespace desktop {

namespace {

constexpr int DEPTHS[] = {4, 8, 15, 16, 24, 32};
// A screen that animates until a key is left to run this long, so its picture shows it going.
constexpr uint32_t ANIMATION_MS = 1000;

const char* const ACCESS_WORDS[] = {"linear", "virtual linear", "banked", "planar"};

bool parseInt(const std::string& text, int& value)
{
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && ptr == end && value > 0;
}

std::string labelOf(const Control& control)
{
    std::string label;
    for (char c : control.text)
        if (c != '&')
            label += c;
    return label;
}

const Control* find(const Dialog& dialog, ControlKind kind, const std::string& label)
{
    for (const Control& control : dialog.controls)
        if (control.kind == kind && (label.empty() || labelOf(control) == label))
            return &control;
    return nullptr;
}

const Control* linearOption(const Dialog& dialog)
{
    for (const Control& control : dialog.controls)
        if (control.kind == ControlKind::CheckBox && labelOf(control).find("linear") != std::string::npos)
            return &control;
    return nullptr;
}

bool checked(const Control* control)
{
    return control && control->check == BST_CHECKED;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool parseModeRequest(const std::string& text, ModeRequest& request, std::string& error)
{
    request = ModeRequest{};
    if (text == "all") {
        request.all = true;
        return true;
    }
    const size_t blank = text.find(' ');
    const std::string size = text.substr(0, blank);
    request.access = blank == std::string::npos ? "" : text.substr(text.find_first_not_of(' ', blank));
    const size_t x1 = size.find('x'), x2 = x1 == std::string::npos ? x1 : size.find('x', x1 + 1);
    if (x2 == std::string::npos || !parseInt(size.substr(0, x1), request.width) ||
        !parseInt(size.substr(x1 + 1, x2 - x1 - 1), request.height) || !parseInt(size.substr(x2 + 1), request.depth)) {
        error = "a mode is WIDTHxHEIGHTxDEPTH, as 640x480x8, or \"all\"; not \"" + text + "\"";
        return false;
    }
    if (std::find(std::begin(DEPTHS), std::end(DEPTHS), request.depth) == std::end(DEPTHS)) {
        error = "the depth of " + size + " is none of 4, 8, 15, 16, 24 or 32";
        return false;
    }
    if (!request.access.empty() &&
        std::find(std::begin(ACCESS_WORDS), std::end(ACCESS_WORDS), request.access) == std::end(ACCESS_WORDS)) {
        error = "after the mode comes linear, virtual linear, banked or planar, not \"" + request.access + "\"";
        return false;
    }
    return true;
}

std::string describeRequest(const ModeRequest& request)
{
    if (request.all)
        return "every listed mode";
    return std::to_string(request.width) + " x " + std::to_string(request.height) + " at " +
           std::to_string(request.depth) + " bit" + (request.access.empty() ? "" : " (" + request.access + ")");
}

std::vector<Action> commandLineSteps(const std::vector<std::string>& modes, bool allModes)
{
    std::vector<Action> steps;
    auto add = [&steps](const std::string& mode, const std::string& option) {
        ModeRequest request;
        std::string error;
        if (!parseModeRequest(mode, request, error))
            throw std::runtime_error(option + ": " + error);
        Action step;
        step.kind = Action::Kind::Test;
        step.text = mode;
        step.line = -1;
        step.option = option;
        steps.push_back(step);
    };
    for (const std::string& mode : modes)
        add(mode, "--test " + mode);
    if (allModes)
        add("all", "--all-modes");
    if (steps.empty())
        return steps;
    Action quit;
    quit.kind = Action::Kind::Key;
    quit.key = KEY_ESCAPE;
    quit.line = -1;
    quit.option = "the end of the --test steps (Esc to quit)";
    steps.push_back(quit);
    return steps;
}

ModeRun::ModeRun(const Action& step) : step_(step)
{
    std::string error;
    parseModeRequest(step.text, request_, error);  // checked when the step was made
}

Action ModeRun::input(Action::Kind kind, int id) const
{
    Action action;
    action.kind = kind;
    action.id = id;
    action.line = step_.line;
    action.option = step_.option;
    return action;
}

std::vector<Action> ModeRun::next(const InputRequest& request)
{
    if (request.fullScreen) {
        if (phase_ == Phase::Choosing)
            session().cannotDo(step_, "the program is in a test run, not at its main dialog");
        phase_ = Phase::Running;
        Action enter = input(Action::Kind::Key);
        enter.key = KEY_RETURN;
        if (!request.polling)
            return {enter};
        Action mouse = input(Action::Kind::Mouse);
        mouse.x = request.width / 2;
        mouse.y = request.height / 2;
        enter.waitMs = ANIMATION_MS;
        return {mouse, enter};
    }
    if (phase_ == Phase::Started)
        session().cannotDo(step_, "the program came back to its dialog without a test screen: " + tested_ +
                                      " could not be set");
    if (phase_ == Phase::Running) {
        if (!request_.all)
            return {};
        ++entry_;
        phase_ = Phase::Choosing;
    }
    return choose();
}

std::vector<Action> ModeRun::choose()
{
    const Dialog* dialog = openDialogs().empty() ? nullptr : openDialogs().back();
    const Control* list = dialog ? find(*dialog, ControlKind::ListBox, "") : nullptr;
    const Control* start = dialog ? find(*dialog, ControlKind::PushButton, "Test mode") : nullptr;
    if (!list || !start)
        session().cannotDo(step_, "the screen is not the main dialog with its mode list and \"Test mode\"");
    const Control* linear = linearOption(*dialog);
    const bool canToggle = linear && linear->enabled;

    for (;;) {
        const int depth = request_.all ? (depthIndex_ < 6 ? DEPTHS[depthIndex_] : 0) : request_.depth;
        if (depth == 0)
            return {};  // every list has been run
        const Control* radio = find(*dialog, ControlKind::Radio, std::to_string(depth) + " bit");
        if (!radio || !radio->enabled) {
            if (!request_.all)
                session().cannotDo(step_, "the dialog offers no " + std::to_string(depth) + "-bit modes");
            ++depthIndex_, pass_ = 0, entry_ = 0;
            continue;
        }
        if (!checked(radio))
            return {input(Action::Kind::Click, radio->id)};

        // The framebuffer option: an "all" step runs each list with it on, then off; a mode
        // asked for by its access sets it to match.
        if (request_.all && pass_ == 1 && !canToggle) {
            ++depthIndex_, pass_ = 0, entry_ = 0;
            continue;
        }
        const bool wantLinear =
            request_.all ? pass_ == 0 : request_.access == "linear" || request_.access == "virtual linear";
        if ((request_.all || !request_.access.empty()) && checked(linear) != wantLinear) {
            if (canToggle)
                return {input(Action::Kind::Click, linear->id)};
            if (!request_.all)
                session().cannotDo(step_, "\"" + (linear ? labelOf(*linear) : std::string("the linear option")) +
                                              "\" cannot be changed on this machine");
        }

        int entry = -1;
        if (request_.all) {
            if (entry_ >= int(list->items.size())) {
                if (pass_ == 0)
                    pass_ = 1, entry_ = 0;
                else
                    ++depthIndex_, pass_ = 0, entry_ = 0;
                continue;
            }
            entry = entry_;
        } else {
            const std::string size = std::to_string(request_.width) + " x " + std::to_string(request_.height) + " ";
            for (size_t i = 0; i < list->items.size() && entry < 0; ++i)
                if (list->items[i].rfind(size, 0) == 0 &&
                    (request_.access.empty() || endsWith(list->items[i], "(" + request_.access + ")")))
                    entry = int(i);
            if (entry < 0) {
                std::string listed;
                for (const std::string& item : list->items)
                    listed += (listed.empty() ? "" : ", ") + item;
                session().cannotDo(step_, "the machine lists no mode " + describeRequest(request_) + "; the " +
                                              std::to_string(depth) + "-bit list holds " +
                                              (listed.empty() ? "nothing" : listed));
            }
        }
        if (list->selection != entry) {
            Action select = input(Action::Kind::Select, list->id);
            select.index = entry;
            return {select};
        }
        tested_ = list->items[size_t(entry)];
        phase_ = Phase::Started;
        return {input(Action::Kind::Click, start->id)};
    }
}

}  // namespace desktop
