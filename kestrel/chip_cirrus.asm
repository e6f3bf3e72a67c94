; Kestrel's back end for the Cirrus Logic CL-GD5446: the chip interface (chip_*) on the chip's
; own sequencer, graphics controller, CRTC and hidden DAC registers, with the standard VGA
; parts from vga.asm.
;
; Included by kestrel.asm; the contract of every chip_* routine is written there. The chip
; shows packed pixels of 8, 15, 16 and 24 bits (SR07 bit 0: banked window and linear
; framebuffer at once); its 4-bit planes go only through the VGA path, which reaches 64 KB
; of each plane without banks and pans no pixels, so this back end offers no planar mode.
; The DAC is 6 bits wide and has no 8-bit switch.

%include "hw/cirrus.inc"

CHIP_CODE           equ 2                   ; kestrel::HARDWARE_GD5446
CHIP_CAPABILITIES   equ 0                   ; a 6-bit DAC only
CHIP_MAX_LINE_BYTES equ 8 * 511             ; CR13 with CR1B bit 4, in 8-byte units

BANK_UNITS          equ 64 / 16             ; GR09 counts 16 KB units (GR0B bit 5)
MEMORY_4MB_64K      equ 64
CLEAR_LINE_BYTES    equ 4096                ; the clearing fill: 4 KB lines, 16 to 64 KB
SEQ_RESET_ON        equ 01h                 ; SR00: synchronous reset while the clock changes
SEQ_RESET_OFF       equ 03h
MISC_VCLK3          equ 6Fh                 ; colour I/O, RAM on, VCLK3, the ROMs' sync polarity
BLT_WAIT_LIMIT      equ 0FFFFh

%macro INDEXED_OUT 3    ; index port, index, value (an 8-bit register or constant, not AH)
    mov dx, %1
    mov al, %2
    mov ah, %3
    out dx, ax
%endmacro

%macro INDEXED_IN 2     ; index port, index -> AL
    mov dx, %1
    mov al, %2
    out dx, al
    inc dx
    in al, dx
%endmacro

; ---------------------------------------------------------------------------------------
; Register sets. The timings are the LGPL Cirrus BIOS's for its modes (clocks in VCLK3 and
; the ROM's CRTC values; 1280x1024 interlaced, the picture twice CR12's height); 320x200
; halves the 640x400 set's horizontal timing with the sequencer's dot clock divided by two.
; CR13 and CR1B follow from the line length, written separately.
; ---------------------------------------------------------------------------------------
cirrus_common_registers:
    REGISTER_BLOCK VGA_SEQ_INDEX_PORT, 3
    db VGA_SEQ_MAP_MASK, 0Fh
    db VGA_SEQ_MEMORY_MODE, 0Eh             ; chain 4, more than 64 KB
    db CIRRUS_SEQ_CURSOR_ATTRIBUTES, CIRRUS_SEQ_CURSOR_ATTRIBUTES_LARGE  ; cursor hidden
    REGISTER_BLOCK VGA_GC_INDEX_PORT, 12
    db VGA_GC_SET_RESET, 00h
    db VGA_GC_ENABLE_SET_RESET, 00h         ; also the BitBLT foreground byte 0
    db VGA_GC_COLOR_COMPARE, 00h
    db VGA_GC_DATA_ROTATE, 00h
    db VGA_GC_READ_MAP_SELECT, 00h
    db VGA_GC_MODE, 40h                     ; 256-colour shift: packed pixels
    db VGA_GC_MISC, 05h                     ; graphics, A000 64 KB
    db VGA_GC_COLOR_DONT_CARE, 0Fh
    db VGA_GC_BIT_MASK, 0FFh
    db CIRRUS_GC_OFFSET0, 00h
    db CIRRUS_GC_OFFSET1, 00h
    db CIRRUS_GC_MODE_EXTENSIONS, CIRRUS_GC_MODE_EXTENSIONS_16K   ; single page, 16 KB banks
    REGISTERS_END

cirrus_attribute_registers:
    GRAPHICS_ATTRIBUTE_BLOCK 41h           ; graphics, 8-bit pixels
    REGISTERS_END

