#!/usr/bin/env python3
"""What a field engineer has when the display stays dark, through the real parts: the
installed driver in Wine's registry, meruvia-host's --doctor, --unregister and --lamp-test,
its two languages, the driver's trace, and registration from folders a Chinese Windows
makes hard (a name outside code page 936, a path longer than 259 bytes in it, one longer
than 260 characters).

    field_tools_over_pty.py <meruvia-host.exe> <meruvia-display> <driver_probe.exe>
                            <wine-run.sh> <wine prefix> <scratch folder>
"""
import fcntl
import os
import pty
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
import unittest

HOST, DISPLAY, PROBE, WINE_RUN, PREFIX, SCRATCH = sys.argv[1:7]
del sys.argv[1:7]
# A test run may point the suite at another prefix (the 64-bit one) through the runner's variable.
PREFIX = os.environ.get("MERUVIA_WINEPREFIX") or PREFIX
# Runs in other prefixes may go on at the same time: each has a scratch folder of its own.
SCRATCH = os.path.join(SCRATCH, "scratch-" + os.path.basename(PREFIX))
os.makedirs(SCRATCH, exist_ok=True)
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_line import Line, chinese_locale_env, display_on_com, map_com  # noqa: E402
from display_simulator import LAMP_READINGS  # noqa: E402

DLL = os.path.join(os.path.dirname(HOST), "MERUVIA.DLL")
WINDOWS_DISPLAY = os.path.join(os.path.dirname(HOST), "meruvia-display.exe")
VERSION = os.environ["MERUVIA_VERSION"]  # the project's, as the build was given it
CLSID = "{93447081-C721-4469-8B89-46F355783C14}"
TRACE_FILE_LIMIT = 16 * 1024 * 1024
DROPPED_NOTE = re.compile(r" \[(\d+) trace lines before this one dropped: another process held the file\]$")
TRACE_LINE = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} pid \d+ object [0-9A-Fa-f]+ \S")


# Whether a program run since the build's driver was last registered may have changed its
# registration: only then does the next test register it again (regsvr32 costs seconds).
REGISTRATION = {"changed": True}


def changes_registration(args):
    program = os.path.basename(str(args[0])).lower()
    return (program.startswith("regsvr32") or "--register" in args or "--unregister" in args or
            (program == "reg" and len(args) > 1 and args[1].lower() in ("add", "delete", "import", "restore")))


def wine(*args, env=None, cwd=None, stdin=None, timeout=120):
    """Runs a program; its output as bytes (raw_stdout, raw_stderr) and as text read as
    UTF-8 (what --utf8 writes; plain English reads the same in any code page)."""
    if changes_registration(args):
        REGISTRATION["changed"] = True
    run_env = dict(env if env is not None else os.environ)
    run_env["MERUVIA_WINEPREFIX"] = PREFIX
    result = subprocess.run([WINE_RUN, *args], input=None if stdin is None else stdin.encode(),
                            capture_output=True, env=run_env, cwd=cwd, timeout=timeout)
    result.raw_stdout, result.raw_stderr = result.stdout, result.stderr
    result.stdout = result.raw_stdout.decode("utf-8", "replace")
    result.stderr = result.raw_stderr.decode("utf-8", "replace")
    return result


def host(*args, **kw):
    return wine(HOST, *args, **kw)


def env_with(**extra):
    env = {k: v for k, v in os.environ.items() if k != "MERUVIA_TRACE"}
    env.update(extra)
    return env


def windows_path(linux_path):
    """The path as Windows programs in the prefix name it: on C: inside its drive_c,
    otherwise on Z:, Wine's drive for the whole Linux file system."""
    path = os.path.abspath(linux_path)
    drive_c = os.path.join(PREFIX, "drive_c")
    if os.path.commonpath([path, drive_c]) == drive_c:
        return "C:\\" + os.path.relpath(path, drive_c).replace("/", "\\")
    return "Z:" + path.replace("/", "\\")


def reg(*args):
    """reg.exe on the registry view a 32-bit host reads (on 64-bit Windows reg.exe itself is
    a 64-bit program)."""
    if not any(a.startswith("/reg:") for a in args):
        args += ("/reg:32",)
    return wine("reg", *args)


class Case(unittest.TestCase):
    @classmethod
    def tearDownClass(cls):
        # Whoever comes next finds the build's own driver registered.
        wine("regsvr32", "/s", windows_path(DLL))

    def setUp(self):
        self.cleanups = []
        if REGISTRATION["changed"]:
            registered = wine("regsvr32", "/s", windows_path(DLL))
            self.assertEqual(0, registered.returncode, registered.stderr)
            REGISTRATION["changed"] = False

    def tearDown(self):
        for cleanup in reversed(self.cleanups):
            cleanup()

    def line(self, com):
        line = Line(PREFIX, com)
        self.cleanups.append(line.close)
        return line

    def display(self, com, frames):
        display = display_on_com(DISPLAY, PREFIX, com, frames)
        self.cleanups.append(display.kill)
        return display

    def mapped(self, com, target):
        link = map_com(PREFIX, com, target)
        self.cleanups.append(lambda: os.path.lexists(link) and os.unlink(link))

    def scratch(self):
        folder = tempfile.mkdtemp(dir=SCRATCH)
        self.cleanups.append(lambda: shutil.rmtree(folder, ignore_errors=True))
        return folder


