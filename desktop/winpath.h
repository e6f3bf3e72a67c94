// Windows paths at the program's boundary, as Wine maps them: drive Z: is the host's root,
// backslashes separate, and a path without a drive is relative to the current directory.
#pragma once

#include <string>

namespace winpath {

// "Z:\home\me\palisade" -> "/home/me/palisade"; ".\kestrel.drv" -> "./kestrel.drv".
// Other drive letters have no host folder: they map to an empty string.
std::string toHost(const std::string& windowsPath);

// "/home/me/palisade" -> "Z:\home\me\palisade"; relative paths keep no drive. A character that a
// Windows name cannot hold (\ " * : < > ? |) becomes U+F000 plus that character, as Wine maps
// it, and toHost turns it back: every host folder has a Windows path that leads back to it, and
// no Windows path holds a quote.
std::string fromHost(const std::string& hostPath);

}  // namespace winpath
