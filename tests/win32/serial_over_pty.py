#!/usr/bin/env python3
"""MERUVIA.DLL driving COM ports that Wine maps to pseudo-terminals.

A Windows stand-in for the host (driver_probe.exe) loads the DLL and is told what to do line
by line; this side holds the other end of each line, reads the frames that arrive and the
line settings the port was given.

    serial_over_pty.py <driver_probe.exe> <wine-run.sh> <wine prefix>
"""
import os
import select
import subprocess
import sys
import termios
import time
import unittest

PROBE, WINE_RUN, PREFIX = sys.argv[1:4]
del sys.argv[1:4]
# A test run may point the suite at another prefix (the 64-bit one) through the runner's variable.
PREFIX = os.environ.get("MERUVIA_WINEPREFIX") or PREFIX
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_line import Line, holders  # noqa: E402

# The frame for each value, from the display's worked examples.
FRAMES = [
    ("0", b"=000.000"),
    ("1.5", b"=005.100"),
    ("123.456", b"=654.321"),
    ("1.0625", b"=360.100"),
    ("12345", b"=000.543"),
    ("-0.0004", b"=000.00-"),
    ("-2.5625", b"=365.20-"),
    ("-9.9996", b"=000.01-"),
    ("-10", b"=000.01-"),
    ("-123.456", b"=654.321"),
    ("inf", b"=---.---"),
    ("nan", b"=---.---"),
]

WRITE_BOUND_MS = 8 * 60  # the write time-out of one frame
CMSPAR = getattr(termios, "CMSPAR", 0o10000000000)  # Linux's mark/space parity flag


class Probe:
    def __init__(self, *options):
        self.proc = subprocess.Popen(
            [WINE_RUN, PROBE, *options], cwd=os.path.dirname(PROBE), stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, text=True, bufsize=1)
        assert self.answer(60) == "ready"

    def answer(self, timeout=10):
        if not select.select([self.proc.stdout], [], [], timeout)[0]:
            raise AssertionError("the probe did not answer within %s s" % timeout)
        return self.proc.stdout.readline().strip()

    def ask(self, command, timeout=10):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        return self.answer(timeout).split()

    def close(self):
        try:
            self.proc.stdin.write("quit\n")
            self.proc.stdin.flush()
            self.proc.wait(30)
        except Exception:
            self.proc.kill()


