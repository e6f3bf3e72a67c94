#include "checks/modetests_e2e/run_headless.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "machine/machine.h"

namespace e2e {
namespace {

constexpr int RUN_LIMIT_SECONDS = 300;

std::string freshDirectory()
{
    std::string pattern = ::testing::TempDir() + "palisade-modetests-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a directory under " + ::testing::TempDir());
    return pattern;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

uint16_t field(const std::string& text, const std::string& name)
{
    const size_t at = text.find(name + "=");
    return at == std::string::npos ? 0 : static_cast<uint16_t>(std::stoul(text.substr(at + name.size() + 1, 4), nullptr, 16));
}

std::vector<VbeCall> readVbeLog(const std::string& path)
{
    std::vector<VbeCall> calls;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const size_t out = line.find(" out ");
        if (line.rfind("INT 10 in ", 0) != 0 || out == std::string::npos)
            continue;
        const std::string before = line.substr(0, out), after = line.substr(out);
        calls.push_back(VbeCall{field(before, "AX"), field(before, "BX"), field(before, "CX"), field(before, "DX"),
                                field(after, "AX"), field(after, "BX"), field(after, "CX"), field(after, "DX")});
    }
    return calls;
}

// The BIOS's 8x16 font, asked of a freshly booted machine of the same ROM.
const std::array<uint8_t, 256 * 16>& biosFont()
{
    static const std::array<uint8_t, 256 * 16> font = [] {
        std::array<uint8_t, 256 * 16> glyphs{};
        auto clock = machine::makeVirtualClock();
        machine::Machine pc(machine::presetConfig("default"), *clock);
        machine::CpuRegs regs;
        regs.ax = 0x1130;
        regs.bx = 0x0600;
        if (!pc.interrupt(0x10, regs).ok)
            throw std::runtime_error("the video BIOS did not return its 8x16 font");
        const uint32_t address = uint32_t(regs.es) * 16 + regs.bp;
        std::copy_n(pc.memory() + address, glyphs.size(), glyphs.begin());
        return glyphs;
    }();
    return font;
}

}  // namespace

HeadlessRun::HeadlessRun(HeadlessRun&& other) noexcept
    : exitStatus(other.exitStatus), errors(std::move(other.errors)), dir(std::move(other.dir)), vbe(std::move(other.vbe))
{
    other.dir.clear();
}

HeadlessRun::~HeadlessRun()
{
    if (dir.empty())
        return;
    if (::testing::UnitTest::GetInstance()->failed_test_count() > 0 || ::testing::Test::HasFailure()) {
        std::fprintf(stderr, "palisade's pictures and logs kept in %s\n", dir.c_str());
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

Shot HeadlessRun::shot(const std::string& name) const
{
    Shot picture;
    const std::string path = dir + "/" + name + ".png";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << "no picture " << path;
        return picture;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        ADD_FAILURE() << "unreadable picture " << path << ": " << image.message;
        return picture;
    }
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return picture;
}

HeadlessRun runHeadless(const std::string& machine, const std::vector<std::string>& script)
{
    HeadlessRun run;
    run.dir = freshDirectory();
    const std::string scriptPath = run.dir + "/script.txt";
    {
        std::ofstream out(scriptPath);
        for (const std::string& line : script)
            out << line << '\n';
    }
    const std::string command = "timeout " + std::to_string(RUN_LIMIT_SECONDS) + " '" PALISADE_BINARY
                                "' --headless --machine '" + machine + "' --script '" + scriptPath + "' --shots '" +
                                run.dir + "' --vbe-log '" + run.dir + "/vbe.log' >/dev/null 2>'" + run.dir + "/stderr'";
    const int status = std::system(command.c_str());
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.errors = readFile(run.dir + "/stderr");
    run.vbe = readVbeLog(run.dir + "/vbe.log");
    return run;
}

std::string readText(const Shot& shot, int x, int y, int length, uint32_t ink)
{
    const auto& font = biosFont();
    std::string text;
    for (int cell = 0; cell < length; ++cell) {
        char best = ' ';
        int bestBits = 0;
        for (int c = 33; c < 127; ++c) {
            int bits = 0;
            bool fits = true;
            for (int row = 0; row < 16 && fits; ++row)
                for (int col = 0; col < 8 && fits; ++col) {
                    if (!(font[c * 16 + row] & (0x80 >> col)))
                        continue;
                    const int px = x + 8 * cell + col, py = y + row;
                    fits = px < shot.width && py < shot.height && shot.at(px, py) == ink;
                    ++bits;
                }
            if (fits && bits > bestBits) {
                best = static_cast<char>(c);
                bestBits = bits;
            }
        }
        text += best;
    }
    return text;
}

}  // namespace e2e
