#!/bin/sh
# Builds the Debian package from the build folder into a scratch folder and checks what a user
# installing it gets: the control fields, the library with its SONAME and development link, the
# headers, the command with its manual page and completion (when it is built), the CMake package and a pkg-config file whose paths
# point into /usr.
set -eu
build=$1
version=$2
libdir=$3
with_command=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
deb=$(ls "$work"/*.deb)
echo "built $(basename "$deb")"

failures=0
fail() {
  echo "FAILED: $1"
  failures=$((failures + 1))
}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zttools ] || fail "package name: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version: $(field Version)"
field Maintainer | grep -qx 'zttools[^<]* <[^ ]*@[^ ]*>' ||
  fail "maintainer is not the project's name and address: $(field Maintainer)"
[ -n "$(field Description)" ] || fail "no description"
field Depends | grep -q 'libxml2' || fail "depends lacks libxml2: $(field Depends)"

# dpkg-deb -c lists "./path" in the sixth column, links as "./link -> target".
dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' >"$work/contents"
lib=/usr/$libdir
major=${version%%.*}
expect() {
  grep -qxF "$1" "$work/contents" || fail "missing: $1"
}
expect ".$lib/libzttools.so.$version"
expect ".$lib/libzttools.so.$major -> libzttools.so.$version"
expect ".$lib/libzttools.so -> libzttools.so.$major"
expect "./usr/include/zttools.h"
expect "./usr/include/zttools_platform.h"
expect "./usr/include/zttools_c.h"
expect ".$lib/cmake/zttools/zttoolsConfig.cmake"
expect ".$lib/cmake/zttools/zttoolsConfigVersion.cmake"
expect ".$lib/cmake/zttools/zttoolsTargets.cmake"
expect ".$lib/pkgconfig/zttools.pc"
case $libdir in
  lib/*-linux-gnu) ;;
  *) fail "library folder is not the multiarch one: $libdir" ;;
esac
if [ "$with_command" = 1 ]; then
  expect "./usr/bin/zttools"
  expect "./usr/share/man/man1/zttools.1"
  expect "./usr/share/bash-completion/completions/zttools"
fi

dpkg-deb -x "$deb" "$work/root"
readelf -d "$work/root$lib/libzttools.so.$version" | grep -q "SONAME.*\[libzttools.so.$major\]" ||
  fail "SONAME is not libzttools.so.$major"
grep -qx 'prefix=/usr' "$work/root$lib/pkgconfig/zttools.pc" ||
  fail "pkg-config prefix: $(grep '^prefix=' "$work/root$lib/pkgconfig/zttools.pc")"

[ "$failures" -eq 0 ] || exit 1
echo "package ok"
