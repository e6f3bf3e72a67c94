; Kestrel's back end for the Bochs-DISPI SuperVGA: the chip interface (chip_*) on the DISPI
; registers at 1CEh/1CFh, with the standard VGA parts from vga.asm.
;
; Included by kestrel.asm; the contract of every chip_* routine is written there.

%include "hw/dispi.inc"

CHIP_CODE       equ 1                       ; kestrel::HARDWARE_DISPI
CHIP_CAPABILITIES equ VBE_CAP_DAC_SWITCHABLE
CHIP_MAX_LINE_BYTES equ 0FFFFh              ; DISPI limits the pixels (MAX_VIRT_PIXELS), not the bytes

DISPI_ID_VERSIONS equ 0FFF0h                ; DISPI_ID_0 and the versions after it

; The value argument must not be AX or DX.
%macro DISPI_SET 2
    mov dx, DISPI_INDEX_PORT
    mov ax, %1
    out dx, ax
    inc dx
    mov ax, %2
    out dx, ax
%endmacro

%macro DISPI_GET 1      ; -> AX
    mov dx, DISPI_INDEX_PORT
    mov ax, %1
    out dx, ax
    inc dx
    in ax, dx
%endmacro

dispi_enable:   dw 0        ; the enable value of the current mode (LFB, DAC width)

; The VGA side of a DISPI mode: graphics, the 64 KB window at A000, planes or chained
; pixels, an identity attribute palette. The CRTC timing is the DISPI extension's.
%macro DISPI_VGA_REGISTERS 3    ; sequencer memory mode, graphics mode, attribute mode control
    REGISTER_BLOCK VGA_SEQ_INDEX_PORT, 6
    db VGA_SEQ_RESET, 01h                   ; synchronous reset while changing
    db VGA_SEQ_CLOCKING_MODE, 01h           ; 8-dot characters, screen on
    db VGA_SEQ_MAP_MASK, 0Fh                ; all planes
    db VGA_SEQ_CHARACTER_MAP, 00h           ; (unused in graphics)
    db VGA_SEQ_MEMORY_MODE, %1
    db VGA_SEQ_RESET, 03h                   ; out of reset
    REGISTER_BLOCK VGA_GC_INDEX_PORT, 9
    db VGA_GC_SET_RESET, 00h
    db VGA_GC_ENABLE_SET_RESET, 00h
    db VGA_GC_COLOR_COMPARE, 00h
    db VGA_GC_DATA_ROTATE, 00h              ; no rotate, replace
    db VGA_GC_READ_MAP_SELECT, 00h
    db VGA_GC_MODE, %2
    db VGA_GC_MISC, 05h                     ; graphics, A000 64 KB
    db VGA_GC_COLOR_DONT_CARE, 0Fh
    db VGA_GC_BIT_MASK, 0FFh
    GRAPHICS_ATTRIBUTE_BLOCK %3
    REGISTERS_END
%endmacro

dispi_planar_registers:
    DISPI_VGA_REGISTERS 06h, 00h, 01h       ; no chain 4, write mode 0, graphics
dispi_packed_registers:
    DISPI_VGA_REGISTERS 0Eh, 40h, 41h       ; chain 4, 256-colour shift

chip_check:
    push bx
    push dx
    mov dx, DISPI_INDEX_PORT
    in ax, dx
    push ax                                 ; index as found
    DISPI_GET DISPI_ID
    and ax, DISPI_ID_VERSIONS
    cmp ax, DISPI_ID_0
    jne .absent
    mov bx, [cs:memory_64k]
    test bx, bx
    jz .absent                              ; no memory was generated
    DISPI_GET DISPI_VIDEO_MEMORY_64K
    cmp ax, bx                              ; CF: less memory than generated
    jmp .restore
.absent:
    stc
.restore:
    pop ax
    mov dx, DISPI_INDEX_PORT
    out dx, ax
    pop dx
    pop bx
    ret

chip_can_show:
    clc                                     ; DISPI shows every mode that fits
    ret

chip_set_mode:
    pushad
    DISPI_SET DISPI_ENABLE, 0
    movzx cx, byte [cs:si+MODE_BPP]
    DISPI_SET DISPI_BPP, cx
    DISPI_SET DISPI_XRES, [cs:si+MODE_XRES]
    DISPI_SET DISPI_YRES, [cs:si+MODE_YRES]
    DISPI_SET DISPI_BANK, 0
    mov cx, DISPI_ENABLE_ON
    test bx, VBE_MODE_LINEAR
    jz .no_lfb
    or cx, DISPI_ENABLE_LFB
.no_lfb:
    mov [cs:dispi_enable], cx
    test bx, VBE_MODE_NO_CLEAR
    jz .clear
    or cx, DISPI_ENABLE_NO_CLEAR_MEM
.clear:
    DISPI_SET DISPI_ENABLE, cx
    in ax, dx
    test al, DISPI_ENABLE_ON
    jz .refused                             ; the card would not show it
    ; The card resets the virtual width, the display start and the bank on enabling.
    mov bx, dispi_planar_registers
    cmp byte [cs:si+MODE_MODEL], VBE_MEMORY_PLANAR
    je .vga
    mov bx, dispi_packed_registers
