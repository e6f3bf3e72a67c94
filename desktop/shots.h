// The pictures a run keeps: named shots, and with a shots folder one picture each time the
// program waits for input, listed in order on an index page.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "desktop/canvas.h"
#include "desktop/screen_verdict.h"

namespace desktop {

// Writes picture as an 8-bit RGB PNG; throws std::runtime_error when the file cannot be written.
void writePng(const std::string& path, const Picture& picture);

class ShotWriter {
public:
    // folder empty: named shots go to the current folder and nothing else is kept.
    explicit ShotWriter(std::string folder);
    // Writes NAME.png. With a folder, caption (the name when empty) heads the caption of the
    // picture of the same wait on the index page, before what onScreen says is shown.
    void named(const std::string& name, const std::string& caption, const Picture& picture,
               const std::string& onScreen);
    // Writes NAME.png, taken while the program was at work; with a folder it is listed on the
    // index page in its turn, captioned caption (the name when empty) and what onScreen says.
    void snapped(const std::string& name, const std::string& caption, const Picture& picture,
                 const std::string& onScreen);
    // With a folder, writes the wait's picture as NNNN.png and lists it on the index page,
    // marked with its verdict when it was judged; one that differs also gets NNNN-diff.png.
    void automatic(const Picture& picture, const std::string& onScreen, const ScreenVerdict& verdict = {});
    // Writes index.html and returns its path; empty without a folder.
    std::string finish();

private:
    struct Entry {
        Entry(std::string f, std::string c, std::string v = {}, std::string d = {})
            : file(std::move(f)), caption(std::move(c)), verdict(std::move(v)), diffFile(std::move(d)) {}
        std::string file;
        std::string caption;
        std::string verdict;      // "pass", "differs: <hint>", or empty when not judged
        std::string diffFile;
    };
    std::string folder_;
    int counter_ = 0;
    std::vector<Entry> entries_;
    // Named shots waiting for the wait's picture: file, caption and what is shown.
    struct Pending {
        std::string file;
        std::string caption;
        std::string onScreen;
    };
    std::vector<Pending> pending_;
};

}  // namespace desktop
