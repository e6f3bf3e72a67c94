; Kestrel Video Core 5.2: a real-mode VBE 2.0 driver for the Bochs-DISPI SuperVGA.
;
; The image is loaded at offset 0 of its own segment. The loader fills the words marked
; "installer" before it far-calls the check entry; KSWIN.EXE fills the words marked
; "generator" from its analysis of the card. The driver answers every VBE function itself
; (it does not need a VBE BIOS beneath it) and passes everything else to the vector that
; interrupt 10h had before it was hooked.
;
; Own interfaces beyond VBE:
;   int 10h AX=4F0Fh BX=1234h   -> AX=004Fh, DX:BX -> the 292-byte information record (341)
;   int 2Fh AH=MUX_ID AL=00h    -> AL=0FFh, BX='KS' (4B53h), CX=0502h, ES:DI -> signature
;   far call probe_entry        -> what the generator needs to know about the card (below)
;
; Header word 153 (generator) is the video memory in KB, so the word the installer derives
; from it at 129 (153 / 64) is the video memory in 64 KB units: the TotalMemory the driver
; reports and the size its mode list and checks work against.

bits 16
cpu 386
org 0

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

EN_ENABLED      equ 01h
EN_DAC8         equ 20h
EN_LFB          equ 40h
EN_NOCLEAR      equ 80h

NO_HARDWARE     equ 38
MUX_ID          equ 0C5h
MAX_VIRT_PIXELS equ 8192

; ---------------------------------------------------------------------------------------
; Header
; ---------------------------------------------------------------------------------------
signature:      db "Kestrel Video Core"     ; no terminator: the OEM string continues
                db " 5.2", 0
revision_name:  db "5.2", 0
vendor_name:    db "Palisade", 0

                times 95-($-$$) db 0
                dw check_entry              ; 95
                dw probe_entry              ; 97
                dw int10_entry              ; 99
                dw int2f_entry              ; 101
old_int10:      dd 0                        ; 103 installer
old_int2f:      dd 0                        ; 107 installer

                times 129-($-$$) db 0
total_64k:      dw 0                        ; 129 installer: video memory, 64 KB units

                times 145-($-$$) db 0
load_seg:       dw 0                        ; 145 installer
                dw 0                        ; 147 generator: needs a VBE BIOS (never)
hardware_code:  dw NO_HARDWARE              ; 149 generator
                dw 0                        ; 151
                dw 0                        ; 153 generator: video memory in KB
pci_bar_addr:   dd 0                        ; 155 generator: PCI config address of BAR0, 0 = none

; The information record (341..632) that 4F0Fh hands out.
                times 341-($-$$) db 0
info_record:
string1:        times 80 db 0               ; 341 generator
string2:        times 50 db 0               ; 421 generator: the product name
string3:        times 50 db 0               ; 471 generator
                times 604-($-$$) db 0
                db '5', '2'                 ; 604, 605: version characters
                times 633-($-$$) db 0

; ---------------------------------------------------------------------------------------
; State kept while resident
; ---------------------------------------------------------------------------------------
cur_mode:       dw 0        ; VBE mode set through 4F02 (bit 14: LFB), 0 in a VGA mode
cur_entry:      dw 0        ; its mode table entry
cur_enable:     dw 0        ; the DISPI enable value it was set with (LFB, DAC bits)
palette_limit:  dw 256      ; entries 4F09 may touch: 0 in a direct-colour mode
mode_list:      times 64 dw 0FFFFh

; ---------------------------------------------------------------------------------------
; Modes: number, width, height, bytes per line, bits per pixel, memory model
; ---------------------------------------------------------------------------------------
MODE_NUMBER     equ 0
MODE_XRES       equ 2
MODE_YRES       equ 4
MODE_PITCH      equ 6
MODE_BPP        equ 8
MODE_MODEL      equ 9
MODE_SIZE       equ 10

%macro MODE 4   ; number, xres, yres, bpp
    dw %1, %2, %3
  %if %4 == 4
    dw %2 / 8
    db 4, 3
  %elif %4 == 8
    dw %2
    db 8, 4
  %else
    dw %2 * ((%4 + 7) / 8)
    db %4, 6
  %endif
%endmacro

