#include "checks/support/picture.h"

#include <png.h>

#include <stdexcept>

namespace harness {

Picture readPng(const std::string& path, std::string& error)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = "cannot read " + path + ": " + image.message;
        return picture;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        error = "cannot decode " + path + ": " + image.message;
        png_image_free(&image);
        return picture;
    }
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return picture;
}

Picture readPng(const std::string& path)
{
    std::string error;
    Picture picture = readPng(path, error);
    if (!error.empty())
        throw std::runtime_error(error);
    return picture;
}

int notWhiteOnBorder(const Picture& picture)
{
    int notWhite = 0;
    for (int x = 0; x < picture.width; ++x)
        notWhite += !isWhite(picture.at(x, 0)) + !isWhite(picture.at(x, picture.height - 1));
    for (int y = 0; y < picture.height; ++y)
        notWhite += !isWhite(picture.at(0, y)) + !isWhite(picture.at(picture.width - 1, y));
    return notWhite;
}

}  // namespace harness
