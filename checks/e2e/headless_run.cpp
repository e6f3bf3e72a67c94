#include "checks/e2e/headless_run.h"

#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

namespace e2e {
namespace {

namespace fs = std::filesystem;

constexpr auto RUN_LIMIT = std::chrono::seconds(300);

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string freshDirectory()
{
    std::string pattern = ::testing::TempDir() + "palisade-app-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a folder under " + ::testing::TempDir());
    return pattern;
}

// Waits for the child within the limit; a run that does not end is killed and fails.
int waitWithin(pid_t child)
{
    const auto deadline = std::chrono::steady_clock::now() + RUN_LIMIT;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            throw std::runtime_error("palisade did not end within the time limit");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

Picture readPng(const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        throw std::runtime_error("cannot read " + path + ": " + image.message);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        throw std::runtime_error("cannot decode " + path + ": " + image.message);
    Picture picture;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = (uint32_t(rgb[3 * i]) << 16) | (uint32_t(rgb[3 * i + 1]) << 8) | rgb[3 * i + 2];
    return picture;
}

Picture RunResult::shot(const std::string& name) const { return readPng(dir + "/shots/" + name + ".png"); }

std::vector<std::string> RunResult::captions() const
{
    std::vector<std::string> found;
    const std::string page = readFile(dir + "/shots/index.html");
    const std::string open = "<figcaption>", close = "</figcaption>";
    for (size_t at = page.find(open); at != std::string::npos; at = page.find(open, at)) {
        at += open.size();
        const size_t end = page.find(close, at);
        std::string caption = page.substr(at, end - at);
        caption = caption.substr(caption.find(": ") + 2);   // after the file name
        for (const auto& [entity, character] : {std::pair{"&quot;", "\""}, std::pair{"&lt;", "<"},
                                                std::pair{"&gt;", ">"}, std::pair{"&amp;", "&"}})
            for (size_t at = caption.find(entity); at != std::string::npos; at = caption.find(entity, at + 1))
                caption.replace(at, std::string(entity).size(), character);
        found.push_back(caption);
    }
    return found;
}

std::vector<std::string>& runFolders()
{
    static std::vector<std::string> folders;
    return folders;
}

void removeRunFolders(bool keep)
{
    for (const std::string& folder : runFolders()) {
        if (keep) {
            std::fprintf(stderr, "palisade's folder kept: %s\n", folder.c_str());
        } else {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        }
    }
    runFolders().clear();
}

RunResult runPalisade(const RunOptions& options)
{
    RunResult run;
    run.dir = freshDirectory();
    runFolders().push_back(run.dir);
    const fs::path build = PALISADE_BUILD_DIR;
    fs::copy_file(build / "palisade", fs::path(run.dir) / "palisade");
    if (options.withGenerator)
        fs::copy_file(build / "KSWIN.EXE", fs::path(run.dir) / "KSWIN.EXE");
    const std::string script = run.dir + "/run.script";
    std::ofstream(script) << options.script;

    const std::string program = run.dir + "/palisade";
    const std::string shots = run.dir + "/shots";
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("cannot start palisade");
    if (child == 0) {
        // In the program's folder, so that nothing it looks for is found elsewhere.
        if (chdir(run.dir.c_str()) != 0)
            _exit(126);
        if (!freopen((run.dir + "/stdout").c_str(), "w", stdout) || !freopen((run.dir + "/stderr").c_str(), "w", stderr))
            _exit(126);
        std::vector<std::string> arguments = {program,  "--headless", "--machine", options.machine,
                                              "--script", script,       "--shots",   shots};
        arguments.insert(arguments.end(), options.extraArguments.begin(), options.extraArguments.end());
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    run.exitStatus = waitWithin(child);
    run.out = readFile(run.dir + "/stdout");
    run.err = readFile(run.dir + "/stderr");
    return run;
}

}  // namespace e2e
