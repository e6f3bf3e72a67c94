#include "desktop/script.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <set>
#include <sstream>

#include "desktop/mode_run.h"

namespace desktop {

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Splits off the first blank-separated word.
std::pair<std::string, std::string> firstWord(const std::string& text)
{
    const auto end = text.find_first_of(" \t");
    if (end == std::string::npos)
        return {text, {}};
    return {text.substr(0, end), trim(text.substr(end))};
}

bool parseNumber(const std::string& text, long min, long max, long& value)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end && value >= min && value <= max;
}

struct KeyName {
    const char* name;
    int key;
    bool shift;
};
constexpr KeyName kKeys[] = {
    {"esc", KEY_ESCAPE, false},    {"escape", KEY_ESCAPE, false}, {"enter", KEY_RETURN, false},
    {"return", KEY_RETURN, false}, {"space", KEY_SPACE, false},   {"tab", KEY_TAB, false},
    {"shift-tab", KEY_TAB, true},  {"up", KEY_UP, false},         {"down", KEY_DOWN, false},
    {"left", KEY_LEFT, false},     {"right", KEY_RIGHT, false},
};

int controlId(int line, const std::string& word, const std::string& event)
{
    long id = 0;
    if (!parseNumber(word, -1, 0xFFFF, id))
        throw ScriptError(line, event + " needs a control id (a number), not \"" + word + "\"");
    return int(id);
}

void expectNothing(int line, const std::string& rest, const std::string& event)
{
    if (!rest.empty())
        throw ScriptError(line, "unexpected \"" + rest + "\" after " + event);
}

}  // namespace

std::vector<Action> parseScript(const std::string& text)
{
    std::vector<Action> actions;
    std::istringstream lines(text);
    std::string raw;
    int number = 0;
    uint64_t pendingWait = 0;
    std::set<std::string> names;
    while (std::getline(lines, raw)) {
        ++number;
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        const auto [event, rest] = firstWord(line);
        const std::string name = lower(event);
        Action action;
        action.line = number;
        if (name == "key") {
            action.kind = Action::Kind::Key;
            if (rest.size() == 1 && std::isprint(static_cast<unsigned char>(rest[0]))) {
                action.key = static_cast<unsigned char>(rest[0]);
            } else {
                // A named copy: Clang 14 cannot capture a structured binding.
                const std::string keyName = lower(rest);
                const auto found = std::find_if(std::begin(kKeys), std::end(kKeys),
                                                [&](const KeyName& k) { return keyName == k.name; });
                if (found == std::end(kKeys))
                    throw ScriptError(number, rest.empty() ? "key needs a key name"
                                                           : "unknown key \"" + rest +
                                                                 "\" (a printable character, Esc, Enter, Space, "
                                                                 "Tab, Shift-Tab, Up, Down, Left or Right)");
                action.key = found->key;
                action.shift = found->shift;
            }
        } else if (name == "click" || name == "dblclick") {
            action.kind = name == "click" ? Action::Kind::Click : Action::Kind::DoubleClick;
            const auto [id, more] = firstWord(rest);
            action.id = controlId(number, id, name);
            expectNothing(number, more, name + " " + id);
        } else if (name == "select") {
            action.kind = Action::Kind::Select;
            const auto [id, what] = firstWord(rest);
            action.id = controlId(number, id, name);
            if (what.empty())
                throw ScriptError(number, "select needs the text of an entry or #N after the control id");
            long index = 0;
            if (what[0] == '#' && parseNumber(what.substr(1), 0, 0x7FFF, index))
                action.index = int(index);
            else if (what[0] == '#')
                throw ScriptError(number, "select needs an entry number after \"#\", not \"" + what + "\"");
            else
                action.text = what;
        } else if (name == "mouse") {
            action.kind = Action::Kind::Mouse;
            const auto [xWord, after] = firstWord(rest);
            const auto [yWord, more] = firstWord(after);
            long x = 0, y = 0;
            if (!parseNumber(xWord, -32768, 32767, x) || !parseNumber(yWord, -32768, 32767, y))
                throw ScriptError(number, "mouse needs two numbers, X and Y");
            expectNothing(number, more, "mouse " + xWord + " " + yWord);
            action.x = int(x);
            action.y = int(y);
        } else if (name == "button") {
            action.kind = Action::Kind::Button;
            expectNothing(number, rest, name);
        } else if (name == "wait") {
            long ms = 0;
            if (!parseNumber(rest, 0, 86'400'000, ms))
                throw ScriptError(number, "wait needs a number of milliseconds, not \"" + rest + "\"");
            pendingWait += uint64_t(ms);
            continue;
        } else if (name == "shot" || name == "snap") {
            std::string named = rest;
            if (name == "snap") {
                action.kind = Action::Kind::Snap;
                const auto [msWord, after] = firstWord(rest);
                long ms = 0;
                if (!parseNumber(msWord, 0, 86'400'000, ms))
                    throw ScriptError(number, "snap needs a number of milliseconds, not \"" + msWord + "\"");
                pendingWait += uint64_t(ms);
                named = after;
            } else {
                action.kind = Action::Kind::Shot;
            }
            const auto [file, caption] = firstWord(named);
            if (file.empty() || file.find_first_of("/\\") != std::string::npos || file[0] == '.')
                throw ScriptError(number, name + " needs a file name without folders or blanks");
            // NNNN.png are the pictures of the waits; a picture is written once.
            if (std::all_of(file.begin(), file.end(), [](unsigned char c) { return std::isdigit(c); }))
                throw ScriptError(number, name + " " + file +
                                              ": names of digits alone belong to the pictures of "
                                              "the waits (NNNN.png)");
            if (!names.insert(file).second)
                throw ScriptError(number, name + " " + file + ": that name is taken by an earlier shot or snap");
            action.text = file;
            action.caption = caption;
        } else if (name == "test") {
            action.kind = Action::Kind::Test;
            ModeRequest request;
            std::string error;
            if (!parseModeRequest(rest, request, error))
                throw ScriptError(number, "test: " + error);
            action.text = rest;
        } else {
            throw ScriptError(number, "unknown event \"" + event +
                                          "\" (key, click, select, dblclick, mouse, button, wait, shot, snap or test)");
        }
        action.waitMs = uint32_t(std::min<uint64_t>(pendingWait, 0xFFFFFFFFu));
        pendingWait = 0;
        actions.push_back(std::move(action));
    }
    return actions;
}

}  // namespace desktop
