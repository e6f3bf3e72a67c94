; Boot-sector probe: does a DISPI card take XRES, YRES and BPP while a mode is enabled?
; Sets 640x480x8 with the LFB, writes 800x600x16 over it, and prints the read-back to port
; E9h (Bochs port_e9_hack, QEMU -debugcon); then asks the emulator to stop (QEMU isa-debug-exit
; at F4h, the Bochs shutdown port 8900h).
org 7C00h
bits 16
start:
    cli
    xor ax, ax
    mov ds, ax
    mov ss, ax
    mov sp, 7C00h
    ; 640x480x8, enabled with LFB
    mov bx, 1
    mov ax, 640
    call dwrite
    mov bx, 2
    mov ax, 480
    call dwrite
    mov bx, 3
    mov ax, 8
    call dwrite
    mov bx, 4
    mov ax, 41h
    call dwrite
    ; while enabled: XRES 800, YRES 600, BPP 16
    mov bx, 1
    mov ax, 800
    call dwrite
    mov bx, 2
    mov ax, 600
    call dwrite
    mov bx, 3
    mov ax, 16
    call dwrite
    mov si, msg_x
    call puts
    mov bx, 1
    call dread
    call hex
    mov si, msg_y
    call puts
    mov bx, 2
    call dread
    call hex
    mov si, msg_b
    call puts
    mov bx, 3
    call dread
    call hex
    mov si, msg_v
    call puts
    mov bx, 6
    call dread
    call hex
    mov si, msg_e
    call puts
    mov bx, 4
    call dread
    call hex
    mov si, msg_end
    call puts
    ; QEMU: isa-debug-exit; Bochs: shutdown port 8900h
    mov dx, 0F4h
    mov al, 0
    out dx, al
    mov dx, 8900h
    mov si, shut
.s: lodsb
    or al, al
    jz .h
    out dx, al
    jmp .s
.h: hlt
    jmp .h
dwrite: ; bx=index ax=value
    push ax
    mov dx, 1CEh
    mov ax, bx
    out dx, ax
    pop ax
    mov dx, 1CFh
    out dx, ax
    ret
dread:
    mov dx, 1CEh
    mov ax, bx
    out dx, ax
    mov dx, 1CFh
    in ax, dx
    ret
puts:
    lodsb
    or al, al
    jz .d
    out 0E9h, al
    jmp puts
.d: ret
hex: ; ax
    mov cx, 4
.l: rol ax, 4
    push ax
    and al, 0Fh
    add al, '0'
    cmp al, '9'
    jbe .o
    add al, 7
.o: out 0E9h, al
    pop ax
    loop .l
    ret
msg_x: db 'after writes while enabled: XRES=',0
msg_y: db ' YRES=',0
msg_b: db ' BPP=',0
msg_v: db ' VIRT_WIDTH=',0
msg_e: db ' ENABLE=',0
msg_end: db 13,10,0
shut: db 'Shutdown',0
times 510-($-$$) db 0
dw 0AA55h