; CR11 first (its protect bit clear), then the rest of CR00-CR18 but the cursor and the
; offset, and CR1A; the start address at 0.
%macro CRTC_TIMING 18   ; CR11, CR00-CR07, CR09, CR10, CR12, CR14-CR18, CR1A
    REGISTER_BLOCK VGA_CRTC_INDEX_PORT, 22
    db VGA_CRTC_V_SYNC_END, %1
    db VGA_CRTC_H_TOTAL, %2
    db VGA_CRTC_H_DISPLAY_END, %3
    db VGA_CRTC_H_BLANK_START, %4
    db VGA_CRTC_H_BLANK_END, %5
    db VGA_CRTC_H_SYNC_START, %6
    db VGA_CRTC_H_SYNC_END, %7
    db VGA_CRTC_V_TOTAL, %8
    db VGA_CRTC_OVERFLOW, %9
    db VGA_CRTC_PRESET_ROW_SCAN, 00h
    db VGA_CRTC_MAX_SCAN_LINE, %10
    db VGA_CRTC_START_ADDRESS_HIGH, 00h
    db VGA_CRTC_START_ADDRESS_LOW, 00h
    db VGA_CRTC_V_SYNC_START, %11
    db VGA_CRTC_V_DISPLAY_END, %12
    db VGA_CRTC_UNDERLINE_LOCATION, %13
    db VGA_CRTC_V_BLANK_START, %14
    db VGA_CRTC_V_BLANK_END, %15
    db VGA_CRTC_MODE_CONTROL, %16
    db VGA_CRTC_LINE_COMPARE, %17
    db CIRRUS_CRTC_MISC_CONTROL, %18
    db CIRRUS_CRTC_OVERLAY, 00h
    REGISTERS_END
%endmacro

crtc_320x200:
    CRTC_TIMING 0Eh, 2Dh,27h,28h,90h,2Bh,8Fh,0BFh,1Fh, 41h, 9Ch,8Fh, 40h,96h,0B9h,0C3h,0FFh, 00h
crtc_640x400:
    CRTC_TIMING 0Eh, 5Fh,4Fh,4Fh,80h,52h,1Eh,0BFh,1Fh, 40h, 9Ch,8Fh, 40h,96h,0B9h,0C3h,0FFh, 00h
crtc_640x480:
    CRTC_TIMING 2Ch, 5Fh,4Fh,4Fh,80h,52h,1Eh,0Bh,3Eh, 40h, 0EAh,0DFh, 40h,0DFh,0Bh,0C3h,0FFh, 00h
crtc_800x600:
    CRTC_TIMING 23h, 7Fh,63h,64h,82h,6Bh,1Bh,72h,0F0h, 60h, 7Dh,57h, 40h,57h,98h,0C3h,0FFh, 00h
crtc_1024x768:
    CRTC_TIMING 29h, 0A3h,7Fh,7Fh,86h,83h,94h,24h,0F5h, 60h, 03h,0FFh, 40h,0FFh,24h,0C3h,0FFh, 00h
crtc_1280x1024:
    CRTC_TIMING 29h, 0BDh,9Fh,0A0h,80h,0A4h,19h,2Ah,0B2h, 60h, 0Bh,0FFh, 40h,0FFh,24h,0C3h,0FFh, 01h

; The resolutions: width, height, SR01 (8-dot characters, screen on, the dot clock halved at
; 320 pixels), VCLK3 numerator and denominator, the CRTC set.
struc Timing
    .xres       resw 1
    .yres       resw 1
    .clocking   resb 1
    .numerator  resb 1
    .denominator resb 1
    .crtc       resw 1
endstruc

%macro TIMING 6
    dw %1, %2
    db %3, %4, %5
    dw %6
%endmacro

timings:
    TIMING  320, 200, 09h, 4Ah, 2Bh, crtc_320x200      ; 25.2 MHz / 2
    TIMING  640, 400, 01h, 4Ah, 2Bh, crtc_640x400      ; 25.2 MHz
    TIMING  640, 480, 01h, 4Ah, 2Bh, crtc_640x480      ; 25.2 MHz
    TIMING  800, 600, 01h, 51h, 3Ah, crtc_800x600      ; 40.0 MHz
    TIMING 1024, 768, 01h, 76h, 34h, crtc_1024x768     ; 65.0 MHz
    TIMING 1280,1024, 01h, 6Eh, 2Ah, crtc_1280x1024    ; 75.0 MHz
