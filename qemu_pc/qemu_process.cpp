// Starting and ending a QEMU process by its PID, signals included.
#include "qemu_pc/qemu_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "pc/pc.h"

namespace qemu_pc {
namespace {

// The PIDs still running, for the exit and signal handlers (which may only kill them).
constexpr size_t MAX_PROCESSES = 16;
std::array<std::atomic<pid_t>, MAX_PROCESSES> livePids{};

void killLive()
{
    for (std::atomic<pid_t>& pid : livePids) {
        const pid_t p = pid.exchange(0);
        if (p > 0)
            kill(p, SIGKILL);
    }
}

void onFatalSignal(int number)
{
    killLive();
    signal(number, SIG_DFL);
    raise(number);
}

void installHandlersOnce()
{
    static const bool installed = [] {
        std::atexit(killLive);
        for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            struct sigaction action {};
            sigaction(number, nullptr, &action);
            if (action.sa_handler != SIG_DFL)
                continue;  // someone else's handler stays
            action.sa_handler = onFatalSignal;
            sigemptyset(&action.sa_mask);
            action.sa_flags = 0;
            sigaction(number, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

void remember(pid_t pid)
{
    for (std::atomic<pid_t>& slot : livePids) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, pid))
            return;
    }
}

void forget(pid_t pid)
{
    for (std::atomic<pid_t>& slot : livePids) {
        pid_t expected = pid;
        slot.compare_exchange_strong(expected, 0);
    }
}

}  // namespace

QemuProcess::QemuProcess(const std::string& program) : program_(program)
{
    std::string prefix = program;
    for (char& c : prefix)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/palisade-" + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw pc::MachineError("cannot make a private folder for " + program_ + " in " + pattern.substr(0, pattern.rfind('/')) +
                               ": " + std::strerror(errno));
    folder_ = pattern;
}

QemuProcess::~QemuProcess()
{
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void QemuProcess::start(const std::string& binary, const std::vector<std::string>& arguments,
                        const std::string& package, const std::string& orElse)
{
    installHandlersOnce();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string errorFile = path("qemu.stderr");
    // The child's environment is made here: between fork and exec only async-signal-safe calls.
    std::vector<std::string> variables;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string variable = *e;
        const std::string name = variable.substr(0, variable.find('=') + 1);
        if (std::none_of(environment_.begin(), environment_.end(),
                         [&](const std::string& set) { return set.rfind(name, 0) == 0; }))
            variables.push_back(variable);
    }
    variables.insert(variables.end(), environment_.begin(), environment_.end());
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    // The child reports a failed exec through a pipe that closes on a successful one.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        throw pc::MachineError("cannot start " + program_ + ": " + std::strerror(errno));
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        throw pc::MachineError("cannot start " + program_ + ": " + std::strerror(errno));
    }
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);  // the parent is gone already
        const int devNull = open("/dev/null", O_RDWR);
        const int errors = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (devNull >= 0)
            dup2(devNull, 0);
        // Both outputs into the file: DOSBox says why it quits on stdout.
        if (errors >= 0) {
            dup2(errors, 1);
            dup2(errors, 2);
        } else if (devNull >= 0) {
            dup2(devNull, 1);
        }
        execvpe(argv[0], argv.data(), envp.data());
        const int error = errno;
        (void)!write(report[1], &error, sizeof error);
        _exit(127);
    }
    close(report[1]);
    int error = 0;
    ssize_t got;
    do
        got = read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == sizeof error) {
        waitpid(child, nullptr, 0);
        if (error == ENOENT)
            throw pc::MachineError(binary + " is not installed: install the Debian package " + package +
                                   (orElse.empty() ? std::string() : " (or " + orElse + ")"));
        throw pc::MachineError("cannot run " + binary + ": " + std::strerror(error));
    }
    pid_ = child;
    remember(child);
}

bool QemuProcess::running()
{
    if (pid_ <= 0)
        return false;
    int status;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        forget(pid_);
        pid_ = -1;
        return false;
    }
    return true;
}

std::string QemuProcess::lastErrorLine() const
{
    std::ifstream file(folder_ + "/qemu.stderr");
    std::string line, last;
    while (std::getline(file, line))
        if (!line.empty())
            last = line;
    return last;
}

void QemuProcess::stop()
{
    if (pid_ <= 0)
        return;
    forget(pid_);
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

}  // namespace qemu_pc
