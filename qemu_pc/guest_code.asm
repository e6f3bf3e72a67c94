; Palisade's code in QEMU's RAM, placed once at start: the stub every call runs through, which
; leaves the registers a call returns where the host reads them, and the batch runner, which
; walks a list of port and memory operations Palisade writes into shared RAM. QEMU translates
; it once, and neither a call nor a batch needs a register read or a code write of its own.
; The addresses are qemu_pc.cpp's memory layout; the list format is io_batch.h's.
bits 16

INT_STUB    equ 0600h       ; int N: the host writes the number at INT_STUB + 1
CALL_RETURN equ 0602h       ; where int N returns, and far calls return to
RETURN_STOP equ 0650h       ; the breakpoint every run of Palisade's code ends at
RUNNER      equ 0660h
SCRATCH     equ 1C00h       ; six bytes in the stack's room, on a page without code
REGISTERS   equ 1C20h       ; what a call returned, in the stack's room too
LIST        equ 1800000h    ; the list, in RAM above what real mode reaches (24 MB)
CALL_DONE   equ 0A55Ah      ; at REGISTERS + 34 once the registers are there

RESULT_SEQUENCE equ LIST        ; dword: the sequence number of the last list run to its end
RESULT_VALUE    equ LIST + 4    ; dword: what the list's port read read
OPERATIONS      equ LIST + 16

org INT_STUB

        int 10h

; EAX, EBX, ECX, EDX, ESI, EDI, EBP, DS, ES and the flags, then the mark that they are there.
; CS is 0 here, so CS: reaches the stack's page whatever DS and SS the call left.
call_return:
        mov [cs:REGISTERS], eax
        mov [cs:REGISTERS + 4], ebx
        mov [cs:REGISTERS + 8], ecx
        mov [cs:REGISTERS + 12], edx
        mov [cs:REGISTERS + 16], esi
        mov [cs:REGISTERS + 20], edi
        mov [cs:REGISTERS + 24], ebp
        mov [cs:REGISTERS + 28], ds
        mov [cs:REGISTERS + 30], es
        pushf
        pop word [cs:REGISTERS + 32]
        mov word [cs:REGISTERS + 34], CALL_DONE
        times RETURN_STOP - INT_STUB - ($ - $$) nop
stop:
        jmp stop                            ; never run: the CPU stops here

        times RUNNER - INT_STUB - ($ - $$) nop

; The batch runner. Entered with CS = DS = ES = 0, SS:SP on Palisade's stack, interrupts off
; and the direction flag clear: at RUNNER when DS and ES already have flat 4 GB limits (big
; real mode), else at RUNNER + 2, which gives them those limits first. It ends by storing the
; list's sequence number and jumping to the stop.
runner:
        jmp short walk

; Enters protected mode for two segment loads and leaves it: DS and ES keep flat limits, and
; with selector 0 again a register write that sets them to 0 keeps those limits too.
flat_runner:
        o32 sgdt [SCRATCH]                  ; the GDTR found, all 32 bits of its base
        o32 lgdt [cs:flat_gdt_pointer]
        mov eax, cr0
        or al, 1
        mov cr0, eax
        mov bx, 8                           ; the flat data descriptor
        mov ds, bx
        mov es, bx
        and al, 0FEh
        mov cr0, eax
        xor bx, bx
        mov ds, bx
        mov es, bx
        o32 lgdt [SCRATCH]
walk:
        mov esi, OPERATIONS
next:
        a32 lodsb
        movzx bx, al
        cmp bx, OPERATION_COUNT
        jae stop                            ; no such operation: ends without the sequence
        add bx, bx
        jmp [cs:operations + bx]

operations:
        dw op_end, op_out8, op_out16, op_out32, op_outs, op_window_rising, op_window_same
        dw op_in8, op_in16, op_in32, op_copy, op_wait_clear
OPERATION_COUNT equ ($ - operations) / 2

op_end:                                     ; sequence (dword)
        a32 lodsd
        mov [dword RESULT_SEQUENCE], eax
        jmp stop

op_out8:                                    ; port (word), value (byte)
        a32 lodsw
        mov dx, ax
        a32 lodsb
        out dx, al
        jmp next

op_out16:                                   ; port (word), value (word)
        a32 lodsw
        mov dx, ax
        a32 lodsw
        out dx, ax
        jmp next

op_out32:                                   ; port (word), value (dword)
        a32 lodsw
        mov dx, ax
        a32 lodsd
        out dx, eax
        jmp next

op_outs:                                    ; port (word), count (dword), the bytes
        a32 lodsw
        mov dx, ax
        a32 lodsd
        mov ecx, eax
        a32 rep outsb
        jmp next

op_window_rising:                           ; address (dword), count (dword), the bytes
        a32 lodsd
        mov edi, eax
        a32 lodsd
        mov ecx, eax
        a32 rep movsb
        jmp next

op_window_same:                             ; address (dword), count (dword), the bytes
        a32 lodsd
        mov edi, eax
        a32 lodsd
        mov ecx, eax
.byte:  a32 movsb
        dec edi
        dec ecx
        jnz .byte
        jmp next

op_in8:                                     ; port (word)
        a32 lodsw
        mov dx, ax
        xor eax, eax
        in al, dx
        jmp store_value

op_in16:                                    ; port (word)
        a32 lodsw
        mov dx, ax
        xor eax, eax
        in ax, dx
        jmp store_value

op_in32:                                    ; port (word)
        a32 lodsw
        mov dx, ax
        in eax, dx
store_value:
        mov [dword RESULT_VALUE], eax
        jmp next

op_copy:                                    ; from, to, bytes (dwords)
        a32 lodsd
        mov ebx, eax
        a32 lodsd
        mov edi, eax
        a32 lodsd
        mov ecx, eax
        mov ebp, esi                        ; the list goes on after the copy
        mov esi, ebx
        mov edx, ecx
        shr ecx, 2
        a32 rep movsd
        mov ecx, edx
        and ecx, 3
        a32 rep movsb
        mov esi, ebp
        jmp next

op_wait_clear:                              ; index port (word), index, bits, polls (dword),
                                            ; writes (byte), the words
        a32 lodsw
        mov dx, ax
        a32 lodsw
        mov bx, ax                          ; BL the index, BH the bits
        a32 lodsd
        mov ecx, eax
.poll:  mov al, bl
        out dx, al
        inc dx
        in al, dx
        dec dx
        test al, bh
        jz .clear
        dec ecx
        jnz .poll
        a32 lodsb                           ; they never cleared: the writes
        movzx cx, al
        jcxz .done
.write: a32 lodsw
        out dx, ax
        loop .write
.done:  jmp next
.clear: a32 lodsb                           ; skipped
        movzx eax, al
        lea esi, [esi + eax * 2]
        jmp next

align 8
flat_gdt:
        dq 0                                ; the null descriptor
        dw 0FFFFh, 0                        ; data: base 0, limit 4 GB, writable
        db 0, 92h, 0CFh, 0
flat_gdt_pointer:
        dw flat_gdt_pointer - flat_gdt - 1
        dd flat_gdt
