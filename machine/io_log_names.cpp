// Naming the card's registers in the io log, with the index registers followed as the chip does.
#include "machine/io_log_names.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "hw/cirrus.h"
#include "hw/dispi.h"
#include "hw/palisade_ext.h"
#include "hw/vga.h"

namespace machine {

struct IoLogNamer::Access {
    bool port = false;
    bool write = false;
    uint32_t address = 0;
    unsigned bytes = 0;
    uint32_t value = 0;
};

namespace {

// "port write 03C4 word 0107" -> the access; false for any other line.
bool parse(const std::string& raw, bool& port, bool& write, uint32_t& address, unsigned& bytes, uint32_t& value)
{
    char where[8], direction[8], width[8];
    unsigned at = 0, v = 0;
    int used = 0;
    if (std::sscanf(raw.c_str(), "%7s %7s %x %7s %x%n", where, direction, &at, width, &v, &used) != 5 ||
        size_t(used) != raw.size())
        return false;
    port = std::strcmp(where, "port") == 0;
    if (!port && std::strcmp(where, "mmio") != 0)
        return false;
    write = std::strcmp(direction, "write") == 0;
    if (!write && std::strcmp(direction, "read") != 0)
        return false;
    bytes = std::strcmp(width, "byte") == 0 ? 1 : std::strcmp(width, "word") == 0 ? 2 : std::strcmp(width, "dword") == 0 ? 4 : 0;
    address = at;
    value = v;
    return bytes != 0;
}

std::string hex(uint32_t value, int digits)
{
    char text[12];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string verb(bool write)
{
    return write ? " write " : " read ";
}

const char* dispiName(uint16_t index)
{
    switch (index) {
    case dispi::ID: return "ID";
    case dispi::XRES: return "XRES";
    case dispi::YRES: return "YRES";
    case dispi::BPP: return "BPP";
    case dispi::ENABLE: return "ENABLE";
    case dispi::BANK: return "BANK";
    case dispi::VIRT_WIDTH: return "VIRT_WIDTH";
    case dispi::VIRT_HEIGHT: return "VIRT_HEIGHT";
    case dispi::X_OFFSET: return "X_OFFSET";
    case dispi::Y_OFFSET: return "Y_OFFSET";
    case dispi::VIDEO_MEMORY_64K: return "VIDEO_MEMORY_64K";
    case palisade_ext::ACCEL_CAPS: return "ACCEL_CAPS";
    case palisade_ext::CURSOR_CONTROL: return "CURSOR_CONTROL";
    case palisade_ext::CURSOR_X: return "CURSOR_X";
    case palisade_ext::CURSOR_Y: return "CURSOR_Y";
    case palisade_ext::CURSOR_HOTSPOT: return "CURSOR_HOTSPOT";
    case palisade_ext::CURSOR_COLOR_RG: return "CURSOR_COLOR_RG";
    case palisade_ext::CURSOR_COLOR_B: return "CURSOR_COLOR_B";
    case palisade_ext::CURSOR_IMAGE_INDEX: return "CURSOR_IMAGE_INDEX";
    case palisade_ext::CURSOR_IMAGE_DATA: return "CURSOR_IMAGE_DATA";
    default: return nullptr;
    }
}

// The BitBLT register a byte of the memory-mapped block stands for.
std::string bltRegister(uint8_t offset)
{
    using namespace cirrus;
    static constexpr uint8_t COLOUR_BYTES[] = {0x00, 0x10, 0x12, 0x14, 0x01, 0x11, 0x13, 0x15};
    if (offset < mmio::WIDTH)
        return "GR" + hex(COLOUR_BYTES[offset], 2);
    if (offset <= mmio::LEFT_SKIP)
        return "GR" + hex(gc::BLT_WIDTH + offset - mmio::WIDTH, 2);
    switch (offset) {
    case mmio::MODE: return "GR" + hex(gc::BLT_MODE, 2);
    case mmio::ROP: return "GR" + hex(gc::BLT_ROP, 2);
    case mmio::MODE_EXTENSION: return "GR" + hex(gc::BLT_MODE_EXTENSION, 2);
    case mmio::TRANSPARENT_COLOUR:
    case mmio::TRANSPARENT_COLOUR + 1: return "GR" + hex(gc::BLT_TRANSPARENT_COLOUR + offset - mmio::TRANSPARENT_COLOUR, 2);
    case mmio::TRANSPARENT_MASK:
    case mmio::TRANSPARENT_MASK + 1: return "GR" + hex(gc::BLT_TRANSPARENT_MASK + offset - mmio::TRANSPARENT_MASK, 2);
    case mmio::STATUS: return "GR" + hex(gc::BLT_STATUS, 2);
    default: return "BLT+" + hex(offset, 2);
    }
}

// What a write to the BitBLT status register asks the engine to do.
std::string bltStatusNote(uint32_t value)
{
    if (value & cirrus::gc::BLT_STATUS_RESET)
        return " (BLT reset)";
    if (value & cirrus::gc::BLT_STATUS_START)
        return " (BLT start)";
    return "";
}

}  // namespace

IoLogNamer::IoLogNamer(const std::string& card, std::function<void(const std::string&)> out)
    : cirrus_(card == "cirrus"), out_(std::move(out))
{
}

void IoLogNamer::take(const std::string& raw)
{
    Access access;
    if (!parse(raw, access.port, access.write, access.address, access.bytes, access.value)) {
        flush();
        out_(raw);
        return;
    }
    const std::string named = name(access);
    if (!named.empty()) {
        flush();
        out_(named);
    }
}

void IoLogNamer::flush()
{
    if (statusReads_ == 1) {
        out_("STATUS1 read " + hex(statusLast_, 2));
    } else if (statusReads_ > 1) {
        std::string seen;
        for (unsigned value = 0; value < 256; ++value)
            if (statusSeen_[value / 32] & (1u << (value % 32)))
                seen += (seen.empty() ? "" : " ") + hex(value, 2);
        out_("STATUS1 read x" + std::to_string(statusReads_) + " (" + seen + "; last " + hex(statusLast_, 2) + ")");
    }
    statusReads_ = 0;
    std::memset(statusSeen_, 0, sizeof statusSeen_);
    if (held_ == Block::None)
        return;
    held_ = Block::None;
    out_(heldLine_);
}

void IoLogNamer::hold(Block block, const std::string& line)
{
    flush();
    held_ = block;
    heldLine_ = line;
}

std::string IoLogNamer::name(const Access& a)
{
    if (!a.port)
        return mmio(a);
    const uint16_t port = static_cast<uint16_t>(a.address);
    switch (port) {
    case vga::seq::INDEX_PORT: return indexed(Block::Seq, a, false);
    case vga::seq::DATA_PORT: return indexed(Block::Seq, a, true);
    case vga::gc::INDEX_PORT: return indexed(Block::Gr, a, false);
    case vga::gc::DATA_PORT: return indexed(Block::Gr, a, true);
    case vga::crtc::INDEX_PORT:
    case vga::crtc::MONO_INDEX_PORT: return indexed(Block::Cr, a, false);
    case vga::crtc::DATA_PORT:
    case vga::crtc::MONO_DATA_PORT: return indexed(Block::Cr, a, true);
    case vga::attr::WRITE_PORT:
        if (!a.write)
            return "AR index read " + hex(a.value, 2);
        if (attrWantsIndex_) {
            attrWantsIndex_ = false;
            return indexed(Block::Attr, a, false);
        }
        attrWantsIndex_ = true;
        return indexed(Block::Attr, a, true);
    case vga::attr::READ_PORT: return indexed(Block::Attr, a, true);
    case dispi::INDEX_PORT: return indexed(Block::Dispi, a, false);
    case dispi::DATA_PORT: return indexed(Block::Dispi, a, true);
    case vga::dac::PIXEL_MASK_PORT:
    case vga::dac::READ_INDEX_PORT:
    case vga::dac::WRITE_INDEX_PORT:
    case vga::dac::DATA_PORT: return dac(a);
    case vga::misc::WRITE_PORT: return (a.write ? "MISC" : "STATUS0") + verb(a.write) + hex(a.value, 2);
    case vga::misc::READ_PORT: return "MISC read " + hex(a.value, 2);
    case vga::feature::READ_PORT: return "FEATURE read " + hex(a.value, 2);
    case vga::status1::PORT:
    case vga::status1::MONO_PORT:
        if (a.write)
            return "FEATURE write " + hex(a.value, 2);
        attrWantsIndex_ = true;  // reading input status 1 resets the flip-flop
        if (held_ != Block::None)
            flush();
        ++statusReads_;
        statusLast_ = static_cast<uint8_t>(a.value);
        statusSeen_[statusLast_ / 32] |= 1u << (statusLast_ % 32);
        return "";
    default: break;
    }
    return std::string(a.port ? "port" : "mmio") + verb(a.write) + hex(a.address, 4) + " " + hex(a.value, 2 * int(a.bytes));
}

// An index register and its data register. A 16-bit write to the index port carries the data
// in its high byte, as the VGA splits it.
std::string IoLogNamer::indexed(Block block, const Access& a, bool data)
{
    uint8_t* index = block == Block::Seq ? &seqIndex_ : block == Block::Gr ? &grIndex_ : block == Block::Cr ? &crIndex_ : &attrIndex_;
    if (block == Block::Dispi) {
        if (!data) {
            if (!a.write)
                return "DISPI index read " + hex(a.value, 4);
            dispiIndex_ = static_cast<uint16_t>(a.value);
            const char* known = dispiName(dispiIndex_);
            hold(block, std::string("DISPI index ") + (known ? known : hex(dispiIndex_, 4)));
            return "";
        }
        const char* known = dispiName(dispiIndex_);
        const std::string name = known ? std::string("DISPI ") + known : "DISPI[" + hex(dispiIndex_, 4) + "]";
        held_ = held_ == block ? Block::None : held_;  // the index write is told by the name
        return name + verb(a.write) + hex(a.value, 2 * int(a.bytes));
    }
    const char* prefix = block == Block::Seq ? "SEQ[" : block == Block::Gr ? "GR" : block == Block::Cr ? "CR" : "AR";
    const char* suffix = block == Block::Seq ? "]" : "";
    // The register the index selects, and a note when the index carries more than that.
    auto registerName = [&](uint8_t written, std::string& note) {
        uint8_t decoded = written;
        if (block == Block::Attr)
            decoded = written & vga::attr::INDEX_REGISTER;
        // The GD5446 takes the cursor's low position bits in the top of the sequencer index.
        if (block == Block::Seq && cirrus_ &&
            ((written & 0x1F) == cirrus::seq::CURSOR_X || (written & 0x1F) == cirrus::seq::CURSOR_Y))
            decoded = written & 0x1F;
        if (decoded != written && block != Block::Attr)
            note = " (index " + hex(written, 2) + ")";
        return prefix + hex(decoded, 2) + suffix;
    };
    if (!data) {
        if (!a.write)
            return std::string(block == Block::Seq ? "SEQ" : prefix) + " index read " + hex(a.value, 2);
        *index = static_cast<uint8_t>(a.value);
        if (a.bytes >= 2) {
            const uint32_t value = (a.value >> 8) & 0xFF;
            std::string note;
            std::string line = registerName(*index, note) + " write " + hex(value, 2) + note;
            if (cirrus_ && block == Block::Gr && *index == cirrus::gc::BLT_STATUS)
                line += bltStatusNote(value);
            return line;
        }
        hold(block, std::string(block == Block::Seq ? "SEQ" : prefix) + " index " + hex(*index, 2));
        return "";
    }
    held_ = held_ == block ? Block::None : held_;  // the index write is told by the name
    std::string note;
    std::string line = registerName(*index, note) + verb(a.write) + hex(a.value & 0xFF, 2) + note;
    if (cirrus_ && a.write && block == Block::Gr && *index == cirrus::gc::BLT_STATUS)
        line += bltStatusNote(a.value);
    return line;
}

std::string IoLogNamer::dac(const Access& a)
{
    static constexpr const char* COMPONENT[] = {"red", "green", "blue"};
    switch (a.address) {
    case vga::dac::PIXEL_MASK_PORT: return "DAC MASK" + verb(a.write) + hex(a.value, 2);
    case vga::dac::READ_INDEX_PORT:
        if (!a.write)
            return "DAC STATE read " + hex(a.value, 2);
        dacReadIndex_ = static_cast<uint8_t>(a.value);
        dacReadComponent_ = 0;
        return "DAC READ INDEX write " + hex(a.value, 2);
    case vga::dac::WRITE_INDEX_PORT:
        if (!a.write)
            return "DAC WRITE INDEX read " + hex(a.value, 2);
        dacWriteIndex_ = static_cast<uint8_t>(a.value);
        dacWriteComponent_ = 0;
        return "DAC WRITE INDEX write " + hex(a.value, 2);
    default: break;
    }
    uint8_t& index = a.write ? dacWriteIndex_ : dacReadIndex_;
    int& component = a.write ? dacWriteComponent_ : dacReadComponent_;
    std::string line = "DAC[" + hex(index, 2) + "] " + COMPONENT[component] + verb(a.write) + hex(a.value, 2);
    if (++component == 3) {
        component = 0;
        ++index;
    }
    return line;
}

// The GD5446's memory-mapped BitBLT registers: at B8000h, at the end of video memory, or in
// BAR 1 after its VGA ports; each in the low byte of its address.
std::string IoLogNamer::mmio(const Access& a) const
{
    const std::string raw = std::string("mmio") + verb(a.write) + hex(a.address, 8) + " " + hex(a.value, 2 * int(a.bytes));
    if (!cirrus_ || (a.address >= 0x100000 && (a.address & 0xFFF) < cirrus::mmio::VGA_PORTS_BYTES))
        return raw;
    const uint8_t offset = static_cast<uint8_t>(a.address & 0xFF);
    std::string line = "mmio " + bltRegister(offset) + verb(a.write) + hex(a.value, 2 * int(a.bytes));
    if (a.bytes > 1)
        line += " (" + std::to_string(a.bytes) + " bytes)";
    if (a.write && offset <= cirrus::mmio::STATUS && offset + a.bytes > cirrus::mmio::STATUS)
        line += bltStatusNote(a.value >> 8 * (cirrus::mmio::STATUS - offset));
    return line;
}

}  // namespace machine
