#!/usr/bin/env python3
"""Checks the order journal against an independent implementation of its encoding.

(a) The program writes a journal (journal_interop_writer); this script decodes it with Python's
    own cp1255 codec and compares the texts.
(b) This script writes a journal; `velmora-journal export` must read it back exactly, as JSON and
    as CSV, and must report a damaged last record after writing the complete ones.
"""

import argparse
import csv
import io
import json
import os
import subprocess
import sys
import tempfile

SLOTS = 38
FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)


def encode_line(text):
    """A slot as the journal stores it: each cp1255 byte as its decimal code, left-aligned in
    three columns."""
    return "".join("%-3d" % b for b in text.encode("cp1255")).encode("ascii")


def decode_line(line):
    codes = [int(line[i:i + 3]) for i in range(0, len(line), 3)]
    return bytes(codes).decode("cp1255")


def order(n):
    slots = [""] * SLOTS
    slots[0] = " %d" % (1000 + n)
    slots[1] = "05-03-04"
    slots[2] = "עיריית תל אביב יפו"
    slots[3] = "מגדל; ''B'' %d" % n
    slots[4] = "דפוס הצפון kod012"
    slots[5] = "משה לוי - רחוב הרצל 12 תל אביב"
    slots[10] = "דנה כהן"
    slots[11] = "03-5551234"
    slots[12] = "תכנית_%d.plt" % n
    slots[13] = "2"
    slots[22] = "1"
    slots[30] = " "
    slots[32] = "עתקות ציבוניות"
    slots[37] = "רות ₪ ׳ ״ ְ"
    return slots


def part_a(writer, work):
    orders = [order(n) for n in range(1, 4)]
    # Characters Windows-1255 has no code for are stored as "?" (code 63).
    orders[1][5] = "ציור 中 😀 end"
    expected = [list(o) for o in orders]
    expected[1][5] = "ציור ? ? end"

    source = os.path.join(work, "orders.txt")
    journal = os.path.join(work, "written.dat")
    with open(source, "w", encoding="utf-8", newline="\n") as f:
        for o in orders:
            f.write("\n".join(o) + "\n")
    subprocess.run([writer, source, journal], check=True)

    data = open(journal, "rb").read()
    check(data.endswith(b"\r\n"), "(a) journal does not end with CR LF")
    lines = data.split(b"\r\n")[:-1]
    check(len(lines) == SLOTS * len(orders), "(a) %d lines, expected %d" % (len(lines), SLOTS * len(orders)))
    for i, line in enumerate(lines):
        check(len(line) % 3 == 0 and all(c in b"0123456789 " for c in line), "(a) line %d malformed: %r" % (i + 1, line))
        record, slot = divmod(i, SLOTS)
        text = decode_line(line)
        check(text == expected[record][slot],
              "(a) record %d slot %d: %r, expected %r" % (record + 1, slot + 1, text, expected[record][slot]))
        check(line == encode_line(expected[record][slot]), "(a) record %d slot %d encoded differently" % (record + 1, slot + 1))
    check(encode_line(" 137") == b"32 49 51 55 ", "(a) reference encoder disagrees with the documented example")


def every_cp1255_character():
    chars = []
    for b in range(32, 256):
        try:
            chars.append(bytes([b]).decode("cp1255"))
        except UnicodeDecodeError:
            pass
    return "".join(chars)


def python_orders():
    orders = [order(n) for n in range(1, 6)]
    orders[0][3] = every_cp1255_character()              # includes , " \ and every Hebrew letter
    orders[1][2] = 'Cohen, "Dan" \\ back'              # CSV and JSON quoting
    orders[2][4] = "line\nbreak\ttab\rreturn"           # control characters inside a slot
    orders[3] = [""] * SLOTS                            # an empty order
    return orders


def run_export(tool, journal, fmt):
    return subprocess.run([tool, "export", "--format", fmt, journal], capture_output=True)


def part_b(tool, work):
    orders = python_orders()
    journal = os.path.join(work, "python.dat")
    with open(journal, "wb") as f:
        for o in orders:
            for text in o:
                f.write(encode_line(text) + b"\r\n")

    result = run_export(tool, journal, "json")
    check(result.returncode == 0, "(b) json export exit %d: %s" % (result.returncode, result.stderr))
    got = json.loads(result.stdout.decode("utf-8"))
    check(len(got) == len(orders), "(b) json has %d records" % len(got))
    for n, (obj, o) in enumerate(zip(got, orders), start=1):
        check(obj.get("record") == n, "(b) json record number %r, expected %d" % (obj.get("record"), n))
        check(obj.get("slots") == o, "(b) json record %d differs:\n%r\n%r" % (n, obj.get("slots"), o))

    result = run_export(tool, journal, "csv")
    check(result.returncode == 0, "(b) csv export exit %d" % result.returncode)
    rows = list(csv.reader(io.StringIO(result.stdout.decode("utf-8"), newline="")))
    header = rows[0]
    check(len(header) == SLOTS + 1 and header[0] == "record" and header[1] == "order_number"
          and header[13] == "file_1" and header[14] == "quantity_1" and header[38] == "handled_for",
          "(b) csv header: %r" % header)
    check(len(rows) == len(orders) + 1, "(b) csv has %d rows" % len(rows))
    for n, (row, o) in enumerate(zip(rows[1:], orders), start=1):
        check(row == [str(n)] + o, "(b) csv record %d differs:\n%r\n%r" % (n, row, [str(n)] + o))

    # A damaged last record: the complete records are written, then the damage is reported.
    with open(journal, "ab") as f:
        for text in order(99)[:5]:
            f.write(encode_line(text) + b"\r\n")
    result = run_export(tool, journal, "json")
    check(result.returncode == 3, "(b) damaged journal exit %d, expected 3" % result.returncode)
    check(b"damaged" in result.stderr, "(b) damaged journal stderr: %r" % result.stderr)
    got = json.loads(result.stdout.decode("utf-8"))
    check([o["slots"] for o in got] == orders, "(b) damaged journal: complete records not all written")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--writer", required=True)
    parser.add_argument("--tool", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        part_a(args.writer, work)
        part_b(args.tool, work)
    for failure in FAILURES:
        print("FAIL:", failure)
    if FAILURES:
        return 1
    print("journal interop: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
