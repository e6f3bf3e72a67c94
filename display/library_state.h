// What the display library knows of the VBE and the mode in force, shared by the GX_/VBE_
// operations and the accelerator driver.
#pragma once

#include <cstdint>
#include <memory>

#include "display/accel_backend.h"
#include "display/frame_writer.h"
#include "display/mode_name.h"
#include "display/vbe.h"
#include "hw/vbe.h"
#include "platform/accel.h"
#include "platform/display.h"

namespace display {

// The library's own ModeInfo::attributes bits besides MODE_ATTR_ACCELERATED.
constexpr uint16_t MODE_ATTR_USABLE = 0x01;
constexpr uint16_t MODE_ATTR_HARDWARE_LINEAR = 0x02;
constexpr uint16_t MODE_ATTR_BANKED = 0x04;
constexpr uint16_t MODE_ATTR_PLANAR = 0x08;

struct CurrentMode {
    bool set = false;
    uint16_t number = 0;          // plain VBE number
    bool hardwareLinear = false;  // set with the linear framebuffer
    vbe::ModeInfo block{};
    ModeFacts facts;
    int32_t pages = 1;
    int32_t activePage = 0;
    int32_t visualPage = 0;
    int32_t dacBits = 6;
};

struct LibraryState {
    const void* machineMemory = nullptr;  // the machine this state was built on
    bool detected = false;
    alignas(8) DisplayContext context{};  // aligned, so that the 32-bit fields are too
    uint32_t capabilities = 0;
    uint64_t videoMemoryBytes = 0;        // as 4F00 reported it, within the framebuffer mapping
    uint8_t* framebuffer = nullptr;       // the framebuffer as asked at GX_init (the accelerator's surface)
    std::unique_ptr<AccelBackend> accel;  // the card's accelerator, null without one
    bios::RealBuffer scratch;             // records passed to the BIOS
    bios::RealBuffer stable;              // mode list and strings handed to the program
    bool restoreKnown = false;
    uint16_t modeBefore = 0x03;
    CurrentMode mode;
    FrameWriter writer;
    uint8_t font[256][16] = {};  // the ROM's 8 x 16 characters
    bool fontLoaded = false;
};

// The state, or null when no bus is connected. A different machine than the one the state
// was built on starts it afresh.
LibraryState* library();

// Facts of a VBE mode the library can draw in; false for text modes and depths it cannot.
bool describeMode(const vbe::ModeInfo& block, ModeFacts& facts);
bool modeIsAccelerated(const LibraryState& lib, const ModeFacts& facts);

// The accelerator driver's side of a mode change: a fresh device context for the mode, or
// none; and the cursor hidden when the mode goes.
AccelContext* startAccelerator(LibraryState& lib);
void stopAccelerator(LibraryState& lib);
void forgetAccelerator();  // the machine went away: drop the context without touching the card

}  // namespace display
