// An emulator Palisade starts with its agent inside, and what it offers besides the agent's
// line: its own picture of the screen, and its last words when it fails.
#pragma once

#include <memory>
#include <string>

#include "agent_link/byte_link.h"
#include "pc/pc.h"

namespace agent_pc {

class Client {
public:
    virtual ~Client() = default;
    // The line to the agent, once the emulator has connected it; throws pc::MachineError.
    virtual std::unique_ptr<agent_link::ByteLink> connect() = 0;
    // The emulator's own scan-out of the card; false when it has none.
    virtual bool screendump(pc::Picture& picture) = 0;
    // Interrupts the guest's CPU with an NMI, which the agent takes to end a call that runs
    // past its budget with interrupts off; false when the emulator cannot.
    virtual bool interruptCall() = 0;
    // One line for a failure, with what the emulator said last when it has ended.
    virtual std::string explain(const std::string& what) = 0;
    // Ends the emulator by its PID (also done when the client is destroyed).
    virtual void stop() = 0;
};

// The agent's boot image padded to a 1.44 MB floppy at `path`, for an emulator to boot;
// throws pc::MachineError when it cannot be written.
void writeAgentFloppy(const std::string& path);

// QEMU booted from the agent's floppy image, COM1 on a Unix socket in its private folder, QMP
// for screendumps; throws pc::MachineError when QEMU is missing or will not start.
std::unique_ptr<Client> startQemuClient(const pc::MachineConfig& config);

// Debian's Bochs 2.7 booted from the agent's floppy, COM1 connecting out to a TCP port we
// listen on, its x display on a private Xvfb; throws pc::MachineError when Bochs is missing,
// or its card cannot be what the description asks.
std::unique_ptr<Client> startBochsClient(const pc::MachineConfig& config);

// Debian's DOSBox 0.74 (its S3 card and built-in VBE) running AGENT.COM from a mounted folder,
// serial1 a null modem connecting out to a TCP port we listen on, its window on a private Xvfb.
std::unique_ptr<Client> startDosboxClient(const pc::MachineConfig& config);

}  // namespace agent_pc
