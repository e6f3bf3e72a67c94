#include "machine/cirrus_scan_out.h"

#include "hw/vga.h"
#include "machine/scan_out.h"

namespace machine {
namespace {

// The cursor's two bit planes per pixel: transparent, inverted screen, background, foreground.
void drawCursor(const CirrusCard& card, const CirrusCursor& cursor, Picture& picture) {
    const uint8_t* vram = card.core().videoMemory();
    const uint32_t size = card.core().videoMemoryBytes();
    const int rowBytes = cursor.size / 8;  // of one plane
    for (int row = 0; row < cursor.size; ++row) {
        const int y = cursor.y + row;
        if (y < 0 || y >= picture.height) continue;
        // 32 x 32: plane 0 whole, then plane 1; 64 x 64: each line's plane 0 then its plane 1.
        const uint32_t plane0 = cursor.size == 32 ? cursor.pattern + row * rowBytes : cursor.pattern + row * rowBytes * 2;
        const uint32_t plane1 = cursor.size == 32 ? plane0 + 32 * rowBytes : plane0 + rowBytes;
        for (int column = 0; column < cursor.size; ++column) {
            const int x = cursor.x + column;
            if (x >= picture.width) break;
            const uint8_t bit = static_cast<uint8_t>(0x80 >> (column % 8));
            const bool p0 = vram[(plane0 + column / 8) % size] & bit, p1 = vram[(plane1 + column / 8) % size] & bit;
            if (!p0 && !p1) continue;
            uint32_t& pixel = picture.pixels[static_cast<size_t>(y) * picture.width + x];
            pixel = !p1 ? pixel ^ 0xFFFFFF : p0 ? cursor.foreground : cursor.background;
        }
    }
}

}  // namespace

void scanOut(const CirrusCard& card, Picture& picture) {
    const VgaRegisters& regs = card.core().vga();
    const bool packed = card.extendedMode() && (regs.gc[vga::gc::MISC] & vga::gc::MISC_GRAPHICS);
    if (!packed) {
        scanOut(card.core(), picture);
    } else {
        const CirrusGeometry g = card.geometry();
        // The attribute controller shows nothing while its palette is loaded, nor the
        // sequencer with its screen-off bit, in Cirrus modes as in VGA ones.
        if (!(regs.attrIndex & vga::attr::INDEX_PICTURE_ON) || card.screenOff()) {
            picture.width = g.width;
            picture.height = g.height;
            picture.pixels.assign(static_cast<size_t>(g.width) * g.height, 0);
            return;
        }
        scanPacked(card.core(), picture, g.width, g.height, g.start, g.pitch, g.bpp);
    }
    const CirrusCursor cursor = card.cursor();
    if (cursor.shown && !card.screenOff()) drawCursor(card, cursor, picture);
}

}  // namespace machine
