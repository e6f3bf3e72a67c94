// Machine descriptions (presets and machine files) and the PC each one names, booted on the
// engine it names: the virtual PC or QEMU's. The only place that knows both engines.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pc/pc.h"

namespace engine {

std::vector<std::string> presetNames();
pc::MachineConfig presetConfig(const std::string& name);       // throws pc::MachineError
pc::MachineConfig loadMachine(const std::string& nameOrFile);  // preset name or file path

// Boots the PC, its card register accesses going to `ioLog` when one is given; throws
// pc::MachineError with one line when it cannot.
std::unique_ptr<pc::Pc> boot(const pc::MachineConfig& config, pc::Clock& clock,
                             std::function<void(const std::string&)> ioLog = {});

}  // namespace engine
