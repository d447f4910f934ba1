#!/usr/bin/env python3
"""The longest production files and functions of the tree.

Usage: tools/sizes.py [--files N] [--functions N] [--over LINES] [ROOT]

Production files are the .cpp and .h files of the libraries, the program and
the tools (tests/ and the build folders are left out). A function is a
definition whose body starts with "{" at the end of a line at namespace or
class level; its length counts the lines from its first line to the line of
its closing brace, found by matching braces outside strings, characters and
comments. That is enough for the code of this project (one statement per
line, clang-format'd), not for C++ in general.
"""

import argparse
import os
import re
import sys

SOURCE_DIRS = ("app", "chat", "chess", "config", "game", "http", "net", "records", "tools",
               "uci", "ui")
HEADER_WORDS = re.compile(r"^\s*(if|for|while|switch|catch|do|else|try|return)\b")


def strip_code(text):
    """Text with string and character literals and comments blanked, lines kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:j]))
            i = j
        elif text.startswith('R"', i):
            m = re.match(r'R"([^(]*)\(', text[i:])
            end = text.find(")" + (m.group(1) if m else "") + '"', i)
            j = n if end < 0 else end + len(m.group(1) if m else "") + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:j]))
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + (c if j < n else ""))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def functions(path):
    """(length, first line, name) of each function defined in the file."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = strip_code(f.read())
    found = []
    scopes = []  # for each open brace: whether it opened a function body
    line = 1
    head_start = 0  # where the text before the next brace began
    start = None
    for i, c in enumerate(text):
        if c == "\n":
            line += 1
        elif c in ";{}":
            if c == "{":
                # The head starts after the last preprocessor line before it.
                directive = text.rfind("\n#", head_start, i)
                if directive >= 0:
                    head_start = text.find("\n", directive + 1) + 1 or i
                head = text[head_start:i]
                opens = start is None and not any(scopes) and is_function_head(head)
                if opens:
                    name = re.search(r"(operator\S+|[~\w:]+)\s*\(", head)
                    offset = head_start + len(head) - len(head.lstrip())
                    first = text.count("\n", 0, offset) + 1
                    start = (first, name.group(1) if name else " ".join(head.split())[:40])
                scopes.append(opens)
            elif c == "}":
                if scopes and scopes.pop() and start is not None:
                    first, name = start
                    found.append((line - first + 1, first, name))
                    start = None
            head_start = i + 1
    return found


def is_function_head(head):
    """Whether the text before a "{" at namespace or class level opens a function body."""
    head = " ".join(head.split())
    if not head or "(" not in head or HEADER_WORDS.match(head):
        return False
    before_paren = head.split("(")[0]
    if "=" in before_paren or re.match(r"^(class|struct|enum|namespace|union)\b", head):
        return False
    # "f(...)", "f(...) const", a constructor's initialisers "f(...) : a(x), b(y)".
    return re.search(r"\)\s*(const|override|noexcept|final|mutable|->[^()]*)?\s*$", head) \
        is not None or re.search(r"\)\s*:\s*\w", head) is not None


def production_files(root):
    for top in SOURCE_DIRS:
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = sorted(d for d in dirs if not d.startswith("build"))
            for name in sorted(files):
                if name.endswith((".cpp", ".h")):
                    yield os.path.join(folder, name)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("root", nargs="?", default=os.path.join(os.path.dirname(__file__), ".."))
    parser.add_argument("--files", type=int, default=10, help="how many files to list")
    parser.add_argument("--functions", type=int, default=10, help="how many functions to list")
    parser.add_argument("--over", type=int, default=0,
                        help="list every function longer than this instead")
    args = parser.parse_args()
    root = os.path.normpath(args.root)

    sizes, funcs = [], []
    for path in production_files(root):
        rel = os.path.relpath(path, root)
        with open(path, encoding="utf-8", errors="replace") as f:
            sizes.append((sum(1 for _ in f), rel))
        if path.endswith(".cpp"):
            funcs += [(length, f"{rel}:{line}", name) for length, line, name in functions(path)]

    sizes.sort(key=lambda s: (-s[0], s[1]))
    funcs.sort(key=lambda s: (-s[0], s[1]))
    print(f"Longest production files ({len(sizes)} files):")
    for lines, rel in sizes[:args.files]:
        print(f"  {lines:5d}  {rel}")
    chosen = [f for f in funcs if f[0] > args.over] if args.over else funcs[:args.functions]
    title = f"longer than {args.over} lines" if args.over else f"of {len(funcs)}"
    print(f"Longest functions ({title}):")
    for length, where, name in chosen:
        print(f"  {length:5d}  {where}  {name}")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except BrokenPipeError:  # a pager or head stopped reading
        sys.exit(0)
