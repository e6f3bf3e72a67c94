#include "checks/support/headless_palisade.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

namespace harness {
namespace {

namespace fs = std::filesystem;

// An unnamed file for the child's output: nothing is left in the folder it runs in.
int outputFile()
{
    std::string pattern = ::testing::TempDir() + "palisade-output-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw std::runtime_error("cannot make a file under " + ::testing::TempDir());
    unlink(pattern.c_str());
    return fd;
}

std::string readBack(int fd)
{
    std::string text;
    lseek(fd, 0, SEEK_SET);
    char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(got));
    close(fd);
    return text;
}

// Waits for the child within the limit; a run that does not end is killed and fails.
int waitWithin(pid_t child, std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            throw std::runtime_error("palisade did not end within " + std::to_string(limit.count()) + " s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string freshDirectory()
{
    std::string pattern = ::testing::TempDir() + "palisade-run-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a folder under " + ::testing::TempDir());
    return pattern;
}

}  // namespace

fs::path checkFolder(const std::string& prefix)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const fs::path folder = fs::temp_directory_path() /
                            (prefix + "-" + (info ? info->name() : "none") + "-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

fs::path installProgram(const fs::path& folder, bool withGenerator)
{
    const fs::path built = fs::path(palisadeBinary()).parent_path();
    fs::create_directories(folder);
    fs::copy_file(built / "palisade", folder / "palisade", fs::copy_options::overwrite_existing);
    if (withGenerator)
        fs::copy_file(built / "KSWIN.EXE", folder / "KSWIN.EXE", fs::copy_options::overwrite_existing);
    return folder / "palisade";
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string palisadeBinary()
{
    return PALISADE_BINARY;
}

Exit runProgram(const Launch& launch)
{
    const int out = outputFile(), err = outputFile();
    std::vector<std::string> arguments = {launch.program};
    arguments.insert(arguments.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) {
        close(out);
        close(err);
        throw std::runtime_error("cannot start " + launch.program);
    }
    if (child == 0) {
        if (!launch.folder.empty() && chdir(launch.folder.c_str()) != 0)
            _exit(126);
        for (const std::string& name : launch.unsetEnvironment)
            unsetenv(name.c_str());
        for (const auto& [name, value] : launch.setEnvironment)
            setenv(name.c_str(), value.c_str(), 1);
        if (launch.fileSizeLimit != 0) {
            const rlimit limit{launch.fileSizeLimit, launch.fileSizeLimit};
            signal(SIGXFSZ, SIG_IGN);
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(126);
        }
        const int nothing = open("/dev/null", O_RDONLY);
        if (nothing < 0 || dup2(nothing, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(126);
        execv(launch.program.c_str(), argv.data());
        _exit(127);
    }
    Exit ended;
    try {
        ended.status = waitWithin(child, launch.limit);
    } catch (...) {
        close(out);
        close(err);
        throw;
    }
    ended.out = readBack(out);
    ended.err = readBack(err);
    return ended;
}

HeadlessRun::HeadlessRun(HeadlessRun&& other) noexcept
    : exitStatus(other.exitStatus), out(std::move(other.out)), err(std::move(other.err)), dir(std::move(other.dir)),
      removeAfterwards_(std::exchange(other.removeAfterwards_, false))
{
}

HeadlessRun& HeadlessRun::operator=(HeadlessRun&& other) noexcept
{
    if (this != &other) {
        removeFolder();
        exitStatus = other.exitStatus;
        out = std::move(other.out);
        err = std::move(other.err);
        dir = std::move(other.dir);
        removeAfterwards_ = std::exchange(other.removeAfterwards_, false);
    }
    return *this;
}

HeadlessRun::~HeadlessRun()
{
    removeFolder();
}

// A failed check keeps the folder, and says where, for a look at what the program left.
void HeadlessRun::removeFolder()
{
    if (!removeAfterwards_)
        return;
    removeAfterwards_ = false;
    if (::testing::UnitTest::GetInstance()->failed_test_count() > 0 || ::testing::Test::HasFailure()) {
        std::fprintf(stderr, "palisade's folder kept: %s\n", dir.c_str());
        return;
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

Picture HeadlessRun::shot(const std::string& name) const
{
    return readPng(shots() + "/" + name + ".png");
}

namespace {

// The text of each <span class="CLASS"> in html, entities decoded.
std::vector<std::string> spans(const std::string& html, const std::string& cls)
{
    std::vector<std::string> found;
    const std::string open = "<span class=\"" + cls + "\">", close = "</span>";
    for (size_t at = html.find(open); at != std::string::npos; at = html.find(open, at)) {
        at += open.size();
        std::string text = html.substr(at, html.find(close, at) - at);
        for (const auto& [entity, character] :
             {std::pair{"&quot;", "\""}, std::pair{"&lt;", "<"}, std::pair{"&gt;", ">"}, std::pair{"&amp;", "&"}})
            for (size_t e = text.find(entity); e != std::string::npos; e = text.find(entity, e + 1))
                text.replace(e, std::string(entity).size(), character);
        found.push_back(text);
    }
    return found;
}

}  // namespace

std::vector<std::string> HeadlessRun::captions() const
{
    std::vector<std::string> found;
    const std::string page = readFile(shots() + "/index.html");
    const std::string open = "<figcaption>", close = "</figcaption>";
    for (size_t at = page.find(open); at != std::string::npos; at = page.find(open, at)) {
        at += open.size();
        const std::string figure = page.substr(at, page.find(close, at) - at);
        std::string names;
        for (const std::string& name : spans(figure, "name"))
            names += (names.empty() ? "" : ", ") + name.substr(0, name.rfind(".png"));
        const std::vector<std::string> caption = spans(figure, "caption");
        const std::string shown = caption.empty() ? std::string() : caption[0];
        found.push_back(names.empty() ? shown : names + " \u2014 " + shown);
    }
    return found;
}

HeadlessRun runHeadless(const HeadlessOptions& options)
{
    HeadlessRun run;
    if (options.folder.empty()) {
        run.dir = freshDirectory();
        run.removeAfterwards_ = true;
    } else {
        run.dir = options.folder;
        fs::remove_all(run.dir);
        fs::create_directories(run.dir);
    }
    installProgram(run.dir, options.withGenerator);
    const std::string script = run.dir + "/run.script";
    std::ofstream(script) << options.script;

    Launch launch;
    launch.program = run.dir + "/palisade";
    // In the program's folder, so that nothing it looks for is found elsewhere.
    launch.folder = run.dir;
    launch.limit = options.limit;
    launch.arguments = {"--headless", "--machine", options.machine, "--script", script, "--shots", run.shots()};
    if (options.vbeLog)
        launch.arguments.insert(launch.arguments.end(), {"--vbe-log", run.vbeLog()});
    launch.arguments.insert(launch.arguments.end(), options.extraArguments.begin(), options.extraArguments.end());
    const Exit ended = runProgram(launch);
    run.exitStatus = ended.status;
    run.out = ended.out;
    run.err = ended.err;
    return run;
}

}  // namespace harness