class Doctor(Case):
    def test_healthy_install_and_a_port_that_opens(self):
        self.line("COM40")
        result = host("--doctor", "--lang", "en", "--port", "COM40", "--baud", "19200", "--parity", "even")
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        out = result.stdout
        self.assertIn("OK      the ProgID MERUVIA.MeruviaPro is registered for 32-bit programs", out)
        self.assertIn("OK      the class maps back to the ProgID", out)
        # A build folder whose name is no 8.3 name is registered by its short name, shown
        # in brackets after the long one.
        self.assertRegex(out, r"OK      the driver file is .*MERUVIA\.DLL( \[.*MERUVIA\.DLL\])?, version " +
                         re.escape(VERSION))
        self.assertIn("OK      the driver can be created", out)
        self.assertRegex(out, r"serial ports on this PC: .*COM40")
        self.assertIn("OK      COM40 opens at 19200 8E1", out)
        self.assertIn("all checks passed", out)

    def test_removed_registration(self):
        removed = host("--unregister", "--lang", "en")
        self.assertEqual(0, removed.returncode, removed.stderr)
        self.assertIn("5 registry keys of the driver removed", removed.stdout)
        for key in ["HKCR\\MERUVIA.MeruviaPro", "HKCR\\CLSID\\" + CLSID]:
            self.assertNotEqual(0, reg("query", key).returncode, key + " is gone")

        result = host("--doctor", "--lang", "en")
        self.assertEqual(3, result.returncode, "a registration problem is status 3")
        self.assertIn("PROBLEM the ProgID MERUVIA.MeruviaPro is not registered where a 32-bit host looks",
                      result.stdout)
        self.assertIn("PROBLEM the class {93447081-C721-4469-8B89-46F355783C14} is not registered", result.stdout)
        self.assertIn("PROBLEM the driver cannot be created", result.stdout)
        self.assertIn("3 problem(s) found", result.stdout)

        again = host("--unregister", "--lang", "en")
        self.assertEqual(0, again.returncode)
        self.assertIn("nothing to remove", again.stdout)

    def test_registered_file_that_was_deleted(self):
        folder = self.scratch()
        copy = os.path.join(folder, "MERUVIA.DLL")
        shutil.copy(DLL, copy)
        self.assertEqual(0, wine("regsvr32", "/s", windows_path(copy)).returncode)
        os.unlink(copy)
        result = host("--doctor", "--lang", "en")
        self.assertEqual(3, result.returncode)
        self.assertRegex(result.stdout, r"PROBLEM the registered driver file .* does not exist")

    # A driver file of another version, and a port that is not there: both are reported,
    # and the status is that of the first problem found.
    def test_other_version_and_a_missing_port(self):
        folder = self.scratch()
        copy = os.path.join(folder, "MERUVIA.DLL")
        with open(DLL, "rb") as f:
            image = bytearray(f.read())
        fixed = image.find(struct.pack("<I", 0xFEEF04BD))  # the version resource's fixed part
        self.assertGreater(fixed, 0)
        struct.pack_into("<II", image, fixed + 8, 0x00070008, 0x00090006)
        with open(copy, "wb") as f:
            f.write(image)
        self.assertEqual(0, wine("regsvr32", "/s", windows_path(copy)).returncode)
        result = host("--doctor", "--lang", "en", "--port", "COM39")
        self.assertRegex(result.stdout, r"PROBLEM the registered file .*MERUVIA\.DLL( \[.*\])? is not MERUVIA\.DLL " +
                         re.escape(VERSION) + r" \(version 7\.8\.9\.6\)")
        self.assertIn("PROBLEM COM39 does not exist on this PC", result.stdout)
        self.assertEqual(3, result.returncode, "the registration problem came first")

    def test_keys_only_in_the_64_bit_view(self):
        if not os.path.isdir(os.path.join(PREFIX, "drive_c", "windows", "syswow64")):
            self.skipTest("32-bit Windows has one registry view")
        class_key = "HKLM\\Software\\Classes\\CLSID\\" + CLSID
        self.assertEqual(0, reg("query", class_key, "/reg:32").returncode, "regsvr32 writes the 32-bit view")
        self.assertNotEqual(0, reg("query", class_key, "/reg:64").returncode, "and no class key in the 64-bit view")

        # As a 64-bit tool would have registered it: the class only where 64-bit programs look.
        self.assertEqual(0, host("--unregister").returncode)
        self.assertEqual(0, reg("add", "HKCR\\MERUVIA.MeruviaPro\\CLSID", "/ve", "/d", CLSID, "/f").returncode)
        for sub, value in [("ProgID", "MERUVIA.MeruviaPro"), ("InProcServer32", windows_path(DLL))]:
            self.assertEqual(0, reg("add", class_key + "\\" + sub, "/ve", "/d", value, "/f", "/reg:64").returncode)
        self.cleanups.append(lambda: reg("delete", class_key, "/f", "/reg:64"))
        self.cleanups.append(lambda: reg("delete", "HKCR\\MERUVIA.MeruviaPro", "/f"))
        result = host("--doctor", "--lang", "en")
        self.assertEqual(3, result.returncode, result.stdout)
        self.assertIn("PROBLEM the class {93447081-C721-4469-8B89-46F355783C14} is not registered where a "
                      "32-bit host looks", result.stdout)
        self.assertIn("WARNING the driver is registered for 64-bit programs only", result.stdout)
        self.assertIn("PROBLEM the driver cannot be created", result.stdout)

    def test_component_errors_are_named(self):
        # The ProgID is there, its class is not: what a half-removed registration leaves.
        self.assertEqual(0, reg("delete", "HKCR\\CLSID\\" + CLSID, "/f").returncode)
        result = host("--doctor", "--lang", "en")
        self.assertEqual(3, result.returncode, result.stdout)
        self.assertIn("PROBLEM the driver cannot be created: class not registered (0x80040154)", result.stdout)
        zh = host("--doctor", "--lang", "zh", "--utf8")
        self.assertIn("无法创建驱动：类没有注册 (0x80040154)", zh.stdout)

    def test_registered_by_its_short_name(self):
        """regsvr32 given an 8.3 short name writes that name; the doctor shows the folder
        the engineer chose, and the registered text beside it."""
        folder = os.path.join(self.scratch(), "Meruvia display driver")
        os.makedirs(folder)
        shutil.copy(DLL, os.path.join(folder, "MERUVIA.DLL"))
        long_name = windows_path(os.path.join(folder, "MERUVIA.DLL"))
        batch = os.path.join(self.scratch(), "short.cmd")
        with open(batch, "w") as f:  # in a batch file, where cmd reads the quotes as written
            f.write('@for %%%%I in ("%s") do @echo %%%%~sI\r\n' % long_name)
        short = wine("cmd", "/c", windows_path(batch)).stdout.strip()
        self.assertNotEqual(long_name.lower(), short.lower())
        self.assertIn("~", short)
        self.assertEqual(0, wine("regsvr32", "/s", short).returncode)
        result = host("--doctor", "--lang", "en")
        self.assertEqual(0, result.returncode, result.stdout)
        self.assertIn("OK      the driver file is %s [%s], version %s" % (long_name, short, VERSION), result.stdout)

    def test_missing_and_refusing_ports(self):
        missing = host("--doctor", "--lang", "en", "--port", "COM41")
        self.assertEqual(4, missing.returncode, "a port problem is status 4")
        self.assertIn("PROBLEM COM41 does not exist on this PC", missing.stdout)
        self.assertIn("OK      the driver can be created", missing.stdout)

        # A device that refuses to be opened, as a port held by another program does.
        self.mapped("COM42", "/sys/kernel/notes")
        busy = host("--doctor", "--lang", "en", "--port", "COM42")
        self.assertEqual(4, busy.returncode)
        self.assertIn("PROBLEM COM42 is in use by another program (access denied)", busy.stdout)
        self.assertRegex(busy.stdout, r"serial ports on this PC: .*COM42 \(in use\)")


