#!/usr/bin/env python3
"""Writes the seed inputs into a folder, one directory per target:

    make_corpus.py DIR

The seeds are realistic shapes of what qorid reads (known-identities lines,
cpuinfo of ARM and x86 machines, device-tree nodes, command lines), encoded
the way each target decodes its input (see the comment at the top of each
fuzz_*.cpp). fuzz/run.sh writes them anew before every run: they are made,
not kept. DIR is emptied first.
"""
import os
import shutil
import struct
import sys

CORPUS = None


def write(target, name, data):
    directory = os.path.join(CORPUS, target)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


def b(text):
    return text.encode("utf-8") if isinstance(text, str) else text


KNOWN_IDS = (
    "Tessaron QVKLITE:1:qvklite\n"
    "Tessaron QVK:2:qvk\n"
    "Morvane Starter Kit:3:mstart:Tessaron Morvane Starter Kit\n"
)

KNOWN_IDS_LONGER = KNOWN_IDS + (
    "Morvane Q5:5:q5:q5-revb\n"
    "Morvane Gateway 10:10:mgw10::mgw\n"
    "not a board line\n"
    "Lab bench:-7:bench\n"
)

ARM_CPUINFO = (
    "processor\t: 0\n"
    "model name\t: ARMv7 Processor rev 10 (v7l)\n"
    "BogoMIPS\t: 3.00\n"
    "Features\t: half thumb fastmult vfp edsp neon vfpv3 tls vfpd32\n"
    "CPU implementer\t: 0x41\n"
    "CPU architecture: 7\n"
    "CPU variant\t: 0x2\n"
    "CPU part\t: 0xc09\n"
    "CPU revision\t: 10\n"
    "\n"
    "processor\t: 1\n"
    "model name\t: ARMv7 Processor rev 10 (v7l)\n"
    "BogoMIPS\t: 3.00\n"
    "Features\t: half thumb fastmult vfp edsp neon vfpv3 tls vfpd32\n"
    "CPU implementer\t: 0x41\n"
    "CPU architecture: 7\n"
    "CPU variant\t: 0x2\n"
    "CPU part\t: 0xc09\n"
    "CPU revision\t: 10\n"
    "\n"
    "Hardware\t: {hardware}\n"
    "Revision\t: 0000\n"
    "Serial\t\t: 0000000000000000\n"
)

ARM64_CPUINFO = (
    "processor\t: 0\n"
    "BogoMIPS\t: 48.00\n"
    "Features\t: fp asimd evtstrm aes pmull sha1 sha2 crc32 cpuid\n"
    "CPU implementer\t: 0x41\n"
    "CPU architecture: 8\n"
    "CPU variant\t: 0x0\n"
    "CPU part\t: 0xd03\n"
    "CPU revision\t: 4\n"
    "\n"
)

X86_CPUINFO = (
    "processor\t: 0\n"
    "vendor_id\t: GenuineIntel\n"
    "cpu family\t: 6\n"
    "model\t\t: 85\n"
    "model name\t: Intel(R) Xeon(R) CPU @ 2.00GHz\n"
    "stepping\t: 7\n"
    "microcode\t: 0xffffffff\n"
    "cpu MHz\t\t: 2000.170\n"
    "cache size\t: 39424 KB\n"
    "physical id\t: 0\n"
    "siblings\t: 2\n"
    "core id\t\t: 0\n"
    "cpu cores\t: 1\n"
    "fpu\t\t: yes\n"
    "flags\t\t: fpu vme de pse tsc msr pae mce cx8 apic sep mtrr pge mca cmov pat"
    " pse36 clflush mmx fxsr sse sse2 ss ht syscall nx pdpe1gb rdtscp lm"
    " constant_tsc rep_good nopl xtopology nonstop_tsc cpuid tsc_known_freq pni"
    " pclmulqdq ssse3 fma cx16 pcid sse4_1 sse4_2 x2apic movbe popcnt aes xsave"
    " avx f16c rdrand hypervisor lahf_lm abm 3dnowprefetch invpcid_single ssbd"
    " ibrs ibpb stibp fsgsbase tsc_adjust bmi1 hle avx2 smep bmi2 erms invpcid"
    " rtm mpx avx512f avx512dq rdseed adx smap clflushopt clwb avx512cd"
    " avx512bw avx512vl xsaveopt xsavec xgetbv1 xsaves arat avx512_vnni"
    " md_clear arch_capabilities\n"
    "bugs\t\t: spectre_v1 spectre_v2 spec_store_bypass swapgs taa mmio_stale_data"
    " retbleed\n"
    "bogomips\t: 4000.34\n"
    "clflush size\t: 64\n"
    "address sizes\t: 46 bits physical, 48 bits virtual\n"
    "power management:\n"
    "\n"
)

