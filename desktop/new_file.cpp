// Files a run creates afresh, and their removal when they cannot be written whole.
#include "desktop/new_file.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace desktop {

namespace {

// A new file, or a null one when the name is taken and taken is allowed.
File openNew(const std::string& path, bool nullWhenTaken)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST && nullWhenTaken)
        return File(nullptr, &std::fclose);
    if (fd < 0)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(path.c_str());
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    }
    return File(file, &std::fclose);
}

}  // namespace

File createFile(const std::string& path)
{
    return openNew(path, false);
}

File createFileIfNew(const std::string& path)
{
    return openNew(path, true);
}

void closeFile(File file, const std::string& path, int failure)
{
    if (failure == 0 && std::fflush(file.get()) != 0)
        failure = errno;
    if (std::fclose(file.release()) != 0 && failure == 0)
        failure = errno;
    if (failure == 0)
        return;
    unlink(path.c_str());
    throw std::runtime_error("cannot write " + path + (failure > 0 ? std::string(": ") + std::strerror(failure) : ""));
}

}  // namespace desktop