class SerialOverPty(unittest.TestCase):
    def setUp(self):
        self.lines = []
        self.probes = []

    def tearDown(self):
        for probe in self.probes:
            probe.close()
        for line in self.lines:
            line.close()

    def line(self, com):
        line = Line(PREFIX, com)
        self.lines.append(line)
        return line

    def probe(self, *options):
        probe = Probe(*options)
        self.probes.append(probe)
        return probe

    def test_client_knowing_only_the_progid(self):
        dll = os.path.join(os.path.dirname(PROBE), "MERUVIA.DLL")
        subprocess.run([WINE_RUN, "regsvr32", "/s", dll], check=True, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        line = self.line("COM20")
        probe = self.probe("--progid")
        self.assertEqual(["parse", "0"], probe.ask("parse N 80"))
        self.assertEqual(["parse", "1"], probe.ask("parse X 80"))
        self.assertEqual(["open", "1"], probe.ask("open COM20 9600 8 1 0"))
        self.assertEqual("1", probe.ask("write 123.456")[1])
        self.assertEqual(b"=654.321", line.read(8))
        self.assertEqual(["close", "1"], probe.ask("close"))

    def test_frames_arrive_for_each_value(self):
        line = self.line("COM11")
        probe = self.probe()
        self.assertEqual(["open", "1"], probe.ask("open COM11 9600 8 1 0"))
        for value, frame in FRAMES:
            with self.subTest(value=value):
                self.assertEqual("1", probe.ask("write " + value)[1])
                self.assertEqual(frame, line.read(8))
        self.assertEqual("1", probe.ask("idle 5")[1])
        self.assertEqual(b"", line.read(1, timeout=0.3), "a kind-0 block sends nothing")

    def test_line_settings(self):
        # The pty driver forces 8 data bits and clears PARENB, so of the format a pty keeps
        # the speed, the stop bits and the parity kind.
        cases = [
            ("9600 8 1 0", termios.B9600, False, 0),
            ("19200 7 2 2", termios.B19200, True, 0),
            ("115200 8 1 1", termios.B115200, False, termios.PARODD),
            ("4800 8 1 3", termios.B4800, False, termios.PARODD | CMSPAR),
            ("2400 8 2 4", termios.B2400, True, CMSPAR),
            ("9600 8 0 0", termios.B9600, False, 0),
            ("9600 8 3 0", termios.B9600, False, 0),
            ("9600 8 -1 0", termios.B9600, False, 0),
        ]
        line = self.line("COM12")
        probe = self.probe()
        for settings, speed, two_stop_bits, parity_kind in cases:
            with self.subTest(settings=settings):
                self.assertEqual(["open", "1"], probe.ask("open COM12 " + settings))
                cflag, ospeed = line.settings()
                self.assertEqual(speed, ospeed)
                self.assertEqual(two_stop_bits, bool(cflag & termios.CSTOPB))
                self.assertEqual(parity_kind, cflag & (termios.PARODD | CMSPAR))
                self.assertEqual(["close", "1"], probe.ask("close"))

    def test_missing_port_leaves_the_held_port_alone(self):
        line = self.line("COM13")
        probe = self.probe()
        self.assertEqual(["open", "1"], probe.ask("open COM13 9600 8 1 0"))
        self.assertEqual(["open", "0"], probe.ask("open COM97 9600 8 1 0"))
        self.assertEqual("1", probe.ask("write 1.5")[1])
        self.assertEqual(b"=005.100", line.read(8))

    def test_stalled_display_never_hangs_the_caller(self):
        self.line("COM14")  # nobody reads it
        probe = self.probe()
        self.assertEqual(["open", "1"], probe.ask("open COM14 9600 8 1 0"))
        slowest = 0
        for i in range(20000):
            _, result, ms = probe.ask("write 1.5")
            slowest = max(slowest, int(ms))
            if result == "0":
                break
        print("stalled after %d frames; slowest write %d ms" % (i, slowest), file=sys.stderr)
        self.assertEqual("0", result, "a frame that could not go out whole must be reported")
        self.assertLessEqual(slowest, WRITE_BOUND_MS + 300)
        # Nor does it give up early: a display that is merely slow must get its frame.
        self.assertGreaterEqual(int(ms), 0.8 * WRITE_BOUND_MS, "the failing write waited its time-out")

    def test_opening_clears_what_waits_on_the_line(self):
        line = self.line("COM28")
        os.write(line.master, b"stale bytes from the display side")
        deadline = time.monotonic() + 2
        while line.pending_at_port() == 0 and time.monotonic() < deadline:
            time.sleep(0.01)
        self.assertGreater(line.pending_at_port(), 0)
        probe = self.probe()
        self.assertEqual(["open", "1"], probe.ask("open COM28 9600 8 1 0"))
        self.assertEqual(0, line.pending_at_port(), "bytes received before the open are dropped")

    def test_refused_settings_leave_the_port_closed(self):
        # A device that opens but is no serial line refuses every setting, as a port
        # refuses one it cannot do.
        device = os.path.join(os.path.dirname(PREFIX), "not-a-serial-line")
        with open(device, "wb"):
            pass
        link = os.path.join(PREFIX, "dosdevices", "com29")
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(device, link)
        self.addCleanup(os.unlink, link)
        probe = self.probe()
        self.assertEqual(["open", "0"], probe.ask("open COM29 9600 8 1 0"))
        self.assertEqual(0, holders(device), "nothing may still hold the line")

    # On a line that takes every setting it knows, a setting the host has no code for is
    # still refused, before the port is touched.
    def test_settings_no_port_takes_are_refused_on_a_working_line(self):
        line = self.line("COM30")
        probe = self.probe()
        for settings in ["9600 9 1 0", "9600 4 1 0", "9600 8 1 5", "9600 8 1 255"]:
            with self.subTest(settings=settings):
                self.assertEqual(["open", "0"], probe.ask("open COM30 " + settings))
                self.assertEqual(0, line.holders(), "nothing may hold the line")
        self.assertEqual(["open", "1"], probe.ask("open COM30 9600 8 1 0"), "the line itself works")

    def test_closed_far_end_fails_cleanly(self):
        line = self.line("COM15")
        probe = self.probe()
        self.assertEqual(["open", "1"], probe.ask("open COM15 9600 8 1 0"))
        line.close_master()
        _, result, ms = probe.ask("write 1.5")
        self.assertEqual("0", result)
        self.assertLessEqual(int(ms), WRITE_BOUND_MS + 300)
        self.assertEqual(["close", "1"], probe.ask("close"))

    def test_far_end_closing_in_the_middle_of_a_stream(self):
        line = self.line("COM25")
        probe = self.probe()
        self.assertEqual(["open", "1"], probe.ask("open COM25 115200 8 1 0"))
        for i in range(20):
            self.assertEqual("1", probe.ask("write %d" % i)[1])
        self.assertEqual(20 * 8, len(line.read(20 * 8)))
        line.close_master()
        for i in range(20):
            _, result, ms = probe.ask("write %d" % i)
            self.assertEqual("0", result)
            self.assertLessEqual(int(ms), WRITE_BOUND_MS + 300)
        self.assertEqual(["close", "1"], probe.ask("close"))
        self.assertEqual(0, line.holders())

    def test_port_vanishing_after_it_was_opened(self):
        line = self.line("COM26")
        probe = self.probe()
        self.assertEqual(["open", "1"], probe.ask("open COM26 9600 8 1 0"))
        os.unlink(line.link)
        os.symlink("/nonexistent/serial-device", line.link)
        line.close_master()
        _, result, ms = probe.ask("write 1.5")
        self.assertEqual("0", result)
        self.assertLessEqual(int(ms), WRITE_BOUND_MS + 300)
        self.assertEqual(["close", "1"], probe.ask("close"))
        self.assertEqual(0, line.holders())
        self.assertEqual(["open", "0"], probe.ask("open COM26 9600 8 1 0"), "the port is gone")

    def test_adopted_port_is_written_and_closed_by_close_port(self):
        line = self.line("COM16")
        probe = self.probe()
        self.assertEqual(["adopt", "1"], probe.ask("adopt COM16"))
        self.assertEqual("1", probe.ask("write -12.5")[1])
        self.assertEqual(b"=005.21-", line.read(8))
        self.assertGreater(line.holders(), 0)
        self.assertEqual(["close", "1"], probe.ask("close"))
        self.assertEqual(0, line.holders(), "ClosePort closes the handle it was given")

    # Wine does not refuse a second open of a COM port as Windows does, so whether a port
    # is still open is read from the Linux side: who holds a descriptor of the line.
    def test_ports_the_driver_opened_are_not_leaked(self):
        first, second, third = self.line("COM17"), self.line("COM18"), self.line("COM19")
        probe = self.probe()
        self.assertEqual(["open", "1"], probe.ask("open COM17 9600 8 1 0"))
        self.assertGreater(first.holders(), 0)
        # A successful open replaces the port the driver opened before, and closes it.
        self.assertEqual(["open", "1"], probe.ask("open COM18 9600 8 1 0"))
        self.assertEqual(0, first.holders())
        self.assertGreater(second.holders(), 0)
        # A failed open leaves it as it is.
        self.assertEqual(["open", "0"], probe.ask("open COM97 9600 8 1 0"))
        self.assertGreater(second.holders(), 0)
        # A handed-over port replaces it too, and closes it.
        self.assertEqual(["adopt", "1"], probe.ask("adopt COM19"))
        self.assertEqual(0, second.holders())
        # Releasing the object leaves a handed-over port to the host...
        self.assertEqual(["release"], probe.ask("release"))
        self.assertGreater(third.holders(), 0)
        # ...but closes one the driver opened itself.
        other = self.probe()
        self.assertEqual(["open", "1"], other.ask("open COM17 9600 8 1 0"))
        self.assertGreater(first.holders(), 0)
        self.assertEqual(["release"], other.ask("release"))
        self.assertEqual(0, first.holders())


if __name__ == "__main__":
    unittest.main(verbosity=2)
