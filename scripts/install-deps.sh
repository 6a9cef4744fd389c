#!/usr/bin/env bash
# Installs the Debian packages that building and testing qorid need, if any
# are missing. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config   # the build
  liblog4cpp5-dev             # logging (libnolt is built on log4cpp)
  libgtest-dev                # unit tests
  util-linux iproute2         # black-box tests: unshare, setarch, ip
  diffutils
  groff-base mandoc           # man page tests: groff renders, mandoc lints
  tar gzip                    # board dumps: qorid-dump and its test
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
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
