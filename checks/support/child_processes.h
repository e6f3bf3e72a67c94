// The processes a check started, by way of the program under test, as /proc lists them.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace harness {

// The children of `parent` whose command name contains `name` (e.g. "qemu").
std::vector<pid_t> childProcesses(pid_t parent, const std::string& name);

}  // namespace harness
