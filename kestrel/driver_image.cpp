#include "kestrel/driver_image.h"

#include <algorithm>
#include <stdexcept>

namespace kestrel {

// Assembled from kestrel.asm with each back end (embed_image.cmake).
std::span<const uint8_t> assembledDispiImage();
std::span<const uint8_t> assembledCirrusImage();

std::span<const uint8_t> assembledImage(uint16_t hardwareCode)
{
    return hardwareCode == HARDWARE_GD5446 ? assembledCirrusImage() : assembledDispiImage();
}

std::size_t largestImageBytes()
{
    return std::max(assembledDispiImage().size(), assembledCirrusImage().size());
}

namespace {
void requireRoom(std::size_t imageSize, std::size_t offset, std::size_t width)
{
    if (offset + width > imageSize)
        throw std::out_of_range("driver image field beyond the end of the image");
}
}  // namespace

uint16_t readWord(std::span<const uint8_t> image, std::size_t offset)
{
    requireRoom(image.size(), offset, 2);
    return static_cast<uint16_t>(image[offset] | image[offset + 1] << 8);
}

uint32_t readDword(std::span<const uint8_t> image, std::size_t offset)
{
    return readWord(image, offset) | static_cast<uint32_t>(readWord(image, offset + 2)) << 16;
}

void writeWord(std::vector<uint8_t>& image, std::size_t offset, uint16_t value)
{
    requireRoom(image.size(), offset, 2);
    image[offset] = static_cast<uint8_t>(value);
    image[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void writeDword(std::vector<uint8_t>& image, std::size_t offset, uint32_t value)
{
    writeWord(image, offset, static_cast<uint16_t>(value));
    writeWord(image, offset + 2, static_cast<uint16_t>(value >> 16));
}

std::string readString(std::span<const uint8_t> image, std::size_t offset, std::size_t size)
{
    requireRoom(image.size(), offset, size);
    std::string text;
    for (std::size_t i = 0; i < size && image[offset + i] != 0; ++i)
        text += static_cast<char>(image[offset + i]);
    return text;
}

std::size_t checksumOffset(std::span<const uint8_t> image)
{
    requireRoom(image.size(), field::LOAD_SEGMENT + 2, 4);
    return image.size() - 4;
}

uint32_t imageChecksum(std::span<const uint8_t> image)
{
    const std::size_t end = checksumOffset(image);
    const std::size_t ranges[][2] = {{0, field::OLD_INT10},
                                     {field::OLD_INT2F + 4, field::TOTAL_64K},
                                     {field::TOTAL_64K + 2, field::LOAD_SEGMENT},
                                     {field::LOAD_SEGMENT + 2, end}};
    uint32_t hash = 2166136261u;
    for (const auto& [first, last] : ranges)
        for (std::size_t i = first; i < last; ++i)
            hash = (hash ^ image[i]) * 16777619u;
    return hash;
}

void patchForLoad(std::vector<uint8_t>& image, uint32_t oldInt10, uint32_t oldInt2f, uint16_t segment)
{
    writeDword(image, field::OLD_INT10, oldInt10);
    writeDword(image, field::OLD_INT2F, oldInt2f);
    writeWord(image, field::TOTAL_64K, static_cast<uint16_t>(readWord(image, field::MEMORY_KB) >> 6));
    writeWord(image, field::LOAD_SEGMENT, segment);
}

}  // namespace kestrel
