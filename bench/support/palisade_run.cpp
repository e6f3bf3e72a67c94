// One run of the palisade binary as a benchmark measures it.
#include "bench/support/palisade_run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

PalisadeRun runPalisade(const std::string& program, const std::vector<std::string>& arguments,
                        const std::string& folder)
{
    std::vector<std::string> words = arguments;
    words.insert(words.begin(), program);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet < 0 || dup2(quiet, STDOUT_FILENO) < 0 || dup2(quiet, STDERR_FILENO) < 0)
            _exit(127);
        if (!folder.empty() && chdir(folder.c_str()) != 0)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    PalisadeRun run;
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return run;
    run.exitedZero = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakMb = double(usage.ru_maxrss) / 1024;  // ru_maxrss is in KB
    return run;
}

}  // namespace bench
