// A connected Unix stream socket with bounded waits: every read says how long it may wait.
#pragma once

#include <cstddef>
#include <string>

namespace qemu_pc {

class UnixSocket {
public:
    UnixSocket() = default;
    ~UnixSocket();
    UnixSocket(const UnixSocket&) = delete;
    UnixSocket& operator=(const UnixSocket&) = delete;

    // One attempt to connect; false when nothing listens at `path` yet.
    bool connect(const std::string& path);
    bool connected() const { return fd_ >= 0; }

    // Writes all of `data`; false when the peer is gone.
    bool send(const void* data, size_t bytes);
    bool send(const std::string& data) { return send(data.data(), data.size()); }
    // Reads what is there, waiting at most `timeoutMs` for the first byte; empty on timeout or
    // when the peer is gone (closed() tells which).
    std::string receive(int timeoutMs);
    bool closed() const { return closed_; }

private:
    int fd_ = -1;
    bool closed_ = false;
};

}  // namespace qemu_pc
