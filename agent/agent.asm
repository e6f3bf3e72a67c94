; Palisade's agent: a real-mode program that hands the PC it runs on to Palisade over a 16550
; serial line. Assembled twice: with -DBOOT_IMAGE a floppy image the BIOS boots, without it a
; DOS .COM program. Both speak the same frames (protocol.inc).
bits 16
cpu 386

%include "agent/protocol.inc"
%include "hw/uart.inc"

UPLOAD_BYTES    equ 4096        ; room for code the host uploads and runs
STACK_BYTES     equ 2048
POLL_PAUSE      equ 256         ; loops between polls of an empty UART
BYTE_TICKS      equ 3           ; a frame that stalls for longer (55 ms ticks) is dropped
DEFAULT_PORT    equ UART_COM1_PORT
DEFAULT_DIVISOR equ 1           ; 115,200 baud
WATCHED_PAGES   equ WATCHED_BYTES >> PAGE_SHIFT
WINDOW_FIRST    equ 0xA0000 >> PAGE_SHIFT   ; the VGA window is read only when asked: it has side effects
WINDOW_END      equ 0xC0000 >> PAGE_SHIFT

TIMER_VECTOR    equ 0x08        ; IRQ 0
NMI_VECTOR      equ 0x02
PIC_COMMAND_PORT equ 0x20
PIC_END_OF_INTERRUPT equ 0x20
BDA_SEGMENT     equ 0x0040
BDA_TICKS       equ 0x006C

%ifdef BOOT_IMAGE
AGENT_SEGMENT   equ 0x00F0      ; the agent runs at 00F0:0100, linear 1000h
FLOPPY_SECTORS  equ 18          ; per track of a 1.44 MB floppy
FLOPPY_BYTES    equ 1474560

section boot start=0 vstart=0x7C00
; The boot sector: loads the agent from the sectors after it and starts it.
boot:
    jmp 0:.normalized           ; some BIOSes enter at 07C0:0000
.normalized:
    cli
    xor ax, ax
    mov ds, ax
    mov ss, ax
    mov sp, 0x7C00
    sti
    mov si, 3                   ; tries
.read:
    mov ax, AGENT_SEGMENT
    mov es, ax
    mov bx, 0x100
    mov ax, 0x0200 + AGENT_SECTORS
    mov cx, 0x0002              ; cylinder 0, sector 2
    xor dh, dh                  ; head 0; DL is the boot drive
    int 0x13
    jnc .loaded
    xor ax, ax
    int 0x13                    ; reset the drive and try again
    dec si
    jnz .read
    mov si, boot_failed
.say:
    lodsb
    test al, al
    jz .halt
    mov ah, 0x0E
    xor bx, bx
    int 0x10
    jmp .say
.halt:
    hlt
    jmp .halt
.loaded:
    jmp AGENT_SEGMENT:start

boot_failed db "Palisade agent: the disk would not read", 0
    times 510 - ($ - $$) db 0
    dw 0xAA55

section agent start=512 vstart=0x100
%else
    org 0x100
%endif

agent_image:
start:
    cld
    push cs
    pop ds
    push cs
    pop es
%ifdef BOOT_IMAGE
    cli
    mov ax, cs
    mov ss, ax
    mov sp, stack_top
    sti
%else
    ; DOS gave the program the memory up to the segment in PSP:0002.
    mov ax, [0x0002]
    mov bx, cs
    sub ax, bx
    cmp ax, (agent_end - agent_image + 0x100 + 15) >> 4
    jae .room
    mov dx, no_memory_message
    mov ah, 0x09
    int 0x21
    mov ax, 0x4C01
    int 0x21
.room:
    mov sp, stack_top
    call parse_command_line
%endif
    mov ax, cs
    movzx eax, ax
    shl eax, 4
    mov [agent_first], eax
    add dword [gdt_pointer + 2], eax
    add eax, agent_end
    mov [agent_last], eax
    call build_crc_table
    call open_a20
    call uart_init
    smsw ax
    and al, 1
    mov [protected], al         ; a memory manager runs DOS in virtual 8086 mode
    int 0x12
    mov [conventional_kb], ax
    ; The agent's page table starts as the hash of zeros, which is what the host holds first.
    mov di, page_hashes
    mov cx, WATCHED_PAGES * 2
    xor ax, ax
    rep stosw
    mov byte [have_last], 0

