#!/usr/bin/python3
"""The image check against images it must refuse: the built DLL and tool, each with one
fault put in (no DEP, no ASLR, an import the table dates later than Windows XP SP3, an
import the table does not list), must fail it, each for its own reason. And its search for
floating-point code against two small DLLs: data in the code section that reads as an x87
instruction passes, an x87 instruction reached only through a jump table does not.

    check_images_test.py <check_images.py> <windows_imports.tsv> <MERUVIA.DLL> <meruvia-host.exe> <version>
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import pefile

CHECK, TABLE, DLL, EXE, VERSION = sys.argv[1:6]
del sys.argv[1:6]
sys.path.insert(0, os.path.dirname(os.path.abspath(CHECK)))
import check_images  # noqa: E402

# A DLL whose entry point jumps through a table in the code section. After the table, bytes
# that decode as "fsubrl 0x0" and that nothing reaches; the second case's code is @CASE1@.
SWITCH_DLL = """
    .text
    .globl _DllMain@12
_DllMain@12:
    movl 8(%esp), %eax
    cmpl $1, %eax
    ja done
    jmp *table(,%eax,4)
table:
    .long case0, case1
    .byte 0xdc, 0x2d, 0, 0, 0, 0
case1:
    @CASE1@
case0:
done:
    movl $1, %eax
    ret $12
"""


def first_import(path):
    pe = pefile.PE(path)
    entry = pe.DIRECTORY_ENTRY_IMPORT[0]
    return entry.dll.decode().lower(), entry.imports[0].name.decode()


class RefusedImages(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)

    def check(self, table=TABLE, dll=DLL, exe=EXE):
        return subprocess.run([sys.executable, CHECK, "--table", table, "--version", VERSION, "--dll", dll,
                               "--exe", exe], capture_output=True, text=True)

    def with_flags(self, path, clear):
        pe = pefile.PE(path)
        pe.OPTIONAL_HEADER.DllCharacteristics &= ~clear
        out = os.path.join(self.folder, os.path.basename(path))
        pe.write(out)
        return out

    def with_table(self, change):
        out = tempfile.mkstemp(suffix=".tsv", dir=self.folder)[1]
        with open(TABLE, encoding="utf-8") as f, open(out, "w", encoding="utf-8") as g:
            for line in f:
                g.write(change(line))
        return out

    def test_the_built_images_pass(self):
        result = self.check()
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)

    def test_each_fault_fails_for_its_reason(self):
        dll, function = first_import(DLL)

        def dated(first):
            """The table with the DLL's first import dated first, or left out (None)."""
            def change(line):
                fields = line.rstrip("\n").split("\t")
                if len(fields) == 3 and (fields[0].lower(), fields[1]) == (dll, function):
                    return "" if first is None else "\t".join(fields[:2] + [first]) + "\n"
                return line
            return self.with_table(change)

        nx = pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_NX_COMPAT"]
        aslr = pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE"]
        cases = [
            ("no DEP in the DLL", dict(dll=self.with_flags(DLL, nx)), "no DEP (NX_COMPAT)"),
            ("no ASLR in the tool", dict(exe=self.with_flags(EXE, aslr)), "no ASLR (DYNAMIC_BASE)"),
            ("an import from Vista on", dict(table=dated("Vista")), "which Windows has only from Vista"),
            ("an import the table does not list", dict(table=dated(None)), "which the import table does not list"),
        ]
        for name, images, reason in cases:
            with self.subTest(name):
                result = self.check(**images)
                self.assertEqual(1, result.returncode, result.stdout)
                self.assertIn(reason, result.stdout)


class FloatingPointCode(unittest.TestCase):
    def build(self, case1):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        source = os.path.join(folder, "switch.S")
        with open(source, "w") as f:
            f.write(SWITCH_DLL.replace("@CASE1@", case1))
        dll = os.path.join(folder, "switch.dll")
        subprocess.run(["i686-w64-mingw32-gcc", "-nostdlib", "-shared", "-Wl,-e,_DllMain@12", "-Wl,--dynamicbase",
                        "-o", dll, source], check=True)
        return pefile.PE(dll)

    def test_data_in_the_code_section_is_not_code(self):
        self.assertEqual([], check_images.floating_point_problems(self.build("nop")))

    def test_code_reached_through_a_jump_table_is_judged(self):
        problems = check_images.floating_point_problems(self.build("fld1\n    fstp %st(0)"))
        self.assertEqual(2, len(problems), problems)
        self.assertIn("fld1", problems[0])


if __name__ == "__main__":
    unittest.main(verbosity=2)
