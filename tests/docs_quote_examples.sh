#!/bin/sh
# Every C++ and C block in the user documentation is quoted from a program under examples/, which
# the suite compiles and runs: the nearest non-blank line before the block names the program
# (examples/NAME.cpp or examples/NAME.c), and the block must appear in it verbatim, so the
# documentation cannot drift from code that works.
set -eu
source=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
blocks=0
for doc in "$@"; do
  rm -f "$work"/block.*
  # Writes each ```cpp or ```c block to block.N, and the program it names (or nothing) to
  # block.N.name.
  awk -v out="$work/block" '
    /^```c(pp)?[ \t]*$/ && !inside {
      inside = 1; n++; file = out "." n; printf "" > file
      print name > (file ".name"); close(file ".name"); next
    }
    /^```/ && inside { inside = 0; close(file); next }
    inside { print >> file; next }
    /[^ \t]/ {
      name = ""
      if (match($0, /examples\/[A-Za-z0-9_]+\.c(pp)?/)) name = substr($0, RSTART, RLENGTH)
    }
  ' "$source/$doc"
  for block in "$work"/block.*; do
    case $block in *.name | *'block.*') continue ;; esac
    blocks=$((blocks + 1))
    name=$(cat "$block.name")
    where="$doc block ${block##*.}"
    if [ -z "$name" ]; then
      echo "FAILED: $where names no examples/*.cpp or *.c program"
      failures=$((failures + 1))
    elif ! grep -q '[^[:space:]]' "$block"; then
      # An empty block would match any program.
      echo "FAILED: $where quotes nothing from $name"
      failures=$((failures + 1))
    elif [ ! -f "$source/$name" ]; then
      echo "FAILED: $where quotes $name, which does not exist"
      failures=$((failures + 1))
    elif ! awk -v blockFile="$block" '
        { text = text $0 "\n" }
        END {
          while ((getline line < blockFile) > 0) quote = quote line "\n"
          exit index(text, quote) > 0 ? 0 : 1
        }' "$source/$name"; then
      echo "FAILED: $where is not a verbatim excerpt of $name"
      failures=$((failures + 1))
    fi
  done
done
[ "$failures" -eq 0 ] || exit 1
echo "$blocks quoted blocks match their programs"