main_loop:
    call receive_frame
    jc main_loop                ; damaged or cut short: never acted on; the host sends it again
    cmp byte [rx_header + FRAME_VERSION_AT], PROTOCOL_VERSION
    je .version_ok
    mov al, ERR_VERSION
    call reply_error
    call send_reply
    mov byte [have_last], 0
    jmp main_loop
.version_ok:
    mov al, [rx_header + FRAME_SEQUENCE_AT]
    cmp byte [have_last], 0
    je .new
    cmp al, [last_sequence]
    jne .new
    call send_reply             ; our reply was lost: the same one again, the command not run twice
    jmp main_loop
.new:
    mov [last_sequence], al
    mov byte [have_last], 1
    mov word [tx_length], 0
    mov al, [rx_header + FRAME_TYPE_AT]
    or al, REPLY_BIT
    mov [tx_type], al
    movzx bx, byte [rx_header + FRAME_TYPE_AT]
    cmp bx, COMMAND_COUNT
    jae .unknown
    shl bx, 1
    call [commands + bx]
    jmp .send
.unknown:
    mov al, ERR_UNKNOWN
    call reply_error
.send:
    call send_reply
    cmp byte [quitting], 0
    je main_loop
%ifdef BOOT_IMAGE
.halt:
    hlt
    jmp .halt
%else
    mov ax, 0x4C00
    int 0x21
%endif

commands:
    dw cmd_unknown, cmd_ping, cmd_read, cmd_write, cmd_in, cmd_out, cmd_int, cmd_call
    dw cmd_upload, cmd_run, cmd_hash, cmd_sync, cmd_quit
COMMAND_COUNT equ ($ - commands) / 2

; --- commands: the payload is at rx_payload, rx_length long; replies go to tx_payload ---

cmd_unknown:
    mov al, ERR_UNKNOWN
    jmp reply_error

cmd_ping:
    mov di, tx_payload
    mov dword [di + PING_MAGIC], AGENT_MAGIC
    mov word [di + PING_VERSION], PROTOCOL_VERSION
%ifdef BOOT_IMAGE
    mov byte [di + PING_KIND], KIND_BOOT_IMAGE
%else
    mov byte [di + PING_KIND], KIND_DOS
%endif
    mov al, [a20_open]
    mov ah, [protected]
    shl ah, 1
    or al, ah
    mov [di + PING_FLAGS], al
    mov eax, [agent_first]
    mov [di + PING_AGENT_FIRST], eax
    mov eax, [agent_last]
    mov [di + PING_AGENT_END], eax
    mov ax, [conventional_kb]
    mov [di + PING_CONVENTIONAL_KB], ax
    mov word [di + PING_MAX_PAYLOAD], MAX_PAYLOAD
    mov word [di + PING_UPLOAD_BYTES], UPLOAD_BYTES
    mov ax, [port]
    mov [di + PING_PORT], ax
    mov ax, [divisor]
    mov [di + PING_DIVISOR], ax
    mov byte [di + PING_PAGE_SHIFT], PAGE_SHIFT
    mov byte [di + PING_RESERVED], 0
    mov word [tx_length], PING_BYTES
    ret

; Sets CF and replies with ERR_PROTECTED when big real mode cannot be had.
memory_ready:
    cmp byte [protected], 0
    je enter_big_real_mode
    mov al, ERR_PROTECTED
    call reply_error
    stc
    ret

cmd_read:
    cmp word [rx_length], 6
    jne length_error
    cmp word [rx_payload + 4], MAX_PAYLOAD
    ja length_error
    call memory_ready
    jc .done
    movzx ecx, word [rx_payload + 4]
    mov esi, [rx_payload]
    mov di, tx_payload
    mov [tx_length], cx
    jecxz .done
.byte:
    mov al, [fs:esi]
    mov [di], al
    inc esi
    inc di
    dec ecx
    jnz .byte
.done:
    ret

cmd_write:
    cmp word [rx_length], 4
    jb length_error
    call memory_ready
    jc .done
    mov edi, [rx_payload]
    movzx ecx, word [rx_length]
    sub cx, 4
    jz .done
    mov si, rx_payload + 4
    push edi
    push ecx
