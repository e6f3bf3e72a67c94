// Unix sockets, TCP connections and serial ports as byte links with bounded waits.
#include "agent_link/byte_link.h"

#include <fcntl.h>
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pc/pc.h"

namespace agent_link {
namespace {

// An emulated UART at the other end of a socket may pace bytes like a 115,200-baud line.
constexpr double SOCKET_MICROS_PER_BYTE = 1e7 / 115200;

class FdLink final : public ByteLink {
public:
    FdLink(int fd, std::string name, bool tcp, double microsPerByte)
        : fd_(fd), name_(std::move(name)), tcp_(tcp), microsPerByte_(microsPerByte)
    {
    }
    ~FdLink() override { close(fd_); }

    bool send(std::span<const uint8_t> bytes) override
    {
        const uint8_t* p = bytes.data();
        size_t left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(fd_, p, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                pollfd waiting{fd_, POLLOUT, 0};
                poll(&waiting, 1, 100);
                continue;
            }
            if (n <= 0) {
                closed_ = true;
                return false;
            }
            p += n;
            left -= size_t(n);
        }
        return true;
    }

    std::vector<uint8_t> receive(int timeoutMs) override
    {
        pollfd waiting{fd_, POLLIN, 0};
        int ready;
        do
            ready = poll(&waiting, 1, timeoutMs);
        while (ready < 0 && errno == EINTR);
        if (ready <= 0)
            return {};
        uint8_t buffer[65536];
        ssize_t n;
        do
            n = ::read(fd_, buffer, sizeof buffer);
        while (n < 0 && errno == EINTR);
        if (n <= 0) {
            if (n == 0 || errno != EAGAIN)
                closed_ = true;
            return {};
        }
        // A client that answers byte by byte (Bochs) would otherwise wait for our delayed
        // acknowledgement on every reply.
        if (tcp_) {
            const int on = 1;
            setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        }
        return std::vector<uint8_t>(buffer, buffer + n);
    }

    bool closed() const override { return closed_; }
    double microsPerByte() const override { return microsPerByte_; }
    std::string name() const override { return name_; }

private:
    int fd_;
    std::string name_;
    bool tcp_;
    double microsPerByte_;
    bool closed_ = false;
};

[[noreturn]] void refuse(const std::string& spec, const std::string& why)
{
    throw pc::MachineError("link " + spec + ": " + why);
}

std::unique_ptr<ByteLink> connectUnix(const std::string& spec, const std::string& path)
{
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        refuse(spec, "the socket path is empty or too long");
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const std::string why = std::strerror(errno);
        if (fd >= 0)
            close(fd);
        refuse(spec, "cannot connect: " + why);
    }
    return std::make_unique<FdLink>(fd, spec, false, SOCKET_MICROS_PER_BYTE);
}

std::unique_ptr<ByteLink> connectTcp(const std::string& spec, const std::string& where)
{
    const size_t colon = where.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == where.size())
        refuse(spec, "expected tcp:HOST:PORT");
    const std::string host = where.substr(0, colon), port = where.substr(colon + 1);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int error = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); error != 0)
        refuse(spec, std::string("cannot find the host: ") + gai_strerror(error));
    int fd = -1;
    std::string why = "no address";
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            why = std::strerror(errno);
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0)
        refuse(spec, "cannot connect: " + why);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return std::make_unique<FdLink>(fd, spec, true, SOCKET_MICROS_PER_BYTE);
}

speed_t termiosSpeed(uint32_t baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return 0;
    }
}

std::unique_ptr<ByteLink> openSerial(const std::string& spec, const std::string& what)
{
    std::string device = what;
    uint32_t baud = 115200;
    if (const size_t comma = what.find(','); comma != std::string::npos) {
        device = what.substr(0, comma);
        const std::string rate = what.substr(comma + 1);
        char* end = nullptr;
        baud = uint32_t(std::strtoul(rate.c_str(), &end, 10));
        if (rate.empty() || *end != '\0' || termiosSpeed(baud) == 0)
            refuse(spec, "the baud rate must be 9600, 19200, 38400, 57600 or 115200, got '" + rate + "'");
    }
    if (device.empty())
        refuse(spec, "expected serial:DEVICE[,BAUD]");
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        refuse(spec, std::string("cannot open ") + device + ": " + std::strerror(errno));
    termios settings{};
    if (!isatty(fd) || tcgetattr(fd, &settings) != 0) {
        close(fd);
        refuse(spec, device + " is not a serial port (not a terminal device)");
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, termiosSpeed(baud));
    cfsetospeed(&settings, termiosSpeed(baud));
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        const std::string why = std::strerror(errno);
        close(fd);
        refuse(spec, "cannot set up " + device + ": " + why);
    }
    tcflush(fd, TCIOFLUSH);
    // 8N1: ten bits on the line per byte.
    return std::make_unique<FdLink>(fd, "serial:" + device + "," + std::to_string(baud), false, 1e7 / baud);
}

// A connection to the listening socket `listener` within `timeoutMs`, or -1.
int acceptWithin(int listener, int timeoutMs)
{
    pollfd waiting{listener, POLLIN, 0};
    int ready;
    do
        ready = poll(&waiting, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return -1;
    return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

}  // namespace

std::unique_ptr<ByteLink> openLink(const std::string& spec)
{
    if (spec.rfind("unix:", 0) == 0)
        return connectUnix(spec, spec.substr(5));
    if (spec.rfind("tcp:", 0) == 0)
        return connectTcp(spec, spec.substr(4));
    if (spec.rfind("serial:", 0) == 0)
        return openSerial(spec, spec.substr(7));
    refuse(spec, "expected unix:PATH, tcp:HOST:PORT or serial:DEVICE[,BAUD]");
}

UnixListener::UnixListener(const std::string& path) : path_(path)
{
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path)
        throw pc::MachineError("the socket path " + path + " is too long");
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 1) != 0) {
        const std::string why = std::strerror(errno);
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
        throw pc::MachineError("cannot listen on " + path + ": " + why);
    }
}

UnixListener::~UnixListener()
{
    if (fd_ >= 0)
        close(fd_);
    unlink(path_.c_str());
}

std::unique_ptr<ByteLink> UnixListener::accept(int timeoutMs)
{
    const int fd = acceptWithin(fd_, timeoutMs);
    if (fd < 0)
        return nullptr;
    return std::make_unique<FdLink>(fd, "unix:" + path_, false, SOCKET_MICROS_PER_BYTE);
}

TcpListener::TcpListener()
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 1) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const std::string why = std::strerror(errno);
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
        throw pc::MachineError("cannot listen on a TCP port of 127.0.0.1: " + why);
    }
    port_ = ntohs(address.sin_port);
}

TcpListener::~TcpListener()
{
    if (fd_ >= 0)
        close(fd_);
}

std::unique_ptr<ByteLink> TcpListener::accept(int timeoutMs)
{
    const int fd = acceptWithin(fd_, timeoutMs);
    if (fd < 0)
        return nullptr;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return std::make_unique<FdLink>(fd, "tcp:127.0.0.1:" + std::to_string(port_), true, SOCKET_MICROS_PER_BYTE);
}

}  // namespace agent_link
