#include "machine/cirrus_blt.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "hw/cirrus.h"

namespace machine {
namespace {

using namespace cirrus;

enum class Kind { Copy, Expand, MonoPattern, ColourPattern, Fill };

Kind kindOf(const BltOperation& op)
{
    const bool expand = op.mode & gc::BLT_MODE_COLOUR_EXPAND, pattern = op.mode & gc::BLT_MODE_PATTERN;
    if (expand && pattern)
        return (op.modeExtension & gc::BLT_MODE_EXTENSION_SOLID_FILL) && !(op.mode & gc::BLT_MODE_TRANSPARENT)
                   ? Kind::Fill
                   : Kind::MonoPattern;
    if (expand)
        return Kind::Expand;
    if (pattern)
        return Kind::ColourPattern;
    return Kind::Copy;
}

unsigned bytesPerPixel(uint8_t mode)
{
    return ((mode & gc::BLT_MODE_DEPTH) >> 4) + 1u;
}

// A colour pattern line holds 8 pixels; at 24 bits it takes 32 bytes, the last 8 unused.
unsigned patternLineBytes(unsigned bpp)
{
    return bpp == 3 ? 32 : 8 * bpp;
}

// Bytes of mono data per line: whole bytes, or whole dwords from system memory with GR33 bit 0.
uint32_t monoRowBytes(const BltOperation& op, bool fromHost)
{
    const uint32_t pixels = op.width / bytesPerPixel(op.mode);
    const uint32_t bytes = (pixels + 7) / 8;
    return fromHost && (op.modeExtension & gc::BLT_MODE_EXTENSION_DWORD_ROWS) ? (bytes + 3) & ~3u : bytes;
}

uint32_t leftSkipBytes(const BltOperation& op)
{
    const unsigned bpp = bytesPerPixel(op.mode);
    return bpp == 3 ? op.leftSkip & 0x1Fu : (op.leftSkip & 7u) * bpp;
}

template <class F>
void combine(const uint8_t* s, const uint8_t* d, uint8_t* out, size_t n, F f)
{
    for (size_t i = 0; i < n; ++i)
        out[i] = f(s[i], d[i]);
}

// out = rop(S, D) byte by byte; out may be d. A code the engine does not know leaves D.
void ropRow(uint8_t rop, const uint8_t* s, const uint8_t* d, uint8_t* out, size_t n)
{
    using B = uint8_t;
    switch (rop) {
    case rop::ZERO: std::memset(out, 0, n); return;
    case rop::SRC_AND_DST: return combine(s, d, out, n, [](B a, B b) { return B(a & b); });
    case rop::SRC_AND_NOT_DST: return combine(s, d, out, n, [](B a, B b) { return B(a & ~b); });
    case rop::NOT_DST: return combine(s, d, out, n, [](B, B b) { return B(~b); });
    case rop::SRC: std::memmove(out, s, n); return;
    case rop::ONE: std::memset(out, 0xFF, n); return;
    case rop::NOT_SRC_AND_DST: return combine(s, d, out, n, [](B a, B b) { return B(~a & b); });
    case rop::SRC_XOR_DST: return combine(s, d, out, n, [](B a, B b) { return B(a ^ b); });
    case rop::SRC_OR_DST: return combine(s, d, out, n, [](B a, B b) { return B(a | b); });
    case rop::NOT_SRC_OR_DST: return combine(s, d, out, n, [](B a, B b) { return B(~(a | b)); });
    case rop::SRC_XNOR_DST: return combine(s, d, out, n, [](B a, B b) { return B(~(a ^ b)); });
    case rop::SRC_OR_NOT_DST: return combine(s, d, out, n, [](B a, B b) { return B(a | ~b); });
    case rop::NOT_SRC: return combine(s, d, out, n, [](B a, B) { return B(~a); });
    case rop::NOT_SRC_OR_DST_MERGE: return combine(s, d, out, n, [](B a, B b) { return B(~a | b); });
    case rop::NOT_SRC_AND_DST_NAND: return combine(s, d, out, n, [](B a, B b) { return B(~(a & b)); });
    default:
        if (out != d)
            std::memmove(out, d, n);
        return;
    }
}

// One colour repeated over 48 bytes (a multiple of every pixel size and of 16), built once per
// operation: a fill of many short rows pays for it once, not per row.
struct ColourRun {
    ColourRun(const uint8_t* colour, unsigned bytesPerPixel) : bpp(bytesPerPixel)
    {
        for (unsigned i = 0; i < sizeof pattern; ++i)
            pattern[i] = colour[i % bpp];
    }

