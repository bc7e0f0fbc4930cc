#!/usr/bin/env python3
"""The installer on a fresh Windows: a 32-bit prefix, or a 64-bit one where the 32-bit
driver runs in WoW64 as on most plant PCs. Silent install, the files, the keys in the
32-bit registry view, the Start menu and the entry in the list of installed programs; a
32-bit client (meruvia-host from the zip, kept outside the installation) creating the
driver by ProgID and a frame arriving on a pseudo-terminal; a silent removal that can be
waited for and leaves nothing. Then every way off that path, each of which must leave the
previous installation whole or say why it stops: a registration the registry refuses, a
file held by another program, an upgrade to the next version and a downgrade back, a tool
that was deleted, another copy of the driver registered from elsewhere, a folder outside
Program Files. On 32-bit, the signed release installs too, and its files verify.

    install_test.py win32|win64 <version> <dist> <signed dist> <next version's dist>
                    <meruvia-display> <scratch folder> <folder of the test programs>
"""
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "shared"))
from display_simulator import DisplaySimulator  # noqa: E402
from pe_version import file_version  # noqa: E402

ARCH, VERSION, DIST, SIGNED_DIST, NEXT_DIST, DISPLAY, SCRATCH, PROGRAMS = sys.argv[1:9]
del sys.argv[1:9]

NEXT_VERSION = re.match(r"meruvia-(.*)-setup\.exe$",
                        [n for n in os.listdir(NEXT_DIST) if n.endswith("-setup.exe")][0]).group(1)
CLSID = "{93447081-C721-4469-8B89-46F355783C14}"
PREFIX = os.path.join(SCRATCH, "prefix-" + ARCH)
PROGRAM_FILES = "C:\\Program Files (x86)" if ARCH == "win64" else "C:\\Program Files"
DEFAULT_FOLDER = PROGRAM_FILES + "\\MERUVIA"
# Where a 32-bit program finds Windows' own programs.
SYSTEM = "C:\\windows\\syswow64" if ARCH == "win64" else "C:\\windows\\system32"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MERUVIA"
CLASS_KEY = "HKLM\\Software\\Classes\\CLSID\\" + CLSID
PROGID_KEY = "HKCR\\MERUVIA.MeruviaPro"
CHINESE_FOLDER = "C:\\显示屏 驱动\\MERUVIA 驱动程序"
START_MENU = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\MERUVIA"
FILES = ["MERUVIA.DLL", "meruvia-host.exe", "meruvia-display.exe", "INSTALL.txt", "Uninstall.exe", "docs\\README.html",
         "docs\\README.zh-CN.html", "licenses\\GCC-runtime.txt", "licenses\\GPL-3.txt", "licenses\\MinGW-w64.txt"]
# The installer's and the uninstaller's exit statuses.
FAILED, NEWER_KEPT, IN_USE = 2, 3, 4


def wine_env(**extra):
    env = dict(os.environ)
    # No desktop menu entries for the shortcuts (winemenubuilder only costs time here).
    env.update(WINEPREFIX=PREFIX, WINEARCH=ARCH, WINEDEBUG="-all", WINEDLLOVERRIDES="winemenubuilder.exe=d",
               LANG="C.UTF-8", LC_ALL="C.UTF-8")  # arguments in Chinese reach Windows intact
    env.pop("MERUVIA_TRACE", None)
    env.update(extra)
    return env


def wine(*args, timeout=180, **extra):
    """A Windows program in the test's prefix, through the build's runner (which makes the
    prefix fresh on first use and notes a crash)."""
    env = wine_env(MERUVIA_WINEPREFIX=PREFIX, MERUVIA_WINEARCH=ARCH, **extra)
    started = time.monotonic()
    # The output goes to files, not pipes: a process the program leaves running (Wine's
    # desktop process, started by the first window) would hold a pipe open for ever. A
    # session of its own, so that a program that does not end is stopped with all it started.
    with tempfile.TemporaryFile() as out_file, tempfile.TemporaryFile() as err_file:
        proc = subprocess.Popen([os.environ["MERUVIA_WINE_RUN"], *args], stdout=out_file, stderr=err_file,
                                env=env, start_new_session=True)
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
        out_file.seek(0)
        err_file.seek(0)
        out = out_file.read().decode("utf-8", "replace")
        err = err_file.read().decode("utf-8", "replace")
    if proc.returncode == -signal.SIGKILL:
        raise AssertionError("%s did not end within %d s: %s" % (" ".join(map(str, args)), timeout, err))
    result = subprocess.CompletedProcess(args, proc.returncode, out, err)
    # Each program's time and status, so that a slow or stuck step is seen in the log.
    print("    %5.1f s  %s -> %d" % (time.monotonic() - started, " ".join(map(str, args))[:160], result.returncode),
          file=sys.stderr, flush=True)
    return result


