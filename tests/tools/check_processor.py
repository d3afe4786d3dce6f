#!/usr/bin/env python3
"""Static check that shipped i686 programs run on the processors of Windows
95: every instruction of every executable section is one the 80386 (with its
387) knows. Wine cannot show this: today's processors run every later
instruction, and a CMOV on a 486 or a Pentium stops the program with an
illegal-instruction fault the first time it runs.

    check_processor.py OBJDUMP PROGRAM...

Each instruction outside the reviewed list below is reported with its
address, e.g. "setup.exe: 0x401a2c: cmovne eax,edx"."""
import re
import subprocess
import sys

import pefile

# The 80386's instructions, as objdump names them in Intel syntax. Nothing
# of the 486 (bswap, cmpxchg, xadd, invlpg), the Pentium (cpuid, rdtsc,
# cmpxchg8b), the Pentium Pro (cmovCC, fcmovCC, fcomi, fucomi, ud2, the
# long nop "nop DWORD PTR ..."), MMX, SSE or later.
CONDITIONS = ["a", "ae", "b", "be", "c", "e", "g", "ge", "l", "le", "na", "nae", "nb", "nbe",
              "nc", "ne", "ng", "nge", "nl", "nle", "no", "np", "ns", "nz", "o", "p", "pe",
              "po", "s", "z"]
I386 = set("""
mov movzx movsx push pop pusha pushad popa popad pushf pushfd popf popfd xchg lea lds les lfs
lgs lss in out xlat xlatb lahf sahf cbw cwde cwd cdq
add adc sub sbb inc dec neg cmp mul imul div idiv daa das aaa aas aam aad
and or xor not test shl shr sal sar rol ror rcl rcr shld shrd bt bts btr btc bsf bsr
jmp call ret retf iret iretd jcxz jecxz loop loope loopne loopz loopnz enter leave
int int3 into bound hlt nop
movs movsb movsw movsd cmps cmpsb cmpsw cmpsd scas scasb scasw scasd lods lodsb lodsw lodsd
stos stosb stosw stosd ins insb insw insd outs outsb outsw outsd
clc stc cmc cld std cli sti wait fwait
""".split()) | {"j" + c for c in CONDITIONS} | {"set" + c for c in CONDITIONS}
# The 387's, for the day the code does floating point.
I387 = set("""
fld fst fstp fild fist fistp fbld fbstp fxch fadd faddp fiadd fsub fsubp fisub fsubr fsubrp
fisubr fmul fmulp fimul fdiv fdivp fidiv fdivr fdivrp fidivr fcom fcomp fcompp ficom ficomp
fucom fucomp fucompp ftst fxam fchs fabs fsqrt fscale fprem fprem1 frndint fxtract fsin fcos
fsincos fptan fpatan f2xm1 fyl2x fyl2xp1 fldz fld1 fldpi fldl2e fldl2t fldlg2 fldln2
fnstsw fstsw fnstcw fstcw fldcw fninit finit fnclex fclex fnsave fsave frstor fnstenv fstenv
fldenv fdecstp fincstp ffree fnop
""".split())
PREFIXES = {"rep", "repz", "repnz", "repe", "repne", "lock", "cs", "ds", "es", "ss", "fs", "gs",
            "data16", "addr16"}
# MMX and SSE registers in an operand.
NEW_REGISTERS = re.compile(r"\b[xy]?mm\d+\b")
# The constructor and destructor lists that the linker puts at the end of
# .text: both empty (-1, then the 0 that ends them), as a program without
# static constructors has them. Data, not code.
EMPTY_CONSTRUCTOR_LISTS = bytes.fromhex("ffffffff00000000ffffffff00000000")


def check(objdump, program):
    pe = pefile.PE(program)
    base = pe.OPTIONAL_HEADER.ImageBase
    problems = []
    count = 0
    for section in pe.sections:
        if not section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]:
            continue
        name = section.Name.rstrip(b"\0").decode()
        data = section.get_data()[:section.Misc_VirtualSize]
        start = base + section.VirtualAddress
        skip = None
        at = data.rfind(EMPTY_CONSTRUCTOR_LISTS)
        if at >= 0:
            skip = (start + at, start + at + len(EMPTY_CONSTRUCTOR_LISTS))
        listing = subprocess.run([objdump, "-d", "-M", "intel", "--no-show-raw-insn", "-j", name,
                                  program], capture_output=True, text=True, check=True).stdout
        for line in listing.splitlines():
            m = re.match(r"^\s*([0-9a-f]+):\t(.*)$", line)
            if not m:
                continue
            address, text = int(m.group(1), 16), m.group(2).strip()
            if skip and skip[0] <= address < skip[1]:
                continue
            words = text.split()
            while words and words[0] in PREFIXES:
                words = words[1:]
            count += 1
            mnemonic = words[0] if words else ""
            operands = " ".join(words[1:])
            allowed = (mnemonic in I386 or mnemonic in I387) and not NEW_REGISTERS.search(operands)
            # The one-byte nop only: the nop with an operand is the Pentium Pro's.
            if mnemonic == "nop" and operands:
                allowed = False
            if not allowed:
                problems.append(f"{address:#x}: {text}")
    print(f"{program}: {count} instructions checked")
    return problems


def main() -> int:
    objdump, programs = sys.argv[1], sys.argv[2:]
    failed = 0
    for program in programs:
        problems = check(objdump, program)
        for problem in problems[:40]:
            print(f"check_processor: {program}: {problem}")
        if len(problems) > 40:
            print(f"check_processor: {program}: {len(problems) - 40} more")
        failed |= 1 if problems else 0
    return failed


if __name__ == "__main__":
    sys.exit(main())
