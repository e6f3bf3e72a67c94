#include "checks/modetests_e2e/run_headless.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "machine/machine.h"

namespace e2e {
namespace {

uint16_t field(const std::string& text, const std::string& name)
{
    const size_t at = text.find(name + "=");
    return at == std::string::npos
               ? 0
               : static_cast<uint16_t>(std::stoul(text.substr(at + name.size() + 1, 4), nullptr, 16));
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

Shot HeadlessRun::shot(const std::string& name) const
{
    std::string error;
    Shot picture = harness::readPng(program.shots() + "/" + name + ".png", error);
    if (!error.empty())
        ADD_FAILURE() << "no picture: " << error;
    return picture;
}

HeadlessRun runHeadless(const std::string& machine, const std::vector<std::string>& script)
{
    harness::HeadlessOptions options;
    options.machine = machine;
    for (const std::string& line : script)
        options.script += line + '\n';
    options.vbeLog = true;
    HeadlessRun run;
    run.program = harness::runHeadless(options);
    run.exitStatus = run.program.exitStatus;
    run.errors = run.program.err;
    run.vbe = readVbeLog(run.program.vbeLog());
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
