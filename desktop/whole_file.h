// Output files that are written whole or not at all: reports and pages a CI job reads.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace desktop {

struct OutputFile {
    std::string path;
    std::string bytes;
};

// Writes each file to a new temporary in its own folder and, once every one is whole on
// disk, renames each over its path: a link of that name is replaced, never followed. Throws
// std::runtime_error with one line naming the file and the cause (a missing folder, a full
// disk); no temporary is left then and no path has changed.
void writeWhole(const std::vector<OutputFile>& files);

// Before a run: the folder PATH is to be written in exists, and PATH is not a folder. Throws
// std::runtime_error with one line naming the option.
void checkOutputPath(const std::string& option, const std::string& path);

}  // namespace desktop
