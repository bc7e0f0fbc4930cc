#!/usr/bin/env python3
"""meruvia-send against the display simulator on a pseudo-terminal: what an engineer with
a Linux laptop and a USB serial adapter sees.

    send_to_display.py <meruvia-send> <meruvia-display>
"""
import fcntl
import os
import re
import subprocess
import sys
import termios
import unittest

SEND, DISPLAY = sys.argv[1:3]
del sys.argv[1:3]

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "shared"))
from display_simulator import LAMP_READINGS, DisplaySimulator  # noqa: E402


def send(*args, stdin=None):
    return subprocess.run([SEND, *args], input=stdin, capture_output=True, text=True, timeout=60)


class SendToDisplay(unittest.TestCase):
    def display(self, frames):
        display = DisplaySimulator(DISPLAY, frames, timeout=20)
        self.addCleanup(display.kill)
        return display

    def test_values_from_arguments_and_standard_input(self):
        display = self.display(frames=4)
        result = send("--port", display.path, "--baud", "19200", "--parity", "odd", "1.5", "-12.5")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn("opened %s at 19200 8O1" % display.path, result.stdout)
        self.assertIn("sent 1.5 as =005.100, display reads 001.500", result.stdout)
        # The line itself, not only the summary: a terminal keeps its settings after the
        # tool closes it. (A pseudo-terminal clears PARENB whatever is asked; PARODD shows
        # the parity kind.)
        fd = os.open(display.path, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            _, _, cflag, _, ispeed, ospeed, _ = termios.tcgetattr(fd)
        finally:
            os.close(fd)
        self.assertEqual(termios.B19200, ospeed)
        self.assertEqual(termios.PARODD, cflag & termios.PARODD)
        result = send("--port", display.path, "--interactive", stdin="1234.5\nabc\nnan\n")
        self.assertEqual(1, result.returncode, "a value that is not a number is reported")
        self.assertIn("'abc' is not a number", result.stderr)
        self.assertIn("it will read 234.500", result.stderr)
        self.assertIn("nan has no digits to show: the display reads ---.---", result.stderr)
        self.assertNotIn("nan is outside", result.stderr)
        self.assertEqual(["001.500", "-12.500", "234.500", "---.---"], display.readings())

    def test_parity_as_an_engineer_writes_it(self):
        for given, odd in [("odd", True), ("O", True), ("o", True), ("1", True), ("E", False), ("2", False),
                           ("none", False), ("n", False), ("0", False)]:
            with self.subTest(parity=given):
                display = self.display(frames=2)  # still listening, so the line is there to read
                result = send("--port", display.path, "--parity", given, "1")
                self.assertEqual(0, result.returncode, result.stderr)
                fd = os.open(display.path, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
                try:
                    cflag = termios.tcgetattr(fd)[2]
                finally:
                    os.close(fd)
                self.assertEqual(odd, bool(cflag & termios.PARODD))

    def test_lamp_test(self):
        display = self.display(frames=len(LAMP_READINGS))
        result = send("--port", display.path, "--lamp-test", "--interval", "20")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn("lamp test 13/13: display should read ---.---", result.stdout)
        self.assertEqual(LAMP_READINGS, display.readings())

    def test_errors(self):
        cases = [
            (["1"], 1, "--port DEVICE is needed"),
            (["--port"], 1, "--port needs a value"),
            (["--port", "/dev/null"], 1, "nothing to send: give the values, --lamp-test or --interactive"),
            (["--port", "/dev/null", "--parity", "sideways"], 1, "parity 'sideways' is not one of none"),
            (["--port", "/dev/null", "--parity", "5"], 1, "parity '5' is not one of none"),
            (["--port", "/dev/null", "--parity", "OE"], 1, "parity 'OE' is not one of none"),
            (["--port", "/dev/null", "--data-bits", "9"], 1, "'9' is not a valid value for --data-bits: a whole number from 5 to 8"),
            (["--port", "/dev/null", "--baud", "19200x"], 1, "'19200x' is not a valid value for --baud"),
            (["--port", "/dev/null", "--baud", "0"], 1, "'0' is not a valid value for --baud"),
            (["--port", "/dev/null", "--interval", "-5", "--lamp-test"], 1, "'-5' is not a valid value for --interval"),
            # Decimal only: no octal "010", no hexadecimal, no sign.
            (["--port", "/dev/null", "--interval", "0x10", "--lamp-test"], 1, "'0x10' is not a valid value for --interval"),
            (["--port", "/dev/null", "--interval", "+5", "--lamp-test"], 1, "'+5' is not a valid value for --interval"),
            (["--port", "/dev/null", "--interval", "99999999999", "--lamp-test"], 1, "from 0 to 3600000"),
            (["--port", "/dev/null", "--lang", "fr", "1"], 1, "language 'fr' is not zh (zh-CN, cn) or en (en-US)"),
            (["--port", "/dev/null", "--lang", "cn", "--baud", "x", "1"], 1, "“x”不是 --baud 的有效值"),
            (["--port", "/dev/null", "--lang", "zh-CN"], 1, "没有要发送的内容"),
        ]
        for args, status, message in cases:
            with self.subTest(args=args):
                result = send(*args)
                self.assertEqual(status, result.returncode, result.stderr)
                self.assertIn(message, result.stderr)

    def test_why_a_port_does_not_open(self):
        free = self.display(frames=1)
        taken = self.display(frames=1)
        holder = os.open(taken.path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        self.addCleanup(os.close, holder)
        fcntl.flock(holder, fcntl.LOCK_EX | fcntl.LOCK_NB)  # as another program holding the line
        cases = [
            ("/nonexistent/ttyUSB9", "9600", "cannot open /nonexistent/ttyUSB9 at 9600 8N1: there is no such port"),
            ("/dev/null", "9600", "cannot open /dev/null at 9600 8N1: it is not a serial line"),
            (free.path, "12345", "cannot open %s at 12345 8N1: the device does not accept these settings" % free.path),
            (taken.path, "9600", "cannot open %s at 9600 8N1: another program holds it" % taken.path),
        ]
        for port, baud, message in cases:
            with self.subTest(port=port, baud=baud):
                result = send("--port", port, "--baud", baud, "1")
                self.assertEqual(4, result.returncode, result.stderr)
                self.assertIn(message, result.stderr)

    def test_typed_values_until_quit(self):
        for word in ["q", "quit", " EXIT "]:
            with self.subTest(word=word):
                display = self.display(frames=1)
                result = send("--port", display.path, "--interactive", stdin="2.5\n%s\n7\n" % word)
                self.assertEqual(0, result.returncode, result.stderr)
                self.assertIn("sent 2.5 as", result.stdout)
                self.assertNotIn("sent 7", result.stdout, "nothing after the word that ends it")
                self.assertEqual(["002.500"], display.readings())

    def test_usage_comes_from_the_option_table(self):
        english = send("--help")
        self.assertEqual(0, english.returncode)
        chinese = send("--help", "--lang", "zh")
        for option in ["--port", "--baud", "--data-bits", "--parity", "--stop-bits", "--lamp-test", "--interval",
                       "--interactive", "--lang", "--version", "--help"]:
            self.assertRegex(english.stdout, r"\n  %s " % option)
            self.assertRegex(chinese.stdout, r"\n  %s " % option)
        self.assertIn("用法：meruvia-send", chinese.stdout)
        self.assertRegex(send("--version").stdout, r"^meruvia-send \d+\.\d+\.\d+\.\d+\n$")


class Simulator(unittest.TestCase):
    """The display simulator's own options."""

    def test_counts_and_times_are_checked(self):
        cases = [
            (["--pty", "--frames", "2.5"], "'2.5' is not a valid value for --frames: a whole number from 1 to 1000000000"),
            (["--pty", "--frames", "0"], "'0' is not a valid value for --frames"),
            (["--pty", "--timeout", "99999999999"], "'99999999999' is not a valid value for --timeout"),
            (["--pty", "--timeout", "0.0001"], "'0.0001' is not a valid value for --timeout"),
            (["--pty", "--timeout", "-1"], "'-1' is not a valid value for --timeout"),
            (["--pty", "--device", "/dev/null"], "give either --device PATH or --pty"),
            (["--link", "/tmp/x"], "give either --device PATH or --pty"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                result = subprocess.run([DISPLAY, *args], capture_output=True, text=True, timeout=30)
                self.assertEqual(1, result.returncode, result.stderr)
                self.assertIn(message, result.stderr)

    def test_a_capture_from_standard_input_with_a_fractional_timeout(self):
        result = subprocess.run([DISPLAY, "--device", "-", "--log", "--timeout", "0.5"], input=b"=005.100xx=654.321",
                                capture_output=True, timeout=30)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(["001.500", "123.456"], re.findall(r"reading (\S+)", result.stdout.decode()))


if __name__ == "__main__":
    unittest.main(verbosity=2)
