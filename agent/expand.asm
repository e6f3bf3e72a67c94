; The drawing expander: a routine the host uploads to the agent with a stream of drawing behind
; it, and far-calls there (CMD_RUN), so that a screen reaches video memory as a few kilobytes of
; fills, repeated rows and literal bytes instead of every pixel over the line.
;
; In:  EDI = the physical address the stream's first byte lands at
;      SI  = where the stream starts, counted from this routine's first byte
; Out: the stream written; EDI just past the last byte it reached. Everything else but EAX,
;      EBX, ECX, EDX, EBP, ESI and the flags is kept.
;
; The stream's records (agent_pc/drawing_stream.h builds them; counts little-endian):
;   00h n:dw bytes...   n literal bytes (n >= 1)
;   01h n:dd v:db       n bytes of v
;   02h n:dd d:dd       n bytes copied from d bytes back (d >= 1), in order, so a repeat of a
;                       shorter piece runs on as a pattern
;   03h n:dd            the next n bytes stay as they are
;   FFh                 the end
; (agent_pc/drawing_stream.h is the host's copy of these.)

EXPAND_LITERAL  equ 0x00
EXPAND_FILL     equ 0x01
EXPAND_COPY     equ 0x02
EXPAND_SKIP     equ 0x03
EXPAND_END      equ 0xFF

bits 16
org 0

expand:
    push ds
    call .here
.here:
    pop bx
    sub bx, .here - expand          ; BX: this routine's offset in CS
    add si, bx
    push cs
    pop ds

    ; FS reaches all 4 GB: a protected-mode data descriptor loaded and real mode re-entered,
    ; with the descriptor table inside this routine.
    xor eax, eax
    mov ax, cs
    shl eax, 4
    movzx edx, bx
    add eax, edx
    add eax, gdt - expand
    mov [bx + gdt_pointer + 2 - expand], eax
    pushf
    cli
    lgdt [bx + gdt_pointer - expand]
    mov eax, cr0
    or al, 1
    mov cr0, eax
    jmp short .protected
.protected:
    mov dx, gdt_data - gdt
    mov fs, dx
    and al, 0xFE
    mov cr0, eax
    jmp short .real
.real:
    xor dx, dx
    mov fs, dx
    popf

.record:
    lodsb
    cmp al, EXPAND_LITERAL
    je .literal
    cmp al, EXPAND_FILL
    je .fill
    cmp al, EXPAND_COPY
    je .copy
    cmp al, EXPAND_SKIP
    je .skip
    pop ds                          ; EXPAND_END, or anything else: the end
    retf

.literal:
    lodsw
    movzx ecx, ax
.literal_byte:
    lodsb
    mov [fs:edi], al
    inc edi
    dec ecx
    jnz .literal_byte
    jmp .record

.fill:
    lodsd
    mov ecx, eax
    lodsb
    mov ah, al
    mov dx, ax
    shl eax, 16
    mov ax, dx
.fill_head:                         ; bytes up to a dword boundary, then dwords
    test ecx, ecx
    jz .record
    test di, 3
    jz .fill_dwords
    mov [fs:edi], al
    inc edi
    dec ecx
    jmp .fill_head
.fill_dwords:
    cmp ecx, 4
    jb .fill_tail
    mov [fs:edi], eax
    add edi, 4
    sub ecx, 4
    jmp .fill_dwords
.fill_tail:
    test ecx, ecx
    jz .record
    mov [fs:edi], al
    inc edi
    dec ecx
    jmp .fill_tail

.copy:
    lodsd
    mov ecx, eax
    lodsd
    mov ebp, eax
    mov edx, edi
    sub edx, eax
    cmp ebp, 4                      ; a source at least a dword back is copied a dword at a time
    jb .copy_tail
.copy_dwords:
    cmp ecx, 4
    jb .copy_tail
    mov eax, [fs:edx]
    mov [fs:edi], eax
    add edx, 4
    add edi, 4
    sub ecx, 4
    jmp .copy_dwords
.copy_tail:
    test ecx, ecx
    jz .record
    mov al, [fs:edx]
    mov [fs:edi], al
    inc edx
    inc edi
    dec ecx
    jmp .copy_tail

.skip:
    lodsd
    add edi, eax
    jmp .record

gdt:
    dq 0
gdt_data:
    dw 0xFFFF, 0x0000, 0x9200, 0x008F  ; data, base 0, 4 GB in pages, 16-bit
gdt_pointer:
    dw gdt_pointer - gdt - 1
    dd 0                            ; the table's linear address, set above
