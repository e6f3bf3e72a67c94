// A client of QEMU's gdbstub (the GDB remote serial protocol) for a stopped x86 CPU: registers,
// physical memory, breakpoints, continue until a stop. QEMU 7.2 has no no-ack mode, so every
// packet is acknowledged, and a '?' packet would drop every breakpoint, so none is ever sent.
// Requests whose only answer is OK (memory and register writes, breakpoints) are held and go
// out together with the next request that returns something, in one write: the stub answers
// them in order, so a crossing costs one round trip instead of one per packet. Replies are
// acknowledged in that write too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qemu_pc/link_error.h"
#include "qemu_pc/unix_socket.h"

namespace qemu_pc {

// The 16 registers gdb's i386 description puts first, in its order.
struct X86Registers {
    enum Index { EAX, ECX, EDX, EBX, ESP, EBP, ESI, EDI, EIP, EFLAGS, CS, SS, DS, ES, FS, GS, COUNT };
    uint32_t r[COUNT] = {};
};

class GdbRemote {
public:
    // Takes over a connected socket; `answerMs` bounds the wait for each reply.
    explicit GdbRemote(int answerMs) : answerMs_(answerMs) {}
    UnixSocket& socket() { return socket_; }

    // From now on m and M packets reach physical addresses.
    void usePhysicalMemory();
    X86Registers readRegisters();
    void writeRegisters(const X86Registers& registers);
    std::vector<uint8_t> readMemory(uint32_t address, uint32_t bytes);
    void writeMemory(uint32_t address, const uint8_t* bytes, uint32_t count);
    void setBreakpoint(uint32_t linear);
    void clearBreakpoint(uint32_t linear);

    // Lets the CPU run until it stops, at most `timeoutMs`; false when it did not stop by
    // then, and the CPU was stopped from here.
    bool continueUntilStop(int timeoutMs);
    // A reply that proves the stub is there.
    void ping();
    // Sends the held requests and waits for their OKs: before anything else reaches QEMU by
    // another way (QMP) that must see them done.
    void sync();

private:
    std::string transact(const std::string& packet);
    void sendPacket(const std::string& packet);
    // The next packet's body; throws LinkError when none comes within `timeoutMs`.
    std::string receivePacket(int timeoutMs);
    // Likewise, but nothing when none comes in time.
    std::optional<std::string> tryReceivePacket(int timeoutMs);
    // Holds a request whose answer must be OK.
    void expectOk(const std::string& packet, const char* what);
    // Sends the held requests and `packet` (if any) in one write, then takes the held OKs.
    void sendWithHeld(const std::string& packet);

    UnixSocket socket_;
    std::string pending_;
    int answerMs_;
    std::string lastRegisters_;  // a 'g' reply, for the registers beyond the first 16
    std::string held_;                // framed requests not yet sent
    std::vector<const char*> heldWhat_;  // what each held request does, for a refusal's message
    bool running_ = false;  // a continue is out and its stop has not come back
    size_t owedAcks_ = 0;   // replies received, acknowledged with the next request once stopped
};

}  // namespace qemu_pc
