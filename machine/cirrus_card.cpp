#include "machine/cirrus_card.h"

#include <algorithm>

#include "hw/cirrus.h"
#include "hw/pci.h"
#include "hw/vga.h"
#include "machine/machine.h"

namespace machine {
namespace {

using namespace cirrus;

constexpr uint16_t SEQ_INDEX = vga::seq::INDEX_PORT, SEQ_DATA = vga::seq::DATA_PORT;
constexpr uint16_t GC_INDEX = vga::gc::INDEX_PORT, GC_DATA = vga::gc::DATA_PORT;
constexpr uint16_t CRTC_INDEX = vga::crtc::INDEX_PORT, CRTC_DATA = vga::crtc::DATA_PORT;
constexpr uint16_t MONO_CRTC_INDEX = vga::crtc::MONO_INDEX_PORT, MONO_CRTC_DATA = vga::crtc::MONO_DATA_PORT;
constexpr uint16_t DAC_MASK = vga::dac::PIXEL_MASK_PORT, DAC_READ_INDEX = vga::dac::READ_INDEX_PORT;
constexpr uint16_t DAC_WRITE_INDEX = vga::dac::WRITE_INDEX_PORT, DAC_DATA = vga::dac::DATA_PORT;
// The VGA's own registers in each block, which the core keeps.
constexpr uint8_t VGA_SEQ_LAST = vga::seq::MEMORY_MODE, VGA_GC_LAST = vga::gc::BIT_MASK,
                  VGA_CRTC_LAST = vga::crtc::LINE_COMPARE;
constexpr uint8_t WRITE_MODE_EXPAND = 4, WRITE_MODE_EXPAND_OPAQUE = 5;  // with GR0B bit 2

constexpr uint32_t WINDOW_START = vga::WINDOW_START, WINDOW_HALF = 0x8000, WINDOW_BYTES = 0x10000;

// SR0F as the ROMs read the memory size: 256 KB << bits 4:3, 4 MB with the second bank.
uint8_t dramControlFor(uint32_t bytes)
{
    if (bytes >= (4u << 20))
        return seq::DRAM_CONTROL_4MB;
    uint8_t width = 0;
    while (width < 3 && (256u << 10) << (width + 1) <= bytes)
        ++width;
    return static_cast<uint8_t>(width << 3);
}

uint32_t sixToEight(uint8_t value)
{
    const uint32_t six = value & 0x3F;
    return (six << 2) | (six >> 4);
}

}  // namespace

CirrusCard::CirrusCard(uint32_t videoMemoryBytes, uint32_t refreshHz, std::function<uint64_t()> now,
                       uint32_t framebufferAddress, bool screenOffBlanks)
    : vga_(videoMemoryBytes, refreshHz, std::move(now)), blt_(std::span<uint8_t>(vga_.videoMemory(), videoMemoryBytes)),
      screenOffBlanks_(screenOffBlanks)
{
    pci_.set16(pci::VENDOR_ID, pci::VENDOR_CIRRUS);
    pci_.set16(pci::DEVICE_ID, pci::DEVICE_CIRRUS_GD5446);
    // The function as QEMU's cirrus-vga shows it after SeaBIOS (a boot probe read it; see
    // machine/README.md): I/O, memory and SERR enabled, status 0, QEMU's subsystem ids, the
    // cache line size and the interrupt line writable, no interrupt pin.
    pci_.set16(pci::COMMAND, pci::COMMAND_IO | pci::COMMAND_MEMORY | pci::COMMAND_SERR);
    pci_.setWritable(pci::COMMAND, pci::COMMAND_IO | pci::COMMAND_MEMORY | pci::COMMAND_MASTER | pci::COMMAND_SERR |
                                       pci::COMMAND_INTX_DISABLE);
    pci_.set32(pci::REVISION_ID, pci::CLASS_DISPLAY_VGA << 8);  // revision 0
    pci_.setWritable(pci::CACHE_LINE_SIZE, 0xFF);
    pci_.set16(pci::SUBSYSTEM_VENDOR_ID, pci::VENDOR_RED_HAT);
    pci_.set16(pci::SUBSYSTEM_ID, pci::SUBSYSTEM_QEMU);
    pci_.setWritable(pci::INTERRUPT_LINE, 0xFF);
    pci_.defineMemoryBar(0, framebufferAddress, bar::FRAMEBUFFER_BYTES, pci::BAR_PREFETCHABLE);
    pci_.defineMemoryBar(1, framebufferAddress + bar::FRAMEBUFFER_BYTES, bar::REGISTERS_BYTES, 0);
    pci_.set32(pci::EXPANSION_ROM, framebufferAddress + bar::FRAMEBUFFER_BYTES + bar::ROM_BYTES);
    pci_.setWritable(pci::EXPANSION_ROM, ~(bar::ROM_BYTES - 1) | pci::EXPANSION_ROM_ENABLE);

    sr_[seq::UNLOCK] = seq::UNLOCK_LOCKED;
    sr_[seq::DRAM_CONTROL] = dramControlFor(videoMemoryBytes);
    sr_[seq::SCRATCH3] = seq::SCRATCH3_4MB;
    sr_[seq::CONFIGURATION] = seq::CONFIGURATION_BUS_PCI;
    sr_[seq::MCLK] = seq::MCLK_RESET;
    cr_[crtc::ID] = crtc::ID_GD5446;
}

std::unique_ptr<Card> CirrusCard::make(const MachineConfig& config, std::function<uint64_t()> now)
{
    const uint32_t kb = config.videoMemoryKb;
    if (kb != 1024 && kb != 2048 && kb != 4096)
        throw MachineError("machine " + config.name + ": the Cirrus card has 1, 2 or 4 MB of video memory");
    if (config.lfbAddress % bar::FRAMEBUFFER_BYTES != 0)
        throw MachineError("machine " + config.name + ": the Cirrus card's framebuffer address must be 32 MB aligned");
    auto card = std::make_unique<CirrusCard>(kb * 1024u, config.refreshHz, std::move(now), config.lfbAddress,
                                             config.svgaScreenOffBlanks);
    card->setFault(config.cardFault);
    return card;
}

void CirrusCard::setFault(CardFault fault)
{
    vga_.dac.crossRedGreen = fault == CardFault::DacSwapsRedGreen;
    startLate_ = fault == CardFault::DisplayStartLate;
    bankOffByOne_ = fault == CardFault::BankOffByOne;
}

bool CirrusCard::unlocked() const
{
    return sr_[seq::UNLOCK] == seq::UNLOCK_KEY;
}

bool CirrusCard::extendedColourAccess() const
{
    return unlocked() && (sr_[seq::CURSOR_ATTRIBUTES] & seq::CURSOR_ATTRIBUTES_DAC_ACCESS);
}

uint8_t CirrusCard::in8(uint16_t port)
{
    switch (port) {
    case SEQ_INDEX: return seqIndex_;
    case SEQ_DATA: return seqIndex_ > VGA_SEQ_LAST ? readSequencer() : vga_.in8(port);
    case GC_INDEX: return gcIndex_;
    case GC_DATA: return gcIndex_ > VGA_GC_LAST || gcIndex_ <= gc::FOREGROUND0 ? readGraphics() : vga_.in8(port);
    case CRTC_INDEX:
    case MONO_CRTC_INDEX: return crtcIndex_;
    case CRTC_DATA:
    case MONO_CRTC_DATA: return crtcIndex_ > VGA_CRTC_LAST ? readCrtc() : vga_.in8(port);
    case DAC_MASK:
        // The fifth read in a row shows the hidden DAC register instead of the pixel mask.
        if (unlocked() && hdrReads_ == hdr::READS_BEFORE) {
            hdrReads_ = 0;
            return hdr_;
        }
        ++hdrReads_;
        return vga_.in8(port);
    case DAC_WRITE_INDEX: hdrReads_ = 0; return extendedColourAccess() ? extendedWriteIndex_ : vga_.in8(port);
    case DAC_DATA: return extendedColourAccess() ? readExtendedColour() : vga_.in8(port);
    default: return vga_.in8(port);
    }
}

void CirrusCard::out8(uint16_t port, uint8_t value)
{
    switch (port) {
    case SEQ_INDEX:
        seqIndex_ = value;
        vga_.out8(port, value);
        return;
    case SEQ_DATA:
        if (seqIndex_ > VGA_SEQ_LAST)
            return writeSequencer(value);
        return vga_.out8(port, value);
    case GC_INDEX:
        gcIndex_ = value;
        vga_.out8(port, value);
        return;
    case GC_DATA:
        if (gcIndex_ <= gc::FOREGROUND0)
            blt_.writeRegister(gcIndex_, value);  // and the VGA's set/reset
        if (gcIndex_ > VGA_GC_LAST)
            return writeGraphics(value);
        return vga_.out8(port, value);
    case CRTC_INDEX:
    case MONO_CRTC_INDEX:
        crtcIndex_ = value;
        vga_.out8(port, value);
        return;
    case CRTC_DATA:
    case MONO_CRTC_DATA:
        if (crtcIndex_ > VGA_CRTC_LAST)
            return writeCrtc(value);
        return vga_.out8(port, value);
    case DAC_MASK:
        if (unlocked() && hdrReads_ == hdr::READS_BEFORE)
            hdr_ = value;
        else
            vga_.out8(port, value);
        hdrReads_ = 0;
        return;
    case DAC_READ_INDEX:
    case DAC_WRITE_INDEX:
        if (!extendedColourAccess())
            return vga_.out8(port, value);
        (port == DAC_READ_INDEX ? extendedReadIndex_ : extendedWriteIndex_) = value & 0x0F;
        extendedComponent_ = 0;
        return;
    case DAC_DATA: return extendedColourAccess() ? writeExtendedColour(value) : vga_.out8(port, value);
    default: return vga_.out8(port, value);
    }
}

uint8_t CirrusCard::readExtendedColour()
{
    const uint8_t value = extendedColours_[extendedReadIndex_ * 3 + extendedComponent_];
    if (++extendedComponent_ == 3) {
        extendedComponent_ = 0;
        extendedReadIndex_ = (extendedReadIndex_ + 1) & 0x0F;
    }
    return value;
}

void CirrusCard::writeExtendedColour(uint8_t value)
{
    extendedColours_[extendedWriteIndex_ * 3 + extendedComponent_] = value & 0x3F;
    if (++extendedComponent_ == 3) {
        extendedComponent_ = 0;
        extendedWriteIndex_ = (extendedWriteIndex_ + 1) & 0x0F;
    }
}

// ---- Sequencer ---------------------------------------------------------------------------------

uint8_t CirrusCard::readSequencer()
{
    const uint8_t index = seqIndex_ & 0x1F;
    if (index == seq::UNLOCK)
        return sr_[seq::UNLOCK];
    if (!unlocked() || (seqIndex_ > seq::LAST && index != seq::CURSOR_X && index != seq::CURSOR_Y))
        return 0xFF;
    return sr_[index];
}

void CirrusCard::writeSequencer(uint8_t value)
{
    const uint8_t index = seqIndex_ & 0x1F;
    if (index == seq::UNLOCK) {
        sr_[seq::UNLOCK] = (value & seq::UNLOCK_COMPARED) == seq::UNLOCK_KEY ? seq::UNLOCK_KEY : seq::UNLOCK_LOCKED;
        return;
    }
    if (!unlocked())
        return;
    switch (index) {
    case seq::CURSOR_X:
    case seq::CURSOR_Y: {
        // The data byte holds bits 10:3, the index byte's top three bits bits 2:0.
        const uint16_t position = static_cast<uint16_t>((value << 3) | (seqIndex_ >> seq::CURSOR_LOW_BITS_SHIFT));
        (index == seq::CURSOR_X ? cursorX_ : cursorY_) = position;
        sr_[index] = value;
        return;
    }
    case seq::CONFIGURATION:
        sr_[index] = static_cast<uint8_t>((value & ~seq::CONFIGURATION_BUS) | (sr_[index] & seq::CONFIGURATION_BUS));
        return;
    default:
        if (seqIndex_ <= seq::LAST)
            sr_[index] = value;
        return;
    }
}

// ---- Graphics controller -----------------------------------------------------------------------

uint8_t CirrusCard::readGraphics()
{
    if (gcIndex_ <= gc::FOREGROUND0)
        return blt_.readRegister(gcIndex_);  // all 8 bits, as written
    if (!unlocked() || gcIndex_ > gc::LAST)
        return 0xFF;
    if (CirrusBlt::ownsRegister(gcIndex_))
        return blt_.readRegister(gcIndex_);
    if (gcIndex_ == gc::ID_5446)
        return 0x0F;
    return gcIndex_ < 0x10 ? gr_[gcIndex_] : 0x00;
}

void CirrusCard::writeGraphics(uint8_t value)
{
    if (!unlocked() || gcIndex_ > gc::LAST)
        return;
    if (CirrusBlt::ownsRegister(gcIndex_))
        return blt_.writeRegister(gcIndex_, value);
    if (gcIndex_ >= gc::OFFSET0 && gcIndex_ <= gc::MODE_EXTENSIONS)
        gr_[gcIndex_] = value;
}

// ---- CRTC --------------------------------------------------------------------------------------

uint8_t CirrusCard::readCrtc()
{
    if (!unlocked())
        return 0xFF;
    switch (crtcIndex_) {
    case crtc::INTERLACE_END:
    case crtc::MISC_CONTROL:
    case crtc::EXTENDED_DISPLAY:
    case crtc::SYNC_ADJUST:
    case crtc::OVERLAY:
    case crtc::LATCH_READBACK:
    case crtc::PART_STATUS:
    case crtc::ID: return cr_[crtcIndex_];
    case crtc::ATTRIBUTE_STATE: return vga_.attr.dataNext ? crtc::ATTRIBUTE_STATE_FLIP_FLOP : 0x00;
    case crtc::ATTRIBUTE_INDEX: return vga_.attr.index & 0x3F;
    default: return 0xFF;
    }
}

void CirrusCard::writeCrtc(uint8_t value)
{
    if (!unlocked())
        return;
    switch (crtcIndex_) {
    case crtc::INTERLACE_END:
    case crtc::MISC_CONTROL:
    case crtc::EXTENDED_DISPLAY:
    case crtc::SYNC_ADJUST:
    case crtc::OVERLAY:
    case crtc::LATCH_READBACK: cr_[crtcIndex_] = value; return;
    default: return;  // read-only or absent
    }
}

// ---- Memory ------------------------------------------------------------------------------------

bool CirrusCard::svgaMode() const
{
    return sr_[seq::EXTENDED_MODE] & seq::EXTENDED_MODE_SVGA;
}

uint32_t CirrusCard::shifted(uint32_t offset) const
{
    const uint8_t ext = gr_[gc::MODE_EXTENSIONS];
    const uint8_t by16 = gc::MODE_EXTENSIONS_BY16 | gc::MODE_EXTENSIONS_WRITE_MODES;
    if ((ext & by16) == by16)
        return offset << 4;
    if (ext & gc::MODE_EXTENSIONS_BY8)
        return offset << 3;
    return offset;
}

// A0000h-AFFFFh in two 32 KB halves: single page maps both through GR09, dual page the upper
// half through GR0A. A bank is GR09/GR0A times 4 KB, or 16 KB with GR0B bit 5.
bool CirrusCard::bankedOffset(uint32_t address, uint32_t& offset) const
{
    if (address < WINDOW_START || address >= WINDOW_START + WINDOW_BYTES)
        return false;
    const uint32_t within = address - WINDOW_START;
    const uint8_t ext = gr_[gc::MODE_EXTENSIONS];
    const uint32_t granularity = (ext & gc::MODE_EXTENSIONS_16K) ? 16u << 10 : 4u << 10;
    const uint32_t faultBank = bankOffByOne_ ? 1 : 0;
    if ((ext & gc::MODE_EXTENSIONS_DUAL_PAGE) && within >= WINDOW_HALF)
        offset = (gr_[gc::OFFSET1] + faultBank) * granularity + shifted(within - WINDOW_HALF);
    else
        offset = (gr_[gc::OFFSET0] + faultBank) * granularity + shifted(within);
    return true;
}

void CirrusCard::writeMemory(uint32_t offset, uint8_t value)
{
    uint8_t* vram = vga_.videoMemory();
    const uint32_t size = vga_.videoMemoryBytes();
    const uint8_t writeMode = vga_.gc.reg[vga::gc::MODE] & 0x07;
    const bool expand = (gr_[gc::MODE_EXTENSIONS] & gc::MODE_EXTENSIONS_WRITE_MODES) &&
                        (writeMode == WRITE_MODE_EXPAND || writeMode == WRITE_MODE_EXPAND_OPAQUE);
    if (!expand) {
        if (offset < size)
            vram[offset] = value;
        return;
    }
    // Write modes 4 and 5: the byte paints eight pixels, MSB first, in the foreground colour
    // where its bit is 1 and (mode 5) the background colour where it is 0.
    const unsigned bytes = (gr_[gc::MODE_EXTENSIONS] & gc::MODE_EXTENSIONS_BY16) ? 2 : 1;
    const uint8_t fg[2] = {blt_.readRegister(gc::FOREGROUND0), blt_.readRegister(gc::FOREGROUND1)};
    const uint8_t bg[2] = {blt_.readRegister(gc::BACKGROUND0), blt_.readRegister(gc::BACKGROUND1)};
    for (unsigned pixel = 0; pixel < 8; ++pixel) {
        const bool set = value & (0x80 >> pixel);
        if (!set && writeMode != WRITE_MODE_EXPAND_OPAQUE)
            continue;
        for (unsigned i = 0; i < bytes; ++i) {
            const uint32_t at = offset + pixel * bytes + i;
            if (at < size)
                vram[at] = set ? fg[i] : bg[i];
        }
    }
}

bool CirrusCard::registersAtWindow(uint32_t address) const
{
    const uint8_t config = sr_[seq::CONFIGURATION] & (seq::CONFIGURATION_MMIO | seq::CONFIGURATION_MMIO_AT_MEMORY_END);
    return config == seq::CONFIGURATION_MMIO && address >= mmio::LEGACY_ADDRESS &&
           address < mmio::LEGACY_ADDRESS + mmio::BLT_BLOCK_BYTES;
}

bool CirrusCard::registersAtFramebuffer(uint32_t offset) const
{
    const uint8_t atEnd = seq::CONFIGURATION_MMIO | seq::CONFIGURATION_MMIO_AT_MEMORY_END;
    const uint32_t size = vga_.videoMemoryBytes();
    return (sr_[seq::CONFIGURATION] & atEnd) == atEnd && offset >= size - mmio::BLT_BLOCK_BYTES && offset < size;
}

uint8_t CirrusCard::readWindow(uint32_t address)
{
    if (registersAtWindow(address))
        return blt_.readMmio(static_cast<uint8_t>(address - mmio::LEGACY_ADDRESS));
    if (!svgaMode())
        return vga_.readWindow(address);
    uint32_t offset = 0;
    if (!bankedOffset(address, offset) || offset >= vga_.videoMemoryBytes())
        return 0xFF;
    return vga_.videoMemory()[offset];
}

void CirrusCard::writeWindow(uint32_t address, uint8_t value)
{
    if (registersAtWindow(address))
        return blt_.writeMmio(static_cast<uint8_t>(address - mmio::LEGACY_ADDRESS), value);
    if (!svgaMode())
        return vga_.writeWindow(address, value);
    uint32_t offset = 0;
    if (!bankedOffset(address, offset))
        return;
    // While a BitBLT waits for system data, every byte written to the window is that data.
    if (blt_.awaitingHostData())
        return blt_.hostData(value);
    writeMemory(offset, value);
}

uint8_t CirrusCard::readFramebuffer(uint32_t offset)
{
    const uint32_t size = vga_.videoMemoryBytes();
    if (offset >= size)
        return 0xFF;  // the host-data aperture and the undecoded rest
    if (registersAtFramebuffer(offset))
        return blt_.readMmio(static_cast<uint8_t>(offset - (size - mmio::BLT_BLOCK_BYTES)));
    const uint32_t at = shifted(offset);
    return at < size ? vga_.videoMemory()[at] : 0xFF;
}

void CirrusCard::writeFramebuffer(uint32_t offset, uint8_t value)
{
    const uint32_t size = vga_.videoMemoryBytes();
    if (offset >= bar::HOST_DATA_APERTURE && offset < bar::HOST_DATA_APERTURE + bar::HOST_DATA_APERTURE_BYTES)
        return blt_.hostData(value);  // dropped unless a BitBLT waits for it
    if (offset >= size)
        return;
    if (registersAtFramebuffer(offset))
        return blt_.writeMmio(static_cast<uint8_t>(offset - (size - mmio::BLT_BLOCK_BYTES)), value);
    if (blt_.awaitingHostData())
        return blt_.hostData(value);
    writeMemory(shifted(offset), value);
}

uint8_t CirrusCard::readRegisters(uint32_t offset)
{
    if (offset < mmio::VGA_PORTS + mmio::VGA_PORTS_BYTES)
        return in8(static_cast<uint16_t>(vga::attr::WRITE_PORT + offset));
    if (offset >= mmio::BLT_BLOCK && offset < mmio::BLT_BLOCK + mmio::BLT_BLOCK_BYTES)
        return blt_.readMmio(static_cast<uint8_t>(offset - mmio::BLT_BLOCK));
    return 0xFF;
}

void CirrusCard::writeRegisters(uint32_t offset, uint8_t value)
{
    if (offset < mmio::VGA_PORTS + mmio::VGA_PORTS_BYTES)
        return out8(static_cast<uint16_t>(vga::attr::WRITE_PORT + offset), value);
    if (offset >= mmio::BLT_BLOCK && offset < mmio::BLT_BLOCK + mmio::BLT_BLOCK_BYTES)
        blt_.writeMmio(static_cast<uint8_t>(offset - mmio::BLT_BLOCK), value);
}

// BAR 0 and BAR 1, a byte at a time in address order (wider accesses are split as the bus
// splits them for the card's 8-bit registers and its BitBLT data).
uint32_t CirrusCard::readBus(uint32_t address, unsigned bytes)
{
    const uint32_t framebuffer = pci_.barAddress(0), registers = pci_.barAddress(1);
    uint32_t value = 0;
    for (unsigned i = 0; i < bytes; ++i) {
        const uint32_t at = address + i;
        uint8_t byte = 0xFF;
        if (at - framebuffer < bar::FRAMEBUFFER_BYTES)
            byte = readFramebuffer(at - framebuffer);
        else if (at - registers < bar::REGISTERS_BYTES)
            byte = readRegisters(at - registers);
        value |= static_cast<uint32_t>(byte) << (8 * i);
    }
    return value;
}

void CirrusCard::writeBus(uint32_t address, unsigned bytes, uint32_t value)
{
    const uint32_t framebuffer = pci_.barAddress(0), registers = pci_.barAddress(1);
    for (unsigned i = 0; i < bytes; ++i) {
        const uint32_t at = address + i;
        const uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
        if (at - framebuffer < bar::FRAMEBUFFER_BYTES)
            writeFramebuffer(at - framebuffer, byte);
        else if (at - registers < bar::REGISTERS_BYTES)
            writeRegisters(at - registers, byte);
    }
}

bool CirrusCard::registersAt(uint32_t address) const
{
    const uint32_t framebuffer = pci_.barAddress(0);
    if (address - pci_.barAddress(1) < bar::REGISTERS_BYTES)
        return true;
    if (address >= vga::WINDOW_START && address < vga::WINDOW_END)
        return registersAtWindow(address);
    return address - framebuffer < bar::FRAMEBUFFER_BYTES && registersAtFramebuffer(address - framebuffer);
}

void CirrusCard::setOperationLog(std::function<void(const std::string&)> log)
{
    if (!log)
        return blt_.setObserver(nullptr);
    blt_.setObserver([log = std::move(log)](const BltOperation& op) { log(describe(op)); });
}

// ---- What the monitor shows --------------------------------------------------------------------

CirrusGeometry CirrusCard::geometry() const
{
    const auto& crtcRegs = vga_.crtc.reg;
    CirrusGeometry g;
    using namespace vga::crtc;
    g.width = (crtcRegs[H_DISPLAY_END] + 1) * 8;  // pixels at every depth
    int lines = crtcRegs[V_DISPLAY_END] + ((crtcRegs[OVERFLOW] & OVERFLOW_V_DISPLAY_END_8) << 7) +
                ((crtcRegs[OVERFLOW] & OVERFLOW_V_DISPLAY_END_9) << 3) + 1;
    if (cr_[crtc::MISC_CONTROL] & crtc::MISC_CONTROL_INTERLACE)
        lines *= 2;
    const int repeat = ((crtcRegs[MAX_SCAN_LINE] & MAX_SCAN_LINE_COUNT) + 1) *
                       ((crtcRegs[MAX_SCAN_LINE] & MAX_SCAN_LINE_DOUBLE) ? 2 : 1);
    g.height = std::max(1, lines / repeat);
    const uint8_t ext = cr_[crtc::EXTENDED_DISPLAY];
    const uint32_t startUnits = crtcRegs[START_ADDRESS_LOW] | (crtcRegs[START_ADDRESS_HIGH] << 8) |
                                ((ext & crtc::EXTENDED_DISPLAY_START_16) ? 1u << 16 : 0) |
                                (static_cast<uint32_t>(ext & crtc::EXTENDED_DISPLAY_START_17_18) << 15) |
                                ((cr_[crtc::OVERLAY] & crtc::OVERLAY_START_19) ? 1u << 19 : 0);
    g.start = static_cast<uint64_t>(startUnits) * 4;  // in dwords in every Cirrus mode
    g.pitch = 8u * (crtcRegs[OFFSET] + ((ext & crtc::EXTENDED_DISPLAY_OFFSET_8) ? 256u : 0));
    if (startLate_)
        g.start += g.pitch;
    const bool is565 = (hdr_ & hdr::FORMAT) == hdr::FORMAT_565;
    switch (sr_[seq::EXTENDED_MODE] & seq::EXTENDED_MODE_DEPTH) {
    case seq::EXTENDED_MODE_DEPTH_16_DOUBLE_CLOCK:
    case seq::EXTENDED_MODE_DEPTH_16: g.bpp = is565 ? 16 : 15; break;
    case seq::EXTENDED_MODE_DEPTH_24: g.bpp = 24; break;
    case seq::EXTENDED_MODE_DEPTH_32: g.bpp = 32; break;
    default: g.bpp = 8; break;
    }
    return g;
}

CirrusCursor CirrusCard::cursor() const
{
    CirrusCursor c;
    const uint8_t attributes = sr_[seq::CURSOR_ATTRIBUTES];
    c.shown = attributes & seq::CURSOR_ATTRIBUTES_SHOW;
    c.size = (attributes & seq::CURSOR_ATTRIBUTES_LARGE) ? cursor::LARGE : cursor::SMALL;
    c.x = cursorX_;
    c.y = cursorY_;
    const uint8_t slot =
        sr_[seq::CURSOR_PATTERN] & (c.size == cursor::LARGE ? seq::CURSOR_PATTERN_LARGE : seq::CURSOR_PATTERN_SMALL);
    c.pattern = vga_.videoMemoryBytes() - cursor::AREA_BYTES + slot * cursor::SLOT_BYTES;
    const auto colour = [this](int entry) {
        const uint8_t* rgb = &extendedColours_[entry * 3];
        return (sixToEight(rgb[0]) << 16) | (sixToEight(rgb[1]) << 8) | sixToEight(rgb[2]);
    };
    c.background = colour(cursor::BACKGROUND_ENTRY);
    c.foreground = colour(cursor::FOREGROUND_ENTRY);
    return c;
}

std::optional<ExtendedMode> CirrusCard::extendedMode() const
{
    if (!svgaMode() || !vga_.gc.graphics())
        return std::nullopt;
    const CirrusGeometry g = geometry();
    ExtendedMode mode;
    mode.width = g.width;
    mode.height = g.height;
    mode.bitsPerPixel = g.bpp;
    mode.start = g.start;
    mode.lineBytes = g.pitch;
    // The attribute controller shows nothing while its palette is loaded, nor the sequencer
    // with its screen-off bit, in Cirrus modes as in VGA ones.
    mode.screenOff = !vga_.attr.pictureOn() || screenOff();
    return mode;
}

// The cursor's two bit planes per pixel: transparent, inverted screen, background, foreground.
bool CirrusCard::cursorSprite(CursorSprite& sprite) const
{
    const CirrusCursor c = cursor();
    if (!c.shown || screenOff())
        return false;
    sprite.left = c.x;
    sprite.top = c.y;
    sprite.size = c.size;
    sprite.pixels.assign(static_cast<size_t>(c.size) * c.size, CursorSprite::TRANSPARENT);
    const uint8_t* vram = vga_.videoMemory();
    const uint32_t size = vga_.videoMemoryBytes();
    const int rowBytes = c.size / 8;  // of one plane
    for (int row = 0; row < c.size; ++row) {
        // 32 x 32: plane 0 whole, then plane 1; 64 x 64: each line's plane 0 then its plane 1.
        const uint32_t plane0 = c.size == cursor::SMALL ? c.pattern + row * rowBytes : c.pattern + row * rowBytes * 2;
        const uint32_t plane1 = c.size == cursor::SMALL ? plane0 + cursor::SMALL * rowBytes : plane0 + rowBytes;
        for (int column = 0; column < c.size; ++column) {
            const uint8_t bit = static_cast<uint8_t>(0x80 >> (column % 8));
            const bool p0 = vram[(plane0 + column / 8) % size] & bit, p1 = vram[(plane1 + column / 8) % size] & bit;
            uint32_t& pixel = sprite.pixels[static_cast<size_t>(row) * c.size + column];
            if (p0 || p1)
                pixel = !p1 ? CursorSprite::INVERT : p0 ? c.foreground : c.background;
        }
    }
    return true;
}

}  // namespace machine
