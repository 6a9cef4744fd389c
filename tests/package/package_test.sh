# Installs the three Debian packages into a throwaway copy of this machine's
# root (an overlay in a private mount namespace: the host is never written),
# runs the packaged tool, builds a consumer against libqorid-dev with CMake
# and with pkg-config, then removes and purges the packages and checks that
# nothing is left. Also runs lintian on the packages.
# usage: bash package_test.sh PACKAGE_DIR
set -u
PACKAGES=$(realpath "${1:?directory holding the .deb files}")
SRC=$(cd "$(dirname "$0")/.." && pwd)
passed=0 failed=0

if [ "$(id -u)" -ne 0 ] || ! unshare --mount --fork true 2>/dev/null; then
  echo "SKIP: needs root and mount namespaces"; exit 77
fi
debs=("$PACKAGES"/libqorid1_*.deb "$PACKAGES"/qorid_*.deb "$PACKAGES"/libqorid-dev_*.deb)
for d in "${debs[@]}"; do
  [ -f "$d" ] || { echo "FAIL: missing $d"; exit 1; }
done

if lintian --fail-on error --suppress-tags maintainer-script-empty "${debs[@]}" >"$PACKAGES/lintian.log" 2>&1; then
  passed=$((passed + 1))
else
  failed=$((failed + 1)); echo "FAIL: lintian reports errors:"; cat "$PACKAGES/lintian.log"
fi

# The steps inside the throwaway root. Each check prints "ok NAME" or
# "not ok NAME"; the outer script counts them.
inside=$(cat <<'INSIDE'
set -u
check() { if eval "$2" >/tmp/check.out 2>&1; then echo "ok $1"; else echo "not ok $1"; sed 's/^/    /' /tmp/check.out; fi; }
cd /tmp/pkgtest
check "install the three packages" "dpkg -i debs/*.deb"
for p in libqorid1 qorid libqorid-dev; do
  check "$p is installed" "dpkg-query -W -f='\${Status}' $p | grep -qx 'install ok installed'"
done
check "the libraries are registered" "ldconfig -p | grep -q 'libqorid.so.1 ' && ldconfig -p | grep -q 'libnolt.so.0 '"
check "/etc/qorid.conf is a conffile" "dpkg-query -W -f='\${Conffiles}' qorid | grep -q '/etc/qorid.conf '"
check "the packaged qorid prints the help" "/usr/bin/qorid --help | grep -q '^--list -l'"
check "the packaged qorid prints a board" "/usr/bin/qorid --verbose | grep -Eq '^-?[0-9]+ - '"
check "qorid-dump is installed and runs" "/usr/bin/qorid-dump -h | grep -qi usage"
check "the man pages are installed" "test -s /usr/share/man/man1/qorid.1.gz && test -s /usr/share/man/man5/known_qor_ids.5.gz"
check "the completion is installed" "test -s /usr/share/bash-completion/completions/qorid"
check "find_package(qorid) consumer builds" \
  "cmake -S consumer -B build-cmake >/dev/null && cmake --build build-cmake >/dev/null"
check "find_package(qorid) consumer runs" "./build-cmake/consumer | grep -Eq '^-?[0-9]+ - '"
check "pkg-config consumer builds" \
  "g++ -std=c++17 consumer/main.cpp -o pc-consumer \$(pkg-config --cflags --libs qorid)"
check "pkg-config consumer runs" "./pc-consumer | grep -Eq '^-?[0-9]+ - '"
dpkg-query -L libqorid1 qorid libqorid-dev | sort -u >files.txt
check "remove" "dpkg -r libqorid-dev qorid libqorid1"
check "the conffile stays after remove" "test -f /etc/qorid.conf"
check "the libraries are gone from the cache" "! ldconfig -p | grep -q libqorid"
check "purge" "dpkg -P libqorid-dev qorid libqorid1"
check "the conffile is gone after purge" "test ! -e /etc/qorid.conf"
check "no package file is left" \
  "! while read -r f; do [ -f \"\$f\" ] || [ -L \"\$f\" ] && echo \"left: \$f\"; done <files.txt | grep ."
check "dpkg knows none of them" "! dpkg-query -W libqorid1 qorid libqorid-dev 2>/dev/null | grep -q ."
INSIDE
)

out=$(unshare --mount --fork -- bash -c '
  set -e
  packages=$1 src=$2 inside=$3
  mount --make-rprivate /
  top=$(mktemp -d)
  mount -t tmpfs tmpfs "$top"
  mkdir "$top/upper" "$top/work" "$top/root"
  mount -t overlay overlay -o "lowerdir=/,upperdir=$top/upper,workdir=$top/work" "$top/root"
  mount -t proc proc "$top/root/proc"
  mount --rbind /dev "$top/root/dev"
  mkdir -p "$top/root/tmp/pkgtest/debs"
  cp "$packages"/*.deb "$top/root/tmp/pkgtest/debs/"
  cp -r "$src/install/consumer" "$top/root/tmp/pkgtest/consumer"
  exec chroot "$top/root" bash -c "$inside"
' pkgtest "$PACKAGES" "$SRC" "$inside" 2>&1)
echo "$out" | grep -v '^ok ' || true
passed=$((passed + $(grep -c '^ok ' <<<"$out")))
failed=$((failed + $(grep -c '^not ok ' <<<"$out")))
[ "$(grep -c '^ok \|^not ok ' <<<"$out")" -ge 20 ] || { failed=$((failed + 1)); echo "FAIL: the checks did not all run"; }

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
