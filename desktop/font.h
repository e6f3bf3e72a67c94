// The dialog font: DejaVu Sans from Debian standing in for 8-point "MS Sans Serif",
// rendered with FreeType into the desktop picture. Rendering depends only on the font
// file and the text, so the same dialog always gives the same pixels.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desktop/canvas.h"

namespace desktop {

class Font {
public:
    // Throws std::runtime_error naming the missing file and the package that ships it.
    Font(const std::string& path, int pixelSize);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    int height() const { return ascent_ + descent_; }
    int ascent() const { return ascent_; }
    // As Windows measures a dialog font: the mean width of the 52 Latin letters, rounded.
    int averageCharWidth();
    int textWidth(const std::string& text);
    // Draws one line with its top at y.
    void draw(Canvas& canvas, int x, int y, const std::string& text, uint32_t color);
    // Breaks text at blanks so that each line fits in width (a word longer than a line keeps
    // its own line).
    std::vector<std::string> wrap(const std::string& text, int width);

private:
    struct Glyph {
        int left = 0, top = 0, advance = 0, width = 0, rows = 0;
        std::vector<uint8_t> coverage;
    };
    const Glyph& glyph(unsigned char c);

    struct Face;
    std::unique_ptr<Face> face_;
    std::map<unsigned char, Glyph> glyphs_;
    int ascent_ = 0;
    int descent_ = 0;
};

// The fonts the desktop draws with, loaded once.
Font& dialogFont();
Font& captionFont();

}  // namespace desktop
