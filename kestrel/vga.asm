; Standard VGA parts every Kestrel chip back end shares: register sets, the DAC, the retrace.
;
%include "hw/vga.inc"
%include "hw/vbe.inc"

; Included by kestrel.asm; all routines are near calls that keep every register they do not
; return in, and read their tables through CS.

; ---------------------------------------------------------------------------------------
; Register sets. A set is a list of blocks, each `REGISTER_BLOCK port, count` followed by
; count index/value pairs, ended by `REGISTERS_END`. Sequencer, graphics controller and CRTC pairs go out
; as one word to the index port; attribute controller pairs (port 3C0h) go out as two bytes
; after the flip-flop is reset, and the block ends with the palette access bit set (picture
; on). Registers are written in table order.
; ---------------------------------------------------------------------------------------
%macro REGISTER_BLOCK 2 ; port, number of index/value pairs
    dw %1
    db %2
%endmacro

%macro REGISTERS_END 0
    dw 0
%endmacro

; The attribute controller of a graphics mode as a register block: an identity palette, no
; overscan colour or panning, all planes; the argument is the mode control value.
%macro GRAPHICS_ATTRIBUTE_BLOCK 1
    REGISTER_BLOCK VGA_ATTR_WRITE_PORT, 21
%assign i 0
%rep 16
    db VGA_ATTR_PALETTE + i, i
%assign i i + 1
%endrep
    db VGA_ATTR_OVERSCAN, 00h
    db VGA_ATTR_COLOR_PLANE_ENABLE, 0Fh
    db VGA_ATTR_H_PIXEL_PANNING, 00h
    db VGA_ATTR_COLOR_SELECT, 00h
    db VGA_ATTR_MODE_CONTROL, %1
%endmacro

; In: CS:SI -> register set.
vga_load_registers:
    push ax
    push cx
    push dx
    push si
.block:
    mov dx, [cs:si]
    test dx, dx
    jz .done
    movzx cx, byte [cs:si+2]
    add si, 3
    cmp dx, VGA_ATTR_WRITE_PORT
    je .attributes
.pair:
    mov ax, [cs:si]
    out dx, ax
    add si, 2
    loop .pair
    jmp .block
.attributes:
    mov dx, VGA_STATUS1_PORT
    in al, dx                               ; flip-flop to index
    mov dx, VGA_ATTR_WRITE_PORT
.attribute:
    mov ax, [cs:si]
    out dx, al
    mov al, ah
    out dx, al
    add si, 2
    loop .attribute
    mov al, VGA_ATTR_INDEX_PICTURE_ON
    out dx, al
    jmp .block
.done:
    pop si
    pop dx
    pop cx
    pop ax
    ret

; ---------------------------------------------------------------------------------------
; The DAC
; ---------------------------------------------------------------------------------------

; The standard VGA 256-colour palette (6 bits per primary): 16 colours, 16 greys, then
; 24 hues at three saturations and three intensities, then black.
%macro HUES 5
    db %1,%1,%5, %2,%1,%5, %3,%1,%5, %4,%1,%5, %5,%1,%5, %5,%1,%4, %5,%1,%3, %5,%1,%2
    db %5,%1,%1, %5,%2,%1, %5,%3,%1, %5,%4,%1, %5,%5,%1, %4,%5,%1, %3,%5,%1, %2,%5,%1
    db %1,%5,%1, %1,%5,%2, %1,%5,%3, %1,%5,%4, %1,%5,%5, %1,%4,%5, %1,%3,%5, %1,%2,%5
%endmacro
default_palette:
    db  0, 0, 0,  0, 0,42,  0,42, 0,  0,42,42, 42, 0, 0, 42, 0,42, 42,21, 0, 42,42,42
    db 21,21,21, 21,21,63, 21,63,21, 21,63,63, 63,21,21, 63,21,63, 63,63,21, 63,63,63
    db  0, 0, 0,  5, 5, 5,  8, 8, 8, 11,11,11, 14,14,14, 17,17,17, 20,20,20, 24,24,24
    db 28,28,28, 32,32,32, 36,36,36, 40,40,40, 45,45,45, 50,50,50, 56,56,56, 63,63,63
    HUES  0,16,31,47,63
    HUES 31,39,47,55,63
    HUES 45,49,54,58,63
    HUES  0, 7,14,21,28
    HUES 14,17,21,24,28
    HUES 20,22,24,26,28
    HUES  0, 4, 8,12,16
    HUES  8,10,12,14,16
    HUES 11,12,13,15,16
    times 8 * 3 db 0