class Unregister(Case):
    def test_leaves_what_belongs_to_others(self):
        other = "{00000000-1111-2222-3333-444444444444}"
        self.assertEqual(0, reg("add", "HKCR\\MERUVIA.MeruviaPro\\CLSID", "/ve", "/d", other, "/f").returncode)
        self.assertEqual(0, reg("add", "HKCR\\CLSID\\" + CLSID + "\\Extra", "/f").returncode)
        self.cleanups.append(lambda: reg("delete", "HKCR\\CLSID\\" + CLSID, "/f"))
        self.cleanups.append(lambda: reg("delete", "HKCR\\MERUVIA.MeruviaPro", "/f"))

        result = host("--unregister", "--lang", "en")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn("left MERUVIA.MeruviaPro\\CLSID alone: it belongs to another component", result.stderr)
        self.assertIn("2 registry keys of the driver removed", result.stdout)
        self.assertEqual(0, reg("query", "HKCR\\MERUVIA.MeruviaPro\\CLSID").returncode)
        self.assertEqual(0, reg("query", "HKCR\\CLSID\\" + CLSID + "\\Extra").returncode)
        for gone in ["ProgID", "InProcServer32"]:
            self.assertNotEqual(0, reg("query", "HKCR\\CLSID\\" + CLSID + "\\" + gone).returncode, gone)


    def test_another_copys_registration_is_left_whole(self):
        # regsvr32 C:\Other\MERUVIA.DLL: that copy is the registered one now.
        other = os.path.join(self.scratch(), "MERUVIA.DLL")
        shutil.copy(DLL, other)
        self.assertEqual(0, wine("regsvr32", "/s", windows_path(other)).returncode)
        result = host("--unregister", "--lang", "en")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn("left the registration alone: it is another copy's", result.stderr)
        self.assertEqual(0, reg("query", "HKCR\\MERUVIA.MeruviaPro\\CLSID").returncode, "the ProgID stays")
        self.assertIn("OK      the driver can be created", host("--doctor", "--lang", "en").stdout)
        # That copy's own tool removes it.
        removed = host("--unregister", "--dll", windows_path(other), "--lang", "en")
        self.assertEqual(0, removed.returncode, removed.stderr)
        self.assertIn("5 registry keys of the driver removed", removed.stdout)

    def test_the_class_id_in_any_letter_case_is_the_drivers(self):
        # Another tool (or a hand-made .reg file) wrote the class id in small letters.
        self.assertEqual(0, reg("add", "HKCR\\MERUVIA.MeruviaPro\\CLSID", "/ve", "/d", CLSID.lower(), "/f").returncode)
        result = host("--unregister", "--lang", "en")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertNotIn("belongs to another component", result.stderr)
        self.assertNotEqual(0, reg("query", "HKCR\\MERUVIA.MeruviaPro").returncode, "the ProgID is gone")


class LampTest(Case):
    def test_every_segment_every_digit_then_dashes(self):
        display = self.display("COM43", frames=len(LAMP_READINGS))
        result = host("--lamp-test", "--interval", "0", "--port", "COM43", "--baud", "19200", "--lang", "en")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn("lamp test 1/13: display should read 888.888", result.stdout)
        self.assertIn("lamp test 13/13: display should read ---.---", result.stdout)
        self.assertEqual(LAMP_READINGS, display.readings())

    def test_interval_is_kept(self):
        display = self.display("COM44", frames=len(LAMP_READINGS))
        result = host("--lamp-test", "--interval", "100", "--port", "COM44")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(LAMP_READINGS, display.readings())
        bad = host("--lamp-test", "--interval", "soon", "--lang", "en")
        self.assertEqual(1, bad.returncode)
        self.assertIn("'soon' is not a valid value for --interval", bad.stderr)