timings_end:

; SR07 and the hidden DAC register of each depth: the values both Cirrus ROMs write.
struc Depth
    .bpp        resb 1
    .extended   resb 1
    .hdr        resb 1
endstruc

depths:
    db  8, CIRRUS_SEQ_EXTENDED_MODE_SVGA | CIRRUS_SEQ_EXTENDED_MODE_DEPTH_8, 00h
    db 15, CIRRUS_SEQ_EXTENDED_MODE_SVGA | CIRRUS_SEQ_EXTENDED_MODE_DEPTH_16, 0F0h  ; 5:5:5
    db 16, CIRRUS_SEQ_EXTENDED_MODE_SVGA | CIRRUS_SEQ_EXTENDED_MODE_DEPTH_16, 0E1h  ; 5:6:5
    db 24, CIRRUS_SEQ_EXTENDED_MODE_SVGA | CIRRUS_SEQ_EXTENDED_MODE_DEPTH_24, 0E5h
depths_end:

; In: CS:SI -> mode table entry. Out: CS:BX -> its Timing, CS:DI -> its Depth; CF set when
; the chip has neither.
cirrus_find_mode:
    push ax
    mov al, [cs:si+MODE_BPP]
    mov di, depths
.depth:
    cmp [cs:di+Depth.bpp], al
    je .depth_found
    add di, Depth_size
    cmp di, depths_end
    jb .depth
    jmp .none
.depth_found:
    mov ax, [cs:si+MODE_XRES]
    mov bx, timings
.timing:
    cmp [cs:bx+Timing.xres], ax
    jne .next
    push ax
    mov ax, [cs:si+MODE_YRES]
    cmp [cs:bx+Timing.yres], ax
    pop ax
    je .found
.next:
    add bx, Timing_size
    cmp bx, timings_end
    jb .timing
.none:
    pop ax
    stc
    ret
.found:
    pop ax
    clc
    ret

; Unlocks the extension registers. DX is not kept.
%macro UNLOCK 0
    INDEXED_OUT VGA_SEQ_INDEX_PORT, CIRRUS_SEQ_UNLOCK, CIRRUS_SEQ_UNLOCK_KEY
%endmacro

; In: AL = the hidden DAC register's new value. AX, DX not kept.
cirrus_write_hdr:
    mov ah, al
    mov dx, VGA_DAC_WRITE_INDEX_PORT
    in al, dx                               ; the count of 3C6h reads starts again
    mov dx, VGA_DAC_PIXEL_MASK_PORT
%rep CIRRUS_HDR_READS_BEFORE
    in al, dx
%endrep
    mov al, ah
    out dx, al
    ret

; Out: AL = the hidden DAC register. DX not kept.
cirrus_read_hdr:
    mov dx, VGA_DAC_WRITE_INDEX_PORT
    in al, dx
    mov dx, VGA_DAC_PIXEL_MASK_PORT
%rep CIRRUS_HDR_READS_BEFORE + 1
    in al, dx
%endrep
    ret

chip_check:
    push bx
    push cx
    push dx
    mov dx, VGA_SEQ_INDEX_PORT
    in al, dx
    mov cl, al                              ; sequencer index as found
    mov dx, VGA_CRTC_INDEX_PORT
    in al, dx
    mov ch, al                              ; CRTC index as found
    INDEXED_IN VGA_SEQ_INDEX_PORT, CIRRUS_SEQ_UNLOCK
    mov bh, al                              ; the lock as found
    UNLOCK
    INDEXED_IN VGA_SEQ_INDEX_PORT, CIRRUS_SEQ_UNLOCK
    cmp al, CIRRUS_SEQ_UNLOCK_KEY
    jne .absent
    INDEXED_IN VGA_CRTC_INDEX_PORT, CIRRUS_CRTC_ID
    and al, CIRRUS_CRTC_ID_CHIP
    cmp al, CIRRUS_CRTC_ID_GD5446
    jne .absent
    ; Video memory in 64 KB units: 256 KB << width, or 4 MB with the second bank at the widest.
    INDEXED_IN VGA_SEQ_INDEX_PORT, CIRRUS_SEQ_DRAM_CONTROL
    mov ah, al
    and al, CIRRUS_SEQ_DRAM_CONTROL_WIDTH
    mov bl, MEMORY_4MB_64K
    cmp al, CIRRUS_SEQ_DRAM_CONTROL_WIDTH
    jne .narrow
    test ah, CIRRUS_SEQ_DRAM_CONTROL_SECOND_BANK
    jnz .memory_known
