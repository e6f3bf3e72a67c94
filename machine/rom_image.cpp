#include "machine/rom_image.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "machine/machine.h"

namespace machine {
namespace {

constexpr size_t MAX_ROM_BYTES = 0x20000;  // C0000-DFFFF

}  // namespace

std::vector<uint8_t> loadVideoRom(const std::string& path, const std::string& package)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        const int error = errno;
        if (error == ENOENT && !package.empty())
            throw MachineError("video BIOS " + path + " is missing: install it with: apt-get install " + package);
        throw MachineError("cannot read video BIOS " + path + ": " + std::strerror(error));
    }
    std::vector<uint8_t> bytes;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + file.gcount());
        if (bytes.size() > MAX_ROM_BYTES)
            break;
    }
    if (bytes.size() < 512 || bytes.size() > MAX_ROM_BYTES)
        throw MachineError("video BIOS " + path + " is not a ROM image: " + std::to_string(bytes.size()) +
                           " bytes, expected 512 bytes to 128 KB");
    if (bytes[0] != 0x55 || bytes[1] != 0xAA)
        throw MachineError("video BIOS " + path + " is not a ROM image: no 55AA signature");
    const size_t declared = bytes[2] * 512u;
    if (declared == 0 || declared > bytes.size())
        throw MachineError("video BIOS " + path + " declares " + std::to_string(declared) + " bytes but holds " +
                           std::to_string(bytes.size()));
    bytes.resize(declared);
    uint8_t sum = 0;
    for (uint8_t b : bytes)
        sum = static_cast<uint8_t>(sum + b);
    if (sum != 0)
        throw MachineError("video BIOS " + path + " has a bad checksum: the image is damaged");
    return bytes;
}

}  // namespace machine
