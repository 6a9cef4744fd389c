#!/usr/bin/env python3
"""A flattened device tree (.dtb) laid out whole as a board's node, as the
kernel lays out /proc/device-tree: the root node's properties as files of
NODE, each subnode a folder of its own name, every property a file holding
its value's exact bytes.

  fdt_node.py DTB NODE

Prints the number of nodes and of properties laid out. Fails, saying why,
on a file that is no flattened device tree or whose structure is cut short,
and where a property and a subnode of one node share a name (one folder
cannot hold both).
"""
import os
import struct
import sys

MAGIC = 0xD00DFEED
BEGIN_NODE, END_NODE, PROP, NOP, END = 1, 2, 3, 4, 9


def die(why):
    sys.exit("fdt_node.py: %s: %s" % (sys.argv[1], why))


def lay(blob, top):
    if len(blob) < 40:
        die("shorter than a header")
    (magic, total, off_struct, off_strings, _rsv, version, _last, _cpu, size_strings,
     size_struct) = struct.unpack(">10I", blob[:40])
    if magic != MAGIC:
        die("no flattened device tree (magic %#x)" % magic)
    if total > len(blob) or version < 17:
        die("size %d of %d bytes, version %d (17 or later wanted)" % (total, len(blob), version))
    strings = blob[off_strings:off_strings + size_strings]
    end, at, path, nodes, props = off_struct + size_struct, off_struct, [], 0, 0

    def word():
        nonlocal at
        if at + 4 > end:
            die("structure cut short at byte %d" % at)
        (value,) = struct.unpack(">I", blob[at:at + 4])
        at += 4
        return value

    while True:
        token = word()
        if token == BEGIN_NODE:
            stop = blob.index(b"\0", at)
            name = blob[at:stop]
            at = (stop + 4) & ~3
            # The root node, nameless, is the board's node itself.
            path.append(name)
            folder = os.path.join(top, *path[1:]) if len(path) > 1 else top
            if len(path) > 1 and os.path.lexists(folder):
                die("node %s beside a property of its name" % b"/".join(path).decode())
            os.makedirs(folder, exist_ok=len(path) == 1)
            nodes += 1
        elif token == END_NODE:
            if not path:
                die("a node ends that never began, at byte %d" % at)
            path.pop()
        elif token == PROP:
            length, nameoff = word(), word()
            name = strings[nameoff:strings.index(b"\0", nameoff)]
            file = os.path.join(top, *path[1:], name)
            if os.path.lexists(file):
                die("property %s beside a node of its name" % b"/".join(path + [name]).decode())
            with open(file, "wb") as f:
                f.write(blob[at:at + length])
            at = (at + length + 3) & ~3
            props += 1
        elif token == NOP:
            pass
        elif token == END:
            break
        else:
            die("token %#x at byte %d" % (token, at - 4))
    if path:
        die("ends inside a node")
    return nodes, props


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: fdt_node.py DTB NODE")
    with open(sys.argv[1], "rb") as f:
        print(*lay(f.read(), os.fsencode(sys.argv[2])))