.vga:
    mov si, bx
    call vga_load_registers
    call vga_load_default_palette
    popad
    clc
    ret
.refused:
    popad
    stc
    ret

chip_leave:
    push dx
    DISPI_SET DISPI_ENABLE, 0
    pop dx
    ret

chip_set_bank:
    push dx
    mov ax, DISPI_BANK
    mov dx, DISPI_INDEX_PORT
    out dx, ax
    inc dx
    pop ax
    out dx, ax
    mov dx, ax
    ret

chip_get_bank:
    DISPI_GET DISPI_BANK
    and ax, DISPI_BANK_NUMBER
    mov dx, ax
    ret

chip_set_start:
    push dx
    mov ax, DISPI_X_OFFSET
    mov dx, DISPI_INDEX_PORT
    out dx, ax
    inc dx
    mov ax, cx
    out dx, ax
    dec dx
    mov ax, DISPI_Y_OFFSET
    out dx, ax
    inc dx
    pop ax
    out dx, ax
    mov dx, ax
    ret

chip_get_start:
    DISPI_GET DISPI_X_OFFSET
    mov cx, ax
    dec dx
    mov ax, DISPI_Y_OFFSET
    out dx, ax
    inc dx
    in ax, dx
    mov dx, ax
    ret

chip_set_line_pixels:
    push dx
    DISPI_SET DISPI_VIRT_WIDTH, cx
    pop dx
    ret

chip_get_line_pixels:
    push dx
    DISPI_GET DISPI_VIRT_WIDTH
    mov cx, ax
    pop dx
    ret

chip_set_dac_width:
    push cx
    push dx
    mov cx, [cs:dispi_enable]
    and cx, ~DISPI_ENABLE_DAC_8BIT
    cmp bh, 8
    jb .width_known
    or cx, DISPI_ENABLE_DAC_8BIT
.width_known:
    mov [cs:dispi_enable], cx
    or cx, DISPI_ENABLE_NO_CLEAR_MEM
    DISPI_SET DISPI_ENABLE, cx
    ; A card may refuse the 8-bit DAC: keep the width it took, not the one asked for.
    DISPI_GET DISPI_ENABLE
    and word [cs:dispi_enable], ~DISPI_ENABLE_DAC_8BIT
    and ax, DISPI_ENABLE_DAC_8BIT
    or [cs:dispi_enable], ax
    pop dx
    pop cx
    ; fall through: BH = the width now in use

chip_get_dac_width:
    mov bh, 6
    test word [cs:dispi_enable], DISPI_ENABLE_DAC_8BIT
    jz .done
    mov bh, 8
.done:
    ret

chip_set_palette equ vga_set_palette
chip_get_palette equ vga_get_palette

; The chip's part of the 4F04 state block: the enable value of the mode, then the DISPI
; registers XRES to Y_OFFSET as they were.
struc DispiState, SvgaState.chip
    .enable             resw 1
    .xres               resw 1
    .yres               resw 1
    .bpp                resw 1
    .enable_register    resw 1
    .bank               resw 1
    .virt_width         resw 1
    .virt_height        resw 1
    .x_offset           resw 1
    .y_offset           resw 1
endstruc

chip_save_state:
    pusha
    mov ax, [cs:dispi_enable]
    mov [es:di+DispiState.enable], ax
    add di, DispiState.xres
    mov cx, DISPI_XRES
.next:
    DISPI_GET cx
    mov [es:di], ax
    add di, 2
    inc cx
    cmp cx, DISPI_Y_OFFSET
    jbe .next
    popa
    ret

chip_restore_state:
    pusha
    mov ax, [es:si+DispiState.enable]
    mov [cs:dispi_enable], ax
    DISPI_SET DISPI_ENABLE, 0
    DISPI_SET DISPI_BPP, [es:si+DispiState.bpp]
    DISPI_SET DISPI_XRES, [es:si+DispiState.xres]
    DISPI_SET DISPI_YRES, [es:si+DispiState.yres]
    test word [es:si+DispiState.enable_register], DISPI_ENABLE_ON
    jz .bank
    mov cx, [es:si+DispiState.enable]
    or cx, DISPI_ENABLE_NO_CLEAR_MEM
    DISPI_SET DISPI_ENABLE, cx
    DISPI_SET DISPI_VIRT_WIDTH, [es:si+DispiState.virt_width]
    DISPI_SET DISPI_X_OFFSET, [es:si+DispiState.x_offset]
    DISPI_SET DISPI_Y_OFFSET, [es:si+DispiState.y_offset]
.bank:
    DISPI_SET DISPI_BANK, [es:si+DispiState.bank]
    popa
    ret

%if DispiState.y_offset - DispiState.xres != 2 * (DISPI_Y_OFFSET - DISPI_XRES) || DispiState_size > SvgaState_size
  %error "DispiState does not hold the DISPI registers XRES to Y_OFFSET in the state block"
%endif
