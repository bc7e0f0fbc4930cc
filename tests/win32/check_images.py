#!/usr/bin/python3
"""Reads the shipped Windows images as files: what every image must carry, what our own
code may import and export, and what it may contain.

Every image: ASLR (DYNAMIC_BASE) with its relocations, DEP (NX_COMPAT), NO_SEH, and no
section both writable and executable; the installer, whose stub NSIS ships prebuilt,
as far as that stub allows (no relocations, no NO_SEH).
Our DLL and programs also: Windows XP SP3 as the oldest system they ask for, imports only
from Windows' Known DLLs and only functions the import table lists as there by XP SP3.
The DLL: exactly its three exports, under its size bound, and no floating-point or SIMD
instruction in the code that can run (values are handled as bits; the host's FPU is never
touched): the instructions reached from the entry point, the exports and every code
address the image holds, not the bytes of data that sit in the code section.
The programs: a manifest that runs them asInvoker, and the project's version.

    check_images.py --table windows_imports.tsv --version 60.1.1.10
                    [--dll X.DLL] [--exe Y.exe ...] [--other Z.exe ...] [--zip R.zip]
"""
import argparse
import re
import sys
import tempfile
import zipfile

import pefile

DLL_SIZE_LIMIT = 48 * 1024
DLL_EXPORTS = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer"}
# Windows' Known DLLs: always taken from the system folder, never from beside the image.
KNOWN_DLLS = {"kernel32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll", "user32.dll",
               "shell32.dll"}
# Oldest first; an import may be no later than XP SP3.
WINDOWS = ["2000", "XP", "XP SP2", "XP SP3", "Vista", "7", "8", "8.1", "10"]
OLDEST_SUPPORTED = WINDOWS.index("XP SP3")

# x87 mnemonics all begin with f (fld, fstp, fninit, fldcw...); SSE and MMX work on xmm/mm
# registers or the MXCSR.
FLOATING_POINT_MNEMONIC = re.compile(r"^(f[a-z0-9]+|ldmxcsr|stmxcsr|emms)$")
FLOATING_POINT_OPERAND = re.compile(r"\b(x?mm\d+|st\(\d\)|st)\b")

flags = pefile.DLL_CHARACTERISTICS


def read_table(path):
    table = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            dll, function, first = line.rstrip("\n").split("\t")
            table[(dll.lower(), function)] = first
    return table


def hardening_problems(pe, built_here=True):
    """built_here: False for an image whose code we do not link (the installer's prebuilt
    NSIS stub), which has no relocations and no NO_SEH flag to give; the rest holds."""
    problems = []
    characteristics = pe.OPTIONAL_HEADER.DllCharacteristics
    relocations = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    if not characteristics & flags["IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE"]:
        problems.append("no ASLR (DYNAMIC_BASE)")
    if built_here and (pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_RELOCS_STRIPPED"] or
                       relocations.Size == 0):
        problems.append("no relocations, so ASLR cannot move it")
    if not characteristics & flags["IMAGE_DLLCHARACTERISTICS_NX_COMPAT"]:
        problems.append("no DEP (NX_COMPAT)")
    if built_here and not characteristics & flags["IMAGE_DLLCHARACTERISTICS_NO_SEH"]:
        problems.append("neither a SafeSEH table nor NO_SEH")
    for section in pe.sections:
        c = section.Characteristics
        if c & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_WRITE"] and \
                c & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]:
            problems.append("section %s is writable and executable" % section.Name.rstrip(b"\0").decode())
    return problems


def windows_version_problems(pe):
    h = pe.OPTIONAL_HEADER
    problems = []
    for what, major, minor in (("subsystem", h.MajorSubsystemVersion, h.MinorSubsystemVersion),
                               ("operating system", h.MajorOperatingSystemVersion, h.MinorOperatingSystemVersion)):
        if (major, minor) > (5, 1):
            problems.append("asks for %s version %d.%d, later than Windows XP (5.1)" % (what, major, minor))
    return problems


def import_problems(pe, table):
    problems = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode()
        if dll.lower() not in KNOWN_DLLS:
            problems.append("imports from %s, which Windows would also take from beside the image "
                            "(not a Known DLL; load it by its full path)" % dll)
            continue
        for imported in entry.imports:
            name = imported.name.decode() if imported.name else "#%d" % imported.ordinal
            first = table.get((dll.lower(), name))
            if first is None:
                problems.append("imports %s!%s, which the import table does not list" % (dll, name))
            elif first not in WINDOWS:
                problems.append("the import table gives %s!%s an unknown Windows '%s'" % (dll, name, first))
            elif WINDOWS.index(first) > OLDEST_SUPPORTED:
                problems.append("imports %s!%s, which Windows has only from %s" % (dll, name, first))
    return problems


def export_problems(pe):
    exports = set()
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        exports = {e.name.decode() if e.name else "#%d" % e.ordinal for e in pe.DIRECTORY_ENTRY_EXPORT.symbols}
    if exports != DLL_EXPORTS:
        return ["exports %s instead of %s" % (sorted(exports), sorted(DLL_EXPORTS))]
    return []


