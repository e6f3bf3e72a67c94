#include "machine/dispi_card.h"

#include <algorithm>

namespace machine {
namespace {

// The largest mode the DISPI interface admits, as Bochs reports it through GET_CAPS.
constexpr uint16_t MAX_XRES = 2560;
constexpr uint16_t MAX_YRES = 1600;
constexpr uint16_t MAX_BPP = 32;

bool validDepth(uint16_t bpp)
{
    return bpp == 4 || bpp == 8 || bpp == 15 || bpp == 16 || bpp == 24 || bpp == 32;
}

uint32_t lineBytesFor(uint16_t width, uint16_t bpp)
{
    if (bpp == 4)
        return width / 2u;  // width/8 bytes in each of the four planes
    return width * ((bpp + 7u) / 8u);
}

// The register window at BAR 2.
constexpr uint32_t REGISTER_WINDOW_BYTES = 0x1000;
constexpr uint32_t WINDOW_EDID = 0x000;
constexpr uint32_t WINDOW_EDID_BYTES = 0x100;
constexpr uint32_t WINDOW_VGA_PORTS = 0x400;  // port 3C0h + n at 400h + n
constexpr uint32_t WINDOW_VGA_PORT_COUNT = 0x20;
constexpr uint32_t WINDOW_DISPI = 0x500;  // DISPI register n, 16 bits, at 500h + 2n
constexpr uint16_t WINDOW_DISPI_COUNT = dispi::VIDEO_MEMORY_64K + 1;
// Where QEMU's firmware places BAR 2 and the expansion ROM; below the framebuffer if it is there.
constexpr uint32_t REGISTER_WINDOW_ADDRESS = 0xFEBF0000;
constexpr uint32_t EXPANSION_ROM_ADDRESS = 0xFEBE0000;
constexpr uint32_t EXPANSION_ROM_BYTES = 0x10000;

uint32_t powerOfTwoAtLeast(uint32_t bytes)
{
    uint32_t size = 0x10000;
    while (size < bytes)
        size <<= 1;
    return size;
}

}  // namespace

DispiCard::DispiCard(uint32_t videoMemoryBytes, bool dispi, uint32_t accelCaps, uint32_t refreshHz,
                     std::function<uint64_t()> now, WideDac wideDac, uint32_t lfbAddress)
    : vga_(videoMemoryBytes, refreshHz, std::move(now)), hasDispi_(dispi), wideDac_(wideDac), extension_(accelCaps),
      edid_(monitorEdid())
{
    dispi_.virtHeight = static_cast<uint16_t>(std::min<uint32_t>(videoMemoryBytes / lineBytesFor(640, 8), 0xFFFF));

    // QEMU's standard VGA: its ids, a VGA display controller, the command bits its firmware
    // leaves, the framebuffer at BAR 0, the register window at BAR 2 and the ROM BAR.
    pci_.set16(pci::VENDOR_ID, pci::VENDOR_QEMU_VGA);
    pci_.set16(pci::DEVICE_ID, pci::DEVICE_QEMU_VGA);
    pci_.set16(pci::COMMAND, pci::COMMAND_IO | pci::COMMAND_MEMORY | pci::COMMAND_SERR);
    pci_.setWritable(pci::COMMAND, pci::COMMAND_IO | pci::COMMAND_MEMORY | pci::COMMAND_MASTER | pci::COMMAND_SERR);
    pci_.set32(pci::REVISION_ID, pci::CLASS_DISPLAY_VGA << 8 | 0x02);
    const uint32_t lfbBytes = powerOfTwoAtLeast(videoMemoryBytes);
    pci_.defineMemoryBar(0, lfbAddress, lfbBytes, pci::BAR_PREFETCHABLE);
    const bool clash = EXPANSION_ROM_ADDRESS < lfbAddress + uint64_t{lfbBytes} &&
                       lfbAddress < REGISTER_WINDOW_ADDRESS + REGISTER_WINDOW_BYTES;
    pci_.defineMemoryBar(2, clash ? lfbAddress - EXPANSION_ROM_BYTES : REGISTER_WINDOW_ADDRESS, REGISTER_WINDOW_BYTES,
                         0);
    pci_.set32(pci::EXPANSION_ROM, clash ? lfbAddress - 2 * EXPANSION_ROM_BYTES : EXPANSION_ROM_ADDRESS);
    pci_.setWritable(pci::EXPANSION_ROM, ~(EXPANSION_ROM_BYTES - 1) | pci::EXPANSION_ROM_ENABLE);
    pci_.set16(pci::SUBSYSTEM_VENDOR_ID, pci::VENDOR_RED_HAT);
    pci_.set16(pci::SUBSYSTEM_ID, pci::SUBSYSTEM_QEMU);
}

std::unique_ptr<Card> DispiCard::make(const MachineConfig& config, std::function<uint64_t()> now)
{
    auto card = std::make_unique<DispiCard>(config.videoMemoryKb * 1024u, config.dispi, config.accelEntries,
                                            config.refreshHz, std::move(now), config.wideDac, config.lfbAddress);
    card->setFault(config.cardFault);
    return card;
}

void DispiCard::setFault(CardFault fault)
{
    vga_.dac.crossRedGreen = fault == CardFault::DacSwapsRedGreen;
    startLate_ = fault == CardFault::DisplayStartLate;
    bankOffByOne_ = fault == CardFault::BankOffByOne;
}

bool DispiCard::decodesPort(uint16_t port) const
{
    return VgaCore::decodesPort(port) || port == dispi::INDEX_PORT || port == dispi::DATA_PORT;
}

uint32_t DispiCard::dispiLineBytes() const
{
    return lineBytesFor(dispi_.virtWidth, dispi_.bpp);
}

uint8_t DispiCard::in8(uint16_t port)
{
    if (port == dispi::INDEX_PORT || port == dispi::DATA_PORT)
        return static_cast<uint8_t>(in16(port));
    return vga_.in8(port);
}

void DispiCard::out8(uint16_t port, uint8_t value)
{
    if (port == dispi::INDEX_PORT || port == dispi::DATA_PORT)
        return out16(port, value);
    vga_.out8(port, value);
}

uint16_t DispiCard::in16(uint16_t port)
{
    if (port == dispi::INDEX_PORT)
        return hasDispi_ ? dispi_.index : 0xFFFF;
    if (port == dispi::DATA_PORT)
        return hasDispi_ ? readDispi(dispi_.index) : 0xFFFF;
    return Card::in16(port);
}

void DispiCard::out16(uint16_t port, uint16_t value)
{
    if (port == dispi::INDEX_PORT) {
        if (hasDispi_)
            dispi_.index = value;
        return;
    }
    if (port == dispi::DATA_PORT) {
        if (hasDispi_)
            writeDispi(dispi_.index, value);
        return;
    }
    Card::out16(port, value);
}

uint16_t DispiCard::readDispi(uint16_t index)
{
    if (PalisadeExtension::owns(index))
        return extension_.read(index);
    const bool caps = dispi_.enable & dispi::ENABLE_GET_CAPS;
    switch (index) {
    case dispi::ID: return dispi_.id;
    case dispi::XRES: return caps ? MAX_XRES : dispi_.xres;
    case dispi::YRES: return caps ? MAX_YRES : dispi_.yres;
    case dispi::BPP: return caps ? MAX_BPP : dispi_.bpp;
    case dispi::ENABLE: return dispi_.enable;
    case dispi::BANK: return dispi_.writeBank;
    case dispi::VIRT_WIDTH: return dispi_.virtWidth;
    case dispi::VIRT_HEIGHT: return dispi_.virtHeight;
    case dispi::X_OFFSET: return dispi_.xOffset;
    case dispi::Y_OFFSET: return dispi_.yOffset;
    case dispi::VIDEO_MEMORY_64K: return static_cast<uint16_t>(vga_.videoMemoryBytes() / dispi::BANK_BYTES);
    default: return 0;
    }
}

void DispiCard::writeDispi(uint16_t index, uint16_t value)
{
    if (PalisadeExtension::owns(index))
        return extension_.write(index, value);
    const bool enabled = dispi_.enable & dispi::ENABLE_ON;
    const uint32_t memory = vga_.videoMemoryBytes();
    switch (index) {
    case dispi::ID:
        if (value >= dispi::ID_0 && value <= dispi::ID_LATEST)
            dispi_.id = value;
        return;
    // The mode's geometry is fixed while the mode is on: a new one needs a disable first.
    case dispi::XRES:
        if (!enabled)
            dispi_.xres = value;
        return;
    case dispi::YRES:
        if (!enabled)
            dispi_.yres = value;
        return;
    case dispi::BPP:
        if (!enabled)
            dispi_.bpp = value == 0 ? 8 : value;
        return;
    case dispi::ENABLE: enable(value); return;
    case dispi::BANK: {
        const uint16_t bank = value & dispi::BANK_NUMBER;
        if (static_cast<uint32_t>(bank) * dispi::BANK_BYTES >= memory)
            return;  // refused: read-back tells
        const uint16_t flags = value & (dispi::BANK_WRITE_ONLY | dispi::BANK_READ_ONLY);
        if (flags != dispi::BANK_READ_ONLY)
            dispi_.writeBank = bank;
        if (flags != dispi::BANK_WRITE_ONLY)
            dispi_.readBank = bank;
        return;
    }
    case dispi::VIRT_WIDTH: {
        const uint16_t width = std::max(value, enabled ? dispi_.xres : uint16_t{0});
        const uint32_t line = lineBytesFor(width, dispi_.bpp);
        if (line == 0 || (enabled && static_cast<uint64_t>(line) * dispi_.yres > memory))
            return;
        dispi_.virtWidth = width;
        dispi_.virtHeight = static_cast<uint16_t>(std::min<uint64_t>(memory / line, 0xFFFF));
        return;
    }
    case dispi::VIRT_HEIGHT: return;  // follows from the width and the memory
    case dispi::X_OFFSET: dispi_.xOffset = value; return;
    case dispi::Y_OFFSET: dispi_.yOffset = startLate_ ? static_cast<uint16_t>(value + 1) : value; return;
    default: return;
    }
}

void DispiCard::enable(uint16_t value)
{
    if (wideDac_ == WideDac::Refused)
        value &= static_cast<uint16_t>(~dispi::ENABLE_DAC_8BIT);
    const bool wasEnabled = dispi_.enable & dispi::ENABLE_ON;
    const uint32_t memory = vga_.videoMemoryBytes();
    if ((value & dispi::ENABLE_ON) && !wasEnabled) {
        // A mode the card cannot show is refused whole: the card stays as it was.
        const uint32_t line = lineBytesFor(dispi_.xres, dispi_.bpp);
        if (!validDepth(dispi_.bpp) || dispi_.xres == 0 || dispi_.yres == 0 || dispi_.xres > MAX_XRES ||
            dispi_.yres > MAX_YRES || (dispi_.xres % 8) != 0 || static_cast<uint64_t>(line) * dispi_.yres > memory)
            return;
        dispi_.virtWidth = dispi_.xres;
        dispi_.virtHeight = static_cast<uint16_t>(std::min<uint64_t>(memory / line, 0xFFFF));
        dispi_.xOffset = 0;
        dispi_.yOffset = startLate_ ? 1 : 0;
        dispi_.readBank = dispi_.writeBank = 0;
        if (!(value & dispi::ENABLE_NO_CLEAR_MEM))
            vga_.clearVideoMemory();
    }
    dispi_.enable = value;
    // The 8-bit DAC switch takes effect in a DISPI mode, on a card whose DAC follows it.
    vga_.dac.bits = wideDac_ == WideDac::Works && dispiEnabled() && (value & dispi::ENABLE_DAC_8BIT) ? 8 : 6;
}

// In a DISPI mode the window is 64 KB at A0000, showing the bank selected for the access.
bool DispiCard::windowOffset(uint32_t address, uint32_t bank, uint32_t& offset) const
{
    if (address < vga::WINDOW_START || address >= vga::WINDOW_START + dispi::BANK_BYTES)
        return false;
    offset = address - vga::WINDOW_START + (bank + (bankOffByOne_ ? 1 : 0)) * dispi::BANK_BYTES;
    return true;
}

uint8_t DispiCard::readWindow(uint32_t address)
{
    if (!dispiEnabled())
        return vga_.readWindow(address);
    uint32_t offset;
    if (!windowOffset(address, dispi_.readBank, offset))
        return 0xFF;
    if (dispi_.bpp == 4)
        return vga_.readMemory(offset);
    return offset < vga_.videoMemoryBytes() ? vga_.videoMemory()[offset] : 0xFF;
}

void DispiCard::writeWindow(uint32_t address, uint8_t value)
{
    if (!dispiEnabled())
        return vga_.writeWindow(address, value);
    uint32_t offset;
    if (!windowOffset(address, dispi_.writeBank, offset))
        return;
    if (dispi_.bpp == 4)
        return vga_.writeMemory(offset, value);
    if (offset < vga_.videoMemoryBytes())
        vga_.videoMemory()[offset] = value;
}

bool DispiCard::inRegisterWindow(uint32_t address, unsigned bytes) const
{
    const uint32_t base = pci_.barAddress(2);
    return address >= base && address - base + bytes <= REGISTER_WINDOW_BYTES;
}

uint32_t DispiCard::readBus(uint32_t address, unsigned bytes)
{
    if (!inRegisterWindow(address, bytes))
        return Card::readBus(address, bytes);
    uint32_t value = 0;
    for (unsigned i = 0; i < bytes; ++i)
        value |= static_cast<uint32_t>(readRegisterWindow(address - pci_.barAddress(2) + i)) << (8 * i);
    return value;
}

void DispiCard::writeBus(uint32_t address, unsigned bytes, uint32_t value)
{
    if (!inRegisterWindow(address, bytes))
        return Card::writeBus(address, bytes, value);
    for (unsigned i = 0; i < bytes; ++i)
        writeRegisterWindow(address - pci_.barAddress(2) + i, static_cast<uint8_t>(value >> (8 * i)));
}

// The window's DISPI registers are words: reading a byte reads its half; a word written low
// byte first takes effect with its high byte.
uint8_t DispiCard::readRegisterWindow(uint32_t offset)
{
    if (offset < WINDOW_EDID + WINDOW_EDID_BYTES)
        return offset < edid_.size() ? edid_[offset] : 0;
    if (offset >= WINDOW_VGA_PORTS && offset < WINDOW_VGA_PORTS + WINDOW_VGA_PORT_COUNT)
        return vga_.in8(static_cast<uint16_t>(vga::PORTS_FIRST + offset - WINDOW_VGA_PORTS));
    if (hasDispi_ && offset >= WINDOW_DISPI && offset < WINDOW_DISPI + 2u * WINDOW_DISPI_COUNT) {
        const uint16_t word = readDispi(static_cast<uint16_t>((offset - WINDOW_DISPI) / 2));
        return static_cast<uint8_t>(offset & 1 ? word >> 8 : word);
    }
    return 0xFF;
}

void DispiCard::writeRegisterWindow(uint32_t offset, uint8_t value)
{
    if (offset >= WINDOW_VGA_PORTS && offset < WINDOW_VGA_PORTS + WINDOW_VGA_PORT_COUNT)
        return vga_.out8(static_cast<uint16_t>(vga::PORTS_FIRST + offset - WINDOW_VGA_PORTS), value);
    if (hasDispi_ && offset >= WINDOW_DISPI && offset < WINDOW_DISPI + 2u * WINDOW_DISPI_COUNT) {
        if (!(offset & 1)) {
            pendingLowByte_ = value;
            return;
        }
        writeDispi(static_cast<uint16_t>((offset - WINDOW_DISPI) / 2),
                   static_cast<uint16_t>(value << 8 | pendingLowByte_));
    }
}

std::optional<ExtendedMode> DispiCard::extendedMode() const
{
    if (!dispiEnabled())
        return std::nullopt;
    ExtendedMode mode;
    mode.width = dispi_.xres;
    mode.height = dispi_.yres;
    mode.bitsPerPixel = dispi_.bpp;
    mode.lineBytes = dispiLineBytes();
    if (dispi_.bpp == 4) {
        // Planar: the offset counts pixels; the start is a plane address, eight pixels a byte.
        mode.start = static_cast<uint64_t>(dispi_.yOffset) * mode.lineBytes;
        mode.firstPixel = dispi_.xOffset;
    } else {
        mode.start = static_cast<uint64_t>(dispi_.yOffset) * mode.lineBytes +
                     static_cast<uint64_t>(dispi_.xOffset) * ((dispi_.bpp + 7) / 8);
    }
    return mode;
}

bool DispiCard::cursorSprite(CursorSprite& sprite) const
{
    return hasDispi_ && extension_.sprite(sprite);
}

}  // namespace machine
