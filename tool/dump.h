// qorid-dump: copies what qorid reads on this board into one tarball, to be
// attached to a bug report and replayed by the test suite.
//
// Usage: qorid-dump [-h] [OUTPUT]
//
// OUTPUT defaults to qorid-dump-<hostname>-<YYYYmmdd-HHMMSS>.tar.gz in the
// current directory (-2, -3, ... before .tar.gz when that name is taken; the
// time is what date(1) on PATH says). Nothing that exists is ever written
// into: OUTPUT is created, exclusively (O_EXCL, never through a link), before
// anything else is done, and refused when something is there. The path of
// the tarball is printed on standard output; whatever could not be captured
// is named on standard error, and the tarball is written all the same. When
// the dump itself cannot be made (its temporary directory cannot be written,
// the tarball cannot be written), that is said, the tarball this run created
// is removed again (while its name still leads to it), and the status is 1.
// Each thing said is one line of standard error, whatever the names in it
// hold: a newline is written as \n, as qorid writes its own lines.
//
// The tarball holds one directory, named after OUTPUT without .tar.gz or
// .tgz, with:
//
//   root/                     the files qorid reads, where qorid reads them
//                             (the paths are lib/system.h's):
//     proc/device-tree/morvane/...  the board's node and its subnodes, every
//                                   entry the device-tree walk (walkTree,
//                                   lib/dt_walk.h) visits, every property
//                                   byte for byte, `name` included: links
//                                   followed as the walk follows them, a link
//                                   to nothing and a directory met a second
//                                   time left out as the walk leaves them out;
//                                   absent when the board has no node or
//                                   /proc is not mounted; directories more
//                                   than 990 levels below the node left out
//     proc/device-tree/compatible   the names the board gives itself at the
//     proc/device-tree/model        root of its device tree, byte for byte;
//                                   each absent when the board has none
//     proc/cpuinfo
//     proc/sys/kernel/osrelease     the kernel release and the machine type,
//     proc/sys/kernel/arch          a line each, as the library's uname gives
//                                   them (a kernel before 6.1 has no arch)
//     sys/class/net/NAME/address    the hardware address of each interface
//                                   of net (NAME its name, not an alias
//                                   label), as sysfs has it: net's MAC and a
//                                   newline, the newline alone for "-"
//     etc/known_qor_ids             absent when the board has none
//   uname                     two lines: the kernel release and the machine
//                             type, as the library's uname gives them
//                             (kept for readers of dumps made before root/
//                             had them, as is net)
//   net                       the IPv4 addresses, in the order `ip -o -4 addr
//                             show` lists them, one per line:
//                                 NAME ADDRESS/PREFIX MAC
//                             NAME is the address's label (eth0, or eth0:1
//                             for an alias), MAC the interface's hardware
//                             address, "-" when it has none. When a wan
//                             property of the node names an interface (the
//                             library's interfaceName() of the property's
//                             value) that has no IPv4 address, one more line:
//                                 NAME - MAC
//   qorid.verbose             what `qorid --verbose` and `qorid --list`
//   qorid.list                printed (standard output, byte for byte), when
//                             qorid is on PATH or next to this program
//
// `qorid --root DIR/root` replays the board from root/ alone, as any user.
//
// The commands it runs (date, ip, tar, qorid) are looked up on PATH's
// absolute entries only, and started by the path found there: an empty or
// relative entry, which names the current directory or a folder below it,
// is skipped. An unset PATH stands for the C library's default
// (confstr(_CS_PATH)). /usr/sbin and /sbin come after, for ip, and what is
// run (tar runs gzip) gets that PATH, absolute entries only.
//
// Nothing on the board is changed. Every file is read through TextFile:
// opened without blocking (a FIFO or a socket is copied as an empty file, the
// way qorid reads one; a device, or a link to one, as what it gives), and
// never more than qorid reads (1 MiB) and one byte: a longer file (a link to
// /dev/zero) is cut after 1048577 bytes, and that is said. The tarball is
// put together in a temporary directory under TMPDIR that is removed
// afterwards, and packed by tar and gzip. Running qorid logs as
// /etc/qorid.conf says. Root is needed only to read files that only root may
// read.
//
// Exit status: 0 when the tarball was written, 1 when it could not be,
// 2 for a wrong command line.
#ifndef QORID_TOOL_DUMP_H_
#define QORID_TOOL_DUMP_H_

namespace qorid::dump {

// The whole program: `argv` as main has it (argv[0] tells where qorid may
// lie beside it). Returns the exit status; on the way out the temporary
// directory is removed. SIGHUP, SIGINT or SIGTERM ends the dump as a failure
// does, with nothing said: the command it waits for is sent SIGTERM, and
// what the run made is undone once that command has ended. Changes PATH (to
// the one described above) and installs handlers of those signals
// (undo::OnSignal::kNote): for main only, once.
int run(int argc, char** argv);

}  // namespace qorid::dump

#endif  // QORID_TOOL_DUMP_H_
