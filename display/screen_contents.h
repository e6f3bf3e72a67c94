// What the program has put on the screen since it was last cleared, as the display library
// and the accelerator driver saw the calls: the texts it wrote and the accelerator operations
// it drew with. A harness names the screen it shows from this, whatever the program is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace display {

struct DrawnOperation {
    std::string name;  // "AF_drawPattRect", with " (XOR)" for a mix other than replace
    int count = 0;
};

struct ScreenContents {
    std::vector<std::string> texts;          // each text once, in the order first written
    std::vector<DrawnOperation> operations;  // in the order first used
    bool clipped = false;                    // the last operation was clipped inside the screen
    int32_t clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
};

const ScreenContents& screenContents();

// The library's records: a mode set or restored, or the whole screen cleared, starts afresh.
void contentsCleared();
void contentsText(const char* text);
void contentsOperation(const char* name, int32_t mix);
void contentsClip(bool inside, int32_t left, int32_t top, int32_t right, int32_t bottom);

}  // namespace display
