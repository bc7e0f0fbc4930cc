# uint32_t CallWithStackCheck(void* fn, const uint32_t* args, uint32_t count,
#                             int32_t* stackLeft)   (cdecl)
#
# Pushes args[count-1] .. args[0] and calls fn, as a host calls an interface slot. A
# __stdcall callee removes its own arguments, so *stackLeft is 0 when the callee took
# exactly `count` 32-bit arguments in that convention; otherwise it is the number of bytes
# the callee left behind (negative: removed too many), which means a wrong
# argument count or calling convention. Returns EAX (its low 16 bits for 16-bit results).
    .text
    .globl _CallWithStackCheck
_CallWithStackCheck:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl 12(%ebp), %edi
    movl 16(%ebp), %ecx
    movl %esp, %esi
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edi,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    movl %esi, %ecx
    subl %esp, %ecx
    movl 20(%ebp), %edi
    movl %ecx, (%edi)
    movl %esi, %esp
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
