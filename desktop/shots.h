// The pictures a run keeps in its shots folder: one picture each time the program waits for
// input, the script's named shots and snaps, listed in order on an index page.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "desktop/canvas.h"
#include "desktop/screen_verdict.h"

namespace desktop {

class ShotWriter {
public:
    // folder: a new or empty folder the run owns; every file is created in it afresh.
    explicit ShotWriter(std::string folder);
    // Writes NAME.png. Caption (the name when empty) heads the caption of the picture of the
    // same wait on the index page, before what onScreen says is shown.
    void named(const std::string& name, const std::string& caption, const Picture& picture,
               const std::string& onScreen);
    // Writes NAME.png, taken while the program was at work; listed on the index page in its
    // turn, captioned caption (the name when empty) and what onScreen says.
    void snapped(const std::string& name, const std::string& caption, const Picture& picture,
                 const std::string& onScreen);
    // Writes the wait's picture as NNNN.png and lists it on the index page, marked with its
    // verdict when it was judged; one that differs also gets NNNN-diff.png.
    void automatic(const Picture& picture, const std::string& onScreen, const ScreenVerdict& verdict = {});
    // Writes index.html and returns its path; empty, with no page, when a picture could not
    // be written (the run has said so already).
    std::string finish();

private:
    // Encodes picture as FILE, or links FILE to the file of an equal picture written before:
    // each distinct picture is encoded once.
    void keep(const std::string& file, const Picture& picture);

    struct Entry {
        Entry(std::string f, std::string c, std::string v = {}, std::string d = {})
            : file(std::move(f)), caption(std::move(c)), verdict(std::move(v)), diffFile(std::move(d))
        {
        }
        std::string file;
        std::string caption;
        std::string verdict;  // "pass", "differs: <hint>", or empty when not judged
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
    // The file of each distinct picture written, by a 64-bit hash of its size and pixels
    // (a run has a few hundred pictures: a false match is out of reach).
    std::unordered_map<uint64_t, std::string> encoded_;
    bool lost_ = false;  // a picture could not be written
};

}  // namespace desktop
