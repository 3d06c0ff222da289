#!/usr/bin/python3
"""The manual pages say what the programs' --help says: the same options, the same commands, and every
environment variable and exit status --help names; and a page's source holds no stray control character
(a "\\f" typed as a form feed shows as garbage).

Usage: man_pages_test.py PAGE [PAGE...] -- COMMAND [ARG...]
       (each PAGE is a man page; COMMAND, for example a program or a runner and its program, is run with
       --help appended)
"""
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])--[a-z][a-z0-9-]*")
VARIABLE = re.compile(r"\b(?:QUARVEL|XDG)_[A-Z_]*[A-Z]\b")


def plain_man(text):
    """A page's source without groff's escapes and font changes."""
    text = re.sub(r"\\f(?:\[[^]]*\]|\(..|.)", "", text)
    return text.replace("\\-", "-").replace("\\(em", "-").replace("\\&", "").replace("\\e", "\\")


def sections(text, heading):
    """Heading -> the lines under it, for the lines that heading(line) names (a man page's .SH lines, the
    --help text's left-margin lines ending in ':')."""
    parts = {}
    name = ""
    for line in text.split("\n"):
        named = heading(line)
        if named is not None:
            name = named.upper()
            parts.setdefault(name, "")
        else:
            parts[name] = parts.get(name, "") + line + "\n"
    return parts


def man_heading(line):
    m = re.match(r'^\.SH\s+"?([^"]*)"?', line)
    return m.group(1).strip() if m else None


def help_heading(line):
    return line[:-1] if re.match(r"^[A-Z][A-Za-z ,]*:$", line) else None


def help_commands(section):
    """The command names of a --help "Commands:" section ("server init", "history serviced", ...)."""
    names = set()
    for line in section.split("\n"):
        m = re.match(r"^  ([a-z]+(?: [a-z]+)?)(?= --|\s{2,}|$)", line)
        if m:
            names.add(m.group(1))
    return names


def man_commands(section):
    """The command names of a man page's COMMANDS section: the tags of its .TP entries."""
    names = set()
    lines = section.split("\n")
    for i, line in enumerate(lines[:-1]):
        if line.startswith(".TP"):
            tag = re.sub(r'^\.[BI]+\s*', "", lines[i + 1]).replace('"', "")
            m = re.match(r"^([a-z]+(?: [a-z]+)?)(?= -|\s|$)", tag)
            if m:
                names.add(m.group(1))
    return names


def main(pages, command):
    program = " ".join(command)
    shown = subprocess.run(command + ["--help"], capture_output=True, text=True, timeout=120)
    if shown.returncode != 0:
        print(f"{program} --help exited {shown.returncode}")
        return 1
    helped = shown.stdout
    help_parts = sections(helped, help_heading)
    failures = []
    for page in pages:
        with open(page, encoding="utf-8") as f:
            raw = f.read()
        stray = sorted({f"0x{ord(c):02X}" for c in raw if ord(c) < 0x20 and c not in "\n\t"})
        if stray:
            failures.append(f"{page}: control characters in the page's source: {stray}")
        man = plain_man(raw)
        parts = sections(man, man_heading)

        def differ(what, in_help, in_man):
            if in_help - in_man:
                failures.append(f"{page}: {what} in --help but not in the page: {sorted(in_help - in_man)}")
            if in_man - in_help:
                failures.append(f"{page}: {what} in the page but not in --help: {sorted(in_man - in_help)}")

        differ("options", set(OPTION.findall(helped)), set(OPTION.findall(man)))
        if "COMMANDS" in help_parts:
            differ("commands", help_commands(help_parts["COMMANDS"]), man_commands(parts.get("COMMANDS", "")))
        missing = set(VARIABLE.findall(helped)) - set(VARIABLE.findall(man))
        if missing:
            failures.append(f"{page}: environment variables --help names but the page does not: {sorted(missing)}")
        if "EXIT STATUS" in help_parts:
            statuses = set(re.findall(r"^  (\d+(?:, \d+)*)", help_parts["EXIT STATUS"], re.M))
            codes = {c for s in statuses for c in s.split(", ")}
            listed = set(re.findall(r"\b\d+\b", parts.get("EXIT STATUS", "")))
            if codes - listed:
                failures.append(f"{page}: exit statuses --help names but the page does not: {sorted(codes - listed)}")
    for failure in failures:
        print(failure)
    print(f"{len(pages)} page(s) checked against {program} --help: {len(failures)} difference(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    args = sys.argv[1:]
    if "--" not in args or args.index("--") == 0 or args.index("--") == len(args) - 1:
        print(__doc__)
        sys.exit(2)
    split = args.index("--")
    sys.exit(main(args[:split], args[split + 1:]))
