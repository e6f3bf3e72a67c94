#include "desktop/shots.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include <unistd.h>

#include "desktop/new_file.h"
#include "desktop/png_file.h"
#include "desktop/run_page.h"
#include "desktop/whole_file.h"

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

}  // namespace

ShotWriter::ShotWriter(std::string folder) : folder_(std::move(folder)) {}

void ShotWriter::keep(const std::string& file, const Picture& picture)
{
    if (folder_.empty())
        return;
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
    pending_.push_back({file, caption, onScreen});
}

void ShotWriter::snapped(const std::string& name, const std::string& caption, const Picture& picture,
                         const std::string& onScreen)
{
    const std::string file = name + ".png";
    keep(file, picture);
    ScreenEntry entry;
    entry.kind = ScreenEntry::Kind::Snap;
    entry.caption = onScreen;
    entry.png = keepsPictures() ? file : "";
    entry.names = {file};
    entry.scriptNote = caption;
    entries_.push_back(entry);
}

void ShotWriter::automatic(const Picture& picture, const std::string& onScreen, const ScreenVerdict& verdict)
{
    char file[32];
    std::snprintf(file, sizeof file, "%04d.png", ++counter_);
    keep(file, picture);
    ScreenEntry entry;
    entry.number = counter_;
    entry.caption = onScreen;
    entry.png = keepsPictures() ? file : "";
    // The names a script gave this wait; what it says was shown stays the screen's own.
    for (const Pending& shot : pending_) {
        entry.names.push_back(shot.file);
        if (!shot.note.empty())
            entry.scriptNote += (entry.scriptNote.empty() ? "" : ", ") + shot.note;
    }
    pending_.clear();
    entry.judged = verdict.judged;
    entry.differs = verdict.differs;
    entry.hint = verdict.hint;
    entry.skipped = verdict.skipped;
    if (verdict.differs && keepsPictures()) {
        entry.diffPng = std::string(file, 4) + "-diff.png";
        keep(entry.diffPng, verdict.diff);
        entry.meantPng = std::string(file, 4) + "-meant.png";
        keep(entry.meantPng, verdict.meant);
    }
    entries_.push_back(entry);
}

std::vector<ScreenEntry> ShotWriter::screens() const
{
    std::vector<ScreenEntry> all = entries_;
    // Named shots no wait's picture followed (the program ended first) are listed themselves.
    for (const Pending& shot : pending_) {
        ScreenEntry entry;
        entry.kind = ScreenEntry::Kind::Shot;
        entry.caption = shot.onScreen;
        entry.png = keepsPictures() ? shot.file : "";
        entry.names = {shot.file};
        entry.scriptNote = shot.note;
        all.push_back(entry);
    }
    return all;
}

std::string ShotWriter::finish(const RunFacts& facts)
{
    if (lost_ || folder_.empty())
        return {};
    const std::string path = folder_ + "/index.html";
    writeWhole({{path, indexPage(facts, screens())}});
    return path;
}

}  // namespace desktop
