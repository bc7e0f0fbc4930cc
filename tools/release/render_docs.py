#!/usr/bin/python3
"""Turns a user's guide in Markdown into one HTML page that any Windows browser opens,
with nothing else needed: UTF-8, styles inside, links to the other guide kept working.

    render_docs.py <guide.md> <guide.html>
"""
import html
import re
import sys

import markdown

# The guides link to each other by their Markdown names; the release holds them rendered,
# side by side in docs\ under these names (tools/release.sh, installer.nsi).
HTML_NAMES = {
    "README.md": "README.html",
    "README.zh-CN.md": "README.zh-CN.html",
}


def rewrite_link(match):
    """href="README.zh-CN.md#part" becomes href="README.zh-CN.html#part"."""
    target = html.unescape(match.group(2))
    path, hash_mark, fragment = target.partition("#")
    name = path[2:] if path.startswith("./") else path
    if name in HTML_NAMES:
        target = HTML_NAMES[name] + hash_mark + fragment
    elif re.search(r"\.md$", path, re.I) and not re.match(r"[a-z][a-z0-9+.-]*:", path, re.I):
        # Any other Markdown file is not in the release: the link would be dead there.
        sys.exit(f"render_docs: {source} links to {path}, which the release does not hold")
    return match.group(1) + html.escape(target, quote=True) + match.group(3)


source, target = sys.argv[1:3]
with open(source, encoding="utf-8") as f:
    text = f.read()
title = re.search(r"^# (.+)$", text, re.M).group(1)
body = markdown.markdown(text, extensions=["tables", "fenced_code"])
# Only the links themselves change, never text or code that happens to name a .md file.
body = re.sub(r'(<a\b[^>]*?\bhref=")([^"]*)(")', rewrite_link, body)
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