.narrow:
    push cx
    mov cl, al
    shr cl, CIRRUS_SEQ_DRAM_CONTROL_WIDTH_SHIFT
    mov bl, 4
    shl bl, cl
    pop cx
.memory_known:
    cmp word [cs:memory_64k], 0
    je .absent                              ; no memory was generated
    xor ah, ah
    mov al, bl
    cmp ax, [cs:memory_64k]                 ; CF: less memory than generated
    jmp .restore
.absent:
    stc
.restore:
    pushf
    INDEXED_OUT VGA_SEQ_INDEX_PORT, CIRRUS_SEQ_UNLOCK, bh
    mov dx, VGA_SEQ_INDEX_PORT
    mov al, cl
    out dx, al
    mov dx, VGA_CRTC_INDEX_PORT
    mov al, ch
    out dx, al
    popf
    pop dx
    pop cx
    pop bx
    ret

chip_can_show:
    push bx
    push di
    call cirrus_find_mode
    pop di
    pop bx
    ret

chip_set_mode:
    pushad
    mov bp, bx                              ; the VBE mode and its flags
    call cirrus_find_mode
    jc .refused
    UNLOCK
    INDEXED_OUT VGA_SEQ_INDEX_PORT, VGA_SEQ_CLOCKING_MODE, VGA_SEQ_CLOCKING_MODE_SCREEN_OFF | VGA_SEQ_CLOCKING_MODE_8_DOTS
    ; The pixel clock: VCLK3 from the table, chosen by the miscellaneous output.
    INDEXED_OUT VGA_SEQ_INDEX_PORT, VGA_SEQ_RESET, SEQ_RESET_ON
    mov dx, VGA_MISC_WRITE_PORT
    mov al, MISC_VCLK3
    out dx, al
    INDEXED_OUT VGA_SEQ_INDEX_PORT, CIRRUS_SEQ_VCLK3_NUMERATOR, [cs:bx+Timing.numerator]
    INDEXED_OUT VGA_SEQ_INDEX_PORT, CIRRUS_SEQ_VCLK3_DENOMINATOR, [cs:bx+Timing.denominator]
    INDEXED_OUT VGA_SEQ_INDEX_PORT, VGA_SEQ_RESET, SEQ_RESET_OFF
    INDEXED_OUT VGA_SEQ_INDEX_PORT, CIRRUS_SEQ_EXTENDED_MODE, [cs:di+Depth.extended]
    mov al, [cs:di+Depth.hdr]
    call cirrus_write_hdr
    push si
    mov si, cirrus_common_registers
    call vga_load_registers
    mov si, [cs:bx+Timing.crtc]
    call vga_load_registers
    pop si
    mov cx, [cs:si+MODE_PITCH]
    call cirrus_set_pitch
    test bp, VBE_MODE_NO_CLEAR
    jnz .kept
    call cirrus_clear_memory
.kept:
    push si
    mov si, cirrus_attribute_registers
    call vga_load_registers
    pop si
    call vga_load_default_palette
    ; The picture on: both Cirrus ROMs leave it off.
    INDEXED_OUT VGA_SEQ_INDEX_PORT, VGA_SEQ_CLOCKING_MODE, [cs:bx+Timing.clocking]
    popad
    clc
    ret
.refused:
    popad
    stc
    ret

