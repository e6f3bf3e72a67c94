// The DISPI card's accelerator back end.
#include "display_accel/dispi_accel.h"

#include <algorithm>

#include "hw/dispi.h"
#include "hw/palisade_ext.h"

namespace display {

namespace {

using namespace palisade_ext;

// The capability register's bit for each entry the driver can offer.
constexpr struct {
    uint32_t capability;
    AccelEntry entry;
} ENTRIES[] = {
    {ACCEL_CAPS_SET_CURSOR, ACCEL_SET_CURSOR},
    {ACCEL_CAPS_SET_CLIP_RECT, ACCEL_SET_CLIP_RECT},
    {ACCEL_CAPS_DRAW_PATT_SCAN, ACCEL_DRAW_PATT_SCAN},
    {ACCEL_CAPS_DRAW_RECT, ACCEL_DRAW_RECT},
    {ACCEL_CAPS_DRAW_PATT_RECT, ACCEL_DRAW_PATT_RECT},
    {ACCEL_CAPS_DRAW_LINE, ACCEL_DRAW_LINE},
    {ACCEL_CAPS_DRAW_STIPPLE_LINE, ACCEL_DRAW_STIPPLE_LINE},
    {ACCEL_CAPS_PUT_MONO_IMAGE, ACCEL_PUT_MONO_IMAGE},
    {ACCEL_CAPS_BIT_BLT, ACCEL_BIT_BLT},
    {ACCEL_CAPS_BIT_BLT_LIN, ACCEL_BIT_BLT_LIN},
    {ACCEL_CAPS_SRC_TRANS_BLT, ACCEL_SRC_TRANS_BLT},
    {ACCEL_CAPS_SRC_TRANS_BLT_LIN, ACCEL_SRC_TRANS_BLT_LIN},
    {ACCEL_CAPS_DST_TRANS_BLT, ACCEL_DST_TRANS_BLT},
    {ACCEL_CAPS_DST_TRANS_BLT_LIN, ACCEL_DST_TRANS_BLT_LIN},
};

class DispiAccel : public AccelBackend {
public:
    DispiAccel(HardwareBus& bus, uint32_t entries) : bus_(bus), entries_(entries) {}

    uint32_t entries() const override { return entries_; }

    void setCursorImage(const AF_CursorImage& cursor) override
    {
        write(CURSOR_IMAGE_INDEX, 0);
        auto words = [&](const uint8_t* mask) {
            for (int i = 0; i < CURSOR_MASK_WORDS; ++i)
                write(CURSOR_IMAGE_DATA, uint16_t(mask[2 * i] << 8 | mask[2 * i + 1]));
        };
        words(cursor.firstMask);
        words(cursor.secondMask);
        const int hotX = std::clamp(cursor.hotX, 0, CURSOR_SIZE - 1);
        const int hotY = std::clamp(cursor.hotY, 0, CURSOR_SIZE - 1);
        write(CURSOR_HOTSPOT, uint16_t(hotY << 8 | hotX));
    }

    void setCursorColor(uint8_t red, uint8_t green, uint8_t blue) override
    {
        write(CURSOR_COLOR_RG, uint16_t(red << 8 | green));
        write(CURSOR_COLOR_B, blue);
    }

    void setCursorPosition(int32_t x, int32_t y) override
    {
        write(CURSOR_X, uint16_t(int16_t(std::clamp(x, -32768, 32767))));
        write(CURSOR_Y, uint16_t(int16_t(std::clamp(y, -32768, 32767))));
    }

    void showCursor(bool visible) override { write(CURSOR_CONTROL, visible ? CURSOR_CONTROL_SHOWN : 0); }

private:
    void write(uint16_t index, uint16_t value)
    {
        bus_.out16(dispi::INDEX_PORT, index);
        bus_.out16(dispi::DATA_PORT, value);
    }

    HardwareBus& bus_;
    uint32_t entries_;
};

uint16_t read(HardwareBus& bus, uint16_t index)
{
    bus.out16(dispi::INDEX_PORT, index);
    return bus.in16(dispi::DATA_PORT);
}

}  // namespace

std::unique_ptr<AccelBackend> probeDispiAccel(HardwareBus& bus)
{
    const uint16_t id = read(bus, dispi::ID);
    if (id < dispi::ID_0 || id > dispi::ID_LATEST)
        return nullptr;
    const uint32_t capabilities = read(bus, ACCEL_CAPS);
    if (capabilities == 0)
        return nullptr;
    uint32_t entries = 0;
    for (const auto& e : ENTRIES)
        if (capabilities & e.capability)
            entries |= e.entry;
    return std::make_unique<DispiAccel>(bus, entries);
}

}  // namespace display
