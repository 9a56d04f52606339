#!/bin/sh
# Installs the built library into a scratch prefix and builds every program under examples/
# against that install tree only, in the two ways a consumer would: through the CMake package
# (find_package, zttools::zttools) and through pkg-config. Runs each program built either way,
# and checks that neither way links libxml2 into the program: the library uses it privately.
# Programs are linked with --no-as-needed (the compiler's default drops unused libraries), so
# that a library dragged onto the link line shows as a NEEDED entry.
set -eu
build=$1
source=$2
# Programs linked with a sanitized library must be built with the same sanitizers.
flags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

# Runs one program from the scratch folder and checks what it links.
run() {
  program=$1
  echo "== $2 $(basename "$program")"
  if readelf -d "$program" | grep -q 'NEEDED.*libxml2'; then
    echo "$program links libxml2 itself"
    exit 1
  fi
  (cd "$work" && "$program")
}

ran=0
cmake -S "$source/examples" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags -Wl,--no-as-needed" >/dev/null
cmake --build "$work/cmake" >/dev/null
for program in "$work"/cmake/*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  run "$program" find_package
  ran=$((ran + 1))
done

pc=$(find "$prefix" -name zttools.pc)
PKG_CONFIG_PATH=$(dirname "$pc")
export PKG_CONFIG_PATH
libdir=$(pkg-config --variable=libdir zttools)
mkdir "$work/pkg-config"
for example in "$source"/examples/*.cpp "$source"/examples/*.c; do
  program=$work/pkg-config/$(basename "$example")
  case $example in
    *.cpp) compile="c++ -std=c++20" ;;
    *) compile="cc -std=c99 -pedantic" ;;
  esac
  # $compile, $flags and the pkg-config output are word lists: split on purpose.
  # shellcheck disable=SC2086
  $compile -Wall -Wextra -Werror $flags -o "$program" "$example" -Wl,--no-as-needed \
    $(pkg-config --cflags --libs zttools) -Wl,-rpath,"$libdir"
  run "$program" pkg-config
  ran=$((ran + 1))
done
echo "ran $ran example programs"