mode_table:
    MODE 151h,  640, 480, 4
    MODE 102h,  800, 600, 4
    MODE 104h, 1024, 768, 4
    MODE 106h, 1280,1024, 4
    MODE 150h,  320, 200, 8
    MODE 100h,  640, 400, 8
    MODE 101h,  640, 480, 8
    MODE 103h,  800, 600, 8
    MODE 105h, 1024, 768, 8
    MODE 107h, 1280,1024, 8
    MODE 10Dh,  320, 200, 15
    MODE 10Eh,  320, 200, 16
    MODE 10Fh,  320, 200, 24
    MODE 110h,  640, 480, 15
    MODE 111h,  640, 480, 16
    MODE 112h,  640, 480, 24
    MODE 113h,  800, 600, 15
    MODE 114h,  800, 600, 16
    MODE 115h,  800, 600, 24
    MODE 116h, 1024, 768, 15
    MODE 117h, 1024, 768, 16
    MODE 118h, 1024, 768, 24
    MODE 119h, 1280,1024, 15
    MODE 11Ah, 1280,1024, 16
    MODE 11Bh, 1280,1024, 24
    MODE 160h,  320, 200, 32
    MODE 161h,  640, 480, 32
    MODE 162h,  800, 600, 32
    MODE 163h, 1024, 768, 32
    MODE 164h, 1280,1024, 32
mode_table_end:

; Colour masks of the direct-colour depths: red size/position, green, blue, reserved.
masks15:        db 5, 10, 5, 5, 5, 0, 1, 15
masks16:        db 5, 11, 6, 5, 5, 0, 0, 0
masks24:        db 8, 16, 8, 8, 8, 0, 0, 0
masks32:        db 8, 16, 8, 8, 8, 0, 8, 24

; The attribute controller of every DISPI mode: index, value.
attribute_setup:
%assign i 0
%rep 16
    db i, i                                 ; identity palette
%assign i i + 1
%endrep
    db 11h, 00h, 12h, 0Fh, 13h, 00h, 14h, 00h
ATTRIBUTE_BYTES equ $ - attribute_setup

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
%if $ - default_palette != 768
  %error "the default palette is not 256 entries"
%endif

; ---------------------------------------------------------------------------------------
; DISPI access. The value macro argument must not be AX or DX.
; ---------------------------------------------------------------------------------------
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

; ---------------------------------------------------------------------------------------
; Interrupt 10h
; ---------------------------------------------------------------------------------------
int10_entry:
    cmp ax, 4F09h                           ; the calls made per frame or per bank first
    je vbe_09
    cmp ax, 4F05h
    je vbe_05
    cmp ax, 4F07h
    je vbe_07
    cmp ah, 4Fh
    je vbe_function
    test ah, ah
    jnz .chain
    ; A standard mode set ends a DISPI mode, whatever the BIOS beneath knows about DISPI.
    push ax
    push dx
    DISPI_SET DISPI_ENABLE, 0
    pop dx
    pop ax
    mov word [cs:cur_mode], 0
    mov word [cs:palette_limit], 256
.chain:
    jmp far [cs:old_int10]

vbe_function:
    cmp al, 00h
    je vbe_00
    cmp al, 01h
    je vbe_01
    cmp al, 02h
    je vbe_02
    cmp al, 03h
    je vbe_03
    cmp al, 04h
    je vbe_04
    cmp al, 06h
    je vbe_06
    cmp al, 08h
    je vbe_08
    cmp al, 0Fh
    je vbe_0f
ret_failed:
    mov ax, 014Fh
    iret
ret_unsupported_hw:
    mov ax, 024Fh
    iret
ret_bad_mode:
    mov ax, 034Fh
    iret

; 4F05: BH 00h set / 01h get, BL window (A only), DX bank in 64 KB units.
vbe_05:
    test bl, bl
    jnz ret_failed
    test bh, bh
    jnz .get
    cmp dx, [cs:total_64k]
    jae ret_failed
    push dx
    mov ax, DISPI_BANK
    mov dx, DISPI_INDEX
    out dx, ax
    inc dx
    pop ax
    out dx, ax
    mov dx, ax
    mov ax, 004Fh
    iret
.get:
    cmp bh, 1
    jne ret_failed
    DISPI_GET DISPI_BANK
    and ax, 03FFh
    mov dx, ax
    mov ax, 004Fh
    iret

; The WinFuncPtr of the mode block: 4F05 by far call, ending with RETF. AX is not kept.
window_function:
    test bl, bl
    jnz .done
    test bh, bh
    jnz .get
    push dx
    mov ax, DISPI_BANK
    mov dx, DISPI_INDEX
    out dx, ax
    inc dx
    pop ax
    out dx, ax
    mov dx, ax
.done:
    retf
.get:
    DISPI_GET DISPI_BANK
    and ax, 03FFh
    mov dx, ax
    retf

; 4F07: BL 00h set / 01h get / 80h set at the start of the vertical retrace.
vbe_07:
    cmp word [cs:cur_mode], 0
    je ret_bad_mode
    cmp bl, 01h
    je .get
    cmp bl, 80h
    je .retrace
    test bl, bl
    jnz ret_failed
.set:
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
    mov ax, 004Fh
    iret
