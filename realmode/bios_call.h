// A BIOS interrupt with the whole register file, for services that answer in registers the
// RM_ call records do not carry (int 10h AX=1130h answers with a far pointer in ES:BP). The
// display library fetches the ROM font with it; it is not written to the call log, which
// lists the program's own calls.
#pragma once

#include <cstdint>

namespace realmode {

struct BiosRegs {
    uint16_t ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0, bp = 0;
    uint16_t ds = 0, es = 0;
    bool carry = false;
};

// True when the interrupt ran to its end; the registers are what it left there.
bool biosInterrupt(uint8_t number, BiosRegs& regs);

}  // namespace realmode
