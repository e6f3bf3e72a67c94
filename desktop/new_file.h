// Files a run creates afresh: never over a file that is there, never through a link, and
// removed again when they cannot be written whole.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace desktop {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

// A new file at path, open for writing. Throws std::runtime_error naming it when it cannot
// be made (also when something of that name is there).
File createFile(const std::string& path);
// The same, but a null File when something of that name is there already.
File createFileIfNew(const std::string& path);

// Closes a file made by createFile. When a write failed (failure: its errno, or -1 when
// unknown) or the data cannot be flushed, removes the file and throws std::runtime_error.
void closeFile(File file, const std::string& path, int failure);

}  // namespace desktop