; In: CX = bytes per line, a multiple of 8 up to CHIP_MAX_LINE_BYTES. AX, DX not kept.
cirrus_set_pitch:
    push cx
    shr cx, 3
    INDEXED_OUT VGA_CRTC_INDEX_PORT, VGA_CRTC_OFFSET, cl
    INDEXED_IN VGA_CRTC_INDEX_PORT, CIRRUS_CRTC_EXTENDED_DISPLAY
    and al, ~CIRRUS_CRTC_EXTENDED_DISPLAY_OFFSET_8
    or al, CIRRUS_CRTC_EXTENDED_DISPLAY_WRAP | CIRRUS_CRTC_EXTENDED_DISPLAY_BLANKING
    test ch, 1
    jz .low
    or al, CIRRUS_CRTC_EXTENDED_DISPLAY_OFFSET_8
.low:
    out dx, al
    pop cx
    ret

; Out: EAX = bytes per line of the chip's current mode. DX not kept.
cirrus_pitch:
    INDEXED_IN VGA_CRTC_INDEX_PORT, CIRRUS_CRTC_EXTENDED_DISPLAY
    mov ah, al
    shr ah, 4
    and ah, 1                               ; offset bit 8
    dec dx
    mov al, VGA_CRTC_OFFSET
    out dx, al
    inc dx
    in al, dx
    movzx eax, ax
    shl eax, 3
    ret

; Out: EAX = bytes per pixel of the current VBE mode.
cirrus_pixel_bytes:
    push si
    mov si, [cs:cur_entry]
    movzx eax, byte [cs:si+MODE_BPP]
    add eax, 7
    shr eax, 3
    pop si
    ret

; Clears all video memory with one solid fill of the BitBLT engine: 4 KB lines of colour 0.
; AX, DX not kept.
cirrus_clear_memory:
    push cx
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_STATUS, CIRRUS_GC_BLT_STATUS_RESET  ; whatever ran
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_STATUS, 0
    mov cx, [cs:memory_64k]
    shl cx, 4                               ; 4 KB lines
    dec cx
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_HEIGHT, cl
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_HEIGHT + 1, ch
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_WIDTH, (CLEAR_LINE_BYTES - 1) & 0FFh
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_WIDTH + 1, (CLEAR_LINE_BYTES - 1) >> 8
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_DST_PITCH, CLEAR_LINE_BYTES & 0FFh
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_DST_PITCH + 1, CLEAR_LINE_BYTES >> 8
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_DST_ADDRESS, 0
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_DST_ADDRESS + 1, 0
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_DST_ADDRESS + 2, 0
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_FOREGROUND0, 0
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_MODE, CIRRUS_GC_BLT_MODE_COLOUR_EXPAND | CIRRUS_GC_BLT_MODE_PATTERN
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_ROP, CIRRUS_ROP_SRC
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_MODE_EXTENSION, CIRRUS_GC_BLT_MODE_EXTENSION_SOLID_FILL
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_STATUS, CIRRUS_GC_BLT_STATUS_START
    inc dx
    mov cx, BLT_WAIT_LIMIT                  ; bounded: a chip that never finishes cannot hang us
.wait:
    in al, dx
    test al, CIRRUS_GC_BLT_STATUS_BUSY | CIRRUS_GC_BLT_STATUS_START
    loopnz .wait
    INDEXED_OUT VGA_GC_INDEX_PORT, CIRRUS_GC_BLT_MODE_EXTENSION, 0
    pop cx
    ret

chip_leave:
    push dx
    UNLOCK
    INDEXED_OUT VGA_SEQ_INDEX_PORT, CIRRUS_SEQ_EXTENDED_MODE, 0
    mov dx, VGA_GC_INDEX_PORT
    mov ax, CIRRUS_GC_OFFSET0
    out dx, ax
    mov al, CIRRUS_GC_OFFSET1
    out dx, ax
    mov al, CIRRUS_GC_MODE_EXTENSIONS
    out dx, ax
    mov dx, VGA_CRTC_INDEX_PORT
    mov al, CIRRUS_CRTC_MISC_CONTROL
    out dx, ax
    mov al, CIRRUS_CRTC_EXTENDED_DISPLAY
    out dx, ax
    mov al, CIRRUS_CRTC_OVERLAY
    out dx, ax
    xor al, al
    call cirrus_write_hdr
    pop dx
    ret

