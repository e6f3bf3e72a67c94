// Splitting a Windows command line into the arguments its program receives.
#include "desktop/windows_command_line.h"

namespace desktop {
namespace {

bool blank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

bool programToken(std::string_view line, std::string& name, std::string_view& rest)
{
    size_t i = 0;
    while (i < line.size() && blank(line[i]))
        ++i;
    if (i == line.size())
        return false;
    size_t end;
    if (line[i] == '"') {
        const size_t close = line.find('"', i + 1);
        end = close == std::string_view::npos ? line.size() : close;
        name.assign(line.substr(i + 1, end - i - 1));
        rest = line.substr(end == line.size() ? end : end + 1);
        return true;
    }
    end = i;
    while (end < line.size() && !blank(line[end]))
        ++end;
    name.assign(line.substr(i, end - i));
    rest = line.substr(end);
    return true;
}

std::vector<std::string> splitArguments(std::string_view text)
{
    std::vector<std::string> arguments;
    size_t i = 0;
    while (true) {
        while (i < text.size() && blank(text[i]))
            ++i;
        if (i == text.size())
            return arguments;
        std::string argument;
        bool quoted = false;
        while (i < text.size() && (quoted || !blank(text[i]))) {
            if (text[i] == '\\') {
                size_t backslashes = 0;
                while (i < text.size() && text[i] == '\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < text.size() && text[i] == '"') {
                    argument.append(backslashes / 2, '\\');
                    if (backslashes % 2 == 1) {
                        argument.push_back('"');
                        ++i;
                    }
                    // An even count leaves the quote to open or close quoting below.
                } else {
                    argument.append(backslashes, '\\');
                }
                continue;
            }
            if (text[i] == '"') {
                if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                    argument.push_back('"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            argument.push_back(text[i++]);
        }
        arguments.push_back(std::move(argument));
    }
}

}  // namespace desktop
