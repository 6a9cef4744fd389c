#!/bin/sh
# Environment files read by systemd's own EnvironmentFile=, on a booted
# system (run by a unit at boot, see boot_probe in env_readers.sh):
#
#   read_env_files.sh DIR [N]
#
# Each FILE.env of DIR is read in a transient unit of its own running
# `env -0`: what the unit got lands in FILE.env0, systemd-run's status (0
# when systemd took the file) in FILE.status, its words in FILE.err, and
# what the unit's journal says in FILE.journal (a refused file: "Failed to
# load environment files"). With N, the files are first read N at a time,
# each group by one unit (EnvironmentFile= N times) running true: the files
# of a group that systemd took get a FILE.status of 0 and nothing else;
# those of a group it did not take are then each read on their own, to find
# which. (Many more files to a unit keep the manager busy past systemd-run's
# D-Bus timeout.)
set -u
dir=$1 n=${2:-}
cd "$dir" || exit 1
rm -f group.* alone.list
if [ -n "$n" ]; then
  printf '%s\n' *.env | split -l "$n" - group.
  : >alone.list
  for group in group.*; do
    set --
    while IFS= read -r f; do set -- "$@" -p "EnvironmentFile=$dir/$f"; done <"$group"
    if systemd-run --quiet --wait --pipe --unit="env-file-reader-${group#group.}" "$@" true \
      </dev/null >"$group.out" 2>&1; then
      while IFS= read -r f; do echo 0 >"${f%.env}.status"; done <"$group"
    else
      cat "$group" >>alone.list
    fi
  done
else
  printf '%s\n' *.env >alone.list
fi
i=0
while IFS= read -r f; do
  i=$((i + 1))
  systemd-run --quiet --wait --pipe --unit="env-file-reader-$i" -p "EnvironmentFile=$dir/$f" \
    env -0 </dev/null >"${f%.env}.env0" 2>"${f%.env}.err"
  echo $? >"${f%.env}.status"
done <alone.list
# What the units logged, once the journal has all of it.
journalctl --sync
i=0
while IFS= read -r f; do
  i=$((i + 1))
  journalctl -b -u "env-file-reader-$i" -o cat --no-pager >"${f%.env}.journal" 2>&1
done <alone.list