chip_set_bank:
    push dx
    mov ah, dl
    shl ah, 2                               ; BANK_UNITS 16 KB units a bank
    mov al, CIRRUS_GC_OFFSET0
    mov dx, VGA_GC_INDEX_PORT
    out dx, ax
    pop dx
    ret

chip_get_bank:
    INDEXED_IN VGA_GC_INDEX_PORT, CIRRUS_GC_OFFSET0
    shr al, 2
    movzx dx, al
    ret

%if BANK_UNITS != 4
  %error "chip_set_bank and chip_get_bank shift by two: four 16 KB units a bank"
%endif

; The start address counts dwords: CR0D bits 0-7, CR0C 8-15, CR1B bit 0 16, CR1B bits 2-3
; 17-18, CR1D bit 7 19. A start between dwords goes down to the dword.
chip_set_start:
    push ebx
    push esi
    push edx
    movzx esi, cx
    movzx ebx, dx
    call cirrus_pitch
    mul ebx
    mov ebx, eax                            ; the line's first byte
    call cirrus_pixel_bytes
    mul esi
    add ebx, eax
    shr ebx, 2                              ; dwords
    INDEXED_OUT VGA_CRTC_INDEX_PORT, VGA_CRTC_START_ADDRESS_LOW, bl
    INDEXED_OUT VGA_CRTC_INDEX_PORT, VGA_CRTC_START_ADDRESS_HIGH, bh
    shr ebx, 16                             ; BL = start bits 16-23
    INDEXED_IN VGA_CRTC_INDEX_PORT, CIRRUS_CRTC_EXTENDED_DISPLAY
    and al, ~(CIRRUS_CRTC_EXTENDED_DISPLAY_START_16 | CIRRUS_CRTC_EXTENDED_DISPLAY_START_17_18)
    mov ah, bl
    and ah, 1
    or al, ah
    mov ah, bl
    shl ah, 1
    and ah, CIRRUS_CRTC_EXTENDED_DISPLAY_START_17_18
    or al, ah
    out dx, al
    INDEXED_IN VGA_CRTC_INDEX_PORT, CIRRUS_CRTC_OVERLAY
    and al, ~CIRRUS_CRTC_OVERLAY_START_19
    shl bl, 4                               ; start bit 19 to bit 7
    and bl, CIRRUS_CRTC_OVERLAY_START_19
    or al, bl
    out dx, al
    pop edx
    pop esi
    pop ebx
    ret

chip_get_start:
    push ebx
    push esi
    INDEXED_IN VGA_CRTC_INDEX_PORT, CIRRUS_CRTC_OVERLAY
    mov bl, al
    shr bl, 4
    and bl, 08h                             ; start bit 19 at bit 3
    dec dx
    mov al, CIRRUS_CRTC_EXTENDED_DISPLAY
    out dx, al
    inc dx
    in al, dx
    mov ah, al
    and ah, CIRRUS_CRTC_EXTENDED_DISPLAY_START_16
    or bl, ah
    shr al, 1
    and al, CIRRUS_CRTC_EXTENDED_DISPLAY_START_17_18 >> 1
    or bl, al
    movzx ebx, bl
    shl ebx, 16
    INDEXED_IN VGA_CRTC_INDEX_PORT, VGA_CRTC_START_ADDRESS_HIGH
    mov bh, al
    dec dx
    mov al, VGA_CRTC_START_ADDRESS_LOW
    out dx, al
    inc dx
    in al, dx
    mov bl, al
    shl ebx, 2                              ; bytes
    call cirrus_pitch
    mov esi, eax
    mov eax, ebx
    xor edx, edx
    div esi
    mov ebx, eax                            ; the line
    mov esi, edx                            ; the byte in it
    call cirrus_pixel_bytes
    xchg eax, esi
    xor edx, edx
    div esi
    mov cx, ax
    mov dx, bx
    pop esi
    pop ebx
    ret

chip_set_line_pixels:
    push cx
    push dx
    add cx, 7                               ; whole 8-pixel groups: lines of whole qwords,
    and cx, 0FFF8h
    call cirrus_pixel_bytes
    push ax
    mul cx
    pop dx
    cmp ax, CHIP_MAX_LINE_BYTES
    jbe .held
    sub cx, 8                               ; down, not up, where up is more than the chip holds
    mov ax, cx
    mul dx