# Four processors: longer than one 4096-byte read, as on most PCs.
X86_CPUINFO_4 = "".join(
    X86_CPUINFO.replace("processor\t: 0", "processor\t: %d" % n, 1)
    for n in range(4))


# --- fuzz_identity_line: one line of /etc/known_qor_ids ---------------------

def identity_lines():
    lines = {
        "qvklite": "Tessaron QVKLITE:1:qvklite",
        "qvk": "Tessaron QVK:2:qvk",
        "starter-kit-two-aliases": "Morvane Starter Kit:3:mstart:Tessaron Morvane Starter Kit",
        "runs-of-colons": "Morvane Gateway 10::10:::mgw10::",
        "number-with-blanks-and-sign": "Lab bench:\t -7 :bench",
        "number-with-trailing-text": "Morvane Q5:5rev2:q5",
        "largest-number": "Big:2147483647:big",
        "smallest-number": "Small:-2147483648",
        "number-too-large": "Too big:2147483648:tb",
        "crlf-line": "Tessaron QVK:2:qvk\r",
        "comment-like": "# Tessaron QVK:2:qvk",
        "name-only": "Tessaron QVK",
        "no-number": "Tessaron QVK:qvk",
        "percent-signs": "Board 100%s:9:%n%x",
        "empty": "",
    }
    for name, line in lines.items():
        write("fuzz_identity_line", name, b(line))


# --- fuzz_determination -----------------------------------------------------

ABSENT, FILE, DIRECTORY, FIFO = 0, 1, 2, 3


def determination(name, known=(ABSENT, ""), boardid=(ABSENT, ""),
                  description=(ABSENT, ""), uname=("5.10.0", "armv7l"),
                  cpuinfo=None):
    flags = known[0] | boardid[0] << 2 | description[0] << 4
    if uname is None:
        flags |= 0x40
        uname = ("", "")
    if cpuinfo is None:
        flags |= 0x80
        cpuinfo = ""
    fields = [known[1], boardid[1], description[1], uname[0], uname[1], cpuinfo]
    write("fuzz_determination", name,
          bytes([flags]) + b"\xff".join(b(f) for f in fields))


def determinations():
    arm = ARM_CPUINFO.format(hardware="Tessaron QVK")
    determination("release-alias-built-in", uname=("5.10.0-qvk", "armv7l"),
                  cpuinfo=arm)
    determination("release-alias-from-file", known=(FILE, KNOWN_IDS_LONGER),
                  uname=("5.15.71-q5", "armv7l"))
    determination("cpuinfo-hardware-name", known=(FILE, KNOWN_IDS_LONGER),
                  uname=("5.15.0", "armv7l"), cpuinfo=arm)
    determination("cpuinfo-hardware-alias", uname=None,
                  cpuinfo=ARM_CPUINFO.format(hardware="mstart"))
    determination("cpuinfo-unknown-hardware", known=(FILE, KNOWN_IDS),
                  uname=("5.4.0", "armv7l"),
                  cpuinfo=ARM_CPUINFO.format(hardware="Some Other Board"))
    determination("pc-debian-kernel", uname=("6.1.0-18-amd64", "x86_64"),
                  cpuinfo=X86_CPUINFO)
    determination("pc-uname-fails", uname=None, cpuinfo=X86_CPUINFO_4)
    determination("arm64-no-hardware-line", uname=("6.1.0-arm64", "aarch64"),
                  cpuinfo=ARM64_CPUINFO)
    determination("device-tree-board", known=(FILE, KNOWN_IDS_LONGER),
                  boardid=(FILE, "5\n"), description=(FILE, "Morvane Q5 rev B\0"),
                  uname=("5.10.0-qvk", "armv7l"), cpuinfo=arm)
    determination("device-tree-boardid-only", boardid=(FILE, "  42\n"),
                  uname=("6.1.0-18-amd64", "x86_64"))
    determination("device-tree-blank-boardid", boardid=(FILE, " \n\t"),
                  description=(FILE, "Bench unit\nsecond line\n"))
    determination("device-tree-description-only", description=(FILE, "Orphan\0"),
                  uname=("5.10.0", "armv7l"), cpuinfo=arm)
    determination("known-ids-directory", known=(DIRECTORY, ""),
                  uname=("5.10.0-qvklite", "armv7l"))
    determination("known-ids-empty", known=(FILE, ""), uname=("5.10.0-qvk", "armv7l"),
                  cpuinfo=arm)
    determination("known-ids-crlf", known=(FILE, KNOWN_IDS.replace("\n", "\r\n")),
                  uname=("5.10.0-qvk", "armv7l"),
                  cpuinfo=ARM_CPUINFO.format(hardware="Tessaron QVK\r"))
    determination("fifos-read-empty", known=(FIFO, ""), boardid=(FIFO, ""),
                  description=(DIRECTORY, ""))
    determination("no-cpuinfo-unknown", uname=("5.10.0", "armv7l"))