.retrace:
    call wait_retrace
    jmp .set
.get:
    DISPI_GET DISPI_X_OFFSET
    mov cx, ax
    DISPI_GET DISPI_Y_OFFSET
    mov dx, ax
    xor bh, bh
    mov ax, 004Fh
    iret

; Waits for the start of a vertical retrace (the end of the current one first), bounded so
; that a card whose retrace bit never moves cannot hang the caller.
wait_retrace:
    sti                                     ; the clock may tick while we wait
    push ax
    push dx
    push ecx
    mov dx, 03DAh
    mov ecx, 400000h
.leave:
    in al, dx
    test al, 08h
    jz .enter
    dec ecx
    jnz .leave
.enter:
    in al, dx
    test al, 08h
    jnz .done
    dec ecx
    jnz .enter
.done:
    pop ecx
    pop dx
    pop ax
    ret

; 4F09: BL 00h set / 01h get / 80h set during retrace; CX entries from DX; ES:DI -> entries
; of blue, green, red, alignment.
vbe_09:
    test bl, bl
    jnz .not_set
.set_checked:
    mov ax, dx
    add ax, cx
    jc .refused
    cmp ax, [cs:palette_limit]
    ja .refused
    cmp cx, 8
    jae .set
    ; A few entries: straight from ES:DI, red, green, blue being bytes 2, 1, 0.
    push dx
    push di
    mov ah, cl
    mov al, dl
    mov dx, 03C8h
    out dx, al
    inc dx
    jcxz .few_done
.few_next:
    mov al, [es:di+2]
    out dx, al
    mov al, [es:di+1]
    out dx, al
    mov al, [es:di]
    out dx, al
    add di, 4
    dec ah
    jnz .few_next
.few_done:
    pop di
    pop dx
    mov ax, 004Fh
    iret
.set:
    push ds
    push si
    push dx
    push cx
    mov al, dl
    mov dx, 03C8h
    out dx, al
    inc dx
    ; Each entry's red, green and blue are its bytes 2, 1, 0: read backwards, with ES = DS
    ; (some x86 emulators read OUTS from ES).
    push es
    pop ds
    lea si, [di+2]
    std
    mov ax, cx
    shr ax, 3
    jz .set_rest
.set_eight:
%rep 8
    mov cx, 3
    rep outsb
    add si, 7
%endrep
    dec ax
    jnz .set_eight
.set_rest:
    pop ax
    push ax
    and ax, 7
    jz .set_done
.set_one:
    mov cx, 3
    rep outsb
    add si, 7
    dec ax
    jnz .set_one
.set_done:
    cld
    pop cx
    pop dx
    pop si
    pop ds
    mov ax, 004Fh
    iret
.not_set:
    cmp bl, 80h
    jne .not_retrace
    call wait_retrace
    jmp .set_checked
.not_retrace:
    cmp bl, 01h
    je .get
    cmp bl, 02h
    je ret_unsupported_hw                   ; no secondary palette
    cmp bl, 03h
    je ret_unsupported_hw
    jmp ret_failed
.get:
    mov ax, dx
    add ax, cx
    jc .refused
    cmp ax, [cs:palette_limit]
    ja .refused
    push cx
    push dx
    push di
    mov al, dl
    mov dx, 03C7h
    out dx, al
    mov dx, 03C9h
    jcxz .get_done
.get_next:
    in al, dx
    mov [es:di+2], al
    in al, dx
    mov [es:di+1], al
    in al, dx
    mov [es:di], al
    mov byte [es:di+3], 0
    add di, 4
    loop .get_next
.get_done:
    pop di
    pop dx
    pop cx
    mov ax, 004Fh
    iret
.refused:
    cmp word [cs:palette_limit], 0
    je ret_bad_mode                         ; a direct-colour mode has no palette
    jmp ret_failed

; 4F00: the controller block at ES:DI; 512 bytes when it asks "VBE2", else 256.
vbe_00:
    pushad
    push ds
    push cs
    pop ds
    cld
    mov cx, 256
    cmp dword [es:di], 'VBE2'
    jne .clear
    mov cx, 512
.clear:
    push di
    xor al, al
    rep stosb
    pop di
    mov dword [es:di], 'VESA'
    mov word [es:di+4], 0200h
    mov ax, [load_seg]
    mov word [es:di+6], signature
    mov [es:di+8], ax
    mov dword [es:di+10], 1                 ; DAC switchable to 8 bits
    mov word [es:di+14], mode_list
    mov [es:di+16], ax
    mov bx, [total_64k]
    mov [es:di+18], bx
    mov word [es:di+20], 0502h
    mov word [es:di+22], vendor_name
    mov [es:di+24], ax
    mov word [es:di+26], string2
    mov [es:di+28], ax
    mov word [es:di+30], revision_name
    mov [es:di+32], ax
    ; The mode list holds the modes that fit in video memory.
    mov si, mode_table
    mov bx, mode_list
