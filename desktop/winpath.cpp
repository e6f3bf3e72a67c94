#include "desktop/winpath.h"

#include <cctype>

namespace winpath {

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
    for (size_t i = start; i < windowsPath.size(); ++i)
        path.push_back(windowsPath[i] == '\\' ? '/' : windowsPath[i]);
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
    for (char c : hostPath)
        path.push_back(c == '/' ? '\\' : c);
    return path;
}

}  // namespace winpath
