#!/usr/bin/python3
"""Turns a user's guide in Markdown into one HTML page that any Windows browser opens,
with nothing else needed: UTF-8, styles inside, links to the other guide kept working.

    render_docs.py <guide.md> <guide.html>
"""
import html
import re
import sys

import markdown

source, target = sys.argv[1:3]
with open(source, encoding="utf-8") as f:
    text = f.read()
title = re.search(r"^# (.+)$", text, re.M).group(1)
# The guides link to each other as .md; in the release they are .html side by side.
text = re.sub(r"\]\(([^)]+)\.md\)", r"](\1.html)", text)
body = markdown.markdown(text, extensions=["tables", "fenced_code"])
lang = "zh-CN" if ".zh-CN." in source else "en"
page = f"""<!DOCTYPE html>
<html lang="{lang}">
<head>
<meta charset="utf-8">
<title>{html.escape(title)}</title>
<style>
body {{ font-family: "Segoe UI", "Microsoft YaHei", sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em; line-height: 1.5; }}
table {{ border-collapse: collapse; }}
th, td {{ border: 1px solid #bbb; padding: 0.3em 0.6em; text-align: left; vertical-align: top; }}
pre {{ background: #f4f4f4; padding: 0.6em; overflow-x: auto; }}
code {{ font-family: Consolas, "Courier New", monospace; }}
</style>
</head>
<body>
{body}
</body>
</html>
"""
with open(target, "w", encoding="utf-8", newline="\r\n") as f:
    f.write(page)