.next_mode:
    call mode_fits
    jc .skip
    mov ax, [si+MODE_NUMBER]
    mov [bx], ax
    add bx, 2
.skip:
    add si, MODE_SIZE
    cmp si, mode_table_end
    jb .next_mode
    mov word [bx], 0FFFFh
    pop ds
    popad
    mov ax, 004Fh
    iret

; In: DS:SI -> mode table entry. Out: CF set when the mode does not fit in video memory;
; EAX = bytes one screen of it takes.
mode_fits:
    push ebx
    push edx
    movzx eax, word [si+MODE_PITCH]
    movzx ebx, word [si+MODE_YRES]
    mul ebx
    cmp byte [si+MODE_BPP], 4
    jne .packed
    shl eax, 2                              ; four planes
.packed:
    movzx ebx, word [total_64k]
    shl ebx, 16
    cmp ebx, eax                            ; CF when memory < screen
    pop edx
    pop ebx
    ret

; In: CX = mode number. Out: DS:SI -> its entry, CF set when unknown or too big.
find_mode:
    and cx, 01FFh
    mov si, mode_table
.next:
    cmp [si+MODE_NUMBER], cx
    je .found
    add si, MODE_SIZE
    cmp si, mode_table_end
    jb .next
    stc
    ret
.found:
    push eax
    call mode_fits
    pop eax
    ret

; Out: EAX = the linear framebuffer's physical address from the card's BAR0, 0 when none.
; The PCI configuration address register is left as it was found.
read_lfb_base:
    push dx
    push ebx
    xor eax, eax
    mov ebx, [cs:pci_bar_addr]
    test ebx, ebx
    jz .done
    mov dx, 0CF8h
    in eax, dx
    xchg eax, ebx
    out dx, eax
    mov dx, 0CFCh
    in eax, dx
    and eax, 0FFFFFFF0h
    mov dx, 0CF8h
    xchg eax, ebx
    out dx, eax
    mov eax, ebx
.done:
    pop ebx
    pop dx
    ret

; 4F01: CX = mode, ES:DI -> 256-byte mode block.
vbe_01:
    pushad
    push ds
    push cs
    pop ds
    cld
    call find_mode
    jc .failed
    push di
    push cx
    mov cx, 256
    xor al, al
    rep stosb
    pop cx
    pop di
    mov bl, [si+MODE_BPP]
    mov dx, 001Bh                           ; supported, colour, graphics, no BIOS text
    cmp bl, 4
    je .attributes                          ; planes have no linear framebuffer
    call read_lfb_base
    test eax, eax
    jz .attributes
    mov [es:di+40], eax
    or dl, 80h                              ; linear framebuffer available
.attributes:
    mov [es:di+0], dx
    mov byte [es:di+2], 07h                 ; window A: exists, readable, writable
    mov word [es:di+4], 64
    mov word [es:di+6], 64
    mov word [es:di+8], 0A000h
    mov word [es:di+12], window_function
    mov ax, [load_seg]
    mov [es:di+14], ax
    mov ax, [si+MODE_PITCH]
    mov [es:di+16], ax
    mov ax, [si+MODE_XRES]
    mov [es:di+18], ax
    mov ax, [si+MODE_YRES]
    mov [es:di+20], ax
    mov byte [es:di+22], 8
    mov byte [es:di+23], 16
    mov byte [es:di+24], 1
    cmp bl, 4
    jne .planes_known
    mov byte [es:di+24], 4
.planes_known:
    mov [es:di+25], bl
    mov byte [es:di+26], 1
    mov al, [si+MODE_MODEL]
    mov [es:di+27], al
    ; Image pages: whole screens in video memory, minus the one shown.
    call mode_fits
    mov ebx, eax
    movzx eax, word [total_64k]
    shl eax, 16
    xor edx, edx
    div ebx
    dec eax
    cmp eax, 255
    jbe .pages_known
    mov eax, 255
.pages_known:
    mov [es:di+29], al
    mov byte [es:di+30], 1
    mov al, [si+MODE_BPP]
    mov bx, masks15
    cmp al, 15
    je .masks
    mov bx, masks16
    cmp al, 16
    je .masks
    mov bx, masks24
    cmp al, 24
    je .masks
    mov bx, masks32
    cmp al, 32
    jne .done
.masks:
    mov eax, [bx]
    mov [es:di+31], eax
    mov eax, [bx+4]
    mov [es:di+35], eax
.done:
    pop ds
    popad
    mov ax, 004Fh
    iret
