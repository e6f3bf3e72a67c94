// What one refresh of the monitor costs while a dialog is shown: the desktop with a dialog of
// the main dialog's size and kinds of controls, drawn into a 1024 x 768 picture, timed against
// filling the same picture with one colour (x_fill: 1.0 would be as cheap as the fill), and
// writing that picture as PNG against the same (x_fill_png).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "desktop/dialog_manager.h"
#include "desktop/png_file.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

desktop::Control control(desktop::ControlKind kind, const char* text, int x, int y, int w, int h, DWORD style = 0)
{
    desktop::Control c;
    c.kind = kind;
    c.text = text;
    c.x = x;
    c.y = y;
    c.width = w;
    c.height = h;
    c.style = style;
    return c;
}

desktop::Dialog mainLikeDialog()
{
    using K = desktop::ControlKind;
    desktop::Dialog d;
    d.x = 306;
    d.y = 168;
    d.width = 412;
    d.height = 432;
    d.clientX = d.clientY = 3;
    d.style = WS_POPUP | DS_MODALFRAME;
    d.controls.push_back(control(K::Static, "Palisade 32 bit Test Program - Release 6.0", 20, 14, 370, 13, SS_CENTER));
    d.controls.push_back(control(K::Static, "Video mode to test:", 16, 64, 200, 13));
    auto list = control(K::ListBox, "", 16, 82, 372, 172, WS_VSCROLL | LBS_NOTIFY);
    for (int i = 0; i < 20; ++i)
        list.items.push_back(std::to_string(320 + 32 * i) + " x " + std::to_string(200 + 24 * i) +
                             " 256 colours (linear)");
    list.selection = 2;
    d.controls.push_back(list);
    d.controls.push_back(control(K::GroupBox, "Color Depth", 22, 266, 130, 102));
    for (int i = 0; i < 6; ++i) {
        auto radio = control(K::Radio, "16 bit", 30 + 60 * (i / 3), 284 + 28 * (i % 3), 52, 13);
        radio.check = i == 1 ? BST_CHECKED : BST_UNCHECKED;
        d.controls.push_back(radio);
    }
    d.controls.push_back(control(K::GroupBox, "Options", 176, 266, 204, 102));
    for (int i = 0; i < 4; ++i) {
        auto check = control(K::CheckBox, "Wait for vertical retrace", 186, 284 + 21 * i, 180, 13);
        check.check = BST_CHECKED;
        d.controls.push_back(check);
    }
    d.controls.push_back(control(K::PushButton, "Test mode", 22, 384, 86, 23, BS_DEFPUSHBUTTON));
    d.controls.push_back(control(K::PushButton, "SVGA Info", 162, 384, 80, 23));
    d.controls.push_back(control(K::PushButton, "Quit", 292, 384, 86, 23));
    d.focus = 2;
    return d;
}

void composeDesktop(benchmark::State& state)
{
    const desktop::Dialog dialog = mainLikeDialog();
    desktop::Picture picture;
    picture.width = 1024;
    picture.height = 768;
    picture.pixels.assign(size_t(picture.width) * size_t(picture.height), 0);
    double ours = 0, reference = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        desktop::Canvas canvas(picture);
        canvas.fill(0, 0, picture.width, picture.height, 0x008080);
        desktop::drawDialog(canvas, dialog, true);
        benchmark::DoNotOptimize(picture.pixels.data());
        ours += since(start);
        start = Clock::now();
        std::fill(picture.pixels.begin(), picture.pixels.end(), 0x008080u);
        benchmark::DoNotOptimize(picture.pixels.data());
        reference += since(start);
    }
    state.counters["x_fill"] = ours / reference;
}
BENCHMARK(composeDesktop)->Unit(benchmark::kMicrosecond);

void writeShot(benchmark::State& state)
{
    const desktop::Dialog dialog = mainLikeDialog();
    desktop::Picture picture;
    picture.width = 1024;
    picture.height = 768;
    picture.pixels.assign(size_t(picture.width) * size_t(picture.height), 0);
    desktop::Canvas canvas(picture);
    canvas.fill(0, 0, picture.width, picture.height, 0x008080);
    desktop::drawDialog(canvas, dialog, true);
    const std::string path = "/tmp/palisade-desktop-bench-" + std::to_string(getpid()) + ".png";
    double ours = 0, reference = 0;
    for (auto _ : state) {
        std::remove(path.c_str());  // a picture is only ever written into a new file
        auto start = Clock::now();
        desktop::writePng(path, picture);
        ours += since(start);
        start = Clock::now();
        std::fill(picture.pixels.begin(), picture.pixels.end(), 0x008080u);
        benchmark::DoNotOptimize(picture.pixels.data());
        reference += since(start);
        desktop::drawDialog(canvas, dialog, true);
    }
    std::remove(path.c_str());
    state.counters["x_fill_png"] = ours / reference;
}
BENCHMARK(writeShot)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
