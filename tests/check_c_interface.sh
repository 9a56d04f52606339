#!/bin/sh
# The C header compiles on its own as C99 (pedantic, gcc and clang) and as C++20, also beside
# zttools.h; and the C test program built with clang runs against the built library, as it does
# built with the project's C compiler. In a sanitized build the clang program is not built: the
# library needs the sanitizer run time of the compiler that built it.
set -eu
lib=$1
source=$2
version=$3
flags=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
include="-I$source/capi -I$source/frame -I$source/platform"
warnings="-Wall -Wextra -pedantic -Werror"

# Word lists on purpose below: $include and $warnings hold several options.
# shellcheck disable=SC2086
for compiler in cc clang; do
  printf '#include <zttools_c.h>\nint main(void) { return zt_version() == 0; }\n' |
    $compiler -std=c99 $warnings $include -fsyntax-only -x c -
  echo "C99 with $compiler: ok"
done
# shellcheck disable=SC2086
printf '#include <zttools.h>\n#include <zttools_c.h>\nint main() { return zt_version() == nullptr; }\n' |
  c++ -std=c++20 $warnings $include -fsyntax-only -x c++ -
echo "C++20 beside zttools.h: ok"

if [ -n "$flags" ]; then
  echo "sanitized build: the clang-built program is left to the plain build"
  exit 0
fi
# shellcheck disable=SC2086
clang -std=c99 $warnings -I"$source/capi" -DZT_EXPECTED_VERSION="\"$version\"" \
  -o "$work/test_capi" "$source/tests/test_capi.c" -L"$lib" -lzttools -Wl,-rpath,"$lib"
"$work/test_capi"