class Languages(Case):
    def test_chosen_and_from_the_system(self):
        zh = host("--doctor", "--lang", "zh", "--utf8")
        self.assertEqual(0, zh.returncode)
        self.assertIn("正常  驱动可以创建", zh.stdout)
        self.assertIn("全部检查通过", zh.stdout)
        for name in ["zh", "zh-CN", "cn", "ZH-cn"]:
            self.assertIn("用法：meruvia-host", host("--help", "--lang", name, "--utf8").stdout, name)
        for name in ["en", "en-US", "EN"]:
            self.assertIn("usage: meruvia-host", host("--help", "--lang", name).stdout, name)

        system_zh = host("--help", "--utf8", env=chinese_locale_env(SCRATCH))
        self.assertIn("用法：meruvia-host", system_zh.stdout, "a Chinese Windows gets Chinese")
        self.assertIn("usage: meruvia-host", host("--help", "--lang", "en", env=chinese_locale_env(SCRATCH)).stdout)

        refused = host("--register-text", "X", "--lang", "zh", "--utf8", "1")
        self.assertEqual(2, refused.returncode)
        self.assertIn("标签“X”（数据类型 0x0080）被拒绝：寄存器名字错误!\r\n", refused.stderr,
                      "the driver's own text, nothing after it in Chinese")
        missing = host("--port", "COM45", "--lang", "zh", "--utf8", "1")
        self.assertEqual(4, missing.returncode)
        self.assertIn("无法打开 COM45（9600 8N1）", missing.stderr)

        unknown = host("--lang", "fr", "--doctor")
        self.assertEqual(1, unknown.returncode)
        self.assertIn("language 'fr' is not zh (zh-CN, cn) or en (en-US)", unknown.stderr)

    def test_redirected_output_in_the_consoles_code_page(self):
        """What `meruvia-host --doctor > file` leaves on a Chinese Windows: code page 936,
        which type, more and Notepad read there; --utf8 for scripts."""
        env = chinese_locale_env(SCRATCH)
        doctor = host("--doctor", env=env)
        self.assertEqual(0, doctor.returncode, doctor.raw_stdout)
        expected = "正常  驱动可以创建\r\n".encode("cp936")
        self.assertIn(expected, doctor.raw_stdout)
        self.assertIn("全部检查通过\r\n".encode("cp936"), doctor.raw_stdout)
        doctor.raw_stdout.decode("cp936")  # all of it
        self.assertNotIn("全部检查通过".encode("utf-8"), doctor.raw_stdout)
        refused = host("--register-text", "X", "1", env=env)
        self.assertIn("标签“X”（数据类型 0x0080）被拒绝：寄存器名字错误!".encode("cp936"), refused.raw_stderr)

        utf8 = host("--doctor", "--utf8", env=env)
        self.assertIn("正常  驱动可以创建\r\n".encode("utf-8"), utf8.raw_stdout)

    def test_english_means_english(self):
        """A Chinese Windows, the tool asked for English: the driver's refusal is shown as
        the driver gave it and then in English; the system's words come in English."""
        env = chinese_locale_env(SCRATCH)
        cases = [
            (["--register-text", "X"], "寄存器名字错误! (register name wrong)"),
            (["--register-text", "X", "--data-type", "0x0001"], "寄存器名字错误! (register name wrong)"),
            (["--register-text", "N", "--data-type", "0x0001"],
             "数据类型不对，请参考Readme文件! (wrong data type for this register, see the Readme)"),
            (["--device", "256"], "地址范围越界! (device address out of range)"),
        ]
        for args, shown in cases:
            with self.subTest(args=args):
                refused = host(*args, "--lang", "en", "--utf8", "1", env=env)
                self.assertEqual(2, refused.returncode, refused.stderr)
                self.assertIn(shown, refused.stderr)

        not_a_dll = os.path.join(self.scratch(), "notes.dll")
        with open(not_a_dll, "w") as f:
            f.write("not a program\n")
        refused = host("--register", "--dll", windows_path(not_a_dll), "--lang", "en", "--utf8", env=env)
        self.assertEqual(3, refused.returncode)
        reason = refused.stderr.split("cannot load", 1)[1]
        self.assertRegex(reason, r"[A-Za-z]{4,}.* \(\d+\)")
        self.assertFalse(re.search(r"[\u3000-\u9fff]", reason), "no Chinese in an English message: " + reason)

        missing = host("--register", "--dll", windows_path(os.path.join(self.scratch(), "gone.dll")), "--lang", "en",
                       env=env)
        self.assertEqual(3, missing.returncode)
        self.assertIn("the module could not be found (126)", missing.stderr)


