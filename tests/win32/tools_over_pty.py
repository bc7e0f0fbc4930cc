#!/usr/bin/env python3
"""The two tools together: meruvia-host (Windows, under Wine) sends values through
MERUVIA.DLL to a COM port that is the display simulator's pseudo-terminal.

    tools_over_pty.py <meruvia-host.exe> <meruvia-display> <wine-run.sh> <wine prefix>
"""
import os
import subprocess
import sys
import time
import unittest

HOST, DISPLAY, WINE_RUN, PREFIX = sys.argv[1:5]
del sys.argv[1:5]
# A test run may point the suite at another prefix (the 64-bit one) through the runner's variable.
PREFIX = os.environ.get("MERUVIA_WINEPREFIX") or PREFIX
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_line import display_on_com  # noqa: E402
from display_simulator import readings  # noqa: E402


def Display(com, frames):
    return display_on_com(DISPLAY, PREFIX, com, frames)


def host(*args, stdin=None):
    return subprocess.run([WINE_RUN, HOST, *args], input=stdin, capture_output=True, text=True,
                          timeout=120)


class Tools(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        dll = "Z:" + os.path.join(os.path.dirname(os.path.abspath(HOST)), "MERUVIA.DLL").replace("/", "\\")
        registered = subprocess.run([WINE_RUN, "regsvr32", "/s", dll], capture_output=True, text=True)
        assert registered.returncode == 0, registered.stderr

    def setUp(self):
        self.display = None

    def tearDown(self):
        if self.display:
            self.display.kill()

    def test_values_reach_the_display(self):
        self.display = Display("COM21", frames=4)
        result = host("--register", "--port", "COM21", "--baud", "19200", "1.5", "-12.5", "1234.5", "nan")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn("sent 1.5 as =005.100, display reads 001.500", result.stdout)
        self.assertIn("outside what the display shows", result.stderr)
        self.assertIn("it will read 234.500", result.stderr)
        lines, _ = self.display.finish()
        self.assertEqual(["001.500", "-12.500", "234.500", "---.---"], readings(lines))

    def test_values_from_standard_input(self):
        self.display = Display("COM22", frames=2)
        result = host("--port", "COM22", "--interactive", stdin="123.456\nnot-a-number\n-0.5\n")
        self.assertEqual(1, result.returncode, "a value that is not a number is reported")
        self.assertIn("'not-a-number' is not a number", result.stderr)
        lines, _ = self.display.finish()
        self.assertEqual(["123.456", "-00.500"], readings(lines))

    # What the tool refuses, and what it says: the driver's own texts for a refused tag or
    # device, its own for a port or an option (as UTF-8, which the Chinese texts need here).
    def test_refusals_and_their_status(self):
        cases = [
            (["--register-text", "X", "1.5"], 2, "寄存器名字错误!"),
            (["--data-type", "0x0001", "1.5"], 2, "数据类型不对，请参考Readme文件!"),
            (["--device", "256", "1.5"], 2, "地址范围越界!"),
            (["--port", "COM96", "1"], 4, "cannot open COM96"),
            (["--parity", "sideways"], 1, "not one of none, odd, even, mark, space"),
            (["--baud", "19200x", "1"], 1, "'19200x' is not a valid value for --baud"),
        ]
        for args, status, message in cases:
            with self.subTest(args=args):
                result = host(*args, "--utf8")
                self.assertEqual(status, result.returncode, result.stderr)
                self.assertIn(message, result.stderr)

    def test_display_survives_garbage(self):
        self.display = Display("COM23", frames=2)
        with open(self.display.path, "wb", buffering=0) as line:
            line.write(b"\x00\xffgarbage=12=00A.000")
            line.write(b"=005.100")
            time.sleep(0.2)
            line.write(b"junk=654.321")
        lines, _ = self.display.finish()
        self.assertEqual(["001.500", "123.456"], readings(lines))
        self.assertGreaterEqual(sum(" malformed " in line for line in lines), 3)


if __name__ == "__main__":
    unittest.main(verbosity=2)
