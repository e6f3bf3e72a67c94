#include "checks/accelsuite_e2e/screen_shot.h"

#include <png.h>

#include <cstring>

namespace accele2e {

ScreenShot loadScreenShot(const std::string& path, std::string& error)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ScreenShot shot;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = path + ": " + image.message;
        return shot;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        error = path + ": " + image.message;
        png_image_free(&image);
        return shot;
    }
    shot.width = static_cast<int>(image.width);
    shot.height = static_cast<int>(image.height);
    shot.pixels.resize(static_cast<size_t>(shot.width) * shot.height);
    for (size_t i = 0; i < shot.pixels.size(); ++i)
        shot.pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return shot;
}

}  // namespace accele2e
