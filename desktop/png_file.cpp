// PNG encoding of the run's pictures.
#include "desktop/png_file.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include "desktop/new_file.h"

namespace desktop {

namespace {

// The picture as a PNG's rows: each row a filter byte (0: none) and its pixels, as palette
// indices when it has at most 256 colours (counted from the pixels, not the mode, since the
// cursor and the text's edges add colours of their own), else as RGB.
struct Rows {
    std::vector<uint32_t> palette;  // empty: RGB rows
    std::vector<uint8_t> bytes;
};

// Indexes the picture in one pass; false as soon as a 257th colour turns up.
bool indexColours(const Picture& picture, Rows& out)
{
    // Open addressing over 1024 slots (a quarter full at most). Rows like the one above, and
    // runs of one colour, which most of a screen is, skip the lookup.
    constexpr uint32_t kSlots = 1024;
    constexpr uint64_t kEmpty = ~uint64_t(0);
    typedef uint32_t Four __attribute__((vector_size(16)));
    std::array<uint64_t, kSlots> slots;  // colour << 8 | index
    slots.fill(kEmpty);
    const size_t width = size_t(picture.width);
    out.palette.clear();
    out.bytes.resize((width + 1) * size_t(picture.height));
    const Four mask = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    uint32_t last = picture.pixels[0] & 0xFFFFFF;
    Four lastFour = {last, last, last, last};
    uint8_t lastIndex = 0;
    out.palette.push_back(last);
    slots[(last * 2654435761u) >> 22] = uint64_t(last) << 8;
    for (size_t y = 0; y < size_t(picture.height); ++y) {
        const uint32_t* pixel = picture.pixels.data() + y * width;
        uint8_t* row = out.bytes.data() + y * (width + 1);
        *row++ = 0;
        if (y > 0 && std::memcmp(pixel, pixel - width, width * sizeof *pixel) == 0) {
            std::memcpy(row, row - (width + 1), width);  // the row above again, as flat areas are
            continue;
        }
        size_t x = 0;
        while (x < width) {
            if (x + 4 <= width) {
                Four four;
                std::memcpy(&four, pixel + x, sizeof four);
                const Four same = (four & mask) == lastFour;
                if ((same[0] & same[1] & same[2] & same[3]) != 0) {
                    std::memset(row + x, lastIndex, 4);
                    x += 4;
                    continue;
                }
            }
            const uint32_t colour = pixel[x] & 0xFFFFFF;
            if (colour != last) {
                uint32_t slot = (colour * 2654435761u) >> 22;
                while (slots[slot] != kEmpty && uint32_t(slots[slot] >> 8) != colour)
                    slot = (slot + 1) & (kSlots - 1);
                if (slots[slot] == kEmpty) {
                    if (out.palette.size() == 256)
                        return false;
                    slots[slot] = uint64_t(colour) << 8 | out.palette.size();
                    out.palette.push_back(colour);
                }
                last = colour;
                lastFour = Four{last, last, last, last};
                lastIndex = uint8_t(slots[slot]);
            }
            row[x++] = lastIndex;
        }
    }
    return true;
}

void rgbRows(const Picture& picture, Rows& out)
{
    const size_t width = size_t(picture.width);
    out.palette.clear();
    out.bytes.resize((width * 3 + 1) * size_t(picture.height));
    for (size_t y = 0; y < size_t(picture.height); ++y) {
        const uint32_t* pixel = picture.pixels.data() + y * width;
        uint8_t* row = out.bytes.data() + y * (width * 3 + 1);
        *row++ = 0;
        for (size_t x = 0; x < width; ++x) {
            row[x * 3] = uint8_t(pixel[x] >> 16);
            row[x * 3 + 1] = uint8_t(pixel[x] >> 8);
            row[x * 3 + 2] = uint8_t(pixel[x]);
        }
    }
}

void put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

// One chunk: its length, type, data and the CRC-32 of type and data.
void chunk(std::vector<uint8_t>& png, const char (&type)[5], const uint8_t* data, size_t size)
{
    put32(png, uint32_t(size));
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data, data + size);
    put32(png, crc32_gzip_refl(crc32_gzip_refl(0, reinterpret_cast<const uint8_t*>(type), 4), data, size));
}

// The last zlib stream, in a buffer kept from picture to picture.
thread_local std::unique_ptr<uint8_t[]> deflated;
thread_local size_t deflatedRoom = 0;

// The rows as a zlib stream into `deflated`; its length. ISA-L's level 1 deflates the run's
// screens (flat areas and sharp edges, which deflate finds as repeats without a row filter) in
// half the time libdeflate takes at its fastest useful level, into files a fifth larger.
size_t deflateRows(const std::vector<uint8_t>& rows)
{
    // Room for stored blocks and then some: a stream that does not fit is an error, not a
    // short file. Left uninitialised, so only the pages the stream fills are touched.
    const size_t room = rows.size() + rows.size() / 8 + 4096;
    if (deflatedRoom < room) {
        deflated.reset(new uint8_t[room]);
        deflatedRoom = room;
    }
    static thread_local std::vector<uint8_t> levelBuffer(ISAL_DEF_LVL1_DEFAULT);
    isal_zstream stream;
    isal_deflate_stateless_init(&stream);
    stream.level = 1;
    stream.level_buf = levelBuffer.data();
    stream.level_buf_size = uint32_t(levelBuffer.size());
    stream.gzip_flag = IGZIP_ZLIB;
    stream.end_of_stream = 1;
    stream.flush = NO_FLUSH;
    stream.next_in = const_cast<uint8_t*>(rows.data());
    stream.avail_in = uint32_t(rows.size());
    stream.next_out = deflated.get();
    stream.avail_out = uint32_t(deflatedRoom);
    if (isal_deflate_stateless(&stream) != COMP_OK)
        throw std::runtime_error("the picture could not be compressed");
    return stream.total_out;
}

void encodePng(FILE* file, const Picture& picture)
{
    // Kept from picture to picture: a fresh buffer of a screen's size costs its page faults.
    if (picture.width <= 0 || picture.height <= 0)
        throw std::runtime_error("the picture is empty");
    static thread_local Rows rows;
    static thread_local std::vector<uint8_t> png;
    if (!indexColours(picture, rows))
        rgbRows(picture, rows);
    const size_t deflatedSize = deflateRows(rows.bytes);

    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png.assign(signature, signature + 8);
    std::vector<uint8_t> header;
    put32(header, uint32_t(picture.width));
    put32(header, uint32_t(picture.height));
    // 8 bits, colour type 3 (palette) or 2 (RGB), deflate, no filter method beyond 0, no interlace.
    header.insert(header.end(), {8, uint8_t(rows.palette.empty() ? 2 : 3), 0, 0, 0});
    chunk(png, "IHDR", header.data(), header.size());
    if (!rows.palette.empty()) {
        std::vector<uint8_t> entries;
        for (const uint32_t colour : rows.palette)
            entries.insert(entries.end(), {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour)});
        chunk(png, "PLTE", entries.data(), entries.size());
    }
    chunk(png, "IDAT", deflated.get(), deflatedSize);
    chunk(png, "IEND", nullptr, 0);
    if (std::fwrite(png.data(), 1, png.size(), file) != png.size())
        throw std::runtime_error("the picture could not be written");
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
