#!/usr/bin/env python3
"""The soak: one driver object under Wine sends millions of frames to the display
simulator, about four months of one update a second at 10 million. Every frame the
simulator reads is checked against the reading worked out here independently, and the
process's next handle value, heap in use and working set are sampled as it goes.

    soak.py <load_probe.exe> <meruvia-display> <wine-run.sh> <wine prefix> [frames]
"""
import os
import subprocess
import sys
import threading
import time
from decimal import ROUND_HALF_UP, Decimal
from fractions import Fraction

PROBE, DISPLAY, WINE_RUN, PREFIX = sys.argv[1:5]
FRAMES = int(sys.argv[5]) if len(sys.argv) > 5 else 10_000_000
EVERY = max(FRAMES // 50, 1)
COM = "COM44"


def nearest_float32(q):
    """The single-precision value nearest to the rational q, ties to even (what the probe's
    float division gives)."""
    if q == 0:
        return Fraction(0)
    sign = -1 if q < 0 else 1
    q = abs(q)
    e = q.numerator.bit_length() - q.denominator.bit_length()
    if Fraction(2) ** e > q:
        e -= 1
    scaled = q / Fraction(2) ** (e - 23)  # in [2^23, 2^24)
    m = scaled.numerator // scaled.denominator
    rest = scaled - m
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and m % 2 == 1):
        m += 1
    return sign * Fraction(m) * Fraction(2) ** (e - 23)


def expected_reading(i):
    k = (i % 1099999) - 99999
    v = nearest_float32(Fraction(k, 1000))
    d = (Decimal(v.numerator) / Decimal(v.denominator)).quantize(Decimal("0.001"), rounding=ROUND_HALF_UP)
    if v < 0 and d != 0:
        return "-%06.3f" % abs(d)  # "-0" or "-" before the magnitude: the same seven characters
    return "%07.3f" % abs(d)


def main():
    link = os.path.join(PREFIX, "dosdevices", COM.lower())
    display = subprocess.Popen([DISPLAY, "--pty", "--link", link, "--log", "--frames", str(FRAMES),
                                "--timeout", "60"], stdout=subprocess.PIPE, text=True, bufsize=1 << 20)
    assert display.stdout.readline().startswith("listening on ")
    checked = {"frames": 0, "wrong": 0, "first_wrong": None}

    def check():
        cache = {}
        for line in display.stdout:
            if " reading " not in line:
                continue
            i = checked["frames"]
            key = i % 1099999
            want = cache.get(key)
            if want is None:
                want = expected_reading(i)
                if len(cache) < 1200000:
                    cache[key] = want
            got = line.rsplit("reading ", 1)[1].strip()
            if got != want:
                checked["wrong"] += 1
                if checked["first_wrong"] is None:
                    checked["first_wrong"] = (i, want, got)
            checked["frames"] += 1

    checker = threading.Thread(target=check, daemon=True)
    checker.start()
    start = time.monotonic()
    probe = subprocess.Popen([WINE_RUN, PROBE, "soak", COM[3:], str(FRAMES), str(EVERY)],
                             cwd=os.path.dirname(PROBE), stdout=subprocess.PIPE, text=True,
                             stdin=subprocess.DEVNULL)
    samples = []
    result = None
    for line in probe.stdout:
        parts = line.split()
        if parts and parts[0] == "sample":
            samples.append(tuple(int(x) for x in parts[1:]))
            n, handle, heap, ws = samples[-1]
            print("%10d frames  %6.0f s  next handle 0x%x  heap %d KB  working set %d KB  checked %d" % (
                n, time.monotonic() - start, handle, heap, ws, checked["frames"]), flush=True)
        elif parts and parts[0] == "soak":
            result = (int(parts[1]), int(parts[2]))
        else:
            print(line.rstrip(), flush=True)
    probe.wait()
    display.wait(timeout=120)
    checker.join(timeout=120)
    if os.path.lexists(link):
        os.unlink(link)
    elapsed = time.monotonic() - start

    print("sent %d frames in %.0f s (%.1f us a frame); failed writes: %d" % (
        result[0], elapsed, elapsed / result[0] * 1e6, result[1]) if result else "the probe did not finish")
    print("the display read %d frames, %d of them not the expected reading%s" % (
        checked["frames"], checked["wrong"],
        "" if checked["first_wrong"] is None else " (first: frame %d, expected %s, read %s)" % checked["first_wrong"]))
    if samples:
        first, last = samples[0], samples[-1]
        print("next handle 0x%x -> 0x%x; heap %d -> %d KB; working set %d -> %d KB (max %d KB)" % (
            first[1], last[1], first[2], last[2], first[3], last[3], max(s[3] for s in samples)))
    ok = result is not None and result[1] == 0 and checked["frames"] == FRAMES and checked["wrong"] == 0 \
        and samples and samples[-1][1] == samples[0][1] and samples[-1][2] <= samples[0][2]
    print("soak: %s" % ("passed" if ok else "FAILED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
