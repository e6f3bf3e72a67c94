// A PC reached through Palisade's agent over a byte link: an emulator Palisade starts with
// the agent inside (a client), or any PC the machine description's `link` reaches.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "pc/pc.h"

namespace agent_pc {

// Starts the description's client (or opens its link), waits for the agent and reads the
// PC's memory; throws pc::MachineError with one line when it cannot, and then no emulator
// process is left.
std::unique_ptr<pc::Pc> bootAgentPc(const pc::MachineConfig& config, pc::Clock& clock,
                                    std::function<void(const std::string&)> ioLog);

}  // namespace agent_pc
