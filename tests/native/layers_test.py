#!/usr/bin/env python3
"""The include check over the source tree, and over a small tree that breaks it.

    layers_test.py <source root>
"""
import os
import sys
import tempfile
import unittest

ROOT = sys.argv[1]
del sys.argv[1:2]
sys.path.insert(0, os.path.join(ROOT, "tools"))
import check_layers  # noqa: E402


class Layers(unittest.TestCase):
    def test_source_tree_points_one_way(self):
        self.assertEqual([], check_layers.breaks(ROOT))

    def test_includes_up_and_sideways_are_found(self):
        files = {
            "addressing/parser.h": '#include "host/host_records.h"\n#include "driver/meruvia_pro.h"\n',
            "display/frame.h": '#include "serial/serial_link.h"\n',
            "driver/object.cpp": '#include "addressing/parser.h"\n#include "driver/object.h"\n',
            "module/dll.cpp": '#include "driver/object.h"\n#include <windows.h>\n',
            "host/records.h": '#  include "module/dll.h"\n',
        }
        with tempfile.TemporaryDirectory() as root:
            for name, text in files.items():
                os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
                with open(os.path.join(root, name), "w") as f:
                    f.write(text)
            found = check_layers.breaks(root)
        self.assertEqual(3, len(found), found)
        self.assertTrue(any("addressing/parser.h:2" in line and "driver/" in line for line in found))
        self.assertTrue(any("display/frame.h:1" in line and "serial/" in line for line in found))
        self.assertTrue(any("host/records.h:1" in line for line in found))


if __name__ == "__main__":
    unittest.main(verbosity=2)
