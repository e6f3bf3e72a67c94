// The io log as an emulator developer reads it: each access to a card register named as the
// chip's documents name it ("SEQ[07] write 01", "DISPI ENABLE write 0041", "GR31 write 02 (BLT
// start)"), from the machine's raw lines ("port write 03C4 word 0107").
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

namespace machine {

class IoLogNamer {
public:
    // `card` is the machine's card type ("stdvga" or "cirrus"); named lines go to `out`.
    IoLogNamer(const std::string& card, std::function<void(const std::string&)> out);

    // One raw line of the machine's io log. An index write is held back and joined with the
    // data access that follows it; a run of input status reads (a polling loop, whose values
    // alternate as the beam moves) is one line with its count, the values seen and the last;
    // a line that is not a register access passes unchanged.
    void take(const std::string& raw);

    // Writes what is still held back.
    void flush();

private:
    struct Access;
    enum class Block : uint8_t { None, Seq, Gr, Cr, Attr, Dispi };

    std::string name(const Access& access);
    std::string indexed(Block block, const Access& access, bool data);
    std::string dac(const Access& access);
    std::string mmio(const Access& access) const;
    void hold(Block block, const std::string& line);

    bool cirrus_;
    std::function<void(const std::string&)> out_;
    uint8_t seqIndex_ = 0, grIndex_ = 0, crIndex_ = 0, attrIndex_ = 0;
    uint16_t dispiIndex_ = 0;
    bool attrWantsIndex_ = true;  // the attribute controller's flip-flop
    uint8_t dacWriteIndex_ = 0, dacReadIndex_ = 0;
    int dacWriteComponent_ = 0, dacReadComponent_ = 0;
    Block held_ = Block::None;  // whose index write is held back
    std::string heldLine_;
    uint64_t statusReads_ = 0;  // the run of input status reads held back
    uint32_t statusSeen_[8] = {};  // a bit for each value read in the run
    uint8_t statusLast_ = 0;
};

}  // namespace machine