.byte:
    mov al, [si]
    mov [fs:edi], al
    inc si
    inc edi
    dec ecx
    jnz .byte
    ; The host wrote these pages itself: it knows them, so they are not reported as changed.
    pop ecx
    pop eax
    lea ecx, [eax + ecx - 1]
    shr eax, PAGE_SHIFT
    shr ecx, PAGE_SHIFT
.page:
    cmp eax, WATCHED_PAGES
    jae .done
    mov bx, ax
    call rehash_page
    inc eax
    cmp eax, ecx
    jbe .page
.done:
    ret

cmd_in:
    cmp word [rx_length], 3
    jne length_error
    mov dx, [rx_payload]
    xor eax, eax
    mov bl, [rx_payload + 2]
    cmp bl, 1
    jne .not8
    in al, dx
    jmp .done
.not8:
    cmp bl, 2
    jne .not16
    in ax, dx
    jmp .done
.not16:
    cmp bl, 4
    jne length_error
    in eax, dx
.done:
    mov [tx_payload], eax
    mov word [tx_length], 4
    ret

cmd_out:
    cmp word [rx_length], 7
    jne length_error
    mov dx, [rx_payload]
    mov eax, [rx_payload + 3]
    mov bl, [rx_payload + 2]
    cmp bl, 1
    jne .not8
    out dx, al
    ret
.not8:
    cmp bl, 2
    jne .not16
    out dx, ax
    ret
.not16:
    cmp bl, 4
    jne length_error
    out dx, eax
    ret

cmd_int:
    cmp word [rx_length], 4 + REGS_BYTES
    jne length_error
    mov al, [rx_payload]
    mov [int_stub + 1], al      ; the far call below flushes the prefetched copy
    mov word [call_target], int_stub
    mov [call_target + 2], cs
    mov si, rx_payload + 2
    jmp call_with_registers

cmd_call:
    cmp word [rx_length], 6 + REGS_BYTES
    jne length_error
    mov eax, [rx_payload]
    mov [call_target], eax
    mov si, rx_payload + 4
    jmp call_with_registers

cmd_upload:
    cmp word [rx_length], 2
    jb length_error
    movzx ecx, word [rx_length]
    sub cx, 2
    movzx eax, word [rx_payload]
    add eax, ecx
    cmp eax, UPLOAD_BYTES
    jbe .fits
    mov al, ERR_NO_ROOM
    jmp reply_error
.fits:
    mov si, rx_payload + 2
    mov di, upload_area
    add di, [rx_payload]
    rep movsb
    ret

cmd_run:
    cmp word [rx_length], 4 + REGS_BYTES
    jne length_error
    mov ax, [rx_payload]
    cmp ax, UPLOAD_BYTES
    jb .inside
    mov al, ERR_NO_ROOM
    jmp reply_error
.inside:
    add ax, upload_area
    mov [call_target], ax
    mov [call_target + 2], cs
    mov si, rx_payload + 2
    jmp call_with_registers

; Hashes of `count` pieces of `dwords` dwords each from a physical address.
cmd_hash:
    cmp word [rx_length], 8
    jne length_error
    cmp word [rx_payload + 6], MAX_PAYLOAD / 4
    ja length_error
    cmp word [rx_payload + 4], 0
    je length_error
    call memory_ready
    jc .done
    mov ax, [rx_payload + 6]
    shl ax, 2
    mov [tx_length], ax
    mov esi, [rx_payload]
    mov di, tx_payload
    mov dx, [rx_payload + 6]
    test dx, dx
    jz .done
.piece:
    movzx ecx, word [rx_payload + 4]
    call hash_dwords
    stosd
    dec dx
    jnz .piece
.done:
    ret

; The watched pages (the first megabyte and the HMA, less the VGA window and the agent) whose
; contents changed since the last look or the host's last write, as page numbers.
cmd_sync:
    call memory_ready
    jc .done
    mov di, tx_payload
    xor bx, bx
.page:
    call watched
    jc .next
    movzx esi, bx
    shl esi, PAGE_SHIFT
    mov ecx, PAGE_DWORDS
    call hash_dwords
    movzx ebp, bx
    cmp eax, [page_hashes + ebp * 4]
    je .next
    mov [page_hashes + ebp * 4], eax
    mov [di], bx
    add di, 2
