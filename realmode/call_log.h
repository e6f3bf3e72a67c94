// The VBE call log: one line for every interrupt issued through RM_int86 or RM_int86x,
//   INT 10 in AX=4F02 BX=4101 CX=0000 DX=0000 ES=0000 DI=0000 out AX=004F BX=4101 CX=0000 DX=0000 instr=3851
// (hexadecimal, four digits; instr is the number of emulated instructions the call ran).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/realmode.h"

namespace realmode {

// Where the lines go; null switches the log off. The file stays the caller's.
void setCallLog(std::FILE* file);

// Where each interrupt is marked as it enters and as it returns, for the io log:
//   # INT 10 enters: AX=4F02 BX=4101 CX=0000 DX=0000 ES=0000 DI=0000 (vbe-log line 57)
//   # INT 10 returns: AX=004F BX=4101 CX=0000 DX=0000 (vbe-log line 57)
// with the line the call has in the call log when one is kept. Empty switches the marks off.
void setCallMarks(std::function<void(const std::string&)> marks);

// One line of the log, without its newline.
std::string formatCallLine(int interrupt, const RealModeRegs& in, uint16_t es, const RealModeRegs& out,
                           uint64_t instructions);

}  // namespace realmode
