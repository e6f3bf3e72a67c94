// Unix stream sockets with bounded waits.
#include "qemu_pc/unix_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qemu_pc {

UnixSocket::~UnixSocket()
{
    if (fd_ >= 0)
        close(fd_);
}

bool UnixSocket::connect(const std::string& path)
{
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool UnixSocket::send(const void* data, size_t bytes)
{
    const auto* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::send(fd_, p, bytes, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            closed_ = true;
            return false;
        }
        p += n;
        bytes -= size_t(n);
    }
    return true;
}

std::string UnixSocket::receive(int timeoutMs)
{
    pollfd waiting{fd_, POLLIN, 0};
    int ready;
    do
        ready = poll(&waiting, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return {};
    char buffer[65536];
    ssize_t n;
    do
        n = recv(fd_, buffer, sizeof buffer, 0);
    while (n < 0 && errno == EINTR);
    if (n <= 0) {
        closed_ = true;
        return {};
    }
    return std::string(buffer, size_t(n));
}

}  // namespace qemu_pc
