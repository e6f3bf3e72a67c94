; Kestrel's back end for the Bochs-DISPI SuperVGA: the chip interface (chip_*) on the DISPI
; registers at 1CEh/1CFh, with the standard VGA parts from vga.asm.
;
; Included by kestrel.asm; the contract of every chip_* routine is written there.

DISPI_INDEX     equ 01CEh
DISPI_DATA      equ 01CFh
DISPI_ID        equ 0
DISPI_XRES      equ 1
DISPI_YRES      equ 2
DISPI_BPP       equ 3
DISPI_ENABLE    equ 4
DISPI_BANK      equ 5
DISPI_VIRT_W    equ 6
DISPI_VIRT_H    equ 7
DISPI_X_OFFSET  equ 8
DISPI_Y_OFFSET  equ 9
DISPI_MEMORY    equ 0Ah

DISPI_ID_MASK   equ 0FFF0h                  ; B0C0h..B0CFh: the versions of the interface
DISPI_ID_ANY    equ 0B0C0h

EN_ENABLED      equ 01h
EN_DAC8         equ 20h
EN_LFB          equ 40h
EN_NOCLEAR      equ 80h

; The value argument must not be AX or DX.
%macro DISPI_SET 2
    mov dx, DISPI_INDEX
    mov ax, %1
    out dx, ax
    inc dx
    mov ax, %2
    out dx, ax
%endmacro

%macro DISPI_GET 1      ; -> AX
    mov dx, DISPI_INDEX
    mov ax, %1
    out dx, ax
    inc dx
    in ax, dx
%endmacro

dispi_enable:   dw 0        ; the enable value of the current mode (LFB, DAC width)

; The VGA side of a DISPI mode: graphics, the 64 KB window at A000, planes or chained
; pixels, an identity attribute palette. The CRTC timing is the DISPI extension's.
%macro DISPI_VGA_REGISTERS 3    ; sequencer memory mode, graphics mode, attribute mode control
    VGA_BLOCK 03C4h, 6
    db 00h, 01h                             ; synchronous reset while changing
    db 01h, 01h                             ; 8-dot characters, screen on
    db 02h, 0Fh                             ; all planes
    db 03h, 00h                             ; character maps (unused in graphics)
    db 04h, %1
    db 00h, 03h                             ; out of reset
    VGA_BLOCK 03CEh, 9
    db 00h, 00h, 01h, 00h, 02h, 00h, 03h, 00h, 04h, 00h   ; no set/reset, no rotate, replace, plane 0
    db 05h, %2
    db 06h, 05h                             ; graphics, A000 64 KB
    db 07h, 0Fh                             ; colour don't care
    db 08h, 0FFh                            ; bit mask
    VGA_BLOCK 03C0h, 21
%assign i 0
%rep 16
    db i, i                                 ; identity palette
%assign i i + 1
%endrep
    db 11h, 00h, 12h, 0Fh, 13h, 00h, 14h, 00h
    db 10h, %3
    VGA_END
%endmacro

dispi_planar_registers:
    DISPI_VGA_REGISTERS 06h, 00h, 01h       ; no chain 4 / write mode 0 / graphics
dispi_packed_registers:
    DISPI_VGA_REGISTERS 0Eh, 40h, 41h       ; chain 4 / 256-colour shift

chip_check:
    push bx
    push dx
    mov dx, DISPI_INDEX
    in ax, dx
    push ax                                 ; index as found
    DISPI_GET DISPI_ID
    and ax, DISPI_ID_MASK
    cmp ax, DISPI_ID_ANY
    jne .absent
    mov bx, [cs:total_64k]
    test bx, bx
    jz .absent                              ; no memory was generated
    DISPI_GET DISPI_MEMORY
    cmp ax, bx                              ; CF: less memory than generated
    jmp .restore
.absent:
    stc
.restore:
    pop ax
    mov dx, DISPI_INDEX
    out dx, ax
    pop dx
    pop bx
    ret

