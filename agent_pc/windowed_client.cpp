// An emulator on a private Xvfb, connected to us over TCP: its start, line, picture and end.
#include "agent_pc/windowed_client.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace agent_pc {
namespace {

constexpr int CONNECT_MS = 20000;  // Xvfb and the emulator start, the agent's serial port opens
// The largest mode (2560x1600) in an emulator's window, with its frame and bars.
constexpr int SCREEN_WIDTH = 2600, SCREEN_HEIGHT = 1700;
constexpr int SETTLE_REDRAWS = 3;
constexpr int SAME_PICTURE_TRIES = 5;

}  // namespace

WindowedClient::WindowedClient(const pc::MachineConfig& config, const std::string& program, int redrawHz)
    : config_(config), program_(program), process_(program), redrawHz_(redrawHz)
{
}

void WindowedClient::start(const std::string& binary, const std::vector<std::string>& arguments,
                           const std::string& package, std::vector<std::string> environment)
{
    xvfb_ = std::make_unique<XvfbScreen>(SCREEN_WIDTH, SCREEN_HEIGHT);
    environment.push_back("DISPLAY=" + xvfb_->display());
    process_.setEnvironment(std::move(environment));
    process_.start(binary, arguments, package, "");
}

std::unique_ptr<agent_link::ByteLink> WindowedClient::connect()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(CONNECT_MS);
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::unique_ptr<agent_link::ByteLink> link = listener_.accept(50))
            return link;
        if (!process_.running())
            break;
    }
    throw pc::MachineError(explain("did not connect its serial port to 127.0.0.1:" + std::to_string(listener_.port())));
}

bool WindowedClient::screendump(pc::Picture& picture)
{
    const auto redraw = std::chrono::milliseconds(1000 / redrawHz_);
    std::this_thread::sleep_for(redraw * SETTLE_REDRAWS);
    pc::Picture screen, again;
    if (!xvfb_ || !xvfb_->read(screen))
        return false;
    for (int tries = 0; tries < SAME_PICTURE_TRIES; ++tries) {
        std::this_thread::sleep_for(redraw);
        if (!xvfb_->read(again))
            return false;
        if (again.pixels == screen.pixels)
            return guestPicture(screen, picture);
        std::swap(screen, again);
    }
    return false;
}

std::string WindowedClient::explain(const std::string& what)
{
    // While it runs, what it printed last is its start-up chatter (Bochs's debugger), not news.
    if (process_.running())
        return program_ + " (machine " + config_.name + ") " + what;
    const std::string said = process_.lastErrorLine();
    return program_ + " (machine " + config_.name + ") ended: " + (said.empty() ? what : said);
}

bool WindowedClient::windowSize(const std::string& title, int& width, int& height) const
{
    if (!xvfb_)
        return false;
    const std::string command =
        "DISPLAY=" + xvfb_->display() + " xdotool search --name '" + title + "' getwindowgeometry --shell 2>/dev/null";
    FILE* output = popen(command.c_str(), "r");
    if (output == nullptr)
        return false;
    width = height = 0;
    char line[128];
    while (std::fgets(line, sizeof line, output) != nullptr) {
        std::sscanf(line, "WIDTH=%d", &width);
        std::sscanf(line, "HEIGHT=%d", &height);
    }
    pclose(output);
    return width > 0 && height > 0;
}

void WindowedClient::stop()
{
    process_.stop();
    if (xvfb_)
        xvfb_->stop();
}

void cutOut(const pc::Picture& screen, int x, int y, int width, int height, pc::Picture& picture)
{
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(size_t(width) * size_t(height));
    for (int row = 0; row < height; ++row)
        std::copy_n(screen.pixels.begin() + ptrdiff_t(size_t(y + row) * size_t(screen.width) + size_t(x)), width,
                    picture.pixels.begin() + ptrdiff_t(size_t(row) * size_t(width)));
}

}  // namespace agent_pc