def keys_present(*keys, view="32"):
    """Which of the keys exist, in one program start (a start is slow under emulation)."""
    result = wine(os.path.join(PROGRAMS, "registry_probe.exe"), *(["/reg:64"] if view == "64" else []), *keys)
    assert result.returncode == 0, result.stderr
    answers = dict(reversed(line.split(" ", 1)) for line in result.stdout.splitlines() if line.strip())
    return {k: answers[k] == "yes" for k in keys}


def reg_export(key, view="32"):
    """The key and its values as reg.exe exports them (UTF-16, whatever the console's code
    page), with backslashes doubled; None when the key is absent."""
    out = os.path.join(SCRATCH, "export-%s.reg" % ARCH)
    if os.path.exists(out):
        os.unlink(out)
    result = wine("reg", "export", key, "Z:" + out.replace("/", "\\"), "/reg:" + view, "/y")
    if result.returncode != 0:
        return None
    with open(out, encoding="utf-16") as f:
        return f.read()


def linux_path(windows_path):
    assert windows_path[1:3] == ":\\"
    return os.path.join(PREFIX, "drive_c", *windows_path[3:].split("\\"))


def installed_version(path):
    with open(path, "rb") as f:
        return file_version(f.read())


def setup_log():
    """What the installer last wrote to %TEMP%\\meruvia-setup.log (the user's temporary
    folder: AppData\\Local\\Temp, or Temp where Windows keeps it in the profile itself)."""
    users = os.path.join(PREFIX, "drive_c", "users", "*")
    logs = (glob.glob(os.path.join(users, "AppData", "Local", "Temp", "meruvia-setup.log")) +
            glob.glob(os.path.join(users, "Temp", "meruvia-setup.log")))
    if not logs:
        return ""
    with open(logs[0], encoding="utf-16") as f:
        return f.read()


