#include "desktop/shots.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include <unistd.h>

#include "desktop/new_file.h"
#include "desktop/png_file.h"

namespace desktop {

namespace {

// FNV-1a over the size and the pixels, four independent lanes of two pixels each so that
// the multiplications overlap, folded at the end.
uint64_t pictureHash(const Picture& picture)
{
    constexpr uint64_t prime = 1099511628211ull;
    uint64_t lanes[4] = {14695981039346656037ull, 1, 2, 3};
    lanes[0] = (lanes[0] ^ (uint64_t(picture.width) << 32 | uint32_t(picture.height))) * prime;
    const uint32_t* pixel = picture.pixels.data();
    const size_t count = picture.pixels.size();
    size_t i = 0;
    for (; i + 8 <= count; i += 8)
        for (size_t lane = 0; lane < 4; ++lane)
            lanes[lane] = (lanes[lane] ^ (uint64_t(pixel[i + 2 * lane]) << 32 | pixel[i + 2 * lane + 1])) * prime;
    for (; i < count; ++i)
        lanes[0] = (lanes[0] ^ pixel[i]) * prime;
    uint64_t hash = lanes[0];
    for (size_t lane = 1; lane < 4; ++lane)
        hash = (hash ^ lanes[lane]) * prime;
    return hash;
}

// A second name for the file at from; its bytes copied where the file system has no links.
void linkFile(const std::string& from, const std::string& to)
{
    if (link(from.c_str(), to.c_str()) == 0)
        return;
    if (errno == EEXIST)
        throw std::runtime_error("cannot write " + to + ": " + std::strerror(errno));
    File source(std::fopen(from.c_str(), "rb"), &std::fclose);
    if (!source)
        throw std::runtime_error("cannot read " + from + ": " + std::strerror(errno));
    File target = createFile(to);
    char buffer[1 << 16];
    int failure = 0;
    for (size_t got; failure == 0 && (got = std::fread(buffer, 1, sizeof buffer, source.get())) > 0;)
        if (std::fwrite(buffer, 1, got, target.get()) != got)
            failure = errno;
    closeFile(std::move(target), to, failure != 0 ? failure : std::ferror(source.get()) ? -1 : 0);
}

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

void ShotWriter::keep(const std::string& file, const Picture& picture)
{
    const uint64_t hash = pictureHash(picture);
    const auto same = encoded_.find(hash);
    lost_ = true;  // until the file is whole
    if (same != encoded_.end())
        linkFile(folder_ + "/" + same->second, folder_ + "/" + file);
    else
        writePng(folder_ + "/" + file, picture);
    lost_ = false;
    if (same == encoded_.end())
        encoded_.emplace(hash, file);
}

void ShotWriter::named(const std::string& name, const std::string& caption, const Picture& picture,
                       const std::string& onScreen)
{
    const std::string file = name + ".png";
    keep(file, picture);
    pending_.push_back({file, caption.empty() ? name : caption, onScreen});
}

void ShotWriter::snapped(const std::string& name, const std::string& caption, const Picture& picture,
                         const std::string& onScreen)
{
    const std::string file = name + ".png";
    keep(file, picture);
    entries_.push_back({file, (caption.empty() ? name : caption) + " \u2014 " + onScreen});
}

void ShotWriter::automatic(const Picture& picture, const std::string& onScreen, const ScreenVerdict& verdict)
{
    char file[32];
    std::snprintf(file, sizeof file, "%04d.png", ++counter_);
    keep(file, picture);
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
        keep(entry.diffFile, verdict.diff);
    }
    entries_.push_back(entry);
}

std::string ShotWriter::finish()
{
    if (lost_)
        return {};
    // Named shots no wait's picture followed (the program ended first) are listed themselves.
    for (const Pending& shot : pending_)
        entries_.push_back({shot.file, shot.caption + " \u2014 " + shot.onScreen});
    pending_.clear();
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Palisade run</title>\n"
                       "<style>body{font-family:sans-serif;background:#eee}figure{display:inline-block;margin:1em;"
                       "vertical-align:top}img{border:1px solid #888;max-width:100%}.pass{color:#060}"
                       ".differs{color:#c00;font-weight:bold}</style></head><body>\n";
    for (const Entry& entry : entries_) {
        page += "<figure><img src=\"" + escapeHtml(entry.file) + "\" alt=\"" + escapeHtml(entry.caption) +
                "\"><figcaption>" + escapeHtml(entry.file) + ": " + escapeHtml(entry.caption);
        if (!entry.verdict.empty())
            page += std::string("<br><span class=\"") + (entry.diffFile.empty() ? "pass" : "differs") +
                    "\">verdict: " + escapeHtml(entry.verdict) + "</span>";
        if (!entry.diffFile.empty())
            page += " <a href=\"" + escapeHtml(entry.diffFile) + "\">differing pixels</a>";
        page += "</figcaption></figure>\n";
    }
    page += "</body></html>\n";
    const std::string path = folder_ + "/index.html";
    File file = createFile(path);
    const bool written = std::fwrite(page.data(), 1, page.size(), file.get()) == page.size();
    closeFile(std::move(file), path, written ? 0 : errno);
    return path;
}

}  // namespace desktop
