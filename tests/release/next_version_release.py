#!/usr/bin/env python3
"""The next release, as a maintainer makes it: a clone of this commit with the version
changed in the one place it is set (the project line of CMakeLists.txt), built by
tools/release.sh. Its files must carry the new version everywhere: the names in dist/ and
the versions of the driver, the tool and the installer. The install test upgrades to it.

    next_version_release.py <source checkout> <folder for the clone>
"""
import os
import re
import shutil
import subprocess
import sys
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "shared"))
from pe_version import file_version  # noqa: E402

SOURCE, CLONE = sys.argv[1:3]
del sys.argv[1:3]


class NextVersion(unittest.TestCase):
    def test_version_changed_in_one_place(self):
        shutil.rmtree(CLONE, ignore_errors=True)
        subprocess.run(["git", "clone", "-q", SOURCE, CLONE], check=True)
        cmakelists = os.path.join(CLONE, "CMakeLists.txt")
        with open(cmakelists, encoding="utf-8") as f:
            text = f.read()
        current = re.search(r"project\(meruvia VERSION (\d+)\.(\d+)\.(\d+)\.(\d+)", text)
        self.assertIsNotNone(current, "the version is set on the project line")
        parts = [int(p) for p in current.groups()]
        parts[3] += 1
        nxt = ".".join(map(str, parts))
        with open(cmakelists, "w", encoding="utf-8") as f:
            f.write(text.replace(current.group(0), "project(meruvia VERSION " + nxt))
        env = {k: v for k, v in os.environ.items() if not k.startswith("MERUVIA_SIGN")}
        env.pop("SOURCE_DATE_EPOCH", None)
        result = subprocess.run(["bash", "tools/release.sh"], cwd=CLONE, env=env, capture_output=True,
                                text=True, timeout=500)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)

        dist = os.path.join(CLONE, "dist")
        self.assertEqual(sorted(["SHA256SUMS", "meruvia-%s-setup.exe" % nxt, "meruvia-%s-win32.zip" % nxt]),
                         sorted(os.listdir(dist)))
        with open(os.path.join(dist, "meruvia-%s-setup.exe" % nxt), "rb") as f:
            self.assertEqual(nxt, file_version(f.read()), "the installer's version")
        with zipfile.ZipFile(os.path.join(dist, "meruvia-%s-win32.zip" % nxt)) as z:
            for name in ["MERUVIA.DLL", "meruvia-host.exe", "meruvia-display.exe"]:
                self.assertEqual(nxt, file_version(z.read("meruvia-%s/%s" % (nxt, name))), name)
            self.assertIn(nxt.encode(), z.read("meruvia-%s/meruvia-host.exe" % nxt),
                          "the tool expects the driver of its own version")


if __name__ == "__main__":
    unittest.main(verbosity=2)
