; The vocabulary's nasm includes in one driver-like file: they assemble together, twice over,
; and name what a driver needs (ports, indices, bits, record fields).
bits 16
cpu 386
org 0

%include "hw/vga.inc"
%include "hw/dispi.inc"
%include "hw/palisade_ext.inc"
%include "hw/pci.inc"
%include "hw/vbe.inc"
%include "hw/cirrus.inc"
%include "hw/uart.inc"
%include "hw/vga.inc"
%include "hw/cirrus.inc"

    mov dx, VGA_SEQ_INDEX_PORT
    mov ax, (VGA_SEQ_MEMORY_MODE_CHAIN4 << 8) | VGA_SEQ_MEMORY_MODE
    out dx, ax
    mov dx, DISPI_INDEX_PORT
    mov ax, PALISADE_EXT_ACCEL_CAPS
    out dx, ax
    mov eax, PCI_CONFIG_ADDRESS_ENABLE | PCI_BAR0
    mov [es:di + VbeModeInfo.PhysBasePtr], eax
    mov word [es:di + VbeControllerInfo.TotalMemory], DISPI_VIDEO_MEMORY_64K
    mov al, [es:di + KestrelDriverRecord.majorVersion]
    mov dx, VGA_GC_INDEX_PORT
    mov ax, (CIRRUS_GC_MODE_EXTENSIONS_16K << 8) | CIRRUS_GC_MODE_EXTENSIONS
    out dx, ax
    mov byte [fs:CIRRUS_MMIO_BLT_BLOCK + CIRRUS_MMIO_ROP], CIRRUS_ROP_NOT_SRC_AND_DST_NAND
    mov dword [fs:CIRRUS_MMIO_BLT_BLOCK + CIRRUS_MMIO_STATUS], CIRRUS_GC_BLT_STATUS_START
    mov ecx, CIRRUS_BAR_FRAMEBUFFER_BYTES - CIRRUS_CURSOR_AREA_BYTES
    mov ax, PCI_DEVICE_CIRRUS_GD5446