.failed:
    pop ds
    popad
    jmp ret_failed

; Calls the BIOS beneath the driver with the current registers.
call_bios:
    pushf
    call far [cs:old_int10]
    ret

; 4F02: BX = mode; bit 14 linear framebuffer, bit 15 keep video memory.
vbe_02:
    pushad
    push ds
    push cs
    pop ds
    mov cx, bx
    and cx, 01FFh
    cmp cx, 0100h
    jb .vga_mode
    call find_mode
    jc .failed
    test bh, 40h
    jz .mode_ok
    cmp byte [si+MODE_BPP], 4
    je .failed
    call read_lfb_base
    test eax, eax
    jz .failed
.mode_ok:
    DISPI_SET DISPI_ENABLE, 0
    movzx cx, byte [si+MODE_BPP]
    DISPI_SET DISPI_BPP, cx
    DISPI_SET DISPI_XRES, [si+MODE_XRES]
    DISPI_SET DISPI_YRES, [si+MODE_YRES]
    DISPI_SET DISPI_BANK, 0
    mov cx, EN_ENABLED
    test bh, 40h
    jz .no_lfb
    or cx, EN_LFB
.no_lfb:
    mov [cur_enable], cx
    test bh, 80h
    jz .clear
    or cx, EN_NOCLEAR
.clear:
    DISPI_SET DISPI_ENABLE, cx
    in ax, dx
    test al, EN_ENABLED
    jz .refused                             ; the card would not show it
    ; The card resets the virtual width, the display start and the bank on enabling.
    ; The VGA side, programmed here rather than through the BIOS beneath (which may know
    ; nothing of DISPI): graphics, the 64 KB window at A000, planes or chained pixels, an
    ; identity attribute palette and the standard 256-colour DAC palette. The CRTC timing
    ; is the DISPI extension's.
    push si
    push bx
    push es
    push cs
    pop es                                  ; ES = DS: some x86 emulators read OUTS from ES
    cld
    mov dl, [si+MODE_BPP]
    mov bx, 0604h                           ; planar: no chain 4 / write mode 0 / graphics
    mov cx, 0005h
    mov ah, 01h
    cmp dl, 4
    je .vga
    mov bx, 0E04h                           ; packed: chain 4 / 256-colour shift
    mov cx, 4005h
    mov ah, 41h
.vga:
    push ax
    mov dx, 03C4h
    mov ax, 0100h                           ; synchronous reset while changing
    out dx, ax
    mov ax, 0101h                           ; 8-dot characters, screen on
    out dx, ax
    mov ax, 0F02h                           ; all planes
    out dx, ax
    mov ax, 0003h                           ; character maps (unused in graphics)
    out dx, ax
    mov ax, bx                              ; memory mode
    out dx, ax
    mov ax, 0300h                           ; out of reset
    out dx, ax
    mov dx, 03CEh
    xor ax, ax                              ; no set/reset, no rotate, replace, plane 0
    out dx, ax
    inc ax
    out dx, ax
    inc ax
    out dx, ax
    mov ax, 0003h
    out dx, ax
    mov ax, 0004h
    out dx, ax
    mov ax, cx                              ; write mode 0, 256-colour shift when packed
    out dx, ax
    mov ax, 0506h                           ; graphics, A000 64 KB
    out dx, ax
    mov ax, 0F07h                           ; colour don't care
    out dx, ax
    mov ax, 0FF08h                          ; bit mask
    out dx, ax
    mov dx, 03DAh
    in al, dx                               ; attribute flip-flop to index
    mov dx, 03C0h
    mov si, attribute_setup
    mov cx, ATTRIBUTE_BYTES
    rep outsb
    mov al, 10h
    out dx, al
    pop ax
    mov al, ah
    out dx, al                              ; mode control: graphics
    mov al, 20h
    out dx, al                              ; palette access off: picture on
    mov dx, 03C6h
    mov al, 0FFh
    out dx, al                              ; DAC mask
    mov dx, 03C8h
    xor al, al
    out dx, al
    inc dx
    mov si, default_palette
    mov cx, 768
    rep outsb
    pop es
    pop bx
    pop si
    and bx, 41FFh
    mov [cur_mode], bx
    mov [cur_entry], si
    mov word [palette_limit], 256
    cmp byte [si+MODE_BPP], 8
    jbe .palette_known
    mov word [palette_limit], 0
.palette_known:
    pop ds
    popad
    mov ax, 004Fh
    iret
.vga_mode:
    DISPI_SET DISPI_ENABLE, 0
    mov word [cur_mode], 0
    mov word [palette_limit], 256
    mov al, bl
    and al, 7Fh
    test bh, 80h
    jz .vga_clear
    or al, 80h
