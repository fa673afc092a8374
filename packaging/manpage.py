#!/usr/bin/env python3
"""Writes a program's manual page (section 1, gzip-compressed) from its --help text.

The usage lines become the SYNOPSIS, the rest of the text is kept as it is printed (the
programs align their option tables with spaces) under DESCRIPTION. The date comes from the
caller (SOURCE_DATE_EPOCH) and gzip stores no name or time: the same program gives the same
bytes.
"""
import argparse
import datetime
import gzip
import subprocess
import sys


def roff_text(line):
    """One line of text as roff shows it literally."""
    line = line.replace("\\", "\\e")
    if line.startswith((".", "'")):
        line = "\\&" + line
    return line.replace("-", "\\-")


def split_help(name, text):
    """(synopsis lines, description lines) of a --help text."""
    lines = text.rstrip("\n").split("\n")
    # A leading "name - summary" line repeats the NAME section.
    while lines and (not lines[0].strip() or lines[0].startswith(name + " - ")):
        lines.pop(0)
    # CLI11 prints the program's description above its usage line: it leads the description.
    lead = []
    usage_at = next((i for i, line in enumerate(lines[:5]) if line.lower().startswith("usage:")), 0)
    if usage_at:
        lead = [line for line in lines[:usage_at] if line.strip()]
        del lines[:usage_at]
    synopsis = []
    if lines and lines[0].lower().startswith("usage:"):
        synopsis.append(lines.pop(0)[len("usage:"):].strip())
        # Continuation lines of the usage are indented under it.
        while lines and lines[0].startswith(" ") and lines[0].strip().startswith(("[", "-")):
            synopsis.append(lines.pop(0).strip())
    while lines and not lines[0].strip():
        lines.pop(0)
    return synopsis, (lead + [""] + lines if lead else lines)


def manual_page(name, summary, version, date, help_text):
    synopsis, description = split_help(name, help_text)
    if not synopsis or not description:
        raise ValueError(f"{name} --help printed no usage line or no description")
    out = [
        f'.TH {name.upper()} 1 "{date}" "camview {version}" "User Commands"',
        ".SH NAME",
        f"{roff_text(name)} \\- {roff_text(summary)}",
        ".SH SYNOPSIS",
        ".nf",
        *(roff_text(line) for line in synopsis),
        ".fi",
        ".SH DESCRIPTION",
        ".nf",
        *(roff_text(line) if line.strip() else "" for line in description),
        ".fi",
        "",
    ]
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", required=True, help="the program to run with --help")
    parser.add_argument("--name", required=True)
    parser.add_argument("--summary", required=True, help="one line for the NAME section")
    parser.add_argument("--version", required=True)
    parser.add_argument("--epoch", required=True, type=int, help="the page's date, seconds since 1970")
    parser.add_argument("--output", required=True, help="the .1.gz file to write")
    args = parser.parse_args()

    result = subprocess.run([args.program, "--help"], capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        sys.exit(f"{args.program} --help failed ({result.returncode}): {result.stderr}")
    date = datetime.datetime.fromtimestamp(args.epoch, datetime.timezone.utc).strftime("%Y-%m-%d")
    page = manual_page(args.name, args.summary, args.version, date, result.stdout)
    with open(args.output, "wb") as file:
        with gzip.GzipFile(filename="", mode="wb", compresslevel=9, fileobj=file, mtime=0) as compressed:
            compressed.write(page.encode("utf-8"))


if __name__ == "__main__":
    main()
