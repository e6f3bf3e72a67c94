#include "desktop/winpath.h"

#include <cctype>

namespace winpath {

std::string toHost(const std::string& windowsPath)
{
    std::string path = windowsPath;
    if (path.size() >= 2 && path[1] == ':') {
        if (std::toupper(static_cast<unsigned char>(path[0])) != 'Z')
            return {};
        path = path.substr(2);
        if (path.empty())
            path = "\\";
    }
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

std::string fromHost(const std::string& hostPath)
{
    std::string path = hostPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    if (!hostPath.empty() && hostPath[0] == '/')
        path.insert(0, "Z:");
    return path;
}

}  // namespace winpath
