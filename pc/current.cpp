// The PC this process runs on.
#include "pc/pc.h"

namespace pc {
namespace {
Pc* currentPc = nullptr;
}  // namespace

Pc& current()
{
    if (!currentPc)
        throw MachineError("no machine is running");
    return *currentPc;
}
bool hasCurrent()
{
    return currentPc != nullptr;
}
void setCurrent(Pc* pc)
{
    currentPc = pc;
}

}  // namespace pc
