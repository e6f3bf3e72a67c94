// The Kestrel driver image as assembled from kestrel.asm, and the fixed places in it that
// the generator and the loader fill.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrel {

// The image exactly as nasm built it with the back end of the chip this hardware code names
// (HARDWARE_DISPI or HARDWARE_GD5446): no card analysed, hardware code 38. Any other code
// gets the DISPI image, which with code 38 drives nothing.
std::span<const uint8_t> assembledImage(uint16_t hardwareCode);
// The room a loader must have for any of them.
std::size_t largestImageBytes();

namespace field {
constexpr std::size_t SIGNATURE = 0;  // "Kestrel Video Core", no terminator
constexpr std::size_t SIGNATURE_LENGTH = 18;
constexpr std::size_t CHECK_ENTRY = 95;       // word: far-called once after loading, AX=1 ok
constexpr std::size_t PROBE_ENTRY = 97;       // word: 0, no probe entry (KSWIN.EXE analyses the card)
constexpr std::size_t INT10_ENTRY = 99;       // word
constexpr std::size_t INT2F_ENTRY = 101;      // word
constexpr std::size_t OLD_INT10 = 103;        // dword, loader
constexpr std::size_t OLD_INT2F = 107;        // dword, loader
constexpr std::size_t TOTAL_64K = 129;        // word, loader: MEMORY_KB / 64 (at most 1023)
constexpr std::size_t LOAD_SEGMENT = 145;     // word, loader
constexpr std::size_t NEEDS_VBE_BIOS = 147;   // word, generator: always 0 for this driver
constexpr std::size_t HARDWARE_CODE = 149;    // word, generator: the chip (HARDWARE_*)
constexpr std::size_t CHIP_FAMILY = 151;      // word, generator: the chip's family (CHIP_FAMILY_*)
constexpr std::size_t MEMORY_KB = 153;        // word, generator: video memory in KB, at most FFC0h
constexpr std::size_t PCI_BAR_ADDRESS = 155;  // dword, generator: PCI config address of BAR0
constexpr std::size_t MEMORY_64K = 159;       // word, generator: video memory in 64 KB units, what
                                              // the driver reports (MEMORY_KB stops at 64 MB)
constexpr std::size_t STRING1 = 341;          // 80 bytes
constexpr std::size_t STRING2 = 421;          // 50 bytes
constexpr std::size_t STRING3 = 471;          // 50 bytes
constexpr std::size_t STRING1_SIZE = 80;
constexpr std::size_t STRING2_SIZE = 50;
constexpr std::size_t STRING3_SIZE = 50;
constexpr std::size_t INFO_RECORD = 341;  // what int 10h AX=4F0Fh BX=1234h points at
constexpr std::size_t INFO_RECORD_SIZE = 292;
constexpr std::size_t VERSION_MAJOR = 604;
constexpr std::size_t VERSION_MINOR = 605;
}  // namespace field

constexpr uint16_t HARDWARE_NONE = 38;   // no supported graphics hardware
constexpr uint16_t HARDWARE_DISPI = 1;   // a Bochs-DISPI SuperVGA
constexpr uint16_t HARDWARE_GD5446 = 2;  // a Cirrus Logic CL-GD5446

constexpr uint16_t CHIP_FAMILY_NONE = 0;
constexpr uint16_t CHIP_FAMILY_DISPI = 1;   // Bochs/QEMU DISPI SuperVGA
constexpr uint16_t CHIP_FAMILY_CIRRUS = 2;  // Cirrus Logic GD54xx
constexpr uint8_t MULTIPLEX_ID = 0xC5;      // int 2Fh AH of the driver's installation check

uint16_t readWord(std::span<const uint8_t> image, std::size_t offset);
uint32_t readDword(std::span<const uint8_t> image, std::size_t offset);
void writeWord(std::vector<uint8_t>& image, std::size_t offset, uint16_t value);
void writeDword(std::vector<uint8_t>& image, std::size_t offset, uint32_t value);
// The zero-terminated text at offset, read no further than size bytes.
std::string readString(std::span<const uint8_t> image, std::size_t offset, std::size_t size);

// The checksum the check entry verifies: the image's last dword, holding 32-bit FNV-1a of
// every byte before it except the fields a loader fills (OLD_INT10, OLD_INT2F, TOTAL_64K,
// LOAD_SEGMENT).
std::size_t checksumOffset(std::span<const uint8_t> image);
uint32_t imageChecksum(std::span<const uint8_t> image);

// What a loader does to its in-memory copy before it goes to real-mode memory: the old
// vectors (segment high, offset low), video memory in 64 KB units and the load segment.
void patchForLoad(std::vector<uint8_t>& image, uint32_t oldInt10, uint32_t oldInt2f, uint16_t segment);

}  // namespace kestrel
