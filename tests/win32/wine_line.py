"""Plumbing shared by the Python tests that run Windows programs under Wine: a serial line
made of a pseudo-terminal that the prefix maps to a COM port, the display simulator on
such a line, and a locale that makes Wine run programs as on a Chinese Windows (code page
936)."""
import fcntl
import os
import select
import struct
import subprocess
import termios
import time
import sys
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "shared"))
from display_simulator import DisplaySimulator  # noqa: E402


def holders(target):
    """How many open descriptors of other processes (Wine's) refer to the file."""
    count = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        if int(pid) == os.getpid():
            continue
        try:
            fds = os.listdir("/proc/%s/fd" % pid)
        except OSError:
            continue
        for fd in fds:
            try:
                if os.readlink("/proc/%s/fd/%s" % (pid, fd)) == target:
                    count += 1
            except OSError:
                pass
    return count


class Line:
    """A pseudo-terminal pair; COMn in the prefix points at its slave, this side reads the
    master."""

    def __init__(self, prefix, com):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        self.path = os.ttyname(self.slave)
        self.link = os.path.join(prefix, "dosdevices", com.lower())
        if os.path.lexists(self.link):
            os.unlink(self.link)
        os.symlink(self.path, self.link)

    def read(self, count, timeout=3.0):
        got = b""
        deadline = time.monotonic() + timeout
        while len(got) < count:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.master], [], [], left)[0]:
                break
            got += os.read(self.master, count - len(got))
        return got

    def holders(self):
        """How many open descriptors of other processes (Wine's) refer to the line."""
        return holders(self.path)

    def settings(self):
        """The line's control flags and output speed, as the port set them."""
        iflag, oflag, cflag, lflag, ispeed, ospeed, cc = termios.tcgetattr(self.slave)
        return cflag, ospeed

    def pending_at_port(self):
        """Bytes that arrived at the port's end and were not read."""
        return struct.unpack("i", fcntl.ioctl(self.slave, termios.FIONREAD, b"\0\0\0\0"))[0]

    def close_master(self):
        """The far end goes away."""
        if self.master is not None:
            os.close(self.master)
            self.master = None

    def close(self):
        self.close_master()
        os.close(self.slave)
        if os.path.lexists(self.link):
            os.unlink(self.link)


def display_on_com(display, prefix, com, frames):
    """The display simulator on a line the prefix maps to COMn."""
    return DisplaySimulator(display, frames, link=os.path.join(prefix, "dosdevices", com.lower()))


def map_com(prefix, com, target):
    """Points COMn of the prefix at any Linux path (a missing one, or one that refuses)."""
    link = os.path.join(prefix, "dosdevices", com.lower())
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(target, link)
    return link


def chinese_locale_env(folder):
    """Environment under which Wine runs programs with code page 936 and a Chinese user
    interface, built into folder without touching the system's locales."""
    locales = os.path.join(folder, "locales")
    if not os.path.isdir(os.path.join(locales, "zh_CN.UTF-8")):
        os.makedirs(locales, exist_ok=True)
        subprocess.run(["localedef", "-i", "zh_CN", "-f", "UTF-8", os.path.join(locales, "zh_CN.UTF-8")],
                       check=False, capture_output=True)
    env = dict(os.environ)
    env.update(LANG="zh_CN.UTF-8", LC_ALL="zh_CN.UTF-8", LOCPATH=locales)
    return env