def code_roots(pe):
    """Where code starts: the entry point, the exports, and every address of code that the
    image holds as data (function pointers, vtables, jump-table entries), which in a
    relocatable image each carry a relocation. An address that is itself relocated data (a
    jump table in the code section) is not code."""
    executable = pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]
    code = [(s.VirtualAddress, s.VirtualAddress + s.Misc_VirtualSize) for s in pe.sections
            if s.Characteristics & executable]
    in_code = lambda rva: any(start <= rva < end for start, end in code)  # noqa: E731
    relocated = set()
    for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", []):
        for entry in block.entries:
            if entry.type == pefile.RELOCATION_TYPE["IMAGE_REL_BASED_HIGHLOW"]:
                relocated.add(entry.rva)
    roots = {pe.OPTIONAL_HEADER.AddressOfEntryPoint}
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        roots |= {e.address for e in pe.DIRECTORY_ENTRY_EXPORT.symbols}
    for rva in relocated:
        target = pe.get_dword_at_rva(rva) - pe.OPTIONAL_HEADER.ImageBase
        if in_code(target) and target not in relocated:
            roots.add(target)
    return {r for r in roots if in_code(r)}, in_code


def reached_instructions(pe):
    """Every instruction control can reach from the roots: followed through direct jumps
    and calls, never into bytes only an indirect jump's table names."""
    import capstone
    disassembler = capstone.Cs(capstone.CS_ARCH_X86, capstone.CS_MODE_32)
    disassembler.detail = True
    image = pe.get_memory_mapped_image()
    roots, in_code = code_roots(pe)
    seen = set()
    work = sorted(roots)
    while work:
        rva = work.pop()
        while in_code(rva) and rva not in seen:
            instruction = next(disassembler.disasm(image[rva:rva + 16], rva), None)
            if instruction is None:
                break
            seen.add(rva)
            yield instruction
            groups = set(instruction.groups)
            branch = groups & {capstone.CS_GRP_JUMP, capstone.CS_GRP_CALL}
            if branch and instruction.operands and instruction.operands[0].type == capstone.x86.X86_OP_IMM:
                work.append(instruction.operands[0].imm)
            unconditional = instruction.mnemonic in ("jmp", "ljmp")
            if unconditional or groups & {capstone.CS_GRP_RET, capstone.CS_GRP_IRET, capstone.CS_GRP_INT} and \
                    instruction.mnemonic != "int":
                break
            rva += instruction.size


def floating_point_problems(pe):
    found = ["%08x: %s %s" % (pe.OPTIONAL_HEADER.ImageBase + i.address, i.mnemonic, i.op_str)
             for i in reached_instructions(pe)
             if FLOATING_POINT_MNEMONIC.match(i.mnemonic) or FLOATING_POINT_OPERAND.search(i.op_str)]
    return ["floating-point or SIMD instruction: %s" % line for line in sorted(found)[:10]]


def resource_data(pe, type_id):
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return None
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == type_id:
            for name in kind.directory.entries:
                for language in name.directory.entries:
                    d = language.data.struct
                    return pe.get_data(d.OffsetToData, d.Size)
    return None


def program_problems(pe, version):
    problems = []
    manifest = resource_data(pe, pefile.RESOURCE_TYPE["RT_MANIFEST"])
    if manifest is None:
        problems.append("no application manifest")
    elif b'level="asInvoker"' not in manifest:
        problems.append("the manifest does not run it asInvoker")
    file_version = None
    for info in getattr(pe, "FileInfo", None) or []:
        for block in info:
            for table in getattr(block, "StringTable", []):
                file_version = table.entries.get(b"FileVersion", file_version)
    if file_version is None:
        problems.append("no version resource")
    elif file_version.decode() != version:
        problems.append("version %s, not the project's %s" % (file_version.decode(), version))
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--table", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--dll", action="append", default=[])
    parser.add_argument("--exe", action="append", default=[])
    parser.add_argument("--other", action="append", default=[], help="images we do not link (installer)")
    parser.add_argument("--zip", help="a release zip: its MERUVIA.DLL and its programs")
    args = parser.parse_args()
    table = read_table(args.table)
    if args.zip:
        unpacked = tempfile.mkdtemp()
        with zipfile.ZipFile(args.zip) as z:
            for name in z.namelist():
                if name.endswith("MERUVIA.DLL"):
                    args.dll.append(z.extract(name, unpacked))
                elif name.endswith("meruvia-host.exe") or name.endswith("meruvia-display.exe"):
                    args.exe.append(z.extract(name, unpacked))
        if not args.dll or not args.exe:
            print("%s: holds no MERUVIA.DLL or no program" % args.zip)
            return 1

    failed = False
    for kind, paths in (("dll", args.dll), ("exe", args.exe), ("other", args.other)):
        for path in paths:
            pe = pefile.PE(path)
            problems = hardening_problems(pe, built_here=kind != "other")
            if kind != "other":
                problems += windows_version_problems(pe) + import_problems(pe, table)
            if kind == "dll":
                problems += export_problems(pe) + floating_point_problems(pe)
                size = len(pe.__data__)
                if size >= DLL_SIZE_LIMIT:
                    problems.append("%d bytes, over its bound of %d" % (size, DLL_SIZE_LIMIT))
            if kind == "exe":
                problems += program_problems(pe, args.version)
            print("%s: %s" % (path, "; ".join(problems) if problems else "ok"))
            failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
