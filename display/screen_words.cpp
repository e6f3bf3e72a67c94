// The heading of the screen shown, from the lines the program writes on it.
#include "display/screen_words.h"

#include <cctype>

namespace display {

namespace {

std::string& heading()
{
    static std::string instance;
    return instance;
}

}  // namespace

void startScreenWords()
{
    heading().clear();
}

const std::string& screenHeading()
{
    return heading();
}

void noteLineWritten(const char* text)
{
    if (heading().empty() && std::isalpha(static_cast<unsigned char>(text[0])))
        heading() = text;
}

}  // namespace display
