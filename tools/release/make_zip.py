#!/usr/bin/env python3
"""Zips a folder the same way every time: entries in name order under one top folder, each
dated SOURCE_DATE_EPOCH, with fixed attributes, so two builds give the same bytes.

    make_zip.py <folder> <top folder name in the zip> <zip file>
"""
import os
import sys
import time
import zipfile

folder, top, out = sys.argv[1:4]
epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800)  # zip dates start in 1980
stamp = time.gmtime(epoch)[:6]

names = []
for root, dirs, files in os.walk(folder):
    dirs.sort()
    for name in files:
        names.append(os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/"))

with zipfile.ZipFile(out, "w") as z:
    for name in sorted(names):
        info = zipfile.ZipInfo(top + "/" + name, date_time=stamp)
        info.create_system = 0  # made on "Windows": no Unix owner or mode bits
        info.external_attr = 0x20  # archive
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join(folder, name), "rb") as f:
            z.writestr(info, f.read(), compresslevel=9)
