#include "machine/svga_card.h"

#include <algorithm>
#include <cstring>

#include "hw/dispi.h"
#include "hw/palisade_ext.h"

namespace machine {
namespace {

// The largest mode the DISPI interface admits, as Bochs reports it through GET_CAPS.
constexpr uint16_t MAX_XRES = 2560;
constexpr uint16_t MAX_YRES = 1600;
constexpr uint16_t MAX_BPP = 32;

constexpr uint32_t WINDOW_BASE = 0xA0000;
constexpr uint32_t BANK_BYTES = 0x10000;

// A 4-bit plane mask spread over the four bytes of a plane word (byte p = plane p).
constexpr uint32_t expandPlanes(uint8_t mask) {
    uint32_t result = 0;
    for (int plane = 0; plane < 4; ++plane)
        if (mask & (1u << plane)) result |= 0xFFu << (plane * 8);
    return result;
}

bool validDepth(uint16_t bpp) {
    return bpp == 4 || bpp == 8 || bpp == 15 || bpp == 16 || bpp == 24 || bpp == 32;
}

uint32_t lineBytesFor(uint16_t width, uint16_t bpp) {
    if (bpp == 4) return width / 2u;  // width/8 bytes in each of the four planes
    return width * ((bpp + 7u) / 8u);
}

}  // namespace

SvgaCard::SvgaCard(uint32_t videoMemoryBytes, bool dispi, uint32_t accelEntries, uint32_t refreshHz,
                   std::function<uint64_t()> now, WideDac wideDac)
    : vram_(videoMemoryBytes, 0),
      hasDispi_(dispi),
      accelEntries_(accelEntries),
      refreshHz_(refreshHz ? refreshHz : 60),
      wideDac_(wideDac),
      now_(std::move(now)) {
    dispi_.virtHeight = static_cast<uint16_t>(std::min<uint32_t>(videoMemoryBytes / lineBytesFor(640, 8), 0xFFFF));
}

bool SvgaCard::decodesPort(uint16_t port) {
    return (port >= 0x3B4 && port <= 0x3BA) || (port >= 0x3C0 && port <= 0x3DA) || port == dispi::INDEX_PORT ||
           port == dispi::DATA_PORT;
}

int SvgaCard::dacBits() const {
    return wideDac_ == WideDac::Works && dispiEnabled() && (dispi_.enable & dispi::ENABLE_DAC_8BIT) ? 8 : 6;
}

uint32_t SvgaCard::dispiLineBytes() const { return lineBytesFor(dispi_.virtWidth, dispi_.bpp); }

uint8_t SvgaCard::readStatus1() {
    vga_.attrFlipFlopData = false;
    // A 525-line frame: vertical retrace in its last 2 lines, blanking in its last 45, and
    // horizontal blanking in the last fifth of every line.
    const uint64_t frameNs = 1'000'000'000ull / refreshHz_;
    const uint64_t phase = (now_() * 1000ull) % frameNs;
    const uint64_t lineNs = frameNs / 525;
    uint8_t status = 0;
    if (phase >= frameNs - 2 * lineNs) status |= 0x08;
    if (phase >= frameNs - 45 * lineNs || (phase % lineNs) >= lineNs * 4 / 5) status |= 0x01;
    return status;
}

uint8_t SvgaCard::in8(uint16_t port) {
    switch (port) {
    case 0x3C0: return vga_.attrIndex;
    case 0x3C1: return vga_.attr[vga_.attrIndex & 0x1F];
    case 0x3C2: return 0x00;
    case 0x3C4: return vga_.seqIndex;
    case 0x3C5: return vga_.seq[vga_.seqIndex & 7];
    case 0x3C6: return vga_.dacMask;
    case 0x3C7: return vga_.dacLastWasRead ? 0x03 : 0x00;
    case 0x3C8: return vga_.dacWriteIndex;
    case 0x3C9: {
        uint8_t value = vga_.dac[vga_.dacReadIndex * 3 + vga_.dacComponent];
        if (dacBits() == 6) value &= 0x3F;
        if (++vga_.dacComponent == 3) {
            vga_.dacComponent = 0;
            ++vga_.dacReadIndex;
        }
        return value;
    }
    case 0x3CA: return 0x00;
    case 0x3CC: return vga_.misc;
    case 0x3CE: return vga_.gcIndex;
    case 0x3CF: return vga_.gc[vga_.gcIndex & 0x0F];
    case 0x3B4:
    case 0x3D4: return vga_.crtcIndex;
    case 0x3B5:
    case 0x3D5: return vga_.crtc[vga_.crtcIndex & 0x1F];
    case 0x3BA:
    case 0x3DA: return readStatus1();
    case dispi::INDEX_PORT: return static_cast<uint8_t>(in16(port));
    case dispi::DATA_PORT: return static_cast<uint8_t>(in16(port));
    default: return 0xFF;
    }
}

void SvgaCard::out8(uint16_t port, uint8_t value) {
    switch (port) {
    case 0x3C0:
        if (!vga_.attrFlipFlopData)
            vga_.attrIndex = value & 0x3F;
        else
            vga_.attr[vga_.attrIndex & 0x1F] = value;
        vga_.attrFlipFlopData = !vga_.attrFlipFlopData;
        return;
    case 0x3C2: vga_.misc = value; return;
    case 0x3C4: vga_.seqIndex = value & 7; return;
    case 0x3C5: vga_.seq[vga_.seqIndex & 7] = value; return;
    case 0x3C6: vga_.dacMask = value; return;
    case 0x3C7:
        vga_.dacReadIndex = value;
        vga_.dacComponent = 0;
        vga_.dacLastWasRead = true;
        return;
    case 0x3C8:
        vga_.dacWriteIndex = value;
        vga_.dacComponent = 0;
        vga_.dacLastWasRead = false;
        return;
    case 0x3C9: {
        const bool crossed = fault_ == CardFault::DacSwapsRedGreen && vga_.dacComponent < 2;
        vga_.dac[vga_.dacWriteIndex * 3 + (crossed ? 1 - vga_.dacComponent : vga_.dacComponent)] = value;
        if (++vga_.dacComponent == 3) {
            vga_.dacComponent = 0;
            ++vga_.dacWriteIndex;
        }
        return;
    }
    case 0x3CE: vga_.gcIndex = value & 0x0F; return;
    case 0x3CF: vga_.gc[vga_.gcIndex & 0x0F] = value; return;
    case 0x3B4:
    case 0x3D4: vga_.crtcIndex = value & 0x1F; return;
    case 0x3B5:
    case 0x3D5: {
        const uint8_t index = vga_.crtcIndex & 0x1F;
        // CR11 bit 7 protects the horizontal and vertical timing registers 0-7, except
        // the line compare bit of the overflow register.
        if ((vga_.crtc[0x11] & 0x80) && index <= 7) {
            if (index == 7) vga_.crtc[7] = (vga_.crtc[7] & ~0x10) | (value & 0x10);
            return;
        }
        vga_.crtc[index] = value;
        return;
    }
    case dispi::INDEX_PORT:
    case dispi::DATA_PORT: out16(port, value); return;
    default: return;
    }
}

uint16_t SvgaCard::in16(uint16_t port) {
    if (port == dispi::INDEX_PORT) return hasDispi_ ? dispi_.index : 0xFFFF;
    if (port == dispi::DATA_PORT) return hasDispi_ ? readDispi() : 0xFFFF;
    const uint8_t low = in8(port);
    return static_cast<uint16_t>(low | (in8(static_cast<uint16_t>(port + 1)) << 8));
}

void SvgaCard::out16(uint16_t port, uint16_t value) {
    if (port == dispi::INDEX_PORT) {
        if (hasDispi_) dispi_.index = value;
        return;
    }
    if (port == dispi::DATA_PORT) {
        if (hasDispi_) writeDispi(value);
        return;
    }
    // An 8-bit device sees a word access as two byte cycles: index, then data.
    out8(port, static_cast<uint8_t>(value));
    out8(static_cast<uint16_t>(port + 1), static_cast<uint8_t>(value >> 8));
}

uint16_t SvgaCard::readDispi() {
    const bool caps = dispi_.enable & dispi::ENABLE_GET_CAPS;
    switch (dispi_.index) {
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
    case dispi::VIDEO_MEMORY_64K: return static_cast<uint16_t>(vram_.size() / BANK_BYTES);
    case palisade_ext::ACCEL_CAPS: return static_cast<uint16_t>(accelEntries_);
    case palisade_ext::CURSOR_CONTROL: return cursor_.shown ? 1 : 0;
    case palisade_ext::CURSOR_X: return static_cast<uint16_t>(cursor_.x);
    case palisade_ext::CURSOR_Y: return static_cast<uint16_t>(cursor_.y);
    case palisade_ext::CURSOR_HOTSPOT: return static_cast<uint16_t>(cursor_.hotX | (cursor_.hotY << 8));
    case palisade_ext::CURSOR_COLOR_RG: return static_cast<uint16_t>((cursor_.red << 8) | cursor_.green);
    case palisade_ext::CURSOR_COLOR_B: return cursor_.blue;
    case palisade_ext::CURSOR_IMAGE_INDEX: return cursor_.imageIndex;
    case palisade_ext::CURSOR_IMAGE_DATA: {
        const uint16_t word = cursor_.image[cursor_.imageIndex];
        cursor_.imageIndex = (cursor_.imageIndex + 1) & 127;
        return word;
    }
    default: return 0;
    }
}

void SvgaCard::writeDispi(uint16_t value) {
    const bool enabled = dispi_.enable & dispi::ENABLE_ON;
    switch (dispi_.index) {
    case dispi::ID:
        if (value >= 0xB0C0 && value <= dispi::ID_LATEST) dispi_.id = value;
        return;
    // The mode's geometry is fixed while the mode is on: a new one needs a disable first.
    case dispi::XRES:
        if (!enabled) dispi_.xres = value;
        return;
    case dispi::YRES:
        if (!enabled) dispi_.yres = value;
        return;
    case dispi::BPP:
        if (!enabled) dispi_.bpp = value == 0 ? 8 : value;
        return;
    case dispi::ENABLE: enableDispi(value); return;
    case dispi::BANK: {
        const uint16_t bank = value & 0x3FFF;
        if (static_cast<uint32_t>(bank) * BANK_BYTES >= vram_.size()) return;  // refused: read-back tells
        const uint16_t flags = value & (dispi::BANK_WRITE_ONLY | dispi::BANK_READ_ONLY);
        if (flags != dispi::BANK_READ_ONLY) dispi_.writeBank = bank;
        if (flags != dispi::BANK_WRITE_ONLY) dispi_.readBank = bank;
        return;
    }
    case dispi::VIRT_WIDTH: {
        const uint16_t width = std::max(value, enabled ? dispi_.xres : uint16_t{0});
        const uint32_t line = lineBytesFor(width, dispi_.bpp);
        if (line == 0 || (enabled && static_cast<uint64_t>(line) * dispi_.yres > vram_.size())) return;
        dispi_.virtWidth = width;
        dispi_.virtHeight = static_cast<uint16_t>(std::min<uint64_t>(vram_.size() / line, 0xFFFF));
        return;
    }
    case dispi::VIRT_HEIGHT: return;  // follows from the width and the memory
    case dispi::X_OFFSET: dispi_.xOffset = value; return;
    case dispi::Y_OFFSET:
        dispi_.yOffset = fault_ == CardFault::DisplayStartLate ? static_cast<uint16_t>(value + 1) : value;
        return;
    case palisade_ext::CURSOR_CONTROL: cursor_.shown = value & 1; return;
    case palisade_ext::CURSOR_X: cursor_.x = static_cast<int16_t>(value); return;
    case palisade_ext::CURSOR_Y: cursor_.y = static_cast<int16_t>(value); return;
    case palisade_ext::CURSOR_HOTSPOT:
        cursor_.hotX = std::min<uint8_t>(value & 0xFF, palisade_ext::CURSOR_SIZE - 1);
        cursor_.hotY = std::min<uint8_t>(value >> 8, palisade_ext::CURSOR_SIZE - 1);
        return;
    case palisade_ext::CURSOR_COLOR_RG:
        cursor_.red = static_cast<uint8_t>(value >> 8);
        cursor_.green = static_cast<uint8_t>(value);
        return;
    case palisade_ext::CURSOR_COLOR_B: cursor_.blue = static_cast<uint8_t>(value); return;
    case palisade_ext::CURSOR_IMAGE_INDEX: cursor_.imageIndex = value & 127; return;
    case palisade_ext::CURSOR_IMAGE_DATA:
        cursor_.image[cursor_.imageIndex] = value;
        cursor_.imageIndex = (cursor_.imageIndex + 1) & 127;
        return;
    default: return;
    }
}

void SvgaCard::enableDispi(uint16_t value) {
    if (wideDac_ == WideDac::Refused) value &= static_cast<uint16_t>(~dispi::ENABLE_DAC_8BIT);
    const bool wasEnabled = dispi_.enable & dispi::ENABLE_ON;
    if (!(value & dispi::ENABLE_ON) || wasEnabled) {
        dispi_.enable = value;
        return;
    }
    // A mode the card cannot show is refused whole: the card stays as it was.
    const uint32_t line = lineBytesFor(dispi_.xres, dispi_.bpp);
    if (!validDepth(dispi_.bpp) || dispi_.xres == 0 || dispi_.yres == 0 || dispi_.xres > MAX_XRES ||
        dispi_.yres > MAX_YRES || (dispi_.xres % 8) != 0 ||
        static_cast<uint64_t>(line) * dispi_.yres > vram_.size())
        return;
    dispi_.enable = value;
    dispi_.virtWidth = dispi_.xres;
    dispi_.virtHeight = static_cast<uint16_t>(std::min<uint64_t>(vram_.size() / line, 0xFFFF));
    dispi_.xOffset = 0;
    dispi_.yOffset = fault_ == CardFault::DisplayStartLate ? 1 : 0;
    dispi_.readBank = dispi_.writeBank = 0;
    if (!(value & dispi::ENABLE_NO_CLEAR_MEM)) std::fill(vram_.begin(), vram_.end(), 0);
}

uint32_t SvgaCard::windowOffset(uint32_t address, bool& mapped) const {
    uint32_t base = WINDOW_BASE, size = 0x20000;
    if (dispiEnabled()) {
        size = BANK_BYTES;
    } else {
        switch ((vga_.gc[6] >> 2) & 3) {
        case 1: size = 0x10000; break;
        case 2: base = 0xB0000; size = 0x8000; break;
        case 3: base = 0xB8000; size = 0x8000; break;
        default: break;
        }
    }
    mapped = address >= base && address < base + size;
    return address - base;
}

uint8_t SvgaCard::readWindow(uint32_t address) {
    bool mapped = false;
    uint32_t offset = windowOffset(address, mapped);
    if (!mapped) return 0xFF;
    if (dispiEnabled()) {
        offset += dispi_.readBank * BANK_BYTES;
        if (dispi_.bpp != 4) return offset < vram_.size() ? vram_[offset] : 0xFF;
    }
    if (vga_.seq[4] & 0x08) return offset < vram_.size() ? vram_[offset] : 0xFF;  // chain 4
    if (vga_.gc[5] & 0x10) {                                                        // odd/even
        const uint32_t plane = (vga_.gc[4] & 2) | (offset & 1);
        const uint32_t index = ((offset & ~1u) << 1) | plane;
        return index < vram_.size() ? vram_[index] : 0xFF;
    }
    if (offset * 4 + 3 >= vram_.size()) return 0xFF;
    std::memcpy(vga_.latch.data(), &vram_[offset * 4], 4);
    if (!(vga_.gc[5] & 0x08)) return vga_.latch[vga_.gc[4] & 3];
    // Read mode 1: colour compare over the planes that count.
    uint32_t latch;
    std::memcpy(&latch, vga_.latch.data(), 4);
    uint32_t differ = (latch ^ expandPlanes(vga_.gc[2] & 0x0F)) & expandPlanes(vga_.gc[7] & 0x0F);
    differ |= differ >> 16;
    differ |= differ >> 8;
    return static_cast<uint8_t>(~differ);
}

void SvgaCard::writeWindow(uint32_t address, uint8_t value) {
    bool mapped = false;
    uint32_t offset = windowOffset(address, mapped);
    if (!mapped) return;
    if (dispiEnabled()) {
        offset += dispi_.writeBank * BANK_BYTES;
        if (dispi_.bpp != 4) {
            if (offset < vram_.size()) vram_[offset] = value;
            return;
        }
    }
    const uint8_t mapMask = vga_.seq[2] & 0x0F;
    if (vga_.seq[4] & 0x08) {  // chain 4
        if ((mapMask & (1u << (offset & 3))) && offset < vram_.size()) vram_[offset] = value;
        return;
    }
    if (!(vga_.seq[4] & 0x04)) {  // odd/even
        const uint32_t plane = offset & 1;
        const uint32_t index = ((offset & ~1u) << 1) | plane;
        if ((mapMask & (1u << plane)) && index < vram_.size()) vram_[index] = value;
        return;
    }
    if (offset * 4 + 3 >= vram_.size()) return;

    uint32_t latch;
    std::memcpy(&latch, vga_.latch.data(), 4);
    uint32_t data = 0, bitMask = 0;
    const uint8_t rotate = vga_.gc[3] & 7;
    const auto rotated = [&] { return static_cast<uint8_t>((value >> rotate) | (value << (8 - rotate))); };
    bool useLogic = true;
    switch (vga_.gc[5] & 3) {
    case 0: {
        data = rotated() * 0x01010101u;
        const uint32_t setMask = expandPlanes(vga_.gc[1] & 0x0F);
        data = (data & ~setMask) | (expandPlanes(vga_.gc[0] & 0x0F) & setMask);
        bitMask = vga_.gc[8];
        break;
    }
    case 1:
        data = latch;
        useLogic = false;
        break;
    case 2:
        data = expandPlanes(value & 0x0F);
        bitMask = vga_.gc[8];
        break;
    case 3:
        bitMask = vga_.gc[8] & rotated();
        data = expandPlanes(vga_.gc[0] & 0x0F);
        break;
    }
    if (useLogic) {
        switch ((vga_.gc[3] >> 3) & 3) {
        case 1: data &= latch; break;
        case 2: data |= latch; break;
        case 3: data ^= latch; break;
        default: break;
        }
        bitMask *= 0x01010101u;
        data = (data & bitMask) | (latch & ~bitMask);
    }
    const uint32_t writeMask = expandPlanes(mapMask);
    uint32_t planes;
    std::memcpy(&planes, &vram_[offset * 4], 4);
    planes = (planes & ~writeMask) | (data & writeMask);
    std::memcpy(&vram_[offset * 4], &planes, 4);
}

}  // namespace machine
