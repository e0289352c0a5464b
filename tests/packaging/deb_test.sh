#!/usr/bin/env bash
# The Debian package as `cpack --preset package` makes it: a Release build
# of its own (kept in BUILD_DIR/deb, so a second run only rebuilds what
# changed), for /usr, with stripped binaries, a Depends line computed from
# the libraries the program and its module link, lintian without errors, and
# files that make a working installation (install_test.sh on them). The
# package is only looked into, never installed.
#   deb_test.sh BUILD_DIR
set -euo pipefail
top=${SOFTPHONE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
pkg=$1/deb
work=$(mktemp -d /tmp/softphone-deb.XXXXXX)
. "$top/tests/support/shell.sh"

step() { # log, command...
  local log=$1; shift
  "$@" >"$work/$log" 2>&1 || { echo "FAIL: $*"; tail -n 40 "$work/$log"; exit 1; }
}

start=$(date +%s)
cd "$top"
# The README's pictures as if published, so their part of the metadata is
# validated too.
step configure.log cmake --preset package -B "$pkg" -DSOFTPHONE_SCREENSHOTS_URL=https://www.example.com/softphone
step build.log cmake --build "$pkg"
rm -f "$pkg"/softphone_*.deb
step cpack.log cpack --config "$pkg/CPackConfig.cmake" -B "$pkg"
echo "built and packed in $(( $(date +%s) - start )) s"
debs=("$pkg"/softphone_*.deb)
deb=${debs[0]}
echo "$deb: $(stat -c %s "$deb") bytes"
dpkg-deb -I "$deb" | sed -n '/^ Package:/,$p'

field() { dpkg-deb -f "$deb" "$1"; }
check "one package, for this machine" \
  test "${#debs[@]}" -eq 1 -a "$(field Architecture)" = "$(dpkg --print-architecture)"
check "in section comm" test "$(field Section)" = comm
check "with a maintainer and a home page" eval '[[ "$(field Maintainer)" == *"<"*@*">" && "$(field Homepage)" == http*://* ]]'

root=$work/root
dpkg-deb -x "$deb" "$root"
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$pkg/CMakeCache.txt")
binaries=("$root/usr/bin/softphone" "$root/usr/$libdir/softphone/softphone-feedback.so")
check "everything under /usr, owned by root" \
  eval '! dpkg-deb -c "$deb" | awk '\''$2 != "root/root" || $6 !~ /^\.\/usr\//'\'' | grep .'
stripped() { local f; for f in "${binaries[@]}"; do file -b "$f" | grep -q ', stripped' || { echo "$f is not stripped"; return 1; }; done; }
check "the program and its module are stripped" stripped

# Every library the two link comes from a package the Depends line names.
depends=" $(field Depends | tr -d ' ' | tr ',|' '\n\n' | sed 's/(.*//' | tr '\n' ' ') "
covered() {
  local f so path owner missing=0
  for f in "${binaries[@]}"; do
    for so in $(objdump -p "$f" | awk '/NEEDED/ { print $2 }'); do
      # "libx.so.1 => /path (...)", or the loader's own "/path/ld-linux....so.2 (...)"
      path=$(ldd "$f" | awk -v so="$so" '$1 == so { print $3 }
        substr($1, length($1) - length(so)) == "/" so { print $1 }')
      owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(realpath "$path")" 2>/dev/null) || owner=""
      owner=${owner%%:*}
      if [ -z "$owner" ] || [[ "$depends" != *" $owner "* ]]; then
        echo "$so ($path, package '${owner}') is not in Depends"; missing=1
      fi
    done
  done
  return $missing
}
check "Depends covers every library linked" covered
check "and Qt's platform plugins" eval '[[ "$depends" == *" qt6-qpa-plugins "* ]]'
check "and the authorities a TLS provider's certificate is checked against" eval '[[ "$depends" == *" ca-certificates "* ]]'
recommends=" $(field Recommends | tr -d ' ' | tr ',|' '\n\n' | sed 's/(.*//' | tr '\n' ' ') "
check "Recommends Qt's Wayland plugin" eval '[[ "$recommends" == *" qt6-wayland "* ]]'

lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 && lintian_rc=0 || lintian_rc=$?
grep -v 'running with root privileges' "$work/lintian.log" | sed 's/^/lintian: /' || true
check "lintian finds no error" test "$lintian_rc" -eq 0

if bash "$top/tests/packaging/install_test.sh" --tree "$root/usr" "$libdir"; then
  passed=$((passed + 1)); echo "PASS: the package's files make a working installation"
else
  failed=$((failed + 1)); echo "FAIL: the package's files make a working installation"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
