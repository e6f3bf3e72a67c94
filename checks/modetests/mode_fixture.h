// A mode set on the recording fake, with the program's display context pointing at it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/globals.h"
#include "fake/fake.h"
#include "tests/test_run.h"

namespace modetests {

constexpr uint16_t MODE = 0x101;

struct ModeShape {
    int32_t width, height, bitsPerPixel, pages;
};

// Sets the mode as a test run would and forgets the calls that took.
inline DisplayContext& setMode(ModeShape shape, int32_t videoMemoryKb = 4096)
{
    fake::reset();
    fake::addMode(MODE, shape.width, shape.height, shape.bitsPerPixel, shape.pages);
    fake::display().context.videoMemoryKb = videoMemoryKb;
    displayContext = &fake::display().context;
    GX_setMode(MODE | MODE_SET_BY_TEST_RUN, 0, 1, MODE);
    fake::calls().clear();
    return fake::display().context;
}

// A prompt answered by a key queued earlier (during an animation) rather than a new one.
constexpr int ALREADY_QUEUED = -1;

// Answers the n-th key prompt (1-based) with keys[n - 1]; later prompts find no input.
inline void answerPrompts(std::vector<int> keys)
{
    fake::onWait([keys](int wait) {
        if (wait <= static_cast<int>(keys.size()) && keys[wait - 1] != ALREADY_QUEUED)
            fake::pushKey(static_cast<uint8_t>(keys[wait - 1]));
    });
}

// The calls named `name`, as their argument lists.
inline std::vector<std::vector<int64_t>> argsOf(const std::string& name)
{
    std::vector<std::vector<int64_t>> all;
    for (const fake::Call& call : fake::callsNamed(name))
        all.push_back(call.args);
    return all;
}

// Every call as one line, "GX_writeText(4,4,15) \"  0.0 fps\"", for whole-sequence comparisons.
inline std::vector<std::string> callLines()
{
    std::vector<std::string> lines;
    for (const fake::Call& call : fake::calls()) {
        std::string line = call.name + "(";
        for (size_t i = 0; i < call.args.size(); ++i) {
            if (i)
                line += ',';
            line += std::to_string(call.args[i]);
        }
        line += ")";
        if (!call.text.empty())
            line += " \"" + call.text + "\"";
        lines.push_back(line);
    }
    return lines;
}

// Lets `polls` polls find nothing; the next one finds the key.
inline void keyAfterPolls(int polls, uint8_t key)
{
    fake::onPoll([polls, key](int poll) {
        if (poll == polls + 1)
            fake::pushKey(key);
    });
}

inline std::vector<std::string> textsWritten()
{
    std::vector<std::string> all;
    for (const fake::Call& call : fake::callsNamed("GX_writeText"))
        all.push_back(call.text);
    return all;
}

}  // namespace modetests
