// What reaching a PC through Palisade's agent costs, on QEMU's PC booted from the agent's image
// (qemu-serial) against the same PC through QEMU's gdbstub (qemu-vga), in the same run: a
// round trip (a port read), an int 10h call (4F03), the conformance table's wall time; and the
// link's throughput both ways, against what a 115,200-baud serial line carries (11.52 kB/s);
// and the conformance table's wall time on Bochs and DOSBox where they are installed, against
// the same gdbstub reference. And on DOSBox (115,200 baud in real time), screens of drawing sent
// through the expander the host uploads to the guest, against a screen of noise of the same size,
// which goes as it is, in the same run.
//   agent_link_bench [drawing]    (drawing: only the screens on DOSBox)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <random>

#include "agent/expander.h"
#include "agent_link/agent_link.h"
#include "agent_pc/client.h"
#include "agent_pc/drawing_stream.h"
#include "engine/boot.h"
#include "judge/conformance.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

template <typename Work>
double microsEach(int times, Work work)
{
    const auto start = Clock::now();
    for (int i = 0; i < times; ++i)
        work();
    return seconds(Clock::now() - start) * 1e6 / times;
}

void ratio(const char* what, double agent, double gdbstub, const char* unit)
{
    std::printf("%-36s agent %9.1f %-3s  reference (gdbstub) %9.1f %-3s  ratio %5.1fx\n", what, agent, unit, gdbstub,
                unit, agent / gdbstub);
}

