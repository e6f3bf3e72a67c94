; Kestrel Video Core 5.2: a real-mode VBE 2.0 driver, one VBE front end over a chip back end.
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
;
; Header word 159 (generator) is the video memory in 64 KB units: the TotalMemory the driver
; reports and the size its mode list and checks work against, up to FFFFh (4 GB less 64 KB).
; Word 153 (generator) is the video memory in KB as the loader reads it: the installer puts
; 153 / 64 into word 129, which says at most 1023 units (64 MB less 64 KB), so the driver
; takes its size from 159 and leaves 129 to the loader.
;
; This file is the front end: it decodes every VBE function, checks its arguments against
; the mode table and the video memory, and answers from its own state. It touches no register
; of the chip (only the PCI BAR the generator named); the chip back end (included at the end)
; does, through these near calls. Each keeps
; every register it does not return in but AX, reads its own data through CS, and may be
; called with any DS:
;   chip_check            CF clear when the chip this driver was generated for is there with
;                         at least memory_64k of memory; leaves no trace on the card
;   CHIP_CODE             (a constant) the hardware code (word 149) of the chip
;   CHIP_CAPABILITIES     (a constant) the controller block's capabilities (the DAC's switch)
;   CHIP_MAX_LINE_BYTES   (a constant) the longest scan line the chip's offset register holds
;   chip_can_show         CS:SI -> mode table entry: CF set when the chip cannot scan it out
;   chip_set_mode         CS:SI -> mode table entry, BX = VBE mode (bit 14 linear, bit 15
;                         keep memory): programs the chip's own registers and the VGA side
;                         for it, standard palette; CF set when the chip refused it
;   chip_leave            the chip's extensions off, before a standard VGA mode is set
;   chip_set_bank         DX = 64 KB bank in window A at A000 (checked), DX kept
;   chip_get_bank         -> DX
;   chip_set_start        CX = first pixel, DX = first line shown (checked)
;   chip_get_start        -> CX, DX
;   chip_set_line_pixels  CX = pixels per scan line (checked against width and memory)
;   chip_get_line_pixels  -> CX
;   chip_set_dac_width    BH = bits per primary wanted (6 or 8) -> BH = bits now in use
;   chip_get_dac_width    -> BH
;   chip_set_palette      DX = first entry, CX = entries, ES:DI -> blue, green, red, 0 each
;   chip_get_palette      the same, filling ES:DI
;   chip_save_state       ES:DI -> the driver's 64-byte state block: bytes 4-63 are the chip's
;   chip_restore_state    ES:SI -> the same block, as saved
; The window is 64 KB with 64 KB granularity on every chip (one with a finer bank register
; scales the bank); a chip without a linear framebuffer is generated without a PCI BAR
; (word 155 = 0), which the front end already reads as "no linear framebuffer". A chip with
; a hardware cursor adds its cursor calls here for the accelerator driver; VBE 2.0 has none.

bits 16
cpu 386
org 0

%include "hw/vbe.inc"
%include "hw/vga.inc"
%include "hw/pci.inc"

NO_HARDWARE     equ 38
MUX_ID          equ 0C5h
MUX_ANSWER      equ 4B53h                   ; 'KS'
DRIVER_VERSION  equ 0502h
MAX_VIRT_PIXELS equ 8192
WINDOW_KB       equ 64                      ; window A at A000, on every chip
BDA_VIDEO_MODE  equ 0449h                   ; the BIOS data area's current mode

; ---------------------------------------------------------------------------------------
; Header
; ---------------------------------------------------------------------------------------
signature:      db "Kestrel Video Core"     ; no terminator: the OEM string continues
                db " 5.2", 0
revision_name:  db "5.2", 0
vendor_name:    db "Palisade", 0

                times 95-($-$$) db 0
                dw check_entry              ; 95
                dw 0                        ; 97: no probe entry (KSWIN.EXE analyses the card)
                dw int10_entry              ; 99
                dw int2f_entry              ; 101
old_int10:      dd 0                        ; 103 installer
old_int2f:      dd 0                        ; 107 installer

                times 129-($-$$) db 0
