// The byte streams the agent is reached through: a Unix socket, a TCP connection or a serial
// port (set up with termios), every read with a bound on how long it waits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace agent_link {

class ByteLink {
public:
    virtual ~ByteLink() = default;
    // Writes all of `bytes`; false when the other end is gone.
    virtual bool send(std::span<const uint8_t> bytes) = 0;
    // What has arrived, waiting at most `timeoutMs` for the first byte: empty on a timeout or
    // when the other end is gone (closed() tells which).
    virtual std::vector<uint8_t> receive(int timeoutMs) = 0;
    virtual bool closed() const = 0;
    // The time one byte may take on the line, for the wait a frame of some size deserves. A
    // socket may end in an emulated UART that paces bytes as a 115,200-baud line does.
    virtual double microsPerByte() const { return 1e7 / 115200; }
    virtual std::string name() const = 0;  // "unix:PATH", "tcp:HOST:PORT", "serial:DEVICE,BAUD"
};

// Opens what a machine file's `link =` names: unix:PATH, tcp:HOST:PORT or
// serial:DEVICE[,BAUD] (115200 by default). Throws pc::MachineError with one line when it
// cannot: a malformed value, nothing listening, a serial device that is not a terminal.
std::unique_ptr<ByteLink> openLink(const std::string& spec);

// A Unix socket a client (an emulator Palisade starts) connects to, accepted later.
class UnixListener {
public:
    explicit UnixListener(const std::string& path);  // throws pc::MachineError
    ~UnixListener();
    UnixListener(const UnixListener&) = delete;
    UnixListener& operator=(const UnixListener&) = delete;
    // The first connection within `timeoutMs`, or null.
    std::unique_ptr<ByteLink> accept(int timeoutMs);

private:
    std::string path_;
    int fd_ = -1;
};

// A TCP port on 127.0.0.1 that a client (an emulator whose serial port connects out) connects
// to, accepted later. The port is chosen by the system.
class TcpListener {
public:
    TcpListener();  // throws pc::MachineError
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;
    uint16_t port() const { return port_; }
    // The first connection within `timeoutMs`, or null.
    std::unique_ptr<ByteLink> accept(int timeoutMs);

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

}  // namespace agent_link
