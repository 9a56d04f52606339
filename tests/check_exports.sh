#!/bin/sh
# Fails when the shared library exports a name that is neither one of the 16 factories, nor part
# of what callers need to catch and read kora_token_parser_exception, nor a function of the C
# interface; and when the C header declares a function the library does not export.
set -eu
lib=$1
header=$2
allowed='^(KORA(LogManager|PresetManager|TokenParser|XmlParser|XmlWriter|XmlXPath|TagManager|TokenParserEx)Factory_(Create|Destroy)|_ZT[IVS]27kora_token_parser_exception|_ZN27kora_token_parser_exceptionD[012]Ev|_ZNK27kora_token_parser_exception4whatEv|zt_[a-z0-9_]+)$'
names=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//' | grep -v '^$')
bad=$(printf '%s\n' "$names" | grep -Ev "$allowed" || true)
if [ -n "$bad" ]; then
  echo "unexpected exports:"; printf '%s\n' "$bad"; exit 1
fi
declared=$(grep -o 'zt_[a-z0-9_]*(' "$header" | tr -d '(' | sort -u)
missing=$(printf '%s\n' "$declared" | grep -Fvx "$(printf '%s\n' "$names")" || true)
if [ -n "$missing" ]; then
  echo "declared in $(basename "$header") but not exported:"; printf '%s\n' "$missing"; exit 1
fi
count=$(printf '%s\n' "$names" | grep -c '^KORA' || true)
ccount=$(printf '%s\n' "$declared" | grep -c . || true)
echo "exports ok: $count factory names, $ccount C functions"
