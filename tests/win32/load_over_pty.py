#!/usr/bin/env python3
"""MERUVIA.DLL under load: many driver objects each on its own line, and a long run of
create, open, write, close and release with the process's handles and memory watched.

    load_over_pty.py <load_probe.exe> <wine-run.sh> <wine prefix> [cycles]

MERUVIA_LOAD_CYCLES, where set, is the number of cycles instead.
"""
import os
import select
import subprocess
import sys
import threading
import unittest

PROBE, WINE_RUN, PREFIX = sys.argv[1:4]
CYCLES = int(sys.argv[4]) if len(sys.argv) > 4 and sys.argv[4].isdigit() else 100000
# A slow machine (an emulated one) may ask for fewer.
CYCLES = int(os.environ.get("MERUVIA_LOAD_CYCLES", CYCLES))
del sys.argv[1:]
# A test run may point the suite at another prefix (the 64-bit one) through the runner's variable.
PREFIX = os.environ.get("MERUVIA_WINEPREFIX") or PREFIX
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_line import Line  # noqa: E402


class Lines:
    """Pseudo-terminals mapped to COM ports, drained by a thread into one buffer each."""

    def __init__(self, first_com, count):
        self.lines = [Line(PREFIX, "COM%d" % (first_com + i)) for i in range(count)]
        self.received = [bytearray() for _ in range(count)]
        self.stop = False
        self.thread = threading.Thread(target=self._drain, daemon=True)
        self.thread.start()

    def _drain(self):
        masters = {line.master: i for i, line in enumerate(self.lines)}
        while not self.stop:
            ready, _, _ = select.select(list(masters), [], [], 0.2)
            for m in ready:
                try:
                    self.received[masters[m]] += os.read(m, 65536)
                except OSError:
                    pass

    def settle(self):
        """Waits until nothing more arrives."""
        while True:
            before = sum(map(len, self.received))
            select.select([], [], [], 0.5)
            if sum(map(len, self.received)) == before:
                return

    def close(self):
        self.stop = True
        self.thread.join()
        for line in self.lines:
            line.close()


def run_probe(*args, timeout=900):
    return subprocess.run([WINE_RUN, PROBE, *map(str, args)], cwd=os.path.dirname(PROBE),
                          capture_output=True, text=True, timeout=timeout, stdin=subprocess.DEVNULL)


def frame(reading):
    return b"=" + reading[::-1].encode()


class Load(unittest.TestCase):
    def test_every_frame_arrives_on_its_own_line(self):
        count, rounds, first = 64, 50, 30
        lines = Lines(first, count)
        try:
            result = run_probe("lines", first, count, rounds)
            self.assertEqual("lines 0", result.stdout.strip(), result.stderr)
            deadline_reads = 0
            while deadline_reads < 50 and any(len(r) < rounds * 8 for r in lines.received):
                select.select([], [], [], 0.1)
                deadline_reads += 1
        finally:
            lines.close()
        for i in range(count):
            expected = b"".join(frame("%03d.%03d" % (i, r)) for r in range(rounds))
            self.assertEqual(expected, bytes(lines.received[i]), "line %d" % i)

    def test_long_run_keeps_handles_and_memory_flat(self):
        lines = Lines(24, 1)
        try:
            result = run_probe("cycles", 24, CYCLES)
            lines.settle()
        finally:
            lines.close()
        fields = result.stdout.split()
        self.assertEqual("cycles", fields[0], result.stdout + result.stderr)
        cycles, failures, handle_early, handle_end, kb_early, kb_end = map(int, fields[1:])
        print("%d cycles: next handle %#x -> %#x, heap in use %d KB -> %d KB"
              % (cycles, handle_early, handle_end, kb_early, kb_end), file=sys.stderr)
        self.assertEqual(0, failures)
        self.assertGreater(handle_early, 0)
        self.assertLessEqual(handle_end - handle_early, 2 * 4, "handles leak")
        self.assertGreater(kb_early, 0)
        self.assertLessEqual(kb_end - kb_early, 64, "memory grows")
        # Each open clears the port's queues, so a frame the previous cycle wrote but the
        # line had not taken yet may be dropped, whole. What arrives must be whole frames
        # of the values sent, in order.
        data = bytes(lines.received[0])
        self.assertTrue(data.startswith(b"="))
        frames = data[1:].split(b"=")
        values = iter(range(1, cycles + 1))
        for f in frames:
            self.assertEqual(7, len(f), "a broken frame: %r" % f)
            self.assertTrue(any(frame("%03d.000" % (c % 1000)) == b"=" + f for c in values),
                            "frame %r out of order" % f)
        print("%d of %d frames arrived" % (len(frames), cycles), file=sys.stderr)
        # How many the purges drop depends on how fast this side reads; the last frame has
        # no open after it, so it always arrives.
        self.assertEqual(frame("%03d.000" % (cycles % 1000)), b"=" + frames[-1])
        self.assertGreaterEqual(len(frames), cycles // 2)


if __name__ == "__main__":
    unittest.main(verbosity=2)
