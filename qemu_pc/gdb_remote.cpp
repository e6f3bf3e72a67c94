// The GDB remote serial protocol over QEMU's gdbstub socket.
#include "qemu_pc/gdb_remote.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace qemu_pc {
namespace {

// The stub's packets hold at most this much memory each way (QEMU 7.2: 4 KB packets, hex).
constexpr uint32_t MEMORY_CHUNK = 2000;
// Requests held for one write at most.
constexpr size_t MAX_HELD = 32;

const char HEX[] = "0123456789abcdef";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string hexOf(const uint8_t* bytes, size_t count)
{
    std::string text(count * 2, '0');
    for (size_t i = 0; i < count; ++i) {
        text[2 * i] = HEX[bytes[i] >> 4];
        text[2 * i + 1] = HEX[bytes[i] & 15];
    }
    return text;
}

std::vector<uint8_t> bytesOf(const std::string& hex)
{
    std::vector<uint8_t> bytes(hex.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int high = hexValue(hex[2 * i]), low = hexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            throw LinkError("QEMU's gdbstub sent a malformed reply");
        bytes[i] = uint8_t(high << 4 | low);
    }
    return bytes;
}

std::string addressText(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

uint32_t littleEndian(const std::vector<uint8_t>& bytes, size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
}

}  // namespace

namespace {

std::string framed(const std::string& packet)
{
    uint8_t sum = 0;
    for (char c : packet)
        sum = uint8_t(sum + uint8_t(c));
    std::string text;
    text.reserve(packet.size() + 4);
    text += '$';
    text += packet;
    text += '#';
    text += HEX[sum >> 4];
    text += HEX[sum & 15];
    return text;
}

}  // namespace

void GdbRemote::sendPacket(const std::string& packet)
{
    sendWithHeld(packet);
}

void GdbRemote::sendWithHeld(const std::string& packet)
{
    // The acknowledgements owed go first: QEMU takes a '+' or the next packet's '$' as the end
    // of its wait for one, so they cost no write of their own.
    std::string out(owedAcks_, '+');
    owedAcks_ = 0;
    out += held_;
    held_.clear();
    if (!packet.empty())
        out += framed(packet);
    if (!out.empty() && !socket_.send(out))
        throw LinkError("QEMU's gdbstub closed its socket");
    std::vector<const char*> what = std::move(heldWhat_);
    heldWhat_.clear();
    for (const char* request : what) {
        const std::string reply = receivePacket(answerMs_);
        if (reply != "OK")
            throw LinkError(std::string("QEMU's gdbstub refused ") + request + " (" +
                            (reply.empty() ? "no answer" : reply) + ")");
    }
}

void GdbRemote::sync()
{
    sendWithHeld("");
}

std::optional<std::string> GdbRemote::tryReceivePacket(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // Acknowledgements and anything before a packet's start are skipped.
        const size_t start = pending_.find('$');
        if (start != std::string::npos) {
            const size_t end = pending_.find('#', start);
            if (end != std::string::npos && pending_.size() >= end + 3) {
                std::string body = pending_.substr(start + 1, end - start - 1);
                pending_.erase(0, end + 3);
                // Acknowledged with the next request: a byte that reaches the stub while the
                // CPU runs would stop the CPU, and a write of its own costs a system call.
                ++owedAcks_;
                // Run-length encoding: "x*n" repeats x (n - 29) more times.
                std::string plain;
                for (size_t i = 0; i < body.size(); ++i) {
                    if (body[i] == '*' && i + 1 < body.size() && !plain.empty()) {
                        plain.append(size_t(body[i + 1] - 29), plain.back());
                        ++i;
                    } else {
                        plain += body[i];
                    }
                }
                return plain;
            }
        } else {
            pending_.clear();
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return std::nullopt;
        const std::string more = socket_.receive(int(left));
        if (socket_.closed())
            throw LinkError("QEMU's gdbstub closed its socket");
        pending_ += more;
    }
}

std::string GdbRemote::receivePacket(int timeoutMs)
{
    std::optional<std::string> packet = tryReceivePacket(timeoutMs);
    if (!packet)
        throw LinkError("QEMU's gdbstub stopped answering (no reply within " + std::to_string(timeoutMs) + " ms)");
    return *packet;
}

std::string GdbRemote::transact(const std::string& packet)
{
    sendPacket(packet);
    return receivePacket(answerMs_);
}

void GdbRemote::expectOk(const std::string& packet, const char* what)
{
    // QEMU writes its replies blocking, a few small writes each, and stops reading us while
    // our socket's buffer is full of them: only so many may be outstanding.
    if (heldWhat_.size() >= MAX_HELD)
        sync();
    held_ += framed(packet);
    heldWhat_.push_back(what);
}

void GdbRemote::usePhysicalMemory()
{
    expectOk("Qqemu.PhyMemMode:1", "physical memory mode");
}

void GdbRemote::ping()
{
    transact("qAttached");
}

X86Registers GdbRemote::readRegisters()
{
    lastRegisters_ = transact("g");
    if (lastRegisters_.size() < X86Registers::COUNT * 8)
        throw LinkError("QEMU's gdbstub sent too few registers");
    const std::vector<uint8_t> bytes = bytesOf(lastRegisters_.substr(0, X86Registers::COUNT * 8));
    X86Registers registers;
    for (int i = 0; i < X86Registers::COUNT; ++i)
        registers.r[i] = littleEndian(bytes, size_t(i) * 4);
    return registers;
}

void GdbRemote::writeRegisters(const X86Registers& registers)
{
    if (lastRegisters_.empty())
        readRegisters();
    uint8_t bytes[X86Registers::COUNT * 4];
    for (int i = 0; i < X86Registers::COUNT; ++i)
        for (int b = 0; b < 4; ++b)
            bytes[i * 4 + b] = uint8_t(registers.r[i] >> (8 * b));
    lastRegisters_.replace(0, sizeof bytes * 2, hexOf(bytes, sizeof bytes));
    expectOk("G" + lastRegisters_, "the registers");
}

std::vector<uint8_t> GdbRemote::readMemory(uint32_t address, uint32_t bytes)
{
    std::vector<uint8_t> data;
    data.reserve(bytes);
    while (bytes > 0) {
        const uint32_t chunk = std::min(bytes, MEMORY_CHUNK);
        std::string request(1, 'm');
        request += addressText(address);
        request += ',';
        request += addressText(chunk);
        const std::string reply = transact(request);
        if (reply.size() != chunk * 2)
            throw LinkError("QEMU's gdbstub cannot read memory at " + addressText(address) + "h (" + reply + ")");
        const std::vector<uint8_t> part = bytesOf(reply);
        data.insert(data.end(), part.begin(), part.end());
        address += chunk;
        bytes -= chunk;
    }
    return data;
}

void GdbRemote::writeMemory(uint32_t address, const uint8_t* bytes, uint32_t count)
{
    while (count > 0) {
        const uint32_t chunk = std::min(count, MEMORY_CHUNK);
        std::string request(1, 'M');
        request += addressText(address);
        request += ',';
        request += addressText(chunk);
        request += ':';
        request += hexOf(bytes, chunk);
        expectOk(request, "a memory write");
        address += chunk;
        bytes += chunk;
        count -= chunk;
    }
}

void GdbRemote::setBreakpoint(uint32_t linear)
{
    expectOk("Z0," + addressText(linear) + ",1", "a breakpoint");
}

void GdbRemote::clearBreakpoint(uint32_t linear)
{
    expectOk("z0," + addressText(linear) + ",1", "removing a breakpoint");
}

bool GdbRemote::continueUntilStop(int timeoutMs)
{
    running_ = true;
    sendPacket("c");
    const std::optional<std::string> stop = tryReceivePacket(timeoutMs);
    if (!stop) {
        // Stopped from here: an interrupt byte, then the stop reply.
        const char interrupt = 0x03;
        if (!socket_.send(&interrupt, 1))
            throw LinkError("QEMU's gdbstub closed its socket");
        receivePacket(answerMs_);
    }
    running_ = false;
    if (stop && (stop->empty() || ((*stop)[0] != 'T' && (*stop)[0] != 'S')))
        throw LinkError("QEMU's CPU ended instead of stopping (" + *stop + ")");
    return stop.has_value();
}

}  // namespace qemu_pc