.vga_clear:
    xor ah, ah
    call call_bios
    pop ds
    popad
    mov ax, 004Fh
    iret
.refused:
    mov word [cur_mode], 0
    mov word [palette_limit], 256
.failed:
    pop ds
    popad
    jmp ret_failed

; 4F03: BX = current mode.
vbe_03:
    mov bx, [cs:cur_mode]
    test bx, bx
    jnz .done
    push ds
    push bx
    pop ds                                  ; segment 0: the BIOS data area
    mov bl, [0449h]
    pop ds
.done:
    mov ax, 004Fh
    iret

; 4F04: save and restore state. CX bits 0-2 (hardware, BIOS data, DAC) go to the BIOS's
; own AH=1Ch; bit 3, the SuperVGA state, is one 64-byte block of the driver's that comes
; first in the buffer.
SVGA_STATE      equ 08h
vbe_04:
    cmp dl, 00h
    je .size
    cmp dl, 01h
    je .save
    cmp dl, 02h
    je .restore
    jmp ret_failed
.size:
    push cx
    xor bx, bx
    test cl, 07h
    jz .size_svga
    mov ax, 1C00h
    and cx, 07h
    call call_bios
    cmp al, 1Ch
    jne .size_failed
.size_svga:
    pop cx
    test cl, SVGA_STATE
    jz .size_done
    inc bx
.size_done:
    mov ax, 004Fh
    iret
.size_failed:
    pop cx
    jmp ret_failed
.save:
    pusha
    test cl, SVGA_STATE
    jz .save_bios
    push cx
    mov di, bx
    mov ax, [cs:cur_mode]
    mov [es:di], ax
    mov ax, [cs:cur_entry]
    mov [es:di+2], ax
    mov ax, [cs:cur_enable]
    mov [es:di+4], ax
    add di, 6
    mov cx, DISPI_XRES                      ; XRES .. Y_OFFSET at 6 .. 22
.save_next:
    DISPI_GET cx
    mov [es:di], ax
    add di, 2
    inc cx
    cmp cx, DISPI_Y_OFFSET
    jbe .save_next
    pop cx
    add bx, 64
.save_bios:
    and cx, 07h
    jz .state_done
    mov ax, 1C01h
    call call_bios
    jmp .state_done
.restore:
    pusha
    mov si, bx
    test cl, SVGA_STATE
    jz .restore_bios
    add bx, 64
.restore_bios:
    push cx
    and cx, 07h
    jz .restore_svga
    mov ax, 1C02h
    call call_bios
.restore_svga:
    pop cx
    test cl, SVGA_STATE
    jz .state_done
    mov ax, [es:si]
    mov [cs:cur_mode], ax
    mov ax, [es:si+2]
    mov [cs:cur_entry], ax
    mov ax, [es:si+4]
    mov [cs:cur_enable], ax
    mov word [cs:palette_limit], 256
    cmp word [cs:cur_mode], 0
    je .restore_registers
    mov di, [cs:cur_entry]
    cmp byte [cs:di+MODE_BPP], 8
    jbe .restore_registers
    mov word [cs:palette_limit], 0
.restore_registers:
    DISPI_SET DISPI_ENABLE, 0
    DISPI_SET DISPI_BPP, [es:si+10]
    DISPI_SET DISPI_XRES, [es:si+6]
    DISPI_SET DISPI_YRES, [es:si+8]
    test word [es:si+12], EN_ENABLED
    jz .restore_bank
    mov cx, [es:si+4]
    or cx, EN_NOCLEAR
    DISPI_SET DISPI_ENABLE, cx
    DISPI_SET DISPI_VIRT_W, [es:si+16]
    DISPI_SET DISPI_X_OFFSET, [es:si+20]
    DISPI_SET DISPI_Y_OFFSET, [es:si+22]
.restore_bank:
    DISPI_SET DISPI_BANK, [es:si+14]
.state_done:
    popa
    mov ax, 004Fh
    iret

; Bytes per line of the current mode for CX pixels -> AX (DX kept).
pixels_to_bytes:
    push dx
    push si
    mov si, [cs:cur_entry]
    mov ax, cx
    cmp byte [cs:si+MODE_BPP], 4
    jne .packed
    add ax, 7
    shr ax, 3
    jmp .done
.packed:
    movzx dx, byte [cs:si+MODE_BPP]
    add dx, 7
    shr dx, 3
    mul dx
.done:
    pop si
    pop dx
    ret

; Video memory one plane (planar) or the whole (packed) offers the current mode -> EAX.
mode_memory:
    push si
    mov si, [cs:cur_entry]
    movzx eax, word [cs:total_64k]
    shl eax, 16
    cmp byte [cs:si+MODE_BPP], 4
    jne .done
    shr eax, 2
