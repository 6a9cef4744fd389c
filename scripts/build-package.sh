#!/usr/bin/env bash
# Builds qorid's Debian packages for one suite and architecture and leaves
# the .deb, .changes and .buildinfo files in dist/SUITE/ARCH/
# (`make package [SUITE=bookworm|trixie] [ARCH=amd64|arm64|armhf|riscv64]`):
#
#   build-package.sh [SUITE [ARCH [WORK_DIR [DIST_DIR]]]]
#
# SUITE defaults to this machine's Debian release (bookworm when it is
# neither), ARCH to this machine's architecture; riscv64 is built for trixie
# only. Every build runs in the suite's build root (a debootstrap of SUITE
# for this machine's architecture, kept in build-roots/ and reused): there
# `apt-get build-dep [-a ARCH]` installs exactly the build dependencies,
# the target's liblog4cpp5-dev among them, and `dpkg-buildpackage [-a ARCH
# -Pcross]` builds. The tree (without build folders) is copied to WORK_DIR
# inside the root (default /build/SUITE-ARCH), so a build never writes into
# the source tree.
#
# The version is the one of debian/changelog with the suite's suffix, as
# backports have it: 1.2.0~deb12u1 on bookworm, 1.2.0~deb13u1 on trixie, so
# that the two builds tell themselves apart and a board upgraded from 12 to
# 13 upgrades qorid too. The entry that says so is added to the copy's
# changelog, dated one second after the entry before it (a later date, as a
# changelog wants, and a fixed one), so that a build is the same wherever
# and whenever it runs.
set -euo pipefail

cd "$(dirname "$0")/.."
SRC=$(pwd -P)
# What this script itself runs, before anything else.
bash scripts/install-deps.sh dpkg-dev debootstrap
# shellcheck source=debian-root.sh
source scripts/debian-root.sh
HOST=$(dpkg --print-architecture)
SUITE=${1:-$(host_suite)}
ARCH=${2:-$HOST}
WORK=${3:-/build/$SUITE-$ARCH}
DIST=${4:-$SRC/dist/$SUITE/$ARCH}
JOBS=${JOBS:-2}
check_suite_arch "$SUITE" "$ARCH"
case $WORK in /*) ;; *) echo "build-package: WORK_DIR must be absolute: $WORK" >&2; exit 2 ;; esac

base=$(dpkg-parsechangelog -l debian/changelog -S Version)
version=$base$(suite_version "$SUITE")

# The build root of the suite: the tools every build needs; the build
# dependencies proper come from debian/control, per build.
broot=$(prepared_root "$SUITE" "$HOST" build-essential dpkg-dev debhelper fakeroot lintian)

# The source tree as a fresh $WORK/qorid-VERSION in the root, its changelog
# opened by the suite's entry.
src=$broot$WORK/qorid-$version
rm -rf "$broot$WORK"
mkdir -p "$src"
tar -C "$SRC" --exclude-vcs --exclude='./build*' --exclude=./dist --exclude=./out \
  -cf - . | tar -C "$src" -xf -
{
  printf 'qorid (%s) %s; urgency=medium\n\n' "$version" "$SUITE"
  printf '  * Built for Debian %s (%s).\n\n' "$(suite_release "$SUITE")" "$SUITE"
  printf ' -- %s  %s\n\n' "$(dpkg-parsechangelog -l debian/changelog -S Maintainer)" \
    "$(LC_ALL=C date -u -R -d "@$(($(dpkg-parsechangelog -l debian/changelog -S Timestamp) + 1))")"
  cat debian/changelog
} >"$src/debian/changelog"

cross=()
if [ "$ARCH" != "$HOST" ]; then
  in_root "$broot" dpkg --add-architecture "$ARCH"
  cross=(-a "$ARCH")
fi
echo "build-package: qorid $version for $SUITE $ARCH"
in_root "$broot" apt-get update -qq
if [ "$ARCH" != "$HOST" ]; then
  in_root "$broot" apt-get install -y -qq --no-install-recommends \
    "crossbuild-essential-$ARCH" >/dev/null
fi
# The target's build dependencies (and for a cross build its compiler); a
# target's liblog4cpp5-dev replaces another's from an earlier build.
in_root "$broot" apt-get build-dep -y -qq --no-install-recommends "${cross[@]}" \
  "$WORK/qorid-$version" >/dev/null
in_root "$broot" bash -c \
  "cd $WORK/qorid-$version && dpkg-buildpackage ${cross[*]} ${cross:+-Pcross} -b -us -uc -j$JOBS"

rm -rf "$DIST"
mkdir -p "$DIST"
cp "$broot$WORK"/*.deb "$broot$WORK"/*.changes "$broot$WORK"/*.buildinfo "$DIST/"
echo "packages for $SUITE $ARCH in $DIST:"
ls -1 "$DIST"
