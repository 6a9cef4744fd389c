#!/usr/bin/env bash
# Installs the Debian packages that building and testing qorid need, if any
# are missing, and the packages named as arguments. Needs root (or sudo)
# only when something is missing.
#
#   install-deps.sh [--arch ARCH] [PACKAGE...]
#
# --arch ARCH adds ARCH to dpkg's foreign architectures first, so that
# PACKAGE:ARCH can be installed (cross builds).
set -euo pipefail

foreign=
if [ "${1:-}" = --arch ]; then
  foreign=${2:?--arch needs an architecture}
  shift 2
fi

packages=(
  cmake g++ make pkgconf      # the build
  liblog4cpp5-dev             # logging (libnolt is built on log4cpp)
  libgtest-dev                # unit tests
  util-linux iproute2         # black-box tests: unshare, setarch, ip
  diffutils
  groff-base mandoc           # man page tests: groff renders, mandoc lints
  tar gzip                    # board dumps: qorid-dump and its test
  nlohmann-json3-dev          # the JSON writer of qorid --json
  python3                     # the JSON tests read the output with its json module
  busybox locales             # --export read back by busybox sh, and under CJK locales
  strace e2fsprogs            # publication tests: runs held back or stopped, a file system of few inodes
  jq man-db                   # the commands of the documentation pages (docs.commands)
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "run as root to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
if [ -n "$foreign" ] && [ "$foreign" != "$(dpkg --print-architecture)" ] &&
  ! dpkg --print-foreign-architectures | grep -qx "$foreign"; then
  echo "Adding the $foreign architecture to dpkg"
  $sudo dpkg --add-architecture "$foreign"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