installer_64k:  dw 0                        ; 129 installer: word 153 / 64 (see memory_64k)

                times 145-($-$$) db 0
load_seg:       dw 0                        ; 145 installer
                dw 0                        ; 147 generator: needs a VBE BIOS (never)
hardware_code:  dw NO_HARDWARE              ; 149 generator: the chip (CHIP_CODE of a back end)
                dw 0                        ; 151 generator: chip family
                dw 0                        ; 153 generator: video memory in KB
pci_bar_addr:   dd 0                        ; 155 generator: PCI config address of BAR0, 0 = none
memory_64k:     dw 0                        ; 159 generator: video memory, 64 KB units

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
palette_limit:  dw 256      ; entries 4F09 may touch: 0 in a direct-colour mode
line_entry:     dw 0        ; 4F06's last answer: for this mode table entry
line_pixels:    dw 0        ;   and this line length in pixels,
line_bytes:     dw 0        ;   the bytes per line
line_count:     dw 0        ;   and the scan lines that fit
mode_list:      times 64 dw VBE_MODE_LIST_END
mode_list_built: db 0       ; the list is built once: the chip and its memory stay as loaded

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
    db 4, VBE_MEMORY_PLANAR
  %elif %4 == 8
    dw %2
    db 8, VBE_MEMORY_PACKED
  %else
    dw %2 * ((%4 + 7) / 8)
    db %4, VBE_MEMORY_DIRECT
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

; ---------------------------------------------------------------------------------------
; Interrupt 10h
; ---------------------------------------------------------------------------------------
int10_entry:
    cmp ax, VBE_PALETTE_DATA                ; the calls made per frame or per bank first
    je vbe_09
    cmp ax, VBE_DISPLAY_START
    je vbe_07
    cmp ax, VBE_WINDOW_CONTROL
    je vbe_05
    cmp ah, VBE_STATUS_SUPPORTED
    je vbe_function
    test ah, ah
    jnz .chain
    ; A standard mode set ends a SuperVGA mode, whatever the BIOS beneath knows of the chip.
    push ax
    call chip_leave
    pop ax
    mov word [cs:cur_mode], 0
    mov word [cs:palette_limit], 256
.chain:
    jmp far [cs:old_int10]

vbe_function:                               ; the calls made in a drawing loop first
    cmp al, VBE_SCAN_LINE_LENGTH & 0FFh
    je vbe_06
    cmp al, VBE_DAC_PALETTE_FORMAT & 0FFh
    je vbe_08
    cmp al, VBE_GET_MODE & 0FFh
    je vbe_03
    cmp al, VBE_MODE_INFO & 0FFh
    je vbe_01
    cmp al, VBE_CONTROLLER_INFO & 0FFh
    je vbe_00
    cmp al, VBE_SET_MODE & 0FFh
    je vbe_02
    cmp al, VBE_SAVE_RESTORE_STATE & 0FFh
    je vbe_04
    cmp al, VBE_KESTREL_RECORD_QUERY & 0FFh
    je vbe_0f
ret_failed:
    mov ax, VBE_STATUS_FAILED
    iret
ret_unsupported_hw:
    mov ax, VBE_STATUS_NOT_IN_HARDWARE
    iret
ret_bad_mode:
    mov ax, VBE_STATUS_NOT_IN_MODE
    iret

; 4F05: BH 00h set / 01h get, BL window (A only), DX bank in 64 KB units.
vbe_05:
    test bl, bl
    jnz ret_failed
    test bh, bh
    jnz .get
    cmp dx, [cs:memory_64k]
    jae ret_failed
    call chip_set_bank
    mov ax, VBE_STATUS_OK
    iret
.get:
    cmp bh, 1
    jne ret_failed
    call chip_get_bank
    mov ax, VBE_STATUS_OK
    iret

; The WinFuncPtr of the mode block: 4F05 itself, by far call. A program calls it per bank in
; its drawing loops, so setting window A's bank is answered here straight away.
window_function:
    test bx, bx                             ; BH 00h set, BL 00h window A
    jnz .other
    cmp dx, [cs:memory_64k]
    jae .other
    call chip_set_bank
    mov ax, VBE_STATUS_OK
    retf
