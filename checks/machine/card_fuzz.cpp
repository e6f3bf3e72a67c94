// Fuzzes one card's whole guest interface with arbitrary input: port reads and writes, the VGA
// window, the BARs (framebuffer, registers, the GD5446's BitBLT data aperture), its PCI
// function and the scan-out, interleaved as a hostile ROM would interleave them. Nothing may
// reach host memory outside the card's own. FUZZ_CARD names the card (cards.cpp).
#include <cstdint>
#include <string>

#include "machine/card.h"
#include "machine/machine.h"
#include "machine/scan_out.h"

#ifndef FUZZ_CARD
#error "FUZZ_CARD names the card to fuzz"
#endif

namespace {

// An input's engine work is cut off after 20 ms of machine time (a tenth of what one call may
// spend by default), so that the fuzzer tries many inputs rather than a few huge operations.
constexpr uint64_t ENGINE_BUDGET_MICROS = 20'000;

// Bounds on the host work one input may ask for, so that every input ends within seconds: a
// picture can be 2560 x 1600, and a run of bytes is the guest's cheapest loop.
constexpr int SCANS_PER_INPUT = 16;
constexpr uint32_t STREAMED_BYTES_PER_INPUT = 1u << 20;

// Above the first megabyte and the HMA the machine hands every access to the card's BARs.
constexpr uint32_t BUS_START = 0x110000;

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool more() const { return at_ < size_; }
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    // Each read in its own statement: arguments have no order of evaluation.
    uint16_t word()
    {
        const uint8_t low = byte();
        return static_cast<uint16_t>(low | byte() << 8);
    }
    uint32_t dword()
    {
        const uint16_t low = word();
        return low | static_cast<uint32_t>(word()) << 16;
    }

private:
    const uint8_t* data_;
    size_t size_, at_ = 0;
};

// The ports a card decodes, densely: 3C0h-3DFh, the DISPI pair 1CEh/1CFh, the monochrome CRTC.
uint16_t port(uint8_t code)
{
    static constexpr uint16_t others[] = {0x1CE, 0x1CF, 0x3B4, 0x3B5, 0x3BA, 0x1D0};
    if (code < 0x20)
        return static_cast<uint16_t>(0x3C0 + code);
    if (code < 0x20 + sizeof others / sizeof others[0])
        return others[code - 0x20];
    return static_cast<uint16_t>(0x3C0 + (code & 0x1F));
}

machine::MachineConfig configFor(uint8_t choice)
{
    machine::MachineConfig config;
    config.name = "fuzz";
    config.card = FUZZ_CARD;
    config.cardFault = static_cast<machine::CardFault>((choice >> 2) & 3);
    if (config.card == "cirrus") {
        static constexpr uint32_t sizes[] = {1024, 2048, 4096, 4096};
        config.videoMemoryKb = sizes[choice & 3];
        config.dispi = false;
        config.accelEntries = 0;
        config.svgaScreenOffBlanks = choice & 0x10;
    } else {
        static constexpr uint32_t sizes[] = {256, 1024, 2048, 4096};
        config.videoMemoryKb = sizes[choice & 3];
        config.dispi = !(choice & 0x10);
        config.accelEntries = config.dispi ? uint32_t{palisade_ext::ACCEL_CAPS_ALL} : 0u;
        config.wideDac = static_cast<machine::WideDac>((choice >> 5) % 3);
    }
    return config;
}

}  // namespace

// What the guest read, kept so that no read is optimised away.
volatile uint64_t cardFuzzObserved;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in(data, size);
    uint64_t now = 0, engine = 0;
    const auto card = machine::makeCard(configFor(in.byte()), [&now] { return now; });
    card->setEngineTime([&](uint64_t micros) {
        engine += micros;
        now += micros;
    });
    size_t logged = 0;
    card->setOperationLog([&logged](const std::string& line) { logged += line.size(); });
    machine::Picture picture;
    int scans = 0;
    uint32_t streamed = 0;
    uint64_t sink = 0;
    while (in.more() && engine < ENGINE_BUDGET_MICROS) {
        ++now;
        const uint8_t op = in.byte();  // the operation in the low nibble, its flags in the high one
        const int kind = (op & 0x0F) % 12;
        switch (kind) {
        case 0: {
            const uint16_t to = port(in.byte());
            card->out8(to, in.byte());
            break;
        }
        case 1: sink += card->in8(port(in.byte())); break;
        case 2: {
            const uint16_t to = port(in.byte());
            card->out16(to, in.word());
            break;
        }
        case 3: sink += card->in16(port(in.byte())); break;
        case 4: {
            const uint32_t address = 0xA0000 + (in.word() | (op & 0x10) << 12);
            card->writeWindow(address, in.byte());
            break;
        }
        case 5: sink += card->readWindow(0xA0000 + (in.word() | (op & 0x10) << 12)); break;
        case 6:
        case 7: {
            // An offset into one of the BARs (or the expansion ROM's), as wide as the bus takes.
            const int bar = in.byte() % 4;
            const uint8_t reg = bar == 3 ? pci::EXPANSION_ROM : pci::barOffset(bar);
            const uint32_t base = card->pciFunction().read(reg) & pci::BAR_MEMORY_ADDRESS;
            const uint32_t address = base + (in.dword() & 0x03FFFFFF);
            const unsigned bytes = 1u << ((op >> 4) % 3);
            if (address < BUS_START || bytes - 1 > 0xFFFFFFFFu - address)
                break;
            if (kind == 6)
                card->writeBus(address, bytes, in.dword());
            else
                sink += card->readBus(address, bytes);
            break;
        }
        case 8:
            if (scans++ < SCANS_PER_INPUT)
                machine::scanOut(*card, picture);
            break;
        case 9: {
            // A run of bytes to one address: system-memory data for an engine, a fill.
            const uint8_t value = in.byte();
            const uint16_t count = in.word();
            const bool window = op & 0x10;
            const uint32_t framebuffer = card->pciFunction().read(pci::BAR0) & pci::BAR_MEMORY_ADDRESS;
            const uint32_t address = framebuffer + (in.byte() & 1 ? 16u << 20 : 0);
            for (uint32_t i = 0; i < count && engine < ENGINE_BUDGET_MICROS && streamed < STREAMED_BYTES_PER_INPUT;
                 ++i, ++streamed) {
                if (window)
                    card->writeWindow(0xA0000, value);
                else if (address >= BUS_START)
                    card->writeBus(address, 1, value);
            }
            break;
        }
        case 10: {
            const uint8_t reg = in.byte();
            card->pciFunction().write(reg, in.dword());
            sink += card->pciFunction().read(reg);
            break;
        }
        case 11: now += in.word() * 16u; break;  // time passes: the retrace moves on
        }
    }
    machine::scanOut(*card, picture);
    for (uint32_t pixel : picture.pixels)
        sink += pixel;
    cardFuzzObserved = sink + logged;
    return 0;
}
