# What the readers of qorid --export get, held against what --exec gives:
# systemd's own EnvironmentFile= in a Debian root booted as a container
# with systemd as its init (the package test's booted roots,
# bench/real_boards.sh), and a shell. Sourced; bash. Booting needs root and
# systemd-nspawn (systemd-container).

# boot_probe ROOT UNIT: ROOT booted with systemd-nspawn --boot (no
# registration, the console a pipe), its systemd starting at boot the unit
# qorid-probe.service, whose [Unit] and [Service] lines UNIT gives; when its
# ExecStart= lines are done the container powers off. Three minutes at
# most; returns systemd-nspawn's status, the unit removed again.
boot_probe() {
  local root=$1 units=$1/etc/systemd/system status
  mkdir -p "$units/multi-user.target.wants"
  printf '%s\nExecStartPost=/bin/systemctl poweroff\n' "$2" >"$units/qorid-probe.service"
  ln -sf ../qorid-probe.service "$units/multi-user.target.wants/"
  timeout 180 systemd-nspawn --quiet --register=no --keep-unit --console=pipe -D "$root" --boot
  status=$?
  rm -f "$units/qorid-probe.service" "$units/multi-user.target.wants/qorid-probe.service"
  return "$status"
}

# reader_in ROOT FOLDER: FOLDER made anew in ROOT (at /FOLDER), holding
# tests/support/read_env_files.sh as `read`, for a probe's
# `ExecStart=/bin/sh /FOLDER/read /FOLDER`: the FILE.env put there are read
# by systemd at boot. Prints the folder's path here.
reader_in() {
  local dir=$1/$2
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$(dirname "${BASH_SOURCE[0]}")/read_env_files.sh" "$dir/read"
  echo "$dir"
}

# env_of EXPORTED EXEC_ENV0 READ_ENV0: what a reader of EXPORTED (what
# --export wrote) got, READ_ENV0 (env -0), held against what --exec gives,
# EXEC_ENV0 (env -0). On the first line the names assigned at the start of
# a line of EXPORTED; on the second the QOR_ names that --exec sets and
# EXPORTED does not assign; then one line for each name assigned whose
# value the reader does not have as --exec has it, saying where they part.
# Names as Python writes bytes that are not UTF-8.
env_of() {
  python3 -c '
import re, sys
def environment(path):
    return dict(e.split(b"=", 1) for e in open(path, "rb").read().split(b"\0") if b"=" in e)
def text(name):
    return name.decode(errors="backslashreplace")
names = set(re.findall(rb"^([A-Za-z_][A-Za-z0-9_]*)=", open(sys.argv[1], "rb").read(), re.M))
exec_env, read_env = environment(sys.argv[2]), environment(sys.argv[3])
print(" ".join(sorted(map(text, names))))
print(" ".join(sorted(text(n) for n in exec_env if n.startswith(b"QOR_") and n not in names)))
for name in sorted(names):
    given, read = exec_env.get(name), read_env.get(name)
    if given == read:
        continue
    if given is None or read is None:
        print("%s: set by %s only" % (text(name), "the reader" if given is None else "--exec"))
        continue
    at = next((i for i, (x, y) in enumerate(zip(given, read)) if x != y), min(len(given), len(read)))
    print("%s: --exec gives %d bytes, the reader %d; from byte %d --exec %r, the reader %r"
          % (text(name), len(given), len(read), at, given[at:at + 12], read[at:at + 12]))
' "$@"
}
