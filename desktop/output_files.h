// The files and folders a run writes, named on the command line: each is checked before the
// run starts and created without following a link planted at its path.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace desktop {

// What one option names: a file the run writes or reads, or the folder it fills.
struct NamedPath {
    enum class Kind { OutputFile, OutputFolder, Input };
    Kind kind;
    std::string option;  // "--io-log", as the user wrote it
    std::string path;
};

// Refuses (UsageError, one line) two options that name the same file, an output that is one of
// the run's inputs, and an output file inside a folder the run fills.
void checkNamedPaths(const std::vector<NamedPath>& paths);

// A folder the run fills must be new or empty, and not a link: the run creates every file in it
// afresh and replaces none. Throws UsageError.
void checkOutputFolder(const std::string& option, const std::string& folder);

// Makes the folder checked above (its parent must exist: only the folder itself is created).
// Throws std::runtime_error naming the folder.
void makeOutputFolder(const std::string& folder);

// Opens an output file for writing from its start. A link at the path is not followed, and a
// file that is not a plain file of its own (a device, a FIFO, one with other hard links) is not
// written through. Throws std::runtime_error "cannot write the WHAT PATH: why".
std::FILE* createOutputFile(const std::string& path, const std::string& what);

}  // namespace desktop