.other:
    pushf
    push cs
    call vbe_05                             ; as interrupt 10h would: it returns with IRET
    retf

; 4F07: BL 00h set / 01h get / 80h set at the start of the vertical retrace.
vbe_07:
    cmp word [cs:cur_mode], 0
    je ret_bad_mode
    cmp bl, VBE_DISPLAY_START_GET
    je .get
    jb .set                                 ; BL = VBE_DISPLAY_START_SET
    cmp bl, VBE_DISPLAY_START_SET_IN_RETRACE
    jne ret_failed
    call vga_wait_retrace
.set:
    call chip_set_start
    mov ax, VBE_STATUS_OK
    iret
.get:
    call chip_get_start
    xor bh, bh
    mov ax, VBE_STATUS_OK
    iret

; 4F09: BL 00h set / 01h get / 80h set during retrace; CX entries from DX; ES:DI -> entries
; of blue, green, red, alignment.
vbe_09:
    test bl, bl
    jnz .not_set
.set:
    mov ax, dx
    add ax, cx
    jc .refused
    cmp ax, [cs:palette_limit]
    ja .refused
    call chip_set_palette
    mov ax, VBE_STATUS_OK
    iret
.not_set:
    cmp bl, 80h
    jne .not_retrace
    call vga_wait_retrace
    jmp .set
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
    call chip_get_palette
    mov ax, VBE_STATUS_OK
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
    mov cx, VbeControllerInfo.OemData / 4
    cmp dword [es:di+VbeControllerInfo.VbeSignature], 'VBE2'
    jne .clear
    mov cx, VbeControllerInfo_size / 4
.clear:
    push di
    xor eax, eax
    rep stosd
    pop di
    mov dword [es:di+VbeControllerInfo.VbeSignature], 'VESA'
    mov word [es:di+VbeControllerInfo.VbeVersion], 0200h
    mov ax, [load_seg]
    mov word [es:di+VbeControllerInfo.OemStringPtr], signature
    mov [es:di+VbeControllerInfo.OemStringPtr+2], ax
    mov dword [es:di+VbeControllerInfo.Capabilities], CHIP_CAPABILITIES
    mov word [es:di+VbeControllerInfo.VideoModePtr], mode_list
    mov [es:di+VbeControllerInfo.VideoModePtr+2], ax
    mov bx, [memory_64k]
    mov [es:di+VbeControllerInfo.TotalMemory], bx
    mov word [es:di+VbeControllerInfo.OemSoftwareRev], DRIVER_VERSION
    mov word [es:di+VbeControllerInfo.OemVendorNamePtr], vendor_name
    mov [es:di+VbeControllerInfo.OemVendorNamePtr+2], ax
    mov word [es:di+VbeControllerInfo.OemProductNamePtr], string2
    mov [es:di+VbeControllerInfo.OemProductNamePtr+2], ax
    mov word [es:di+VbeControllerInfo.OemProductRevPtr], revision_name
    mov [es:di+VbeControllerInfo.OemProductRevPtr+2], ax
    ; The mode list holds the modes the chip shows in the video memory it has.
    cmp byte [mode_list_built], 0
    jne .listed
    mov si, mode_table
    mov bx, mode_list
.next_mode:
    call mode_offered
    jc .skip
    mov ax, [si+MODE_NUMBER]
    mov [bx], ax
    add bx, 2
.skip:
    add si, MODE_SIZE
    cmp si, mode_table_end
    jb .next_mode
    mov word [bx], VBE_MODE_LIST_END
    mov byte [mode_list_built], 1
.listed:
    pop ds
    popad
    mov ax, VBE_STATUS_OK
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
    movzx ebx, word [memory_64k]
    shl ebx, 16
    cmp ebx, eax                            ; CF when memory < screen
    pop edx
    pop ebx
    ret

; In: DS:SI -> mode table entry (DS = CS). Out: CF set when it does not fit in video memory
; or the chip cannot show it.
mode_offered:
    push eax
    call mode_fits
    pop eax
    jc .done
    call chip_can_show