class CommandsEnd(Case):
    """Each command does its job and ends, even with its input left open (a console, or
    the installer's pipe); values go to a port only when values, --lamp-test or
    --interactive are given."""

    def run_with_open_input(self, *args):
        folder = self.scratch()
        with open(folder + "/out", "wb") as out, open(folder + "/err", "wb") as err:
            program = subprocess.Popen([WINE_RUN, HOST, *args], stdin=subprocess.PIPE, stdout=out, stderr=err,
                                       env=dict(os.environ, MERUVIA_WINEPREFIX=PREFIX))
        try:
            program.wait(timeout=90)
        except subprocess.TimeoutExpired:
            program.kill()
            self.fail("%s did not end while its input stayed open" % " ".join(args))
        finally:
            program.stdin.close()
        with open(folder + "/out", "rb") as out, open(folder + "/err", "rb") as err:
            return program.returncode, out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace")

    def test_commands_end_with_their_input_open(self):
        line = self.line("COM1")  # where a stray open would land
        cases = [
            (["--register", "--lang", "en"], 0, "registered "),
            (["--doctor", "--lang", "en"], 0, "all checks passed"),
            (["--help", "--lang", "en"], 0, "usage: meruvia-host"),
            (["--version"], 0, "meruvia-host " + VERSION),
            (["--unregister", "--lang", "en"], 0, "registry keys of the driver removed"),
        ]
        for args, status, said in cases:
            with self.subTest(args=args):
                REGISTRATION["changed"] = True
                code, out, err = self.run_with_open_input(*args)
                self.assertEqual(status, code, out + err)
                self.assertIn(said, out)
                self.assertNotIn("opened COM1", out)
                self.assertEqual(b"", line.read(1, timeout=0.2), "nothing sent to COM1")

    def test_no_values_no_port(self):
        self.line("COM46")
        result = host("--port", "COM46", "--lang", "en", stdin="1.5\n")
        self.assertEqual(1, result.returncode)
        self.assertIn("nothing to send: give the values, --lamp-test or --interactive", result.stderr)
        self.assertNotIn("opened", result.stdout)

    def test_typed_values_until_quit(self):
        for word in ["q", "quit", "EXIT"]:
            with self.subTest(word=word):
                display = self.display("COM55", frames=1)
                result = host("--port", "55", "--interactive", "--lang", "en", stdin="1.5\n\n%s\n2.5\n" % word)
                self.assertEqual(0, result.returncode, result.stderr)
                self.assertIn("opened COM55 at 9600 8N1", result.stdout, "--port 55 is COM55")
                self.assertIn("sent 1.5", result.stdout)
                self.assertNotIn("sent 2.5", result.stdout)
                self.assertEqual(["001.500"], display.readings())

    def test_numbers_are_decimal_and_checked(self):
        cases = [
            (["--lamp-test", "--interval", "0x10"], "'0x10' is not a valid value for --interval"),
            (["--lamp-test", "--interval", "3600001"], "a whole number from 0 to 3600000"),
            (["--data-type", "65536", "1"], "'65536' is not a valid value for --data-type"),
            (["--baud", "12.5", "1"], "'12.5' is not a valid value for --baud"),
            (["--port", "", "1"], "'' is not a valid value for --port"),
        ]
        for args, said in cases:
            with self.subTest(args=args):
                result = host(*args, "--lang", "en")
                self.assertEqual(1, result.returncode, result.stderr)
                self.assertIn(said, result.stderr)
        # "010" is ten milliseconds, not eight: accepted as decimal.
        display = self.display("COM58", frames=len(LAMP_READINGS))
        result = host("--lamp-test", "--interval", "010", "--port", "COM58")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(LAMP_READINGS, display.readings())


class DoubleClick(Case):
    """A console of its own, as a double-click on Windows gives one: under Wine, a program
    started from a Linux terminal gets a console that no other Windows program shares. From
    a prompt (cmd, which shares its console) the tool must not wait."""

    def in_a_terminal(self, *args, until):
        """Runs the program on a pseudo-terminal; once `until` shows, checks that it is still
        running, presses a key, and gives its exit status and what the terminal showed."""
        pid, fd = pty.fork()
        if pid == 0:
            os.execvpe(WINE_RUN, [WINE_RUN, *args], dict(os.environ, MERUVIA_WINEPREFIX=PREFIX, TERM="xterm"))
        self.cleanups.append(lambda: os.close(fd))
        fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 200, 0, 0))
        shown, waited, status = b"", None, None
        deadline = time.monotonic() + 300
        while status is None and time.monotonic() < deadline:
            if select.select([fd], [], [], 0.5)[0]:
                try:
                    shown += os.read(fd, 4096)
                except OSError:  # the program's side has closed
                    pass
            ended, code = os.waitpid(pid, os.WNOHANG)
            if ended:
                status = os.waitstatus_to_exitcode(code)
            elif waited is None and until.encode() in shown:
                time.sleep(2)
                waited = os.waitpid(pid, os.WNOHANG)[0] == 0
                os.write(fd, b"x")
        if status is None:
            os.kill(pid, 9)
            self.fail("%s did not end; it showed: %r" % (" ".join(args), shown))
        text = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", shown.decode("utf-8", "replace")).replace("\r", "")
        return status, waited, text

    def test_says_what_it_is_checks_and_waits_for_a_key(self):
        status, waited, shown = self.in_a_terminal(HOST, until="Press any key")
        self.assertTrue(waited, "it waited for a key: " + shown)
        self.assertEqual(0, status, shown)
        self.assertIn("meruvia-host %s: tries the MERUVIA display driver" % VERSION, shown)
        self.assertIn("OK      the driver can be created", shown)
        self.assertIn("all checks passed", shown)
        self.assertIn("Press any key to close this window.", shown)

    def test_from_a_prompt_it_does_not_wait(self):
        status, waited, shown = self.in_a_terminal("cmd", "/c", windows_path(HOST), until="Press any key")
        self.assertIsNone(waited, "never asked for a key: " + shown)
        self.assertEqual(0, status, shown)
        self.assertIn("usage: meruvia-host", shown)


