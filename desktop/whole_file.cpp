// Output files written whole or not at all: a temporary beside each, then a rename.
#include "desktop/whole_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace desktop {

namespace {

std::string folderOf(const std::string& path)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

std::runtime_error cannotWrite(const std::string& path, int error)
{
    return std::runtime_error("cannot write " + path + ": " + std::strerror(error));
}

// A new temporary beside path holding bytes, flushed to the disk; its name is returned.
std::string writeTemporary(const OutputFile& file)
{
    std::string name = file.path + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0)
        throw cannotWrite(file.path, errno);
    int failure = 0;
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0)
        failure = errno;
    for (size_t done = 0; failure == 0 && done < file.bytes.size();) {
        const ssize_t wrote = write(fd, file.bytes.data() + done, file.bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            failure = wrote < 0 ? errno : ENOSPC;
        else
            done += size_t(wrote);
    }
    if (failure == 0 && fsync(fd) != 0 && errno != EINVAL)
        failure = errno;
    if (close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure != 0) {
        unlink(name.c_str());
        throw cannotWrite(file.path, failure);
    }
    return name;
}

}  // namespace

void writeWhole(const std::vector<OutputFile>& files)
{
    std::vector<std::string> temporaries;
    try {
        for (const OutputFile& file : files)
            temporaries.push_back(writeTemporary(file));
    } catch (...) {
        for (const std::string& name : temporaries)
            unlink(name.c_str());
        throw;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (rename(temporaries[i].c_str(), files[i].path.c_str()) != 0) {
            const int error = errno;
            for (size_t j = i; j < files.size(); ++j)
                unlink(temporaries[j].c_str());
            throw cannotWrite(files[i].path, error);
        }
    }
}

void checkOutputPath(const std::string& option, const std::string& path)
{
    if (path.empty())
        throw std::runtime_error(option + " needs a file name");
    struct stat info {};
    const std::string folder = folderOf(path);
    if (stat(folder.c_str(), &info) != 0)
        throw std::runtime_error(option + " " + path + ": the folder " + folder + " " +
                                 (errno == ENOENT ? "does not exist" : std::strerror(errno)));
    if (!S_ISDIR(info.st_mode))
        throw std::runtime_error(option + " " + path + ": " + folder + " is not a folder");
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        throw std::runtime_error(option + " " + path + ": the folder " + folder + " cannot be written");
    if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw std::runtime_error(option + " " + path + ": that is a folder, not a file");
}

}  // namespace desktop