# --- fuzz_dt_walker ---------------------------------------------------------

def name_bytes(name):
    raw = b(name)
    return bytes([len(raw)]) + raw


def prop(name, content):
    raw = b(content)
    return bytes([0]) + name_bytes(name) + struct.pack("<H", len(raw)) + raw


def subnode(name):
    return bytes([3]) + name_bytes(name)


UP = bytes([4])


def fifo(name):
    return bytes([2]) + name_bytes(name)


def link(name, choice):
    return bytes([5]) + name_bytes(name) + bytes([choice])


def dangling(name):
    return bytes([6]) + name_bytes(name)


def walker(name, *ops, missing=False):
    write("fuzz_dt_walker", name, bytes([1 if missing else 0]) + b"".join(ops))


def walkers():
    board = [
        prop("name", "morvane\0"),
        prop("compatible", "morvane,qvk\0morvane,board\0"),
        prop("boardid", "2\0"),
        prop("description", "Tessaron QVK\0"),
        prop("serial-number", "QVK-00412\0"),
        prop("wan", "eth1\0"),
        prop("#address-cells", b"\x00\x00\x00\x01"),
        prop("phandle", b"\x00\x00\x00\x05"),
    ]
    ethernet = [
        subnode("ethernet@30be0000"),
        prop("name", "ethernet\0"),
        prop("compatible", "vendor,fec\0"),
        prop("local-mac-address", b"\x02\xfc\x00\x00\x00\x01"),
        prop("reg", b"\x30\xbe\x00\x00\x00\x01\x00\x00"),
        prop("status", "okay\0"),
        UP,
    ]
    leds = [
        subnode("leds"),
        prop("name", "leds\0"),
        subnode("led-0"),
        prop("label", "status\0"),
        prop("default-state", "on\0"),
        UP,
        UP,
    ]
    walker("board-node", *board)
    walker("board-with-subnodes", *board, *ethernet, *leds)
    walker("only-name", prop("name", "morvane\0"))
    walker("multi-line-value", prop("notes", "first line\nsecond line\n"),
           prop("empty", ""))
    walker("links-and-fifo", *board, fifo("events"), link("wan-port", 5),
           dangling("stale"))
    walker("deep-nesting", *[subnode("level%d" % i) for i in range(11)],
           prop("depth", "eleven\0"))
    walker("upper-and-odd-names", prop("Name", "kept\0"), prop("NAME", "kept too\0"),
           prop("board-rev,2", "B\0"), prop("caf\xe9#x", "v"))
    # A binary property longer than one read, with line feeds inside.
    blob = bytes((i * 37 + 11) % 256 for i in range(6000))
    walker("large-binary-property", prop("name", "calibration\0"),
           prop("calibration-data", blob), prop("status", "okay\0"))
    walker("missing-node", missing=True)


# --- fuzz_options -----------------------------------------------------------

def options(name, *words):
    write("fuzz_options", name, b"".join(b(w) + b"\0" for w in words))


def option_lines():
    options("no-options")
    options("verbose-short", "-v")
    options("verbose-long", "--verbose")
    options("verbose-prefix", "--verb")
    options("list", "--list")
    options("list-with-words", "-l", "QOR_ID")
    options("list-and-verbose-cluster", "-vl")
    options("exec-env", "-e", "--", "env")
    options("exec-with-own-options", "--exec", "--", "ls", "-l")
    options("exec-options-after-command", "--exec", "ls", "-v")
    options("exec-without-command", "-e")
    options("script-with-arguments", "-s", "script", "a", "b")
    options("script-long", "--script", "/usr/lib/morvane/board-net.sh", "start")
    options("list-and-exec", "--list", "--exec", "env")
    options("help", "--help")
    options("help-after-verbose", "-v", "-h", "-l")
    options("unknown-option", "-x", "--frobnicate", "-v")
    options("option-with-value", "--verbose=yes", "--list")
    options("lone-dash", "-", "-e", "cat", "-")
    options("empty-word", "", "-e", "")


def main():
    global CORPUS
    if len(sys.argv) != 2:
        sys.exit("usage: make_corpus.py DIR")
    CORPUS = sys.argv[1]
    shutil.rmtree(CORPUS, ignore_errors=True)
    identity_lines()
    determinations()
    walkers()
    option_lines()


if __name__ == "__main__":
    main()