// Whether `program` is an executable on PATH.
bool installed(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    for (size_t start = 0; start <= folders.size();) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        if (access((folders.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

double conformanceSeconds(const std::string& machine)
{
    const auto start = Clock::now();
    std::string kestrelAbsent;
    judge::conformanceTable(engine::loadMachine(machine), kestrelAbsent);
    return seconds(Clock::now() - start);
}

// DOSBox's 640x480 8-bit mode, screens drawn into the host's copy of video memory and sent
// (finishDrawing): their bytes, what the expander's stream holds, and the seconds taken.
void expandedDrawingOnDosbox()
{
    constexpr uint32_t WIDTH = 640, HEIGHT = 480, BYTES = WIDTH * HEIGHT;
    pc::MachineConfig config = engine::loadMachine("dosbox");
    config.drawingLimitMs = 0;
    auto clock = pc::makeRealClock();
    const std::unique_ptr<pc::Pc> pc = engine::boot(config, *clock);
    pc::CpuRegs regs;
    regs.ax = 0x4F02;
    regs.bx = 0x4101;  // 640x480x8, linear
    pc->interrupt(0x10, regs);
    pc->finishDrawing();
    uint8_t seed = 0;
    auto send = [&](auto draw) {
        uint8_t* screen = pc->lfb();
        std::vector<uint8_t> before(screen, screen + BYTES);
        draw(screen, ++seed);
        const std::vector<pc::ByteRun> runs = pc::findChangedRuns(screen, before.data(), BYTES, 64);
        size_t stream = 0;
        for (const agent_pc::StreamPiece& piece : agent_pc::encodeDrawing(screen, runs, agent_pc::copyDistancesFor(WIDTH), 3800))
            stream += piece.bytes.size() + agent::expander().size();
        const auto start = Clock::now();
        pc->finishDrawing();
        return std::pair<size_t, double>{stream, seconds(Clock::now() - start)};
    };
    const auto noise = send([](uint8_t* s, uint8_t seed) {
        std::mt19937 random(seed);
        for (uint32_t i = 0; i < BYTES; ++i)
            s[i] = uint8_t(random());
    });
    std::printf("%-40s %7zu bytes as they are: %6.1f s (%5.1f kB/s), the reference below\n",
                "dosbox, a screen of noise", size_t(BYTES), noise.second, BYTES / noise.second / 1000.0);
    struct Screen {
        const char* what;
        void (*draw)(uint8_t*, uint8_t);
    };
    const Screen screens[] = {
        {"a cleared screen", [](uint8_t* s, uint8_t seed) { std::memset(s, seed, BYTES); }},
        {"rectangles on a cleared screen",
         [](uint8_t* s, uint8_t seed) {
             std::memset(s, seed, BYTES);
             for (uint32_t y = 50; y < 430; ++y)
                 for (uint32_t x = 50; x < 590; ++x)
                     s[y * WIDTH + x] = uint8_t(seed + 1 + x / 34 + 16 * (y / 24 % 16));
         }},
        {"an 8x8 pattern over the screen",
         [](uint8_t* s, uint8_t seed) {
             for (uint32_t y = 0; y < HEIGHT; ++y)
                 for (uint32_t x = 0; x < WIDTH; ++x)
                     s[y * WIDTH + x] = uint8_t(seed + ((x ^ y) & 7) * 3);
         }},
    };
    for (const Screen& screen : screens) {
        const auto sent = send(screen.draw);
        const std::string what = std::string("dosbox, ") + screen.what;
        std::printf("%-40s %7zu bytes sent as %6zu: %6.1f s  reference (noise) %6.1f s  ratio %6.3fx, %.1f s saved\n",
                    what.c_str(), size_t(BYTES), sent.first, sent.second, noise.second, sent.second / noise.second,
                    noise.second - sent.second);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "drawing") {
        expandedDrawingOnDosbox();
        return 0;
    }
    auto clock = pc::makeRealClock();
    {
        const std::unique_ptr<pc::Pc> agent = engine::boot(engine::loadMachine("qemu-serial"), *clock);
        const std::unique_ptr<pc::Pc> gdbstub = engine::boot(engine::loadMachine("qemu-vga"), *clock);
        auto portRead = [](pc::Pc& pc) { return microsEach(200, [&] { pc.in8(0x3CC); }); };
        ratio("round trip (a port read)", portRead(*agent), portRead(*gdbstub), "us");
        auto getMode = [](pc::Pc& pc) {
            return microsEach(100, [&] {
                pc::CpuRegs regs;
                regs.ax = 0x4F03;
                pc.interrupt(0x10, regs);
            });
        };
        ratio("int 10h 4F03 (with memory kept in step)", getMode(*agent), getMode(*gdbstub), "us");
    }
    {
        const std::unique_ptr<agent_pc::Client> client = agent_pc::startQemuClient(engine::loadMachine("qemu-serial"));
        agent_link::AgentLink link(client->connect(), 2000);
        link.hello(60000);
        constexpr uint32_t BYTES = 256 * 1024, ABOVE_1MB = 0x200000;
        const std::vector<uint8_t> data(BYTES, 0x5A);
        auto start = Clock::now();
        link.write(ABOVE_1MB, data);
        const double toPc = BYTES / seconds(Clock::now() - start) / 1000.0;
        start = Clock::now();
        link.read(ABOVE_1MB, BYTES);
        const double fromPc = BYTES / seconds(Clock::now() - start) / 1000.0;
        constexpr double SERIAL_LINE_KB_S = 11.52;
        std::printf("%-36s %9.1f kB/s  reference (115,200-baud line) %5.2f kB/s  ratio %5.1fx\n",
                    "throughput, host to PC (256 KB)", toPc, SERIAL_LINE_KB_S, toPc / SERIAL_LINE_KB_S);
        std::printf("%-36s %9.1f kB/s  reference (115,200-baud line) %5.2f kB/s  ratio %5.1fx\n",
                    "throughput, PC to host (256 KB)", fromPc, SERIAL_LINE_KB_S, fromPc / SERIAL_LINE_KB_S);
    }
    const double reference = conformanceSeconds("qemu-vga");
    ratio("conformance table (BIOS, Kestrel)", conformanceSeconds("qemu-serial"), reference, "s");
    struct Other {
        const char* machine;
        const char* program;
    };
    for (const Other& other : {Other{"bochs-vga", "bochs"}, Other{"bochs-cirrus", "bochs"}, Other{"dosbox", "dosbox"}}) {
        const std::string what = std::string("conformance table, ") + other.machine;
        if (installed(other.program))
            ratio(what.c_str(), conformanceSeconds(other.machine), reference, "s");
        else
            std::printf("%-36s skipped: %s is not installed\n", what.c_str(), other.program);
    }
    if (installed("dosbox"))
        expandedDrawingOnDosbox();
    else
        std::printf("%-36s skipped: dosbox is not installed\n", "drawing through the expander");
    return 0;
}
