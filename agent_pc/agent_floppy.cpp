// The agent's floppy image, as the emulators Palisade starts boot it.
#include <algorithm>
#include <fstream>
#include <vector>

#include "agent/boot_image.h"
#include "agent_pc/client.h"

namespace agent_pc {

void writeAgentFloppy(const std::string& path)
{
    const std::span<const uint8_t> image = agent::bootImage();
    std::vector<char> floppy(agent::FLOPPY_BYTES, 0);
    std::copy(image.begin(), image.end(), floppy.begin());
    std::ofstream file(path, std::ios::binary);
    file.write(floppy.data(), std::streamsize(floppy.size()));
    if (!file.flush())
        throw pc::MachineError("cannot write the agent's floppy image " + path);
}

}  // namespace agent_pc
