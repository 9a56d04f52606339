#!/bin/sh
# Every test the documentation names as evidence (`Suite.Test`) exists in the suites, so that
# trimming or renaming a test cannot leave a claim without the test that shows it.
# Usage: docs_test_names.sh SOURCE_DIR TEST_PROGRAM...
set -eu
source=$1
shift
known=$(mktemp)
trap 'rm -f "$known"' EXIT
for program in "$@"; do
  # --gtest_list_tests prints each suite flush left and its tests indented beneath it.
  "$program" --gtest_list_tests | awk '
    /^[^ ]/ { suite = $1; sub(/\.$/, "", suite); sub(/\/.*/, "", suite); next }
    { name = $1; sub(/\/.*/, "", name); print suite "." name }' >>"$known"
done
missing=0
for name in $(cd "$source" && cat README.md docs/*.md |
  grep -oE '`[A-Z][A-Za-z0-9]+\.[A-Z][A-Za-z0-9]+`' | tr -d '`' | sort -u); do
  [ "$name" = Suite.Test ] && continue  # the pattern itself, where the notes explain it
  if ! grep -qx "$name" "$known"; then
    echo "named in the documentation but not a test: $name"
    missing=$((missing + 1))
  fi
done
[ "$missing" -eq 0 ]
