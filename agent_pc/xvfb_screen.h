// A private X server without a display (Xvfb) whose screen is a file: an emulator's window on it
// is the emulator's own picture of the PC, read from that file.
#pragma once

#include <string>

#include "pc/pc.h"
#include "qemu_pc/qemu_process.h"

namespace agent_pc {

class XvfbScreen {
public:
    // Starts Xvfb on a free display number with a screen of `width` x `height` at 24 bits,
    // kept as a file by -fbdir. Throws pc::MachineError with one line when it cannot.
    XvfbScreen(int width, int height);
    ~XvfbScreen() { stop(); }
    XvfbScreen(const XvfbScreen&) = delete;
    XvfbScreen& operator=(const XvfbScreen&) = delete;

    // The DISPLAY value its clients use (":N").
    const std::string& display() const { return display_; }
    // The whole screen now, 0x00RRGGBB; false when its file cannot be read (readWindowDump).
    bool read(pc::Picture& screen) const;
    void stop() { process_.stop(); }

private:
    qemu_pc::QemuProcess process_{"Xvfb"};
    std::string display_;
};

// An X window dump (xwd's format, as Xvfb keeps its screen) of 24-bit colour in 32-bit pixels
// as a picture; false when the file is missing, cut short or of another depth or layout.
bool readWindowDump(const std::string& path, pc::Picture& picture);

}  // namespace agent_pc