.next:
    inc bx
    cmp bx, WATCHED_PAGES
    jb .page
    sub di, tx_payload
    mov [tx_length], di
.done:
    ret

cmd_quit:
    mov byte [quitting], 1
    ret

length_error:
    mov al, ERR_LENGTH
    ; falls through
reply_error:
    mov byte [tx_type], TYPE_ERROR
    mov [tx_payload], al
    mov word [tx_length], 1
    ret

; --- calls ---

; Runs the far call at call_target with the budget (in timer ticks) and the register file at
; DS:SI, and replies with the registers and flags it returned with and how it ended. The call
; runs on the agent's stack. One that runs past its budget with interrupts on is abandoned by
; the timer: the reply says where it was.
call_with_registers:
    lodsw
    mov [call_budget], ax
    mov di, regs
    mov cx, REGS_BYTES
    rep movsb
    mov byte [call_outcome + OUTCOME_STOPPED], 0
    mov word [call_ticks], 0
    mov [saved_sp], sp
    mov [saved_ss], ss
    call hook_timer
    mov eax, [regs + REG_EAX]
    mov ebx, [regs + REG_EBX]
    mov ecx, [regs + REG_ECX]
    mov edx, [regs + REG_EDX]
    mov esi, [regs + REG_ESI]
    mov edi, [regs + REG_EDI]
    mov ebp, [regs + REG_EBP]
    push word [regs + REG_FLAGS]
    mov es, [regs + REG_ES]
    mov fs, [regs + REG_FS]
    mov gs, [regs + REG_GS]
    mov ds, [cs:regs + REG_DS]
    popf
    call far [cs:call_target]
    pushf
    call unhook_timer
    mov [cs:regs + REG_EAX], eax
    mov [cs:regs + REG_EBX], ebx
    mov [cs:regs + REG_ECX], ecx
    mov [cs:regs + REG_EDX], edx
    mov [cs:regs + REG_ESI], esi
    mov [cs:regs + REG_EDI], edi
    mov [cs:regs + REG_EBP], ebp
    pop word [cs:regs + REG_FLAGS]
    mov [cs:regs + REG_DS], ds
    mov [cs:regs + REG_ES], es
    mov [cs:regs + REG_FS], fs
    mov [cs:regs + REG_GS], gs
call_returned:
    cli
    mov ss, [cs:saved_ss]
    mov sp, [cs:saved_sp]
    sti
    cld
    push cs
    pop ds
    push cs
    pop es
    mov si, regs
    mov di, tx_payload
    mov cx, REGS_BYTES
    rep movsb
    mov si, call_outcome
    mov cx, OUTCOME_BYTES
    rep movsb
    mov word [tx_length], REGS_BYTES + OUTCOME_BYTES
    ret

; The timer interrupt, while a call runs: counts ticks, and past the budget ends the call.
timer_tick:
    inc word [cs:call_ticks]
    push ax
    mov ax, [cs:call_ticks]
    cmp ax, [cs:call_budget]
    pop ax
    ja .abandon
    jmp far [cs:old_timer]
.abandon:
    push ax
    mov al, PIC_END_OF_INTERRUPT
    out PIC_COMMAND_PORT, al    ; the BIOS's handler, which would say it, does not run
    pop ax
    jmp abandon_call

; The non-maskable interrupt, while a call runs: the host (through the emulator) ends a call
; that runs past its budget with interrupts off.
nmi_stop:
    ; falls through
abandon_call:
    push bp
    mov bp, sp
    push ax
    mov ax, [bp + 2]
    mov [cs:call_outcome + OUTCOME_IP], ax
    mov ax, [bp + 4]
    mov [cs:call_outcome + OUTCOME_CS], ax
    pop ax
    pop bp
    mov byte [cs:call_outcome + OUTCOME_STOPPED], 1
    cli
    mov ss, [cs:saved_ss]
    mov sp, [cs:saved_sp]
    call unhook_timer
    jmp call_returned           ; the registers are those of the call before it ran

