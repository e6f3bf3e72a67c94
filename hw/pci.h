// PCI: configuration mechanism 1, the configuration header's offsets and bits, class codes, the
// PCI BIOS (int 1Ah AH=B1h), and the ids of the functions on our bus.
#pragma once

#include <cstdint>

namespace pci {

// Configuration mechanism 1: a 32-bit address at CF8h, the addressed dword at CFCh-CFFh.
constexpr uint16_t CONFIG_ADDRESS_PORT = 0xCF8;
constexpr uint16_t CONFIG_DATA_PORT = 0xCFC;
constexpr uint16_t CONFIG_PORTS_LAST = 0xCFF;
constexpr uint32_t CONFIG_ADDRESS_ENABLE = 0x80000000;
constexpr uint32_t CONFIG_ADDRESS_BDF_SHIFT = 8;  // bus:device.function in bits 23-8
constexpr uint32_t CONFIG_ADDRESS_REGISTER = 0xFC;

// Bus, device and function as one 16-bit number, as the PCI BIOS takes it in BX.
constexpr uint16_t bdf(uint8_t bus, uint8_t device, uint8_t function)
{
    return static_cast<uint16_t>(bus << 8 | (device & 0x1F) << 3 | (function & 7));
}

// The configuration header (type 0).
constexpr uint8_t VENDOR_ID = 0x00;
constexpr uint8_t DEVICE_ID = 0x02;
constexpr uint8_t COMMAND = 0x04;
constexpr uint16_t COMMAND_IO = 0x0001;
constexpr uint16_t COMMAND_MEMORY = 0x0002;
constexpr uint16_t COMMAND_MASTER = 0x0004;
constexpr uint16_t COMMAND_VGA_PALETTE_SNOOP = 0x0020;
constexpr uint16_t COMMAND_SERR = 0x0100;
constexpr uint16_t COMMAND_INTX_DISABLE = 0x0400;
constexpr uint8_t STATUS = 0x06;
constexpr uint16_t STATUS_CAPABILITIES = 0x0010;
constexpr uint16_t STATUS_FAST_BACK_TO_BACK = 0x0080;
constexpr uint16_t STATUS_DEVSEL_MEDIUM = 0x0200;
constexpr uint8_t REVISION_ID = 0x08;
constexpr uint8_t CLASS_CODE = 0x09;  // programming interface, subclass, class
constexpr uint8_t CACHE_LINE_SIZE = 0x0C;
constexpr uint8_t LATENCY_TIMER = 0x0D;
constexpr uint8_t HEADER_TYPE = 0x0E;
constexpr uint8_t HEADER_TYPE_MULTI_FUNCTION = 0x80;
constexpr uint8_t BAR0 = 0x10;  // BARn at BAR0 + 4n, n = 0..5
constexpr uint8_t BAR_COUNT = 6;
constexpr uint32_t BAR_IO = 0x1;
constexpr uint32_t BAR_MEMORY_64 = 0x4;
constexpr uint32_t BAR_PREFETCHABLE = 0x8;
constexpr uint32_t BAR_MEMORY_ADDRESS = 0xFFFFFFF0;
constexpr uint8_t SUBSYSTEM_VENDOR_ID = 0x2C;
constexpr uint8_t SUBSYSTEM_ID = 0x2E;
constexpr uint8_t EXPANSION_ROM = 0x30;
constexpr uint32_t EXPANSION_ROM_ENABLE = 0x1;
constexpr uint32_t EXPANSION_ROM_ADDRESS = 0xFFFFF800;
constexpr uint8_t INTERRUPT_LINE = 0x3C;
constexpr uint8_t INTERRUPT_PIN = 0x3D;
constexpr uint16_t CONFIG_SPACE_BYTES = 256;

constexpr uint8_t barOffset(int n)
{
    return static_cast<uint8_t>(BAR0 + 4 * n);
}

// Class codes: class, subclass, programming interface.
constexpr uint32_t CLASS_BRIDGE_HOST = 0x060000;
constexpr uint32_t CLASS_DISPLAY_VGA = 0x030000;

// The functions on our bus.
constexpr uint16_t VENDOR_INTEL = 0x8086;
constexpr uint16_t DEVICE_I440FX_HOST = 0x1237;  // the host bridge QEMU's PC has at 00:00.0
constexpr uint16_t VENDOR_QEMU_VGA = 0x1234;     // QEMU/Bochs standard VGA
constexpr uint16_t DEVICE_QEMU_VGA = 0x1111;
constexpr uint16_t VENDOR_RED_HAT = 0x1AF4;  // QEMU's subsystem ids
constexpr uint16_t SUBSYSTEM_QEMU = 0x1100;
constexpr uint16_t VENDOR_CIRRUS = 0x1013;
constexpr uint16_t DEVICE_CIRRUS_GD5446 = 0x00B8;

// The PCI BIOS: int 1Ah with AH = BIOS_FUNCTION and AL one of these; carry and AH give the result.
constexpr uint8_t BIOS_INTERRUPT = 0x1A;
constexpr uint8_t BIOS_FUNCTION = 0xB1;
constexpr uint8_t BIOS_INSTALLATION_CHECK = 0x01;  // EDX = BIOS_SIGNATURE, AL = mechanisms, BX = version
constexpr uint8_t BIOS_FIND_DEVICE = 0x02;         // DX vendor, CX device, SI index -> BX bdf
constexpr uint8_t BIOS_FIND_CLASS = 0x03;          // ECX class code, SI index -> BX bdf
constexpr uint8_t BIOS_READ_CONFIG_BYTE = 0x08;    // BX bdf, DI offset -> CL
constexpr uint8_t BIOS_READ_CONFIG_WORD = 0x09;    // -> CX
constexpr uint8_t BIOS_READ_CONFIG_DWORD = 0x0A;   // -> ECX
constexpr uint8_t BIOS_WRITE_CONFIG_BYTE = 0x0B;   // CL
constexpr uint8_t BIOS_WRITE_CONFIG_WORD = 0x0C;   // CX
constexpr uint8_t BIOS_WRITE_CONFIG_DWORD = 0x0D;  // ECX
constexpr uint32_t BIOS_SIGNATURE = 0x20494350;    // "PCI "
constexpr uint8_t BIOS_SUCCESSFUL = 0x00;
constexpr uint8_t BIOS_FUNCTION_NOT_SUPPORTED = 0x81;
constexpr uint8_t BIOS_DEVICE_NOT_FOUND = 0x86;

}  // namespace pci
