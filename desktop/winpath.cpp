// Windows paths over host paths, both ways.
#include "desktop/winpath.h"

#include <cctype>
#include <cstring>

namespace winpath {
namespace {

// Characters a host name may hold and a Windows name may not. Each travels as U+F000 plus the
// character (UTF-8 EF 80|c>>6 80|c&3F), as Wine maps them.
constexpr const char* NOT_IN_WINDOWS_NAMES = "\\\"*:<>?|";
constexpr size_t STAND_IN_BYTES = 3;

void appendStandIn(std::string& path, char c)
{
    const auto code = static_cast<unsigned char>(c);
    path.push_back('\xEF');
    path.push_back(static_cast<char>(0x80 | (code >> 6)));
    path.push_back(static_cast<char>(0x80 | (code & 0x3F)));
}

// The character a stand-in at `at` means, or 0 when none starts there.
char standInAt(const std::string& path, size_t at)
{
    if (at + STAND_IN_BYTES > path.size() || path[at] != '\xEF')
        return 0;
    const auto second = static_cast<unsigned char>(path[at + 1]);
    const auto third = static_cast<unsigned char>(path[at + 2]);
    if ((second & 0xFE) != 0x80 || (third & 0xC0) != 0x80)
        return 0;
    const char c = static_cast<char>((second & 1) << 6 | (third & 0x3F));
    return c != 0 && std::strchr(NOT_IN_WINDOWS_NAMES, c) ? c : 0;
}

}  // namespace

std::string toHost(const std::string& windowsPath)
{
    size_t start = 0;
    if (windowsPath.size() >= 2 && windowsPath[1] == ':') {
        if (std::toupper(static_cast<unsigned char>(windowsPath[0])) != 'Z')
            return {};
        start = 2;
    }
    // Built front to back: GCC 12 warns falsely about assigning over a string at -O3.
    std::string path;
    path.reserve(windowsPath.size());
    for (size_t i = start; i < windowsPath.size(); ++i) {
        if (const char meant = standInAt(windowsPath, i)) {
            path.push_back(meant);
            i += STAND_IN_BYTES - 1;
        } else {
            path.push_back(windowsPath[i] == '\\' ? '/' : windowsPath[i]);
        }
    }
    if (start == 2 && path.empty())
        path.push_back('/');
    return path;
}

std::string fromHost(const std::string& hostPath)
{
    std::string path;
    path.reserve(hostPath.size() + 2);
    if (!hostPath.empty() && hostPath[0] == '/')
        path = "Z:";
    for (char c : hostPath) {
        if (c == '/')
            path.push_back('\\');
        else if (std::strchr(NOT_IN_WINDOWS_NAMES, c) && c != '\0')
            appendStandIn(path, c);
        else
            path.push_back(c);
    }
    return path;
}

}  // namespace winpath