.done:
    pop si
    ret

; 4F06: BL 00h set in pixels (CX) / 01h get / 02h set in bytes (CX) / 03h get maximum.
; Out: BX bytes per line, CX pixels per line, DX scan lines that fit.
FRAME_EBX       equ 16
FRAME_EDX       equ 20
FRAME_ECX       equ 24
vbe_06:
    cmp word [cs:cur_mode], 0
    je ret_bad_mode
    pushad
    mov si, [cs:cur_entry]
    movzx di, byte [cs:si+MODE_BPP]
    cmp bl, 01h
    je .get
    cmp bl, 03h
    je .maximum
    cmp bl, 02h
    je .bytes
    test bl, bl
    jnz .failed
    jmp .set
.bytes:
    mov ax, cx
    cmp di, 4
    jne .bytes_packed
    cmp ax, MAX_VIRT_PIXELS / 8
    ja .too_wide
    shl ax, 3
    jmp .bytes_done
.bytes_packed:
    xor dx, dx
    mov bx, di
    add bx, 7
    shr bx, 3
    div bx
.bytes_done:
    mov cx, ax
.set:
    cmp cx, [cs:si+MODE_XRES]
    jb .too_wide
    cmp cx, MAX_VIRT_PIXELS
    ja .too_wide
    cmp di, 4
    jne .set_fits
    add cx, 7
    and cx, 0FFF8h
.set_fits:
    ; the visible height must still fit with the new line length
    call pixels_to_bytes
    movzx eax, ax
    movzx edx, word [cs:si+MODE_YRES]
    mul edx
    mov ebx, eax
    call mode_memory
    cmp ebx, eax
    ja .too_wide
    DISPI_SET DISPI_VIRT_W, cx
.get:
    DISPI_GET DISPI_VIRT_W
    mov cx, ax
    jmp .report
.maximum:
    call mode_memory
    movzx ecx, word [cs:si+MODE_YRES]
    xor edx, edx
    div ecx                                 ; bytes per line that keep the height
    cmp di, 4
    jne .max_packed
    shl eax, 3
    jmp .max_pixels
.max_packed:
    movzx ecx, di
    add ecx, 7
    shr ecx, 3
    xor edx, edx
    div ecx
.max_pixels:
    cmp eax, MAX_VIRT_PIXELS
    jbe .max_aligned
    mov eax, MAX_VIRT_PIXELS
.max_aligned:
    and ax, 0FFF8h
    mov cx, ax
.report:
    call pixels_to_bytes
    test ax, ax
    jz .failed
    mov bx, ax
    call mode_memory
    movzx edi, bx
    xor edx, edx
    div edi
    cmp eax, 0FFFFh
    jbe .lines
    mov ax, 0FFFFh
.lines:
    mov bp, sp
    mov [bp+FRAME_EBX], bx
    mov [bp+FRAME_ECX], cx
    mov [bp+FRAME_EDX], ax
    popad
    mov ax, 004Fh
    iret
.too_wide:
    popad
    jmp ret_unsupported_hw
.failed:
    popad
    jmp ret_failed

; 4F08: BL 00h set (BH bits wanted) / 01h get; BH = bits per primary.
vbe_08:
    cmp word [cs:cur_mode], 0
    je ret_bad_mode
    push si
    mov si, [cs:cur_entry]
    cmp byte [cs:si+MODE_BPP], 8
    pop si
    ja ret_bad_mode
    cmp bl, 01h
    je .get
    test bl, bl
    jnz ret_failed
    push cx
    push dx
    mov cx, [cs:cur_enable]
    and cx, ~EN_DAC8
    cmp bh, 8
    jb .width_known
    or cx, EN_DAC8
.width_known:
    mov [cs:cur_enable], cx
    or cx, EN_NOCLEAR
    DISPI_SET DISPI_ENABLE, cx
    ; A card may refuse the 8-bit DAC: report the width it took, not the one asked for.
    DISPI_GET DISPI_ENABLE
    and word [cs:cur_enable], ~EN_DAC8
    and ax, EN_DAC8
    or [cs:cur_enable], ax
    pop dx
    pop cx
.get:
    mov bh, 6
    test word [cs:cur_enable], EN_DAC8
    jz .done
    mov bh, 8
.done:
    mov ax, 004Fh
    iret

; 4F0Fh BX=1234h: the driver's information record, DX:BX.
vbe_0f:
    cmp bx, 1234h
    jne ret_failed
    mov dx, [cs:load_seg]
    mov bx, info_record
    mov ax, 004Fh
    iret

