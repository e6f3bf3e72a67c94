// Runs the real palisade binary headless with a script and reads back what it left: exit
// status, messages, the pictures it wrote and its log of real-mode interrupts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// A picture as the shots hold it: 0xRRGGBB per pixel, row by row.
struct Shot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// One int 10h call as --vbe-log writes it.
struct VbeCall {
    uint16_t ax = 0, bx = 0, cx = 0, dx = 0;          // in
    uint16_t outAx = 0, outBx = 0, outCx = 0, outDx = 0;
};

// Owns the directory of one run: removed afterwards unless a test has failed, for a look.
struct HeadlessRun {
    HeadlessRun() = default;
    HeadlessRun(HeadlessRun&& other) noexcept;
    HeadlessRun& operator=(HeadlessRun&&) = delete;
    ~HeadlessRun();

    int exitStatus = -1;
    std::string errors;           // what palisade wrote to stderr
    std::string dir;              // its shots and logs
    std::vector<VbeCall> vbe;

    Shot shot(const std::string& name) const;    // DIR/NAME.png; fails the test if missing
};

// palisade --headless --machine MACHINE --script <lines> --shots DIR --vbe-log DIR/vbe.log,
// bounded by a time limit.
HeadlessRun runHeadless(const std::string& machine, const std::vector<std::string>& script);

// Text written with the video BIOS's 8x16 font (as the display library writes it), read back
// from a shot: at each cell, the printable character with the most pixels of which all are
// in `ink`; ' ' when none fits. Lines crossing the text cannot hide a character.
std::string readText(const Shot& shot, int x, int y, int length, uint32_t ink);

}  // namespace e2e
