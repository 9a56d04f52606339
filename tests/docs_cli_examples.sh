#!/bin/sh
# Every example of docs/CLI.md ("    $ COMMAND" and the lines shown under it) is run, in the
# order of the document, in one scratch folder holding the sample files the examples name, and
# must print exactly what the document shows (standard output and error together, without
# carriage returns). Only the
# demo's tour, whose folder name changes on every run, is left out.
set -eu
zttools=$1
doc=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/run" "$work/examples"
ln -s "$zttools" "$work/bin/zttools"

# The samples.
cd "$work/run"
printf '<processedtokens>\n<tokens>\n<date modifier="1">\n  </tokens>\n</processedtokens>\n' >bad.xml
cat >tags.xml <<'STORE'
<vexkoratagstore>
  <tags>
    <tag name="Color"><id>1</id><tagvalues>
      <tagvalue name="Red"><value>0</value></tagvalue>
      <tagvalue name="Blue"><value>1</value></tagvalue>
    </tagvalues></tag>
    <tag name="Size"><id>2</id><tagvalues>
      <tagvalue name="A4"><value>10</value></tagvalue>
    </tagvalues></tag>
  </tags>
</vexkoratagstore>
STORE
printf '<settings version="2"><scan dpi="300">front</scan></settings>\n' >settings.xml
printf '[Preset]\nPreset Driver=F\ndpi=300\nduplex=on\nmode=color\n' >default.ini
printf '[Preset]\nPreset Driver=B\ndpi=200\n' >user.ini
mkdir logs
printf 'n\n' >logs/new.log
printf 'o\n\n' >logs/old.log
printf 'oo\n' >logs/older.log
touch -d @1796558691 logs/new.log
touch -d @1577872800 logs/old.log
touch -d @1546336800 logs/older.log

# Writes examples/N.command and examples/N.expected for each example.
awk -v out="$work/examples" '
  function finish() { if (n > 0) close(out "/" n ".expected") }
  skipping && (/^    / || /^$/) { next }
  { skipping = 0 }
  /^    \$ / {
    command = substr($0, 7)
    finish()
    skipping = command ~ /^zttools demo/
    if (skipping) { inside = 0; next }
    n++
    print command > (out "/" n ".command"); close(out "/" n ".command")
    printf "" > (out "/" n ".expected")
    inside = 1
    next
  }
  inside && /^    / { print substr($0, 5) >> (out "/" n ".expected"); next }
  { finish(); inside = 0 }
  END { finish() }
' "$doc"

failures=0
count=0
for command in $(ls "$work"/examples/*.command | sort -t / -k 1 -V); do
  count=$((count + 1))
  expected=${command%.command}.expected
  actual=${command%.command}.actual
  # The XML documents end their lines with CR LF, which the page cannot show.
  PATH="$work/bin:$PATH" TZ=UTC sh -c "$(cat "$command")" 2>&1 </dev/null | tr -d '\r' >"$actual" || true
  if ! cmp -s "$expected" "$actual"; then
    echo "FAILED: \$ $(cat "$command")"
    diff "$expected" "$actual" || true
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] || exit 1
echo "$count examples print what docs/CLI.md shows"
