#!/usr/bin/env python3
"""The boards whose --export a unit reads with EnvironmentFile= in the
package test's booted roots, and what it must get back.

  reader_boards.py lay DIR
      Lays out in DIR, as boards of tests/fixtures/dumps (root/, uname, net):
      code-points-1 ... code-points-N, whose values hold every code point a
      parameter can hold and systemd takes (U+0001 to U+10FFFF but the
      newline, the surrogates and the noncharacters), 4,096 to a value, in
      order, as many values to a board as fit within the 1 MiB that --exec
      gives all parameters; and excluded, whose values are each of what
      --export leaves out: every noncharacter alone, a surrogate, a code
      point past U+10FFFF, bytes that are no UTF-8, a value too long for
      the environment and a name that is no shell name; beside them a
      value each of $, \\, ' and ". Each board's file left-out lists what
      the log must say of it ("NAME: REASON", sorted). DIR/refused/ holds,
      for each value left out for its bytes, the line --export would have
      written for it (NAME='VALUE'): systemd must refuse each such file.

  reader_boards.py carried ENV0...
      The code points that the values of the code-point parameters (QOR_U
      and six hex digits) hold in the environments ENV0 (env -0): prints
      their count; fails, saying which are missing, unless they are all
      the code points the boards were laid out with.
"""
import os
import re
import sys

CHUNK = 4096
# What a board's code-point values may take, counted as --exec counts
# (NAME=VALUE, its NUL and a pointer), leaving room under the 1 MiB for the
# board's own parameters (QOR_ID, QOR_BOARDID).
BOARD_BYTES = 1_000_000
NOT_UTF8 = "value not UTF-8"
NONCHAR = "value holds a Unicode noncharacter, which systemd refuses"


def is_noncharacter(c):
    return 0xFDD0 <= c <= 0xFDEF or (c & 0xFFFE) == 0xFFFE


def carried_code_points():
    return [c for c in range(1, 0x110000)
            if c != 0x0A and not 0xD800 <= c <= 0xDFFF and not is_noncharacter(c)]


def write_board(dir, name, boardid, properties):
    node = os.path.join(dir, name, "root/proc/device-tree/morvane")
    os.makedirs(node)
    with open(os.path.join(dir, name, "uname"), "w") as f:
        f.write("6.1.0\narmv7l\n")
    open(os.path.join(dir, name, "net"), "w").close()
    # An empty table of known identities: no word in the log that it is
    # missing.
    os.makedirs(os.path.join(dir, name, "root/etc"))
    open(os.path.join(dir, name, "root/etc/known_qor_ids"), "w").close()
    for prop, value in [("boardid", str(boardid).encode())] + properties:
        with open(os.path.join(node, prop), "wb") as f:
            f.write(value)


def lay(dir):
    points = carried_code_points()
    boards, board, used = [], [], 0
    for start in range(0, len(points), CHUNK):
        chunk = points[start:start + CHUNK]
        prop = "u%06x" % chunk[0]
        value = "".join(map(chr, chunk)).encode()
        cost = len("QOR_") + len(prop) + 1 + len(value) + 1 + 8
        if used + cost > BOARD_BYTES:
            boards.append(board)
            board, used = [], 0
        board.append((prop, value))
        used += cost
    boards.append(board)
    for i, properties in enumerate(boards, 1):
        write_board(dir, "code-points-%d" % i, 100 + i, properties)
        open(os.path.join(dir, "code-points-%d" % i, "left-out"), "w").close()

    refused = [("nonchar_%x" % c, chr(c).encode("utf-8", "surrogatepass"))
               for c in range(1, 0x110000) if is_noncharacter(c)]
    refused += [("surrogate", b"\xed\xa0\x80"),        # U+D800
                ("past_max", b"\xf4\x90\x80\x80"),     # U+110000
                ("lone_continuation", b"a\x80b"),
                ("never_utf8", b"\xff"),
                ("overlong", b"\xe0\x80\xaf"),         # '/' in three bytes
                ("cut_short", b"\xe2\x82")]
    left_out = ["QOR_%s: %s" % (p.upper(), NONCHAR if p.startswith("nonchar") else NOT_UTF8)
                for p, _ in refused]
    # Left out of --export because --exec leaves them out, or for the name.
    too_long = b"l" * (131071 - len("QOR_TOO_LONG=") + 1)
    left_out += ["QOR_TOO_LONG: value too long", "QOR_BOARD-REV is not a shell variable name"]
    special = [("dollar", b"$"), ("backslash", b"\\"), ("apostrophe", b"'"), ("quotation", b'"')]
    write_board(dir, "excluded", 99,
                refused + special + [("too_long", too_long), ("board-rev", b"2")])
    with open(os.path.join(dir, "excluded", "left-out"), "w") as f:
        f.write("".join(line + "\n" for line in sorted(left_out)))
    os.makedirs(os.path.join(dir, "refused"))
    for prop, value in refused:
        with open(os.path.join(dir, "refused", prop + ".env"), "wb") as f:
            f.write(b"QOR_%s='%s'\n" % (prop.upper().encode(), value))


def carried(paths):
    got = set()
    for path in paths:
        for entry in open(path, "rb").read().split(b"\0"):
            name, _, value = entry.partition(b"=")
            if re.fullmatch(rb"QOR_U[0-9A-F]{6}", name):
                got.update(map(ord, value.decode()))
    want = set(carried_code_points())
    if got != want:
        missing = sorted(want - got)
        print("code points not carried: %d (%s), others: %d"
              % (len(missing), " ".join("U+%04X" % c for c in missing[:8]), len(got - want)),
              file=sys.stderr)
        sys.exit(1)
    print(len(got))


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "lay":
        lay(sys.argv[2])
    elif len(sys.argv) >= 3 and sys.argv[1] == "carried":
        carried(sys.argv[2:])
    else:
        sys.exit("usage: reader_boards.py lay DIR | carried ENV0...")
