// PNG encoding of the run's pictures.
#include "desktop/png_file.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <csetjmp>
#include <new>
#include <stdexcept>
#include <vector>

#include <png.h>

#include "desktop/new_file.h"

namespace desktop {

namespace {

// The colours of a picture of at most 256 of them, and each pixel as its index: what an
// indexed PNG holds. Screens of palette modes, the desktop and most test screens fit; the
// count is taken from the pixels, not the mode, since the cursor and the text's edges add
// colours of their own.
struct Indexed {
    std::vector<uint32_t> colours;
    std::vector<uint8_t> pixels;
};

// Indexes the picture in one pass; false as soon as a 257th colour turns up.
bool indexColours(const Picture& picture, Indexed& out)
{
    // Open addressing over 1024 slots (a quarter full at most); runs of one colour, which
    // most of a screen is, skip the lookup.
    constexpr uint32_t kSlots = 1024;
    constexpr uint64_t kEmpty = ~uint64_t(0);
    std::array<uint64_t, kSlots> slots;  // colour << 8 | index
    slots.fill(kEmpty);
    out.colours.clear();
    out.pixels.resize(picture.pixels.size());
    uint32_t last = 0;
    uint8_t lastIndex = 0;
    bool haveLast = false;
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const uint32_t colour = picture.pixels[i] & 0xFFFFFF;
        if (!haveLast || colour != last) {
            uint32_t slot = (colour * 2654435761u) >> 22;
            while (slots[slot] != kEmpty && uint32_t(slots[slot] >> 8) != colour)
                slot = (slot + 1) & (kSlots - 1);
            if (slots[slot] == kEmpty) {
                if (out.colours.size() == 256)
                    return false;
                slots[slot] = uint64_t(colour) << 8 | out.colours.size();
                out.colours.push_back(colour);
            }
            last = colour;
            lastIndex = uint8_t(slots[slot]);
            haveLast = true;
        }
        out.pixels[i] = lastIndex;
    }
    return true;
}

void encodePng(FILE* file, const Picture& picture)
{
    // Kept from picture to picture: a fresh buffer of a screen's size costs its page faults.
    static thread_local Indexed indexed;
    const bool palette = indexColours(picture, indexed);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::bad_alloc();
    }
    std::vector<png_byte> row(palette ? 0 : size_t(picture.width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("the picture could not be encoded");
    }
    png_init_io(png, file);
    // Screens are flat areas and sharp edges, which deflate finds as repeats without a row
    // filter: unfiltered, the demo's 55 pictures come out no larger (840 KB, against 847 KB
    // with libpng's adaptive filters) for half the encoding time.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    // Level 3: on the demo's screens a quarter less CPU than level 6 for files a third
    // larger (1.06 MB against 0.77 MB for its 250 pictures), about what 24-bit rows at level 6
    // used to give.
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), 8,
                 palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (palette) {
        std::vector<png_color> entries(indexed.colours.size());
        for (size_t i = 0; i < entries.size(); ++i)
            entries[i] = {png_byte(indexed.colours[i] >> 16), png_byte(indexed.colours[i] >> 8),
                          png_byte(indexed.colours[i])};
        png_set_PLTE(png, info, entries.data(), int(entries.size()));
    }
    png_write_info(png, info);
    for (int y = 0; y < picture.height; ++y) {
        if (palette) {
            png_write_row(png, indexed.pixels.data() + size_t(y) * size_t(picture.width));
            continue;
        }
        const uint32_t* pixel = picture.pixels.data() + size_t(y) * size_t(picture.width);
        for (size_t x = 0; x < size_t(picture.width); ++x) {
            row[x * 3] = png_byte(pixel[x] >> 16);
            row[x * 3 + 1] = png_byte(pixel[x] >> 8);
            row[x * 3 + 2] = png_byte(pixel[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
}

void writeInto(File file, const std::string& path, const Picture& picture)
{
    int failure = 0;
    try {
        errno = 0;
        encodePng(file.get(), picture);
    } catch (const std::runtime_error&) {
        failure = errno != 0 ? errno : -1;  // the write that failed left its reason
    }
    closeFile(std::move(file), path, failure);
}

}  // namespace

void writePng(const std::string& path, const Picture& picture)
{
    writeInto(createFile(path), path, picture);
}

std::string writeNumberedPng(const std::string& folder, const std::string& stem, const Picture& picture)
{
    for (int number = 1; number <= 9999; ++number) {
        char name[16];
        std::snprintf(name, sizeof name, "-%04d.png", number);
        const std::string path = folder + "/" + stem + name;
        if (File file = createFileIfNew(path)) {
            writeInto(std::move(file), path, picture);
            return path;
        }
    }
    throw std::runtime_error("cannot write " + folder + "/" + stem + "-NNNN.png: every number is taken");
}

}  // namespace desktop
