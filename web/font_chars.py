#!/usr/bin/env python3
"""Prints every character the game can show: those in the content sources (assets/) and in
the program's own texts (src/), with ASCII, the kana and the full-width forms besides.
The web build keeps only these in its copy of IPAGothic.  font_chars.py REPO_ROOT"""
import pathlib
import sys
import unicodedata

root = pathlib.Path(sys.argv[1])
chars = set(chr(c) for c in range(0x20, 0x7F))
for lo, hi in ((0x3000, 0x30FF), (0xFF01, 0xFF9F), (0xFFE0, 0xFFEE)):
    chars.update(chr(c) for c in range(lo, hi + 1))
for top in ('assets', 'src'):
    for path in sorted((root / top).rglob('*')):
        if path.is_file() and path.suffix != '.md':
            try:
                chars.update(path.read_text(encoding='utf-8'))
            except (UnicodeDecodeError, OSError):
                pass
# Spaces count (the ideographic one has a glyph); control characters do not.
print(''.join(sorted(c for c in chars if not unicodedata.category(c).startswith('C'))))
