// Machine descriptions and the engines that boot them.
#include "engine/boot.h"

#include "agent_pc/agent_pc.h"
#include "machine/machine.h"
#include "qemu_pc/qemu_pc.h"

namespace engine {

std::vector<std::string> presetNames()
{
    return machine::presetNames();
}

pc::MachineConfig presetConfig(const std::string& name)
{
    return machine::presetConfig(name);
}

pc::MachineConfig loadMachine(const std::string& nameOrFile)
{
    return machine::loadMachine(nameOrFile);
}

std::unique_ptr<pc::Pc> boot(const pc::MachineConfig& config, pc::Clock& clock,
                             std::function<void(const std::string&)> ioLog)
{
    if (config.engine == pc::Engine::Qemu)
        return qemu_pc::bootQemu(config, clock, std::move(ioLog));
    if (config.engine == pc::Engine::Agent)
        return agent_pc::bootAgentPc(config, clock, std::move(ioLog));
    return std::make_unique<machine::Machine>(config, clock, std::move(ioLog));
}

}  // namespace engine
