#!/usr/bin/env bash
# Builds qorid's Debian packages and leaves the .deb, .changes and
# .buildinfo files in dist/ARCH/ (`make package [ARCH=arm64|armhf]`):
#
#   build-package.sh [ARCH [WORK_DIR [DIST_DIR]]]
#
# ARCH defaults to this machine's architecture. The tree (without build
# folders) is copied to WORK_DIR (default build-deb/ARCH) and built there
# with dpkg-buildpackage -b, so a build never writes into the source tree.
# A native build runs on this machine and installs the build dependencies
# that are missing. A cross build runs in a build root (a debootstrap of
# bookworm for this machine's architecture, kept in build-roots/) where
# `apt-get build-dep -a ARCH` installs the target's liblog4cpp5-dev, which
# is not Multi-Arch: same and so cannot sit next to this machine's own.
set -euo pipefail

cd "$(dirname "$0")/.."
SRC=$(pwd -P)
HOST=$(dpkg --print-architecture)
ARCH=${1:-$HOST}
WORK=${2:-$SRC/build-deb/$ARCH}
DIST=${3:-$SRC/dist/$ARCH}
JOBS=${JOBS:-2}
case $ARCH in
  "$HOST" | arm64 | armhf) ;;
  *) echo "build-package: no build for '$ARCH' (this machine's $HOST, arm64 or armhf)" >&2; exit 2 ;;
esac
version=$(dpkg-parsechangelog -l debian/changelog -S Version)

# copy_tree DIR: the source tree as a fresh DIR/qorid-VERSION.
copy_tree() {
  rm -rf "$1"
  mkdir -p "$1/qorid-$version"
  tar -C "$SRC" --exclude-vcs --exclude='./build*' --exclude=./dist --exclude=./out \
    -cf - . | tar -C "$1/qorid-$version" -xf -
}

# collect DIR: the build's results into DIST.
collect() {
  rm -rf "$DIST"
  mkdir -p "$DIST"
  cp "$1"/*.deb "$1"/*.changes "$1"/*.buildinfo "$DIST/"
  echo "packages for $ARCH in $DIST:"
  ls -1 "$DIST"
}

if [ "$ARCH" = "$HOST" ]; then
  bash scripts/install-deps.sh dpkg-dev debhelper cmake pkg-config liblog4cpp5-dev
  copy_tree "$WORK"
  (cd "$WORK/qorid-$version" && dpkg-buildpackage -b -us -uc -j"$JOBS")
  collect "$WORK"
  exit 0
fi

bash scripts/install-deps.sh debootstrap
# shellcheck source=debian-root.sh
source scripts/debian-root.sh
broot=$ROOTS/build-$HOST
if [ ! -e "$broot/.ready" ]; then
  fresh_root "$HOST" "$broot"
  in_root "$broot" apt-get update -qq
  in_root "$broot" apt-get install -y -qq --no-install-recommends \
    build-essential dpkg-dev debhelper cmake >/dev/null
  touch "$broot/.ready"
fi
copy_tree "$broot/build"
in_root "$broot" dpkg --add-architecture "$ARCH"
in_root "$broot" apt-get update -qq
# The cross compiler and the target's build dependencies; a target's
# liblog4cpp5-dev replaces another target's from an earlier build.
in_root "$broot" apt-get install -y -qq --no-install-recommends "crossbuild-essential-$ARCH" >/dev/null
in_root "$broot" apt-get build-dep -y -qq --no-install-recommends -a "$ARCH" \
  "/build/qorid-$version" >/dev/null
in_root "$broot" bash -c "cd /build/qorid-$version && dpkg-buildpackage -a $ARCH -Pcross -b -us -uc -j$JOBS"
collect "$broot/build"