class WindowsDisplaySimulator(Case):
    """meruvia-display.exe on COM72 shows what meruvia-host sends on COM71, the two ports
    joined by a null-modem pair of pseudo-terminals, as an engineer commissions a host
    project without the display."""

    def null_modem(self, a, b):
        """COMa and COMb joined as by a null-modem cable: each is a pseudo-terminal, and
        what one end's program writes the other end's program reads."""
        ends = [self.line(a), self.line(b)]
        stop = threading.Event()

        def relay():
            while not stop.is_set():
                for source, sink in [(ends[0], ends[1]), (ends[1], ends[0])]:
                    if select.select([source.master], [], [], 0.05)[0]:
                        try:
                            os.write(sink.master, os.read(source.master, 4096))
                        except OSError:
                            pass

        thread = threading.Thread(target=relay, daemon=True)
        thread.start()
        self.cleanups.append(lambda: (stop.set(), thread.join()))

    def simulator(self, *args):
        """The simulator started; its output (in a file, read whole at its end) comes from
        output() once it has ended."""
        folder = self.scratch()
        out_path, err_path = os.path.join(folder, "out"), os.path.join(folder, "err")
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            program = subprocess.Popen([WINE_RUN, WINDOWS_DISPLAY, *args], stdout=out, stderr=err,
                                       env=dict(os.environ, MERUVIA_WINEPREFIX=PREFIX))
        self.cleanups.append(lambda: program.poll() is None and program.kill())

        def output(timeout=600):
            program.wait(timeout=timeout)
            with open(out_path, "rb") as out, open(err_path, "rb") as err:
                return out.read(), err.read()

        deadline = time.monotonic() + 300
        while b"\n" not in open(out_path, "rb").read() and program.poll() is None and time.monotonic() < deadline:
            time.sleep(0.1)
        first = open(out_path, "rb").read().split(b"\n")[0].decode()
        self.assertTrue(first.startswith("listening on "), first + open(err_path, "rb").read().decode())
        return program, first, output

    def test_the_host_tool_to_the_simulator(self):
        self.null_modem("COM71", "COM72")
        # The time-out is only a net: a program start in the test machine can take a minute.
        display, first, output = self.simulator("--device", "72", "--baud", "19200", "--log", "--frames", "3",
                                                "--timeout", "600")
        self.assertEqual("listening on COM72 at 19200 8N1", first.strip())
        sent = host("--port", "COM71", "--baud", "19200", "1.5", "-12.5", "nan")
        self.assertEqual(0, sent.returncode, sent.stderr)
        out, err = output()
        self.assertEqual(0, display.returncode, err)
        self.assertEqual(["001.500", "-12.500", "---.---"], re.findall(r"reading (\S+)", out.decode()))

    def test_draws_the_reading_as_the_display_shows_it(self):
        self.null_modem("COM73", "COM74")
        _, first, output = self.simulator("--device", "COM74", "--frames", "1", "--timeout", "600")
        self.assertEqual(0, host("--port", "COM73", "123.456").returncode)
        out = output()[0].split(b"\n", 1)[1]
        drawn = subprocess.run([DISPLAY, "--device", "-", "--frames", "1"], input=b"=654.321",
                               capture_output=True, timeout=30).stdout
        self.assertEqual(drawn.replace(b"\n", b"\r\n"), out, "the same digits as the Linux simulator draws")

    def test_options_and_faults(self):
        cases = [
            (["--frames", "2.5", "--device", "COM61"], 1, "'2.5' is not a valid value for --frames"),
            (["--timeout", "99999999999", "--device", "COM61"], 1, "'99999999999' is not a valid value for --timeout"),
            (["--log"], 1, "--device PORT is needed (for example COM6)"),
            (["--device", "COM61", "--lang", "en"], 2, "cannot open COM61 at 9600 8N1: there is no such port"),
        ]
        for args, status, said in cases:
            with self.subTest(args=args):
                result = wine(WINDOWS_DISPLAY, *args)
                self.assertEqual(status, result.returncode, result.stderr)
                self.assertIn(said, result.stderr)
        usage = wine(WINDOWS_DISPLAY, "--help", "--lang", "zh", "--utf8")
        self.assertIn("用法：meruvia-display --device 端口", usage.stdout)
        self.assertIn("\n  --timeout 秒 ", usage.stdout)
        self.assertEqual("meruvia-display %s" % VERSION, wine(WINDOWS_DISPLAY, "--version").stdout.strip())


