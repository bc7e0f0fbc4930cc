"""The display simulator (meruvia-display) on a pseudo-terminal of its own, as every Python
test drives it: the test sends frames to the line, and readings() waits for the simulator
to finish and gives what the display showed."""
import subprocess

# What the lamp test shows, frame by frame.
LAMP_READINGS = ["888.888", "000.000", "111.111", "222.222", "333.333", "444.444", "555.555",
                 "666.666", "777.777", "888.888", "999.999", "123.456", "---.---"]


class DisplaySimulator:
    """Runs until it has shown `frames` frames or `timeout` seconds passed without one. With
    `link`, the line is also reachable through that symbolic link (a Wine prefix's COM
    port); its path is in `path` either way."""

    def __init__(self, display, frames, link=None, timeout=30):
        args = [display, "--pty", "--log", "--frames", str(frames), "--timeout", str(timeout)]
        if link is not None:
            args += ["--link", link]
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        first = self.proc.stdout.readline()
        assert first.startswith("listening on "), first
        # "listening on /dev/pts/N", then " (linked from LINK)" when there is a link.
        self.path = first.split("listening on ")[1].split(" (linked from ")[0].strip()

    def finish(self, timeout=60):
        """The simulator's log lines and its error output, once it has ended."""
        out, err = self.proc.communicate(timeout=timeout)
        return out.splitlines(), err

    def readings(self, timeout=60):
        lines, _ = self.finish(timeout)
        return readings(lines)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.communicate()


def readings(lines):
    """The readings in the simulator's log lines."""
    return [line.split("reading ")[1] for line in lines if " reading " in line]