hook_timer:
    push ds
    xor ax, ax
    mov ds, ax
    cli
    mov eax, [TIMER_VECTOR * 4]
    mov [cs:old_timer], eax
    mov word [TIMER_VECTOR * 4], timer_tick
    mov [TIMER_VECTOR * 4 + 2], cs
    mov eax, [NMI_VECTOR * 4]
    mov [cs:old_nmi], eax
    mov word [NMI_VECTOR * 4], nmi_stop
    mov [NMI_VECTOR * 4 + 2], cs
    sti
    pop ds
    ret

unhook_timer:
    pushf
    push ds
    push eax
    xor ax, ax
    mov ds, ax
    cli
    mov eax, [cs:old_timer]
    mov [TIMER_VECTOR * 4], eax
    mov eax, [cs:old_nmi]
    mov [NMI_VECTOR * 4], eax
    pop eax
    pop ds
    popf
    ret

int_stub:
    int 0x10
    retf

; --- memory ---

; FS reaches all 4 GB: a protected-mode descriptor loaded and real mode re-entered. Done before
; every access, because a BIOS call may have reloaded FS or left A20 closed.
enter_big_real_mode:
    call open_a20
    pushf
    cli
    lgdt [gdt_pointer]
    mov eax, cr0
    or al, 1
    mov cr0, eax
    jmp short .protected
.protected:
    mov bx, gdt_data - gdt
    mov fs, bx
    and al, 0xFE
    mov cr0, eax
    jmp short .real
.real:
    xor bx, bx
    mov fs, bx
    popf
    clc
    ret

; EAX = hash of ECX dwords from FS:ESI (ESI advanced): h = (h + d) * HASH_MULTIPLIER.
hash_dwords:
    xor eax, eax
.dword:
    add eax, [fs:esi]
    imul eax, eax, HASH_MULTIPLIER
    add esi, 4
    dec ecx
    jnz .dword
    ret

; CF set when page BX is not watched: the VGA window, or the agent's own memory.
watched:
    cmp bx, WINDOW_FIRST
    jb .not_window
    cmp bx, WINDOW_END
    jb .no
.not_window:
    movzx eax, bx
    shl eax, PAGE_SHIFT
    cmp eax, [agent_last]
    jae .yes
    add eax, PAGE_BYTES
    cmp eax, [agent_first]
    ja .no
.yes:
    clc
    ret
.no:
    stc
    ret

; The table's entry of page BX, set to what the page holds now (when watched).
rehash_page:
    push eax
    push ecx
    push esi
    call watched
    jc .done
    movzx esi, bx
    shl esi, PAGE_SHIFT
    mov ecx, PAGE_DWORDS
    call hash_dwords
    movzx esi, bx
    mov [page_hashes + esi * 4], eax
.done:
    pop esi
    pop ecx
    pop eax
    ret

; A20: the BIOS first, then the fast gate at port 92h, then the keyboard controller.
open_a20:
    call a20_is_open
    je .done
    mov ax, 0x2401
    int 0x15
    call a20_is_open
    je .done
    in al, 0x92
    or al, 2
    and al, 0xFE                ; bit 0 would reset the PC
    out 0x92, al
    call a20_is_open
    je .done
    call kbc_wait
    mov al, 0xD1
    out 0x64, al
    call kbc_wait
    mov al, 0xDF
    out 0x60, al
    call kbc_wait
    call a20_is_open
.done:
    sete byte [a20_open]
    ret

kbc_wait:
    mov cx, 0xFFFF
.poll:
    in al, 0x64
    test al, 2
    loopnz .poll
    ret

; ZF set when 0000:0500 and FFFF:0510 are different bytes.
a20_is_open:
    push ds
    push es
    xor ax, ax
    mov ds, ax
    not ax
    mov es, ax
    mov al, [0x0500]
    mov ah, [es:0x0510]
    mov byte [0x0500], 0x00
    mov byte [es:0x0510], 0xFF
    cmp byte [0x0500], 0xFF
    mov [es:0x0510], ah
    mov [0x0500], al
    pop es
    pop ds
    jne .open
    or al, 1                    ; clears ZF: closed
    ret
.open:
    cmp al, al
    ret

; --- the serial line ---