.done:
    ret

; In: CX = mode number. Out: DS:SI -> its entry, CF set when unknown or not offered.
find_mode:
    and cx, VBE_MODE_NUMBER
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
    jmp mode_offered

; Out: EAX = the linear framebuffer's physical address from the card's BAR0, 0 when none.
; The PCI configuration address register is left as it was found.
read_lfb_base:
    push dx
    push ebx
    xor eax, eax
    mov ebx, [cs:pci_bar_addr]
    test ebx, ebx
    jz .done
    mov dx, PCI_CONFIG_ADDRESS_PORT
    in eax, dx
    xchg eax, ebx
    out dx, eax
    mov dx, PCI_CONFIG_DATA_PORT
    in eax, dx
    and eax, PCI_BAR_MEMORY_ADDRESS
    mov dx, PCI_CONFIG_ADDRESS_PORT
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
    mov cx, VbeModeInfo_size
    xor al, al
    rep stosb
    pop cx
    pop di
    mov bl, [si+MODE_BPP]
    ; No BIOS text output.
    mov dx, VBE_MODE_ATTR_SUPPORTED | VBE_MODE_ATTR_EXTENDED_INFO | VBE_MODE_ATTR_COLOR | VBE_MODE_ATTR_GRAPHICS
    cmp byte [si+MODE_MODEL], VBE_MEMORY_PLANAR
    je .attributes                          ; planes have no linear framebuffer
    call read_lfb_base
    test eax, eax
    jz .attributes
    mov [es:di+VbeModeInfo.PhysBasePtr], eax
    or dx, VBE_MODE_ATTR_LINEAR
.attributes:
    mov [es:di+VbeModeInfo.ModeAttributes], dx
    mov byte [es:di+VbeModeInfo.WinAAttributes], VBE_WIN_ATTR_EXISTS | VBE_WIN_ATTR_READABLE | VBE_WIN_ATTR_WRITABLE
    mov word [es:di+VbeModeInfo.WinGranularity], WINDOW_KB
    mov word [es:di+VbeModeInfo.WinSize], WINDOW_KB
    mov word [es:di+VbeModeInfo.WinASegment], VGA_WINDOW_START >> 4
    mov word [es:di+VbeModeInfo.WinFuncPtr], window_function
    mov ax, [load_seg]
    mov [es:di+VbeModeInfo.WinFuncPtr+2], ax
    mov ax, [si+MODE_PITCH]
    mov [es:di+VbeModeInfo.BytesPerScanLine], ax
    mov ax, [si+MODE_XRES]
    mov [es:di+VbeModeInfo.XResolution], ax
    mov ax, [si+MODE_YRES]
    mov [es:di+VbeModeInfo.YResolution], ax
    mov byte [es:di+VbeModeInfo.XCharSize], 8
    mov byte [es:di+VbeModeInfo.YCharSize], 16
    mov byte [es:di+VbeModeInfo.NumberOfPlanes], 1
    cmp byte [si+MODE_MODEL], VBE_MEMORY_PLANAR
    jne .planes_known
    mov byte [es:di+VbeModeInfo.NumberOfPlanes], 4
.planes_known:
    mov [es:di+VbeModeInfo.BitsPerPixel], bl
    mov byte [es:di+VbeModeInfo.NumberOfBanks], 1
    mov al, [si+MODE_MODEL]
    mov [es:di+VbeModeInfo.MemoryModel], al
    ; Image pages: whole screens in video memory, minus the one shown.
    call mode_fits
    mov ebx, eax
    movzx eax, word [memory_64k]
    shl eax, 16
    xor edx, edx
    div ebx
    dec eax
    cmp eax, 255
    jbe .pages_known
    mov eax, 255
.pages_known:
    mov [es:di+VbeModeInfo.NumberOfImagePages], al
    mov byte [es:di+VbeModeInfo.Reserved1], 1     ; VBE 2.0: always 1
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
    mov [es:di+VbeModeInfo.RedMaskSize], eax
    mov eax, [bx+4]
    mov [es:di+VbeModeInfo.BlueMaskSize], eax
