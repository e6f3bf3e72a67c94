// Where QEMU's cirrus-vga is known to depart from the GD5446 it models, followed through the
// host's graphics-controller writes: each departure the traffic meets is named in words, so that
// a screen that differs can say it shows QEMU's card rather than a fault.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qemu_pc {

class CirrusDepartures {
public:
    // A graphics-controller register written by the host, by its index (GR00-GR3F).
    void graphicsWrite(uint8_t index, uint8_t value);
    // Something else wrote the registers (the BIOS in a call): their values are unknown until
    // the host writes them again.
    void forgetRegisters();
    // Video memory was cleared (a mode set): what a departure left there is gone.
    void videoMemoryCleared();
    // The departures met since video memory was last cleared, each once, in words.
    const std::vector<std::string>& met() const { return met_; }

private:
    void engineStarted();
    void note(const std::string& words);

    int mode_ = -1;       // GR30, -1: unknown
    int extension_ = -1;  // GR33
    int status_ = -1;     // GR31
    std::vector<std::string> met_;
};

}  // namespace qemu_pc