chip_probe:
    push dx
    push bp
    xor bx, bx
    mov dx, DISPI_INDEX
    in ax, dx
    mov bp, ax                              ; index as found
    DISPI_GET DISPI_ID
    push ax
    and ax, DISPI_ID_MASK
    cmp ax, DISPI_ID_ANY
    pop ax
    je .dispi
    xor ax, ax
    jmp .restore
.dispi:
    push ax
    DISPI_GET DISPI_MEMORY
    mov bx, ax
    pop ax
.restore:
    push ax
    mov ax, bp
    mov dx, DISPI_INDEX
    out dx, ax
    pop ax
    pop bp
    pop dx
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
    mov cx, EN_ENABLED
    test bh, 40h
    jz .no_lfb
    or cx, EN_LFB
.no_lfb:
    mov [cs:dispi_enable], cx
    test bh, 80h
    jz .clear
    or cx, EN_NOCLEAR
.clear:
    DISPI_SET DISPI_ENABLE, cx
    in ax, dx
    test al, EN_ENABLED
    jz .refused                             ; the card would not show it
    ; The card resets the virtual width, the display start and the bank on enabling.
    mov bx, dispi_planar_registers
    cmp byte [cs:si+MODE_BPP], 4
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
    mov dx, DISPI_INDEX
    out dx, ax
    inc dx
    pop ax
    out dx, ax
    mov dx, ax
    ret

chip_get_bank:
    DISPI_GET DISPI_BANK
    and ax, 03FFh
    mov dx, ax
    ret

chip_set_start:
    push dx
    mov ax, DISPI_X_OFFSET
    mov dx, DISPI_INDEX
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
    DISPI_SET DISPI_VIRT_W, cx
    pop dx
    ret

chip_get_line_pixels:
    push dx
    DISPI_GET DISPI_VIRT_W
    mov cx, ax
    pop dx
    ret

chip_set_dac_width:
    push cx
    push dx
    mov cx, [cs:dispi_enable]
    and cx, ~EN_DAC8
    cmp bh, 8
    jb .width_known
    or cx, EN_DAC8
.width_known:
    mov [cs:dispi_enable], cx
    or cx, EN_NOCLEAR
    DISPI_SET DISPI_ENABLE, cx
    ; A card may refuse the 8-bit DAC: keep the width it took, not the one asked for.
    DISPI_GET DISPI_ENABLE
    and word [cs:dispi_enable], ~EN_DAC8
    and ax, EN_DAC8
    or [cs:dispi_enable], ax
    pop dx
    pop cx
    ; fall through: BH = the width now in use

chip_get_dac_width:
    mov bh, 6
    test word [cs:dispi_enable], EN_DAC8
    jz .done
    mov bh, 8
.done:
    ret

chip_set_palette equ vga_set_palette
chip_get_palette equ vga_get_palette

; The chip part of the state block: the enable value at 4, then XRES .. Y_OFFSET at 6 .. 22.
chip_save_state:
    pusha
    mov ax, [cs:dispi_enable]
    mov [es:di+4], ax
    add di, 6
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
    mov ax, [es:si+4]
    mov [cs:dispi_enable], ax
    DISPI_SET DISPI_ENABLE, 0
    DISPI_SET DISPI_BPP, [es:si+10]
    DISPI_SET DISPI_XRES, [es:si+6]
    DISPI_SET DISPI_YRES, [es:si+8]
    test word [es:si+12], EN_ENABLED
    jz .bank
    mov cx, [es:si+4]
    or cx, EN_NOCLEAR
    DISPI_SET DISPI_ENABLE, cx
    DISPI_SET DISPI_VIRT_W, [es:si+16]
    DISPI_SET DISPI_X_OFFSET, [es:si+20]
    DISPI_SET DISPI_Y_OFFSET, [es:si+22]
.bank:
    DISPI_SET DISPI_BANK, [es:si+14]
    popa
    ret
