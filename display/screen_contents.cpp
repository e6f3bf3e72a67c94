// The record of what the program has put on the screen since it was last cleared.
#include "display/screen_contents.h"

#include <algorithm>
#include <cstring>

#include "platform/accel.h"

namespace display {

namespace {

// A screen that is never cleared (a text loop) keeps only its first texts and operations.
constexpr size_t MAX_ENTRIES = 32;

ScreenContents contents;

}  // namespace

const ScreenContents& screenContents()
{
    return contents;
}

void contentsCleared()
{
    contents = ScreenContents{};
}

void contentsText(const char* text)
{
    if (!text || !*text)
        return;
    if (std::find(contents.texts.begin(), contents.texts.end(), text) != contents.texts.end())
        return;
    if (contents.texts.size() < MAX_ENTRIES)
        contents.texts.emplace_back(text);
}

void contentsOperation(const char* name, int32_t mix)
{
    std::string label = name;
    if (mix == AF_XOR_MIX)
        label += " (XOR)";
    else if (mix != AF_REPLACE_MIX)
        label += " (mix " + std::to_string(mix) + ")";
    const auto known = std::find_if(contents.operations.begin(), contents.operations.end(),
                                    [&](const DrawnOperation& op) { return op.name == label; });
    if (known != contents.operations.end())
        ++known->count;
    else if (contents.operations.size() < MAX_ENTRIES)
        contents.operations.push_back({label, 1});
}

void contentsClip(bool inside, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    contents.clipped = inside;
    contents.clipLeft = left;
    contents.clipTop = top;
    contents.clipRight = right;
    contents.clipBottom = bottom;
}

}  // namespace display