.done:
    pop ds
    popad
    mov ax, VBE_STATUS_OK
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
    and cx, VBE_MODE_NUMBER
    cmp cx, 0100h
    jb .vga_mode
    call find_mode
    jc .failed
    test bx, VBE_MODE_LINEAR
    jz .mode_ok
    cmp byte [si+MODE_MODEL], VBE_MEMORY_PLANAR
    je .failed
    call read_lfb_base
    test eax, eax
    jz .failed
.mode_ok:
    ; The chip's own registers, not the BIOS beneath, which may know nothing of the chip.
    call chip_set_mode
    jc .refused
    and bx, VBE_MODE_LINEAR | VBE_MODE_NUMBER
    mov [cur_mode], bx
    mov [cur_entry], si
    mov word [palette_limit], 256
    cmp byte [si+MODE_BPP], 8
    jbe .palette_known
    mov word [palette_limit], 0
.palette_known:
    pop ds
    popad
    mov ax, VBE_STATUS_OK
    iret
.vga_mode:
    call chip_leave
    mov word [cur_mode], 0
    mov word [palette_limit], 256
    mov al, bl
    and al, 7Fh                             ; int 10h AH=00h: bit 7 keeps video memory
    test bx, VBE_MODE_NO_CLEAR
    jz .vga_clear
    or al, 80h
.vga_clear:
    xor ah, ah
    call call_bios
    pop ds
    popad
    mov ax, VBE_STATUS_OK
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
    mov bl, [BDA_VIDEO_MODE]
    pop ds
.done:
    mov ax, VBE_STATUS_OK
    iret

; 4F04: save and restore state. CX bits 0-2 (hardware, BIOS data, DAC) go to the BIOS's
; own AH=1Ch; bit 3, the SuperVGA state, is one 64-byte block of the driver's that comes
; first in the buffer: the mode and its table entry, then the chip's part from byte 4.
STANDARD_STATE  equ VBE_STATE_CONTROLLER | VBE_STATE_BIOS_DATA | VBE_STATE_DAC
BIOS_STATE_SIZE equ 1C00h                   ; int 10h AH=1Ch: the BIOS's own state calls
BIOS_STATE_SAVE equ 1C01h
BIOS_STATE_RESTORE equ 1C02h

struc SvgaState                             ; one 64-byte block, as 4F04 counts them
    .mode               resw 1
    .entry              resw 1
    .chip               resb 60
endstruc

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
    test cl, STANDARD_STATE
    jz .size_svga
    mov ax, BIOS_STATE_SIZE
    and cx, STANDARD_STATE
    call call_bios
    cmp al, BIOS_STATE_SIZE >> 8            ; AL = 1Ch: the BIOS has the call
    jne .size_failed
.size_svga:
    pop cx
    test cl, VBE_STATE_SUPERVGA
    jz .size_done
    inc bx
.size_done:
    mov ax, VBE_STATUS_OK
    iret
.size_failed:
    pop cx
    jmp ret_failed
.save:
    pusha
    test cl, VBE_STATE_SUPERVGA
    jz .save_bios
    mov di, bx
    mov ax, [cs:cur_mode]
    mov [es:di+SvgaState.mode], ax
    mov ax, [cs:cur_entry]
    mov [es:di+SvgaState.entry], ax
    call chip_save_state
    add bx, SvgaState_size
.save_bios:
    and cx, STANDARD_STATE
    jz .state_done
    mov ax, BIOS_STATE_SAVE
    call call_bios
    jmp .state_done
.restore:
    pusha
    mov si, bx
    test cl, VBE_STATE_SUPERVGA
    jz .restore_bios
    add bx, SvgaState_size
.restore_bios:
    push cx
    and cx, STANDARD_STATE
    jz .restore_svga
    mov ax, BIOS_STATE_RESTORE
    call call_bios
