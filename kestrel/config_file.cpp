#include "kestrel/config_file.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <map>
#include <sstream>

#include "kestrel/driver_image.h"

namespace kestrel {

namespace {

std::string hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

uint32_t parseNumber(const std::string& key, const std::string& value, int base, uint32_t max, int line)
{
    uint32_t number = 0;
    const char* end = value.data() + value.size();
    auto [stop, error] = std::from_chars(value.data(), end, number, base);
    if (value.empty() || error != std::errc() || stop != end || number > max)
        throw ConfigError("KSCONFIG.DAT line " + std::to_string(line) + ": bad value \"" + value + "\" for " + key);
    return number;
}

const char* const FAMILY_NAMES[] = {"none", "dispi", "cirrus"};

const char* familyName(uint16_t family)
{
    return family < std::size(FAMILY_NAMES) ? FAMILY_NAMES[family] : "none";
}

}  // namespace

std::string formatConfig(const CardAnalysis& card)
{
    std::ostringstream out;
    out << "# Kestrel Video Core 5.2 card analysis, written by KSWIN.EXE\n";
    out << "machine: " << card.machine << "\n";
    out << "found: " << card.found << "\n";
    out << "hardware-code: " << card.hardwareCode << "\n";
    out << "chip-family: " << familyName(card.chipFamily) << "\n";
    out << "pci-id: "
        << (card.pciDevice < 0 ? std::string("none") : hex(card.pciVendor, 4) + ":" + hex(card.pciDeviceId, 4)) << "\n";
    out << "cirrus-cr27: " << hex(card.cirrusId, 2) << "\n";
    out << "dispi-id: " << hex(card.dispiId, 4) << "\n";
    out << "video-memory-kb: " << card.videoMemoryKb << "\n";
    if (card.pciDevice < 0)
        out << "pci-device: none\n";
    else
        out << "pci-device: 00:" << hex(card.pciDevice >> 3, 2) << "." << (card.pciDevice & 7) << "\n";
    out << "lfb-address: " << (card.lfbAddress ? hex(card.lfbAddress, 8) : std::string("none")) << "\n";
    return out.str();
}

CardAnalysis parseConfig(const std::string& text)
{
    CardAnalysis card;
    std::map<std::string, bool> seen;
    std::istringstream in(text);
    std::string raw;
    int line = 0;
    while (std::getline(in, raw)) {
        ++line;
        const std::string content = trim(raw);
        if (content.empty() || content[0] == '#')
            continue;
        const auto colon = content.find(':');
        if (colon == std::string::npos)
            throw ConfigError("KSCONFIG.DAT line " + std::to_string(line) + ": expected \"key: value\"");
        const std::string key = trim(content.substr(0, colon));
        const std::string value = trim(content.substr(colon + 1));
        if (seen[key])
            throw ConfigError("KSCONFIG.DAT line " + std::to_string(line) + ": " + key + " given twice");
        seen[key] = true;
        if (key == "machine") {
            card.machine = value;
        } else if (key == "hardware-code") {
            card.hardwareCode = static_cast<uint16_t>(parseNumber(key, value, 10, 0xFFFF, line));
        } else if (key == "found") {
            card.found = value;
        } else if (key == "chip-family") {
            const auto name = std::find(std::begin(FAMILY_NAMES), std::end(FAMILY_NAMES), value);
            if (name == std::end(FAMILY_NAMES))
                throw ConfigError("KSCONFIG.DAT line " + std::to_string(line) + ": bad value \"" + value +
                                  "\" for chip-family (none, dispi or cirrus)");
            card.chipFamily = static_cast<uint16_t>(name - std::begin(FAMILY_NAMES));
        } else if (key == "pci-id") {
            if (value != "none") {
                if (value.size() != 9 || value[4] != ':')
                    throw ConfigError("KSCONFIG.DAT line " + std::to_string(line) + ": bad value \"" + value +
                                      "\" for pci-id (vvvv:dddd or none)");
                card.pciVendor = static_cast<uint16_t>(parseNumber(key, value.substr(0, 4), 16, 0xFFFF, line));
                card.pciDeviceId = static_cast<uint16_t>(parseNumber(key, value.substr(5, 4), 16, 0xFFFF, line));
            }
        } else if (key == "cirrus-cr27") {
            card.cirrusId = static_cast<uint8_t>(parseNumber(key, value, 16, 0xFF, line));
        } else if (key == "dispi-id") {
            card.dispiId = static_cast<uint16_t>(parseNumber(key, value, 16, 0xFFFF, line));
        } else if (key == "video-memory-kb") {
            card.videoMemoryKb = parseNumber(key, value, 10, 0xFFFFFF, line);
        } else if (key == "pci-device") {
            if (value == "none") {
                card.pciDevice = -1;
            } else if (value.size() == 7 && value.compare(0, 3, "00:") == 0 && value[5] == '.') {
                const uint32_t device = parseNumber(key, value.substr(3, 2), 16, 31, line);
                const uint32_t function = parseNumber(key, value.substr(6, 1), 10, 7, line);
                card.pciDevice = static_cast<int>(device << 3 | function);
            } else {
                throw ConfigError("KSCONFIG.DAT line " + std::to_string(line) + ": bad value \"" + value +
                                  "\" for pci-device (00:dd.f or none)");
            }
        } else if (key == "lfb-address") {
            card.lfbAddress = value == "none" ? 0 : parseNumber(key, value, 16, 0xFFFFFFFF, line);
        } else {
            throw ConfigError("KSCONFIG.DAT line " + std::to_string(line) + ": unknown key \"" + key + "\"");
        }
    }
    for (const char* key : {"hardware-code", "dispi-id", "video-memory-kb"})
        if (!seen[key])
            throw ConfigError(std::string("KSCONFIG.DAT: ") + key + " is missing");
    return card;
}

}  // namespace kestrel