    // Fills n bytes (a whole number of pixels), 16 bytes per store.
    void fill(uint8_t* d, size_t n) const
    {
        if (bpp == 1)
            return (void)std::memset(d, pattern[0], n);
        size_t at = 0;
        if (bpp != 3) {
            // Two- and four-byte pixels repeat in every 32 bits: the C library's wide fill stores
            // them as fast as memset stores bytes.
            const size_t head = std::min(n, (4 - reinterpret_cast<uintptr_t>(d) % 4) % 4);
            std::memcpy(d, pattern, head);
            static_assert(sizeof(wchar_t) == 4);
            uint32_t word;
            std::memcpy(&word, pattern + head % bpp, 4);
            const size_t words = (n - head) / 4;
            std::wmemset(reinterpret_cast<wchar_t*>(d + head), static_cast<wchar_t>(word), words);
            at = head + words * 4;
            std::memcpy(d + at, pattern + at % bpp, n - at);
            return;
        }
        for (; at + sizeof pattern <= n; at += sizeof pattern) {
            std::memcpy(d + at, pattern, 16);
            std::memcpy(d + at + 16, pattern + 16, 16);
            std::memcpy(d + at + 32, pattern + 32, 16);
        }
        std::memcpy(d + at, pattern, n - at);
    }

    uint8_t pattern[48];
    unsigned bpp;
};

// Where a span of `width` bytes on line y starts: forwards from the first byte, or backwards
// from the last byte of the last line.
int64_t rowStart(uint32_t address, uint32_t pitch, uint32_t width, uint32_t y, bool backwards)
{
    return backwards ? int64_t(address) - int64_t(y) * pitch - (int64_t(width) - 1)
                     : int64_t(address) + int64_t(y) * pitch;
}

// Every line of the area lies in memory of `size` bytes.
bool areaFits(uint32_t address, uint32_t pitch, uint32_t width, uint32_t height, bool backwards, size_t size)
{
    const int64_t first = rowStart(address, pitch, width, 0, backwards);
    const int64_t last = rowStart(address, pitch, width, height - 1, backwards);
    return std::min(first, last) >= 0 && std::max(first, last) + int64_t(width) <= int64_t(size);
}

// MMIO offset to graphics-controller index, or -1.
int mmioRegister(uint8_t offset)
{
    static constexpr uint8_t colours[8] = {gc::BACKGROUND0, gc::BACKGROUND1, gc::BACKGROUND2, gc::BACKGROUND3,
                                           gc::FOREGROUND0, gc::FOREGROUND1, gc::FOREGROUND2, gc::FOREGROUND3};
    if (offset < mmio::WIDTH)
        return colours[offset];
    if (offset <= mmio::LEFT_SKIP)
        return gc::BLT_WIDTH + (offset - mmio::WIDTH);
    switch (offset) {
    case mmio::MODE: return gc::BLT_MODE;
    case mmio::ROP: return gc::BLT_ROP;
    case mmio::MODE_EXTENSION: return gc::BLT_MODE_EXTENSION;
    case mmio::TRANSPARENT_COLOUR: return gc::BLT_TRANSPARENT_COLOUR;
    case mmio::TRANSPARENT_COLOUR + 1: return gc::BLT_TRANSPARENT_COLOUR + 1;
    case mmio::TRANSPARENT_MASK: return gc::BLT_TRANSPARENT_MASK;
    case mmio::TRANSPARENT_MASK + 1: return gc::BLT_TRANSPARENT_MASK + 1;
    case mmio::STATUS: return gc::BLT_STATUS;
    default: return -1;
    }
}

}  // namespace

std::string describe(const BltOperation& op)
{
    char line[256];
    std::snprintf(line, sizeof line,
                  "blt mode=%02X rop=%02X ext=%02X width=%u height=%u dst=%06X dpitch=%u src=%06X spitch=%u "
                  "fg=%08X bg=%08X skip=%02X key=%04X",
                  op.mode, op.rop, op.modeExtension, op.width, op.height, op.dst, op.dstPitch, op.src, op.srcPitch,
                  op.foreground, op.background, op.leftSkip, op.transparentColour);
    return line;
}

CirrusBlt::CirrusBlt(std::span<uint8_t> videoMemory) : vram_(videoMemory) {}

bool CirrusBlt::ownsRegister(uint8_t index)
{
    return index == gc::BACKGROUND0 || index == gc::FOREGROUND0 ||
           (index >= gc::BACKGROUND1 && index <= gc::FOREGROUND3) ||
           (index >= gc::BLT_WIDTH && index <= gc::BLT_TRANSPARENT_COLOUR + 1) || index == gc::BLT_TRANSPARENT_MASK ||
           index == gc::BLT_TRANSPARENT_MASK + 1;
}

uint8_t CirrusBlt::readRegister(uint8_t index) const
{
    return ownsRegister(index) ? regs_[index] : 0xFF;
}

void CirrusBlt::writeRegister(uint8_t index, uint8_t value)
{
    if (!ownsRegister(index))
        return;
    switch (index) {
    case gc::BLT_WIDTH + 1:
    case gc::BLT_HEIGHT + 1:
    case gc::BLT_DST_PITCH + 1:
    case gc::BLT_SRC_PITCH + 1: value &= 0x1F; break;  // 13-bit fields
    case gc::BLT_DST_ADDRESS + 2:
    case gc::BLT_SRC_ADDRESS + 2: value &= 0x3F; break;  // 22-bit addresses
    case gc::BLT_STATUS: {
        const uint8_t before = regs_[gc::BLT_STATUS];
        regs_[gc::BLT_STATUS] = static_cast<uint8_t>((value & ~gc::BLT_STATUS_BUSY) | (before & gc::BLT_STATUS_BUSY));
        if ((before & gc::BLT_STATUS_RESET) && !(value & gc::BLT_STATUS_RESET))
            finish();  // a reset aborts what is pending
        else if (!(before & gc::BLT_STATUS_START) && (value & gc::BLT_STATUS_START))
            start();
        return;
    }
    default: break;
    }
    regs_[index] = value;
    if (index == gc::BLT_DST_ADDRESS + 2 && (regs_[gc::BLT_STATUS] & gc::BLT_STATUS_AUTOSTART))
        start();
}

uint8_t CirrusBlt::readMmio(uint8_t offset) const
{
    const int index = mmioRegister(offset);
    return index < 0 ? 0xFF : readRegister(static_cast<uint8_t>(index));
}

void CirrusBlt::writeMmio(uint8_t offset, uint8_t value)
{
    const int index = mmioRegister(offset);
    if (index >= 0)
        writeRegister(static_cast<uint8_t>(index), value);
}

BltOperation CirrusBlt::current() const
{
    const auto word = [this](uint8_t index) { return static_cast<uint32_t>(regs_[index] | (regs_[index + 1] << 8)); };
    const auto colour = [this](uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
        return static_cast<uint32_t>(regs_[b0] | (regs_[b1] << 8) | (regs_[b2] << 16) | (uint32_t(regs_[b3]) << 24));
    };
    BltOperation op;
    op.mode = regs_[gc::BLT_MODE];
    op.rop = regs_[gc::BLT_ROP];
    op.modeExtension = regs_[gc::BLT_MODE_EXTENSION];
    op.leftSkip = regs_[gc::BLT_LEFT_SKIP];
    op.width = word(gc::BLT_WIDTH) + 1;
    op.height = word(gc::BLT_HEIGHT) + 1;
    op.dstPitch = word(gc::BLT_DST_PITCH);
    op.srcPitch = word(gc::BLT_SRC_PITCH);
    op.dst = word(gc::BLT_DST_ADDRESS) | (regs_[gc::BLT_DST_ADDRESS + 2] << 16);
    op.src = word(gc::BLT_SRC_ADDRESS) | (regs_[gc::BLT_SRC_ADDRESS + 2] << 16);
    op.foreground = colour(gc::FOREGROUND0, gc::FOREGROUND1, gc::FOREGROUND2, gc::FOREGROUND3);
    op.background = colour(gc::BACKGROUND0, gc::BACKGROUND1, gc::BACKGROUND2, gc::BACKGROUND3);
    op.transparentColour = static_cast<uint16_t>(word(gc::BLT_TRANSPARENT_COLOUR));
    return op;
}

uint32_t CirrusBlt::hostBytesFor(const BltOperation& op)
{
    switch (kindOf(op)) {
    case Kind::Copy: return ((op.width + 3) & ~3u) * op.height;  // each line padded to a dword
    case Kind::Expand: return monoRowBytes(op, true) * op.height;
    case Kind::MonoPattern: return 8;
    case Kind::ColourPattern: return 8 * patternLineBytes(bytesPerPixel(op.mode));
    case Kind::Fill: return 0;
    }
    return 0;
}

void CirrusBlt::start()
{
    const BltOperation op = current();
    if (observer_)
        observer_(op);
    regs_[gc::BLT_STATUS] |= gc::BLT_STATUS_BUSY;
    if (op.mode & gc::BLT_MODE_DST_SYSTEM)
        return finish();  // screen to system memory: not offered
    host_.clear();
    hostBytesNeeded_ = 0;
    if (op.mode & gc::BLT_MODE_SRC_SYSTEM) {
        hostBytesNeeded_ = hostBytesFor(op);
        if (hostBytesNeeded_ != 0) {
            pending_ = op;  // runs as latched when its data is in
            return;
        }
    }
    execute(op, host_.data());
    finish();
}

namespace {
// The engine's rate: the reset MCLK (SR1F = 2Dh: 14.31818 MHz / 8 x 45 = 80.54 MHz) on the
// 64-bit memory that SR0F reports, one 8-byte word read and one written per two MCLK cycles,
// so 4 bytes of destination per MCLK cycle. A guest's own MCLK value does not change it: a
// zero there must not make work free.
constexpr uint64_t MCLK_HZ = 14'318'180ull * cirrus::seq::MCLK_RESET / 8;
constexpr uint64_t ENGINE_BYTES_PER_SECOND = MCLK_HZ * 4;
}  // namespace

void CirrusBlt::execute(const BltOperation& op, const uint8_t* hostSource)
{
    if (!run(op, hostSource) || !engineTime_)
        return;
    engineWork_ += uint64_t(op.width) * op.height * 1'000'000;
    const uint64_t micros = engineWork_ / ENGINE_BYTES_PER_SECOND;
    engineWork_ %= ENGINE_BYTES_PER_SECOND;
    if (micros)
        engineTime_(micros);
}

void CirrusBlt::finish()
{
    hostBytesNeeded_ = 0;
    host_.clear();
    regs_[gc::BLT_STATUS] &=
        static_cast<uint8_t>(~(gc::BLT_STATUS_BUSY | gc::BLT_STATUS_START | gc::BLT_STATUS_FIFO_USED));
}

void CirrusBlt::hostData(uint8_t value)
{
    if (!hostBytesNeeded_)
        return;
    host_.push_back(value);
    if (host_.size() < hostBytesNeeded_)
        return;
    execute(pending_, host_.data());
    finish();
}

bool CirrusBlt::run(const BltOperation& op, const uint8_t* hostSource)
{
    const Kind kind = kindOf(op);
    const bool fromHost = op.mode & gc::BLT_MODE_SRC_SYSTEM;
    const bool backwards = kind == Kind::Copy && (op.mode & gc::BLT_MODE_BACKWARDS);
    const bool transparent = op.mode & gc::BLT_MODE_TRANSPARENT;
    const unsigned bpp = bytesPerPixel(op.mode);
    const size_t size = vram_.size();
    uint8_t* vram = vram_.data();
    if (kind == Kind::Copy && transparent && bpp > 2)
        return false;  // no transparent copy at 24/32 bits
    if (!areaFits(op.dst, op.dstPitch, op.width, op.height, backwards, size))
        return false;

    // The source: where line y's data starts.
    const uint32_t lineBytes = patternLineBytes(bpp);
    const uint32_t monoRow = monoRowBytes(op, fromHost);
    const uint8_t* pattern = nullptr;
    if (kind == Kind::MonoPattern || kind == Kind::ColourPattern) {
        const uint32_t bytes = kind == Kind::MonoPattern ? 8 : 8 * lineBytes;
        if (fromHost) {
            pattern = hostSource;
        } else {
            const uint32_t base = op.src & ~(bytes - 1);  // video patterns sit on their own size
            if (base + bytes > size)
                return false;
            pattern = vram + base;
        }
    }
    if (!fromHost) {
        if (kind == Kind::Copy && !areaFits(op.src, op.srcPitch, op.width, op.height, backwards, size))
            return false;
        if (kind == Kind::Expand && uint64_t(op.src) + uint64_t(monoRow) * op.height > size)
            return false;
    }
    const uint32_t firstPatternLine = fromHost ? op.src & 7 : 0;
    const auto sourceRow = [&](uint32_t y) -> const uint8_t* {
        if (kind == Kind::Copy)
            return fromHost ? hostSource + size_t(y) * ((op.width + 3) & ~3u)
                            : vram + rowStart(op.src, op.srcPitch, op.width, y, backwards);
        return fromHost ? hostSource + size_t(y) * monoRow : vram + op.src + size_t(y) * monoRow;
    };

    const uint32_t width = op.width;
    rowSource_.resize(width);
    rowResult_.resize(width);
    rowMask_.resize(width);
    uint8_t fg[4], bg[4];
    std::memcpy(fg, &op.foreground, 4);
    std::memcpy(bg, &op.background, 4);

    // Expanded lines: the colour per pixel and whether it is written at all.
    const uint32_t pixels = width / bpp;
    const uint32_t skip = leftSkipBytes(op);
    const bool invert = transparent && (op.modeExtension & gc::BLT_MODE_EXTENSION_INVERT);
    const auto expandLine = [&](auto bitOf, auto colourOf) {
        std::memset(rowMask_.data(), 0, width);
        for (uint32_t x = 0; x < pixels; ++x) {
            const uint32_t at = x * bpp;
            const uint8_t* colour = colourOf(x, bitOf(x));
            if (at < skip || !colour)
                continue;
            std::memcpy(&rowSource_[at], colour, bpp);
            std::memset(&rowMask_[at], 1, bpp);
        }
    };
    const auto monoColour = [&](uint32_t, bool bit) -> const uint8_t* {
        if (!transparent)
            return bit ? fg : bg;
        if (invert)
            return bit ? nullptr : bg;
        return bit ? fg : nullptr;
    };
    const auto writeMasked = [&](uint8_t* d) {
        ropRow(op.rop, rowSource_.data(), d, rowResult_.data(), width);
        for (uint32_t i = 0; i < width; ++i)
            if (rowMask_[i])
                d[i] = rowResult_[i];
    };

    if (kind == Kind::Fill)
        expandLine([](uint32_t) { return true; }, [&](uint32_t, bool) { return fg; });
    const bool fillWhole = kind == Kind::Fill && skip == 0 && pixels * bpp == width;
    const uint16_t key = bpp == 1 ? op.transparentColour & 0xFF : op.transparentColour;

    // Whole screens and off-screen areas are usually one run of bytes: write it at once.
    const size_t area = size_t(width) * op.height;
    const bool oneRun = !backwards && op.dstPitch == width && op.rop == rop::SRC;
    if (fillWhole && op.rop == rop::SRC) {
        const ColourRun run(fg, bpp);
        if (oneRun) {
            run.fill(vram + op.dst, area);
            return true;
        }
        for (uint32_t y = 0; y < op.height; ++y)
            run.fill(vram + op.dst + size_t(y) * op.dstPitch, width);
        return true;
    }
    // Rows read whole before they are written give what one move gives, unless the
    // destination lies above the source inside it.
    if (oneRun && kind == Kind::Copy && !fromHost && !transparent && op.srcPitch == width &&
        (op.dst <= op.src || op.dst >= op.src + area)) {
        std::memmove(vram + op.dst, vram + op.src, area);
        return true;
    }

    for (uint32_t y = 0; y < op.height; ++y) {
        uint8_t* d = vram + rowStart(op.dst, op.dstPitch, width, y, backwards);
        switch (kind) {
        case Kind::Fill:
            if (fillWhole)
                ropRow(op.rop, rowSource_.data(), d, d, width);
            else
                writeMasked(d);
            break;
        case Kind::Copy: {
            const uint8_t* s = sourceRow(y);
            if (transparent) {
                // Pixels whose result equals the key are left alone.
                ropRow(op.rop, s, d, rowResult_.data(), width);
                for (uint32_t x = 0; x + bpp <= width; x += bpp) {
                    const uint16_t value =
                        bpp == 1 ? rowResult_[x] : uint16_t(rowResult_[x] | (rowResult_[x + 1] << 8));
                    if (value != key)
                        std::memcpy(d + x, &rowResult_[x], bpp);
                }
            } else if (op.rop == rop::SRC) {
                std::memmove(d, s, width);
            } else {
                std::memcpy(rowSource_.data(), s, width);  // the line is read whole before it is written
                ropRow(op.rop, rowSource_.data(), d, d, width);
            }
            break;
        }
        case Kind::Expand: {
            const uint8_t* bits = sourceRow(y);
            expandLine([&](uint32_t x) { return ((bits[x >> 3] >> (7 - (x & 7))) & 1) != 0; }, monoColour);
            writeMasked(d);
            break;
        }
        case Kind::MonoPattern: {
            const uint8_t bits = pattern[(firstPatternLine + y) & 7];
            expandLine([&](uint32_t x) { return ((bits >> (7 - (x & 7))) & 1) != 0; }, monoColour);
            writeMasked(d);
            break;
        }
        case Kind::ColourPattern: {
            const uint8_t* line = pattern + ((firstPatternLine + y) & 7) * lineBytes;
            expandLine([](uint32_t) { return true; },
                       [&](uint32_t x, bool) -> const uint8_t* { return line + (x & 7) * bpp; });
            writeMasked(d);
            break;
        }
        }
    }
    return true;
}

}  // namespace machine
