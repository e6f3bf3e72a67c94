// DOSBox as a client of the agent: Debian's DOSBox 0.74 on its S3 card with its built-in VBE (no
// ROM), AGENT.COM in a mounted folder run from [autoexec], serial1 a null modem connecting out
// to a TCP port we listen on, and its window on a private Xvfb as its own picture of the PC.
#include <filesystem>
#include <fstream>

#include "agent/boot_image.h"
#include "agent_pc/windowed_client.h"

namespace agent_pc {
namespace {

constexpr uint32_t S3_VIDEO_KB = 2 * 1024;  // DOSBox's S3 card (vmemsize = 2)
constexpr int REDRAW_HZ = 70;               // DOSBox draws every frame of the VGA's 70 Hz
constexpr int RAM_MB = 16;

class DosboxClient final : public WindowedClient {
public:
    explicit DosboxClient(const pc::MachineConfig& config) : WindowedClient(config, "DOSBox", REDRAW_HZ)
    {
        if (config.card != "s3")
            throw pc::MachineError("machine " + config.name + ": DOSBox's card is an S3 Trio64 (card = s3)");
        if (config.videoMemoryKb != S3_VIDEO_KB)
            throw pc::MachineError("machine " + config.name + ": DOSBox's S3 card has 2 MB of video memory (video_memory = 2M)");
        writeProgram();
        writeConfiguration();
        start("dosbox", {"-conf", process_.path("dosbox.conf"), "-noconsole"}, "dosbox",
              {"SDL_AUDIODRIVER=dummy"});
    }

private:
    void writeProgram()
    {
        const std::string folder = process_.path("c");
        const std::span<const uint8_t> program = agent::dosProgram();
        std::error_code failed;
        std::filesystem::create_directory(folder, failed);
        std::ofstream file(folder + "/AGENT.COM", std::ios::binary);
        file.write(reinterpret_cast<const char*>(program.data()), std::streamsize(program.size()));
        if (failed || !file.flush())
            throw pc::MachineError("cannot write the agent's DOS program in " + folder);
    }

    void writeConfiguration()
    {
        std::ofstream conf(process_.path("dosbox.conf"));
        conf << "[sdl]\nfullscreen=false\noutput=surface\nautolock=false\n"
             << "[dosbox]\nmachine=svga_s3\nmemsize=" << RAM_MB << "\n"
             // The picture one to one: no scaler, no aspect correction, every frame drawn.
             << "[render]\nframeskip=0\naspect=false\nscaler=none\n"
             << "[cpu]\ncore=auto\ncycles=max\n"
             << "[mixer]\nnosound=true\n[midi]\nmpu401=none\nmididevice=none\n"
             << "[speaker]\npcspeaker=false\ntandy=off\ndisney=false\n"
             << "[serial]\nserial1=nullmodem server:127.0.0.1 port:" << listener_.port()
             << " transparent:1 rxdelay:0 txdelay:0\nserial2=disabled\n"
             << "[autoexec]\nmount c " << process_.path("c") << "\nc:\nAGENT.COM\n";
        if (!conf.flush())
            throw pc::MachineError("cannot write DOSBox's configuration in " + process_.folder());
    }

    // DOSBox's window, at the screen's corner under no window manager, is the guest's picture
    // one to one; its size is the window's, which X knows.
    bool guestPicture(const pc::Picture& screen, pc::Picture& picture) const override
    {
        int width = 0, height = 0;
        if (!windowSize("DOSBox", width, height) || width > screen.width || height > screen.height)
            return false;
        cutOut(screen, 0, 0, width, height, picture);
        return true;
    }
};

}  // namespace

std::unique_ptr<Client> startDosboxClient(const pc::MachineConfig& config)
{
    return std::make_unique<DosboxClient>(config);
}

}  // namespace agent_pc