class Trace(Case):
    def trace_file(self):
        # On C:, where an engineer keeps a trace. A folder on the way that is a mount point
        # (Z: may cross several) counts as a junction and is refused.
        folder = tempfile.mkdtemp(dir=os.path.join(PREFIX, "drive_c"), prefix="MeruviaTrace")
        self.cleanups.append(lambda: shutil.rmtree(folder, ignore_errors=True))
        return os.path.join(folder, "trace.log")

    def lines(self, path):
        with open(path, encoding="utf-8") as f:
            text = f.read()
        lines = text.splitlines()
        for line in lines:
            self.assertRegex(line, TRACE_LINE)
        return lines

    def test_off_writes_nothing(self):
        folder = self.scratch()
        result = host("--register-text", "X", "1", env=env_with(), cwd=folder)
        self.assertEqual(2, result.returncode)
        result = host("--port", "COM46", "1", env=env_with(), cwd=folder)
        self.assertEqual(4, result.returncode)
        self.assertEqual([], os.listdir(folder), "no trace file without MERUVIA_TRACE")

    def test_nothing_to_report_creates_no_file(self):
        path = self.trace_file()
        env = env_with(MERUVIA_TRACE="all:" + windows_path(path))
        registered = wine("regsvr32", "/s", windows_path(DLL), env=env)
        self.assertEqual(0, registered.returncode, registered.stderr)
        doctor = host("--doctor", "--lang", "en", env=env)  # loads, creates, releases, unloads
        self.assertIn("OK      the driver can be created", doctor.stdout)
        self.assertFalse(os.path.exists(path), "a process with nothing to report made the trace file")

    def test_only_a_plain_file_on_a_drive_letter(self):
        folder = self.scratch()
        line = self.line("COM55")  # a serial port named as the trace file must stay untouched
        targets = {
            "relative": "trace.log",
            "device": "\\\\.\\COM55",
            "device name in a folder": windows_path(os.path.join(folder, "COM55")),
            "device name with an extension": windows_path(os.path.join(folder, "nul.log")),
            "network": "\\\\server\\share\\trace.log",
            "pipe": "\\\\.\\pipe\\meruvia-trace",
            "stream": windows_path(os.path.join(folder, "trace.log")) + ":hidden",
            "no drive letter": "\\" + os.path.basename(folder) + "\\trace.log",
            "drive-relative": "C:trace.log",
            # Windows opens COM1 to COM9 by these names in any folder, extension or not.
            "a port's name with an extension": windows_path(os.path.join(folder, "COM8.log")),
        }
        port = self.line("COM8")
        for what, target in targets.items():
            with self.subTest(what):
                env = env_with(MERUVIA_TRACE=target, WINEDEBUG="-all,warn+seh")
                result = host("--register-text", "X", "1", env=env, cwd=folder)
                self.assertEqual(2, result.returncode, "tracing changes no result")
                self.assertIn("MERUVIA_TRACE: not tracing to", result.stderr, "the debugger output says why")
                if "port" in what:  # refused by its name, before anything opens the port
                    self.assertIn("names a device or a folder", result.stderr)
                self.assertEqual([], os.listdir(folder))
        self.assertEqual(b"", line.read(1, timeout=0.2), "nothing was written to the port")
        self.assertEqual(b"", port.read(1, timeout=0.2), "nothing was written to the port")

    def test_control_characters_in_a_tag_stay_on_one_line(self):
        path = self.trace_file()
        env = env_with(MERUVIA_TRACE=windows_path(path))
        self.assertEqual(2, host("--register-text", "A\r\n2026-01-01 forged\tline\x01", "1", env=env).returncode)
        lines = self.lines(path)
        self.assertEqual(1, len(lines), lines)
        self.assertIn('tag "A\\r\\n2026-01-01 forged\\tline\\x01"', lines[0])

    def test_full_file_rolls_over_to_one_older_generation(self):
        path = self.trace_file()
        with open(path, "wb") as f:
            f.truncate(TRACE_FILE_LIMIT - 40)
        with open(path + ".1", "wb") as f:
            f.write(b"the generation before\r\n")
        env = env_with(MERUVIA_TRACE=windows_path(path))
        self.assertEqual(2, host("--register-text", "X", "1", env=env).returncode)
        self.assertEqual(TRACE_FILE_LIMIT - 40, os.path.getsize(path + ".1"), "the full file became PATH.1")
        lines = self.lines(path)
        self.assertEqual(1, len(lines), lines)
        self.assertIn('tag "X"', lines[0])
        self.assertFalse(os.path.exists(path + ".2"), "one older generation only")

    def test_trace_that_cannot_be_written_is_dropped(self):
        env = env_with(MERUVIA_TRACE="Z:\\no-such-folder\\trace.log")
        self.display("COM54", frames=1)
        result = host("--port", "COM54", "1.5", env=env)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(2, host("--register-text", "X", "1", env=env).returncode)

    def test_refusals_and_ports_that_do_not_open(self):
        path = self.trace_file()
        env = chinese_locale_env(SCRATCH)
        env["MERUVIA_TRACE"] = windows_path(path)
        self.assertEqual(2, host("--register-text", "温度", "--data-type", "0x0001", "1", env=env).returncode)
        self.assertEqual(2, host("--device", "256", "1", env=env).returncode)
        self.assertEqual(4, host("--port", "COM47", "--baud", "19200", "--parity", "odd", "1", env=env).returncode)
        self.mapped("COM48", "/sys/kernel/notes")
        self.assertEqual(4, host("--port", "COM48", "1", env=env).returncode)
        lines = self.lines(path)
        self.assertEqual(4, len(lines), lines)
        self.assertIn('tag "温度" (data type 0x0001) refused: register name wrong (error code 0)', lines[0])
        self.assertIn('device address "256" refused: device address out of range (error code 2)', lines[1])
        self.assertRegex(lines[2], r"port COM47 not opened, 19200 baud 8O1: error 2: .+")
        self.assertRegex(lines[3], r"port COM48 not opened, 9600 baud 8N1: error 5: .+")

    def test_frames_traced_only_when_asked(self):
        path = self.trace_file()
        self.display("COM49", frames=2)
        result = host("--port", "COM49", "1.5", "-12.5", env=env_with(MERUVIA_TRACE=windows_path(path)))
        self.assertEqual(0, result.returncode, result.stderr)
        lines = self.lines(path)
        self.assertEqual(2, len(lines), lines)
        self.assertRegex(lines[0], r"port COM49 opened, 9600 baud 8N1$")
        self.assertRegex(lines[1], r"port closed$")

        path = self.trace_file()
        display = self.display("COM50", frames=2)
        result = host("--port", "COM50", "1.5", "-12.5", env=env_with(MERUVIA_TRACE="all:" + windows_path(path)))
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(["001.500", "-12.500"], display.readings())
        sent = [line for line in self.lines(path) if " sent in " in line]
        self.assertEqual(2, len(sent))
        self.assertIn("frame =005.100 sent in", sent[0])
        self.assertIn("frame =005.21- sent in", sent[1])

    def probe(self, env):
        """The host stand-in, driven a command at a time: ask(command) gives its answer's words."""
        probe = subprocess.Popen([WINE_RUN, PROBE], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                 bufsize=1, cwd=os.path.dirname(PROBE), env=dict(env, MERUVIA_WINEPREFIX=PREFIX))
        self.cleanups.append(probe.kill)

        def ask(command):
            probe.stdin.write(command + "\n")
            probe.stdin.flush()
            if command == "quit":
                probe.wait(30)
                return []
            return probe.stdout.readline().split()

        self.assertEqual("ready", probe.stdout.readline().strip())
        return ask

    def test_stalled_display(self):
        path = self.trace_file()
        self.line("COM51")  # nobody reads it
        ask = self.probe(env_with(MERUVIA_TRACE=windows_path(path)))
        self.assertEqual(["open", "1"], ask("open COM51 9600 8 1 0"))
        for _ in range(20000):
            if ask("write 1.5")[1] == "0":
                break
        ask("quit")
        failures = [line for line in self.lines(path) if "not written whole" in line]
        self.assertGreater(len(failures), 0)
        match = re.search(r"frame =005\.100 not written whole: (\d+) of 8 bytes in (\d+) ms, time-out", failures[0])
        self.assertIsNotNone(match, failures[0])
        self.assertGreaterEqual(int(match.group(2)), 380, "a write gives up after about 480 ms")

    # Another process in the middle of a line: the trace drops its line at once, the host
    # still finds the thread's last error as the driver's call left it, and the next line
    # written once the file is free says how many went missing.
    def test_last_error_survives_a_trace_that_was_dropped(self):
        path = self.trace_file()
        holder = self.probe(env_with())
        self.assertEqual(["holdtrace", "1"], holder("holdtrace " + windows_path(path)))
        tracing = self.probe(env_with(MERUVIA_TRACE=windows_path(path)))
        untouched = str(0x20000001)
        cases = [
            ("parse X 80", ["parse", "1"], untouched),  # refused; the driver sets no error
            ("open COM97 9600 8 1 0", ["open", "0"], "2"),  # no such port
            ("open COM97 9600 9 1 0", ["open", "0"], "87"),  # a setting no port takes
        ]
        for command, answer, error in cases:
            with self.subTest(command):
                self.assertEqual(answer, tracing(command))
                self.assertEqual(["lasterror", error], tracing("lasterror"))
        self.assertEqual([], self.lines(path), "the lines were dropped, not written without the lock")
        holder("quit")
        self.assertEqual(["parse", "1"], tracing("parse X 80"))
        tracing("quit")
        lines = self.lines(path)
        self.assertEqual(1, len(lines), lines)
        self.assertRegex(lines[0], DROPPED_NOTE)

    def test_several_processes_append_to_one_file(self):
        path = self.trace_file()
        env = env_with(MERUVIA_TRACE="all:" + windows_path(path))
        displays = [self.display("COM52", frames=150), self.display("COM53", frames=150)]
        values = "\n".join(str(i) for i in range(150)) + "\n"
        results = [None, None]

        def send(k, com):
            results[k] = host("--port", com, "--baud", "115200", "--interactive", env=env, stdin=values, timeout=180)

        threads = [threading.Thread(target=send, args=(k, com)) for k, com in enumerate(["COM52", "COM53"])]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        for result in results:
            self.assertEqual(0, result.returncode, result.stderr)
        for display in displays:
            self.assertEqual(150, len(display.readings()))
        # Every line whole; a line that met the other process's lock was dropped at once,
        # never waited for, and a later line of its process counts it.
        lines = self.lines(path)
        sent = sum(" sent in " in line for line in lines)
        dropped = sum(int(m.group(1)) for m in map(DROPPED_NOTE.search, lines) if m)
        self.assertLessEqual(sent, 300)
        self.assertGreaterEqual(sent + dropped, 300, "no line lost without a word")
        self.assertEqual(2, len({line.split(" pid ")[1].split()[0] for line in lines}))

    def test_debugger_output(self):
        env = env_with(MERUVIA_TRACE="debug", WINEDEBUG="-all,warn+seh")
        result = host("--register-text", "X", "1", env=env)
        self.assertEqual(2, result.returncode)
        self.assertRegex(result.stderr, r'OutputDebugStringA "\d{4}-.* tag \\"X\\" \(data type 0x0080\) refused')


