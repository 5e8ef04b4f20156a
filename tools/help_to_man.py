#!/usr/bin/env python3
"""Makes the voltra(1) man page from the program's own --help and --version text.

The help text has one layout, which this reads:
  Usage: PROGRAM SYNOPSIS          the first line
  paragraphs                       the description, up to the first section
  Heading:                         a section of options (a line at column 0 ending in ':')
    -s, --long=ARG   text         an option; its text starts at the description column
                     value  text  a table of values (a word, two spaces, its meaning);
                           more   lines indented past the column continue the row
                     more text    lines at the column continue the text
  Title: text                      a closing paragraph (at column 0) becomes section TITLE
Anything else is an error, so a help text this cannot read fails the build rather than giving
a page that lacks an option.

  help_to_man.py --program BIN --name "one-line summary" [--extra FILE] --output FILE
"""
import argparse
import re
import subprocess
import sys

OPTION_LINE = re.compile(r"^ {2,6}(-\S.*?)(?: {2,}(\S.*))?$")
OPTION_SPEC = re.compile(r"^(--?[A-Za-z0-9][A-Za-z0-9-]*)(?:=(\S+))?$")
TABLE_ROW = re.compile(r"^(\S+) {2,}(\S.*)$")
CLOSING_PARAGRAPH = re.compile(r"^([A-Z][A-Za-z ]*): (\S.*)$")


def Escape(text):
    """Roff text: backslashes and hyphens escaped, no request or control character first."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def OptionTag(spec, where):
    """'-a, --assign=KIND' as roff: names bold, the argument italic."""
    parts = []
    for name in spec.split(", "):
        match = OPTION_SPEC.match(name.strip())
        if not match:
            sys.exit(f"help_to_man: {where}: cannot read the option '{name}'")
        tag = "\\fB" + Escape(match.group(1)) + "\\fR"
        if match.group(2):
            tag += "=\\fI" + Escape(match.group(2)) + "\\fR"
        parts.append(tag)
    return ", ".join(parts)


class Option:
    def __init__(self, tag):
        self.tag = tag
        self.prose = []  # lines of running text
        self.rows = []   # [value, meaning] pairs of a table of values

    def Roff(self):
        out = [".TP", self.tag]
        if self.prose:
            out.append(Escape(" ".join(self.prose)))
        if self.rows:
            width = max(len(value) for value, _ in self.rows) + 2
            out += [".RS", ".PD 0"]  # one line per value, as the help prints them
            for value, meaning in self.rows:
                out += [f".TP {width}", "\\fB" + Escape(value) + "\\fR", Escape(meaning)]
            out += [".PD", ".RE"]
        return out


def Convert(help_text, version_line, name, extra):
    lines = help_text.rstrip("\n").split("\n")
    usage = re.match(r"^Usage: (\S+) (.*)$", lines[0])
    if not usage:
        sys.exit("help_to_man: the help text does not start with 'Usage: PROGRAM ...'")
    program, synopsis = usage.group(1), usage.group(2)

    description = []   # paragraphs, each a list of lines
    sections = []      # [heading, [Option]]
    closing = []       # [title, [lines]]
    closing_open = False
    option = None
    column = None      # where the current option's text starts
    previous_blank = True
    for number, line in enumerate(lines[1:], start=2):
        where = f"line {number}"
        blank_before, previous_blank = previous_blank, not line.strip()
        if not line.strip():
            option = None
            closing_open = False
            continue
        if not line.startswith(" "):
            if closing_open:
                closing[-1][1].append(line)
            elif line.endswith(":") and not closing:
                sections.append([line[:-1], []])
            elif sections:
                match = CLOSING_PARAGRAPH.match(line)
                if not match:
                    sys.exit(f"help_to_man: {where}: text after the options that is not 'Title: ...': {line!r}")
                closing.append([match.group(1), [match.group(2)]])
                closing_open = True
            elif description and not blank_before:
                description[-1].append(line)
            else:
                description.append([line])
            continue
        if not sections:
            sys.exit(f"help_to_man: {where}: an indented line before the first section: {line!r}")
        match = OPTION_LINE.match(line)
        if match and (option is None or len(line) - len(line.lstrip()) < column):
            option = Option(OptionTag(match.group(1), where))
            sections[-1][1].append(option)
            column = line.index(match.group(2)) if match.group(2) else None
            if match.group(2):
                AddText(option, match.group(2))
            continue
        if option is None:
            sys.exit(f"help_to_man: {where}: an indented line outside an option: {line!r}")
        indent = len(line) - len(line.lstrip())
        if column is None:
            column = indent
        if indent > column and option.rows:
            option.rows[-1][1] += " " + line.strip()
        elif indent >= column:
            AddText(option, line.strip())
        else:
            sys.exit(f"help_to_man: {where}: a line left of its option's text: {line!r}")

    title = program.upper()
    out = [
        f".\\\" Made by tools/help_to_man.py from `{program} --help`; change the help text, not this file.",
        f'.TH {title} 1 "" "{Escape(version_line)}" "User Commands"',
        ".nh",   # option names must not be hyphenated across lines
        ".ad l",
        ".SH NAME",
        f"{program} \\- {Escape(name)}",
        ".SH SYNOPSIS",
        f".B {program}",
        Escape(synopsis),
        ".SH DESCRIPTION",
    ]
    for index, paragraph in enumerate(description):
        if index:
            out.append(".PP")
        out.append(Escape(" ".join(paragraph)))
    out.append(".SH OPTIONS")
    for heading, options in sections:
        out.append(f'.SS "{Escape(heading)}"')
        for each in options:
            out += each.Roff()
    for title, text in closing:
        out += [f".SH {Escape(title.upper())}", Escape(" ".join(text))]
    if extra:
        out.append(extra.rstrip("\n"))
    return "\n".join(out) + "\n"


def AddText(option, text):
    row = TABLE_ROW.match(text)
    if row and (option.rows or not option.prose):
        option.rows.append([row.group(1), row.group(2)])
    elif option.rows:
        option.rows[-1][1] += " " + text
    else:
        option.prose.append(text)


def Run(program, flag):
    result = subprocess.run([program, flag], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"help_to_man: {program} {flag} exited with {result.returncode}: {result.stderr.strip()}")
    return result.stdout


def Main():
    parser = argparse.ArgumentParser(description="Makes a man page from a program's --help text.")
    parser.add_argument("--program", required=True)
    parser.add_argument("--name", required=True, help="the one-line summary of the NAME section")
    parser.add_argument("--extra", help="roff text appended (ENVIRONMENT, FILES, SEE ALSO)")
    parser.add_argument("--output", required=True)
    args = parser.parse_args()
    extra = open(args.extra, encoding="utf-8").read() if args.extra else ""
    page = Convert(Run(args.program, "--help"), Run(args.program, "--version").strip(), args.name, extra)
    with open(args.output, "w", encoding="utf-8") as out:
        out.write(page)


if __name__ == "__main__":
    Main()
