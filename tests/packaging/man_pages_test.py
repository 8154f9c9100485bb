#!/usr/bin/env python3
"""Checks each program's manual page against the program itself.

Usage: man_pages_test.py MAN_DIR VERSION NAME=PATH...
For every program: a MAN_DIR/NAME.1.scd exists; every long option and
subcommand its --help lists (and each subcommand's --help) is documented
there as *--option* or *command*; every *--option* documented there is one
the program accepts; --version prints "NAME VERSION".
"""
import re
import subprocess
import sys
import unittest

MAN_DIR, VERSION = sys.argv[1], sys.argv[2]
PROGRAMS = dict(arg.split("=", 1) for arg in sys.argv[3:])
LONG_OPTION = re.compile(r"(?<![\w-])--[a-z][a-z0-9-]*")


def run(path, *args):
    result = subprocess.run([path, *args], capture_output=True, text=True, timeout=30)
    return result.returncode, result.stdout + result.stderr


def subcommands(help_text):
    names, inside = [], False
    for line in help_text.splitlines():
        if line.startswith("Subcommands:"):
            inside = True
        elif inside and re.match(r"^  [a-z]", line):
            names.append(line.split()[0])
        elif inside and line and not line.startswith(" "):
            inside = False
    return names


def help_texts(path):
    """The program's --help and each subcommand's, with the subcommand names."""
    _, text = run(path, "--help")
    subs = subcommands(text)
    return [text] + [run(path, sub, "--help")[1] for sub in subs], subs


class ManPagesMatchHelp(unittest.TestCase):
    def test_each_program(self):
        self.assertTrue(PROGRAMS, "no programs given")
        for name, path in sorted(PROGRAMS.items()):
            with self.subTest(program=name):
                try:
                    with open(f"{MAN_DIR}/{name}.1.scd", encoding="utf-8") as f:
                        page = f.read()
                except FileNotFoundError:
                    self.fail(f"{name} has no manual page {name}.1.scd")
                texts, subs = help_texts(path)
                in_help = set(LONG_OPTION.findall("\n".join(texts)))
                in_page = set(re.findall(r"\*(--[a-z][a-z0-9-]*)\*", page))
                self.assertEqual(sorted(in_help - in_page), [],
                                 f"{name}: options in --help missing from the manual page")
                self.assertEqual(sorted(in_page - in_help), [],
                                 f"{name}: options in the manual page that --help does not list")
                for sub in subs:
                    self.assertIn(f"*{sub}*", page, f"{name}: subcommand {sub} undocumented")
                code, text = run(path, "--version")
                self.assertEqual((code, text.strip()), (0, f"{name} {VERSION}"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