.held:
    mov cx, ax
    call cirrus_set_pitch
    pop dx
    pop cx
    ret

chip_get_line_pixels:
    push dx
    push ebx
    call cirrus_pitch
    mov ebx, eax
    call cirrus_pixel_bytes
    xchg eax, ebx
    xor edx, edx
    div ebx
    mov cx, ax
    pop ebx
    pop dx
    ret

chip_set_dac_width:                         ; the DAC has 6 bits whatever is asked
chip_get_dac_width:
    mov bh, 6
    ret

chip_set_palette equ vga_set_palette
chip_get_palette equ vga_get_palette

; The chip's part of the 4F04 state block: the miscellaneous output and the hidden DAC
; register, then the registers of cirrus_state_registers in order. The CRTC's CR11 is
; restored first without its protect bit, so that CR00-CR07 take their values.
struc CirrusState, SvgaState.chip
    .misc               resb 1
    .hdr                resb 1
    .v_sync_end         resb 1
    .registers          resb 1
endstruc

cirrus_state_registers:
    dw VGA_SEQ_INDEX_PORT
    db 6, VGA_SEQ_CLOCKING_MODE, VGA_SEQ_MAP_MASK, VGA_SEQ_MEMORY_MODE, CIRRUS_SEQ_EXTENDED_MODE
    db CIRRUS_SEQ_VCLK3_NUMERATOR, CIRRUS_SEQ_VCLK3_DENOMINATOR
    dw VGA_GC_INDEX_PORT
    db 5, VGA_GC_MODE, VGA_GC_MISC, CIRRUS_GC_OFFSET0, CIRRUS_GC_OFFSET1, CIRRUS_GC_MODE_EXTENSIONS
    dw VGA_CRTC_INDEX_PORT
    db 28
%assign i 0
%rep VGA_CRTC_LINE_COMPARE + 1
    db i
%assign i i + 1
%endrep
    db CIRRUS_CRTC_MISC_CONTROL, CIRRUS_CRTC_EXTENDED_DISPLAY, CIRRUS_CRTC_OVERLAY
    dw 0
cirrus_state_registers_end:

%if CirrusState.registers + 6 + 5 + 28 > SvgaState_size
  %error "CirrusState does not fit in the state block"
%endif

chip_save_state:
    pushad
    mov dx, VGA_MISC_READ_PORT
    in al, dx
    mov [es:di+CirrusState.misc], al
    call cirrus_read_hdr
    mov [es:di+CirrusState.hdr], al
    INDEXED_IN VGA_CRTC_INDEX_PORT, VGA_CRTC_V_SYNC_END
    mov [es:di+CirrusState.v_sync_end], al
    add di, CirrusState.registers
    mov si, cirrus_state_registers
.block:
    mov dx, [cs:si]
    test dx, dx
    jz .done
    movzx cx, byte [cs:si+2]
    add si, 3
.register:
    mov al, [cs:si]
    out dx, al
    inc dx
    in al, dx
    dec dx
    mov [es:di], al
    inc si
    inc di
    loop .register
    jmp .block
.done:
    popad
    ret

chip_restore_state:
    pushad
    UNLOCK
    mov dx, VGA_MISC_WRITE_PORT
    mov al, [es:si+CirrusState.misc]
    out dx, al
    mov al, [es:si+CirrusState.hdr]
    call cirrus_write_hdr
    mov ah, [es:si+CirrusState.v_sync_end]
    and ah, ~VGA_CRTC_V_SYNC_END_PROTECT
    INDEXED_OUT VGA_CRTC_INDEX_PORT, VGA_CRTC_V_SYNC_END, ah
    lea di, [si+CirrusState.registers]
    mov si, cirrus_state_registers
.block:
    mov dx, [cs:si]
    test dx, dx
    jz .done
    movzx cx, byte [cs:si+2]
    add si, 3
.register:
    mov al, [cs:si]
    mov ah, [es:di]
    out dx, ax
    inc si
    inc di
    loop .register
    jmp .block
.done:
    popad
    ret
