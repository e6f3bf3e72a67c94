#include "desktop/font.h"

#include <stdexcept>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace desktop {

namespace {
constexpr const char* kRegularPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kBoldPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
// 8 points at 96 dots per inch.
constexpr int kDialogPixels = 11;
}  // namespace

struct Font::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

Font::Font(const std::string& path, int pixelSize) : face_(std::make_unique<Face>())
{
    if (FT_Init_FreeType(&face_->library) != 0)
        throw std::runtime_error("cannot start FreeType");
    if (FT_New_Face(face_->library, path.c_str(), 0, &face_->face) != 0) {
        FT_Done_FreeType(face_->library);
        throw std::runtime_error("cannot read the dialog font " + path +
                                 " (install the Debian package fonts-dejavu-core)");
    }
    FT_Set_Pixel_Sizes(face_->face, 0, FT_UInt(pixelSize));
    ascent_ = int(face_->face->size->metrics.ascender >> 6);
    descent_ = int((-face_->face->size->metrics.descender) >> 6);
}

Font::~Font()
{
    FT_Done_Face(face_->face);
    FT_Done_FreeType(face_->library);
}

const Font::Glyph& Font::glyph(unsigned char c)
{
    auto found = glyphs_.find(c);
    if (found != glyphs_.end())
        return found->second;
    Glyph g;
    // Latin-1: the byte is the code point.
    if (FT_Load_Char(face_->face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0) {
        FT_GlyphSlot slot = face_->face->glyph;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.advance = int((slot->advance.x + 32) >> 6);
        g.width = int(slot->bitmap.width);
        g.rows = int(slot->bitmap.rows);
        g.coverage.resize(size_t(g.width) * size_t(g.rows));
        for (int row = 0; row < g.rows; ++row)
            for (int col = 0; col < g.width; ++col)
                g.coverage[size_t(row) * size_t(g.width) + size_t(col)] =
                    slot->bitmap.buffer[row * slot->bitmap.pitch + col];
    }
    return glyphs_.emplace(c, std::move(g)).first->second;
}

int Font::averageCharWidth()
{
    int total = 0;
    for (char c = 'A'; c <= 'Z'; ++c)
        total += glyph(static_cast<unsigned char>(c)).advance + glyph(static_cast<unsigned char>(c + 32)).advance;
    return (total / 26 + 1) / 2;
}

int Font::textWidth(const std::string& text)
{
    int width = 0;
    for (char c : text)
        width += glyph(static_cast<unsigned char>(c)).advance;
    return width;
}

void Font::draw(Canvas& canvas, int x, int y, const std::string& text, uint32_t color)
{
    int penX = x;
    const int baseline = y + ascent_;
    for (char c : text) {
        const Glyph& g = glyph(static_cast<unsigned char>(c));
        for (int row = 0; row < g.rows; ++row)
            for (int col = 0; col < g.width; ++col)
                canvas.blend(penX + g.left + col, baseline - g.top + row, color,
                             g.coverage[size_t(row) * size_t(g.width) + size_t(col)]);
        penX += g.advance;
    }
}

std::vector<std::string> Font::wrap(const std::string& text, int width)
{
    std::vector<std::string> lines;
    std::string line;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(' ', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(pos, end - pos);
        const std::string candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && textWidth(candidate) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
        pos = end + 1;
    }
    if (!line.empty() || lines.empty())
        lines.push_back(line);
    return lines;
}

Font& dialogFont()
{
    static Font font(kRegularPath, kDialogPixels);
    return font;
}

Font& captionFont()
{
    static Font font(kBoldPath, kDialogPixels);
    return font;
}

}  // namespace desktop