class RegistrationPaths(Case):
    """regsvr32 run as on a Chinese Windows (code page 936), from folders the 8-bit path
    calls cannot name; the host must then create the driver from where it is."""

    def register_from(self, folder):
        os.makedirs(folder, exist_ok=True)
        self.cleanups.append(lambda: shutil.rmtree(folder, ignore_errors=True))
        copy = os.path.join(folder, "MERUVIA.DLL")
        shutil.copy(DLL, copy)
        env = chinese_locale_env(SCRATCH)
        result = wine("regsvr32", "/s", windows_path(copy), env=env)
        self.assertEqual(0, result.returncode, result.stderr)
        doctor = host("--doctor", "--lang", "en", "--utf8", env=env)
        self.assertEqual(0, doctor.returncode, doctor.stdout)
        self.assertIn("OK      the driver can be created", doctor.stdout)
        registered = re.search(r"the driver file is (.*?)( \[.*\])?, version", doctor.stdout).group(1)
        self.assertNotIn("?", registered)
        return registered

    def test_folder_named_outside_code_page_936(self):
        folder = os.path.join(self.scratch(), "메루비아 드라이버")
        registered = self.register_from(folder)
        self.assertTrue(registered.endswith("MERUVIA.DLL"), registered)

    def test_path_longer_than_260_characters(self):
        folder = os.path.join(self.scratch(), *(["Meruvia display driver"] * 12))
        self.assertGreater(len(windows_path(os.path.join(folder, "MERUVIA.DLL"))), 300)
        self.register_from(folder)

    def test_path_longer_than_259_bytes_in_code_page_936(self):
        part = "显示屏驱动程序安装目录" * 2
        folder = os.path.join(self.scratch(), *([part] * 7))
        self.assertGreater(len(windows_path(folder).encode("gbk")), 259)
        self.register_from(folder)


if __name__ == "__main__":
    unittest.main(verbosity=2)
