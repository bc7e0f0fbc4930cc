#!/usr/bin/env python3
"""The installer on a fresh Windows: a 32-bit prefix, or a 64-bit one where the 32-bit
driver runs in WoW64 as on most plant PCs. Silent install, the files, the keys in the
32-bit registry view and the entry in the list of installed programs; a 32-bit client
(meruvia-host from the zip, kept outside the installation) creating the driver by ProgID
and a frame arriving on a pseudo-terminal; silent removal leaving nothing; installing over
an installation and into a folder with blanks and Chinese characters. On 32-bit, the
signed release installs too, and the installed files and the uninstaller verify.

    install_test.py win32|win64 <dist> <signed dist> <meruvia-display> <scratch folder>
                    <make_volatile_key.exe>
"""
import os
import shutil
import subprocess
import sys
import time
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "shared"))
from display_simulator import DisplaySimulator  # noqa: E402

ARCH, DIST, SIGNED_DIST, DISPLAY, SCRATCH, MAKE_VOLATILE_KEY = sys.argv[1:7]
del sys.argv[1:7]

VERSION = "60.1.1.10"
CLSID = "{93447081-C721-4469-8B89-46F355783C14}"
PREFIX = os.path.join(SCRATCH, "prefix-" + ARCH)
PROGRAM_FILES = "C:\\Program Files (x86)" if ARCH == "win64" else "C:\\Program Files"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MERUVIA"
FILES = ["MERUVIA.DLL", "meruvia-host.exe", "INSTALL.txt", "Uninstall.exe", "docs\\README.html",
         "docs\\README.zh-CN.html", "licenses\\GCC-runtime.txt", "licenses\\GPL-3.txt", "licenses\\MinGW-w64.txt"]


def wine_env():
    env = dict(os.environ)
    env.update(WINEPREFIX=PREFIX, WINEARCH=ARCH, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
               LANG="C.UTF-8", LC_ALL="C.UTF-8")  # arguments in Chinese reach Windows intact
    env.pop("MERUVIA_TRACE", None)
    return env


def wine(*args, timeout=180):
    """A Windows program in the test's prefix, through the build's runner (which makes the
    prefix fresh on first use and notes a crash)."""
    env = wine_env()
    env.update(MERUVIA_WINEPREFIX=PREFIX, MERUVIA_WINEARCH=ARCH)
    return subprocess.run([os.environ["MERUVIA_WINE_RUN"], *args], capture_output=True, text=True, env=env,
                          timeout=timeout)