class HeldFile:
    """A file held open with no sharing by another Windows program, as the host holds the
    driver it has loaded."""

    def __init__(self, windows_path):
        self.proc = subprocess.Popen([os.environ["MERUVIA_WINE_RUN"], os.path.join(PROGRAMS, "hold_file.exe"),
                                      windows_path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True,
                                     env=wine_env(MERUVIA_WINEPREFIX=PREFIX, MERUVIA_WINEARCH=ARCH))
        line = self.proc.stdout.readline()
        assert line.strip() == "held", line + self.proc.stderr.read()

    def release(self):
        if self.proc.poll() is None:
            self.proc.stdin.close()
            self.proc.wait(timeout=60)


def Display(com):
    """The display simulator on COMn of the prefix, for one frame."""
    return DisplaySimulator(DISPLAY, 1, link=os.path.join(PREFIX, "dosdevices", com.lower()))


class Installer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        subprocess.run(["wineserver", "-k"], env=wine_env(), capture_output=True)
        if os.path.islink(PREFIX):  # a prefix the runner keeps elsewhere
            os.unlink(PREFIX)
        shutil.rmtree(PREFIX, ignore_errors=True)
        # A fresh Windows: the runner makes the prefix anew, with one server for the whole test.
        boot = wine("cmd", "/c", "exit", "0", timeout=600)
        assert boot.returncode == 0, boot.stderr
        # The client is the tool from the zip, in a folder of its own.
        cls.client_dir = os.path.join(SCRATCH, "client-" + ARCH)
        shutil.rmtree(cls.client_dir, ignore_errors=True)
        with zipfile.ZipFile(os.path.join(DIST, "meruvia-%s-win32.zip" % VERSION)) as z:
            z.extract("meruvia-%s/meruvia-host.exe" % VERSION, cls.client_dir)
        cls.client = os.path.join(cls.client_dir, "meruvia-%s" % VERSION, "meruvia-host.exe")

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["wineserver", "-k"], env=wine_env(), capture_output=True)

    # Whether a case may have left something behind: each ends by checking that it did not.
    dirty = False

    def setUp(self):
        """Each case starts from a Windows without the driver, whatever the one before left."""
        if not Installer.dirty:
            Installer.dirty = True
            return
        wine("cmd", "/c", " & ".join("reg delete \"%s\" /f /reg:32 >nul 2>nul" % k
                                     for k in (PROGID_KEY, CLASS_KEY, UNINSTALL_KEY)))
        for folder in (DEFAULT_FOLDER, CHINESE_FOLDER, "C:\\Other", START_MENU):
            shutil.rmtree(linux_path(folder), ignore_errors=True)

    def install(self, dist=DIST, folder=None, status=0, version=VERSION, **extra):
        setup = os.path.join(dist, "meruvia-%s-setup.exe" % version)
        # /D= comes last and unquoted; Wine joins the pieces with blanks.
        args = ["/S"] + (["/D=" + folder.split(" ")[0]] + folder.split(" ")[1:] if folder else [])
        result = wine(setup, *args, **extra)
        if status != result.returncode:
            self.fail("setup: %d, not %d: %s%s" % (result.returncode, status, setup_log(), result.stderr))
        return result

    def uninstall(self, folder=DEFAULT_FOLDER, status=0, **extra):
        """The documented silent form a script can wait for: a copy of the uninstaller,
        outside the folder it removes, run with _?= (which NSIS reads unquoted, to the end
        of the line, as it does /D=)."""
        copy = os.path.join(SCRATCH, "meruvia-uninstall-%s.exe" % ARCH)
        shutil.copy(linux_path(folder + "\\Uninstall.exe"), copy)
        self.addCleanup(lambda: os.path.exists(copy) and os.unlink(copy))
        pieces = ("_?=" + folder).split(" ")
        result = wine(copy, "/S", *pieces, **extra)
        self.assertEqual(status, result.returncode, result.stderr)
        return result

    def send(self, com):
        display = Display(com)
        self.addCleanup(display.kill)
        result = wine(self.client, "--port", com, "--lang", "en", "1.5")
        return result, display

    def check_installed(self, folder=DEFAULT_FOLDER, version=VERSION, frame=False):
        """The installation whole: files, entry, Start menu, and the installed tool's check
        (the class in the 32-bit view, its file and version, the driver created); with
        frame, a value sent by a client reaches the display."""
        for name in FILES:
            self.assertTrue(os.path.isfile(linux_path(folder + "\\" + name)), name)
        self.assertEqual(version, installed_version(linux_path(folder + "\\MERUVIA.DLL")))
        leftovers = [n for n in os.listdir(linux_path(folder)) if n.startswith("~")]
        self.assertEqual([], leftovers, "no staging folders are left")
        if ARCH == "win64":
            self.assertFalse(keys_present(CLASS_KEY, view="64")[CLASS_KEY], "nothing of the class in the 64-bit view")
        entry = reg_export(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "listed among the installed programs")
        doubled = folder.replace("\\", "\\\\")
        for line in ['"DisplayName"="MERUVIA %s"' % version, '"DisplayVersion"="%s"' % version,
                     '"UninstallString"="\\"%s\\\\Uninstall.exe\\""' % doubled,
                     '"QuietUninstallString"="\\"%s\\\\Uninstall.exe\\" /S"' % doubled,
                     '"DisplayIcon"="%s\\\\Uninstall.exe,0"' % doubled,
                     '"HelpLink"="%s\\\\docs\\\\README.html"' % doubled]:
            self.assertIn(line, entry)
        size = int(re.search(r'"EstimatedSize"=dword:([0-9a-f]{8})', entry).group(1), 16)
        self.assertGreater(size, 100, "the size in KB")
        links = sorted(os.listdir(linux_path(START_MENU)))
        self.assertEqual(sorted(["Check the MERUVIA driver.lnk", "Display simulator.lnk", "MERUVIA guide (English).lnk",
                                 "MERUVIA 使用说明 (中文).lnk", "Uninstall MERUVIA.lnk"]), links)

        doctor = wine(folder + "\\meruvia-host.exe", "--doctor", "--lang", "en")
        self.assertEqual(0, doctor.returncode, "the installed tool's check: " + doctor.stdout)
        self.assertIn("OK      the driver can be created", doctor.stdout)
        if frame:
            result, display = self.send("COM60")
            self.assertEqual(0, result.returncode, result.stderr)
            self.assertEqual(["001.500"], display.readings())

    def check_removed(self, folder=DEFAULT_FOLDER, frame=False):
        self.assertFalse(os.path.exists(linux_path(folder)), "the folder is gone, the uninstaller with it")
        self.assertFalse(os.path.exists(linux_path(START_MENU)), "the Start menu folder is gone")
        for view in (["32", "64"] if ARCH == "win64" else ["32"]):
            present = keys_present(PROGID_KEY, CLASS_KEY, UNINSTALL_KEY, view=view)
            self.assertEqual({PROGID_KEY: False, CLASS_KEY: False, UNINSTALL_KEY: False}, present)
        if frame:
            result, display = self.send("COM61")
            display.kill()
            self.assertEqual(3, result.returncode, "the driver can no longer be created")
            self.assertIn("not registered", result.stderr)
        Installer.dirty = False

    def check_unchanged(self, folder=DEFAULT_FOLDER, version=VERSION):
        """The installation as it was: every file, the registration, the entry."""
        for name in FILES:
            self.assertTrue(os.path.isfile(linux_path(folder + "\\" + name)), name + " is still there")
        self.assertEqual(version, installed_version(linux_path(folder + "\\MERUVIA.DLL")))
        self.assertEqual([], [n for n in os.listdir(linux_path(folder)) if n.startswith("~")])
        entry = reg_export(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "still listed")
        self.assertIn('"DisplayVersion"="%s"' % version, entry)
        self.assertTrue(keys_present(CLASS_KEY + "\\InProcServer32")[CLASS_KEY + "\\InProcServer32"], "still registered")

    def test_1_install_repair_and_remove(self):
        # No plugin is loaded from the temporary folder (where a user's program could
        # have put its own), neither by a silent setup nor by the uninstaller.
        result = self.install(WINEDEBUG="+loaddll")
        self.assertNothingLoadedFromTemp(result)
        self.check_installed(frame=True)
        self.install()  # the same version again: a repair
        self.check_installed()
        self.assertNothingLoadedFromTemp(self.uninstall(WINEDEBUG="+loaddll"))
        self.check_removed(frame=True)

    def assertNothingLoadedFromTemp(self, result):
        loaded = [line for line in result.stderr.splitlines() if "Loaded" in line]
        self.assertTrue(loaded, "Wine lists the modules it loads")
        self.assertEqual([], [line for line in loaded if re.search(r"\\\\temp\\\\", line, re.I)])

    def test_2_folder_with_blanks_and_chinese_gets_program_files_rights(self):
        folder = CHINESE_FOLDER
        os.makedirs(linux_path("C:\\显示屏 驱动"), exist_ok=True)  # the user's own folder
        # Wine keeps no access lists on files: a stand-in for icacls shows what the
        # installer asks Windows for.
        icacls = linux_path(SYSTEM + "\\icacls.exe")
        saved = icacls + ".saved"
        if os.path.exists(icacls):
            os.replace(icacls, saved)
            self.addCleanup(os.replace, saved, icacls)
        else:
            self.addCleanup(os.unlink, icacls)
        shutil.copy(os.path.join(PROGRAMS, "record_icacls.exe"), icacls)
        log = os.path.join(SCRATCH, "icacls-%s.log" % ARCH)
        icacls_env = dict(MERUVIA_ICACLS_LOG="Z:" + log.replace("/", "\\"),
                          WINEDLLOVERRIDES="winemenubuilder.exe=d;icacls.exe=n")

        # The rights cannot be set: nothing is installed.
        self.install(folder=folder, status=FAILED, MERUVIA_ICACLS_STATUS="5", **icacls_env)
        self.assertFalse(os.path.exists(linux_path(folder)))
        self.assertFalse(any(keys_present(CLASS_KEY, UNINSTALL_KEY).values()))
        self.assertIn("access rights", setup_log())

        if os.path.exists(log):
            os.unlink(log)
        self.install(folder=folder, **icacls_env)
        with open(log, encoding="utf-16-le") as f:
            calls = f.read().splitlines()
        self.assertEqual(1, len(calls), calls)
        self.assertIn('"%s" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F '
                      '*S-1-5-32-545:(OI)(CI)RX' % folder, calls[0])
        self.check_installed(folder)
        self.uninstall(folder)
        self.check_removed(folder)
        self.assertTrue(os.path.isdir(linux_path("C:\\显示屏 驱动")), "the folder around it is the user's")

        # Program Files protects itself: no rights are changed there.
        os.unlink(log)
        self.install(**icacls_env)
        self.assertFalse(os.path.exists(log), "icacls was not run for Program Files")
        self.uninstall()

    def test_3_refused_registration_installs_nothing(self):
        self.assertEqual(0, wine(os.path.join(PROGRAMS, "make_volatile_key.exe"), "MERUVIA.MeruviaPro").returncode)
        self.addCleanup(lambda: wine("reg", "delete", PROGID_KEY, "/f"))
        self.assertNothingLoadedFromTemp(self.install(status=FAILED, WINEDEBUG="+loaddll"))
        self.assertFalse(os.path.exists(linux_path(DEFAULT_FOLDER)), "no files are left")
        self.assertEqual({CLASS_KEY: False, UNINSTALL_KEY: False}, keys_present(CLASS_KEY, UNINSTALL_KEY),
                         "not listed, and keys written before the refusal are taken back")
        self.assertIn("could not be registered", setup_log())

    def test_4_failed_reinstall_keeps_the_installation(self):
        self.install()
        # The registry now refuses the registration (a volatile key stands in for a
        # registry the installer may not write).
        self.assertEqual(0, wine("reg", "delete", PROGID_KEY, "/f").returncode)
        self.assertEqual(0, wine(os.path.join(PROGRAMS, "make_volatile_key.exe"), "MERUVIA.MeruviaPro").returncode)
        self.addCleanup(lambda: wine("reg", "delete", PROGID_KEY, "/f"))
        self.install(status=FAILED)
        self.check_unchanged()
        self.assertIn("put back as it was", setup_log())
        self.assertNotIn("could not be put back", setup_log())
        wine("reg", "delete", PROGID_KEY, "/f")
        self.uninstall()
        self.check_removed()

    def test_5_files_in_use_stop_upgrade_and_removal(self):
        self.install()
        held = HeldFile(DEFAULT_FOLDER + "\\MERUVIA.DLL")
        self.addCleanup(held.release)
        self.install(dist=NEXT_DIST, version=NEXT_VERSION, status=IN_USE)
        self.check_unchanged()
        self.assertIn("MERUVIA.DLL is in use", setup_log())
        self.uninstall(status=IN_USE)
        self.check_unchanged()
        self.assertTrue(os.path.isdir(linux_path(START_MENU)))
        held.release()
        self.uninstall()
        self.check_removed()

    def test_6_upgrade_then_refused_downgrade(self):
        self.install()
        self.install(dist=NEXT_DIST, version=NEXT_VERSION)
        self.check_installed(version=NEXT_VERSION)
        entries = reg_export("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall")
        self.assertEqual(1, entries.count('"DisplayName"="MERUVIA'), "one entry, the new version's")
        # Back to the older one, silently: refused, the newer kept.
        self.install(status=NEWER_KEPT)
        self.assertIn("%s is installed, which is newer than %s" % (NEXT_VERSION, VERSION), setup_log())
        self.check_unchanged(version=NEXT_VERSION)
        self.uninstall()
        self.check_removed()

    def test_7_uninstall_without_the_tool(self):
        self.install()
        os.unlink(linux_path(DEFAULT_FOLDER + "\\meruvia-host.exe"))  # deleted, or quarantined
        self.uninstall()
        self.check_removed()

    def test_8_another_copy_keeps_its_registration(self):
        self.install()
        other = "C:\\Other\\MERUVIA.DLL"
        os.makedirs(linux_path("C:\\Other"), exist_ok=True)
        shutil.copy(linux_path(DEFAULT_FOLDER + "\\MERUVIA.DLL"), linux_path(other))
        self.assertEqual(0, wine(SYSTEM + "\\regsvr32.exe", "/s", other).returncode)
        self.uninstall()
        self.assertFalse(os.path.exists(linux_path(DEFAULT_FOLDER)))
        self.assertIsNone(reg_export(UNINSTALL_KEY))
        self.assertIn("Other", reg_export(CLASS_KEY + "\\InProcServer32"), "the other copy is still registered")
        result, display = self.send("COM62")
        self.assertEqual(0, result.returncode, "the other copy still works: " + result.stderr)
        self.assertEqual(["001.500"], display.readings())
        self.assertEqual(0, wine(self.client, "--unregister", "--dll", other).returncode)
        shutil.rmtree(linux_path("C:\\Other"))

    @unittest.skipIf(ARCH != "win32", "signed files are checked once")
    def test_9_signed_release(self):
        cert = os.path.join(os.path.dirname(SIGNED_DIST), "signing", "cert.pem")
        self.install(dist=SIGNED_DIST)
        for name in ["MERUVIA.DLL", "meruvia-host.exe", "meruvia-display.exe", "Uninstall.exe"]:
            verify = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in",
                                     linux_path(DEFAULT_FOLDER + "\\" + name)], capture_output=True, text=True)
            self.assertEqual(0, verify.returncode, name + ": " + verify.stdout + verify.stderr)
        self.check_installed()
        self.uninstall()
        self.check_removed()


if __name__ == "__main__":
    unittest.main(verbosity=2)
