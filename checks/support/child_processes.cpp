// The processes a check started, as /proc lists them.
#include "checks/support/child_processes.h"

#include <filesystem>
#include <fstream>

namespace harness {

std::vector<pid_t> childProcesses(pid_t parent, const std::string& name)
{
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string number = entry.path().filename();
        if (number.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string pid, command, state;
        pid_t ppid = 0;
        stat >> pid >> command >> state >> ppid;
        if (ppid == parent && command.find(name) != std::string::npos)
            children.push_back(std::stoi(pid));
    }
    return children;
}

}  // namespace harness
