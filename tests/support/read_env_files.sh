#!/bin/sh
# Environment files read by systemd's own EnvironmentFile=, on a booted
# system (run by a unit at boot, see boot_probe in env_readers.sh):
#
#   read_env_files.sh DIR [together]
#
# Each FILE.env of DIR is read in a transient unit of its own running
# `env -0`: what the unit got lands in FILE.env0, systemd-run's status (0
# when systemd took the file) in FILE.status, and what the unit's journal
# says in FILE.journal (a refused file: "Failed to load environment
# files"). With `together`, all of them are first read at once by one unit
# (EnvironmentFile= many times), its status in DIR/together.status; each
# is read on its own only when that fails, to find which.
set -u
dir=$1
cd "$dir" || exit 1
if [ "${2:-}" = together ]; then
  set --
  for f in *.env; do set -- "$@" -p "EnvironmentFile=$dir/$f"; done
  systemd-run --quiet --wait --pipe --unit=env-file-reader-together "$@" true \
    </dev/null >together.out 2>&1
  echo $? >together.status
  [ "$(cat together.status)" != 0 ] || exit 0
fi
i=0
for f in *.env; do
  i=$((i + 1))
  systemd-run --quiet --wait --pipe --unit="env-file-reader-$i" -p "EnvironmentFile=$dir/$f" \
    env -0 </dev/null >"${f%.env}.env0" 2>"${f%.env}.err"
  echo $? >"${f%.env}.status"
done
# What the units logged, once the journal has all of it.
journalctl --sync
i=0
for f in *.env; do
  i=$((i + 1))
  journalctl -b -u "env-file-reader-$i" -o cat --no-pager >"${f%.env}.journal" 2>&1
done
