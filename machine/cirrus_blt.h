// The GD5446 BitBLT engine: its registers (the colour registers GR00/01 and GR10-15, GR20-39,
// and the same in the memory-mapped block) and the operations it runs on video memory. Each
// operation runs whole the moment it starts; one with a system-memory source runs when its
// last byte of data has arrived.
//
// An operation is latched when it starts, as the chip latches it: register writes while a
// system-memory source waits for its data change the next operation, not this one, so the
// data buffer always holds exactly what the latched operation reads. Bytes past its need are
// dropped; a reset (GR31 bit 2 going from 1 to 0) abandons it, and a new start (bit 1 going
// from 0 to 1) replaces it.
//
// What the engine does, where the register documents and the chip's emulators disagree:
// - ROP 90h is NOR and DAh is NAND, as the register documents name them.
// - Transparent copies compare the ROP result with the key (GR34/35), at 8 and 16 bits only.
// - GR33 bit 0 pads each system-memory mono row to 32 bits.
// - Backwards runs only plain copies backwards; patterns and colour expansion always run forwards.
// - A destination or video source that does not lie whole in video memory refuses the operation.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace machine {

// The parameters of one operation as it started, for logs.
struct BltOperation {
    uint8_t mode = 0, rop = 0, modeExtension = 0, leftSkip = 0;
    uint32_t width = 0, height = 0;  // width in bytes, height in lines
    uint32_t dstPitch = 0, srcPitch = 0;
    uint32_t dst = 0, src = 0;
    uint32_t foreground = 0, background = 0;
    uint16_t transparentColour = 0;
};

// One line: "blt mode=C0 rop=0D ext=04 width=640 height=480 dst=000000 dpitch=640 ...".
std::string describe(const BltOperation& operation);

class CirrusBlt {
public:
    explicit CirrusBlt(std::span<uint8_t> videoMemory);

    // Graphics-controller indices: GR00/01 (colour byte 0), GR10-15, GR20-35 and GR38/39.
    static bool ownsRegister(uint8_t index);
    uint8_t readRegister(uint8_t index) const;
    void writeRegister(uint8_t index, uint8_t value);

    // The 256-byte memory-mapped block; offsets that name no register read FFh.
    uint8_t readMmio(uint8_t offset) const;
    void writeMmio(uint8_t offset, uint8_t value);

    // A started operation with a system-memory source takes its data byte by byte.
    bool awaitingHostData() const { return hostBytesNeeded_ != 0; }
    void hostData(uint8_t value);
    // The pending operation as it was latched, for the checks (meaningful while awaiting data).
    const BltOperation& pending() const { return pending_; }

    // Called with each operation the engine starts.
    void setObserver(std::function<void(const BltOperation&)> observer) { observer_ = std::move(observer); }
    // Called with the machine time, in microseconds, that the operations drawn took the engine
    // (at the rate in cirrus_blt.cpp; fractions carry over to the next operation).
    void setEngineTime(std::function<void(uint64_t micros)> engineTime) { engineTime_ = std::move(engineTime); }

private:
    struct Layout;

    BltOperation current() const;
    void start();
    void finish();
    void execute(const BltOperation& op, const uint8_t* hostSource);
    bool run(const BltOperation& op, const uint8_t* hostSource);  // false: refused, nothing drawn
    static uint32_t hostBytesFor(const BltOperation& op);

    std::span<uint8_t> vram_;
    std::array<uint8_t, 0x40> regs_{};
    BltOperation pending_;  // the operation waiting for system-memory data
    std::vector<uint8_t> host_;
    uint32_t hostBytesNeeded_ = 0;
    std::vector<uint8_t> rowSource_, rowResult_, rowMask_;
    std::function<void(const BltOperation&)> observer_;
    std::function<void(uint64_t)> engineTime_;
    uint64_t engineWork_ = 0;  // bytes x 1 000 000 not yet charged as a whole microsecond
};

}  // namespace machine
