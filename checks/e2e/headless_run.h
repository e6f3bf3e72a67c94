// Runs the palisade binary headless from a script in a folder of its own, and reads back
// what it left: exit status, output, pictures and the index page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// An RGB picture, 0xRRGGBB per pixel.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct RunOptions {
    std::string machine = "default";
    std::string script;
    bool withGenerator = true;    // KSWIN.EXE beside the program
    std::vector<std::string> extraArguments;
};

struct RunResult {
    int exitStatus = -1;
    std::string out;
    std::string err;
    std::string dir;              // the program's folder; pictures in dir + "/shots"

    Picture shot(const std::string& name) const;     // shots/NAME.png
    std::vector<std::string> captions() const;       // the index page's captions, in order
};

// The program and, unless asked otherwise, its generator are copied into a fresh folder, so
// that the driver file one machine leaves behind never reaches another run.
RunResult runPalisade(const RunOptions& options);

// Removes the folders of the runs so far; keep them (and say where) when a test failed.
void removeRunFolders(bool keep);

Picture readPng(const std::string& path);

}  // namespace e2e
