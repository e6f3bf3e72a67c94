// The name of a full-screen picture, from what the program put on it.
#include "desktop/screen_name.h"

namespace desktop {

namespace {

// A caption stays one readable line: the first texts say what the test is.
constexpr size_t MAX_TEXT_CHARACTERS = 200;

std::string joinTexts(const std::vector<std::string>& texts)
{
    std::string joined;
    for (const std::string& text : texts) {
        const size_t first = text.find_first_not_of(' ');
        if (first == std::string::npos)
            continue;
        if (!joined.empty())
            joined += " / ";
        joined += text.substr(first, text.find_last_not_of(' ') + 1 - first);
        if (joined.size() > MAX_TEXT_CHARACTERS)
            return joined.substr(0, MAX_TEXT_CHARACTERS) + "\u2026";
    }
    return joined;
}

}  // namespace

std::string screenName(const display::ScreenContents& contents, const display::MeantScreen& meant)
{
    std::string name = joinTexts(contents.texts);
    auto add = [&name](const std::string& part) { name += (name.empty() ? "" : "; ") + part; };
    std::string operations;
    for (const display::DrawnOperation& op : contents.operations)
        operations += (operations.empty() ? "" : ", ") + op.name + " \u00d7" + std::to_string(op.count);
    if (!operations.empty())
        add(operations);
    if (contents.clipped && !contents.operations.empty())
        add("clipped to (" + std::to_string(contents.clipLeft) + "," + std::to_string(contents.clipTop) + ")-(" +
            std::to_string(contents.clipRight) + "," + std::to_string(contents.clipBottom) + ")");
    if (meant.modeSet && meant.cursor.shown)
        add("hardware cursor at (" + std::to_string(meant.cursor.x) + "," + std::to_string(meant.cursor.y) + ")");
    return name;
}

}  // namespace desktop
