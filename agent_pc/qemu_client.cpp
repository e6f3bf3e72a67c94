// QEMU as a client of the agent: the card and ROM of the machine description, the agent's
// floppy, COM1 connected to our socket, QMP for QEMU's own pictures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "agent_pc/client.h"
#include "qemu_pc/link_error.h"
#include "qemu_pc/ppm.h"
#include "qemu_pc/qemu_process.h"
#include "qemu_pc/qmp.h"

namespace agent_pc {
namespace {

constexpr int ANSWER_MS = 5000;
constexpr int CONNECT_MS = 10000;  // QEMU opens its sockets
constexpr int RAM_MB = 32;

const char* qemuDevice(const std::string& card)
{
    if (card == "stdvga")
        return "VGA";
    if (card == "cirrus")
        return "cirrus-vga";
    return nullptr;
}

class QemuClient final : public Client {
public:
    explicit QemuClient(const pc::MachineConfig& config) : config_(config), qmp_(ANSWER_MS)
    {
        const char* device = qemuDevice(config.card);
        if (device == nullptr || (config.card == "stdvga" && !config.dispi))
            throw pc::MachineError("machine " + config.name + ": QEMU has no card like " + config.card);
        if (config.videoMemoryKb % 1024 != 0)
            throw pc::MachineError("machine " + config.name + ": QEMU's cards take video memory in whole MB");
        writeAgentFloppy(process_.path("agent.img"));
        serialSocket_ = process_.path("com1");
        listener_ = std::make_unique<agent_link::UnixListener>(serialSocket_);
        const std::string qmpSocket = process_.path("qmp");
        process_.start(config.qemuBinary,
                       {"-nodefaults", "-machine", "pc", "-m", std::to_string(RAM_MB), "-display", "none",
                        "-no-reboot", "-device",
                        std::string(device) + ",romfile=" + config.romPath +
                            ",vgamem_mb=" + std::to_string(config.videoMemoryKb / 1024) + ",addr=02.0",
                        "-drive", "file=" + process_.path("agent.img") + ",format=raw,if=floppy", "-boot", "a",
                        "-serial", "unix:" + serialSocket_, "-qmp", "unix:" + qmpSocket + ",server=on,wait=off"},
                       "qemu-system-x86");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(CONNECT_MS);
        while (!qmp_.socket().connected()) {
            if (!process_.running() || std::chrono::steady_clock::now() > deadline)
                throw pc::MachineError(explain("did not open its QMP socket"));
            qmp_.socket().connect(qmpSocket);
            if (!qmp_.socket().connected())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        try {
            qmp_.start();
        } catch (const qemu_pc::LinkError& error) {
            throw pc::MachineError(explain(error.what()));
        }
    }

    ~QemuClient() override { stop(); }

    std::unique_ptr<agent_link::ByteLink> connect() override
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(CONNECT_MS);
        while (std::chrono::steady_clock::now() < deadline) {
            if (std::unique_ptr<agent_link::ByteLink> link = listener_->accept(50))
                return link;
            if (!process_.running())
                break;
        }
        throw pc::MachineError(explain("did not connect its COM1 to " + serialSocket_));
    }

    bool screendump(pc::Picture& picture) override
    {
        const std::string file = process_.path("screen.ppm");
        try {
            qmp_.screendump(file);
        } catch (const qemu_pc::LinkError& error) {
            throw pc::MachineError(explain(error.what()));
        }
        if (!qemu_pc::readPpm(file, picture))
            throw pc::MachineError("QEMU's screendump " + file + " is not a picture");
        std::remove(file.c_str());
        return true;
    }

    bool interruptCall() override
    {
        try {
            qmp_.injectNmi();
        } catch (const qemu_pc::LinkError& error) {
            throw pc::MachineError(explain(error.what()));
        }
        return true;
    }

    std::string explain(const std::string& what) override
    {
        const bool died = !process_.running();
        const std::string said = process_.lastErrorLine();
        std::string line = "QEMU (machine " + config_.name + ") " + (died ? "ended" : what);
        if (!said.empty())
            line += ": " + said;
        else if (died)
            line += ": " + what;
        return line;
    }

    void stop() override { process_.stop(); }

private:

    pc::MachineConfig config_;
    qemu_pc::QemuProcess process_;
    qemu_pc::Qmp qmp_;
    std::string serialSocket_;
    std::unique_ptr<agent_link::UnixListener> listener_;
};

}  // namespace

std::unique_ptr<Client> startQemuClient(const pc::MachineConfig& config)
{
    return std::make_unique<QemuClient>(config);
}

}  // namespace agent_pc
