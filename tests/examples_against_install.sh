#!/bin/sh
# Installs the built library into a scratch prefix, builds every program under examples/ against
# that install tree only, and runs each one.
set -eu
build=$1
source=$2
# Programs linked with a sanitized library must be built with the same sanitizers.
flags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$source/examples" -B "$work/build" -G Ninja -DZTTOOLS_PREFIX="$work/prefix" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/build" >/dev/null
ran=0
for program in "$work"/build/*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  (cd "$work" && "$program")
  ran=$((ran + 1))
done
echo "ran $ran example programs"
