#!/usr/bin/python3
"""Checks that what an integrator copies from the documents arrives whole.

  test_docs.py man PAGE...      renders each man page with man(1) at 60 and 80 columns: every
                                line of a no-fill block (.EX/.EE, .nf/.fi) and every bold
                                command of more than one word stays on one line, no line is
                                wider than the page, and troff warns of nothing.
  test_docs.py markdown FOLDER  no source line of a paragraph in a Markdown file under FOLDER
                                ends with a Chinese character when the next begins with one:
                                viewers join the two with a space.
"""

import os
import re
import subprocess
import sys
import unicodedata
import unittest

WIDTHS = (60, 80)


def is_chinese(char):
    """A Han character or a full-width punctuation mark."""
    return unicodedata.east_asian_width(char) in "WF" and not char.isspace()


def display_width(line):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 0 if unicodedata.combining(c) else 1 for c in line)


ROFF_ESCAPES = [
    (re.compile(r"\\f(\[[^]]*\]|.)"), ""),
    (re.compile(r"\\[&%:]"), ""),
    (re.compile(r"\\\(aq|\\\[aq\]"), "'"),
    (re.compile(r"\\\(dq|\\\[dq\]"), '"'),
    (re.compile(r"\\\(ti|\\\[ti\]"), "~"),
    (re.compile(r"\\\(ha|\\\[ha\]"), "^"),
    (re.compile(r"\\\(ga|\\\[ga\]"), "`"),
    (re.compile(r"\\-"), "-"),
    (re.compile(r"\\[~ ]"), " "),
    (re.compile(r"\\e"), "\\\\"),
]


def plain(roff):
    """What a piece of roff source prints as, for the escapes these pages use."""
    for pattern, text in ROFF_ESCAPES:
        roff = pattern.sub(text, roff)
    return roff


def macro_arguments(text):
    return [a if a[:1] != '"' else a[1:-1] for a in re.findall(r'"[^"]*"?|\S+', text)]


def commands(source):
    """The lines of no-fill blocks, and the bold runs of more than one word, of a page."""
    block_lines, bold = [], []
    no_fill = False
    for line in source.splitlines():
        request = re.match(r"\.\s*(\w+)\s*(.*)", line)
        name = request.group(1) if request else None
        if name in ("EX", "nf"):
            no_fill = True
        elif name in ("EE", "fi"):
            no_fill = False
        elif no_fill and not request:
            block_lines.append(plain(line))
        elif name == "B":
            bold.append(" ".join(macro_arguments(request.group(2))))
        elif name in ("BR", "BI", "RB", "IB"):
            first = 0 if name[0] == "B" else 1
            bold += macro_arguments(request.group(2))[first::2]
        if not request:
            bold += re.findall(r"\\fB(.*?)\\f[RPI]", line)
    return block_lines, [b for b in map(plain, bold) if " " in b.strip()]


def render(page, width):
    env = {k: v for k, v in os.environ.items() if not k.startswith(("MAN", "LC_", "LANG", "GROFF"))}
    env.update(LC_ALL="C.UTF-8", MANWIDTH=str(width))
    done = subprocess.run(["man", "--warnings", "-l", page], env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, universal_newlines=True, check=True)
    return done.stdout.splitlines(), done.stderr


def squeezed(text):
    return " ".join(text.split())


class ManPages(unittest.TestCase):
    pages = []

    def test_commands_whole_and_lines_within_width(self):
        for page in self.pages:
            with open(page, encoding="utf-8") as file:
                block_lines, bold = commands(file.read())
            self.assertTrue(block_lines, page + " shows no command in a no-fill block")
            for width in WIDTHS:
                with self.subTest(page=os.path.basename(page), width=width):
                    lines, warnings = render(page, width)
                    # groff 1.23 (Debian 13) also says where it could not justify a line: a
                    # looser line, neither split nor wider than the page, which is checked below.
                    warnings = [line for line in warnings.splitlines() if not line.endswith("cannot adjust line")]
                    self.assertEqual(warnings, [])
                    rendered = [line.strip() for line in lines]
                    for block_line in block_lines:
                        self.assertIn(block_line.strip(), rendered, "split or changed")
                    joined = [squeezed(line) for line in lines]
                    for run in bold:
                        self.assertTrue(any(squeezed(run) in line for line in joined), "split: " + run)
                    wide = [line for line in lines if display_width(line) > width]
                    self.assertEqual(wide, [])


def markdown_files(root):
    """The Markdown sources under root, leaving out hidden and build folders."""
    for folder, subfolders, names in os.walk(root):
        subfolders[:] = sorted(s for s in subfolders if not s.startswith(".")
                               and not os.path.exists(os.path.join(folder, s, "CMakeCache.txt")))
        for name in sorted(names):
            if name.endswith(".md"):
                yield os.path.join(folder, name)


class Markdown(unittest.TestCase):
    root = "."

    def test_no_line_break_between_chinese_characters(self):
        files = list(markdown_files(self.root))
        self.assertTrue(files)
        for path in files:
            with open(path, encoding="utf-8") as file:
                lines = file.read().splitlines()
            fenced = False
            breaks = []
            for number, (line, following) in enumerate(zip(lines, lines[1:]), 1):
                if line.lstrip().startswith("```"):
                    fenced = not fenced
                end, start = line.rstrip()[-1:], following.lstrip()[:1]
                if not fenced and end and start and is_chinese(end) and is_chinese(start):
                    breaks.append("%s:%d" % (path, number))
            with self.subTest(path=path):
                self.assertEqual(breaks, [])


if __name__ == "__main__":
    kind, paths = sys.argv[1], sys.argv[2:]
    case = {"man": ManPages, "markdown": Markdown}[kind]
    if kind == "man":
        case.pages = paths
    else:
        case.root = paths[0]
    unittest.main(argv=[sys.argv[0], case.__name__], verbosity=2)
