// The DISPI card's accelerator back end.
#include "display/dispi_accel.h"

#include <algorithm>

#include "machine/dispi_regs.h"

namespace display {

namespace {

class DispiAccel : public AccelBackend {
public:
    DispiAccel(HardwareBus& bus, uint32_t entries) : bus_(bus), entries_(entries) {}

    uint32_t entries() const override { return entries_; }

    void setCursorImage(const AF_CursorImage& cursor) override
    {
        write(dispi::CURSOR_IMAGE_INDEX, 0);
        auto words = [&](const uint8_t* mask) {
            for (int i = 0; i < 64; ++i) write(dispi::CURSOR_IMAGE_DATA, uint16_t(mask[2 * i] << 8 | mask[2 * i + 1]));
        };
        words(cursor.firstMask);
        words(cursor.secondMask);
        const int hotX = std::clamp(cursor.hotX, 0, dispi::CURSOR_SIZE - 1);
        const int hotY = std::clamp(cursor.hotY, 0, dispi::CURSOR_SIZE - 1);
        write(dispi::CURSOR_HOTSPOT, uint16_t(hotY << 8 | hotX));
    }

    void setCursorColor(uint8_t red, uint8_t green, uint8_t blue) override
    {
        write(dispi::CURSOR_COLOR_RG, uint16_t(red << 8 | green));
        write(dispi::CURSOR_COLOR_B, blue);
    }

    void setCursorPosition(int32_t x, int32_t y) override
    {
        write(dispi::CURSOR_X, uint16_t(int16_t(std::clamp(x, -32768, 32767))));
        write(dispi::CURSOR_Y, uint16_t(int16_t(std::clamp(y, -32768, 32767))));
    }

    void showCursor(bool visible) override { write(dispi::CURSOR_CONTROL, visible ? 1 : 0); }

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
    if (id < 0xB0C0 || id > 0xB0CF)
        return nullptr;
    // The capability bits are the AccelEntry bits of the entries offered.
    const uint32_t entries = read(bus, dispi::ACCEL_CAPS);
    if (entries == 0)
        return nullptr;
    return std::make_unique<DispiAccel>(bus, entries);
}

}  // namespace display