uart_init:
    mov dx, [port]
    add dx, UART_IER
    xor al, al
    out dx, al                  ; polled: no interrupts
    mov dx, [port]
    add dx, UART_LCR
    mov al, UART_LCR_DLAB
    out dx, al
    mov dx, [port]
    mov ax, [divisor]
    out dx, al
    inc dx
    mov al, ah
    out dx, al
    mov dx, [port]
    add dx, UART_LCR
    mov al, UART_LCR_8N1
    out dx, al
    mov dx, [port]
    add dx, UART_FCR
    ; The agent polls, so the trigger level raises no interrupt; an emulated UART (QEMU's)
    ; takes in as many bytes at a time as the level allows.
    mov al, UART_FCR_ENABLE | UART_FCR_CLEAR_RECEIVE | UART_FCR_CLEAR_TRANSMIT | UART_FCR_TRIGGER_14
    out dx, al
    mov dx, [port]
    add dx, UART_MCR
    mov al, UART_MCR_DTR | UART_MCR_RTS
    out dx, al
    ret

; AX = the BIOS tick count's low word.
ticks:
    push ds
    mov ax, BDA_SEGMENT
    mov ds, ax
    mov ax, [BDA_TICKS]
    pop ds
    ret

; AL = the next byte; waits as long as it takes.
get_byte:
    mov dx, [port]
    add dx, UART_LSR
.poll:
    in al, dx
    test al, UART_LSR_DATA_READY
    jz .poll
    mov dx, [port]
    in al, dx
    ret

; AL = the next byte, CF when none came within BYTE_TICKS.
get_byte_timed:
    push bx
    call ticks
    mov bx, ax
.poll:
    mov dx, [port]
    add dx, UART_LSR
    in al, dx
    test al, UART_LSR_DATA_READY
    jnz .ready
    ; A short pause between polls: an emulator's I/O thread, which fills the UART, gets
    ; its turn instead of waiting for the CPU's port accesses.
    push cx
    mov cx, POLL_PAUSE
.pause:
    loop .pause
    pop cx
    call ticks
    sub ax, bx
    cmp ax, BYTE_TICKS
    jbe .poll
    pop bx
    stc
    ret
.ready:
    mov dx, [port]
    in al, dx
    pop bx
    clc
    ret

put_byte:
    push ax
    mov dx, [port]
    add dx, UART_LSR
.poll:
    in al, dx
    test al, UART_LSR_THR_EMPTY
    jz .poll
    pop ax
    mov dx, [port]
    out dx, al
    ret

; Reads one frame into rx_header and rx_payload. CF when it was damaged, stalled or too long.
receive_frame:
.hunt:
    call get_byte
    cmp al, FRAME_SYNC0
    jne .hunt
.second:
    call get_byte_timed
    jc .bad
    cmp al, FRAME_SYNC0
    je .second
    cmp al, FRAME_SYNC1
    jne .hunt
    mov di, rx_header
    mov cx, FRAME_HEADER_BYTES
    call get_bytes
    jc .bad
    mov cx, [rx_header + FRAME_LENGTH_AT]
    cmp cx, MAX_PAYLOAD + 16
    ja .bad
    mov [rx_length], cx
    add cx, 4
    mov di, rx_payload
    call get_bytes
    jc .bad
    mov eax, 0xFFFFFFFF
    mov si, rx_header
    mov cx, FRAME_HEADER_BYTES
    call crc_update
    mov si, rx_payload
    mov cx, [rx_length]
    call crc_update
    not eax
    mov bx, [rx_length]
    cmp eax, [rx_payload + bx]
    jne .bad
    clc
    ret
.bad:
    stc
    ret

; CX bytes into DI, each within BYTE_TICKS of the one before.
get_bytes:
    jcxz .done
.next:
    call get_byte_timed
    jc .done
    mov [di], al
    inc di
    loop .next
.done:
    ret

; The reply in tx_type/tx_length/tx_payload, framed with the command's sequence number.
send_reply:
    mov byte [tx_sync], FRAME_SYNC0
    mov byte [tx_sync + 1], FRAME_SYNC1
    mov byte [tx_version], PROTOCOL_VERSION
    mov al, [rx_header + FRAME_SEQUENCE_AT]
    mov [tx_sequence], al
    mov ax, [tx_length]
    mov [tx_frame_length], ax
    mov eax, 0xFFFFFFFF
    mov si, tx_version
    mov cx, FRAME_HEADER_BYTES
    add cx, [tx_length]
    call crc_update
    not eax
    mov bx, [tx_length]
    mov [tx_payload + bx], eax
    mov si, tx_sync
    mov cx, [tx_length]
    add cx, 2 + FRAME_HEADER_BYTES + 4
.byte:
    lodsb
    call put_byte
    loop .byte
    ret

; EAX = CRC-32 register, updated with CX bytes at DS:SI (the zlib polynomial, reflected).
crc_update:
    jcxz .done
.byte:
    movzx bx, al
    xor bl, [si]
    inc si
    shl bx, 2
    shr eax, 8
    xor eax, [crc_table + bx]
    loop .byte
.done:
    ret

build_crc_table:
    xor bx, bx
.entry:
    movzx eax, bx
    mov cx, 8
.bit:
    shr eax, 1
    jnc .even
    xor eax, CRC32_POLYNOMIAL
.even:
    loop .bit
    mov di, bx
    shl di, 2
    mov [crc_table + di], eax
    inc bx
    cmp bx, 256
    jb .entry
    ret

%ifndef BOOT_IMAGE
; "AGENT [PORT [DIVISOR]]", both in hex: AGENT 2F8 C is COM2 at 9600 baud.
parse_command_line:
    mov si, 0x81
    call parse_hex
    jc .done
    mov [port], ax
    call parse_hex
    jc .done
    test ax, ax
    jz .done
    mov [divisor], ax
.done:
    ret

; AX = the next hex number at SI, CF when there is none.
parse_hex:
.blank:
    lodsb
    cmp al, ' '
    je .blank
    cmp al, 9
    je .blank
    xor dx, dx
    mov cx, 0
.digit:
    cmp al, '0'
    jb .end
    cmp al, '9'
    jbe .decimal
    or al, 0x20
    cmp al, 'a'
    jb .end
    cmp al, 'f'
    ja .end
    sub al, 'a' - 10 - '0'
.decimal:
    sub al, '0'
    shl dx, 4
    or dl, al
    inc cx
    lodsb
    jmp .digit
.end:
    dec si
    mov ax, dx
    cmp cx, 1
    ret                         ; CF when no digit was read

no_memory_message db "Palisade agent: not enough conventional memory", 13, 10, "$"
%endif

; --- data ---
align 4
gdt:
    dq 0
gdt_data:
    dw 0xFFFF, 0                ; 4 GB, base 0, writable data, 4 KB granules
    db 0, 0x92, 0xCF, 0
gdt_pointer:
    dw gdt_data + 8 - gdt - 1
    dd gdt                      ; the segment's base is added at start

port            dw DEFAULT_PORT
divisor         dw DEFAULT_DIVISOR
a20_open        db 0
protected       db 0
have_last       db 0
quitting        db 0

align 4
image_end:

%ifdef BOOT_IMAGE
AGENT_SECTORS equ (image_end - agent_image + 511) / 512  ; read from the boot track, at most 17
%ifdef PAD_FLOPPY
    times FLOPPY_BYTES - 512 - ($ - $$) db 0    ; a whole 1.44 MB floppy, for disk writers and Bochs
%endif
%endif

absolute image_end
; dwords first, so that they are aligned
agent_first     resd 1
agent_last      resd 1
call_target     resd 1
old_timer       resd 1
old_nmi         resd 1
call_outcome    resb OUTCOME_BYTES
call_budget     resw 1
call_ticks      resw 1
crc_table       resd 256
page_hashes     resd WATCHED_PAGES
regs            resb REGS_BYTES
saved_sp        resw 1
saved_ss        resw 1
conventional_kb resw 1
rx_length       resw 1
tx_length       resw 1
last_sequence   resb 1
rx_header       resb FRAME_HEADER_BYTES
rx_payload      resb MAX_PAYLOAD + 16 + 4
tx_sync         resb 2          ; the frame as sent, from here on
tx_version      resb 1
tx_type         resb 1
tx_sequence     resb 1
tx_frame_length resw 1
tx_payload      resb MAX_PAYLOAD + 4
upload_area     resb UPLOAD_BYTES
stack           resb STACK_BYTES
stack_top:
agent_end:
