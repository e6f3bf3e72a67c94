// Runs the real palisade binary headless with a script and reads back what it left: exit
// status, messages, the pictures it wrote and its log of real-mode interrupts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "checks/support/headless_palisade.h"

namespace e2e {

// A picture as the shots hold it: 0xRRGGBB per pixel, row by row.
using Shot = harness::Picture;

// One int 10h call as --vbe-log writes it.
struct VbeCall {
    uint16_t ax = 0, bx = 0, cx = 0, dx = 0;  // in
    uint16_t outAx = 0, outBx = 0, outCx = 0, outDx = 0;
};

// One run and its log of int 10h calls; its folder goes afterwards unless a test has failed.
struct HeadlessRun {
    harness::HeadlessRun program;
    int exitStatus = -1;
    std::string errors;  // what palisade wrote to stderr
    std::vector<VbeCall> vbe;

    Shot shot(const std::string& name) const;  // the run's picture NAME; fails the test if missing
};

// palisade --headless --machine MACHINE --script <lines> --vbe-log, bounded by a time limit.
HeadlessRun runHeadless(const std::string& machine, const std::vector<std::string>& script);

// Text written with the video BIOS's 8x16 font (as the display library writes it), read back
// from a shot: at each cell, the printable character with the most pixels of which all are
// in `ink`; ' ' when none fits. Lines crossing the text cannot hide a character.
std::string readText(const Shot& shot, int x, int y, int length, uint32_t ink);

}  // namespace e2e