def reg_query(key, view="32", value=None):
    args = ["reg", "query", key, "/reg:" + view] + (["/v", value] if value else [])
    return wine(*args)


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

    def install(self, dist=DIST, folder=None, status=0):
        setup = os.path.join(dist, "meruvia-%s-setup.exe" % VERSION)
        # /D= comes last and unquoted; Wine joins the pieces with blanks.
        args = ["/S"] + (["/D=" + folder.split(" ")[0]] + folder.split(" ")[1:] if folder else [])
        result = wine(setup, *args)
        self.assertEqual(status, result.returncode, result.stderr)

    def uninstall(self, folder):
        uninstaller = folder + "\\Uninstall.exe"
        self.assertEqual(0, wine(uninstaller, "/S").returncode)
        # The uninstaller runs on from a copy of itself; wait until it has finished.
        deadline = time.monotonic() + 60
        while os.path.exists(linux_path(folder)) and time.monotonic() < deadline:
            time.sleep(0.2)
        while reg_query(UNINSTALL_KEY).returncode == 0 and time.monotonic() < deadline:
            time.sleep(0.2)

    def send(self, com):
        display = Display(com)
        self.addCleanup(display.kill)
        result = wine(self.client, "--port", com, "--lang", "en", "1.5")
        return result, display

    def check_installed(self, folder):
        for name in FILES:
            self.assertTrue(os.path.isfile(linux_path(folder + "\\" + name)), name)
        server = reg_export("HKLM\\Software\\Classes\\CLSID\\%s\\InProcServer32" % CLSID)
        self.assertIsNotNone(server, "the class is in the 32-bit view")
        self.assertIn("MERUVIA.DLL", server)
        self.assertIn(CLSID, reg_query("HKCR\\MERUVIA.MeruviaPro\\CLSID").stdout)
        if ARCH == "win64":
            self.assertNotEqual(0, reg_query("HKLM\\Software\\Classes\\CLSID\\" + CLSID, view="64").returncode,
                                "nothing of the class in the 64-bit view")
        entry = reg_export(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "listed among the installed programs")
        self.assertIn('"DisplayName"="MERUVIA %s"' % VERSION, entry)
        self.assertIn('"DisplayVersion"="%s"' % VERSION, entry)
        self.assertIn('"UninstallString"="\\"%s\\\\Uninstall.exe\\""' % folder.replace("\\", "\\\\"), entry)

        doctor = wine(self.client, "--doctor", "--lang", "en")
        self.assertEqual(0, doctor.returncode, doctor.stdout)
        result, display = self.send("COM60")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(["001.500"], display.readings())

    def check_removed(self, folder):
        self.assertFalse(os.path.exists(linux_path(folder)), "the folder is gone")
        for view in (["32", "64"] if ARCH == "win64" else ["32"]):
            for key in ["HKCR\\MERUVIA.MeruviaPro", "HKLM\\Software\\Classes\\CLSID\\" + CLSID, UNINSTALL_KEY]:
                self.assertNotEqual(0, reg_query(key, view=view).returncode, key + " is gone")
        result, display = self.send("COM61")
        display.kill()
        self.assertEqual(3, result.returncode, "the driver can no longer be created")
        self.assertIn("not registered", result.stderr)

    def test_1_install_again_and_remove(self):
        folder = PROGRAM_FILES + "\\MERUVIA"
        self.install()
        self.check_installed(folder)
        self.install()  # over the existing installation
        self.check_installed(folder)
        self.uninstall(folder)
        self.check_removed(folder)

    def test_2_folder_with_blanks_and_chinese(self):
        folder = "C:\\显示屏 驱动\\MERUVIA 驱动程序"
        os.makedirs(linux_path("C:\\显示屏 驱动"), exist_ok=True)  # the user's own folder
        self.install(folder=folder)
        self.check_installed(folder)
        self.uninstall(folder)
        self.check_removed(folder)
        self.assertTrue(os.path.isdir(linux_path("C:\\显示屏 驱动")), "the folder around it is the user's")

    def test_3_refused_registration_installs_nothing(self):
        folder = PROGRAM_FILES + "\\MERUVIA"
        self.assertEqual(0, wine(MAKE_VOLATILE_KEY, "MERUVIA.MeruviaPro").returncode)
        self.addCleanup(lambda: wine("reg", "delete", "HKCR\\MERUVIA.MeruviaPro", "/f"))
        self.install(status=2)  # the installer's "aborted" status, not success
        self.assertFalse(os.path.exists(linux_path(folder)), "no files are left")
        self.assertNotEqual(0, reg_query(UNINSTALL_KEY).returncode, "not listed as installed")
        self.assertNotEqual(0, reg_query("HKLM\\Software\\Classes\\CLSID\\" + CLSID).returncode,
                            "keys written before the refusal are taken back")

    @unittest.skipIf(ARCH != "win32", "signed files are checked once")
    def test_4_signed_release(self):
        cert = os.path.join(os.path.dirname(SIGNED_DIST), "signing", "cert.pem")
        folder = PROGRAM_FILES + "\\MERUVIA"
        self.install(dist=SIGNED_DIST)
        for name in ["MERUVIA.DLL", "meruvia-host.exe", "Uninstall.exe"]:
            verify = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in",
                                     linux_path(folder + "\\" + name)], capture_output=True, text=True)
            self.assertEqual(0, verify.returncode, name + ": " + verify.stdout + verify.stderr)
        self.check_installed(folder)
        self.uninstall(folder)
        self.check_removed(folder)


if __name__ == "__main__":
    unittest.main(verbosity=2)
