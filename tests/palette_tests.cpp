// The palette fade over the moire screen, and the 8-bit wide DAC bands.
#include "tests/palette_tests.h"

#include <array>
#include <cstdint>

#include "app/globals.h"
#include "platform/display.h"
#include "tests/moire.h"
#include "tests/test_run.h"

namespace {

using Palette = std::array<PaletteEntry, 256>;

constexpr int RAMP_STEPS = 64;
constexpr uint32_t FADE_TEXT_COLOR = 63;  // the brightest grey of the fade ramp
constexpr int32_t LOAD_AT_ONCE = -1;

// Entries 64-127 red, 128-191 green, 192-255 blue, 64 steps of 4 each; entries 0-63 grey
// when asked for, black otherwise.
Palette rampPalette(bool greyRamp)
{
    Palette palette{};
    for (int i = 0; i < RAMP_STEPS; ++i) {
        const auto v = static_cast<uint8_t>(4 * i);
        if (greyRamp)
            palette[i].blue = palette[i].green = palette[i].red = v;
        palette[64 + i].red = v;
        palette[128 + i].green = v;
        palette[192 + i].blue = v;
    }
    return palette;
}

void setTextStart(const DisplayContext& dc)
{
    textX = textY = dc.maxX <= 360 ? 40 : 80;
}

void drawBorder(const DisplayContext& dc, uint32_t color)
{
    GX_beginLine();
    GX_lineFast(0, 0, dc.maxX, 0, color);
    GX_lineFast(0, 0, 0, dc.maxY, color);
    GX_lineFast(dc.maxX, 0, dc.maxX, dc.maxY, color);
    GX_lineFast(0, dc.maxY, dc.maxX, dc.maxY, color);
    GX_endLine();
}

}  // namespace

void scalePalette(PaletteEntry* destination, const PaletteEntry* source, int count, int first, int level)
{
    const uint32_t scale = static_cast<uint32_t>(level) & 0xFF;
    for (int k = 0; k < count; ++k) {
        PaletteEntry& to = destination[first + k];
        const PaletteEntry& from = source[k];
        to.blue = static_cast<uint8_t>(from.blue * scale / 255);
        to.green = static_cast<uint8_t>(from.green * scale / 255);
        to.red = static_cast<uint8_t>(from.red * scale / 255);
    }
}

int paletteFadeTest(int fadeWait)
{
    const DisplayContext& dc = *displayContext;

    GX_clear(0);
    drawMoire(FADE_TEXT_COLOR);
    setTextStart(dc);
    GX_writeText(textX, textY, "Palette programming test", FADE_TEXT_COLOR);
    textY += 32;
    GX_writeText(textX, textY, "Hit a key to fade palette", FADE_TEXT_COLOR);

    const Palette ramp = rampPalette(true);
    GX_setPalette(0, 256, ramp.data(), LOAD_AT_ONCE);

    // The fade always runs: Esc only counts once the viewer has seen it.
    waitKey();

    Palette work{};
    for (int n = RAMP_STEPS - 1; n >= 0; --n) {
        scalePalette(work.data(), ramp.data(), 256, 0, 4 * n);
        GX_setPalette(0, 256, work.data(), fadeWait);
    }
    for (int n = 0; n < RAMP_STEPS; ++n) {
        scalePalette(work.data(), ramp.data(), 256, 0, 4 * n);
        GX_setPalette(0, 256, work.data(), fadeWait);
    }

    const int result = waitKey();
    GX_setPalette(0, 256, GX_getDefPalette(), LOAD_AT_ONCE);
    return result;
}

int wideDacTest(void)
{
    const DisplayContext& dc = *displayContext;

    if (dc.accel != nullptr)
        return 0;
    if (!VBE_setDACWidth(8))
        return 0;

    Palette palette = rampPalette(false);
    // White text and border whichever entry the mode draws them with.
    if (dc.defaultColor < palette.size()) {
        PaletteEntry& white = palette[dc.defaultColor];
        white.blue = white.green = white.red = 255;
    }
    VBE_setPalette(0, 256, palette.data(), 0);

    GX_clear(0);
    drawBorder(dc, dc.defaultColor);

    setTextStart(dc);
    GX_writeText(textX, textY, "Wide DAC test", dc.defaultColor);
    textY += 32;
    if (dc.maxX > 360) {
        GX_writeText(textX, textY, "You should see a smooth transition of colors", dc.defaultColor);
        textY += 16;
        GX_writeText(textX, textY, "If the colors are broken into 4 lots, the wide DAC is not working",
                     dc.defaultColor);
        textY += 32;
    }

    // Three bands, red over green over blue: 64 shades each, 3 pixels per shade.
    GX_beginLine();
    for (int32_t i = 0; i < 3 * RAMP_STEPS; ++i) {
        const uint32_t shade = static_cast<uint32_t>(i / 3);
        const int32_t x = textX + i;
        GX_lineFast(x, textY, x, textY + 32, 64 + shade);
        GX_lineFast(x, textY + 32, x, textY + 64, 128 + shade);
        GX_lineFast(x, textY + 64, x, textY + 96, 192 + shade);
    }
    GX_endLine();

    const int result = waitKey();
    VBE_setDACWidth(6);
    return result;
}