%if $ - default_palette != VGA_DAC_ENTRIES * VGA_DAC_COMPONENTS
  %error "the default palette is not 256 entries"
%endif

; All pixel bits through the DAC mask, and the standard palette in every entry.
vga_load_default_palette:
    push ax
    push cx
    push dx
    push si
    push ds
    push cs
    pop ds
    push es
    push cs
    pop es                                  ; ES = DS: some x86 emulators read OUTS from ES
    cld
    mov dx, VGA_DAC_PIXEL_MASK_PORT
    mov al, 0FFh
    out dx, al
    mov dx, VGA_DAC_WRITE_INDEX_PORT
    xor al, al
    out dx, al
    inc dx
    mov si, default_palette
    mov cx, VGA_DAC_ENTRIES * VGA_DAC_COMPONENTS
    rep outsb
    pop es
    pop ds
    pop si
    pop dx
    pop cx
    pop ax
    ret

; In: DX = first entry, CX = entries, ES:DI -> entries of blue, green, red, alignment.
; AX is not kept.
vga_set_palette:
    push dx
    mov al, dl
    mov dx, VGA_DAC_WRITE_INDEX_PORT
    out dx, al
    inc dx
    cmp cx, 8
    jae .many
    jcxz .done
    ; A few entries: straight from ES:DI.
    push cx
    push di
.few:
    mov al, [es:di+VbePaletteEntry.Red]
    out dx, al
    mov al, [es:di+VbePaletteEntry.Green]
    out dx, al
    mov al, [es:di+VbePaletteEntry.Blue]
    out dx, al
    add di, VbePaletteEntry_size
    loop .few
    pop di
    pop cx
.done:
    pop dx
    ret
.many:
    ; Each entry's red, green and blue come backwards from its red, with ES = DS (some x86
    ; emulators read OUTS from ES). An instruction costs an emulator more than a byte a REP
    ; moves, so eight entries go per loop.
    push cx
    push bx
    push si
    push ds
    push es
    pop ds
    lea si, [di+VbePaletteEntry.Red]
    std
    mov bx, cx
    and bx, 7
    mov ax, cx
    shr ax, 3
.eight:
%rep 8
    mov cx, VGA_DAC_COMPONENTS
    rep outsb
    add si, VbePaletteEntry_size + VGA_DAC_COMPONENTS
%endrep
    dec ax
    jnz .eight
    test bx, bx
    jz .many_done
.one:
    mov cx, VGA_DAC_COMPONENTS
    rep outsb
    add si, VbePaletteEntry_size + VGA_DAC_COMPONENTS
    dec bx
    jnz .one
.many_done:
    cld
    pop ds
    pop si
    pop bx
    pop cx
    pop dx
    ret

; In: DX = first entry, CX = entries, ES:DI -> entries to fill with blue, green, red, 0.
; AX is not kept.
vga_get_palette:
    push cx
    push dx
    push di
    mov al, dl
    mov dx, VGA_DAC_READ_INDEX_PORT
    out dx, al
    mov dx, VGA_DAC_DATA_PORT
    jcxz .done
.next:
    in al, dx
    mov [es:di+VbePaletteEntry.Red], al
    in al, dx
    mov [es:di+VbePaletteEntry.Green], al
    in al, dx
    mov [es:di+VbePaletteEntry.Blue], al
    mov byte [es:di+VbePaletteEntry.Alignment], 0
    add di, VbePaletteEntry_size
    loop .next
.done:
    pop di
    pop dx
    pop cx
    ret
; ---------------------------------------------------------------------------------------
; Waits for the start of a vertical retrace (the end of the current one first), bounded so
; that a card whose retrace bit never moves cannot hang the caller.
; ---------------------------------------------------------------------------------------
vga_wait_retrace:
    sti                                     ; the clock may tick while we wait
    push ax
    push dx
    push ecx
    mov dx, VGA_STATUS1_PORT
    mov ecx, 400000h
.leave:
    in al, dx
    test al, VGA_STATUS1_VERTICAL_RETRACE
    jz .enter
    dec ecx
    jnz .leave
.enter:
    in al, dx
    test al, VGA_STATUS1_VERTICAL_RETRACE
    jnz .done
    dec ecx
    jnz .enter
.done:
    pop ecx
    pop dx
    pop ax
    ret
