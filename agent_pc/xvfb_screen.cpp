// Xvfb on a display number of its own, and its screen file (an X window dump: a big-endian
// header, a colour map, then the pixels) read as a picture.
#include "agent_pc/xvfb_screen.h"

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace agent_pc {
namespace {

constexpr int FIRST_DISPLAY = 120;  // above what a desktop or a test's own Xvfb takes
constexpr int DISPLAYS_TRIED = 64;
constexpr int START_MS = 5000;

// The header fields Palisade reads, by their index among the header's 32-bit words.
enum XwdField {
    XWD_HEADER_SIZE = 0,
    XWD_VERSION = 1,
    XWD_PIXMAP_FORMAT = 2,
    XWD_WIDTH = 4,
    XWD_HEIGHT = 5,
    XWD_BYTE_ORDER = 7,
    XWD_BITS_PER_PIXEL = 11,
    XWD_BYTES_PER_LINE = 12,
    XWD_RED_MASK = 14,
    XWD_GREEN_MASK = 15,
    XWD_BLUE_MASK = 16,
    XWD_COLORMAP_ENTRIES = 19,
    XWD_FIELDS = 25,
};
constexpr uint32_t XWD_FILE_VERSION = 7;
constexpr uint32_t XWD_Z_PIXMAP = 2;
constexpr uint32_t XWD_LSB_FIRST = 0;
constexpr uint32_t XWD_COLOR_BYTES = 12;  // one colour map entry

uint32_t bigEndian(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

XvfbScreen::XvfbScreen(int width, int height)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // A display number whose lock another server holds makes Xvfb end at once: try the next.
    for (int tried = 0; tried < DISPLAYS_TRIED; ++tried) {
        const int number = FIRST_DISPLAY + int((getpid() + tried) % 400);
        if (std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock"))
            continue;
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        display_ = ":" + std::to_string(number);
        process_.start("Xvfb",
                       {display_, "-screen", "0", size, "-fbdir", process_.folder(), "-nolisten", "tcp", "-br",
                        "-noreset"},
                       "xvfb", "");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(START_MS);
        while (process_.running() && !std::filesystem::exists(socket) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (process_.running() && std::filesystem::exists(socket))
            return;
        process_.stop();
    }
    throw pc::MachineError("Xvfb did not start on any display from :" + std::to_string(FIRST_DISPLAY) +
                           (process_.lastErrorLine().empty() ? std::string() : ": " + process_.lastErrorLine()));
}

bool XvfbScreen::read(pc::Picture& screen) const
{
    return readWindowDump(process_.path("Xvfb_screen0"), screen);
}

bool readWindowDump(const std::string& path, pc::Picture& screen)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> bytes(file ? size_t(file.tellg()) : 0);
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())))
        return false;
    if (bytes.size() < XWD_FIELDS * 4)
        return false;
    auto field = [&](int index) { return bigEndian(bytes.data() + index * 4); };
    const uint32_t width = field(XWD_WIDTH), height = field(XWD_HEIGHT), lineBytes = field(XWD_BYTES_PER_LINE);
    const uint64_t pixelsAt = uint64_t(field(XWD_HEADER_SIZE)) + uint64_t(field(XWD_COLORMAP_ENTRIES)) * XWD_COLOR_BYTES;
    if (field(XWD_VERSION) != XWD_FILE_VERSION || field(XWD_PIXMAP_FORMAT) != XWD_Z_PIXMAP ||
        field(XWD_BYTE_ORDER) != XWD_LSB_FIRST || field(XWD_BITS_PER_PIXEL) != 32 || field(XWD_RED_MASK) != 0xFF0000 ||
        field(XWD_GREEN_MASK) != 0x00FF00 || field(XWD_BLUE_MASK) != 0x0000FF || lineBytes < width * 4 ||
        pixelsAt + uint64_t(lineBytes) * height > bytes.size())
        return false;
    screen.width = int(width);
    screen.height = int(height);
    screen.bitsPerPixel = 0;
    screen.pixels.resize(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = bytes.data() + pixelsAt + uint64_t(y) * lineBytes;
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = row + x * 4;  // blue, green, red, unused
            screen.pixels[size_t(y) * width + x] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
    }
    return true;
}

}  // namespace agent_pc
