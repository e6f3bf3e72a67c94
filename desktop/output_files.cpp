// Output files and folders: checked against each other before the run, created without links.
#include "desktop/output_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "desktop/command_line.h"

namespace fs = std::filesystem;

namespace desktop {
namespace {

// Where a path leads, with the links in its folders resolved and a missing tail kept as written.
fs::path resolved(const std::string& path)
{
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    if (error)
        return fs::path(path).lexically_normal();
    fs::path canonical = fs::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

// Two names of one file: the same inode when it exists, else the same resolved path.
bool sameFile(const std::string& a, const std::string& b)
{
    struct stat first {}, second {};
    const bool firstExists = stat(a.c_str(), &first) == 0;
    const bool secondExists = stat(b.c_str(), &second) == 0;
    if (firstExists && secondExists)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return !firstExists && !secondExists && resolved(a) == resolved(b);
}

bool inside(const std::string& file, const std::string& folder)
{
    const fs::path within = resolved(file).lexically_relative(resolved(folder));
    return !within.empty() && *within.begin() != ".." && within != ".";
}

std::string quoted(const NamedPath& named)
{
    return named.option + " " + named.path;
}

}  // namespace

void checkNamedPaths(const std::vector<NamedPath>& paths)
{
    using Kind = NamedPath::Kind;
    for (size_t i = 0; i < paths.size(); ++i) {
        for (size_t j = i + 1; j < paths.size(); ++j) {
            const NamedPath& a = paths[i];
            const NamedPath& b = paths[j];
            const bool anOutput = a.kind != Kind::Input || b.kind != Kind::Input;
            if (anOutput && a.kind != Kind::OutputFolder && b.kind != Kind::OutputFolder && sameFile(a.path, b.path)) {
                if (a.kind == Kind::Input || b.kind == Kind::Input)
                    throw UsageError(quoted(a) + " and " + quoted(b) +
                                     " name the same file, which the run reads: give the output a file of its own");
                throw UsageError(quoted(a) + " and " + quoted(b) + " name the same file: give each output a file of its own");
            }
            if (a.kind == Kind::OutputFolder && b.kind == Kind::OutputFolder && sameFile(a.path, b.path))
                throw UsageError(quoted(a) + " and " + quoted(b) + " name the same folder");
            for (const auto& [folder, file] : {std::pair(&a, &b), std::pair(&b, &a)})
                if (folder->kind == Kind::OutputFolder && file->kind == Kind::OutputFile && inside(file->path, folder->path))
                    throw UsageError(quoted(*file) + " lies in the folder of " + quoted(*folder) +
                                     ", which the run fills: name a file outside it");
        }
    }
}

void checkOutputFolder(const std::string& option, const std::string& folder)
{
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return;
        throw UsageError("cannot use the " + option + " folder " + folder + ": " + std::strerror(errno));
    }
    if (S_ISLNK(info.st_mode))
        throw UsageError("the " + option + " folder " + folder + " is a link: name the folder itself (links are not followed)");
    if (!S_ISDIR(info.st_mode))
        throw UsageError("the " + option + " folder " + folder + " is not a folder");
    std::error_code error;
    if (!fs::is_empty(folder, error) || error)
        throw UsageError("the " + option + " folder " + folder +
                         " is not empty: name a new or empty folder (a run replaces no file)");
}

void makeOutputFolder(const std::string& folder)
{
    if (mkdir(folder.c_str(), 0777) == 0)
        return;
    const int error = errno;
    struct stat info {};
    // Made in between by someone else: only an empty folder of its own is still ours to fill.
    if (error == EEXIST && lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::error_code empty;
        if (fs::is_empty(folder, empty) && !empty)
            return;
    }
    throw std::runtime_error("cannot make the folder " + folder + ": " +
                             (error == EEXIST ? "something else is there now" : std::strerror(error)));
}

std::FILE* createOutputFile(const std::string& path, const std::string& what)
{
    auto refuse = [&](const std::string& why) -> std::FILE* {
        throw std::runtime_error("cannot write the " + what + " " + path + ": " + why);
    };
    // Not truncated on opening: what is there is judged first. O_NONBLOCK keeps a FIFO from
    // holding the run until someone reads it.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        struct stat info {};
        if (error == ELOOP && lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            return refuse("it is a link (links are not followed)");
        if (error == ENXIO)
            return refuse("it is not a plain file");
        return refuse(std::strerror(error));
    }
    struct stat info {};
    const char* why = fstat(fd, &info) != 0       ? std::strerror(errno)
                      : !S_ISREG(info.st_mode)    ? "it is not a plain file"
                      : info.st_nlink > 1         ? "it has other hard links, which it would change too"
                      : ftruncate(fd, 0) != 0     ? std::strerror(errno)
                      : fcntl(fd, F_SETFL, 0) != 0 ? std::strerror(errno)
                                                   : nullptr;
    std::FILE* file = why ? nullptr : fdopen(fd, "w");
    if (!file) {
        const std::string reason = why ? why : std::strerror(errno);
        close(fd);
        return refuse(reason);
    }
    return file;
}

}  // namespace desktop
