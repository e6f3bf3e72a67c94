// What the emulators Palisade starts with a window share: the emulator's process, a TCP port it
// connects its serial port to, and its window on a private Xvfb read as its own picture.
#pragma once

#include <memory>
#include <string>

#include "agent_link/byte_link.h"
#include "agent_pc/client.h"
#include "agent_pc/xvfb_screen.h"
#include "qemu_pc/qemu_process.h"

namespace agent_pc {

class WindowedClient : public Client {
public:
    ~WindowedClient() override { stop(); }

    std::unique_ptr<agent_link::ByteLink> connect() override;
    // The emulator's window once it has drawn what the PC shows now: a few redraws after the
    // last change, and the same twice running; false (read the card back) when it keeps changing.
    bool screendump(pc::Picture& picture) override;
    bool interruptCall() override { return false; }  // neither Bochs nor DOSBox can be sent an NMI
    std::string explain(const std::string& what) override;
    void stop() override;

protected:
    // `program` as messages name it; `redrawHz`, how often the emulator redraws its window.
    WindowedClient(const pc::MachineConfig& config, const std::string& program, int redrawHz);

    // Starts the emulator on the Xvfb (as DISPLAY, with `environment` besides).
    void start(const std::string& binary, const std::vector<std::string>& arguments, const std::string& package,
               std::vector<std::string> environment = {});
    // The guest's part of the emulator's window on the whole X screen; false when it cannot be found.
    virtual bool guestPicture(const pc::Picture& screen, pc::Picture& picture) const = 0;
    // The size of the first window whose title holds `title`, as the X server has it (xdotool).
    bool windowSize(const std::string& title, int& width, int& height) const;

    pc::MachineConfig config_;
    std::string program_;
    qemu_pc::QemuProcess process_;
    agent_link::TcpListener listener_;
    std::unique_ptr<XvfbScreen> xvfb_;
    int redrawHz_;
};

// The part of `screen` at (x, y), `width` x `height`, as a picture of its own.
void cutOut(const pc::Picture& screen, int x, int y, int width, int height, pc::Picture& picture);

}  // namespace agent_pc
