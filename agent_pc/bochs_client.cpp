// Bochs as a client of the agent: Debian's Bochs 2.7 booted from the agent's floppy with the
// card and VGA BIOS of the machine description, COM1 connecting out to a TCP port we listen on,
// and its x display on a private Xvfb, whose screen file gives Bochs's own picture of the PC.
#include <algorithm>
#include <fstream>

#include "agent_pc/windowed_client.h"

namespace agent_pc {
namespace {

constexpr int RAM_MB = 32;
const char* const SYSTEM_BIOS = "/usr/share/bochs/BIOS-bochs-latest";
// The DISPI card of Bochs 2.7 has 16 MB, its GD5446 4 MB; neither can be changed.
constexpr uint32_t DISPI_VIDEO_KB = 16 * 1024, CIRRUS_VIDEO_KB = 4 * 1024;
// Bochs's x display under no window manager: the window at its border's width from the
// screen's corner, the guest's picture below a headerbar of icons, a status bar under it.
constexpr int WINDOW_BORDER = 4, HEADERBAR_ROWS = 32, STATUSBAR_ROWS = 18;
constexpr int REDRAW_HZ = 50;  // Bochs's display redraws, in real time

class BochsClient final : public WindowedClient {
public:
    explicit BochsClient(const pc::MachineConfig& config) : WindowedClient(config, "Bochs", REDRAW_HZ)
    {
        const bool cirrus = config.card == "cirrus";
        if (config.card != "stdvga" && !cirrus)
            throw pc::MachineError("machine " + config.name + ": Bochs has no card like " + config.card);
        if (config.card == "stdvga" && !config.dispi)
            throw pc::MachineError("machine " + config.name + ": Bochs's standard VGA always has DISPI (dispi = yes)");
        const uint32_t videoKb = cirrus ? CIRRUS_VIDEO_KB : DISPI_VIDEO_KB;
        if (config.videoMemoryKb != videoKb)
            throw pc::MachineError("machine " + config.name + ": Bochs's " + (cirrus ? "GD5446" : "DISPI card") +
                                   " has " + std::to_string(videoKb / 1024) + " MB of video memory (video_memory = " +
                                   std::to_string(videoKb / 1024) + "M)");
        if (!std::ifstream(SYSTEM_BIOS))
            throw pc::MachineError(std::string("Bochs's BIOS ") + SYSTEM_BIOS +
                                   " is missing: install the Debian package bochsbios");
        writeAgentFloppy(process_.path("agent.img"));
        writeConfiguration(cirrus);
        std::ofstream(process_.path("commands")) << "c\n";  // leave the debugger's first prompt
        start("bochs", {"-q", "-f", process_.path("bochsrc"), "-rc", process_.path("commands")}, "bochs");
    }

private:

    void writeConfiguration(bool cirrus)
    {
        std::ofstream rc(process_.path("bochsrc"));
        rc << "megs: " << RAM_MB << "\n"
           << "romimage: file=" << SYSTEM_BIOS << "\n"
           << "vgaromimage: file=" << config_.romPath << "\n"
           // The slowest CPU Bochs allows: serial bytes take emulated time, so they come fastest.
           << "cpu: count=1, ips=1000000, reset_on_triple_fault=0\n"
           << "clock: sync=none, time0=local\n"
           << "floppya: 1_44=" << process_.path("agent.img") << ", status=inserted\n"
           << "boot: floppy\n"
           << "com1: enabled=1, mode=socket-client, dev=127.0.0.1:" << listener_.port() << "\n"
           // Both cards on the PCI bus, as QEMU's are: the DISPI card's framebuffer is its BAR 0.
           << "pci: enabled=1, chipset=i440fx, slot1=" << (cirrus ? "cirrus" : "pcivga") << "\n"
           << "vga: extension=" << (cirrus ? "cirrus" : "vbe") << ", update_freq=" << REDRAW_HZ << ", realtime=1\n"
           << "display_library: x\n"
           << "mouse: enabled=0\n"
           << "speaker: enabled=0\n"
           << "sound: waveoutdrv=dummy, waveindrv=dummy, midioutdrv=dummy\n"
           << "panic: action=fatal\n"
           << "error: action=report\n"
           << "info: action=ignore\n"
           << "debug: action=ignore\n";
        if (!rc.flush())
            throw pc::MachineError("cannot write Bochs's configuration in " + process_.folder());
    }

    // Right of the border, between headerbar and status bar. The window is as wide as its
    // headerbar; its bottom is the status bar's last row, the lowest thing on the black screen.
    bool guestPicture(const pc::Picture& screen, pc::Picture& picture) const override
    {
        auto at = [&](int x, int y) { return screen.pixels[size_t(y) * size_t(screen.width) + size_t(x)]; };
        auto headerbarColumnEmpty = [&](int x) {
            for (int y = WINDOW_BORDER; y < WINDOW_BORDER + HEADERBAR_ROWS; ++y)
                if (at(x, y) != 0)
                    return false;
            return true;
        };
        int right = screen.width - 1;
        while (right >= WINDOW_BORDER && headerbarColumnEmpty(right))
            --right;
        int bottom = screen.height - 1;
        while (bottom >= WINDOW_BORDER && at(WINDOW_BORDER, bottom) == 0)
            --bottom;
        const int top = WINDOW_BORDER + HEADERBAR_ROWS;
        const int width = right + 1 - WINDOW_BORDER, height = bottom + 1 - STATUSBAR_ROWS - top;
        if (width <= 0 || height <= 0)
            return false;
        cutOut(screen, WINDOW_BORDER, top, width, height, picture);
        return true;
    }
};

}  // namespace

std::unique_ptr<Client> startBochsClient(const pc::MachineConfig& config)
{
    return std::make_unique<BochsClient>(config);
}

}  // namespace agent_pc
