// A client of QEMU's machine protocol (QMP): the commands Palisade needs while the CPU stays
// stopped in the gdbstub, the screendump and saving physical memory to a file.
#pragma once

#include <cstdint>
#include <string>

#include "qemu_pc/unix_socket.h"

namespace qemu_pc {

class Qmp {
public:
    explicit Qmp(int answerMs) : answerMs_(answerMs) {}
    UnixSocket& socket() { return socket_; }

    // The greeting and the capabilities negotiation. Every command throws LinkError when QEMU
    // refuses it or stops answering.
    void start();
    // QEMU's own scan-out of the card, as a PPM file.
    void screendump(const std::string& file);
    // `bytes` of physical memory from `address` into a file.
    void savePhysicalMemory(uint32_t address, uint32_t bytes, const std::string& file);
    // A non-maskable interrupt to the CPU.
    void injectNmi();

private:
    // Sends one command and returns its "return" line; throws on an "error" reply or silence.
    std::string execute(const std::string& command);
    std::string nextLine();

    UnixSocket socket_;
    std::string pending_;
    int answerMs_;
};

}  // namespace qemu_pc