; ---------------------------------------------------------------------------------------
; Interrupt 2Fh: the driver's own installation check, everything else chained.
; ---------------------------------------------------------------------------------------
int2f_entry:
    cmp ah, MUX_ID
    jne .chain
    test al, al
    jnz .chain
    mov al, 0FFh
    mov bx, 4B53h
    mov cx, 0502h
    push word [cs:load_seg]
    pop es
    mov di, signature
    iret
.chain:
    jmp far [cs:old_int2f]

; ---------------------------------------------------------------------------------------
; Check entry (far call): AX=1 when the image is whole (its checksum matches) and the card
; this driver was generated for is there: the DISPI ID answers and at least the generated
; video memory is present. It writes nothing but the DISPI index register, which it puts
; back.
; ---------------------------------------------------------------------------------------
check_entry:
    push bx
    push dx
    xor bx, bx
    call image_sum
    cmp eax, [cs:image_checksum]
    jne .done
    cmp word [cs:hardware_code], NO_HARDWARE
    je .done
    mov dx, DISPI_INDEX
    in ax, dx
    push ax
    DISPI_GET DISPI_ID
    and ax, 0FFF0h
    cmp ax, 0B0C0h
    jne .restore
    mov ax, [cs:total_64k]
    test ax, ax
    jz .restore
    push ax
    DISPI_GET DISPI_MEMORY
    pop dx
    cmp ax, dx
    jb .restore
    mov bx, 1
.restore:
    pop ax
    mov dx, DISPI_INDEX
    out dx, ax
.done:
    mov ax, bx
    pop dx
    pop bx
    retf

; ---------------------------------------------------------------------------------------
; Probe entry (far call), used by the generator on an image that is not installed:
;   AX = DISPI ID (0 when no DISPI card answers), BX = video memory in 64 KB units,
;   DI = 1 when a 1234h:1111h PCI display device answered on bus 0, SI = its device and
;   function (device << 3 | function), DX:CX = its BAR0 (type bits cleared).
; ---------------------------------------------------------------------------------------
probe_entry:
    push ebp
    xor bx, bx
    mov dx, DISPI_INDEX
    in ax, dx
    mov bp, ax                              ; index as found
    DISPI_GET DISPI_ID
    mov cx, ax
    and ax, 0FFF0h
    cmp ax, 0B0C0h
    je .dispi
    xor cx, cx
    jmp .pci
.dispi:
    DISPI_GET DISPI_MEMORY
    mov bx, ax
.pci:
    mov ax, bp
    mov dx, DISPI_INDEX
    out dx, ax
    push cx                                 ; DISPI ID
    mov dx, 0CF8h
    in eax, dx
    mov ebp, eax                            ; configuration address as found
    xor si, si
    xor di, di
.next_device:
    movzx eax, si
    shl eax, 8
    or eax, 80000000h
    mov dx, 0CF8h
    out dx, eax
    mov dx, 0CFCh
    in eax, dx
    cmp eax, 11111234h
    je .found
    add si, 8                               ; next device, function 0
    cmp si, 32 * 8
    jb .next_device
    xor si, si
    xor ecx, ecx
    jmp .pci_done
.found:
    mov di, 1
    movzx eax, si
    shl eax, 8
    or eax, 80000010h
    mov dx, 0CF8h
    out dx, eax
    mov dx, 0CFCh
    in eax, dx
    and eax, 0FFFFFFF0h
    mov ecx, eax
.pci_done:
    mov eax, ebp
    mov dx, 0CF8h
    out dx, eax
    mov edx, ecx
    shr edx, 16
    pop ax
    pop ebp
    retf

; ---------------------------------------------------------------------------------------
; Image checksum: 32-bit FNV-1a over the image up to image_checksum, leaving out the fields
; the installer fills. A damaged byte anywhere else changes it, so a damaged driver fails
; its check and is generated again instead of running. The loop ends whatever the ranges
; hold: SI only counts up to a 16-bit limit.
; ---------------------------------------------------------------------------------------
checksum_ranges:                            ; [start, end) pairs
    dw 0, old_int10
    dw old_int2f + 4, total_64k
    dw total_64k + 2, load_seg
    dw load_seg + 2, image_checksum
checksum_ranges_end:

; Out: EAX = the checksum.
image_sum:
    push bx
    push si
    mov eax, 2166136261
    mov bx, checksum_ranges
.range:
    mov si, [cs:bx]
.byte:
    cmp si, [cs:bx + 2]
    jae .next
    xor al, [cs:si]
    imul eax, eax, 16777619
    inc si
    jmp .byte
.next:
    add bx, 4
    cmp bx, checksum_ranges_end
    jb .range
    pop si
    pop bx
    ret

image_checksum: dd 0                        ; generator: image_sum of the generated image
image_end:
