// Binary PPM files into pictures.
#include "qemu_pc/ppm.h"

#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace qemu_pc {
namespace {

// The next header number, skipping white space and comments.
bool headerNumber(const std::vector<uint8_t>& data, size_t& at, int& value)
{
    for (;;) {
        while (at < data.size() && std::isspace(data[at]))
            ++at;
        if (at < data.size() && data[at] == '#') {
            while (at < data.size() && data[at] != '\n')
                ++at;
            continue;
        }
        break;
    }
    if (at >= data.size() || !std::isdigit(data[at]))
        return false;
    value = 0;
    while (at < data.size() && std::isdigit(data[at]) && value < 100000)
        value = value * 10 + (data[at++] - '0');
    return true;
}

}  // namespace

bool readPpm(const std::string& file, pc::Picture& picture)
{
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 2 || data[0] != 'P' || data[1] != '6')
        return false;
    size_t at = 2;
    int width, height, maximum;
    if (!headerNumber(data, at, width) || !headerNumber(data, at, height) || !headerNumber(data, at, maximum) ||
        maximum != 255 || width <= 0 || height <= 0)
        return false;
    ++at;  // the one white-space byte before the pixels
    const size_t pixels = size_t(width) * size_t(height);
    if (data.size() < at + pixels * 3)
        return false;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(pixels);
    for (size_t i = 0; i < pixels; ++i, at += 3)
        picture.pixels[i] = uint32_t(data[at]) << 16 | uint32_t(data[at + 1]) << 8 | data[at + 2];
    return true;
}

}  // namespace qemu_pc
