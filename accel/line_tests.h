// The line and image tests of the suite: a fan of solid lines, a fan of stippled lines and a
// screen tiled with a monochrome image. Each returns 0 when its accelerator entry is absent,
// otherwise the key of its last wait.
#pragma once

#include <cstdint>

int testLines(void);
int testStippleLines(void);
int testMonoImage(void);

// The word THE: 12 rows of 5 bytes (40 pixels), top row first, most significant bit leftmost.
constexpr int32_t MONO_IMAGE_BYTES_PER_ROW = 5;
constexpr int32_t MONO_IMAGE_ROWS = 12;
extern const uint8_t monoImageData[MONO_IMAGE_BYTES_PER_ROW * MONO_IMAGE_ROWS];

constexpr uint16_t FAN_STIPPLE = 0xCCCC;
constexpr uint16_t FRAME_STIPPLE = 0x0C3F;
