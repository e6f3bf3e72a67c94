// QEMU's cirrus-vga departures, matched against the BitBLT operations the host starts.
#include "qemu_pc/cirrus_departures.h"

#include <algorithm>

#include "hw/cirrus.h"

namespace qemu_pc {
namespace {

using namespace cirrus;

// Measured on QEMU 7.2: an image 32 pixels wide and four rows high, sent as 16 bytes, ends the
// operation after 4 bytes (64 pixels wide: after 8 of 32), each row drawn from that many bytes.
const char* const DWORD_ROWS_TAKEN_AS_BYTES =
    "QEMU's cirrus-vga departs from the GD5446 here: a colour expansion from system memory with "
    "rows padded to dwords (GR33 bit 0) takes a row's length in dwords as its length in bytes, so "
    "it draws the rows from the wrong bytes, and the bytes left over go through the window into "
    "video memory (at byte 0 for data sent to A0000h)";

}  // namespace

void CirrusDepartures::graphicsWrite(uint8_t index, uint8_t value)
{
    switch (index) {
    case gc::BLT_MODE: mode_ = value; break;
    case gc::BLT_MODE_EXTENSION: extension_ = value; break;
    case gc::BLT_STATUS:
        status_ = value;
        if (value & gc::BLT_STATUS_START)
            engineStarted();
        break;
    case gc::BLT_DST_ADDRESS + 2:
        if (status_ >= 0 && (status_ & gc::BLT_STATUS_AUTOSTART))
            engineStarted();
        break;
    default: break;
    }
}

void CirrusDepartures::forgetRegisters()
{
    mode_ = extension_ = status_ = -1;
}

void CirrusDepartures::videoMemoryCleared()
{
    met_.clear();
}

void CirrusDepartures::engineStarted()
{
    if (mode_ < 0 || extension_ < 0)
        return;
    const int expandFromSystem = gc::BLT_MODE_COLOUR_EXPAND | gc::BLT_MODE_SRC_SYSTEM;
    if ((mode_ & (expandFromSystem | gc::BLT_MODE_PATTERN)) == expandFromSystem &&
        (extension_ & gc::BLT_MODE_EXTENSION_DWORD_ROWS))
        note(DWORD_ROWS_TAKEN_AS_BYTES);
}

void CirrusDepartures::note(const std::string& words)
{
    if (std::find(met_.begin(), met_.end(), words) == met_.end())
        met_.push_back(words);
}

}  // namespace qemu_pc
