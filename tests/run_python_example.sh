#!/bin/sh
# Runs the Python example (examples/python/zttools.py) with the system's python3 against the
# built library. Skipped, with a message, where python3 is missing. A sanitized library needs its
# sanitizer run time loaded before the interpreter starts.
set -eu
lib=$1
example=$2
flags=${3:-}
if ! command -v python3 >/dev/null 2>&1; then
  echo "skipped: python3 is not installed"
  exit 77
fi
case $flags in
  *thread*) LD_PRELOAD=$(c++ -print-file-name=libtsan.so) ;;
  ?*) LD_PRELOAD="$(c++ -print-file-name=libasan.so) $(c++ -print-file-name=libubsan.so)" ;;
  *) LD_PRELOAD=${LD_PRELOAD:-} ;;
esac
# The interpreter's own allocations are not the library's leaks.
ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
export LD_PRELOAD ASAN_OPTIONS
ZTTOOLS_LIBRARY=$lib python3 "$example"
