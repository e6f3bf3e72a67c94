#include "desktop/shots.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>

#include <png.h>

namespace desktop {

void writePng(const std::string& path, const Picture& picture)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file)
        throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("cannot write " + path + ": out of memory");
    }
    std::vector<png_byte> row(size_t(picture.width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("cannot write " + path);
    }
    png_init_io(png, file.get());
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const uint32_t p = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
            row[size_t(x) * 3] = png_byte(p >> 16);
            row[size_t(x) * 3 + 1] = png_byte(p >> 8);
            row[size_t(x) * 3 + 2] = png_byte(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0)
        throw std::runtime_error("cannot write " + path);
}

namespace {

std::string escapeHtml(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace

ShotWriter::ShotWriter(std::string folder) : folder_(std::move(folder)) {}

void ShotWriter::named(const std::string& name, const std::string& caption, const Picture& picture,
                       const std::string& onScreen)
{
    const std::string file = name + ".png";
    writePng(folder_.empty() ? file : folder_ + "/" + file, picture);
    if (!folder_.empty())
        pending_.push_back({file, caption.empty() ? name : caption, onScreen});
}

void ShotWriter::snapped(const std::string& name, const std::string& caption, const Picture& picture,
                         const std::string& onScreen)
{
    const std::string file = name + ".png";
    writePng(folder_.empty() ? file : folder_ + "/" + file, picture);
    if (!folder_.empty())
        entries_.push_back({file, (caption.empty() ? name : caption) + " \u2014 " + onScreen});
}

void ShotWriter::automatic(const Picture& picture, const std::string& onScreen, const ScreenVerdict& verdict)
{
    if (folder_.empty())
        return;
    char file[32];
    std::snprintf(file, sizeof file, "%04d.png", ++counter_);
    writePng(folder_ + "/" + file, picture);
    // The names a script gave this wait say what the picture shows; the generic line stays.
    std::string caption;
    for (const Pending& shot : pending_)
        caption += (caption.empty() ? "" : ", ") + shot.caption;
    pending_.clear();
    Entry entry(file, caption.empty() ? onScreen : caption + " \u2014 " + onScreen);
    if (verdict.judged)
        entry.verdict = verdict.differs ? "differs: " + verdict.hint : "pass";
    if (verdict.differs) {
        entry.diffFile = std::string(file, 4) + "-diff.png";
        writePng(folder_ + "/" + entry.diffFile, verdict.diff);
    }
    entries_.push_back(entry);
}

std::string ShotWriter::finish()
{
    if (folder_.empty())
        return {};
    // Named shots no wait's picture followed (the program ended first) are listed themselves.
    for (const Pending& shot : pending_)
        entries_.push_back({shot.file, shot.caption + " \u2014 " + shot.onScreen});
    pending_.clear();
    const std::string path = folder_ + "/index.html";
    std::ofstream page(path);
    page << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Palisade run</title>\n"
            "<style>body{font-family:sans-serif;background:#eee}figure{display:inline-block;margin:1em;"
            "vertical-align:top}img{border:1px solid #888;max-width:100%}.pass{color:#060}.differs{color:#c00;"
            "font-weight:bold}</style></head><body>\n";
    for (const Entry& entry : entries_) {
        page << "<figure><img src=\"" << escapeHtml(entry.file) << "\" alt=\"" << escapeHtml(entry.caption)
             << "\"><figcaption>" << escapeHtml(entry.file) << ": " << escapeHtml(entry.caption);
        if (!entry.verdict.empty())
            page << "<br><span class=\"" << (entry.diffFile.empty() ? "pass" : "differs") << "\">verdict: "
                 << escapeHtml(entry.verdict) << "</span>";
        if (!entry.diffFile.empty())
            page << " <a href=\"" << escapeHtml(entry.diffFile) << "\">differing pixels</a>";
        page << "</figcaption></figure>\n";
    }
    page << "</body></html>\n";
    if (!page)
        throw std::runtime_error("cannot write " + path);
    return path;
}

}  // namespace desktop
