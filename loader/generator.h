// Runs the generator tool that writes "kestrel.drv" (and "KSCONFIG.DAT") for this machine.
#pragma once

#include <string>

// One argument quoted for a Windows command line, so that the child's runtime reads it back
// unchanged (left as it is when it holds no blank, tab or quote).
std::string quotedArgument(const std::string& argument);

// The command line's argument text: "-gen -p<directory>", with " -noanalyse" when `analyse`
// is 0; "-p<directory>" quoted when the directory needs it.
std::string generatorArguments(const std::string& directory, int analyse);

// Runs directory + "KSWIN.EXE", then (unless that succeeded) "KSWIN.EXE" in the current
// directory, each only when a file is there. True when a run exited with code 0.
bool runGenerator(const std::string& directory, int analyse);
