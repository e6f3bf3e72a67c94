// The gdbstub client against a small stub of our own on a Unix socket: what it sends, how it
// reads replies, and that a stub that stops answering ends in an error within the bound.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "qemu_pc/gdb_remote.h"

namespace {

// A listening socket in a folder of its own, and the one connection it accepts.
class StubServer {
public:
    StubServer()
    {
        char pattern[] = "/tmp/gdb-remote-test-XXXXXX";
        folder_ = mkdtemp(pattern);
        path_ = folder_ + "/gdb";
        listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path_.c_str());
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 1);
    }
    ~StubServer()
    {
        if (peer_ >= 0)
            close(peer_);
        close(listener_);
        std::filesystem::remove_all(folder_);
    }
    const std::string& path() const { return path_; }
    void accept() { peer_ = ::accept(listener_, nullptr, nullptr); }
    // Everything the client sent until `until` appears (bounded by the socket's own wait).
    std::string readUntil(const std::string& until)
    {
        std::string got;
        timeval wait{2, 0};
        setsockopt(peer_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        char buffer[512];
        while (got.find(until) == std::string::npos) {
            const ssize_t n = recv(peer_, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            got.append(buffer, size_t(n));
        }
        return got;
    }
    void send(const std::string& text) { (void)!::send(peer_, text.data(), text.size(), 0); }
    // Everything the client sent within `wait`.
    std::string readFor(std::chrono::milliseconds wait)
    {
        std::string got;
        const timeval tick{0, 20000};
        setsockopt(peer_, SOL_SOCKET, SO_RCVTIMEO, &tick, sizeof tick);
        char buffer[512];
        for (const auto end = std::chrono::steady_clock::now() + wait; std::chrono::steady_clock::now() < end;) {
            const ssize_t n = recv(peer_, buffer, sizeof buffer, 0);
            if (n > 0)
                got.append(buffer, size_t(n));
        }
        return got;
    }

private:
    std::string folder_, path_;
    int listener_ = -1, peer_ = -1;
};

std::string framed(const std::string& body)
{
    unsigned sum = 0;
    for (char c : body)
        sum += uint8_t(c);
    char tail[4];
    std::snprintf(tail, sizeof tail, "#%02x", sum & 0xFF);
    return "$" + body + tail;
}

TEST(GdbRemote, SendsChecksummedPacketsAndAcknowledgesRunLengthRepliesWithTheNextRequest)
{
    StubServer stub;
    qemu_pc::GdbRemote gdb(2000);
    ASSERT_TRUE(gdb.socket().connect(stub.path()));
    stub.accept();
    std::string request, next;
    std::thread answer([&] {
        request = stub.readUntil(framed("m10,4"));
        stub.send("+" + framed("12*!34"));  // '2' four more times: 12 22 22 34
        next = stub.readUntil(framed("qAttached"));
        stub.send("+" + framed("1"));
    });
    const std::vector<uint8_t> bytes = gdb.readMemory(0x10, 4);
    gdb.ping();
    answer.join();
    EXPECT_EQ(request, framed("m10,4"));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x12, 0x22, 0x22, 0x34}));
    EXPECT_EQ(next, "+" + framed("qAttached")) << "the reply is acknowledged in the next request's write";
}

TEST(GdbRemote, AStubThatStopsAnsweringIsAnErrorWithinTheBound)
{
    StubServer stub;
    qemu_pc::GdbRemote gdb(300);
    ASSERT_TRUE(gdb.socket().connect(stub.path()));
    stub.accept();
    const auto start = std::chrono::steady_clock::now();
    try {
        gdb.ping();
        FAIL() << "a silent stub answered";
    } catch (const qemu_pc::LinkError& error) {
        EXPECT_NE(std::string(error.what()).find("stopped answering"), std::string::npos) << error.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(GdbRemote, AContinueThatDoesNotStopInTimeIsStoppedFromTheHost)
{
    StubServer stub;
    qemu_pc::GdbRemote gdb(2000);
    ASSERT_TRUE(gdb.socket().connect(stub.path()));
    stub.accept();
    std::string interrupt;
    std::thread cpu([&] {
        stub.readUntil("$c#63");
        stub.send("+");
        interrupt = stub.readUntil("\x03");  // the host's interrupt byte
        stub.send(framed("T02thread:01;"));
    });
    EXPECT_FALSE(gdb.continueUntilStop(200));
    cpu.join();
    EXPECT_NE(interrupt.find('\x03'), std::string::npos);
}

// QEMU stops a running CPU on any byte it receives, acknowledgements included.
TEST(GdbRemote, HeldWritesGoOutWithTheContinueAndRepliesWhileRunningAreAcknowledgedAfterTheStop)
{
    StubServer stub;
    qemu_pc::GdbRemote gdb(2000);
    ASSERT_TRUE(gdb.socket().connect(stub.path()));
    stub.accept();
    const uint8_t byte = 0xAB;
    gdb.writeMemory(0x10, &byte, 1);
    std::string request, whileRunning, afterStop;
    std::thread cpu([&] {
        request = stub.readUntil("$c#63");
        stub.send("+" + framed("OK") + "+");
        whileRunning = stub.readFor(std::chrono::milliseconds(200));
        stub.send(framed("T05thread:01;"));
        afterStop = stub.readUntil(framed("qAttached"));
        stub.send("+" + framed("1"));
    });
    EXPECT_TRUE(gdb.continueUntilStop(2000));
    gdb.ping();
    cpu.join();
    EXPECT_EQ(request, framed("M10,1:ab") + framed("c"));
    EXPECT_EQ(whileRunning, "") << "a byte sent while the CPU ran would have stopped it";
    EXPECT_EQ(afterStop, "++" + framed("qAttached")) << "the OK and the stop, acknowledged with the next request";
}

TEST(GdbRemote, AHeldWriteTheStubRefusesIsAnErrorNamingIt)
{
    StubServer stub;
    qemu_pc::GdbRemote gdb(2000);
    ASSERT_TRUE(gdb.socket().connect(stub.path()));
    stub.accept();
    const uint8_t byte = 0xAB;
    gdb.writeMemory(0x10, &byte, 1);
    std::thread answer([&] {
        stub.readUntil("$g#67");
        stub.send("+" + framed("E14") + "+" + framed("00000000"));
    });
    try {
        gdb.readRegisters();
        ADD_FAILURE() << "a refused write went unnoticed";
    } catch (const qemu_pc::LinkError& error) {
        EXPECT_NE(std::string(error.what()).find("refused a memory write (E14)"), std::string::npos) << error.what();
    }
    answer.join();
}

}  // namespace