.restore_svga:
    pop cx
    test cl, VBE_STATE_SUPERVGA
    jz .state_done
    mov ax, [es:si+SvgaState.mode]
    mov [cs:cur_mode], ax
    mov ax, [es:si+SvgaState.entry]
    mov [cs:cur_entry], ax
    mov word [cs:palette_limit], 256
    cmp word [cs:cur_mode], 0
    je .restore_chip
    mov di, [cs:cur_entry]
    cmp byte [cs:di+MODE_BPP], 8
    jbe .restore_chip
    mov word [cs:palette_limit], 0
.restore_chip:
    call chip_restore_state
.state_done:
    popa
    mov ax, VBE_STATUS_OK
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
    movzx eax, word [cs:memory_64k]
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
    cmp bl, 01h
    jne .work
    ; Get: the answer of the last call stands while the chip keeps that line length.
    call chip_get_line_pixels
    cmp cx, [cs:line_pixels]
    jne .work
    mov ax, [cs:cur_entry]
    cmp ax, [cs:line_entry]
    jne .work
    mov bx, [cs:line_bytes]
    mov dx, [cs:line_count]
    mov ax, VBE_STATUS_OK
    iret
.work:
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
    ; the chip must hold the line, and the visible height still fit with it
    call pixels_to_bytes
    cmp ax, CHIP_MAX_LINE_BYTES
    ja .too_wide
    movzx eax, ax
    movzx edx, word [cs:si+MODE_YRES]
    mul edx
    mov ebx, eax
    call mode_memory
    cmp ebx, eax
    ja .too_wide
    call chip_set_line_pixels
.get:
    call chip_get_line_pixels
    jmp .report
.maximum:
    call mode_memory
    movzx ecx, word [cs:si+MODE_YRES]
    xor edx, edx
    div ecx                                 ; bytes per line that keep the height
    cmp eax, CHIP_MAX_LINE_BYTES
    jbe .max_held
    mov eax, CHIP_MAX_LINE_BYTES
.max_held:
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
    mov [cs:line_entry], si
    mov [cs:line_pixels], cx
    mov [cs:line_bytes], bx
    mov [cs:line_count], ax
    popad
    mov ax, VBE_STATUS_OK
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
    call chip_set_dac_width
    jmp .done
.get:
    call chip_get_dac_width
.done:
    mov ax, VBE_STATUS_OK
    iret

; 4F0Fh BX=1234h: the driver's information record, DX:BX.
vbe_0f:
    cmp bx, VBE_KESTREL_RECORD_KEY
    jne ret_failed
    mov dx, [cs:load_seg]
    mov bx, info_record
    mov ax, VBE_STATUS_OK
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
    mov bx, MUX_ANSWER
    mov cx, DRIVER_VERSION
    push word [cs:load_seg]
    pop es
    mov di, signature
    iret
.chain:
    jmp far [cs:old_int2f]

; ---------------------------------------------------------------------------------------
; Check entry (far call): AX=1 when the image is whole (its checksum matches), the card this
; driver was generated for is there with at least the generated video memory, and it is the
; chip this image's back end drives. It leaves no trace on the card.
; ---------------------------------------------------------------------------------------
check_entry:
    call image_sum
    cmp eax, [cs:image_checksum]
    mov ax, 0
    jne .done
    cmp word [cs:hardware_code], CHIP_CODE
    jne .done
    call chip_check
    mov ax, 0
    jc .done
    inc ax
.done:
    retf

; One back end an image, chosen when it is assembled (nasm -DCHIP_CIRRUS for the GD5446).
%include "vga.asm"
%ifdef CHIP_CIRRUS
%include "chip_cirrus.asm"
%else
%include "chip_dispi.asm"
%endif

; ---------------------------------------------------------------------------------------
; Image checksum: 32-bit FNV-1a over the image up to image_checksum, leaving out the fields
; the installer fills. A damaged byte anywhere else changes it, so a damaged driver fails
; its check and is generated again instead of running. The loop ends whatever the ranges
; hold: SI only counts up to a 16-bit limit.
; ---------------------------------------------------------------------------------------
checksum_ranges:                            ; [start, end) pairs
    dw 0, old_int10
    dw old_int2f + 4, installer_64k
    dw installer_64k + 2, load_seg
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
