// The pictures a run keeps in its shots folder: one picture each time the program waits for
// input, the script's named shots and snaps, listed on an index page; and the record of every
// screen for the run's reports.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "desktop/canvas.h"
#include "desktop/run_record.h"
#include "desktop/screen_verdict.h"

namespace desktop {

class ShotWriter {
public:
    // folder: a new or empty folder the run owns; every file is created in it afresh. An empty
    // folder keeps the record of the screens (for the reports) and writes no picture.
    explicit ShotWriter(std::string folder);
    bool keepsPictures() const { return !folder_.empty(); }
    // Writes NAME.png. The picture of the same wait lists NAME among its names, and caption,
    // when given, as the script's note on it; what the screen was is said by the wait itself.
    void named(const std::string& name, const std::string& caption, const Picture& picture,
               const std::string& onScreen);
    // Writes NAME.png, taken while the program was at work; listed in its turn, captioned
    // with what onScreen says.
    void snapped(const std::string& name, const std::string& caption, const Picture& picture,
                 const std::string& onScreen);
    // Writes the wait's picture as NNNN.png and lists it, with its verdict when it was judged;
    // one that differs also gets NNNN-diff.png and NNNN-meant.png.
    void automatic(const Picture& picture, const std::string& onScreen, const ScreenVerdict& verdict = {});
    // The screens so far, in order, with the named shots no wait's picture followed.
    std::vector<ScreenEntry> screens() const;
    // Writes index.html headed by the run's facts and returns its path; empty, with no page,
    // when there is no folder or a picture could not be written (the run has said so).
    std::string finish(const RunFacts& facts);

private:
    // Encodes picture as FILE, or links FILE to the file of an equal picture written before:
    // each distinct picture is encoded once.
    void keep(const std::string& file, const Picture& picture);

    std::string folder_;
    int counter_ = 0;
    std::vector<ScreenEntry> entries_;
    // Named shots waiting for the wait's picture.
    struct Pending {
        std::string file;
        std::string note;
        std::string onScreen;
    };
    std::vector<Pending> pending_;
    // The file of each distinct picture written, by a 64-bit hash of its size and pixels
    // (a run has a few hundred pictures: a false match is out of reach).
    std::unordered_map<uint64_t, std::string> encoded_;
    bool lost_ = false;  // a picture could not be written
};

}  // namespace desktop
